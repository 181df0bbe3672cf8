// Fills, lines, pens, edges, clipping and saved states on a memory DC, checked pixel by pixel.
#include "GdiTestSupport.h"

namespace {

using win32::test::MemoryCanvas;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

using GdiFill = MemoryCanvas;

TEST_F(GdiFill, FillRectCoversItsRectangleOnlyAndFollowsTheOrigins) {
    HBRUSH red = CreateSolidBrush(kRed);
    RECT r{2, 3, 6, 5};
    EXPECT_TRUE(FillRect(dc_, &r, red));
    EXPECT_EQ("..####..", Row(3, 0, 8, kRed));
    EXPECT_EQ("..####..", Row(4, 0, 8, kRed));
    EXPECT_EQ("........", Row(5, 0, 8, kRed));
    EXPECT_EQ(kWhite, Pixel(2, 2));

    // Viewport and window origins move logical (0, 0).
    SetViewportOrgEx(dc_, 10, 10, nullptr);
    SetWindowOrgEx(dc_, 2, 0, nullptr);
    RECT one{2, 0, 3, 1};
    FillRect(dc_, &one, red);
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    SetWindowOrgEx(dc_, 0, 0, nullptr);
    EXPECT_EQ(".#.", Row(10, 9, 12, kRed));
    EXPECT_EQ(kWhite, Pixel(10, 11));

    // A system colour index plus one stands for its brush.
    RECT face{20, 20, 21, 21};
    FillRect(dc_, &face, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), Pixel(20, 20));
    EXPECT_EQ(RGB(212, 208, 200), GetSysColor(COLOR_BTNFACE));
    DeleteObject(red);
}

TEST_F(GdiFill, PatternRopsInvertAndFrame) {
    RECT r{0, 0, 4, 1};
    InvertRect(dc_, &r);
    EXPECT_EQ(RGB(0, 0, 0), Pixel(0, 0));
    InvertRect(dc_, &r);
    EXPECT_EQ(kWhite, Pixel(3, 0));

    HBRUSH blue = CreateSolidBrush(kBlue);
    RECT frame{10, 10, 14, 13};
    FrameRect(dc_, &frame, blue);
    EXPECT_EQ("####", Row(10, 10, 14, kBlue));
    EXPECT_EQ("#..#", Row(11, 10, 14, kBlue));
    EXPECT_EQ("####", Row(12, 10, 14, kBlue));

    HGDIOBJ old = SelectObject(dc_, blue);
    PatBlt(dc_, 20, 0, 2, 1, PATINVERT); // white ^ blue
    EXPECT_EQ(RGB(255, 255, 0), Pixel(20, 0));
    PatBlt(dc_, 20, 0, 1, 1, BLACKNESS);
    EXPECT_EQ(RGB(0, 0, 0), Pixel(20, 0));
    PatBlt(dc_, 20, 0, 1, 1, WHITENESS);
    EXPECT_EQ(kWhite, Pixel(20, 0));
    EXPECT_FALSE(PatBlt(dc_, 0, 0, 1, 1, SRCCOPY)); // needs a source
    SelectObject(dc_, old);
    DeleteObject(blue);
}

TEST_F(GdiFill, HatchAndPatternBrushes) {
    HBRUSH hatch = CreateHatchBrush(HS_CROSS, kBlue);
    SetBkMode(dc_, TRANSPARENT);
    RECT r{0, 0, 9, 9};
    FillRect(dc_, &r, hatch);
    EXPECT_EQ("#########", Row(0, 0, 9, kBlue));
    EXPECT_EQ("#.......#", Row(1, 0, 9, kBlue));
    DeleteObject(hatch);

    // A monochrome 8 x 8 checkerboard, drawn in the text (0 bits) and background (1 bits) colours.
    const WORD rows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    HBITMAP checker = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH pattern = CreatePatternBrush(checker);
    DeleteObject(checker); // the brush keeps its own copy
    SetTextColor(dc_, kRed);
    SetBkColor(dc_, kBlue);
    RECT p{20, 0, 24, 2};
    FillRect(dc_, &p, pattern);
    EXPECT_EQ(kBlue, Pixel(20, 0));
    EXPECT_EQ(kRed, Pixel(21, 0));
    EXPECT_EQ(kRed, Pixel(20, 1));
    DeleteObject(pattern);
}

using GdiPen = MemoryCanvas;

