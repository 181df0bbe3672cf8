// The object namespace as the platform exposes it: object names, symbolic links, object directories and the
// close of any kernel handle. The namespace itself (and the stand-in's interface to fill it) is in
// NtObjectNamespace.h.
#pragma once

#include "ntdef.h"
#include "ntstatus.h"

typedef struct _OBJECT_NAME_INFORMATION {
    UNICODE_STRING Name;
} OBJECT_NAME_INFORMATION, *POBJECT_NAME_INFORMATION;
static_assert(sizeof(OBJECT_NAME_INFORMATION) == 16);

typedef struct _OBJECT_DIRECTORY_INFORMATION {
    UNICODE_STRING Name;
    UNICODE_STRING TypeName;
} OBJECT_DIRECTORY_INFORMATION, *POBJECT_DIRECTORY_INFORMATION;
static_assert(sizeof(OBJECT_DIRECTORY_INFORMATION) == 32);

#define DIRECTORY_QUERY 0x0001
#define DIRECTORY_TRAVERSE 0x0002
#define DIRECTORY_CREATE_OBJECT 0x0004
#define DIRECTORY_CREATE_SUBDIRECTORY 0x0008
#define DIRECTORY_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | 0xF)
#define SYMBOLIC_LINK_QUERY 0x0001
#define SYMBOLIC_LINK_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | 0x1)

// The full name of a named object ("\Device\KxTdloft"), as a UNICODE_STRING followed by its characters and a
// NUL in the caller's buffer. An unnamed object gives an empty name. A buffer too small for the whole answer
// gives STATUS_INFO_LENGTH_MISMATCH with the size needed in ReturnLength.
NTSTATUS ObQueryNameString(PVOID Object, POBJECT_NAME_INFORMATION ObjectNameInfo, ULONG Length, PULONG ReturnLength);

// "\DosDevices\Name" (or any path) -> "\Device\Name". STATUS_OBJECT_NAME_COLLISION when the link exists.
NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName);
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName);

NTSTATUS ZwOpenDirectoryObject(PHANDLE DirectoryHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes);
// Fills OBJECT_DIRECTORY_INFORMATION entries (closed by an all-zero entry) followed by their strings. Context
// carries the position between calls. STATUS_NO_MORE_ENTRIES at the end; STATUS_MORE_ENTRIES when not all
// remaining entries fit; STATUS_BUFFER_TOO_SMALL when not even one does.
NTSTATUS ZwQueryDirectoryObject(HANDLE DirectoryHandle, PVOID Buffer, ULONG Length, BOOLEAN ReturnSingleEntry,
                                BOOLEAN RestartScan, PULONG Context, PULONG ReturnLength);
NTSTATUS ZwOpenSymbolicLinkObject(PHANDLE LinkHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes);
// Copies the target into LinkTarget (adding a NUL when there is room). STATUS_BUFFER_TOO_SMALL when
// MaximumLength cannot hold it; ReturnedLength (when given) receives the bytes needed.
NTSTATUS ZwQuerySymbolicLinkObject(HANDLE LinkHandle, PUNICODE_STRING LinkTarget, PULONG ReturnedLength);
NTSTATUS ZwClose(HANDLE Handle);
