// A control's answer to a message, as the type its framework object's helper returns (a handle, a count, a
// colour, a flag).
#pragma once

#include <type_traits>

#include "windows.h"

template <typename T = LRESULT>
T AfxSendAs(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    const LRESULT result = ::SendMessageA(hWnd, message, wParam, lParam);
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(result);
    else
        return static_cast<T>(result);
}
