// Locks: none.
#include "internal/ControlExtras.h"

#include <algorithm>
#include <cstring>

namespace win32::internal {

LRESULT SendNotifyCode(HWND control, UINT code) {
    NMHDR header{};
    return SendNotify(control, code, &header);
}

void CopyTextTo(const std::string& text, LPSTR target, int size) {
    if (!target || size <= 0)
        return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    memcpy(target, text.data(), n);
    target[n] = '\0';
}

} // namespace win32::internal
