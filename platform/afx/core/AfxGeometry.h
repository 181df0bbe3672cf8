// CPoint, CSize and CRect: the platform's POINT, SIZE and RECT with the arithmetic the framework's callers use.
#pragma once

#include <algorithm>
#include <utility>

#include "AfxDefs.h"
#include "WinUserTypes.h"

class CSize : public tagSIZE {
public:
    constexpr CSize() noexcept : tagSIZE{0, 0} {}
    constexpr CSize(int initCX, int initCY) noexcept : tagSIZE{initCX, initCY} {}
    constexpr CSize(SIZE initSize) noexcept : tagSIZE(initSize) {}
    bool operator==(const SIZE& s) const noexcept { return cx == s.cx && cy == s.cy; }
};

class CPoint : public tagPOINT {
public:
    constexpr CPoint() noexcept : tagPOINT{0, 0} {}
    constexpr CPoint(int initX, int initY) noexcept : tagPOINT{initX, initY} {}
    constexpr CPoint(POINT initPt) noexcept : tagPOINT(initPt) {}
    // A point packed into an LPARAM: signed 16-bit x and y.
    explicit CPoint(LPARAM dwPoint) noexcept
        : tagPOINT{static_cast<short>(LOWORD(dwPoint)), static_cast<short>(HIWORD(dwPoint))} {}
    void Offset(int xOffset, int yOffset) noexcept {
        x += xOffset;
        y += yOffset;
    }
    bool operator==(const POINT& p) const noexcept { return x == p.x && y == p.y; }
    CPoint operator+(SIZE s) const noexcept { return CPoint(x + s.cx, y + s.cy); }
    CPoint operator-(SIZE s) const noexcept { return CPoint(x - s.cx, y - s.cy); }
    CSize operator-(POINT p) const noexcept { return CSize(x - p.x, y - p.y); }
};

class CRect : public tagRECT {
public:
    constexpr CRect() noexcept : tagRECT{0, 0, 0, 0} {}
    constexpr CRect(int l, int t, int r, int b) noexcept : tagRECT{l, t, r, b} {}
    constexpr CRect(const RECT& srcRect) noexcept : tagRECT(srcRect) {}
    CRect(POINT topLeft, SIZE size) noexcept
        : tagRECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    CSize Size() const noexcept { return CSize(Width(), Height()); }
    CPoint TopLeft() const noexcept { return CPoint(left, top); }
    CPoint BottomRight() const noexcept { return CPoint(right, bottom); }
    CPoint CenterPoint() const noexcept { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const noexcept { return right <= left || bottom <= top; }
    bool IsRectNull() const noexcept { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(POINT p) const noexcept { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    void SetRect(int l, int t, int r, int b) noexcept { *this = CRect(l, t, r, b); }
    void SetRectEmpty() noexcept { SetRect(0, 0, 0, 0); }
    void OffsetRect(int x, int y) noexcept {
        left += x;
        right += x;
        top += y;
        bottom += y;
    }
    void OffsetRect(POINT p) noexcept { OffsetRect(p.x, p.y); }
    void InflateRect(int x, int y) noexcept {
        left -= x;
        right += x;
        top -= y;
        bottom += y;
    }
    void DeflateRect(int x, int y) noexcept { InflateRect(-x, -y); }
    void NormalizeRect() noexcept {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    bool IntersectRect(LPCRECT a, LPCRECT b) noexcept {
        CRect r(std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                std::min(a->bottom, b->bottom));
        *this = r.IsRectEmpty() ? CRect() : r;
        return !IsRectEmpty();
    }
    bool operator==(const RECT& r) const noexcept {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }
    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
};
