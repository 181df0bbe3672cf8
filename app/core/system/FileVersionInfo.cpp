#include "app/core/system/FileVersionInfo.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

CString VersionText(DWORD mostSignificant, DWORD leastSignificant) {
    CString text;
    text.Format("%u,%u,%u,%u", HIWORD(mostSignificant), LOWORD(mostSignificant), HIWORD(leastSignificant),
                LOWORD(leastSignificant));
    return text;
}

} // namespace

CFileVersionInfo::CFileVersionInfo(HMODULE hModule, LPCSTR languageAndCodePage, LPCSTR valueName) {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(hModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) // a cut path names another file
        return;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path, handle, size, block.data()))
        return;

    LPVOID data = nullptr;
    UINT dataLength = 0;
    if (VerQueryValueA(block.data(), "\\", &data, &dataLength) && dataLength >= sizeof(VS_FIXEDFILEINFO)) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data, sizeof fixed);
        m_strFileVersion = VersionText(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
        m_strProductVersion = VersionText(fixed.dwProductVersionMS, fixed.dwProductVersionLS);
    }

    if (!languageAndCodePage && !valueName)
        return;
    CString subBlock;
    subBlock.Format("\\StringFileInfo\\%s\\%s", languageAndCodePage ? languageAndCodePage : "",
                    valueName ? valueName : "");
    if (VerQueryValueA(block.data(), subBlock, &data, &dataLength) && data && dataLength > 0) {
        const char* value = static_cast<const char*>(data);
        m_strValue = CString(value, static_cast<int>(strnlen(value, dataLength)));
    }
}

void SplitVersionNumbers(const CString& text, int (&anNumbers)[4]) {
    int start = 0;
    for (int& number : anNumbers) {
        if (start > text.GetLength())
            break;
        const int comma = text.Find(',', start);
        const CString token = comma < 0 ? text.Mid(start) : text.Mid(start, comma - start);
        if (token.IsEmpty() && comma < 0)
            break;
        number = std::atoi(token);
        start = comma < 0 ? text.GetLength() + 1 : comma + 1;
    }
}
