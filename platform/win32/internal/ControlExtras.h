// What the tree view, the tab control and the tooltip share beyond ControlSupport.h and ControlNotify.h: a
// notification that is nothing but its code, and copying a text into a caller's buffer.
#pragma once

#include <string>

#include "internal/ControlNotify.h"

namespace win32::internal {

// A bare NMHDR with `code` to the control's parent (SendNotify); 0 without a parent.
LRESULT SendNotifyCode(HWND control, UINT code);
// At most size - 1 characters and a terminating zero; nothing for a null buffer or a size below 1.
void CopyTextTo(const std::string& text, LPSTR target, int size);

} // namespace win32::internal
