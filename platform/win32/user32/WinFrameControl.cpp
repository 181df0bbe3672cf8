// Locks: none; it draws through the DC it is given.
//
// The glyphs are drawn pixel by pixel, in the shapes Windows' classic look gives them at its default sizes and
// scaled with the part's height. (Marlett, the face Windows draws them from, is loaded too, but at these sizes
// the rasteriser here puts its box edges between pixels: a maximise box would lose its bottom line.)
#include "WinFrameControl.h"

#include <algorithm>

#include "WinGdi.h"
#include "WinRect.h"

namespace {

void Fill(HDC dc, RECT r, HBRUSH brush) {
    FillRect(dc, &r, brush);
}

// A glyph drawn in one brush with its top-left corner at (x, y) (the part's own offsets included).
using Glyph = void (*)(HDC dc, int x, int y, int unit, HBRUSH ink);

// Draws a glyph as the state asks: pushed one pixel down and right; inactive embossed (a highlight copy one
// pixel down and right under a shadow copy); otherwise in `ink`.
void DrawGlyph(HDC dc, Glyph glyph, int x, int y, int unit, UINT state, HBRUSH ink) {
    if (state & DFCS_PUSHED) {
        ++x;
        ++y;
    }
    if (state & DFCS_INACTIVE) {
        glyph(dc, x + 1, y + 1, unit, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        glyph(dc, x, y, unit, GetSysColorBrush(COLOR_BTNSHADOW));
        return;
    }
    glyph(dc, x, y, unit, ink);
}

// A tick: two strokes of three pixels' width, from the inner box's left.
void Tick(HDC dc, const RECT& inner, HBRUSH ink) {
    for (int i = 0; i < 3; ++i)
        Fill(dc, {inner.left + i, inner.top + 3 + i, inner.left + i + 1, inner.top + 6 + i}, ink);
    for (int i = 0; i < 5; ++i)
        Fill(dc, {inner.left + 3 + i, inner.top + 4 - i, inner.left + 4 + i, inner.top + 7 - i}, ink);
}

// A solid triangle `size` rows deep pointing `direction` (DFCS_SCROLLUP/DOWN/LEFT/RIGHT), its point at the
// centre line; (x, y) is the top-left corner of the (2 size - 1) x size box (size x (2 size - 1) across).
void Triangle(HDC dc, int x, int y, int size, UINT direction, HBRUSH ink) {
    for (int i = 0; i < size; ++i) {
        const int up = i, down = size - 1 - i; // the half-width of row (or column) i
        switch (direction) {
        case DFCS_SCROLLUP: Fill(dc, {x + size - 1 - up, y + i, x + size + up, y + i + 1}, ink); break;
        case DFCS_SCROLLDOWN: Fill(dc, {x + size - 1 - down, y + i, x + size + down, y + i + 1}, ink); break;
        case DFCS_SCROLLLEFT: Fill(dc, {x + i, y + size - 1 - up, x + i + 1, y + size + up}, ink); break;
        default: Fill(dc, {x + i, y + size - 1 - down, x + i + 1, y + size + down}, ink); break;
        }
    }
}

// The arrow of a scroll button or a menu's sub-menu mark: a triangle a quarter of the part's side deep.
void Arrow(HDC dc, const RECT& r, UINT direction, UINT state, HBRUSH ink) {
    const int size = std::max(2, static_cast<int>(std::min(r.right - r.left, r.bottom - r.top)) / 4);
    const bool across = direction == DFCS_SCROLLLEFT || direction == DFCS_SCROLLRIGHT;
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    const int x = across ? cx - size / 2 : cx - (size - 1);
    const int y = across ? cy - (size - 1) : cy - size / 2;
    // A triangle has no unit of its own: the direction rides in it.
    struct Shape {
        static void Up(HDC d, int gx, int gy, int n, HBRUSH b) { Triangle(d, gx, gy, n, DFCS_SCROLLUP, b); }
        static void Down(HDC d, int gx, int gy, int n, HBRUSH b) { Triangle(d, gx, gy, n, DFCS_SCROLLDOWN, b); }
        static void Left(HDC d, int gx, int gy, int n, HBRUSH b) { Triangle(d, gx, gy, n, DFCS_SCROLLLEFT, b); }
        static void Right(HDC d, int gx, int gy, int n, HBRUSH b) { Triangle(d, gx, gy, n, DFCS_SCROLLRIGHT, b); }
    };
    Glyph glyph = direction == DFCS_SCROLLUP     ? Shape::Up
                  : direction == DFCS_SCROLLDOWN ? Shape::Down
                  : direction == DFCS_SCROLLLEFT ? Shape::Left
                                                 : Shape::Right;
    DrawGlyph(dc, glyph, x, y, size, state, ink);
}

// Caption glyphs, for a unit n (7 in a 16 x 14 button): the close cross is n rows of two-pixel strokes, n + 1
// wide; the minimise bar n - 1 wide and 2 high; the maximise box n + 2 square with a two-pixel top; the
// restore glyph two boxes of n - 1, the front one lower left.
void CloseCross(HDC dc, int x, int y, int n, HBRUSH ink) {
    for (int i = 0; i < n; ++i) {
        Fill(dc, {x + i, y + i, x + i + 2, y + i + 1}, ink);
        Fill(dc, {x + n - 1 - i, y + i, x + n + 1 - i, y + i + 1}, ink);
    }
}

void MinimizeBar(HDC dc, int x, int y, int n, HBRUSH ink) {
    Fill(dc, {x + 1, y + n, x + n, y + n + 2}, ink);
}

void Box(HDC dc, int x, int y, int side, HBRUSH ink) {
    Fill(dc, {x, y, x + side, y + 2}, ink);
    Fill(dc, {x, y + side - 1, x + side, y + side}, ink);
    Fill(dc, {x, y, x + 1, y + side}, ink);
    Fill(dc, {x + side - 1, y, x + side, y + side}, ink);
}

void MaximizeBox(HDC dc, int x, int y, int n, HBRUSH ink) {
    Box(dc, x - 1, y - 1, n + 2, ink);
}

void RestoreBoxes(HDC dc, int x, int y, int n, HBRUSH ink) {
    const int side = n - 1;
    const int left = x - 1, top = y - 1; // the maximise box's corner
    Box(dc, left + 3, top, side, ink);
    // The front box hides the back one's lines behind it.
    Fill(dc, {left, top + 3, left + side, top + 3 + side}, GetSysColorBrush(COLOR_BTNFACE));
    Box(dc, left, top + 3, side, ink);
}

// A radio button, 12 x 12: an outer ring shadowed above and lit below, an inner ring dark above and light
// below, the window colour inside and, when checked, a dot of four by four with its corners cut.
void RadioButton(HDC dc, const RECT& box, UINT state) {
    constexpr int kSide = 12;
    // Each row's span of ring pixels from the left (the ring is symmetric): outer, inner, interior.
    struct Span {
        int outer, inner, interior; // first column of each; the interior runs to its mirror
    };
    constexpr Span kRows[kSide] = {{4, -1, -1}, {2, 4, -1}, {1, 2, 4}, {1, 2, 3}, {0, 1, 2},  {0, 1, 2},
                                   {0, 1, 2},   {0, 1, 2},  {1, 2, 3}, {1, 2, 4}, {2, 4, -1}, {4, -1, -1}};
    const int x0 = box.left + (box.right - box.left - kSide) / 2;
    const int y0 = box.top + (box.bottom - box.top - kSide) / 2;
    const bool inactive = (state & DFCS_INACTIVE) != 0;
    const bool face = inactive || (state & DFCS_PUSHED);
    auto dot = [&](int x, int y, int color) {
        Fill(dc, {x0 + x, y0 + y, x0 + x + 1, y0 + y + 1}, GetSysColorBrush(color));
    };
    for (int y = 0; y < kSide; ++y) {
        const Span& s = kRows[y];
        // The next span's start (or the middle) ends each ring's run on the left; the right mirrors it.
        const int outerEnd = s.inner >= 0 ? s.inner : kSide / 2;
        const int innerEnd = s.interior >= 0 ? s.interior : kSide / 2;
        for (int x = 0; x < kSide; ++x) {
            const int m = std::min(x, kSide - 1 - x); // distance from the nearer side
            const bool lit = x + y >= kSide - 1;      // below the rising diagonal: the lit half
            if (m >= s.outer && m < outerEnd)
                dot(x, y, lit ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW);
            else if (s.inner >= 0 && m >= s.inner && m < innerEnd)
                dot(x, y, lit ? COLOR_3DLIGHT : COLOR_3DDKSHADOW);
            else if (s.interior >= 0 && m >= s.interior)
                dot(x, y, face ? COLOR_BTNFACE : COLOR_WINDOW);
        }
    }
    if (!(state & DFCS_CHECKED))
        return;
    const int ink = inactive ? COLOR_GRAYTEXT : COLOR_BTNTEXT;
    Fill(dc, {x0 + 5, y0 + 4, x0 + 7, y0 + 8}, GetSysColorBrush(ink));
    Fill(dc, {x0 + 4, y0 + 5, x0 + 8, y0 + 7}, GetSysColorBrush(ink));
}

// The size grip in the part's bottom-right corner: three diagonal strokes, each two shadow lines with a lit
// line above them.
void SizeGrip(HDC dc, const RECT& r) {
    const int side = std::min(r.right - r.left, r.bottom - r.top);
    const int reach = std::min(12, side);
    for (int y = r.bottom - reach; y < r.bottom; ++y)
        for (int x = r.right - reach; x < r.right; ++x) {
            const int d = (r.right - 1 - x) + (r.bottom - 1 - y); // the diagonal from the corner
            if (d < 1 || d >= reach)
                continue;
            const int phase = (d - 1) % 4;
            if (phase == 3)
                continue;
            Fill(dc, {x, y, x + 1, y + 1}, GetSysColorBrush(phase == 2 ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW));
        }
}

BOOL DrawCaptionButton(HDC dc, const RECT& box, UINT state) {
    Fill(dc, box, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = box;
    DrawEdge(dc, &edge, state & DFCS_PUSHED ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const int width = box.right - box.left, height = box.bottom - box.top;
    const int unit = std::max(3, height / 2);
    const int x = box.left + (width - (unit + 1)) / 2;
    const int y = box.top + (height - unit) / 2;
    Glyph glyph = nullptr;
    switch (state & 0xFF) {
    case DFCS_CAPTIONCLOSE: glyph = CloseCross; break;
    case DFCS_CAPTIONMIN: glyph = MinimizeBar; break;
    case DFCS_CAPTIONMAX: glyph = MaximizeBox; break;
    case DFCS_CAPTIONRESTORE: glyph = RestoreBoxes; break;
    default: return TRUE; // a plain button face
    }
    DrawGlyph(dc, glyph, x, y, unit, state, GetSysColorBrush(COLOR_BTNTEXT));
    return TRUE;
}

} // namespace

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
    if (!dc || !rect)
        return FALSE;
    const RECT box = *rect;
    const bool inactive = (state & DFCS_INACTIVE) != 0;
    switch (type) {
    case DFC_CAPTION: return DrawCaptionButton(dc, box, state);
    case DFC_BUTTON: {
        if (state & DFCS_BUTTONPUSH) {
            Fill(dc, box, GetSysColorBrush(COLOR_BTNFACE));
            RECT edge = box;
            DrawEdge(dc, &edge, state & DFCS_PUSHED ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            return TRUE;
        }
        if (state & DFCS_BUTTONRADIO) {
            RadioButton(dc, box, state);
            return TRUE;
        }
        Fill(dc, box, GetSysColorBrush(inactive || (state & DFCS_PUSHED) ? COLOR_BTNFACE : COLOR_WINDOW));
        RECT edge = box;
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
        if (!(state & DFCS_CHECKED))
            return TRUE;
        const bool indeterminate = (state & DFCS_BUTTON3STATE) != 0;
        HBRUSH mark = CreateSolidBrush(indeterminate || inactive ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
        RECT inner = box;
        InflateRect(&inner, -3, -3);
        if (indeterminate)
            FillRect(dc, &inner, mark);
        else
            Tick(dc, inner, mark);
        DeleteObject(mark);
        return TRUE;
    }
    case DFC_SCROLL: {
        if ((state & 0xFF) == DFCS_SCROLLSIZEGRIP) {
            SizeGrip(dc, box);
            return TRUE;
        }
        Fill(dc, box, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = box;
        // Pushed: one shadow line round a flat face, the arrow moved down and right.
        DrawEdge(dc, &edge, state & DFCS_PUSHED ? EDGE_SUNKEN : EDGE_RAISED,
                 BF_RECT | (state & DFCS_PUSHED ? BF_FLAT : 0));
        const UINT direction = (state & 0xFF) == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : state & 0xFF;
        Arrow(dc, box, direction, state & (DFCS_INACTIVE | DFCS_PUSHED), GetSysColorBrush(COLOR_BTNTEXT));
        return TRUE;
    }
    case DFC_MENU: {
        HBRUSH ink = CreateSolidBrush(inactive ? GetSysColor(COLOR_GRAYTEXT) : GetTextColor(dc));
        const int side = std::min(box.right - box.left, box.bottom - box.top);
        RECT square{box.left + (box.right - box.left - side) / 2, box.top + (box.bottom - box.top - side) / 2, 0, 0};
        square.right = square.left + side;
        square.bottom = square.top + side;
        switch (state & 0xFF) {
        case DFCS_MENUCHECK: {
            RECT inner = square;
            InflateRect(&inner, -(side - 8) / 2, -(side - 8) / 2);
            Tick(dc, inner, ink);
            break;
        }
        case DFCS_MENUBULLET: {
            RECT dot = square;
            InflateRect(&dot, -side / 3, -side / 3);
            FillRect(dc, &dot, ink);
            break;
        }
        default: Arrow(dc, square, DFCS_SCROLLRIGHT, 0, ink); break;
        }
        DeleteObject(ink);
        return TRUE;
    }
    default: return FALSE;
    }
}
