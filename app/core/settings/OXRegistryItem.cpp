#include "app/core/settings/OXRegistryItem.h"

#include <cstring>
#include <vector>

IMPLEMENT_DYNAMIC(COXRegistryItem, CObject)

namespace {

struct RootName {
    const char* name; // without its leading "\"
    HKEY key;
};

const RootName kRoots[] = {
    {"ClassesRoot", HKEY_CLASSES_ROOT},
    {"CurrentUser", HKEY_CURRENT_USER},
    {"LocalMachine", HKEY_LOCAL_MACHINE},
    {"Users", HKEY_USERS},
    {"PerformanceData", HKEY_PERFORMANCE_DATA},
    {"CurrentConfig", HKEY_CURRENT_CONFIG},
    {"DynData", HKEY_DYN_DATA},
};

constexpr char kDefaultRoot[] = "\\CurrentUser";

// Names are first read into a buffer of this many characters, and again with the key's reported maximum
// when that is too small.
constexpr DWORD kNameBufferLength = 300;

constexpr DWORD kWin32ErrorFacility = 0x80070000;

bool OnlyBackslashes(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] != '\\') {
            return false;
        }
    }
    return true;
}

DWORD SwapBytes(DWORD value) {
    return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) | (value >> 24);
}

} // namespace

COXRegistryItem::COXRegistryItem() : m_hRootKey(nullptr), m_hKey(nullptr), m_dwLastError(0) {}

COXRegistryItem::COXRegistryItem(LPCSTR lpszFullPath) : COXRegistryItem() {
    SetFullPath(lpszFullPath);
}

COXRegistryItem::~COXRegistryItem() {
    Close();
}

void COXRegistryItem::SetFullPath(LPCSTR lpszFullPath) {
    Close();
    m_sFullPath = lpszFullPath != nullptr ? lpszFullPath : "";
    ParseFullPath();
}

CString COXRegistryItem::GetFullPath() const {
    return m_sFullPath;
}

void COXRegistryItem::ParseFullPath() {
    m_sMachine.Empty();
    m_sRoot.Empty();
    m_sKey.Empty();
    m_sValueName.Empty();

    CString rest = m_sFullPath;
    if (rest.Left(2) == "\\\\" && rest.GetLength() > 2 && rest[2] != '\\') {
        const int end = rest.Find('\\', 2);
        m_sMachine = end < 0 ? rest : rest.Left(end);
        rest = end < 0 ? CString() : rest.Mid(end);
    }
    if (OnlyBackslashes(rest)) {
        return;
    }

    m_sRoot = kDefaultRoot;
    if (rest[0] == '\\') {
        const int end = rest.Find('\\', 1);
        const CString first = end < 0 ? rest.Mid(1) : rest.Mid(1, end - 1);
        for (const RootName& root : kRoots) {
            if (first.CompareNoCase(root.name) == 0) {
                m_sRoot = CString("\\") + root.name;
                rest = end < 0 ? CString() : rest.Mid(end);
                break;
            }
        }
    }
    if (rest.IsEmpty() || rest[0] != '\\') {
        rest = CString("\\") + rest;
    }
    const int last = rest.ReverseFind('\\');
    m_sKey = rest.Left(last + 1);
    m_sValueName = rest.Mid(last + 1);
}

BOOL COXRegistryItem::SetError(LSTATUS status) {
    m_dwLastError = status == ERROR_SUCCESS ? 0 : (kWin32ErrorFacility | (static_cast<DWORD>(status) & 0xFFFF));
    return status == ERROR_SUCCESS;
}

HKEY COXRegistryItem::RootKey() const {
    for (const RootName& root : kRoots) {
        if (m_sRoot.CompareNoCase(CString("\\") + root.name) == 0) {
            return root.key;
        }
    }
    return nullptr;
}

