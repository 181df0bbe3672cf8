// Internal to the user-mode stand-in: the drop-down of a combo box is a pop-up list box that works for the
// combo. Its notifications, colours and owner drawing go to the combo; while it is shown it holds the mouse,
// and a click on an item picks it, a click anywhere else dismisses it.
#pragma once

#include "WinUser.h"

namespace win32::internal {

// To the list: wParam is the combo it works for.
constexpr UINT kListSetCombo = WM_USER + 0x7F00;
// From the list to its combo once it has been clicked: wParam TRUE when the click picked an item (the list's
// current selection), FALSE when it fell outside.
constexpr UINT kComboListClicked = WM_USER + 0x7F01;

} // namespace win32::internal
