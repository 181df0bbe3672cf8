// Internal to the user-mode stand-in: the failures a test asked the window system for (WinUiControl.h).
#pragma once

#include "WinUiControl.h"

namespace win32::internal {

// True when this call of that kind is to fail (counts it).
bool ShouldFailUiCall(UiFailure kind);

} // namespace win32::internal
