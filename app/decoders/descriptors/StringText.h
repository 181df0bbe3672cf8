// The text of a USB string: UTF-16LE characters as a device sent them, in the program's narrow character
// set (Windows-1252). A surrogate pair is one character, and like an unpaired surrogate and any character
// the code page lacks it becomes one "?"; a trailing odd byte is ignored.
#pragma once

#include <afx.h>

#include <cstddef>
#include <cstdint>

CString Utf16LeToNarrow(const uint8_t* bytes, size_t length);
