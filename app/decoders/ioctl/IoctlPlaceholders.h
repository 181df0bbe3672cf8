// IoctlPlaceholders: the rows a writer shows in the grid when its record carries nothing it could read (an
// empty payload, or a request that failed), so that the user still sees which fields the code has.
#pragma once

#include <initializer_list>

#include "app/decoders/framework/FieldWriter.h"

// What a placeholder row shows.
constexpr const char* kIoctlPlaceholder = "---";

// One "---" row per label, in mode 1 only: the mark-up and HTML media leave the fields out.
void IoctlPlaceholderRows(FieldWriter& fields, std::initializer_list<LPCSTR> labels);
