#include "AfxStringTable.h"

#include <vector>

#include "AfxString.h"
#include "WinResourceTable.h"

// The table is the program module's string resources: LoadString of the platform reads the same strings.

void AFXAPI AfxRegisterStringTable(const AFX_STRING_ENTRY* pEntries, size_t nCount) {
    std::vector<win32::StringResource> entries;
    entries.reserve(nCount);
    for (size_t i = 0; i < nCount; ++i)
        entries.push_back(win32::StringResource{pEntries[i].nID, pEntries[i].lpszText});
    win32::RegisterStringResources(nullptr, entries.data(), entries.size());
}

void AFXAPI AfxRegisterString(UINT nID, LPCSTR lpszText) {
    AFX_STRING_ENTRY entry = {nID, lpszText};
    AfxRegisterStringTable(&entry, 1);
}

BOOL AFXAPI AfxLoadString(UINT nID, CString& rString) {
    // With no buffer size, LoadString gives the text itself.
    const char* text = nullptr;
    int length = LoadStringA(nullptr, nID, reinterpret_cast<LPSTR>(&text), 0);
    if (text == nullptr)
        return FALSE;
    rString.SetString(text, length);
    return TRUE;
}

int AFXAPI AfxLoadString(UINT nID, LPTSTR lpszBuf, UINT nMaxBuf) {
    if (lpszBuf == nullptr || nMaxBuf == 0)
        return 0;
    return LoadStringA(nullptr, nID, lpszBuf, static_cast<int>(nMaxBuf));
}
