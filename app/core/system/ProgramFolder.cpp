#include "app/core/system/ProgramFolder.h"

#include "windows.h"

namespace {

// The program's path is read into a buffer of this many bytes.
constexpr DWORD kPathBuffer = 520;

} // namespace

CString GetProgramFolder() {
    char szPath[kPathBuffer] = {};
    const DWORD dwLength = ::GetModuleFileNameA(nullptr, szPath, kPathBuffer);
    if (dwLength == 0 || dwLength >= kPathBuffer) {
        return CString();
    }
    const CString path(szPath);
    const int nSlash = path.ReverseFind('\\');
    return nSlash >= 0 ? path.Left(nSlash + 1) : CString();
}
