#include "AfxStringTable.h"

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "AfxString.h"

namespace {

struct StringTable {
    std::mutex lock;
    std::unordered_map<UINT, std::string> texts;
};

StringTable& Table() {
    static StringTable table;
    return table;
}

} // namespace

void AFXAPI AfxRegisterStringTable(const AFX_STRING_ENTRY* pEntries, size_t nCount) {
    StringTable& t = Table();
    std::lock_guard guard(t.lock);
    for (size_t i = 0; i < nCount; ++i)
        t.texts[pEntries[i].nID] = pEntries[i].lpszText == nullptr ? "" : pEntries[i].lpszText;
}

void AFXAPI AfxRegisterString(UINT nID, LPCSTR lpszText) {
    AFX_STRING_ENTRY entry = {nID, lpszText};
    AfxRegisterStringTable(&entry, 1);
}

BOOL AFXAPI AfxLoadString(UINT nID, CString& rString) {
    StringTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.texts.find(nID);
    if (it == t.texts.end())
        return FALSE;
    rString.SetString(it->second.data(), static_cast<int>(it->second.size()));
    return TRUE;
}

int AFXAPI AfxLoadString(UINT nID, LPTSTR lpszBuf, UINT nMaxBuf) {
    if (lpszBuf == nullptr || nMaxBuf == 0)
        return 0;
    lpszBuf[0] = '\0';
    StringTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.texts.find(nID);
    if (it == t.texts.end())
        return 0;
    size_t n = it->second.size() < nMaxBuf - 1 ? it->second.size() : nMaxBuf - 1;
    std::memcpy(lpszBuf, it->second.data(), n);
    lpszBuf[n] = '\0';
    return static_cast<int>(n);
}
