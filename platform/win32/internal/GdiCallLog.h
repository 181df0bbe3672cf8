// The drawing calls tests asked to see (WinGdiControl.h), and the DC-creation failures they injected.
#pragma once

#include <string_view>

#include "DeviceContext.h"

namespace win32::internal {

void LogGdiCall(const DeviceContext& dc, const char* kind, const RECT& rect, DWORD rop = 0, std::string_view text = {});
// True when an injected failure takes this DC creation (last error ERROR_NOT_ENOUGH_MEMORY is set).
bool DcCreationFails();

} // namespace win32::internal
