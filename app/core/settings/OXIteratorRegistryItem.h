// COXIteratorRegistryItem: walks the keys (and, when asked, the values) below a key. After Start and each
// successful Next the item itself addresses the entry reached, so it can be read or deleted in place.
//
// Options: list values, list keys, count down (from each key's last index to its first), recurse into
// subkeys, and depth first (a key's subkeys are visited before the key). Counting down and depth first
// together let a caller remove every entry it reaches. Each key's entries are taken when the walk enters it.
#pragma once

#include <vector>

#include "app/core/settings/OXRegistryItem.h"

class COXIteratorRegistryItem : public COXRegistryItem {
    DECLARE_DYNAMIC(COXIteratorRegistryItem)

public:
    explicit COXIteratorRegistryItem(LPCSTR lpszFullPath = "", BOOL bListValues = FALSE, BOOL bListKeys = TRUE,
                                     BOOL bCountDown = FALSE, BOOL bRecursive = FALSE, BOOL bDepthFirst = FALSE);
    ~COXIteratorRegistryItem() override;

    // Starts below the key the item's path names (its value-name part is ignored) and moves to the first
    // entry. FALSE when the walk cannot start: the key cannot be read, or there is nothing to visit (last
    // error 0x80070103, no more items).
    BOOL Start();
    // Moves to the next entry; FALSE (and IsEnd) after the last.
    BOOL Next();
    BOOL IsEnd() const { return m_bEnd; }

private:
    struct Entry {
        CString name;
        BOOL bKey;
    };
    struct Level {
        CString keyPath;            // the level's key as a full path ending in "\"
        std::vector<Entry> entries; // in visiting order
        size_t next = 0;
        CString pendingKey; // depth first: the key to visit once its level is done
    };

    // Reads the entries of a key; FALSE when it cannot be read.
    BOOL ReadLevel(const CString& keyPath, Level& level);
    void MoveTo(const CString& fullPath);

    BOOL m_bListValues;
    BOOL m_bListKeys;
    BOOL m_bCountDown;
    BOOL m_bRecursive;
    BOOL m_bDepthFirst;
    std::vector<Level> m_levels;
    BOOL m_bEnd;
};
