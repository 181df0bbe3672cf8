// Fonts and text: golden metrics of the faces, extents from the layout that draws, DrawText's flags, and text
// drawn on several threads at once.
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "GdiTestSupport.h"

namespace {

using win32::test::MemoryCanvas;

HFONT MakeFont(const char* face, int height, int weight = FW_NORMAL, BYTE pitch = DEFAULT_PITCH) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
}

// The box of pixels that are not white, in logical coordinates; empty when there are none.
RECT InkBox(HDC dc, const RECT& area) {
    RECT box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

using GdiText = MemoryCanvas;

TEST_F(GdiText, BothFacesHaveGoldenMetrics) {
    struct Golden {
        const char* face;
        int height;
        int weight;
        LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmAveCharWidth, tmMaxCharWidth;
        BYTE pitchAndFamily;
    };
    const Golden goldens[] = {
        {"Courier", -11, FW_NORMAL, 14, 11, 3, 3, 7, 7, FF_MODERN | TMPF_TRUETYPE | TMPF_VECTOR},
        {"Courier", -13, FW_NORMAL, 17, 13, 4, 4, 8, 8, FF_MODERN | TMPF_TRUETYPE | TMPF_VECTOR},
        {"Lucida Console", -16, FW_NORMAL, 19, 15, 4, 3, 10, 10, FF_MODERN | TMPF_TRUETYPE | TMPF_VECTOR},
        // The dialog faces are Tahoma with Windows' cell: 8 points (-11) is 13 pixels high, 11 above the baseline.
        {"MS Shell Dlg", -11, FW_NORMAL, 13, 11, 2, 2, 6, 10,
         FF_SWISS | TMPF_FIXED_PITCH | TMPF_TRUETYPE | TMPF_VECTOR},
        {"MS Shell Dlg", -13, FW_NORMAL, 16, 13, 3, 3, 7, 12,
         FF_SWISS | TMPF_FIXED_PITCH | TMPF_TRUETYPE | TMPF_VECTOR},
        {"Tahoma", -16, FW_NORMAL, 19, 16, 3, 3, 9, 14, FF_SWISS | TMPF_FIXED_PITCH | TMPF_TRUETYPE | TMPF_VECTOR},
        // A positive height is the cell: the largest em whose cell fits.
        {"MS Shell Dlg", 14, FW_NORMAL, 14, 12, 2, 2, 7, 11, FF_SWISS | TMPF_FIXED_PITCH | TMPF_TRUETYPE | TMPF_VECTOR},
        {"Courier", 19, FW_NORMAL, 19, 15, 4, 3, 10, 10, FF_MODERN | TMPF_TRUETYPE | TMPF_VECTOR},
    };
    for (const Golden& g : goldens) {
        HFONT font = MakeFont(g.face, g.height, g.weight);
        HGDIOBJ old = SelectObject(dc_, font);
        TEXTMETRICA tm;
        ASSERT_TRUE(GetTextMetrics(dc_, &tm));
        SCOPED_TRACE(std::string(g.face) + " " + std::to_string(g.height));
        EXPECT_EQ(g.tmHeight, tm.tmHeight);
        EXPECT_EQ(g.tmAscent, tm.tmAscent);
        EXPECT_EQ(g.tmDescent, tm.tmDescent);
        EXPECT_EQ(g.tmInternalLeading, tm.tmInternalLeading);
        EXPECT_EQ(g.tmAveCharWidth, tm.tmAveCharWidth);
        EXPECT_EQ(g.tmMaxCharWidth, tm.tmMaxCharWidth);
        EXPECT_EQ(g.pitchAndFamily, tm.tmPitchAndFamily);
        EXPECT_EQ(FW_NORMAL, tm.tmWeight);
        SelectObject(dc_, old);
        DeleteObject(font);
    }
}

TEST_F(GdiText, FacesResolveAsWindowsSubstitutesThem) {
    struct Face {
        const char* face;
        BYTE pitch;
        const char* family;
    };
    const Face faces[] = {
        {"MS Shell Dlg", DEFAULT_PITCH, "Tahoma"},
        {"MS Shell Dlg 2", DEFAULT_PITCH, "Tahoma"},
        {"tahoma", DEFAULT_PITCH, "Tahoma"},
        {"MS Sans Serif", DEFAULT_PITCH, "Tahoma"},
        {"Marlett", DEFAULT_PITCH, "Marlett"},
        {"Courier", DEFAULT_PITCH, "DejaVu Sans Mono"},
        {"Lucida Console", VARIABLE_PITCH, "DejaVu Sans Mono"},
        {"Some Fixed Face", FIXED_PITCH, "DejaVu Sans Mono"},
        {"Arial", DEFAULT_PITCH, "DejaVu Sans"},
        {"", DEFAULT_PITCH, "DejaVu Sans"},
    };
    for (const Face& f : faces) {
        LOGFONTA lf{};
        lf.lfHeight = -11;
        lf.lfPitchAndFamily = f.pitch;
        std::strcpy(lf.lfFaceName, f.face);
        EXPECT_EQ(win32::FontFamilyFor(lf), f.family) << f.face;
    }
    std::vector<std::string> files = win32::LoadedFontFiles();
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf",
                             "/usr/share/wine/fonts/marlett.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"})
        EXPECT_NE(std::find(files.begin(), files.end(), file), files.end()) << file;
}

