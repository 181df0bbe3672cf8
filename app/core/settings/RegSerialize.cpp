#include "app/core/settings/RegSerialize.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include "app/core/filters/FilterDefinition.h"

namespace {
// The size of the image a freshly made object stores: a value of any other size is not one of ours.
template <class T> ULONGLONG ImageSize() {
    T object;
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    object.Serialize(ar);
    ar.Close();
    return file.GetLength();
}

// Runs the object's Serialize through an archive over the file; FALSE when the archive or the object threw.
template <class T> BOOL SerializeThrough(T* pObject, CMemFile& file, UINT nMode) {
    try {
        CArchive ar(&file, nMode, 4096);
        pObject->Serialize(ar);
        ar.Close();
    } catch (CException* e) {
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

struct KeyCloser {
    HKEY& key;
    ~KeyCloser() {
        if (key) {
            RegCloseKey(key);
            key = nullptr;
        }
    }
};
} // namespace

template <class T> BOOL CRegSerialize<T>::Save(HKEY hRoot, LPCSTR lpszSubKey, LPCSTR lpszValueName) {
    if (RegCreateKeyExA(hRoot, lpszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_hKey,
                        nullptr) != ERROR_SUCCESS) {
        m_hKey = nullptr;
        return FALSE;
    }
    KeyCloser closer{m_hKey};
    auto* pBuffer = static_cast<BYTE*>(std::malloc(MaxValueSize));
    if (!pBuffer)
        return FALSE;
    CMemFile file(pBuffer, MaxValueSize, 16);
    if (!SerializeThrough(m_pObject, file, CArchive::store)) {
        std::free(file.Detach());
        return FALSE;
    }
    const auto length = static_cast<DWORD>(file.GetLength());
    BYTE* pImage = file.Detach();
    const LSTATUS status = RegSetValueExA(m_hKey, lpszValueName, 0, REG_BINARY, pImage, length);
    std::free(pImage);
    return status == ERROR_SUCCESS;
}

template <class T> BOOL CRegSerialize<T>::Load(HKEY hRoot, LPCSTR lpszSubKey, LPCSTR lpszValueName) {
    if (RegOpenKeyExA(hRoot, lpszSubKey, 0, KEY_ALL_ACCESS, &m_hKey) != ERROR_SUCCESS) {
        m_hKey = nullptr;
        return FALSE;
    }
    KeyCloser closer{m_hKey};
    std::vector<BYTE> buffer(MaxValueSize);
    DWORD type = 0;
    DWORD size = MaxValueSize;
    if (RegQueryValueExA(m_hKey, lpszValueName, nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS)
        return FALSE;
    static const ULONGLONG imageSize = ImageSize<T>();
    if (type != REG_BINARY || size != imageSize)
        return FALSE;
    CMemFile file(buffer.data(), size);
    return SerializeThrough(m_pObject, file, CArchive::load);
}

template class CRegSerialize<CFilterDefinition>;

const char g_szFiltersSubKey[] = "Software\\Vellumcrest\\Tindaloft\\Filters";
const char g_szTriggersSubKey[] = "Software\\Vellumcrest\\Tindaloft\\Triggers";

BOOL RegSaveFilter(CFilterDefinition* pFilter, LPCSTR lpszName) {
    return CRegSerialize<CFilterDefinition>(pFilter).Save(HKEY_CURRENT_USER, g_szFiltersSubKey, lpszName);
}
BOOL RegLoadFilter(CFilterDefinition* pFilter, LPCSTR lpszName) {
    return CRegSerialize<CFilterDefinition>(pFilter).Load(HKEY_CURRENT_USER, g_szFiltersSubKey, lpszName);
}
BOOL RegSaveTrigger(CFilterDefinition* pTrigger, LPCSTR lpszName) {
    return CRegSerialize<CFilterDefinition>(pTrigger).Save(HKEY_CURRENT_USER, g_szTriggersSubKey, lpszName);
}
BOOL RegLoadTrigger(CFilterDefinition* pTrigger, LPCSTR lpszName) {
    return CRegSerialize<CFilterDefinition>(pTrigger).Load(HKEY_CURRENT_USER, g_szTriggersSubKey, lpszName);
}
