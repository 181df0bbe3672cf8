// Raster transfers on pixels, monochrome and colour conversions, the transparent mask blit, and a painting saved
// as a PNG file and read back.
#include <fstream>
#include <iterator>

#include "GdiTestSupport.h"
#include "Win32TestSupport.h"
#include "internal/Canvas.h"
#include "internal/WindowSurface.h"

namespace {

using win32::test::MemoryCanvas;

constexpr COLORREF kKey = 0x808000; // the mask colour of toolbar and image-list bitmaps
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory DC with its own colour bitmap of the given size, filled with `fill`.
struct Picture {
    Picture(HDC like, int width, int height, COLORREF fill) {
        dc = CreateCompatibleDC(like);
        bitmap = CreateCompatibleBitmap(like, width, height);
        old = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        RECT all{0, 0, width, height};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Picture() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Fill(const RECT& r, COLORREF color) const {
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

// Draws `image` at (x, y) of `target` leaving its `key`-coloured pixels transparent: a monochrome mask from the
// key colour, then AND with the mask and OR with the image whose key pixels were made black.
void MaskBlit(HDC target, int x, int y, const Picture& image, int width, int height, COLORREF key) {
    HDC maskDC = CreateCompatibleDC(target);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    SetBkColor(image.dc, key);
    BitBlt(maskDC, 0, 0, width, height, image.dc, 0, 0, SRCCOPY); // key -> white, the rest black
    SetTextColor(image.dc, kWhite);
    SetBkColor(image.dc, kBlack);
    BitBlt(image.dc, 0, 0, width, height, maskDC, 0, 0, SRCAND); // key pixels -> black
    COLORREF oldText = SetTextColor(target, kBlack);
    COLORREF oldBk = SetBkColor(target, kWhite);
    BitBlt(target, x, y, width, height, maskDC, 0, 0, SRCAND);
    BitBlt(target, x, y, width, height, image.dc, 0, 0, SRCPAINT);
    SetTextColor(target, oldText);
    SetBkColor(target, oldBk);
    SelectObject(maskDC, oldMask);
    DeleteObject(mask);
    DeleteDC(maskDC);
}

using GdiBlt = MemoryCanvas;

TEST_F(GdiBlt, RasterOperationsCombineSourceAndTargetPixels) {
    struct Case {
        DWORD rop;
        COLORREF source, target, result;
    };
    const Case cases[] = {
        {SRCCOPY, RGB(1, 2, 3), kWhite, RGB(1, 2, 3)},
        {SRCAND, RGB(0xF0, 0x0F, 0xFF), RGB(0x3C, 0x3C, 0x00), RGB(0x30, 0x0C, 0x00)},
        {SRCPAINT, RGB(0xF0, 0x00, 0x01), RGB(0x0F, 0x00, 0x02), RGB(0xFF, 0x00, 0x03)},
        {SRCINVERT, RGB(0xFF, 0x0F, 0x00), RGB(0x0F, 0x0F, 0x01), RGB(0xF0, 0x00, 0x01)},
        {NOTSRCCOPY, RGB(0xFF, 0x00, 0x0F), kWhite, RGB(0x00, 0xFF, 0xF0)},
        {SRCERASE, RGB(0xFF, 0xF0, 0x00), RGB(0x0F, 0x0F, 0xFF), RGB(0xF0, 0xF0, 0x00)},
        {DSTINVERT, kBlack, RGB(0x0F, 0xF0, 0x00), RGB(0xF0, 0x0F, 0xFF)},
    };
    Picture source(screen_, 1, 1, kBlack);
    for (const Case& c : cases) {
        source.Fill(RECT{0, 0, 1, 1}, c.source);
        SetPixel(dc_, 0, 0, c.target);
        EXPECT_TRUE(BitBlt(dc_, 0, 0, 1, 1, source.dc, 0, 0, c.rop));
        EXPECT_EQ(c.result, Pixel(0, 0)) << std::hex << c.rop;
    }
}

TEST_F(GdiBlt, MonochromeAndColourConvertByTheDcColours) {
    // Colour to monochrome: the source DC's background colour becomes white, every other colour black.
    Picture colour(screen_, 4, 1, kGreen);
    colour.Fill(RECT{0, 0, 2, 1}, kKey);
    HDC mono = CreateCompatibleDC(screen_);
    HBITMAP bits = CreateBitmap(4, 1, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(mono, bits);
    SetBkColor(colour.dc, kKey);
    BitBlt(mono, 0, 0, 4, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(kWhite, GetPixel(mono, 0, 0));
    EXPECT_EQ(kBlack, GetPixel(mono, 3, 0));
    WORD row = 0;
    EXPECT_EQ(2, GetBitmapBits(bits, sizeof row, &row));
    EXPECT_EQ(0xC0, row & 0xFF);

    // Monochrome to colour: white takes the target's background colour, black its text colour.
    SetTextColor(dc_, kRed);
    SetBkColor(dc_, kGreen);
    BitBlt(dc_, 0, 0, 4, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(kGreen, Pixel(0, 0));
    EXPECT_EQ(kGreen, Pixel(1, 0));
    EXPECT_EQ(kRed, Pixel(2, 0));
    EXPECT_EQ(kRed, Pixel(3, 0));
    // Drawing on a monochrome bitmap gives black or white only.
    HBRUSH light = CreateSolidBrush(RGB(200, 200, 200));
    RECT r{0, 0, 1, 1};
    FillRect(mono, &r, light);
    EXPECT_EQ(kWhite, GetPixel(mono, 0, 0));
    DeleteObject(light);
    SelectObject(mono, old);
    DeleteObject(bits);
    DeleteDC(mono);
}

TEST_F(GdiBlt, StretchScalesAndMirrorsAndBitBltScrollsOntoItself) {
    Picture source(screen_, 2, 1, kRed);
    source.Fill(RECT{1, 0, 2, 1}, kGreen);
    StretchBlt(dc_, 0, 0, 4, 2, source.dc, 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(kRed, Pixel(1, 1));
    EXPECT_EQ(kGreen, Pixel(2, 0));
    EXPECT_EQ(kGreen, Pixel(3, 1));
    StretchBlt(dc_, 0, 4, 2, 1, source.dc, 1, 0, -2, 1, SRCCOPY); // mirrored
    EXPECT_EQ(kGreen, Pixel(0, 4));
    EXPECT_EQ(kRed, Pixel(1, 4));

    // Overlapping source and target on one DC: the source is read before it is overwritten.
    BitBlt(dc_, 1, 0, 4, 1, dc_, 0, 0, SRCCOPY);
    EXPECT_EQ(kRed, Pixel(1, 0));
    EXPECT_EQ(kRed, Pixel(2, 0));
    EXPECT_EQ(kGreen, Pixel(3, 0));
    EXPECT_EQ(kGreen, Pixel(4, 0));
    EXPECT_FALSE(BitBlt(dc_, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST_F(GdiBlt, ACopyTakesTheSourceOnItsCanvasIntoTheTargetsClipOnly) {
    // A 4 x 2 red source read from (-1, -1): its first column and row lie off its canvas, so those target
    // pixels keep their white; the clip then cuts the copy at x = 3.
    Picture source(screen_, 4, 2, kRed);
    source.Fill(RECT{0, 0, 1, 2}, kGreen);
    HRGN clip = CreateRectRgn(0, 0, 3, kHeight);
    SelectClipRgn(dc_, clip);
    EXPECT_TRUE(BitBlt(dc_, 0, 0, 5, 3, source.dc, -1, -1, SRCCOPY));
    SelectClipRgn(dc_, nullptr);
    DeleteObject(clip);
    EXPECT_EQ(Row(0, 0, 5, kRed), ".....");
    for (int y : {1, 2}) {
        EXPECT_EQ(Row(y, 0, 5, kGreen), ".#?..") << y;
        EXPECT_EQ(Row(y, 0, 5, kRed), ".?#..") << y;
    }
    EXPECT_EQ(Row(3, 0, 5, kRed), ".....");
}

TEST_F(GdiBlt, MaskBlitLeavesTheKeyColourTransparent) {
    Picture image(screen_, 4, 4, kKey);
    image.Fill(RECT{1, 1, 3, 3}, kRed);
    RECT all{0, 0, 8, 8};
    HBRUSH green = CreateSolidBrush(kGreen);
    FillRect(dc_, &all, green);
    DeleteObject(green);
    MaskBlit(dc_, 2, 2, image, 4, 4, kKey);
    EXPECT_EQ(kGreen, Pixel(2, 2));
    EXPECT_EQ(kGreen, Pixel(5, 5));
    EXPECT_EQ(kRed, Pixel(3, 3));
    EXPECT_EQ(kRed, Pixel(4, 4));
}

TEST(GdiPng, APaintingSavedAsPngKeepsItsPixels) {
    size_t objects = win32::GdiObjectCount();
    using namespace win32::internal;
    auto surface = CreateWindowSurface(120, 60);
    HDC window = CreateSurfaceDC(surface, nullptr, POINT{0, 0}, RECT{0, 0, 120, 60});
    {
        // Painted off screen, then copied to the window in one transfer, as flicker-free painting does.
        Picture memory(window, 120, 60, kWhite);
        memory.Fill(RECT{0, 0, 20, 10}, kRed);
        LOGBRUSH lb{BS_SOLID, kBlack, 0};
        HPEN dots = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
        HGDIOBJ oldPen = SelectObject(memory.dc, dots);
        SetBkMode(memory.dc, TRANSPARENT);
        MoveToEx(memory.dc, 0, 12, nullptr);
        LineTo(memory.dc, 20, 12);
        SelectObject(memory.dc, oldPen);
        DeleteObject(dots);
        Picture image(memory.dc, 8, 8, kKey);
        image.Fill(RECT{2, 2, 6, 6}, RGB(0, 0, 255));
        memory.Fill(RECT{30, 0, 40, 10}, kGreen);
        MaskBlit(memory.dc, 30, 0, image, 8, 8, kKey);
        SetBkMode(memory.dc, TRANSPARENT);
        RECT cell{50, 10, 110, 50};
        DrawText(memory.dc, "OK", -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        BitBlt(window, 0, 0, 120, 60, memory.dc, 0, 0, SRCCOPY);
    }
    DeleteSurfaceDC(window);
    win32::test::TempFolder folder;
    ASSERT_TRUE(WriteWindowSurfacePng(*surface, folder.WinPath("paint.png").c_str()));

    std::ifstream file(folder.HostPath("paint.png"), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto png = ReadCanvasPng(bytes.data(), bytes.size(), nullptr);
    ASSERT_NE(nullptr, png);
    auto at = [&](int x, int y) { return ColorOf(png->Pixel(x, y)); };
    // The exact fill.
    EXPECT_EQ(kRed, at(0, 0));
    EXPECT_EQ(kRed, at(19, 9));
    EXPECT_EQ(kWhite, at(20, 9));
    EXPECT_EQ(kWhite, at(19, 10));
    // The alternating dots.
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(x % 2 ? kWhite : kBlack, at(x, 12)) << x;
    // The mask blit: the key colour left the green below it.
    EXPECT_EQ(kGreen, at(30, 0));
    EXPECT_EQ(kGreen, at(37, 7));
    EXPECT_EQ(RGB(0, 0, 255), at(32, 2));
    EXPECT_EQ(kGreen, at(39, 9));
    // The text lies inside its rectangle, centred.
    RECT ink{120, 60, 0, 0};
    for (int y = 0; y < 60; ++y)
        for (int x = 45; x < 120; ++x)
            if (at(x, y) != kWhite) {
                ink.left = std::min<LONG>(ink.left, x);
                ink.top = std::min<LONG>(ink.top, y);
                ink.right = std::max<LONG>(ink.right, x + 1);
                ink.bottom = std::max<LONG>(ink.bottom, y + 1);
            }
    EXPECT_GE(ink.left, 50);
    EXPECT_LE(ink.right, 110);
    EXPECT_LE(std::abs((ink.left - 50) - (110 - ink.right)), 1);
    EXPECT_LE(std::abs((ink.top - 10) - (50 - ink.bottom)), 2);
    EXPECT_EQ(objects, win32::GdiObjectCount());
}

TEST_F(GdiBlt, ACallLogRecordsKindRectangleAndRasterOperation) {
    win32::StartGdiCallLog();
    RECT r{1, 2, 3, 4};
    FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    BitBlt(dc_, 5, 6, 7, 8, dc_, 0, 0, SRCINVERT);
    DrawText(dc_, "x", 1, &r, DT_SINGLELINE);
    win32::StopGdiCallLog();
    FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    auto calls = win32::GdiCallLog();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("FillRect", calls[0].kind);
    EXPECT_EQ(2, calls[0].rect.top);
    EXPECT_EQ("BitBlt", calls[1].kind);
    EXPECT_EQ(SRCINVERT, calls[1].rop);
    EXPECT_EQ(12, calls[1].rect.right);
    EXPECT_EQ("DrawText", calls[2].kind);
    EXPECT_EQ("x", calls[2].text);
    EXPECT_EQ(dc_, calls[2].dc);
}

} // namespace

namespace {

using GdiLimits = win32::test::MemoryCanvas;

TEST_F(GdiLimits, ExtremeCoordinatesAndSizesNeitherOverflowNorHang) {
    constexpr int kFar = 0x7FFFFFF0;
    EXPECT_TRUE(BitBlt(dc_, kFar, kFar, 100, 100, dc_, 0, 0, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dc_, 0, 0, 4, 4, dc_, -kFar, 0, kFar, 1000000000, SRCCOPY));
    EXPECT_TRUE(PatBlt(dc_, -kFar, -kFar, kFar, kFar, WHITENESS));
    POINT far[] = {{-kFar, -kFar}, {kFar, -kFar}, {0, kFar}};
    EXPECT_TRUE(Polygon(dc_, far, 3));
    MoveToEx(dc_, -kFar, 5, nullptr);
    EXPECT_TRUE(LineTo(dc_, -kFar + 1000000, 5000000));
    SetViewportOrgEx(dc_, kFar, kFar, nullptr);
    RECT r{kFar, kFar, kFar, kFar};
    EXPECT_TRUE(FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    EXPECT_EQ(nullptr, CreateCompatibleBitmap(screen_, 100000, 100000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(nullptr, CreateBitmap(-1, 4, 1, 1, nullptr));
}

} // namespace