TEST_F(GdiText, ADialogInMsShellDlgEightPointHasTheDialogBaseUnitsOfWindows) {
    EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(6, 13));
    // The same from the font itself, as dialog units reckon the average: the 52 letters' extent.
    HFONT font = MakeFont("MS Shell Dlg", -MulDiv(8, 96, 72));
    HGDIOBJ old = SelectObject(dc_, font);
    SIZE letters;
    GetTextExtentPoint32(dc_, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 52, &letters);
    EXPECT_EQ((letters.cx / 26 + 1) / 2, 6);
    EXPECT_EQ(letters.cy, 13);
    SelectObject(dc_, old);
    DeleteObject(font);
}

TEST_F(GdiText, ControlCharactersAndEmptyCodePointsAreBlankCells) {
    // Between "A" and "B": a NUL, controls, DEL and the bytes Windows-1252 leaves empty. In a monospace face each
    // takes one cell and none draws anything.
    const char text[] = "A\x01\x1F\x7F\x81\x8D\x8F\x90\x9D"
                        "B";
    const int length = static_cast<int>(sizeof text - 1);
    HFONT font = MakeFont("Courier", -11);
    HGDIOBJ old = SelectObject(dc_, font);
    TEXTMETRICA tm;
    GetTextMetrics(dc_, &tm);
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32(dc_, text, length, &size));
    EXPECT_EQ(size.cx, length * tm.tmAveCharWidth);
    SetBkMode(dc_, TRANSPARENT);
    TextOut(dc_, 0, 0, text, length);
    const RECT between{tm.tmAveCharWidth, 0, (length - 1) * tm.tmAveCharWidth, tm.tmHeight};
    RECT ink = InkBox(dc_, between);
    EXPECT_GE(ink.left, ink.right) << "ink between the letters";
    ink = InkBox(dc_, RECT{0, 0, kWidth, tm.tmHeight});
    EXPECT_LT(ink.left, tm.tmAveCharWidth);
    EXPECT_GT(ink.right, (length - 1) * tm.tmAveCharWidth);
    // The soft hyphen shows, as the font's hyphen.
    RECT row{0, 0, kWidth, kHeight};
    FillRect(dc_, &row, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    TextOut(dc_, 0, 0, "\xAD", 1);
    ink = InkBox(dc_, RECT{0, 0, tm.tmAveCharWidth, tm.tmHeight});
    EXPECT_LT(ink.left, ink.right);
    SelectObject(dc_, old);
    DeleteObject(font);
}

TEST_F(GdiText, CourierExtentIsLengthTimesAverageWidth) {
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    DeleteDC(screen);
    EXPECT_EQ(-11, height);
    for (const char* face : {"Courier", "Lucida Console", "Some Fixed Face"}) {
        HFONT font = MakeFont(face, height, FW_NORMAL, FIXED_PITCH);
        HGDIOBJ old = SelectObject(dc_, font);
        TEXTMETRICA tm;
        GetTextMetrics(dc_, &tm);
        for (const char* text : {"W", "iiii", "0123456789ABCDEF", "Hello, world!"}) {
            SIZE size;
            ASSERT_TRUE(GetTextExtentPoint32(dc_, text, static_cast<int>(std::strlen(text)), &size));
            EXPECT_EQ(static_cast<LONG>(std::strlen(text)) * tm.tmAveCharWidth, size.cx) << face << " " << text;
            EXPECT_EQ(tm.tmHeight, size.cy);
        }
        SelectObject(dc_, old);
        DeleteObject(font);
    }
    // DejaVu Sans is proportional: "iiii" is narrower than "WWWW".
    SIZE narrow, wide;
    GetTextExtentPoint32(dc_, "iiii", 4, &narrow);
    GetTextExtentPoint32(dc_, "WWWW", 4, &wide);
    EXPECT_LT(narrow.cx * 2, wide.cx);
}

