// Internal to the user-mode stand-in: tells the display driver and the observers (WinDisplayDriver.h,
// WinUiControl.h) what a screen would show change. Called without UserLock(); calls for a child window are
// ignored, except PictureChanged, which goes to the child's top-level window.
#pragma once

#include <string>

#include "WinUserTypes.h"

namespace win32 {
class DisplayDriver;
}

namespace win32::internal {

void ReportShown(HWND hwnd, bool visible);
void ReportMoved(HWND hwnd);
void ReportRetitled(HWND hwnd, const std::string& title);
void ReportPictureChanged(HWND hwnd);
void ReportDestroyed(HWND hwnd);
void ReportCursorChanged(HCURSOR cursor);
void ReportClipboardChanged();

// The driver in force (the null driver when none was set).
DisplayDriver& Display();

} // namespace win32::internal