TEST_F(GdiPen, LinesLeaveOutTheirLastPoint) {
    HPEN red = CreatePen(PS_SOLID, 1, kRed);
    HGDIOBJ old = SelectObject(dc_, red);
    MoveToEx(dc_, 1, 0, nullptr);
    LineTo(dc_, 5, 0);
    EXPECT_EQ(".####...", Row(0, 0, 8, kRed));
    POINT at;
    GetCurrentPositionEx(dc_, &at);
    EXPECT_EQ(5, at.x);
    LineTo(dc_, 5, 3);
    EXPECT_EQ(kRed, Pixel(5, 0));
    EXPECT_EQ(kRed, Pixel(5, 2));
    EXPECT_EQ(kWhite, Pixel(5, 3));
    // A diagonal goes one pixel per row.
    MoveToEx(dc_, 10, 10, nullptr);
    LineTo(dc_, 14, 14);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(kRed, Pixel(10 + i, 10 + i));
    EXPECT_EQ(kWhite, Pixel(14, 14));
    SelectObject(dc_, old);
    DeleteObject(red);
}

TEST_F(GdiPen, AlternateAndDottedPensSetPixelsByPattern) {
    LOGBRUSH lb{BS_SOLID, kBlue, 0};
    HPEN alternate = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
    ASSERT_NE(nullptr, alternate);
    HGDIOBJ old = SelectObject(dc_, alternate);
    SetBkMode(dc_, TRANSPARENT);
    MoveToEx(dc_, 0, 0, nullptr);
    LineTo(dc_, 10, 0);
    EXPECT_EQ("#.#.#.#.#.", Row(0, 0, 10, kBlue));
    // The pattern runs on around a corner and starts again at MoveToEx.
    MoveToEx(dc_, 0, 2, nullptr);
    LineTo(dc_, 3, 2);
    LineTo(dc_, 3, 5);
    EXPECT_EQ("#.#", Row(2, 0, 3, kBlue));
    EXPECT_EQ(kWhite, Pixel(3, 2));
    EXPECT_EQ(kBlue, Pixel(3, 3));
    EXPECT_EQ(kWhite, Pixel(3, 4));
    // In OPAQUE mode the gaps take the background colour.
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, kRed);
    MoveToEx(dc_, 0, 6, nullptr);
    LineTo(dc_, 4, 6);
    EXPECT_EQ(kBlue, Pixel(0, 6));
    EXPECT_EQ(kRed, Pixel(1, 6));
    SelectObject(dc_, old);
    DeleteObject(alternate);

    // The pen is cosmetic only.
    EXPECT_EQ(nullptr, ExtCreatePen(PS_GEOMETRIC | PS_ALTERNATE, 1, &lb, 0, nullptr));

    HPEN dot = CreatePen(PS_DOT, 1, kBlue);
    old = SelectObject(dc_, dot);
    SetBkMode(dc_, TRANSPARENT);
    MoveToEx(dc_, 0, 10, nullptr);
    LineTo(dc_, 12, 10);
    EXPECT_EQ("###...###...", Row(10, 0, 12, kBlue));
    SelectObject(dc_, old);
    DeleteObject(dot);
}

TEST_F(GdiPen, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    HPEN red = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH blue = CreateSolidBrush(kBlue);
    HGDIOBJ oldPen = SelectObject(dc_, red);
    HGDIOBJ oldBrush = SelectObject(dc_, blue);
    Rectangle(dc_, 0, 0, 4, 4);
    EXPECT_EQ("####.", Row(0, 0, 5, kRed));
    EXPECT_EQ("#??#.", Row(1, 0, 5, kRed));
    EXPECT_EQ(kBlue, Pixel(1, 1));
    EXPECT_EQ("####.", Row(3, 0, 5, kRed));
    // Without a pen the fill stops a pixel short of the right and bottom edges.
    SelectObject(dc_, GetStockObject(NULL_PEN));
    Rectangle(dc_, 10, 0, 14, 4);
    EXPECT_EQ("???.", Row(0, 10, 14, kRed));
    EXPECT_EQ(kWhite, Pixel(10, 3));
    // A polyline leaves out its last point; a polygon fills its inside and outlines its edges.
    SelectObject(dc_, red);
    POINT corner[] = {{0, 10}, {3, 10}, {3, 13}};
    EXPECT_TRUE(Polyline(dc_, corner, 3));
    EXPECT_EQ("####", Row(10, 0, 4, kRed));
    EXPECT_EQ(kRed, Pixel(3, 12));
    EXPECT_EQ(kWhite, Pixel(3, 13));
    EXPECT_FALSE(Polyline(dc_, corner, 1));
    POINT triangle[] = {{20, 0}, {28, 0}, {24, 4}};
    Polygon(dc_, triangle, 3);
    EXPECT_EQ(kRed, Pixel(20, 0));
    EXPECT_EQ(kBlue, Pixel(24, 1));
    EXPECT_EQ(kWhite, Pixel(20, 3));
    SelectObject(dc_, oldPen);
    SelectObject(dc_, oldBrush);
    DeleteObject(red);
    DeleteObject(blue);
}

