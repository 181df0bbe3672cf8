// The drawing seam the window manager paints through: surfaces, surface DCs, composition and PNG files.
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "WinGdiControl.h"
#include "internal/WindowSurface.h"
#include "windows.h"

namespace {

using namespace win32::internal;

TEST(WindowSurface, StartsWhiteAndDcDrawsAtItsOriginInsideItsClip) {
    auto surface = CreateWindowSurface(40, 30);
    EXPECT_EQ(40, WindowSurfaceSize(*surface).cx);
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*surface, 0, 0));
    EXPECT_EQ(CLR_INVALID, WindowSurfacePixel(*surface, 40, 0));

    size_t objects = win32::GdiObjectCount();
    // A client area at (4, 3) of 20 x 10 pixels.
    HWND window = reinterpret_cast<HWND>(0x1234);
    HDC dc = CreateSurfaceDC(surface, window, POINT{4, 3}, RECT{4, 3, 24, 13});
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(window, SurfaceDCWindow(dc));
    RECT all{-10, -10, 100, 100};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_TRUE(FillRect(dc, &all, red));
    EXPECT_EQ(RGB(255, 0, 0), WindowSurfacePixel(*surface, 4, 3));
    EXPECT_EQ(RGB(255, 0, 0), WindowSurfacePixel(*surface, 23, 12));
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*surface, 3, 3));
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*surface, 24, 12));
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*surface, 4, 13));
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetClipBox(dc, &box));
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(20, box.right);
    EXPECT_EQ(10, box.bottom);
    EXPECT_TRUE(DeleteSurfaceDC(dc));
    EXPECT_EQ(nullptr, SurfaceDCWindow(dc));
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_EQ(objects, win32::GdiObjectCount());

    ResizeWindowSurface(*surface, 10, 5);
    EXPECT_EQ(10, WindowSurfaceSize(*surface).cx);
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*surface, 5, 2));
}

TEST(WindowSurface, ADcOfASurfaceResizedUnderItDrawsOnlyOnWhatIsLeft) {
    auto surface = CreateWindowSurface(40, 40);
    HDC dc = CreateSurfaceDC(surface, nullptr, POINT{0, 0}, RECT{0, 0, 40, 40});
    RECT all{0, 0, 40, 40};
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    FillRect(dc, &all, black);
    ResizeWindowSurface(*surface, 10, 5);
    FillRect(dc, &all, black);
    EXPECT_EQ(RGB(0, 0, 0), WindowSurfacePixel(*surface, 9, 4));
    DrawText(dc, "text", -1, &all, DT_SINGLELINE);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 39, 39);
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(10, box.right);
    DeleteSurfaceDC(dc);
}

TEST(WindowSurface, ComposeCopiesOnlyInsideTheClip) {
    auto parent = CreateWindowSurface(20, 20);
    auto child = CreateWindowSurface(10, 10);
    HDC dc = CreateSurfaceDC(child, nullptr, POINT{0, 0}, RECT{0, 0, 10, 10});
    RECT all{0, 0, 10, 10};
    FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DeleteSurfaceDC(dc);
    // The child overhangs its parent's right edge at (15, 5); the clip is the parent's client area.
    ComposeWindowSurface(*parent, *child, POINT{15, 5}, RECT{0, 0, 18, 20});
    EXPECT_EQ(RGB(0, 0, 0), WindowSurfacePixel(*parent, 15, 5));
    EXPECT_EQ(RGB(0, 0, 0), WindowSurfacePixel(*parent, 17, 14));
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*parent, 18, 5));
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*parent, 15, 15));
    EXPECT_EQ(RGB(255, 255, 255), WindowSurfacePixel(*parent, 14, 5));
}

TEST(WindowSurface, WritesAPngOrSaysWhyNot) {
    win32::test::TempFolder folder;
    auto surface = CreateWindowSurface(8, 8);
    EXPECT_TRUE(WriteWindowSurfacePng(*surface, folder.WinPath("s.png").c_str()));
    EXPECT_TRUE(std::filesystem::exists(folder.HostPath("s.png")));
    EXPECT_FALSE(WriteWindowSurfacePng(*surface, folder.WinPath("missing\\s.png").c_str()));
    EXPECT_NE(0u, GetLastError());
}

TEST(WindowSurface, FailedDcCreationIsReported) {
    auto surface = CreateWindowSurface(8, 8);
    win32::FailDcCreation(1);
    EXPECT_EQ(nullptr, CreateSurfaceDC(surface, nullptr, POINT{0, 0}, RECT{0, 0, 8, 8}));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    HDC dc = CreateSurfaceDC(surface, nullptr, POINT{0, 0}, RECT{0, 0, 8, 8});
    EXPECT_NE(nullptr, dc);
    DeleteSurfaceDC(dc);
}

} // namespace
