// Basic types of the platform, shared by kernel mode and user mode. Sizes are those of x64 Windows:
// LONG and ULONG are 32 bits (never the host's long), pointers and *_PTR are 64 bits, WCHAR is UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef VOID
#define VOID void
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef OPTIONAL
#define OPTIONAL
#endif
#define NTAPI
#define ANYSIZE_ARRAY 1

typedef void* PVOID;
typedef const void* PCVOID;
typedef char CHAR;
typedef CHAR* PCHAR;
typedef CHAR* PSTR;
typedef const CHAR* PCSTR;
typedef CHAR* PSZ;
typedef uint8_t UCHAR;
typedef UCHAR* PUCHAR;
typedef int16_t SHORT;
typedef int16_t CSHORT;
typedef uint16_t USHORT;
typedef USHORT* PUSHORT;
typedef int32_t LONG;
typedef LONG* PLONG;
typedef uint32_t ULONG;
typedef ULONG* PULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int64_t LONG64;
typedef uint64_t ULONG64;
typedef ULONG64* PULONG64;
typedef int32_t INT32;
typedef uint32_t UINT32;
typedef int64_t INT64;
typedef uint64_t UINT64;
typedef int64_t LONG_PTR;
typedef uint64_t ULONG_PTR;
typedef ULONG_PTR* PULONG_PTR;
typedef ULONG_PTR SIZE_T;
typedef SIZE_T* PSIZE_T;
typedef ULONG_PTR KAFFINITY;
typedef UCHAR BOOLEAN;
typedef BOOLEAN* PBOOLEAN;
typedef LONG NTSTATUS;
typedef NTSTATUS* PNTSTATUS;
typedef char16_t WCHAR;
typedef WCHAR* PWCHAR;
typedef WCHAR* PWCH;
typedef const WCHAR* PCWCH;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;
typedef ULONG ACCESS_MASK;
typedef void* HANDLE;
typedef HANDLE* PHANDLE;

static_assert(sizeof(ULONG) == 4 && sizeof(LONG) == 4, "ULONG and LONG are 32 bits on x64 Windows");
static_assert(sizeof(PVOID) == 8 && sizeof(ULONG_PTR) == 8, "the platform is 64-bit");
static_assert(sizeof(WCHAR) == 2, "WCHAR is a UTF-16 code unit");

#define NT_SUCCESS(Status) (((NTSTATUS)(Status)) >= 0)
#define NT_INFORMATION(Status) ((((ULONG)(Status)) >> 30) == 1)
#define NT_WARNING(Status) ((((ULONG)(Status)) >> 30) == 2)
#define NT_ERROR(Status) ((((ULONG)(Status)) >> 30) == 3)

#define FIELD_OFFSET(type, field) ((LONG)offsetof(type, field))
#define CONTAINING_RECORD(address, type, field) ((type*)((PCHAR)(address) - (ULONG_PTR)offsetof(type, field)))
#define RTL_NUMBER_OF(a) (sizeof(a) / sizeof((a)[0]))
#define ARRAYSIZE(a) RTL_NUMBER_OF(a)
#define UNREFERENCED_PARAMETER(P) ((void)(P))

typedef union _LARGE_INTEGER {
    struct {
        ULONG LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;
static_assert(sizeof(LARGE_INTEGER) == 8);

typedef union _ULARGE_INTEGER {
    struct {
        ULONG LowPart;
        ULONG HighPart;
    } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

typedef struct _GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
} GUID, *PGUID;
typedef const GUID* LPCGUID;
typedef const GUID& REFGUID;
static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
#define IsEqualGUID(a, b) ((a) == (b))

typedef struct _LIST_ENTRY {
    struct _LIST_ENTRY* Flink;
    struct _LIST_ENTRY* Blink;
} LIST_ENTRY, *PLIST_ENTRY;
static_assert(sizeof(LIST_ENTRY) == 16);

typedef struct _SINGLE_LIST_ENTRY {
    struct _SINGLE_LIST_ENTRY* Next;
} SINGLE_LIST_ENTRY, *PSINGLE_LIST_ENTRY;

// Counted strings: Length and MaximumLength are in bytes, the buffer need not be NUL-terminated.
typedef struct _UNICODE_STRING {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;
static_assert(sizeof(UNICODE_STRING) == 16 && offsetof(UNICODE_STRING, Buffer) == 8);

typedef struct _STRING {
    USHORT Length;
    USHORT MaximumLength;
    PCHAR Buffer;
} STRING, ANSI_STRING, *PSTRING, *PANSI_STRING;
typedef const STRING* PCANSI_STRING;
static_assert(sizeof(ANSI_STRING) == 16);

// Processor mode of a request or a wait.
typedef CHAR KPROCESSOR_MODE;
typedef enum _MODE { KernelMode, UserMode, MaximumMode } MODE;

// Access rights shared by every object type (guarded: user-mode headers name them too).
#ifndef DELETE
#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define SPECIFIC_RIGHTS_ALL 0x0000FFFFL
#define ACCESS_SYSTEM_SECURITY 0x01000000L
#define MAXIMUM_ALLOWED 0x02000000L
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define GENERIC_EXECUTE 0x20000000L
#define GENERIC_ALL 0x10000000L
#endif

// Object attributes: how a name is resolved (absolute, or relative to RootDirectory) and how it is opened.
#define OBJ_INHERIT 0x00000002L
#define OBJ_PERMANENT 0x00000010L
#define OBJ_EXCLUSIVE 0x00000020L
#define OBJ_CASE_INSENSITIVE 0x00000040L
#define OBJ_OPENIF 0x00000080L
#define OBJ_OPENLINK 0x00000100L
#define OBJ_KERNEL_HANDLE 0x00000200L
#define OBJ_FORCE_ACCESS_CHECK 0x00000400L
#define OBJ_VALID_ATTRIBUTES 0x000007F2L

typedef struct _OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
} OBJECT_ATTRIBUTES, *POBJECT_ATTRIBUTES;
typedef const OBJECT_ATTRIBUTES* PCOBJECT_ATTRIBUTES;
static_assert(sizeof(OBJECT_ATTRIBUTES) == 48 && offsetof(OBJECT_ATTRIBUTES, ObjectName) == 16 &&
              offsetof(OBJECT_ATTRIBUTES, Attributes) == 24 && offsetof(OBJECT_ATTRIBUTES, SecurityDescriptor) == 32);

#ifndef InitializeObjectAttributes
#define InitializeObjectAttributes(p, n, a, r, s)                                                                      \
    do {                                                                                                               \
        (p)->Length = sizeof(OBJECT_ATTRIBUTES);                                                                       \
        (p)->RootDirectory = (r);                                                                                      \
        (p)->Attributes = (a);                                                                                         \
        (p)->ObjectName = (n);                                                                                         \
        (p)->SecurityDescriptor = (s);                                                                                 \
        (p)->SecurityQualityOfService = nullptr;                                                                       \
    } while (0)
#endif
