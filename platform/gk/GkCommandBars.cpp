#include "GkCommandBars.h"

#include "GkMenuBar.h"
#include "GkProfileValue.h"
#include "WinResourceTable.h"

namespace {

constexpr uint32_t kTag = 0x42434B47; // "GKCB"
constexpr uint32_t kVersion = 1;

} // namespace

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
        // Disabled: the image's shape in the shadow colour, none of its own colours.
        int cx = 0, cy = 0;
        ::ImageList_GetIconSize(*it->list, &cx, &cy);
        CDC maskDC;
        maskDC.CreateCompatibleDC(pDC);
        CBitmap bitmap;
        bitmap.CreateCompatibleBitmap(pDC, cx, cy);
        CBitmap* pOld = maskDC.SelectObject(&bitmap);
        maskDC.FillSolidRect(CRect(0, 0, cx, cy), RGB(255, 255, 255));
        it->list->Draw(&maskDC, found->second, CPoint(0, 0), ILD_MASK);
        COLORREF clrShadow = ::GetSysColor(COLOR_3DSHADOW);
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                if (maskDC.GetPixel(x, y) == RGB(0, 0, 0))
                    pDC->SetPixel(pt.x + x, pt.y + y, clrShadow);
        maskDC.SelectObject(pOld);
        return TRUE;
    }
    return FALSE;
}

CGkCommandBars::CGkCommandBars(CFrameWnd* pFrame) : m_pFrame(pFrame) {}

CGkCommandBars::~CGkCommandBars() {
    for (CGkToolBar* pBar : m_bars) {
        if (pBar->GetSafeHwnd() != nullptr && ::IsWindow(pBar->GetSafeHwnd()))
            pBar->DestroyWindow();
        delete pBar;
    }
}

CGkMenuBar* CGkCommandBars::SetMenu(LPCTSTR lpszTitle, UINT nIDMenu) {
    HMENU hMenu = ::LoadMenu(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDMenu));
    if (hMenu == nullptr || m_pFrame == nullptr)
        return nullptr;
    ::DestroyMenu(hMenu);
    auto* pBar = new CGkMenuBar;
    pBar->SetCommandBars(this);
    pBar->SetTitle(lpszTitle);
    if (!pBar->CreateMenuBar(m_pFrame, nIDMenu)) {
        delete pBar;
        return nullptr;
    }
    m_bars.insert(m_bars.begin(), pBar);
    m_pMenuBar = pBar;
    m_pFrame->RecalcLayout();
    return pBar;
}

CGkToolBar* CGkCommandBars::Add(LPCTSTR lpszTitle, UINT nPosition) {
    if (m_pFrame == nullptr)
        return nullptr;
    DWORD dwAlign = nPosition & CBRS_ALIGN_ANY;
    if (dwAlign != CBRS_ALIGN_LEFT && dwAlign != CBRS_ALIGN_RIGHT && dwAlign != CBRS_ALIGN_BOTTOM)
        dwAlign = CBRS_ALIGN_TOP;
    auto* pBar = new CGkToolBar;
    pBar->SetCommandBars(this);
    pBar->SetTitle(lpszTitle);
    if (!pBar->Create(m_pFrame, WS_CHILD | WS_VISIBLE | dwAlign, 0)) {
        delete pBar;
        return nullptr;
    }
    m_bars.push_back(pBar);
    m_pFrame->RecalcLayout();
    return pBar;
}

CGkToolBar* CGkCommandBars::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount())
        return nullptr;
    return m_bars[static_cast<size_t>(nIndex)];
}

CGkControl* CGkCommandBars::FindControl(UINT nID) const {
    for (CGkToolBar* pBar : m_bars)
        if (CGkControl* pControl = pBar->FindControl(nID))
            return pControl;
    return nullptr;
}

void CGkCommandBars::SaveCommandBars(LPCTSTR lpszSection) const {
    CGkProfileWriter writer(kTag, kVersion);
    writer.WriteUInt(static_cast<uint32_t>(m_bars.size()));
    for (CGkToolBar* pBar : m_bars) {
        writer.WriteUInt(pBar->GetBarID());
        writer.WriteUInt(pBar->IsWindowVisible() ? 1 : 0);
    }
    writer.Save(lpszSection);
}

BOOL CGkCommandBars::LoadCommandBars(LPCTSTR lpszSection) {
    CGkProfileReader reader(lpszSection, kTag, kVersion);
    uint32_t count = 0;
    if (!reader.ReadUInt(count))
        return FALSE;
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0, visible = 0;
        if (!reader.ReadUInt(id) || !reader.ReadUInt(visible) || visible > 1)
            return FALSE;
        entries.emplace_back(id, visible);
    }
    if (!reader.AtEnd())
        return FALSE;
    for (auto [id, visible] : entries) {
        for (CGkToolBar* pBar : m_bars) // unknown ids are skipped
            if (pBar->GetBarID() == id && pBar != m_pMenuBar)
                pBar->ShowWindow(visible ? SW_SHOWNA : SW_HIDE);
    }
    if (m_pFrame != nullptr)
        m_pFrame->RecalcLayout();
    return TRUE;
}
