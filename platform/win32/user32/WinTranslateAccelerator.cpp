// Keyboard accelerators: a key message that matches a table entry becomes WM_COMMAND. The tables are the
// drawing context's resource models (WinAccelerators.h), read through CopyAcceleratorTableA.
#include <vector>

#include "WinAccelerators.h"
#include "WinInput.h"
#include "WinMessages.h"
#include "WinUser.h"

namespace {

bool Down(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

bool Matches(const ACCEL& entry, const MSG& msg) {
    if (entry.fVirt & FVIRTKEY) {
        if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
            return false;
        return entry.key == msg.wParam && ((entry.fVirt & FSHIFT) != 0) == Down(VK_SHIFT) &&
               ((entry.fVirt & FCONTROL) != 0) == Down(VK_CONTROL) && ((entry.fVirt & FALT) != 0) == Down(VK_MENU);
    }
    // A character entry: the character typed, with Alt as the entry says.
    if (msg.message != WM_CHAR && msg.message != WM_SYSCHAR)
        return false;
    return entry.key == msg.wParam && ((entry.fVirt & FALT) != 0) == (msg.message == WM_SYSCHAR);
}

} // namespace

int TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg) {
    if (!msg || !IsWindow(hwnd))
        return 0;
    int count = CopyAcceleratorTableA(table, nullptr, 0);
    if (count <= 0)
        return 0;
    std::vector<ACCEL> entries(static_cast<size_t>(count));
    CopyAcceleratorTableA(table, entries.data(), count);
    for (const ACCEL& entry : entries) {
        if (!Matches(entry, *msg))
            continue;
        SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}