using GdiEdge = MemoryCanvas;

TEST_F(GdiEdge, RaisedAndSunkenEdgesUseTheThreeDColours) {
    struct Case {
        UINT edge;
        int outerTopLeft, innerTopLeft, innerBottomRight, outerBottomRight;
    };
    const Case cases[] = {
        {EDGE_RAISED, COLOR_3DLIGHT, COLOR_3DHILIGHT, COLOR_3DSHADOW, COLOR_3DDKSHADOW},
        {EDGE_SUNKEN, COLOR_3DSHADOW, COLOR_3DDKSHADOW, COLOR_3DLIGHT, COLOR_3DHILIGHT},
        {EDGE_ETCHED, COLOR_3DSHADOW, COLOR_3DHILIGHT, COLOR_3DSHADOW, COLOR_3DHILIGHT},
    };
    for (const Case& c : cases) {
        RECT r{0, 0, 10, 10};
        EXPECT_TRUE(DrawEdge(dc_, &r, c.edge, BF_RECT | BF_ADJUST | BF_MIDDLE));
        EXPECT_EQ(GetSysColor(c.outerTopLeft), Pixel(0, 0)) << c.edge;
        EXPECT_EQ(GetSysColor(c.innerTopLeft), Pixel(1, 1)) << c.edge;
        EXPECT_EQ(GetSysColor(c.innerBottomRight), Pixel(8, 8)) << c.edge;
        EXPECT_EQ(GetSysColor(c.outerBottomRight), Pixel(9, 9)) << c.edge;
        // The bottom-right lines take the shared corners.
        EXPECT_EQ(GetSysColor(c.outerBottomRight), Pixel(9, 0)) << c.edge;
        EXPECT_EQ(GetSysColor(COLOR_3DFACE), Pixel(5, 5)) << c.edge;
        EXPECT_EQ(2, r.left);
        EXPECT_EQ(8, r.bottom);
    }
}

TEST_F(GdiEdge, FocusRectangleInvertsEveryOtherPixelAndASecondCallRemovesIt) {
    RECT r{0, 0, 6, 4};
    DrawFocusRect(dc_, &r);
    constexpr COLORREF kBlack = RGB(0, 0, 0);
    EXPECT_EQ("#.#.#.", Row(0, 0, 6, kBlack));
    EXPECT_EQ(".....#", Row(1, 0, 6, kBlack));
    EXPECT_EQ("#.....", Row(2, 0, 6, kBlack));
    EXPECT_EQ(".#.#.#", Row(3, 0, 6, kBlack));
    DrawFocusRect(dc_, &r);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ("......", Row(y, 0, 6, kBlack));
}

using GdiClip = MemoryCanvas;

TEST_F(GdiClip, ClipRectanglesRegionsAndSavedStates) {
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{0, 0, 16, 4};
    int saved = SaveDC(dc_);
    EXPECT_EQ(SIMPLEREGION, IntersectClipRect(dc_, 2, 0, 10, 4));
    EXPECT_EQ(COMPLEXREGION, ExcludeClipRect(dc_, 4, 0, 6, 4));
    RECT box;
    GetClipBox(dc_, &box);
    EXPECT_EQ(2, box.left);
    EXPECT_EQ(10, box.right);
    SetTextColor(dc_, kBlue);
    FillRect(dc_, &all, red);
    EXPECT_EQ(CLR_INVALID, Pixel(0, 0)); // outside the clip
    HGDIOBJ before = SelectObject(dc_, GetStockObject(NULL_PEN));
    EXPECT_EQ(2, SaveDC(dc_));
    EXPECT_FALSE(RestoreDC(dc_, 3));
    EXPECT_TRUE(RestoreDC(dc_, saved)); // the state before the first save, dropping the second
    EXPECT_EQ(before, GetCurrentObject(dc_, OBJ_PEN));
    EXPECT_FALSE(RestoreDC(dc_, -1));
    EXPECT_EQ("..##..####......", Row(0, 0, 16, kRed));
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc_));
    FillRect(dc_, &all, red);
    EXPECT_EQ("################", Row(1, 0, 16, kRed));

    // A region selected as clip is in device coordinates, whatever the origins.
    HRGN a = CreateRectRgn(0, 10, 4, 12);
    HRGN b = CreateRectRgn(8, 10, 12, 12);
    EXPECT_EQ(COMPLEXREGION, CombineRgn(a, a, b, RGN_OR));
    GetRgnBox(a, &box);
    EXPECT_EQ(12, box.right);
    EXPECT_TRUE(PtInRegion(a, 9, 11));
    EXPECT_FALSE(PtInRegion(a, 5, 11));
    SelectClipRgn(dc_, a);
    SetViewportOrgEx(dc_, 1, 0, nullptr);
    RECT band{-1, 10, 16, 12};
    FillRect(dc_, &band, red);
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(1, GetClipRgn(dc_, copy));
    EXPECT_TRUE(EqualRgn(a, copy));
    SelectClipRgn(dc_, nullptr);
    EXPECT_EQ("####....####....", Row(10, 0, 16, kRed));
    EXPECT_EQ(0, GetClipRgn(dc_, copy));
    EXPECT_EQ(NULLREGION, CombineRgn(copy, a, a, RGN_DIFF));
    for (HGDIOBJ o :
         {static_cast<HGDIOBJ>(a), static_cast<HGDIOBJ>(b), static_cast<HGDIOBJ>(copy), static_cast<HGDIOBJ>(red)})
        EXPECT_TRUE(DeleteObject(o));
}

