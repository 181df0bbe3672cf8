#include "GkImageManager.h"

#include <utility>

#include "WinResourceTable.h"

BOOL CGkImageManager::SetIcons(UINT nIDResource) {
    win32::ToolbarResource resource;
    if (!win32::GetToolbarResource(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource), resource))
        return FALSE;
    Images images;
    images.list = std::make_unique<CImageList>();
    if (!images.list->Create(nIDResource, resource.width, 4, m_clrMask))
        return FALSE;
    int nImage = 0;
    for (UINT nID : resource.items)
        if (nID != 0 && nImage < images.list->GetImageCount())
            images.indexes.emplace(nID, nImage++);
    m_images.push_back(std::move(images));
    return TRUE;
}

BOOL CGkImageManager::Draw(CDC* pDC, UINT nCommand, CPoint pt, BOOL bEnabled) const {
    // The latest images of a command win.
    for (auto it = m_images.rbegin(); it != m_images.rend(); ++it) {
        auto found = it->indexes.find(nCommand);
        if (found == it->indexes.end())
            continue;
        if (bEnabled)
            return it->list->Draw(pDC, found->second, pt, ILD_TRANSPARENT);
        // Disabled: the image's shape, none of its own colours, embossed as the classic look greys an image: a
        // lit copy a pixel down and right under a shadowed one.
        int cx = 0, cy = 0;
        ::ImageList_GetIconSize(*it->list, &cx, &cy);
        CDC maskDC;
        maskDC.CreateCompatibleDC(pDC);
        CBitmap bitmap;
        bitmap.CreateCompatibleBitmap(pDC, cx, cy);
        CBitmap* pOld = maskDC.SelectObject(&bitmap);
        maskDC.FillSolidRect(CRect(0, 0, cx, cy), RGB(255, 255, 255));
        it->list->Draw(&maskDC, found->second, CPoint(0, 0), ILD_MASK);
        for (const auto& [nOffset, clr] :
             {std::pair{1, ::GetSysColor(COLOR_3DHILIGHT)}, std::pair{0, ::GetSysColor(COLOR_3DSHADOW)}})
            for (int y = 0; y < cy; ++y)
                for (int x = 0; x < cx; ++x)
                    if (maskDC.GetPixel(x, y) == RGB(0, 0, 0))
                        pDC->SetPixel(pt.x + x + nOffset, pt.y + y + nOffset, clr);
        maskDC.SelectObject(pOld);
        return TRUE;
    }
    return FALSE;
}
