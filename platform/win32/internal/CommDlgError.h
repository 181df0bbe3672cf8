// Internal to the user-mode stand-in: the calling thread's last common-dialog error, which every common dialog
// sets (CommDlgExtendedError reads it).
#pragma once

#include "../windef.h"

namespace win32::internal {

void SetCommDlgError(DWORD error);

} // namespace win32::internal
