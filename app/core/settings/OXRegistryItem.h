// COXRegistryItem: one registry key or value addressed by a full path text,
//   [\\machine]\Root\key\path\[value]
// where Root is one of "\ClassesRoot", "\CurrentUser", "\LocalMachine", "\Users", "\PerformanceData",
// "\CurrentConfig" and "\DynData" (any case, and only when followed by "\" or the end); a path without a root
// is under "\CurrentUser". The key part starts and ends with "\", so a path ending in "\" names the key
// itself; the value name "NoName" (any case) is the key's unnamed value.
//
// Every operation sets the last error: 0, or 0x80070000 with the system error code; Boolean results are TRUE
// when it is not negative. An operation on a key that is not open opens it for that operation only: a read,
// an enumeration or a deletion with full access and, failing that, with the access it needs; a write
// creating the key with full access and, failing that, with set-value access.
#pragma once

#include "afx.h"

class COXRegistryItem : public CObject {
    DECLARE_DYNAMIC(COXRegistryItem)

public:
    // The text of the key's unnamed value.
    static constexpr char NoName[] = "NoName";

    COXRegistryItem();
    explicit COXRegistryItem(LPCSTR lpszFullPath);
    ~COXRegistryItem() override;

    // Replaces the path; closes an open key.
    void SetFullPath(LPCSTR lpszFullPath);
    CString GetFullPath() const;
    CString GetMachineName() const { return m_sMachine; } // "\\machine", or empty for this machine
    CString GetRootName() const { return m_sRoot; }       // "\CurrentUser", ...
    CString GetKeyName() const { return m_sKey; }         // "\Software\...\"
    CString GetValueName() const { return m_sValueName; } // empty when the path names a key

    // Connects to the root (on the named machine when there is one) and opens the key, creating it when
    // bCreate. The key stays open until Close, SetFullPath or the destructor.
    BOOL Open(BOOL bCreate = TRUE, REGSAM samDesired = KEY_ALL_ACCESS, LPSTR lpszClass = nullptr,
              DWORD dwOptions = REG_OPTION_NON_VOLATILE, LPSECURITY_ATTRIBUTES pSecurity = nullptr,
              LPDWORD pdwDisposition = nullptr);
    // Closes the key and the root; TRUE when no error is pending.
    BOOL Close();
    BOOL IsOpen() const { return m_hKey != nullptr; }

    // Values by name; a null name is the path's own value name.
    // A REG_DWORD (REG_DWORD_BIG_ENDIAN when not bLittleEndian) of exactly 4 bytes, else dwDefault.
    DWORD GetNumberValue(LPCSTR lpszValueName = nullptr, BOOL bLittleEndian = TRUE, DWORD dwDefault = 0);
    BOOL SetNumberValue(DWORD dwValue, LPCSTR lpszValueName = nullptr, BOOL bLittleEndian = TRUE);
    // A REG_SZ (or REG_EXPAND_SZ too when bAnyType; expanded when bExpand), read within its stored size;
    // any failure gives lpszDefault.
    CString GetStringValue(LPCSTR lpszValueName = nullptr, BOOL bAnyType = FALSE, BOOL bExpand = FALSE,
                           LPCSTR lpszDefault = "");
    // REG_SZ (REG_EXPAND_SZ when bExpand) with its terminating NUL.
    BOOL SetStringValue(LPCSTR lpszValue, LPCSTR lpszValueName = nullptr, BOOL bExpand = FALSE);
    // Deletes the path's value, or the key itself when the path names a key (a key with subkeys stays).
    BOOL Delete();

    // From the key's information: -1 when it cannot be read.
    int GetNumberOfValues();
    int GetNumberOfSubkeys();
    // Names by index ("NoName" for the unnamed value); empty when there is none.
    CString GetValueNameAt(DWORD dwIndex);
    CString GetSubkeyNameAt(DWORD dwIndex);

    DWORD GetLastError() const { return m_dwLastError; }

protected:
    // Records a system error code as the last error; TRUE when it is success.
    BOOL SetError(LSTATUS status);
    BOOL Succeeded() const { return static_cast<LONG>(m_dwLastError) >= 0; }

    // The open key for one operation: the item's own when it is open, else one opened here (full access
    // first, then dwNeeded) and closed by the guard.
    class CKeyUse {
    public:
        CKeyUse(COXRegistryItem& item, REGSAM dwNeeded, BOOL bCreate);
        ~CKeyUse();
        CKeyUse(const CKeyUse&) = delete;
        CKeyUse& operator=(const CKeyUse&) = delete;
        HKEY Key() const { return m_hKey; }

    private:
        HKEY m_hKey = nullptr;
        BOOL m_bOwned = FALSE;
    };

    // The API name of a value: the path's own when null, "" for "NoName".
    CString ApiValueName(LPCSTR lpszValueName) const;
    // The key part without its leading and trailing "\".
    CString ApiKeyName() const;
    // Connects to the root of the path (on its machine); a system error code.
    LSTATUS ConnectRoot(HKEY& hRoot) const;
    // Opens (or creates) the key part below the root with the access; a system error code.
    LSTATUS OpenBelow(HKEY hRoot, HKEY& hKey, BOOL bCreate, REGSAM samDesired, LPSTR lpszClass = nullptr,
                      DWORD dwOptions = REG_OPTION_NON_VOLATILE, LPSECURITY_ATTRIBUTES pSecurity = nullptr,
                      LPDWORD pdwDisposition = nullptr) const;
    // Both, for one operation: the root is closed again.
    LSTATUS OpenKey(HKEY& hKey, BOOL bCreate, REGSAM samDesired) const;
    HKEY RootKey() const;
    CString EnumName(HKEY hKey, DWORD dwIndex, BOOL bValue);
    void ParseFullPath();

    CString m_sFullPath;
    CString m_sMachine;
    CString m_sRoot;
    CString m_sKey;
    CString m_sValueName;
    HKEY m_hRootKey;
    HKEY m_hKey;
    DWORD m_dwLastError;
};
