// The stock objects, made once and never deleted.
#pragma once

#include "WinUserTypes.h"

namespace win32::internal {

// The 1 x 1 monochrome bitmap a new memory DC holds.
HBITMAP DefaultBitmap();
// A stock solid brush of a system colour (index checked by the caller).
HBRUSH SysColorBrush(int index, COLORREF color);
// The font of window captions: the dialog face in bold.
HFONT CaptionFont();

} // namespace win32::internal
