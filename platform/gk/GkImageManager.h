// CGkImageManager: the images of command bars' buttons, by command, loaded from toolbar resources and their
// bitmaps with a mask colour.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "afxwin.h"

class CGkImageManager {
public:
    CGkImageManager() = default;
    CGkImageManager(const CGkImageManager&) = delete;
    CGkImageManager& operator=(const CGkImageManager&) = delete;

    // The colour that is transparent in images loaded from now on.
    void SetMaskColor(COLORREF clr) { m_clrMask = clr; }
    COLORREF GetMaskColor() const { return m_clrMask; }
    // The images of the toolbar resource's buttons, from the bitmap of the same id, in button order; FALSE
    // when either resource is missing.
    BOOL SetIcons(UINT nIDResource);
    // Draws the command's image at pt; FALSE when it has none. A disabled image shows only its shape, embossed.
    BOOL Draw(CDC* pDC, UINT nCommand, CPoint pt, BOOL bEnabled) const;

private:
    struct Images {
        std::unique_ptr<CImageList> list;
        std::map<UINT, int> indexes;
    };
    COLORREF m_clrMask = RGB(192, 192, 192);
    std::vector<Images> m_images;
};
