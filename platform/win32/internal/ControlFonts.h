// What the header and the list view share: the font a control draws with and its character height, and a
// WM_NOTIFY to the control's parent.
#pragma once

#include "WinNotify.h"

namespace win32::internal {

// The font set with WM_SETFONT, or the stock DEFAULT_GUI_FONT.
HFONT ControlFont(HFONT font);
// The font's character height in pixels (tmHeight).
int FontCharHeight(HFONT font);
// The pixel width of the text in the font.
int TextWidth(HFONT font, const char* text, int length);
// Fills in the record's header (the control's handle, id and `code`) and sends it to the control's parent;
// 0 when there is none.
LRESULT NotifyParent(HWND control, UINT code, NMHDR* header);

} // namespace win32::internal
