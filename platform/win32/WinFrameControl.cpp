// Locks: none; it draws through the DC it is given.
#include "WinFrameControl.h"

#include <algorithm>

#include "WinGdi.h"
#include "WinRect.h"

namespace {

void Fill(HDC dc, RECT r, HBRUSH brush) {
    FillRect(dc, &r, brush);
}

// A tick: two strokes of three pixels' width, from the inner box's left.
void Tick(HDC dc, const RECT& inner, HBRUSH ink) {
    for (int i = 0; i < 3; ++i)
        Fill(dc, {inner.left + i, inner.top + 3 + i, inner.left + i + 1, inner.top + 6 + i}, ink);
    for (int i = 0; i < 5; ++i)
        Fill(dc, {inner.left + 3 + i, inner.top + 4 - i, inner.left + 4 + i, inner.top + 7 - i}, ink);
}

// A solid triangle pointing `direction` (DFCS_SCROLLUP/DOWN/LEFT/RIGHT), centred in `r`.
void Arrow(HDC dc, const RECT& r, UINT direction, HBRUSH ink) {
    const int size = std::max(2, static_cast<int>(std::min(r.right - r.left, r.bottom - r.top)) / 4);
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    const int top = cy - size / 2, left = cx - size / 2;
    for (int i = 0; i < size; ++i) {
        // Row (or column) i from the top (or left); the point is one pixel wide.
        const int up = i, down = size - 1 - i;
        switch (direction) {
        case DFCS_SCROLLUP:
            Fill(dc, {cx - up, top + i, cx + up + 1, top + i + 1}, ink);
            break;
        case DFCS_SCROLLDOWN:
            Fill(dc, {cx - down, top + i, cx + down + 1, top + i + 1}, ink);
            break;
        case DFCS_SCROLLLEFT:
            Fill(dc, {left + i, cy - up, left + i + 1, cy + up + 1}, ink);
            break;
        default:
            Fill(dc, {left + i, cy - down, left + i + 1, cy + down + 1}, ink);
            break;
        }
    }
}

} // namespace

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
    if (!dc || !rect)
        return FALSE;
    const RECT box = *rect;
    const bool inactive = (state & DFCS_INACTIVE) != 0;
    switch (type) {
    case DFC_BUTTON: {
        if (state & DFCS_BUTTONPUSH) {
            Fill(dc, box, GetSysColorBrush(COLOR_BTNFACE));
            RECT edge = box;
            DrawEdge(dc, &edge, state & DFCS_PUSHED ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            return TRUE;
        }
        const bool radio = (state & DFCS_BUTTONRADIO) != 0;
        Fill(dc, box, GetSysColorBrush(inactive || (state & DFCS_PUSHED) ? COLOR_BTNFACE : COLOR_WINDOW));
        RECT edge = box;
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
        if (!(state & DFCS_CHECKED))
            return TRUE;
        const bool indeterminate = (state & DFCS_BUTTON3STATE) != 0;
        HBRUSH mark = CreateSolidBrush(indeterminate || inactive ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
        RECT inner = box;
        InflateRect(&inner, radio ? -4 : -3, radio ? -4 : -3);
        if (radio || indeterminate)
            FillRect(dc, &inner, mark);
        else
            Tick(dc, inner, mark);
        DeleteObject(mark);
        return TRUE;
    }
    case DFC_SCROLL: {
        Fill(dc, box, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = box;
        DrawEdge(dc, &edge, state & DFCS_PUSHED ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        const UINT direction = (state & 0xFF) == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : state & 0xFF;
        Arrow(dc, box, direction, GetSysColorBrush(inactive ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
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
        default:
            Arrow(dc, square, DFCS_SCROLLRIGHT, ink);
            break;
        }
        DeleteObject(ink);
        return TRUE;
    }
    default:
        return FALSE;
    }
}
