// Image lists with a mask colour or a mask bitmap, drawn transparently, over a background colour and selected.
#include <cstring>
#include <thread>

#include "GdiTestSupport.h"
#include "WinResourceTable.h"
#include "platform_win32_tests_embedded.h"

namespace {

constexpr COLORREF kKey = 0x808000;
constexpr COLORREF kGreen = RGB(0, 255, 0);

using ImageLists = win32::test::MemoryCanvas;

TEST_F(ImageLists, AMaskColourLeavesItsPixelsTransparent) {
    size_t lists = win32::ImageListCount();
    win32::RegisterBitmapResource(nullptr, 700, tdl::embedded::images16_png, tdl::embedded::images16_png_size);
    HIMAGELIST list = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(700), 16, 4, kKey);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(lists + 1, win32::ImageListCount());
    EXPECT_EQ(2, ImageList_GetImageCount(list));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(16, cy);

    HBRUSH green = CreateSolidBrush(kGreen);
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc_, &all, green);
    DeleteObject(green);
    EXPECT_TRUE(ImageList_Draw(list, 0, dc_, 0, 0, ILD_NORMAL));
    EXPECT_EQ(kGreen, Pixel(0, 0));
    EXPECT_EQ(RGB(255, 0, 0), Pixel(4, 4));
    EXPECT_TRUE(ImageList_Draw(list, 1, dc_, 16, 0, ILD_TRANSPARENT));
    EXPECT_EQ(kGreen, Pixel(16, 0));
    EXPECT_EQ(RGB(0, 0, 255), Pixel(20, 4));

    // With a background colour the masked pixels take it.
    EXPECT_EQ(static_cast<COLORREF>(CLR_NONE), ImageList_SetBkColor(list, RGB(1, 2, 3)));
    ImageList_Draw(list, 0, dc_, 32, 0, ILD_NORMAL);
    EXPECT_EQ(RGB(1, 2, 3), Pixel(32, 0));
    // Selected: a mesh of the highlight colour over the image.
    ImageList_Draw(list, 0, dc_, 0, 20, ILD_TRANSPARENT | ILD_SELECTED);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), Pixel(4, 24));
    EXPECT_EQ(RGB(255, 0, 0), Pixel(5, 24));
    EXPECT_EQ(kGreen, Pixel(0, 20));
    EXPECT_FALSE(ImageList_Draw(list, 2, dc_, 0, 0, ILD_NORMAL));

    HICON icon = ImageList_GetIcon(list, 1, 0);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(2, ImageList_AddIcon(list, icon));
    DestroyIcon(icon);
    EXPECT_TRUE(ImageList_Remove(list, 0));
    EXPECT_EQ(2, ImageList_GetImageCount(list));
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_EQ(lists, win32::ImageListCount());
    win32::ClearResources();
}

TEST_F(ImageLists, AMaskBitmapMarksTransparentPixelsWithOnes) {
    HIMAGELIST list = ImageList_Create(2, 1, ILC_COLOR32 | ILC_MASK, 1, 1);
    HBITMAP image = CreateCompatibleBitmap(screen_, 2, 1);
    const WORD maskBits = 0x40; // the second pixel is transparent
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, &maskBits);
    EXPECT_EQ(0, ImageList_Add(list, image, mask));
    DeleteObject(image);
    DeleteObject(mask);
    ImageList_Draw(list, 0, dc_, 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(RGB(0, 0, 0), Pixel(0, 0));
    EXPECT_EQ(RGB(255, 255, 255), Pixel(1, 0));
    ImageList_Destroy(list);
}

TEST(Clipboard, TextGoesInAndComesOutOwnedByTheClipboard) {
    // Start from an empty clipboard: a test before this one may have copied a text and left it there.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    size_t blocks = win32::GlobalBlockCount();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, 6);
    std::memcpy(GlobalLock(data), "hello", 6);
    EXPECT_FALSE(GlobalUnlock(data));
    EXPECT_EQ(nullptr, SetClipboardData(CF_TEXT, data)); // not open
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_EQ(data, SetClipboardData(CF_TEXT, data));
    EXPECT_TRUE(CloseClipboard());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_EQ("hello", win32::ClipboardText());

    // Another thread cannot open it while it is open here.
    ASSERT_TRUE(OpenClipboard(nullptr));
    BOOL opened = TRUE;
    std::thread([&] { opened = OpenClipboard(nullptr); }).join();
    EXPECT_FALSE(opened);
    HANDLE text = GetClipboardData(CF_TEXT);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("hello", static_cast<const char*>(GlobalLock(text)));
    GlobalUnlock(text);
    EXPECT_EQ(nullptr, GetClipboardData(CF_BITMAP));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(blocks, win32::GlobalBlockCount()); // emptying freed the block

    void* fixed = GlobalAlloc(GPTR, 4);
    EXPECT_EQ(fixed, GlobalLock(fixed)); // a fixed block's handle is its address
    EXPECT_EQ(0, static_cast<const char*>(fixed)[3]);
    EXPECT_EQ(4u, GlobalSize(fixed));
    EXPECT_EQ(nullptr, GlobalFree(fixed));
    EXPECT_EQ(fixed, GlobalFree(fixed));
}

} // namespace
