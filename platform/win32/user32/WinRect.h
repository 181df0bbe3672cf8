// Rectangle and point helpers of the window system. A rectangle's right and bottom edges lie outside it.
#pragma once

#include "WinUserTypes.h"

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT target, const RECT* source);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* first, const RECT* second);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
// FALSE, with an empty target, when the two do not overlap.
BOOL IntersectRect(LPRECT target, const RECT* first, const RECT* second);
BOOL UnionRect(LPRECT target, const RECT* first, const RECT* second);
BOOL SubtractRect(LPRECT target, const RECT* first, const RECT* second);
