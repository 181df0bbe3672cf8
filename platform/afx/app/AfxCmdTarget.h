// CCmdTarget: an object that takes commands and messages through its message map (AfxMsgMap.h). The
// framework routes a command along a chain of targets (view, document, template, frames, application); each
// target offers it to its own map with OnCmdMsg and passes it on when no handler took it.
#pragma once

#include "AfxMsgMap.h"
#include "AfxObject.h"

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;
    ~CCmdTarget() override = default;

    // Offers a command to this object's message map:
    //   nCode CN_COMMAND: a command (pExtra null);
    //   nCode CN_UPDATE_COMMAND_UI: an update request (pExtra the CCmdUI*);
    //   nCode a control notification code: a WM_COMMAND from the control nID;
    //   nCode MAKELONG(notify code, WM_NOTIFY): a notification (pExtra the AFX_NOTIFY*).
    // With pHandlerInfo, reports whether a handler exists (filling it in) and calls none.
    // TRUE when a handler took the command.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // The wait cursor around a long operation (CWaitCursor does the same for a scope); Begin and End pair up.
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Searches this object's map chain for the entry of (nMessage, nCode, nID) and calls its handler; an entry
    // whose handler declines lets the search go on. With pHandlerInfo only reports the first match.
    BOOL DispatchMsgMap(UINT nMessage, UINT nCode, UINT nID, AFX_MSGCALL& call, AFX_CMDHANDLERINFO* pHandlerInfo);
};
