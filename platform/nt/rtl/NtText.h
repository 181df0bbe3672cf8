// Text helpers of the stand-ins (internal, shared by every platform folder): UTF-8 <-> UTF-16, the ANSI code
// page, and the case mapping the platform uses for case-insensitive names.
//
// The ANSI code page of the machine is Windows-1252: one byte per character, so ANSI lengths equal UTF-16
// lengths; UTF-16 characters it lacks become '?'. Upper-casing covers ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic, which is what names of devices, drivers and registry keys use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ntdef.h"

namespace nt::text {

// Malformed sequences become U+FFFD; `malformed` (when given) tells whether there was one.
std::u16string Utf8ToUtf16(std::string_view text, bool* malformed = nullptr);
// Unpaired surrogates become U+FFFD; `malformed` (when given) tells whether there was one.
std::string Utf16ToUtf8(std::u16string_view text, bool* malformed = nullptr);

char16_t AnsiToUtf16(unsigned char c);
// '?' when the code page lacks the character; `mapped` (when given) tells whether it had it.
char Utf16ToAnsi(char16_t c, bool* mapped = nullptr);
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);

char16_t Upcase(char16_t c);
char16_t Downcase(char16_t c);
std::u16string Upcase(std::u16string_view text);
// <0, 0, >0 comparing upper-cased characters, then lengths.
int CompareIgnoreCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix);

// The components of a path relative to some root ("A\\B\\C"), in `parts`; false when one is empty (a doubled,
// leading or trailing backslash). An empty path has no components.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& parts);

// The characters before the NUL.
std::u16string_view View(const WCHAR* text);
// The characters of a counted string (empty for null).
std::u16string_view View(const UNICODE_STRING* text);
std::string_view View(const ANSI_STRING* text);

} // namespace nt::text
