// Names of kernel objects as the node entries and the driver's own state keep them: ANSI, without the
// namespace prefix, cut to a fixed width.
#pragma once

#include "ntddk.h"

// The object's name without `prefix` (compared case-insensitively), as ANSI text of at most `width` - 1
// characters, NUL-filled to `width`; empty for an unnamed object or a failed query. PASSIVE_LEVEL only.
VOID ObjectNameQueryAnsi(PVOID Object, PCWSTR Prefix, CHAR* Out, USHORT Width);
