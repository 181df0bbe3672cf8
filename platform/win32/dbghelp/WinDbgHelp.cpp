// The "dbghelp" stand-in: MiniDumpWriteDump writes a small fixed record instead of a process image.
#include <cstring>

#include "WinDbgHelpControl.h"
#include "WinFiles.h"
#include "WinHandles.h"
#include "WinModulesControl.h"
#include "dbghelp.h"
#include "winerror.h"

namespace {

BOOL WINAPI StubMiniDumpWriteDump(HANDLE, DWORD processId, HANDLE hFile, MINIDUMP_TYPE dumpType,
                                  const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam, const void*, const void*) {
    if (hFile == nullptr || hFile == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    win32::StubMinidump dump{};
    std::memcpy(dump.signature, "MDMP", sizeof dump.signature);
    dump.dumpType = static_cast<DWORD>(dumpType);
    dump.processId = processId;
    if (exceptionParam != nullptr) {
        dump.threadId = exceptionParam->ThreadId;
        const EXCEPTION_POINTERS* pointers = exceptionParam->ExceptionPointers;
        if (pointers != nullptr && pointers->ExceptionRecord != nullptr) {
            dump.exceptionCode = static_cast<DWORD>(pointers->ExceptionRecord->ExceptionCode);
        }
    }
    DWORD written = 0;
    if (!WriteFile(hFile, &dump, sizeof dump, &written, nullptr)) {
        return FALSE;
    }
    if (written != sizeof dump) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

} // namespace

namespace win32 {

void RegisterDbgHelpModule() {
    RegisterModule("dbghelp", {Export("MiniDumpWriteDump", &StubMiniDumpWriteDump)});
}

} // namespace win32
