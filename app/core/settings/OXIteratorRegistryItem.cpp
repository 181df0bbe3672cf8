#include "app/core/settings/OXIteratorRegistryItem.h"

IMPLEMENT_DYNAMIC(COXIteratorRegistryItem, COXRegistryItem)

COXIteratorRegistryItem::COXIteratorRegistryItem(LPCSTR lpszFullPath, BOOL bListValues, BOOL bListKeys, BOOL bCountDown,
                                                 BOOL bRecursive, BOOL bDepthFirst)
    : COXRegistryItem(lpszFullPath), m_bListValues(bListValues), m_bListKeys(bListKeys), m_bCountDown(bCountDown),
      m_bRecursive(bRecursive), m_bDepthFirst(bDepthFirst), m_bEnd(TRUE) {}

COXIteratorRegistryItem::~COXIteratorRegistryItem() = default;

BOOL COXIteratorRegistryItem::ReadLevel(const CString& keyPath, Level& level) {
    level = Level();
    level.keyPath = keyPath;
    COXRegistryItem key(keyPath);
    if (!key.Open(FALSE, KEY_ALL_ACCESS) && !key.Open(FALSE, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)) {
        m_dwLastError = key.GetLastError();
        return FALSE;
    }
    // Values before subkeys; each kind from its first index or, counting down, from its last.
    auto take = [&](BOOL bKey) {
        const int count = bKey ? key.GetNumberOfSubkeys() : key.GetNumberOfValues();
        if (count < 0) {
            m_dwLastError = key.GetLastError();
            return FALSE;
        }
        for (int step = 0; step < count; ++step) {
            const DWORD index = static_cast<DWORD>(m_bCountDown ? count - 1 - step : step);
            level.entries.push_back({bKey ? key.GetSubkeyNameAt(index) : key.GetValueNameAt(index), bKey});
        }
        return TRUE;
    };
    if (m_bListValues && !take(FALSE)) {
        return FALSE;
    }
    if ((m_bListKeys || m_bRecursive) && !take(TRUE)) {
        return FALSE;
    }
    return TRUE;
}

void COXIteratorRegistryItem::MoveTo(const CString& fullPath) {
    // The walk's levels stay; only the item's own path (and open key) changes.
    Close();
    m_sFullPath = fullPath;
    ParseFullPath();
}

BOOL COXIteratorRegistryItem::Start() {
    m_levels.clear();
    m_bEnd = TRUE;
    Close();
    m_sFullPath = GetMachineName() + GetRootName() + GetKeyName();
    ParseFullPath();
    Level first;
    if (!ReadLevel(m_sFullPath, first)) {
        return FALSE;
    }
    m_levels.push_back(std::move(first));
    m_bEnd = FALSE;
    if (!Next()) {
        SetError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    return TRUE;
}

BOOL COXIteratorRegistryItem::Next() {
    while (!m_levels.empty()) {
        Level& level = m_levels.back();
        if (level.next == level.entries.size()) {
            const CString pending = level.pendingKey;
            m_levels.pop_back();
            if (!pending.IsEmpty()) {
                MoveTo(pending);
                SetError(ERROR_SUCCESS);
                return TRUE;
            }
            continue;
        }
        const Entry entry = level.entries[level.next++];
        if (!entry.bKey) {
            MoveTo(level.keyPath + entry.name);
            SetError(ERROR_SUCCESS);
            return TRUE;
        }
        const CString keyPath = level.keyPath + entry.name + "\\";
        if (m_bRecursive) {
            Level child;
            if (ReadLevel(keyPath, child)) {
                if (m_bDepthFirst && m_bListKeys) {
                    child.pendingKey = keyPath;
                    m_levels.push_back(std::move(child));
                    continue;
                }
                m_levels.push_back(std::move(child));
            }
        }
        if (m_bListKeys) {
            MoveTo(keyPath);
            SetError(ERROR_SUCCESS);
            return TRUE;
        }
    }
    m_bEnd = TRUE;
    return FALSE;
}
