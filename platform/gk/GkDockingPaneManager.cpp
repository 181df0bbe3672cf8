#include "GkDockingPaneManager.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "GkDockingPaneLayout.h"
#include "GkDockingPaneTree.h"
#include "GkMDIFrameWnd.h"
#include "GkProfileValue.h"

namespace {

bool IsHorzSide(int nSide) {
    return nSide == gkPaneDockTop || nSide == gkPaneDockBottom;
}

bool IsVisibleNode(const GkDockNode* pNode) {
    if (pNode == nullptr)
        return false;
    if (pNode->pGroup != nullptr)
        return pNode->pGroup->HasOpenPane() != FALSE;
    return IsVisibleNode(pNode->child[0].get()) || IsVisibleNode(pNode->child[1].get());
}

// A splitter waiting for the groups along one edge of a rectangle.
struct EdgeSplitter {
    int nEdge; // GkDockingDirection of the edge
    void* pTarget;
};

CRect EdgeStrip(const CRect& rc, int nEdge) {
    switch (nEdge) {
    case gkPaneDockLeft: return CRect(rc.left, rc.top, std::min(rc.right, rc.left + GK_DOCKING_SPLITTER), rc.bottom);
    case gkPaneDockRight: return CRect(std::max(rc.left, rc.right - GK_DOCKING_SPLITTER), rc.top, rc.right, rc.bottom);
    case gkPaneDockTop: return CRect(rc.left, rc.top, rc.right, std::min(rc.bottom, rc.top + GK_DOCKING_SPLITTER));
    default: return CRect(rc.left, std::max(rc.top, rc.bottom - GK_DOCKING_SPLITTER), rc.right, rc.bottom);
    }
}

void PlaceNode(GkDockNode* pNode, const CRect& rc, const std::vector<EdgeSplitter>& edges) {
    pNode->rc = rc;
    if (pNode->pGroup != nullptr) {
        std::vector<CGkDockingPaneGroup::Splitter> splitters;
        for (const EdgeSplitter& e : edges) {
            CRect strip = EdgeStrip(rc, e.nEdge);
            strip.OffsetRect(-rc.left, -rc.top);
            splitters.push_back({strip, IsHorzSide(e.nEdge), e.pTarget});
        }
        pNode->pGroup->SetSplitters(std::move(splitters));
        pNode->pGroup->SetWindowPos(nullptr, rc.left, rc.top, rc.Width(), rc.Height(),
                                    SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        return;
    }
    GkDockNode* a = pNode->child[0].get();
    GkDockNode* b = pNode->child[1].get();
    bool va = IsVisibleNode(a), vb = IsVisibleNode(b);
    if (!va || !vb) {
        if (va)
            PlaceNode(a, rc, edges);
        if (vb)
            PlaceNode(b, rc, edges);
        return;
    }
    int total = pNode->bHorz ? rc.Width() : rc.Height();
    int fixed = std::clamp(pNode->nSize, 0, total);
    int first = pNode->nFixed == 0 ? fixed : total - fixed;
    CRect ra = rc, rb = rc;
    int farEdge = pNode->bHorz ? gkPaneDockRight : gkPaneDockBottom;
    int nearEdge = pNode->bHorz ? gkPaneDockLeft : gkPaneDockTop;
    if (pNode->bHorz)
        ra.right = rb.left = rc.left + first;
    else
        ra.bottom = rb.top = rc.top + first;
    std::vector<EdgeSplitter> ea, eb;
    for (const EdgeSplitter& e : edges) {
        if (e.nEdge != farEdge)
            ea.push_back(e);
        if (e.nEdge != nearEdge)
            eb.push_back(e);
    }
    // The strip lies inside the child that keeps its size, as a band's strip lies inside the band: a pane
    // split below a neighbour is as high as a band of the same size docked beside it.
    if (pNode->nFixed == 0)
        ea.push_back({farEdge, pNode});
    else
        eb.push_back({nearEdge, pNode});
    PlaceNode(a, ra, ea);
    PlaceNode(b, rb, eb);
}

void HideNode(GkDockNode* pNode) {
    if (pNode == nullptr)
        return;
    if (pNode->pGroup != nullptr) {
        if (!pNode->pGroup->HasOpenPane())
            pNode->pGroup->ShowWindow(SW_HIDE);
        return;
    }
    HideNode(pNode->child[0].get());
    HideNode(pNode->child[1].get());
}

GkDockNode* FindLeafIn(GkDockNode* pNode, const CGkDockingPaneGroup* pGroup, GkDockNode** ppParent) {
    if (pNode == nullptr)
        return nullptr;
    if (pNode->pGroup == pGroup)
        return pNode;
    for (auto& child : pNode->child) {
        if (child.get() != nullptr && child->pGroup == pGroup) {
            if (ppParent)
                *ppParent = pNode;
            return child.get();
        }
        if (GkDockNode* p = FindLeafIn(child.get(), pGroup, ppParent))
            return p;
    }
    return nullptr;
}

void WriteNode(CGkProfileWriter& writer, const GkDockNode* pNode) {
    if (pNode->pGroup != nullptr) {
        writer.WriteUInt(0);
        const CGkDockingPane* pActive = pNode->pGroup->GetActivePane();
        writer.WriteUInt(pActive != nullptr ? pActive->GetID() : 0);
        writer.WriteUInt(static_cast<uint32_t>(pNode->pGroup->Panes().size()));
        for (const CGkDockingPane* pPane : pNode->pGroup->Panes()) {
            writer.WriteUInt(pPane->GetID());
            writer.WriteUInt(pPane->IsClosed() ? 1 : 0);
        }
        return;
    }
    writer.WriteUInt(1);
    writer.WriteUInt(pNode->bHorz ? 1 : 0);
    writer.WriteUInt(static_cast<uint32_t>(pNode->nFixed));
    writer.WriteUInt(static_cast<uint32_t>(pNode->nSize));
    WriteNode(writer, pNode->child[0].get());
    WriteNode(writer, pNode->child[1].get());
}

} // namespace

CGkDockingPaneManager::CGkDockingPaneManager() = default;

CGkDockingPaneManager::~CGkDockingPaneManager() {
    for (auto& pPane : m_panes)
        pPane->m_pManager = nullptr;
    for (CGkDockingPaneGroup* pGroup : m_groups) {
        if (pGroup->GetSafeHwnd() != nullptr && ::IsWindow(pGroup->GetSafeHwnd()))
            pGroup->DestroyWindow();
        delete pGroup;
    }
}

BOOL CGkDockingPaneManager::InstallDockingPanes(CFrameWnd* pSite) {
    if (pSite == nullptr || pSite->GetSafeHwnd() == nullptr || m_pSite != nullptr)
        return FALSE;
    m_pSite = pSite;
    if (auto* pFrame = dynamic_cast<CGkMDIFrameWnd*>(pSite))
        pFrame->SetDockingPaneManager(this);
    return TRUE;
}

CGkDockingPaneGroup* CGkDockingPaneManager::NewGroup() {
    auto* pGroup = new CGkDockingPaneGroup(this);
    pGroup->Create(m_pSite);
    m_groups.push_back(pGroup);
    return pGroup;
}

void CGkDockingPaneManager::DestroyGroup(CGkDockingPaneGroup* pGroup) {
    RemoveLeaf(pGroup);
    m_groups.erase(std::remove(m_groups.begin(), m_groups.end(), pGroup), m_groups.end());
    if (pGroup->GetSafeHwnd() != nullptr)
        pGroup->DestroyWindow();
    delete pGroup;
}

CGkDockingPane* CGkDockingPaneManager::CreatePane(UINT nID, CRect rc, GkDockingDirection direction,
                                                  CGkDockingPane* pNeighbour) {
    if (m_pSite == nullptr || FindPane(nID) != nullptr)
        return nullptr;
    auto pane = std::make_unique<CGkDockingPane>(this, nID, CSize(rc.Width(), rc.Height()));
    CGkDockingPane* pPane = pane.get();
    m_panes.push_back(std::move(pane));
    CGkDockingPaneGroup* pGroup = NewGroup();
    pGroup->Panes().push_back(pPane);
    pGroup->SetActivePane(pPane);
    pPane->m_pGroup = pGroup;
    PlaceGroup(pGroup, direction, pNeighbour, pPane->m_szCreated);
    Relayout();
    return pPane;
}

void CGkDockingPaneManager::RemoveFromGroup(CGkDockingPane* pPane) {
    CGkDockingPaneGroup* pGroup = pPane->m_pGroup;
    if (pGroup == nullptr)
        return;
    auto& panes = pGroup->Panes();
    panes.erase(std::remove(panes.begin(), panes.end(), pPane), panes.end());
    pPane->m_pGroup = nullptr;
    if (pGroup->GetActivePane() == pPane) {
        std::vector<CGkDockingPane*> open = pGroup->OpenPanes();
        pGroup->SetActivePane(!open.empty() ? open.front() : (!panes.empty() ? panes.front() : nullptr));
    }
    if (pPane->m_pChild != nullptr && pPane->m_pChild->GetSafeHwnd() != nullptr)
        ::SetParent(pPane->m_pChild->GetSafeHwnd(), m_pSite->GetSafeHwnd()); // out of the group before the group may go
    if (panes.empty())
        DestroyGroup(pGroup);
}

void CGkDockingPaneManager::DockPane(CGkDockingPane* pPane, GkDockingDirection direction, CGkDockingPane* pNeighbour) {
    if (pPane == nullptr || pPane->m_pManager != this || pPane == pNeighbour)
        return;
    if (pNeighbour != nullptr && pNeighbour->m_pGroup == pPane->m_pGroup && pPane->m_pGroup->Panes().size() == 1)
        return;
    RemoveFromGroup(pPane);
    CGkDockingPaneGroup* pGroup = NewGroup();
    pGroup->Panes().push_back(pPane);
    pGroup->SetActivePane(pPane);
    pPane->m_pGroup = pGroup;
    if (pPane->m_pChild != nullptr && pPane->m_pChild->GetSafeHwnd() != nullptr)
        ::SetParent(pPane->m_pChild->GetSafeHwnd(), pGroup->GetSafeHwnd());
    PlaceGroup(pGroup, direction, pNeighbour, pPane->m_szCreated);
    Relayout();
}

void CGkDockingPaneManager::PlaceGroup(CGkDockingPaneGroup* pGroup, GkDockingDirection direction,
                                       CGkDockingPane* pNeighbour, CSize szCreated) {
    auto leaf = std::make_unique<GkDockNode>();
    leaf->pGroup = pGroup;
    GkDockNode* pTarget =
        pNeighbour != nullptr && pNeighbour->m_pGroup != nullptr ? FindLeaf(pNeighbour->m_pGroup) : nullptr;
    if (pTarget == nullptr) {
        auto band = std::make_unique<GkDockBand>();
        band->nSide = direction;
        band->nSize = IsHorzSide(direction) ? szCreated.cy : szCreated.cx;
        band->root = std::move(leaf);
        m_bands.insert(m_bands.begin(), std::move(band));
        return;
    }
    // The neighbour's leaf becomes a split of the neighbour and the new group.
    auto old = std::make_unique<GkDockNode>();
    old->pGroup = pTarget->pGroup;
    pTarget->pGroup = nullptr;
    pTarget->bHorz = !IsHorzSide(direction);
    bool bNewFirst = direction == gkPaneDockLeft || direction == gkPaneDockTop;
    pTarget->nFixed = bNewFirst ? 0 : 1;
    pTarget->nSize = pTarget->bHorz ? szCreated.cx : szCreated.cy;
    pTarget->child[bNewFirst ? 0 : 1] = std::move(leaf);
    pTarget->child[bNewFirst ? 1 : 0] = std::move(old);
}

GkDockNode* CGkDockingPaneManager::FindLeaf(const CGkDockingPaneGroup* pGroup, GkDockBand** ppBand) const {
    for (auto& band : m_bands) {
        if (GkDockNode* p = FindLeafIn(band->root.get(), pGroup, nullptr)) {
            if (ppBand)
                *ppBand = band.get();
            return p;
        }
    }
    return nullptr;
}

void CGkDockingPaneManager::RemoveLeaf(const CGkDockingPaneGroup* pGroup) {
    for (auto it = m_bands.begin(); it != m_bands.end(); ++it) {
        GkDockBand& band = **it;
        if (band.root->pGroup == pGroup) {
            m_bands.erase(it);
            return;
        }
        GkDockNode* pParent = nullptr;
        if (FindLeafIn(band.root.get(), pGroup, &pParent) != nullptr && pParent != nullptr) {
            // The parent split becomes the sibling.
            int nKeep = pParent->child[0]->pGroup == pGroup ? 1 : 0;
            std::unique_ptr<GkDockNode> sibling = std::move(pParent->child[nKeep]);
            pParent->pGroup = sibling->pGroup;
            pParent->bHorz = sibling->bHorz;
            pParent->nFixed = sibling->nFixed;
            pParent->nSize = sibling->nSize;
            std::unique_ptr<GkDockNode> a = std::move(sibling->child[0]);
            std::unique_ptr<GkDockNode> b = std::move(sibling->child[1]);
            pParent->child[0] = std::move(a);
            pParent->child[1] = std::move(b);
            return;
        }
    }
}

void CGkDockingPaneManager::AttachPane(CGkDockingPane* pPane, CGkDockingPane* pNeighbour) {
    if (pPane == nullptr || pNeighbour == nullptr || pPane == pNeighbour || pPane->m_pManager != this ||
        pNeighbour->m_pGroup == nullptr || pPane->m_pGroup == pNeighbour->m_pGroup)
        return;
    CGkDockingPaneGroup* pTarget = pNeighbour->m_pGroup;
    RemoveFromGroup(pPane);
    pTarget->Panes().push_back(pPane);
    pPane->m_pGroup = pTarget;
    if (pTarget->GetActivePane() == nullptr || pTarget->GetActivePane()->IsClosed())
        pTarget->SetActivePane(pPane);
    if (pPane->m_pChild != nullptr && pPane->m_pChild->GetSafeHwnd() != nullptr)
        ::SetParent(pPane->m_pChild->GetSafeHwnd(), pTarget->GetSafeHwnd());
    Relayout();
}

CGkDockingPane* CGkDockingPaneManager::FindPane(UINT nID) const {
    for (auto& pPane : m_panes)
        if (pPane->GetID() == nID)
            return pPane.get();
    return nullptr;
}

CGkDockingPane* CGkDockingPaneManager::ShowPane(UINT nID) {
    CGkDockingPane* pPane = FindPane(nID);
    ShowPane(pPane);
    return pPane;
}

void CGkDockingPaneManager::ShowPane(CGkDockingPane* pPane) {
    if (pPane == nullptr || pPane->m_pManager != this || pPane->m_pGroup == nullptr)
        return;
    pPane->m_bClosed = FALSE;
    pPane->m_pGroup->SetActivePane(pPane);
    Relayout();
}

void CGkDockingPaneManager::ActivateTab(CGkDockingPane* pPane) {
    ShowPane(pPane);
}

void CGkDockingPaneManager::ClosePane(CGkDockingPane* pPane) {
    if (pPane == nullptr || pPane->m_pManager != this || pPane->m_bClosed)
        return;
    CGkDockingPaneGroup* pGroup = pPane->m_pGroup;
    if (pGroup != nullptr && pGroup->GetActivePane() == pPane) {
        // The next open tab takes over, else the one before.
        std::vector<CGkDockingPane*> open = pGroup->OpenPanes();
        auto it = std::find(open.begin(), open.end(), pPane);
        CGkDockingPane* pNext = nullptr;
        if (it != open.end() && it + 1 != open.end())
            pNext = *(it + 1);
        else if (it != open.end() && it != open.begin())
            pNext = *(it - 1);
        if (pNext != nullptr)
            pGroup->SetActivePane(pNext);
    }
    pPane->m_bClosed = TRUE;
    Relayout();
}

void CGkDockingPaneManager::RecalcFramesLayout() {
    if (m_pSite != nullptr && m_pSite->GetSafeHwnd() != nullptr)
        m_pSite->RecalcLayout();
}

void CGkDockingPaneManager::Relayout() {
    RecalcFramesLayout();
}

void CGkDockingPaneManager::LayoutInside(CRect& rcInside, BOOL bSiteVisible) {
    // Bands that do not fit shrink in proportion, each axis on its own.
    int sumX = 0, sumY = 0;
    for (auto& band : m_bands) {
        if (!IsVisibleNode(band->root.get()))
            continue;
        (IsHorzSide(band->nSide) ? sumY : sumX) += band->nSize;
    }
    auto scaled = [](int nSize, int nSum, int nAvail) {
        if (nSum <= nAvail || nSum == 0)
            return nSize;
        return static_cast<int>(static_cast<long long>(nSize) * std::max(nAvail, 0) / nSum);
    };
    for (auto& band : m_bands) {
        GkDockNode* pRoot = band->root.get();
        if (!IsVisibleNode(pRoot)) {
            HideNode(pRoot);
            continue;
        }
        bool bHorz = IsHorzSide(band->nSide);
        int nAvail = bHorz ? rcInside.Height() : rcInside.Width();
        int nSize = std::min(scaled(band->nSize, bHorz ? sumY : sumX, bHorz ? rcInside.Height() : rcInside.Width()),
                             std::max(nAvail, 0));
        CRect rc = rcInside;
        int nInner = gkPaneDockLeft;
        switch (band->nSide) {
        case gkPaneDockLeft:
            rc.right = rc.left + nSize;
            rcInside.left = rc.right;
            nInner = gkPaneDockRight;
            break;
        case gkPaneDockRight:
            rc.left = rc.right - nSize;
            rcInside.right = rc.left;
            nInner = gkPaneDockLeft;
            break;
        case gkPaneDockTop:
            rc.bottom = rc.top + nSize;
            rcInside.top = rc.bottom;
            nInner = gkPaneDockBottom;
            break;
        default:
            rc.top = rc.bottom - nSize;
            rcInside.bottom = rc.top;
            nInner = gkPaneDockTop;
            break;
        }
        PlaceNode(pRoot, rc, {{nInner, band.get()}});
        HideNode(pRoot);
    }
    SyncVisibility(bSiteVisible);
}

void CGkDockingPaneManager::SyncVisibility(BOOL bSiteVisible) {
    m_bSiteVisible = bSiteVisible;
    for (auto& pane : m_panes) {
        CGkDockingPane* pPane = pane.get();
        CGkDockingPaneGroup* pGroup = pPane->m_pGroup;
        bool bShould = bSiteVisible && !pPane->m_bClosed && pGroup != nullptr && pGroup->GetActivePane() == pPane;
        if (bShould && !pPane->m_bShown) {
            m_pSite->SendMessage(GKWM_DOCKINGPANE_NOTIFY, GKPN_SHOWWINDOW, reinterpret_cast<LPARAM>(pPane));
            if (pPane->m_pManager == nullptr || pPane->m_pGroup != pGroup || pPane->m_bClosed)
                continue; // the handler changed the pane's state
            pPane->m_bShown = TRUE;
        } else if (!bShould && pPane->m_bShown) {
            pPane->m_bShown = FALSE;
        }
        CWnd* pChild = pPane->m_pChild;
        if (pChild == nullptr || pChild->GetSafeHwnd() == nullptr)
            continue;
        if (pGroup != nullptr && ::GetParent(pChild->GetSafeHwnd()) != pGroup->GetSafeHwnd())
            ::SetParent(pChild->GetSafeHwnd(), pGroup->GetSafeHwnd());
        if (pPane->m_bShown) {
            pChild->MoveWindow(pGroup->GetPaneArea());
            if (!pChild->IsWindowVisible())
                pChild->ShowWindow(SW_SHOW);
        } else if (pChild->GetStyle() & WS_VISIBLE) {
            pChild->ShowWindow(SW_HIDE);
        }
    }
    for (CGkDockingPaneGroup* pGroup : m_groups)
        if (pGroup->GetSafeHwnd() != nullptr)
            pGroup->Invalidate();
}

void CGkDockingPaneManager::MoveSplitter(void* pTarget, int nDelta) {
    for (auto& band : m_bands) {
        if (band.get() == pTarget) {
            bool bGrow = band->nSide == gkPaneDockLeft || band->nSide == gkPaneDockTop;
            band->nSize = std::max(0, band->nSize + (bGrow ? nDelta : -nDelta));
            Relayout();
            return;
        }
    }
    auto* pNode = static_cast<GkDockNode*>(pTarget);
    for (auto& band : m_bands) {
        // Only a split still in the tree is moved.
        std::vector<GkDockNode*> stack{band->root.get()};
        while (!stack.empty()) {
            GkDockNode* p = stack.back();
            stack.pop_back();
            if (p == nullptr)
                continue;
            if (p == pNode && p->pGroup == nullptr) {
                int total = p->bHorz ? p->rc.Width() : p->rc.Height();
                p->nSize = std::clamp(p->nSize + (p->nFixed == 0 ? nDelta : -nDelta), 0, std::max(total, 0));
                Relayout();
                return;
            }
            stack.push_back(p->child[0].get());
            stack.push_back(p->child[1].get());
        }
    }
}

BOOL CGkDockingPaneManager::NavigateNext() {
    if (m_dwKeyboardNavigate == 0 || m_panes.empty())
        return FALSE;
    // After the pane holding the focus, in creation order; the first pane when none holds it.
    HWND hFocus = ::GetFocus();
    size_t nStart = m_panes.size() - 1;
    for (size_t i = 0; i < m_panes.size(); ++i) {
        CGkDockingPaneGroup* pGroup = m_panes[i]->m_pGroup;
        if (m_panes[i]->m_bShown && pGroup != nullptr && hFocus != nullptr &&
            (hFocus == pGroup->GetSafeHwnd() || ::IsChild(pGroup->GetSafeHwnd(), hFocus)))
            nStart = i;
    }
    CGkDockingPane* pNext = m_panes[(nStart + 1) % m_panes.size()].get();
    ShowPane(pNext);
    if (pNext->m_bShown && pNext->m_pGroup != nullptr) {
        CWnd* pChild = pNext->m_pChild;
        if (pChild != nullptr && pChild->GetSafeHwnd() != nullptr)
            pChild->SetFocus();
        else
            pNext->m_pGroup->SetFocus();
    }
    return TRUE;
}

CGkDockingPaneLayout* CGkDockingPaneManager::CreateLayout() {
    return new CGkDockingPaneLayout(this);
}

void CGkDockingPaneManager::GetLayout(CGkDockingPaneLayout* pLayout) const {
    if (pLayout == nullptr)
        return;
    CGkProfileWriter writer(kGkLayoutTag, kGkLayoutVersion);
    writer.WriteUInt(static_cast<uint32_t>(m_bands.size()));
    for (auto& band : m_bands) {
        writer.WriteUInt(static_cast<uint32_t>(band->nSide));
        writer.WriteUInt(static_cast<uint32_t>(band->nSize));
        WriteNode(writer, band->root.get());
    }
    pLayout->SetBytes(writer.GetBytes());
}

namespace {

// Builds the live node for a stored one; null when none of its panes is left.
struct LayoutBuilder {
    CGkDockingPaneManager* pManager;
    std::set<UINT> used;
    std::function<CGkDockingPaneGroup*()> newGroup;

