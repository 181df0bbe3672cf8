// Internal to the user-mode stand-in: tells the display host's observers (WinUiControl.h) about top-level
// windows. Called without UserLock(); calls for a child window are ignored, except PictureChanged, which goes to
// the child's top-level window.
#pragma once

#include <string>

#include "../WinUserTypes.h"

namespace win32::internal {

void ReportShown(HWND hwnd, bool visible);
void ReportMoved(HWND hwnd);
void ReportRetitled(HWND hwnd, const std::string& title);
void ReportPictureChanged(HWND hwnd);
void ReportDestroyed(HWND hwnd);

} // namespace win32::internal
