// Where the window system places a centred window: the screen's work area, a window centred on a rectangle and
// kept inside it, and the check of a window seen so placed.
#pragma once

#include <gtest/gtest.h>

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

// A window seen at `seen` lies at `at` (give or take a pixel of rounding) and wholly inside the work area, its
// caption on the screen.
inline void ExpectPlacedInsideWorkArea(const RECT& seen, POINT at) {
    const RECT work = WorkArea();
    EXPECT_NEAR(seen.left, at.x, 1);
    EXPECT_NEAR(seen.top, at.y, 1);
    EXPECT_GE(seen.left, work.left);
    EXPECT_GE(seen.top, work.top);
    EXPECT_LE(seen.right, work.right);
    EXPECT_LE(seen.bottom, work.bottom);
}

} // namespace tdl::test
