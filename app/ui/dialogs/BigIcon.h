// CBigIcon: the program's picture on the splash window and the About box, an owner-drawn button that shows
// bitmap 268 in a black frame with a dark-grey shadow at its right and bottom.
#pragma once

#include "afxwin.h"

class CBigIcon : public CButton {
public:
    CBigIcon() = default;
    ~CBigIcon() override;
    CBigIcon(const CBigIcon&) = delete;
    CBigIcon& operator=(const CBigIcon&) = delete;

    // Loads the bitmap and makes the button its size plus 8 pixels each way (frame and shadow), keeping its
    // position.
    void SizeToContent();
    // Frame from (0, 0) to (w - 4, h - 4), shadow strips along the right and bottom 4 pixels (from 4 in),
    // the bitmap at (2, 2).
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

    // The bitmap's size in pixels; 0 x 0 before SizeToContent or without the bitmap.
    SIZE GetBitmapSize() const { return m_sizeBitmap; }

    // The parent's WM_DRAWITEM for this button comes back here.
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    HBITMAP m_hBitmap = nullptr;
    SIZE m_sizeBitmap{0, 0};
};
