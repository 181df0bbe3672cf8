// CGkImageManager: the images of toolbar buttons by command, loaded from the bitmap of a toolbar resource with
// one colour taken as transparent. A frame's command bars share one; a bar made inside a window has its own.
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
    // Forgets every image loaded so far.
    void RemoveAll() { m_images.clear(); }
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