CString COXRegistryItem::ApiKeyName() const {
    CString key = m_sKey;
    while (!key.IsEmpty() && key[0] == '\\') {
        key = key.Mid(1);
    }
    while (!key.IsEmpty() && key[key.GetLength() - 1] == '\\') {
        key = key.Left(key.GetLength() - 1);
    }
    return key;
}

CString COXRegistryItem::ApiValueName(LPCSTR lpszValueName) const {
    CString name = lpszValueName != nullptr ? CString(lpszValueName) : m_sValueName;
    if (name.CompareNoCase(NoName) == 0) {
        name.Empty();
    }
    return name;
}

LSTATUS COXRegistryItem::ConnectRoot(HKEY& hRoot) const {
    hRoot = nullptr;
    const HKEY root = RootKey();
    if (root == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const LSTATUS status = RegConnectRegistryA(m_sMachine.IsEmpty() ? nullptr : m_sMachine.GetString(), root, &hRoot);
    if (status != ERROR_SUCCESS) {
        hRoot = nullptr;
    }
    return status;
}

LSTATUS COXRegistryItem::OpenBelow(HKEY hRoot, HKEY& hKey, BOOL bCreate, REGSAM samDesired, LPSTR lpszClass,
                                   DWORD dwOptions, LPSECURITY_ATTRIBUTES pSecurity, LPDWORD pdwDisposition) const {
    const CString key = ApiKeyName();
    const LSTATUS status =
        bCreate ? RegCreateKeyExA(hRoot, key, 0, lpszClass, dwOptions, samDesired, pSecurity, &hKey, pdwDisposition)
                : RegOpenKeyExA(hRoot, key, 0, samDesired, &hKey);
    if (status != ERROR_SUCCESS) {
        hKey = nullptr;
    }
    return status;
}

LSTATUS COXRegistryItem::OpenKey(HKEY& hKey, BOOL bCreate, REGSAM samDesired) const {
    hKey = nullptr;
    HKEY hRoot = nullptr;
    LSTATUS status = ConnectRoot(hRoot);
    if (status == ERROR_SUCCESS) {
        status = OpenBelow(hRoot, hKey, bCreate, samDesired);
        RegCloseKey(hRoot);
    }
    return status;
}

BOOL COXRegistryItem::Open(BOOL bCreate, REGSAM samDesired, LPSTR lpszClass, DWORD dwOptions,
                           LPSECURITY_ATTRIBUTES pSecurity, LPDWORD pdwDisposition) {
    Close();
    LSTATUS status = ConnectRoot(m_hRootKey);
    if (status == ERROR_SUCCESS) {
        status = OpenBelow(m_hRootKey, m_hKey, bCreate, samDesired, lpszClass, dwOptions, pSecurity, pdwDisposition);
    }
    return SetError(status);
}

BOOL COXRegistryItem::Close() {
    if (m_hKey != nullptr) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
    if (m_hRootKey != nullptr) {
        RegCloseKey(m_hRootKey);
        m_hRootKey = nullptr;
    }
    return Succeeded();
}

COXRegistryItem::CKeyUse::CKeyUse(COXRegistryItem& item, REGSAM dwNeeded, BOOL bCreate) {
    if (item.m_hKey != nullptr) {
        m_hKey = item.m_hKey;
        return;
    }
    LSTATUS status = item.OpenKey(m_hKey, bCreate, KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS) {
        status = item.OpenKey(m_hKey, bCreate, dwNeeded);
    }
    m_bOwned = m_hKey != nullptr;
    item.SetError(status);
}

COXRegistryItem::CKeyUse::~CKeyUse() {
    if (m_bOwned) {
        RegCloseKey(m_hKey);
    }
}

DWORD COXRegistryItem::GetNumberValue(LPCSTR lpszValueName, BOOL bLittleEndian, DWORD dwDefault) {
    CKeyUse use(*this, KEY_QUERY_VALUE, FALSE);
    if (use.Key() == nullptr) {
        return dwDefault;
    }
    DWORD dwType = REG_NONE;
    DWORD dwValue = 0;
    DWORD dwSize = sizeof dwValue;
    const LSTATUS status = RegQueryValueExA(use.Key(), ApiValueName(lpszValueName), nullptr, &dwType,
                                            reinterpret_cast<LPBYTE>(&dwValue), &dwSize);
    if (status == ERROR_MORE_DATA) {
        SetError(ERROR_INVALID_DATA);
        return dwDefault;
    }
    if (!SetError(status)) {
        return dwDefault;
    }
    if (dwType != (bLittleEndian ? REG_DWORD : REG_DWORD_BIG_ENDIAN) || dwSize != sizeof dwValue) {
        SetError(ERROR_INVALID_DATA);
        return dwDefault;
    }
    return bLittleEndian ? dwValue : SwapBytes(dwValue);
}

BOOL COXRegistryItem::SetNumberValue(DWORD dwValue, LPCSTR lpszValueName, BOOL bLittleEndian) {
    CKeyUse use(*this, KEY_SET_VALUE, TRUE);
    if (use.Key() == nullptr) {
        return FALSE;
    }
    const DWORD dwStored = bLittleEndian ? dwValue : SwapBytes(dwValue);
    return SetError(RegSetValueExA(use.Key(), ApiValueName(lpszValueName), 0,
                                   bLittleEndian ? REG_DWORD : REG_DWORD_BIG_ENDIAN,
                                   reinterpret_cast<const BYTE*>(&dwStored), sizeof dwStored));
}

CString COXRegistryItem::GetStringValue(LPCSTR lpszValueName, BOOL bAnyType, BOOL bExpand, LPCSTR lpszDefault) {
    CKeyUse use(*this, KEY_QUERY_VALUE, FALSE);
    if (use.Key() == nullptr) {
        return lpszDefault;
    }
    const CString name = ApiValueName(lpszValueName);
    DWORD dwType = REG_NONE;
    DWORD dwSize = 0;
    if (!SetError(RegQueryValueExA(use.Key(), name, nullptr, &dwType, nullptr, &dwSize))) {
        return lpszDefault;
    }
    if (dwType != REG_SZ && !(bAnyType && dwType == REG_EXPAND_SZ)) {
        SetError(ERROR_INVALID_DATA);
        return lpszDefault;
    }
    // One byte more than stored, so that a text stored without its NUL still ends.
    std::vector<char> buffer(static_cast<size_t>(dwSize) + 1, '\0');
    DWORD dwRead = dwSize;
    if (!SetError(
            RegQueryValueExA(use.Key(), name, nullptr, &dwType, reinterpret_cast<LPBYTE>(buffer.data()), &dwRead))) {
        return lpszDefault;
    }
    CString text(buffer.data(), static_cast<int>(strnlen(buffer.data(), dwRead)));
    if (bExpand && dwType == REG_EXPAND_SZ) {
        const DWORD dwNeeded = ExpandEnvironmentStringsA(text, nullptr, 0);
        if (dwNeeded == 0) {
            SetError(static_cast<LSTATUS>(::GetLastError()));
            return lpszDefault;
        }
        std::vector<char> expanded(dwNeeded, '\0');
        if (ExpandEnvironmentStringsA(text, expanded.data(), dwNeeded) == 0) {
            SetError(static_cast<LSTATUS>(::GetLastError()));
            return lpszDefault;
        }
        text = expanded.data();
    }
    return text;
}

BOOL COXRegistryItem::SetStringValue(LPCSTR lpszValue, LPCSTR lpszValueName, BOOL bExpand) {
    CKeyUse use(*this, KEY_SET_VALUE, TRUE);
    if (use.Key() == nullptr) {
        return FALSE;
    }
    const CString value = lpszValue != nullptr ? lpszValue : "";
    return SetError(RegSetValueExA(use.Key(), ApiValueName(lpszValueName), 0, bExpand ? REG_EXPAND_SZ : REG_SZ,
                                   reinterpret_cast<const BYTE*>(value.GetString()),
                                   static_cast<DWORD>(value.GetLength() + 1)));
}

BOOL COXRegistryItem::Delete() {
    if (!m_sValueName.IsEmpty()) {
        CKeyUse use(*this, KEY_SET_VALUE, FALSE);
        if (use.Key() == nullptr) {
            return FALSE;
        }
        return SetError(RegDeleteValueA(use.Key(), ApiValueName(nullptr)));
    }
    // A key is deleted from its parent; a handle of our own on it goes first.
    const CString key = ApiKeyName();
    if (key.IsEmpty()) {
        return SetError(ERROR_ACCESS_DENIED); // a root cannot be deleted
    }
    Close();
    const int split = key.ReverseFind('\\');
    COXRegistryItem parent;
    parent.m_sMachine = m_sMachine;
    parent.m_sRoot = m_sRoot;
    parent.m_sKey = split < 0 ? CString("\\") : "\\" + key.Left(split) + "\\";
    CKeyUse use(parent, DELETE | KEY_ENUMERATE_SUB_KEYS, FALSE);
    if (use.Key() == nullptr) {
        m_dwLastError = parent.m_dwLastError;
        return FALSE;
    }
    return SetError(RegDeleteKeyA(use.Key(), split < 0 ? key : key.Mid(split + 1)));
}

int COXRegistryItem::GetNumberOfValues() {
    CKeyUse use(*this, KEY_QUERY_VALUE, FALSE);
    DWORD dwValues = 0;
    if (use.Key() == nullptr || !SetError(RegQueryInfoKeyA(use.Key(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                                           nullptr, &dwValues, nullptr, nullptr, nullptr, nullptr))) {
        return -1;
    }
    return static_cast<int>(dwValues);
}

int COXRegistryItem::GetNumberOfSubkeys() {
    CKeyUse use(*this, KEY_QUERY_VALUE, FALSE);
    DWORD dwSubkeys = 0;
    if (use.Key() == nullptr || !SetError(RegQueryInfoKeyA(use.Key(), nullptr, nullptr, nullptr, &dwSubkeys, nullptr,
                                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))) {
        return -1;
    }
    return static_cast<int>(dwSubkeys);
}

CString COXRegistryItem::GetValueNameAt(DWORD dwIndex) {
    CKeyUse use(*this, KEY_QUERY_VALUE, FALSE);
    if (use.Key() == nullptr) {
        return CString();
    }
    return EnumName(use.Key(), dwIndex, TRUE);
}

CString COXRegistryItem::GetSubkeyNameAt(DWORD dwIndex) {
    CKeyUse use(*this, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, FALSE);
    if (use.Key() == nullptr) {
        return CString();
    }
    return EnumName(use.Key(), dwIndex, FALSE);
}

CString COXRegistryItem::EnumName(HKEY hKey, DWORD dwIndex, BOOL bValue) {
    auto enumerate = [&](std::vector<char>& buffer) {
        DWORD dwLength = static_cast<DWORD>(buffer.size());
        const LSTATUS status =
            bValue ? RegEnumValueA(hKey, dwIndex, buffer.data(), &dwLength, nullptr, nullptr, nullptr, nullptr)
                   : RegEnumKeyExA(hKey, dwIndex, buffer.data(), &dwLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            buffer.resize(dwLength);
        }
        return status;
    };
    std::vector<char> buffer(kNameBufferLength);
    LSTATUS status = enumerate(buffer);
    if (status == ERROR_MORE_DATA) {
        DWORD dwMaxSubkey = 0;
        DWORD dwMaxValue = 0;
        status = RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, nullptr, &dwMaxSubkey, nullptr, nullptr, &dwMaxValue,
                                  nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            buffer.assign(static_cast<size_t>(bValue ? dwMaxValue : dwMaxSubkey) + 1, '\0');
            status = enumerate(buffer);
        }
    }
    if (!SetError(status)) {
        return CString();
    }
    if (bValue && buffer.empty()) {
        return NoName;
    }
    return CString(buffer.data(), static_cast<int>(buffer.size()));
}
