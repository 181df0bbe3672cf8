// What the header and the list view share beyond ControlSupport.h: a WM_NOTIFY to the control's parent and the
// width of a text in the control's font.
#pragma once

#include "WinNotify.h"
#include "internal/ControlSupport.h"

namespace win32::internal {

// The pixel width of the text in the font (null: DEFAULT_GUI_FONT).
int TextWidth(HFONT font, const char* text, int length);
// Fills in the record's header (the control's handle, id and `code`) and sends it to the control's parent;
// 0 when there is none.
LRESULT SendNotify(HWND control, UINT code, NMHDR* header);

} // namespace win32::internal
