// Text of a fixed string field of a node entry: up to its first NUL, never past its width.
#pragma once

#include <cstddef>

#include "afx.h"
#include "common/NodeEntries.h"

template <size_t N> CString NodeText(const CHAR (&field)[N]) {
    return CString(field, static_cast<int>(NodeStringLength(field, N)));
}
