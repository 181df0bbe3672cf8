// CWinApp's profile: values under HKEY_CURRENT_USER "Software\<registry key>\<application>\<section>".
#include "AfxWinApp.h"

#include <cstring>

#include "AfxStringTable.h"
#include "winerror.h"

namespace {

enum class Access { read, modify, create };

// Reads and deletions go through keys that already exist, so that they create nothing.
class ProfileKey {
public:
    ProfileKey(const CString& path, Access access) {
        if (path.IsEmpty())
            return;
        LSTATUS status = access == Access::create
                             ? RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                               &m_hKey, nullptr)
                             : RegOpenKeyExA(HKEY_CURRENT_USER, path, 0,
                                             access == Access::read ? KEY_READ : KEY_READ | KEY_WRITE, &m_hKey);
        if (status != ERROR_SUCCESS)
            m_hKey = nullptr;
    }
    ~ProfileKey() {
        if (m_hKey != nullptr)
            RegCloseKey(m_hKey);
    }
    ProfileKey(const ProfileKey&) = delete;
    ProfileKey& operator=(const ProfileKey&) = delete;

    HKEY Get() const { return m_hKey; }
    HKEY Release() {
        HKEY h = m_hKey;
        m_hKey = nullptr;
        return h;
    }

private:
    HKEY m_hKey = nullptr;
};

CString AppKeyPath(const CWinApp& app) {
    if (app.m_pszRegistryKey == nullptr || app.m_pszProfileName == nullptr)
        return CString();
    CString path = "Software\\";
    path += app.m_pszRegistryKey;
    path += "\\";
    path += app.m_pszProfileName;
    return path;
}

CString SectionKeyPath(const CWinApp& app, LPCTSTR lpszSection) {
    CString path = AppKeyPath(app);
    if (path.IsEmpty() || lpszSection == nullptr)
        return CString();
    path += "\\";
    path += lpszSection;
    return path;
}

// The value's type and size; FALSE when it does not exist.
BOOL QueryValue(HKEY hKey, LPCTSTR lpszEntry, DWORD& type, DWORD& size) {
    type = 0;
    size = 0;
    return hKey != nullptr && RegQueryValueExA(hKey, lpszEntry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

} // namespace

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    m_strRegistryKey = lpszRegistryKey != nullptr ? lpszRegistryKey : "";
    m_pszRegistryKey = m_strRegistryKey;
    // The profile is named after the application.
    m_strProfileName = m_pszAppName != nullptr ? m_pszAppName : m_pszExeName;
    m_pszProfileName = m_strProfileName;
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
    CString key;
    AfxLoadString(nIDRegistryKey, key);
    SetRegistryKey(key);
}

HKEY CWinApp::GetAppRegistryKey() {
    return ProfileKey(AppKeyPath(*this), Access::create).Release();
}

HKEY CWinApp::GetSectionKey(LPCTSTR lpszSection) {
    return ProfileKey(SectionKeyPath(*this, lpszSection), Access::create).Release();
}

UINT CWinApp::GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault) {
    ProfileKey key(SectionKeyPath(*this, lpszSection), Access::read);
    DWORD type = 0;
    DWORD size = 0;
    if (!QueryValue(key.Get(), lpszEntry, type, size) || type != REG_DWORD || size != sizeof(DWORD))
        return static_cast<UINT>(nDefault);
    DWORD value = 0;
    if (RegQueryValueExA(key.Get(), lpszEntry, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
        ERROR_SUCCESS)
        return static_cast<UINT>(nDefault);
    return value;
}

BOOL CWinApp::WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue) {
    ProfileKey key(SectionKeyPath(*this, lpszSection), Access::create);
    if (key.Get() == nullptr || lpszEntry == nullptr)
        return FALSE;
    DWORD value = static_cast<DWORD>(nValue);
    return RegSetValueExA(key.Get(), lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault) {
    CString fallback = lpszDefault != nullptr ? lpszDefault : "";
    ProfileKey key(SectionKeyPath(*this, lpszSection), Access::read);
    DWORD type = 0;
    DWORD size = 0;
    if (!QueryValue(key.Get(), lpszEntry, type, size) || (type != REG_SZ && type != REG_EXPAND_SZ))
        return fallback;
    CString value;
    LPTSTR buffer = value.GetBuffer(static_cast<int>(size) + 1);
    LSTATUS status = RegQueryValueExA(key.Get(), lpszEntry, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    // The stored bytes may lack their terminator; the text ends at the first NUL or at the end of the data.
    buffer[status == ERROR_SUCCESS ? size : 0] = '\0';
    value.ReleaseBuffer();
    return status == ERROR_SUCCESS ? value : fallback;
}

BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue) {
    if (lpszSection == nullptr)
        return FALSE;
    if (lpszEntry == nullptr) {
        ProfileKey app(AppKeyPath(*this), Access::modify);
        return app.Get() != nullptr && RegDeleteKeyA(app.Get(), lpszSection) == ERROR_SUCCESS;
    }
    if (lpszValue == nullptr) {
        ProfileKey key(SectionKeyPath(*this, lpszSection), Access::modify);
        if (key.Get() == nullptr)
            return TRUE; // nothing to delete
        LSTATUS status = RegDeleteValueA(key.Get(), lpszEntry);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    ProfileKey key(SectionKeyPath(*this, lpszSection), Access::create);
    if (key.Get() == nullptr)
        return FALSE;
    return RegSetValueExA(key.Get(), lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                          static_cast<DWORD>(std::strlen(lpszValue) + 1)) == ERROR_SUCCESS;
}

BOOL CWinApp::GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes) {
    if (ppData == nullptr || pBytes == nullptr)
        return FALSE;
    *ppData = nullptr;
    *pBytes = 0;
    ProfileKey key(SectionKeyPath(*this, lpszSection), Access::read);
    DWORD type = 0;
    DWORD size = 0;
    if (!QueryValue(key.Get(), lpszEntry, type, size) || type != REG_BINARY)
        return FALSE;
    auto* data = new BYTE[size > 0 ? size : 1];
    if (RegQueryValueExA(key.Get(), lpszEntry, nullptr, &type, data, &size) != ERROR_SUCCESS) {
        delete[] data;
        return FALSE;
    }
    *ppData = data;
    *pBytes = size;
    return TRUE;
}

BOOL CWinApp::WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes) {
    ProfileKey key(SectionKeyPath(*this, lpszSection), Access::create);
    if (key.Get() == nullptr || lpszEntry == nullptr)
        return FALSE;
    return RegSetValueExA(key.Get(), lpszEntry, 0, REG_BINARY, pData, nBytes) == ERROR_SUCCESS;
}
