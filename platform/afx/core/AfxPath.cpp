#include "AfxPath.h"

#include <cctype>

#include "WinFiles.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/' || c == ':';
}

// Index just after the last separator (0 when there is none).
int NameStart(const CString& path) {
    int start = 0;
    for (int i = 0; i < path.GetLength(); ++i)
        if (IsSeparator(path[i]))
            start = i + 1;
    return start;
}

char PathFold(char c) {
    return c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

CString AFXAPI AfxFileNameOf(LPCTSTR lpszPath) {
    CString path(lpszPath);
    return path.Mid(NameStart(path));
}

CString AFXAPI AfxFileTitleOf(LPCTSTR lpszPath) {
    CString name = AfxFileNameOf(lpszPath);
    int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

CString AFXAPI AfxFolderOf(LPCTSTR lpszPath) {
    CString path(lpszPath);
    int start = NameStart(path);
    if (start == 0)
        return CString(".");
    // Keep a root ("C:\" or "/") whole; drop the separator otherwise.
    if (start == 1 || (start == 3 && path[1] == ':'))
        return path.Left(start);
    return path.Left(start - 1);
}

CString AFXAPI AfxWithExtension(LPCTSTR lpszPath, LPCTSTR lpszExtension) {
    CString path(lpszPath);
    int dot = path.ReverseFind('.');
    CString base = dot >= NameStart(path) ? path.Left(dot) : path;
    return base + lpszExtension;
}

BOOL AFXAPI AfxComparePath(LPCTSTR lpszPath1, LPCTSTR lpszPath2) {
    if (lpszPath1 == nullptr || lpszPath2 == nullptr)
        return FALSE;
    for (; *lpszPath1 != '\0' && *lpszPath2 != '\0'; ++lpszPath1, ++lpszPath2) {
        if (PathFold(*lpszPath1) != PathFold(*lpszPath2))
            return FALSE;
    }
    return *lpszPath1 == *lpszPath2;
}

CString AFXAPI AfxFullPath(LPCTSTR lpszFileIn) {
    char full[MAX_PATH] = {};
    DWORD n = GetFullPathNameA(lpszFileIn, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return CString(lpszFileIn);
    return CString(full);
}
