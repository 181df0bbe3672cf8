// The host's keyboard and text: GDK key values as the window system's virtual keys, and the program's
// Windows-1252 text as the desktop's UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace display {

// The virtual-key code of the key whose unshifted key value is `keyval`; 0 for a key the window system has no
// code for.
uint8_t VirtualKeyOf(unsigned keyval);
// A Unicode character as a Windows-1252 byte; -1 when the code page lacks it.
int AnsiCharacterOf(uint32_t unicode);
std::string Utf8FromAnsi(const std::string& text);
// Characters the code page lacks become '?'.
std::string AnsiFromUtf8(const std::string& text);

} // namespace display
