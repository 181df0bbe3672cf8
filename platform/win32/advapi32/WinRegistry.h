// The registry API over the machine's one registry store (NtRegistryStore.h), the same the kernel's Zw*
// routines use: what a driver writes under "\Registry\Machine" is read here under HKEY_LOCAL_MACHINE.
//
// Roots: HKEY_LOCAL_MACHINE = \Registry\Machine, HKEY_USERS = \Registry\User, HKEY_CURRENT_USER = the one user's
// key below it (WinRegistryControl.h), HKEY_CLASSES_ROOT = \Registry\Machine\Software\Classes,
// HKEY_CURRENT_CONFIG = \Registry\Machine\System\CurrentControlSet\Hardware Profiles\Current.
// Names are case-insensitive. The 8-bit (A) functions pass text in the machine's code page, one byte a
// character (Latin-1): strings are stored as UTF-16 as the platform stores them, and read back byte for byte.
// Results are Win32 error codes (ERROR_SUCCESS on success); the last error is not set.
#pragma once

#include "NtRegistryTypes.h"
#include "windef.h"

typedef LONG LSTATUS;
typedef ACCESS_MASK REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000004))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))
#define HKEY_DYN_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000006))

#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000L
#endif

// Opens an existing key; a null or empty subKey opens hKey itself again.
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
// Opens the key, creating it and any missing key above it. disposition: REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY.
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                        LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
LSTATUS RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result);
LSTATUS RegCloseKey(HKEY key);
// A null or empty name is the key's unnamed value. With data null only the size is reported; a short buffer
// gives ERROR_MORE_DATA and the size needed in *dataSize.
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
// The bytes are stored as given: a REG_SZ counts its NUL in dataSize.
LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName);
// ERROR_ACCESS_DENIED while the key has subkeys.
LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey);
// By index in a stable order (subkeys by name, values in creation order); ERROR_NO_MORE_ITEMS past the end.
// Name sizes are in characters: in, the buffer's size; out, the name's length without the NUL.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
                      LPDWORD classLength, PFILETIME lastWriteTime);
LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize);
LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                         LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                         LPDWORD maxValueLength, LPDWORD securityDescriptor, PFILETIME lastWriteTime);
// Only the local machine is reachable (a null or empty name, or this computer's name); another gives
// ERROR_BAD_NETPATH. The result is the root itself.
LSTATUS RegConnectRegistryA(LPCSTR machineName, HKEY key, PHKEY result);
LSTATUS RegFlushKey(HKEY key);

inline LSTATUS RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    return RegOpenKeyExA(key, subKey, options, desired, result);
}
inline LSTATUS RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                              LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    return RegCreateKeyExA(key, subKey, reserved, className, options, desired, security, result, disposition);
}
inline LSTATUS RegOpenKey(HKEY key, LPCSTR subKey, PHKEY result) {
    return RegOpenKeyA(key, subKey, result);
}
inline LSTATUS RegCreateKey(HKEY key, LPCSTR subKey, PHKEY result) {
    return RegCreateKeyA(key, subKey, result);
}
inline LSTATUS RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                               LPDWORD dataSize) {
    return RegQueryValueExA(key, valueName, reserved, type, data, dataSize);
}
inline LSTATUS RegSetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
    return RegSetValueExA(key, valueName, reserved, type, data, dataSize);
}
inline LSTATUS RegDeleteValue(HKEY key, LPCSTR valueName) {
    return RegDeleteValueA(key, valueName);
}
inline LSTATUS RegDeleteKey(HKEY key, LPCSTR subKey) {
    return RegDeleteKeyA(key, subKey);
}
inline LSTATUS RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
                            LPDWORD classLength, PFILETIME lastWriteTime) {
    return RegEnumKeyExA(key, index, name, nameLength, reserved, className, classLength, lastWriteTime);
}
inline LSTATUS RegEnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD reserved,
                            LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return RegEnumValueA(key, index, valueName, valueNameLength, reserved, type, data, dataSize);
}
inline LSTATUS RegQueryInfoKey(HKEY key, LPSTR className, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                               LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values,
                               LPDWORD maxValueNameLength, LPDWORD maxValueLength, LPDWORD securityDescriptor,
                               PFILETIME lastWriteTime) {
    return RegQueryInfoKeyA(key, className, classLength, reserved, subKeys, maxSubKeyLength, maxClassLength, values,
                            maxValueNameLength, maxValueLength, securityDescriptor, lastWriteTime);
}
inline LSTATUS RegConnectRegistry(LPCSTR machineName, HKEY key, PHKEY result) {
    return RegConnectRegistryA(machineName, key, result);
}
