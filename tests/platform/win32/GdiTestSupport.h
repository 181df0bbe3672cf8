// A memory DC over a colour bitmap for drawing tests, that checks at its end that every GDI object the test made
// was deleted.
#pragma once

#include <gtest/gtest.h>

#include "WinGdiControl.h"
#include "windows.h"

namespace win32::test {

class MemoryCanvas : public testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override {
        objects_ = GdiObjectCount();
        screen_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        dc_ = CreateCompatibleDC(screen_);
        bitmap_ = CreateCompatibleBitmap(screen_, kWidth, kHeight);
        old_ = SelectObject(dc_, bitmap_);
        RECT all{0, 0, kWidth, kHeight};
        FillRect(dc_, &all, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        EXPECT_TRUE(DeleteObject(bitmap_));
        EXPECT_TRUE(DeleteDC(dc_));
        EXPECT_TRUE(DeleteDC(screen_));
        EXPECT_EQ(objects_, GdiObjectCount()) << "a GDI object was left behind";
    }

    COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }
    // The pixels of row y from x0 to x1 (exclusive) as a string: '#' for `ink`, '.' for white, '?' otherwise.
    std::string Row(int y, int x0, int x1, COLORREF ink) const {
        std::string s;
        for (int x = x0; x < x1; ++x) {
            COLORREF c = Pixel(x, y);
            s += c == ink ? '#' : c == RGB(255, 255, 255) ? '.' : '?';
        }
        return s;
    }

    HDC screen_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    size_t objects_ = 0;
};

} // namespace win32::test
