// What the common controls' framework objects share: creating the control, letting it free its state when the
// object goes first, and a control's answer to a message as the type a helper returns (a handle, a count, a
// colour, a flag).
#pragma once

#include <type_traits>

#include "AfxWnd.h"

// A child control of `lpszClass` (the common controls' classes are registered first).
BOOL AfxCreateCommonControl(CWnd& control, DWORD dwExStyle, LPCTSTR lpszClass, DWORD dwStyle, const RECT& rect,
                            CWnd* pParentWnd, UINT nID);
// For the destructor of an object whose window may still live: the window gets its own procedure back before it
// is destroyed, so the control frees its state (a window detached from its object no longer reaches its class).
void AfxDestroyCommonControl(CWnd& control);

template <typename T = LRESULT> T AfxSendAs(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    const LRESULT result = ::SendMessageA(hWnd, message, wParam, lParam);
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(result);
    else
        return static_cast<T>(result);
}
