// Where the window system places a centred window: the screen's work area, and a window centred on a rectangle
// and kept inside it.
#pragma once

#include <algorithm>

#include "windows.h"

namespace tdl::test {

inline RECT WorkArea() {
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// Where a window of `size` centred on `on` lies, kept inside the work area.
inline POINT CentredInside(const RECT& on, SIZE size) {
    const RECT work = WorkArea();
    POINT at{(on.left + on.right) / 2 - size.cx / 2, (on.top + on.bottom) / 2 - size.cy / 2};
    at.x = std::max(std::min<LONG>(at.x, work.right - size.cx), work.left);
    at.y = std::max(std::min<LONG>(at.y, work.bottom - size.cy), work.top);
    return at;
}

} // namespace tdl::test
