#include "WinRect.h"

#include <algorithm>

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT target, const RECT* source) {
    if (!target || !source)
        return FALSE;
    *target = *source;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL EqualRect(const RECT* first, const RECT* second) {
    return first && second && first->left == second->left && first->top == second->top &&
           first->right == second->right && first->bottom == second->bottom;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(LPRECT target, const RECT* first, const RECT* second) {
    if (!target || !first || !second)
        return FALSE;
    RECT r{std::max(first->left, second->left), std::max(first->top, second->top),
           std::min(first->right, second->right), std::min(first->bottom, second->bottom)};
    if (IsRectEmpty(&r)) {
        *target = RECT{};
        return FALSE;
    }
    *target = r;
    return TRUE;
}

BOOL UnionRect(LPRECT target, const RECT* first, const RECT* second) {
    if (!target || !first || !second)
        return FALSE;
    if (IsRectEmpty(first))
        *target = IsRectEmpty(second) ? RECT{} : *second;
    else if (IsRectEmpty(second))
        *target = *first;
    else
        *target = RECT{std::min(first->left, second->left), std::min(first->top, second->top),
                       std::max(first->right, second->right), std::max(first->bottom, second->bottom)};
    return !IsRectEmpty(target);
}

BOOL SubtractRect(LPRECT target, const RECT* first, const RECT* second) {
    if (!target || !first || !second)
        return FALSE;
    RECT r = *first;
    RECT overlap;
    if (IntersectRect(&overlap, first, second)) {
        // Only a cut across a whole side leaves a rectangle.
        if (overlap.top == r.top && overlap.bottom == r.bottom) {
            if (overlap.left == r.left)
                r.left = overlap.right;
            else if (overlap.right == r.right)
                r.right = overlap.left;
        } else if (overlap.left == r.left && overlap.right == r.right) {
            if (overlap.top == r.top)
                r.top = overlap.bottom;
            else if (overlap.bottom == r.bottom)
                r.bottom = overlap.top;
        }
    }
    *target = r;
    return !IsRectEmpty(target);
}
