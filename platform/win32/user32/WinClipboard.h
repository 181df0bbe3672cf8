// The clipboard, for text: one process-wide store that a window opens, empties and fills. SetClipboardData takes
// the memory block it is given; GetClipboardData's block stays the clipboard's.
#pragma once

#include <string>

#include "WinGlobalMemory.h"

#define CF_TEXT 1
#define CF_BITMAP 2
#define CF_OEMTEXT 7
#define CF_UNICODETEXT 13

#ifndef ERROR_CLIPBOARD_NOT_OPEN
#define ERROR_CLIPBOARD_NOT_OPEN 1418L
#endif

// FALSE while another thread has it open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();

namespace win32 {
// What the clipboard holds as text ("" when it holds none), and a way for tests to put text there, as another
// program would.
std::string ClipboardText();
void SetClipboardText(const std::string& text);
} // namespace win32