TEST_F(GdiText, ExtentsPerCharacterAndFit) {
    HFONT font = MakeFont("Courier", -11);
    HGDIOBJ old = SelectObject(dc_, font);
    int dx[5];
    int fit = 0;
    SIZE size;
    ASSERT_TRUE(GetTextExtentExPointA(dc_, "abcde", 5, 22, &fit, dx, &size));
    EXPECT_EQ(3, fit);
    EXPECT_EQ(7, dx[0]);
    EXPECT_EQ(35, dx[4]);
    EXPECT_EQ(35, size.cx);
    SelectObject(dc_, old);
    DeleteObject(font);
}

TEST_F(GdiText, DrawTextCentresInItsRectangleAndCalcRectMatchesTheExtent) {
    HFONT font = MakeFont("MS Shell Dlg", -11);
    HGDIOBJ old = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
    SIZE extent;
    GetTextExtentPoint32(dc_, "Hi", 2, &extent);
    RECT calc{5, 5, 5, 5};
    EXPECT_EQ(extent.cy, DrawText(dc_, "Hi", -1, &calc, DT_CALCRECT | DT_SINGLELINE));
    EXPECT_EQ(5 + extent.cx, calc.right);
    EXPECT_EQ(5 + extent.cy, calc.bottom);

    RECT cell{4, 4, 60, 40};
    DrawText(dc_, "Hi", -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RECT ink = InkBox(dc_, RECT{0, 0, kWidth, kHeight});
    ASSERT_LT(ink.left, ink.right);
    // Centred: the text's cell (its extent) lies in the middle of the rectangle, as TextOut there draws it; the
    // ink inside the cell is the face's own.
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    TextOut(dc_, (cell.left + cell.right - extent.cx) / 2, (cell.top + cell.bottom - extent.cy) / 2, "Hi", 2);
    const RECT placed = InkBox(dc_, all);
    EXPECT_EQ(ink.left, placed.left);
    EXPECT_EQ(ink.top, placed.top);
    EXPECT_EQ(ink.right, placed.right);
    EXPECT_EQ(ink.bottom, placed.bottom);
    EXPECT_LE(std::abs((ink.left - cell.left) - (cell.right - ink.right)), 2);
    EXPECT_LE(std::abs((ink.top - cell.top) - (cell.bottom - ink.bottom)), 2);
    SelectObject(dc_, old);
    DeleteObject(font);
}

TEST_F(GdiText, DrawTextFlags) {
    HFONT font = MakeFont("Courier", -11);
    HGDIOBJ old = SelectObject(dc_, font);
    TEXTMETRICA tm;
    GetTextMetrics(dc_, &tm);
    // '&' prefixes vanish (and underline), "&&" is one '&'; DT_NOPREFIX keeps them.
    struct Width {
        const char* text;
        UINT flags;
        LONG chars;
    };
    for (const Width& w : {Width{"&File", 0u, 4}, Width{"A&&B", 0u, 3}, Width{"&File", UINT(DT_NOPREFIX), 5},
                           Width{"a\r\nb", UINT(DT_SINGLELINE), 2}}) {
        RECT r{0, 0, 0, 0};
        DrawText(dc_, w.text, -1, &r, w.flags | DT_CALCRECT);
        EXPECT_EQ(w.chars * tm.tmAveCharWidth, r.right) << w.text;
    }
    // Word breaks make lines inside the width.
    RECT wrap{0, 0, 7 * 6, 0};
    int height = DrawText(dc_, "alpha beta gamma", -1, &wrap, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(3 * tm.tmHeight, height);
    EXPECT_LE(wrap.right, 7 * 6);

    // An end ellipsis keeps the text inside its rectangle.
    SetBkMode(dc_, TRANSPARENT);
    RECT narrow{0, 0, 30, 20};
    DrawText(dc_, "a long column text", -1, &narrow, DT_END_ELLIPSIS | DT_SINGLELINE | DT_NOCLIP);
    RECT ink = InkBox(dc_, RECT{0, 0, kWidth, 20});
    EXPECT_LE(ink.right, 30);
    EXPECT_GT(ink.right, 20);

    // The underlined prefix character has ink on the underline row that an unprefixed one lacks.
    RECT under{0, 24, 64, 40}, plain{0, 24, 64, 40};
    DrawText(dc_, "&x", -1, &under, DT_SINGLELINE);
    RECT withLine = InkBox(dc_, RECT{0, 24, 64, 40});
    RECT all{0, 24, 64, 40};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawText(dc_, "x", -1, &plain, DT_SINGLELINE);
    RECT without = InkBox(dc_, RECT{0, 24, 64, 40});
    EXPECT_GT(withLine.bottom, without.bottom);
    SelectObject(dc_, old);
    DeleteObject(font);
}

TEST_F(GdiText, OpaqueTextFillsItsBoxAndTextOutAligns) {
    SetBkColor(dc_, RGB(0, 0, 255));
    SetTextColor(dc_, RGB(255, 0, 0));
    TextOut(dc_, 2, 2, "", 0);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc_, 2, 2));
    TextOut(dc_, 2, 2, " ", 1);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc_, 2, 2));
    TEXTMETRICA tm;
    GetTextMetrics(dc_, &tm);
    SetTextAlign(dc_, TA_RIGHT | TA_BOTTOM);
    SetBkMode(dc_, OPAQUE);
    TextOut(dc_, 40, 40, " ", 1);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc_, 39, 39));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc_, 40, 39));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc_, 39, 40 - tm.tmHeight));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc_, 39, 40 - tm.tmHeight - 1));
    // ExtTextOut with ETO_OPAQUE fills its rectangle even without text.
    SetTextAlign(dc_, TA_LEFT | TA_TOP);
    RECT r{50, 0, 54, 4};
    ExtTextOut(dc_, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc_, 53, 3));
}

