// CRegSerialize<T>: stores a serialisable object as a binary registry value (its archive image) and loads it
// back. Values may have been damaged or edited by hand, so a load answers TRUE only when the value was the
// whole image of an object and the object took it; otherwise the object stays as it was.
#pragma once

#include "afx.h"
#include "windows.h"

class CFilterDefinition;

template <class T> class CRegSerialize {
public:
    // The largest value a load reads.
    static constexpr DWORD MaxValueSize = 4096;

    explicit CRegSerialize(T* pObject) : m_pObject(pObject) {}
    CRegSerialize(const CRegSerialize&) = delete;
    CRegSerialize& operator=(const CRegSerialize&) = delete;

    // Creates the sub-key when absent; FALSE (the value as it was) when the key, the archive or the write fails.
    BOOL Save(HKEY hRoot, LPCSTR lpszSubKey, LPCSTR lpszValueName);
    // FALSE when the key or value is absent, the value is not REG_BINARY, larger than MaxValueSize, or not
    // exactly one object's image.
    BOOL Load(HKEY hRoot, LPCSTR lpszSubKey, LPCSTR lpszValueName);

private:
    T* m_pObject;
    HKEY m_hKey = nullptr;
};

extern template class CRegSerialize<CFilterDefinition>;

// Named filter definitions ("Filters") and triggers ("Triggers") under the application's key of the user.
extern const char g_szFiltersSubKey[];
extern const char g_szTriggersSubKey[];
BOOL RegSaveFilter(CFilterDefinition* pFilter, LPCSTR lpszName);
BOOL RegLoadFilter(CFilterDefinition* pFilter, LPCSTR lpszName);
BOOL RegSaveTrigger(CFilterDefinition* pTrigger, LPCSTR lpszName);
BOOL RegLoadTrigger(CFilterDefinition* pTrigger, LPCSTR lpszName);