TEST(GdiObjects, StockObjectsStayAndStaleHandlesFail) {
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_EQ(OBJ_BRUSH, GetObjectType(white));
    LOGBRUSH lb;
    EXPECT_EQ(static_cast<int>(sizeof lb), GetObject(white, sizeof lb, &lb));
    EXPECT_EQ(RGB(255, 255, 255), lb.lbColor);
    EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), GetSysColorBrush(COLOR_WINDOW));

    size_t before = win32::GdiObjectCount();
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    EXPECT_EQ(before + 1, win32::GdiObjectCount());
    LOGPEN lp;
    GetObject(pen, sizeof lp, &lp);
    EXPECT_EQ(2, lp.lopnWidth.x);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(0u, GetObjectType(pen));
    EXPECT_EQ(before, win32::GdiObjectCount());
}

TEST(GdiObjects, ABitmapLivesInOneMemoryDcAndCannotBeDeletedThere) {
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(first, bitmap);
    ASSERT_NE(nullptr, old);
    EXPECT_EQ(nullptr, SelectObject(second, bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    SelectObject(first, old);
    EXPECT_TRUE(DeleteObject(bitmap));
    DeleteDC(first);
    DeleteDC(second);

    win32::FailDcCreation(1);
    EXPECT_EQ(nullptr, CreateCompatibleDC(nullptr));
}

} // namespace

namespace {

TEST(GdiPrinting, PagesDrawnBetweenStartPageAndEndPageAreKept) {
    win32::ClearPrintedPages();
    HDC printer = CreateDCA("WINSPOOL", "Office Printer", nullptr, nullptr);
    ASSERT_NE(nullptr, printer);
    EXPECT_EQ(96, GetDeviceCaps(printer, LOGPIXELSX));
    EXPECT_EQ(816, GetDeviceCaps(printer, HORZRES));
    EXPECT_EQ(-1, StartPage(printer)); // no document yet
    DOCINFOA doc{sizeof(DOCINFOA), "Report", nullptr, nullptr, 0};
    EXPECT_GT(StartDoc(printer, &doc), 0);
    for (COLORREF color : {RGB(255, 0, 0), RGB(0, 0, 255)}) {
        EXPECT_GT(StartPage(printer), 0);
        HBRUSH brush = CreateSolidBrush(color);
        RECT r{10, 10, 20, 20};
        FillRect(printer, &r, brush);
        DeleteObject(brush);
        EXPECT_GT(EndPage(printer), 0);
    }
    EXPECT_GT(EndDoc(printer), 0);
    DeleteDC(printer);
    ASSERT_EQ(2u, win32::PrintedPageCount());
    EXPECT_EQ(RGB(255, 0, 0), win32::PrintedPagePixel(0, 10, 10));
    EXPECT_EQ(RGB(255, 255, 255), win32::PrintedPagePixel(0, 20, 20));
    EXPECT_EQ(RGB(0, 0, 255), win32::PrintedPagePixel(1, 19, 19));
    EXPECT_EQ(CLR_INVALID, win32::PrintedPagePixel(2, 0, 0));
    win32::ClearPrintedPages();
}

} // namespace
