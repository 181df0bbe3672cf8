// Small wrappers over the Zw* registry routines for the driver's keys below its service key. Every key is
// opened with full access and a case-insensitive name, as a kernel handle.
//
// Locks: none. PASSIVE_LEVEL only.
#pragma once

#include "ntddk.h"

// Opens a key: `parent` null and `name` absolute ("\Registry\..."), or `name` relative to `parent`.
NTSTATUS RegistryOpenKey(PHANDLE key, HANDLE parent, PCUNICODE_STRING name);
// Opens the key, creating it when absent (its parent must exist); `created` (optional) tells which.
NTSTATUS RegistryCreateKey(PHANDLE key, HANDLE parent, PCUNICODE_STRING name, PBOOLEAN created);
// The driver's service key (the registry path it was started with).
NTSTATUS RegistryOpenServiceKey(PHANDLE key);
// Opens or creates the service key's subkey `name` ("Parameters", "ActiveNodes").
NTSTATUS RegistryCreateServiceSubkey(PHANDLE key, PCWSTR name, PBOOLEAN created);

// Reads a REG_DWORD value of exactly four bytes; any other type or size is STATUS_OBJECT_TYPE_MISMATCH and
// leaves `value` alone.
NTSTATUS RegistryQueryDword(HANDLE key, PCWSTR name, PULONG value);
NTSTATUS RegistrySetDword(HANDLE key, PCWSTR name, ULONG value);
