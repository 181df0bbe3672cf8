#include "AfxOleDropTarget.h"

#include <mutex>
#include <unordered_map>

#include "AfxWnd.h"

namespace {

struct DropTargets {
    std::mutex lock;
    std::unordered_map<HWND, COleDropTarget*> targets;
};

DropTargets& Targets() {
    static DropTargets targets;
    return targets;
}

} // namespace

std::vector<BYTE> COleDataObject::GetData(UINT cfFormat) const {
    auto it = m_data.find(cfFormat);
    return it != m_data.end() ? it->second : std::vector<BYTE>();
}

COleDropTarget::~COleDropTarget() {
    Revoke();
}

BOOL COleDropTarget::Register(CWnd* pWnd) {
    if (pWnd == nullptr || pWnd->m_hWnd == nullptr || m_hWnd != nullptr)
        return FALSE;
    DropTargets& t = Targets();
    std::lock_guard guard(t.lock);
    if (!t.targets.emplace(pWnd->m_hWnd, this).second)
        return FALSE;
    m_hWnd = pWnd->m_hWnd;
    return TRUE;
}

void COleDropTarget::Revoke() {
    if (m_hWnd == nullptr)
        return;
    DropTargets& t = Targets();
    std::lock_guard guard(t.lock);
    auto it = t.targets.find(m_hWnd);
    if (it != t.targets.end() && it->second == this)
        t.targets.erase(it);
    m_hWnd = nullptr;
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd*, COleDataObject*, DWORD, CPoint) {
    return DROPEFFECT_NONE;
}

DROPEFFECT COleDropTarget::OnDragOver(CWnd*, COleDataObject*, DWORD, CPoint) {
    return DROPEFFECT_NONE;
}

void COleDropTarget::OnDragLeave(CWnd*) {}

BOOL COleDropTarget::OnDrop(CWnd*, COleDataObject*, DROPEFFECT, CPoint) {
    return FALSE;
}

COleDropTarget* AFXAPI AfxDropTargetOf(HWND hWnd) {
    DropTargets& t = Targets();
    std::lock_guard guard(t.lock);
    auto it = t.targets.find(hWnd);
    // A window gone since its target registered takes nothing.
    return it != t.targets.end() && ::IsWindow(hWnd) ? it->second : nullptr;
}
