#include "AfxCmdTarget.h"

#include "AfxCmdUI.h"
#include "windows.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

namespace {

bool EntryMatches(const AFX_MSGMAP_ENTRY& entry, UINT nMessage, UINT nCode, UINT nID) {
    if (entry.pnRegisteredMessage != nullptr) {
        // A registered message whose id is not known yet (0) matches nothing.
        if (*entry.pnRegisteredMessage == 0 || *entry.pnRegisteredMessage != nMessage)
            return false;
    } else if (entry.nMessage != nMessage) {
        return false;
    }
    return entry.nCode == nCode && nID >= entry.nID && nID <= entry.nLastID;
}

} // namespace

BOOL CCmdTarget::DispatchMsgMap(UINT nMessage, UINT nCode, UINT nID, AFX_MSGCALL& call,
                                AFX_CMDHANDLERINFO* pHandlerInfo) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn != nullptr; ++entry) {
            if (!EntryMatches(*entry, nMessage, nCode, nID))
                continue;
            if (pHandlerInfo != nullptr) {
                pHandlerInfo->pTarget = this;
                pHandlerInfo->pfn = entry->pfn;
                return TRUE;
            }
            if (entry->pfn(this, call))
                return TRUE;
        }
    }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    UINT nMessage = WM_COMMAND;
    UINT nEntryCode = static_cast<UINT>(nCode);
    if (static_cast<UINT>(nCode) != CN_UPDATE_COMMAND_UI) {
        // Notifications carry their message in the high word; commands and control notifications have none.
        if (HIWORD(static_cast<UINT>(nCode)) != 0)
            nMessage = HIWORD(static_cast<UINT>(nCode));
        nEntryCode = LOWORD(static_cast<UINT>(nCode));
    }
    AFX_MSGCALL call{nMessage, 0, 0, nID, pExtra, 0};
    return DispatchMsgMap(nMessage, nEntryCode, nID, call, pHandlerInfo);
}

namespace {

thread_local int t_nWaitCursorCount = 0;
thread_local HCURSOR t_hcurBeforeWait = nullptr;

} // namespace

void CCmdTarget::BeginWaitCursor() {
    HCURSOR hcurPrevious = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    if (t_nWaitCursorCount++ == 0)
        t_hcurBeforeWait = hcurPrevious;
}

void CCmdTarget::EndWaitCursor() {
    if (t_nWaitCursorCount == 0)
        return;
    if (--t_nWaitCursorCount == 0)
        ::SetCursor(t_hcurBeforeWait != nullptr ? t_hcurBeforeWait : ::LoadCursorA(nullptr, IDC_ARROW));
}

void CCmdTarget::RestoreWaitCursor() {
    if (t_nWaitCursorCount > 0)
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}