TEST_F(GdiText, AlignmentsAndClippingPlaceTheInk) {
    HFONT font = MakeFont("Courier", -11);
    HGDIOBJ old = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
    TEXTMETRICA tm;
    GetTextMetrics(dc_, &tm);
    struct Case {
        UINT format;
        LONG inkRightAtMost, inkLeftAtLeast, inkBottomAtMost, inkTopAtLeast;
    };
    // A 60 x 40 rectangle at (0, 0); "MM" is 14 pixels wide.
    const Case cases[] = {
        {DT_SINGLELINE, 14, 0, tm.tmHeight, 0},
        {DT_SINGLELINE | DT_RIGHT, 60, 60 - 14, tm.tmHeight, 0},
        {DT_SINGLELINE | DT_BOTTOM, 14, 0, 40, 40 - tm.tmHeight},
        {DT_SINGLELINE | DT_CENTER | DT_VCENTER, 37, 23, 40 - (40 - tm.tmHeight) / 2, (40 - tm.tmHeight) / 2},
    };
    for (const Case& c : cases) {
        RECT all{0, 0, kWidth, kHeight};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RECT r{0, 0, 60, 40};
        DrawText(dc_, "MM", 2, &r, c.format);
        RECT ink = InkBox(dc_, all);
        EXPECT_LE(ink.right, c.inkRightAtMost) << c.format;
        EXPECT_GE(ink.left, c.inkLeftAtLeast) << c.format;
        EXPECT_LE(ink.bottom, c.inkBottomAtMost) << c.format;
        EXPECT_GE(ink.top, c.inkTopAtLeast) << c.format;
    }
    // TextOut centred on a point, and ExtTextOut clipped to a rectangle.
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextAlign(dc_, TA_CENTER | TA_TOP);
    TextOut(dc_, 30, 0, "MM", 2);
    RECT ink = InkBox(dc_, all);
    EXPECT_GE(ink.left, 23);
    EXPECT_LE(ink.right, 37);
    SetTextAlign(dc_, TA_LEFT | TA_TOP);
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT clip{0, 0, 7, 20};
    ExtTextOut(dc_, 0, 0, ETO_CLIPPED, &clip, "MMMM", 4, nullptr);
    ink = InkBox(dc_, all);
    EXPECT_LE(ink.right, 7);
    EXPECT_GT(ink.right, 0);
    SelectObject(dc_, old);
    DeleteObject(font);
}

TEST(GdiLeaks, ALeakedFontIsCounted) {
    size_t before = win32::GdiObjectCount();
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = MakeFont("Courier", -11);
    HGDIOBJ old = SelectObject(dc, font);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(before + 1, win32::GdiObjectCount()) << "the font was not deleted";
    DeleteObject(font);
    EXPECT_EQ(before, win32::GdiObjectCount());
}

// Draws a page of text into a fresh memory DC and returns its pixels.
std::vector<COLORREF> PaintPage(const char* face) {
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 80, 40);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = MakeFont(face, -11);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all{0, 0, 80, 40};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int i = 0; i < 20; ++i)
        DrawText(dc, "Cell 12:34", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteDC(screen);
    return pixels;
}

TEST(GdiThreads, ThreadsPaintTextAtOnceWithTheSamePixels) {
    std::vector<COLORREF> expected[2] = {PaintPage("Courier"), PaintPage("MS Shell Dlg")};
    std::vector<std::vector<COLORREF>> results(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&results, i] { results[i] = PaintPage(i % 2 ? "MS Shell Dlg" : "Courier"); });
    for (std::thread& t : threads)
        t.join();
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_TRUE(results[i] == expected[i % 2]) << "thread " << i;
}

} // namespace
