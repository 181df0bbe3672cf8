// Internal to the user-mode stand-in: calls the first hook of a chain for the calling thread (0 when none).
#pragma once

#include "WinUserTypes.h"

namespace win32::internal {

LRESULT CallHooks(int kind, int code, WPARAM wParam, LPARAM lParam);

} // namespace win32::internal