    std::unique_ptr<GkDockNode> Build(const GkLayoutNode& stored) {
        if (stored.bSplit) {
            std::unique_ptr<GkDockNode> a = Build(*stored.child[0]);
            std::unique_ptr<GkDockNode> b = Build(*stored.child[1]);
            if (!a)
                return b;
            if (!b)
                return a;
            auto node = std::make_unique<GkDockNode>();
            node->bHorz = stored.bHorz;
            node->nFixed = stored.nFixed;
            node->nSize = stored.nSize;
            node->child[0] = std::move(a);
            node->child[1] = std::move(b);
            return node;
        }
        std::vector<std::pair<CGkDockingPane*, BOOL>> panes;
        for (auto [nID, bClosed] : stored.panes) {
            CGkDockingPane* pPane = pManager->FindPane(nID);
            if (pPane == nullptr || !used.insert(nID).second)
                continue; // unknown or named twice: skipped
            panes.emplace_back(pPane, bClosed);
        }
        if (panes.empty())
            return nullptr;
        auto node = std::make_unique<GkDockNode>();
        node->pGroup = newGroup();
        for (auto [pPane, bClosed] : panes) {
            node->pGroup->Panes().push_back(pPane);
            if (pPane->GetID() == stored.nActive)
                node->pGroup->SetActivePane(pPane);
            closed.emplace_back(pPane, bClosed);
        }
        if (node->pGroup->GetActivePane() == nullptr)
            node->pGroup->SetActivePane(panes.front().first);
        return node;
    }
    std::vector<std::pair<CGkDockingPane*, BOOL>> closed;
};

} // namespace

BOOL CGkDockingPaneManager::SetLayout(const CGkDockingPaneLayout* pLayout) {
    std::vector<GkLayoutBand> stored;
    if (pLayout == nullptr || !pLayout->IsValid() || !GkParseLayout(pLayout->GetBytes(), stored))
        return FALSE;
    std::vector<CGkDockingPaneGroup*> fresh;
    LayoutBuilder builder{this,
                          {},
                          [&] {
                              auto* pGroup = new CGkDockingPaneGroup(this);
                              pGroup->Create(m_pSite);
                              fresh.push_back(pGroup);
                              return pGroup;
                          },
                          {}};
    std::vector<std::unique_ptr<GkDockBand>> bands;
    for (const GkLayoutBand& s : stored) {
        std::unique_ptr<GkDockNode> root = builder.Build(*s.root);
        if (!root)
            continue;
        auto band = std::make_unique<GkDockBand>();
        band->nSide = s.nSide;
        band->nSize = s.nSize;
        band->root = std::move(root);
        bands.push_back(std::move(band));
    }
    // Panes the layout does not name keep their group and side, as bands inside the stored ones.
    std::map<CGkDockingPaneGroup*, std::vector<CGkDockingPane*>> kept;
    for (auto& pane : m_panes)
        if (builder.used.count(pane->GetID()) == 0 && pane->m_pGroup != nullptr)
            kept[pane->m_pGroup].push_back(pane.get());
    for (auto& [pOld, panes] : kept) {
        GkDockBand* pOldBand = nullptr;
        FindLeaf(pOld, &pOldBand);
        auto band = std::make_unique<GkDockBand>();
        band->nSide = pOldBand != nullptr ? pOldBand->nSide : gkPaneDockLeft;
        band->nSize = pOldBand != nullptr ? pOldBand->nSize : 200;
        band->root = std::make_unique<GkDockNode>();
        band->root->pGroup = builder.newGroup();
        for (CGkDockingPane* pPane : panes) {
            band->root->pGroup->Panes().push_back(pPane);
            builder.closed.emplace_back(pPane, pPane->m_bClosed);
        }
        CGkDockingPane* pActive = pOld->GetActivePane();
        band->root->pGroup->SetActivePane(
            std::find(panes.begin(), panes.end(), pActive) != panes.end() ? pActive : panes.front());
        bands.push_back(std::move(band));
    }
    // Move the panes and their windows into the new groups, then let the old groups go.
    for (auto [pPane, bClosed] : builder.closed) {
        CGkDockingPaneGroup* pNew = nullptr;
        for (CGkDockingPaneGroup* pGroup : fresh)
            if (std::find(pGroup->Panes().begin(), pGroup->Panes().end(), pPane) != pGroup->Panes().end())
                pNew = pGroup;
        pPane->m_pGroup = pNew;
        pPane->m_bClosed = bClosed;
        // Out of the old group before it goes; a pane that stays on show is not announced again.
        if (pPane->m_pChild != nullptr && pPane->m_pChild->GetSafeHwnd() != nullptr && pNew != nullptr)
            ::SetParent(pPane->m_pChild->GetSafeHwnd(), pNew->GetSafeHwnd());
    }
    m_bands = std::move(bands);
    std::vector<CGkDockingPaneGroup*> old = std::move(m_groups);
    m_groups = fresh;
    for (CGkDockingPaneGroup* pGroup : old) {
        if (pGroup->GetSafeHwnd() != nullptr)
            pGroup->DestroyWindow();
        delete pGroup;
    }
    Relayout();
    return TRUE;
}
