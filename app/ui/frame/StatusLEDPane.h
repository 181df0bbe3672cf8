// CStatusLEDPane: the capture LED, the last pane of the main frame's status bar: a small bitmap, off while the
// active document does not capture and blinking between two lit images while it does (the frame's timer picks
// the image). CBmpInfo is one of its three images: the bitmap resource, how it is placed in the pane and the
// colour that lets the pane's background show through.
#pragma once

#include <memory>

#include "GkStatusBarPane.h"
#include "afxwin.h"

class CGkStatusBar;

class CBmpInfo : public CObject {
public:
    // Centred in the pane both ways (at its own size, never stretched to it).
    static constexpr UINT PlaceCentred = 3;

    CBmpInfo() = default;
    ~CBmpInfo() override = default;
    CBmpInfo(const CBmpInfo&) = delete;
    CBmpInfo& operator=(const CBmpInfo&) = delete;

    // Loads the bitmap resource; FALSE, and no bitmap, when it cannot be loaded.
    BOOL Load(UINT nResourceId, UINT nPlacement, COLORREF clrTransparent);
    // Draws the bitmap placed in rcPlace with its transparent colour showing what is there; nothing without a
    // bitmap.
    void Draw(CDC* pDC, const CRect& rcPlace) const;

    UINT m_nResourceId = 0;
    std::unique_ptr<CBitmap> m_pBitmap; // null when loading failed
    CSize m_size;
    UINT m_nPlacement = PlaceCentred;
    COLORREF m_clrTransparent = 0;
};

class CStatusLEDPane : public CGkStatusBarPane {
public:
    CStatusLEDPane() = default;
    ~CStatusLEDPane() override = default;

    // Loads the three images (off 256, lit 254 and 255, on teal 0x808000) and shows the off one.
    void InitLeds();
    // The image on show (its resource id); FALSE when it was already the one shown.
    BOOL SetCurrent(UINT nResourceId);
    UINT GetCurrent() const { return m_pCurrent != nullptr ? m_pCurrent->m_nResourceId : 0; }
    const CBmpInfo& GetInfo(UINT nResourceId) const;

    // The current image inside the pane less the bar's borders (the horizontal one on both sides, the vertical
    // one and a pixel more at the top and the bottom).
    void OnDraw(CDC* pDC, CRect rcItem) override;

private:
    CBmpInfo m_Off;
    CBmpInfo m_OnA;
    CBmpInfo m_OnB;
    const CBmpInfo* m_pCurrent = nullptr;
};
