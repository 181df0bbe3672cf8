// The registry as drivers see it: Zw* routines on keys named "\Registry\Machine\..." or "\Registry\User\...",
// or relative to an open key handle (OBJECT_ATTRIBUTES.RootDirectory), and RtlQueryRegistryValues.
//
// Behaviour kept from the platform:
// - names of keys and values compare case-insensitively and keep their case;
// - ZwCreateKey creates only the last key of the path: a missing parent is STATUS_OBJECT_NAME_NOT_FOUND;
// - ZwDeleteKey refuses a key that has subkeys (STATUS_CANNOT_DELETE); a deleted key's open handles answer
//   STATUS_KEY_DELETED;
// - query routines: a buffer smaller than the fixed part of the answer gives STATUS_BUFFER_TOO_SMALL, one that
//   holds the fixed part but not everything STATUS_BUFFER_OVERFLOW (the fixed part filled); both set
//   ResultLength to the size needed;
// - subkeys enumerate sorted by name (case-insensitive), values in the order they were created;
// - handles carry the access they were opened with: writing through a KEY_READ handle is STATUS_ACCESS_DENIED.
// All registry routines run at PASSIVE_LEVEL. The store behind them is NtRegistryStore.h.
#pragma once

#include "NtObject.h"
#include "NtRegistryTypes.h"
#include "ntdef.h"
#include "ntstatus.h"

typedef enum _KEY_INFORMATION_CLASS {
    KeyBasicInformation,
    KeyNodeInformation,
    KeyFullInformation,
    KeyNameInformation,
    KeyCachedInformation,
    KeyFlagsInformation,
    KeyVirtualizationInformation,
    KeyHandleTagsInformation,
    MaxKeyInfoClass
} KEY_INFORMATION_CLASS;

typedef struct _KEY_BASIC_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG NameLength; // bytes
    WCHAR Name[1];
} KEY_BASIC_INFORMATION, *PKEY_BASIC_INFORMATION;
static_assert(offsetof(KEY_BASIC_INFORMATION, Name) == 16);

typedef struct _KEY_NODE_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset; // from the start of the structure; the class follows the name
    ULONG ClassLength;
    ULONG NameLength;
    WCHAR Name[1];
} KEY_NODE_INFORMATION, *PKEY_NODE_INFORMATION;
static_assert(offsetof(KEY_NODE_INFORMATION, Name) == 24);

typedef struct _KEY_FULL_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset;
    ULONG ClassLength;
    ULONG SubKeys;
    ULONG MaxNameLen;
    ULONG MaxClassLen;
    ULONG Values;
    ULONG MaxValueNameLen;
    ULONG MaxValueDataLen;
    WCHAR Class[1];
} KEY_FULL_INFORMATION, *PKEY_FULL_INFORMATION;
static_assert(offsetof(KEY_FULL_INFORMATION, Class) == 44);

typedef struct _KEY_NAME_INFORMATION {
    ULONG NameLength;
    WCHAR Name[1]; // the full path, "\REGISTRY\MACHINE\..."
} KEY_NAME_INFORMATION, *PKEY_NAME_INFORMATION;
static_assert(offsetof(KEY_NAME_INFORMATION, Name) == 4);

typedef enum _KEY_VALUE_INFORMATION_CLASS {
    KeyValueBasicInformation,
    KeyValueFullInformation,
    KeyValuePartialInformation,
    KeyValueFullInformationAlign64,
    KeyValuePartialInformationAlign64,
    MaxKeyValueInfoClass
} KEY_VALUE_INFORMATION_CLASS;

typedef struct _KEY_VALUE_BASIC_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG NameLength;
    WCHAR Name[1];
} KEY_VALUE_BASIC_INFORMATION, *PKEY_VALUE_BASIC_INFORMATION;
static_assert(offsetof(KEY_VALUE_BASIC_INFORMATION, Name) == 12);

typedef struct _KEY_VALUE_FULL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataOffset; // from the start of the structure; 8-byte aligned, after the name
    ULONG DataLength;
    ULONG NameLength;
    WCHAR Name[1];
} KEY_VALUE_FULL_INFORMATION, *PKEY_VALUE_FULL_INFORMATION;
static_assert(offsetof(KEY_VALUE_FULL_INFORMATION, Name) == 20);

typedef struct _KEY_VALUE_PARTIAL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
    UCHAR Data[1];
} KEY_VALUE_PARTIAL_INFORMATION, *PKEY_VALUE_PARTIAL_INFORMATION;
static_assert(offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data) == 12 && sizeof(KEY_VALUE_PARTIAL_INFORMATION) == 16);

NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes);
NTSTATUS ZwOpenKeyEx(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                     ULONG OpenOptions);
// Disposition (optional) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. CreateOptions:
// REG_OPTION_VOLATILE keys are never written to the store's file.
NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                     ULONG TitleIndex, PUNICODE_STRING Class, ULONG CreateOptions, PULONG Disposition);
NTSTATUS ZwDeleteKey(HANDLE KeyHandle);
NTSTATUS ZwFlushKey(HANDLE KeyHandle);
// ValueName null or empty names the key's default value.
NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type, PVOID Data,
                       ULONG DataSize);
NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass, PVOID KeyValueInformation, ULONG Length,
                         PULONG ResultLength);
NTSTATUS ZwDeleteValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName);
// STATUS_NO_MORE_ENTRIES past the last subkey or value.
NTSTATUS ZwEnumerateKey(HANDLE KeyHandle, ULONG Index, KEY_INFORMATION_CLASS KeyInformationClass, PVOID KeyInformation,
                        ULONG Length, PULONG ResultLength);
NTSTATUS ZwEnumerateValueKey(HANDLE KeyHandle, ULONG Index, KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                             PVOID KeyValueInformation, ULONG Length, PULONG ResultLength);
NTSTATUS ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass, PVOID KeyInformation, ULONG Length,
                    PULONG ResultLength);

// --- RtlQueryRegistryValues and friends ---

// RelativeTo: where Path starts.
#define RTL_REGISTRY_ABSOLUTE 0   // Path is a full "\Registry\..." path
#define RTL_REGISTRY_SERVICES 1   // \Registry\Machine\System\CurrentControlSet\Services
#define RTL_REGISTRY_CONTROL 2    // \Registry\Machine\System\CurrentControlSet\Control
#define RTL_REGISTRY_WINDOWS_NT 3 // \Registry\Machine\Software\Microsoft\Windows NT\CurrentVersion
#define RTL_REGISTRY_DEVICEMAP 4  // \Registry\Machine\Hardware\DeviceMap
#define RTL_REGISTRY_USER 5       // \Registry\User\.Default
#define RTL_REGISTRY_MAXIMUM 6
#define RTL_REGISTRY_HANDLE 0x40000000   // Path is a key HANDLE
#define RTL_REGISTRY_OPTIONAL 0x80000000 // a missing key is not an error

typedef NTSTATUS (*PRTL_QUERY_REGISTRY_ROUTINE)(PWSTR ValueName, ULONG ValueType, PVOID ValueData, ULONG ValueLength,
                                                PVOID Context, PVOID EntryContext);

typedef struct _RTL_QUERY_REGISTRY_TABLE {
    PRTL_QUERY_REGISTRY_ROUTINE QueryRoutine;
    ULONG Flags;
    PWSTR Name;
    PVOID EntryContext;
    ULONG DefaultType;
    PVOID DefaultData;
    ULONG DefaultLength;
} RTL_QUERY_REGISTRY_TABLE, *PRTL_QUERY_REGISTRY_TABLE;
static_assert(sizeof(RTL_QUERY_REGISTRY_TABLE) == 56);

#define RTL_QUERY_REGISTRY_SUBKEY 0x00000001
#define RTL_QUERY_REGISTRY_TOPKEY 0x00000002
#define RTL_QUERY_REGISTRY_REQUIRED 0x00000004
#define RTL_QUERY_REGISTRY_NOVALUE 0x00000008
#define RTL_QUERY_REGISTRY_NOEXPAND 0x00000010
#define RTL_QUERY_REGISTRY_DIRECT 0x00000020
#define RTL_QUERY_REGISTRY_DELETE 0x00000040
#define RTL_QUERY_REGISTRY_NOSTRING 0x00000080
#define RTL_QUERY_REGISTRY_TYPECHECK 0x00000100
#define RTL_QUERY_REGISTRY_TYPECHECK_SHIFT 24

// Walks QueryTable (closed by an entry with neither QueryRoutine nor Name) against the key at Path. With
// RTL_QUERY_REGISTRY_DIRECT an entry stores its value at EntryContext: a REG_DWORD (or any value of at most 4
// bytes) as the bytes themselves; REG_SZ/REG_EXPAND_SZ into the UNICODE_STRING at EntryContext (allocated from
// pool when its Buffer is null); other data into a buffer whose first LONG is its size (negative: minus the
// size, data copied raw; positive: size, then ULONG length, ULONG type, data). A value that is absent takes the
// entry's default (DefaultType REG_NONE: none; then RTL_QUERY_REGISTRY_REQUIRED makes it
// STATUS_OBJECT_NAME_NOT_FOUND). Without DIRECT, QueryRoutine is called with the value (or the default).
NTSTATUS RtlQueryRegistryValues(ULONG RelativeTo, PCWSTR Path, PRTL_QUERY_REGISTRY_TABLE QueryTable, PVOID Context,
                                PVOID Environment);
// Opens the key (creating it when missing, its parent must exist) and sets the value.
NTSTATUS RtlWriteRegistryValue(ULONG RelativeTo, PCWSTR Path, PCWSTR ValueName, ULONG ValueType, PVOID ValueData,
                               ULONG ValueLength);
NTSTATUS RtlDeleteRegistryValue(ULONG RelativeTo, PCWSTR Path, PCWSTR ValueName);
NTSTATUS RtlCheckRegistryKey(ULONG RelativeTo, PWSTR Path);
NTSTATUS RtlCreateRegistryKey(ULONG RelativeTo, PWSTR Path);
