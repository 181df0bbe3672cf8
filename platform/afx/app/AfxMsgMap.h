// Message maps: the table by which a class says which of its handlers takes which message, command or
// notification. Each class's map is chained to its base class's map; dispatch searches the most derived map
// first and the first matching entry wins (an _EX handler that returns FALSE lets the search go on).
//
//   class CMyView : public CView { ... DECLARE_MESSAGE_MAP() };
//   BEGIN_MESSAGE_MAP(CMyView, CView)
//       ON_COMMAND(ID_EDIT_COPY, &CMyView::OnEditCopy)
//       ON_UPDATE_COMMAND_UI(ID_EDIT_COPY, &CMyView::OnUpdateEditCopy)
//       ON_WM_SIZE()
//   END_MESSAGE_MAP()
//
// Every entry carries a small thunk that unpacks the message into the handler's own, typed arguments, so a
// handler of the wrong signature does not compile.
#pragma once

#include "AfxDefs.h"
#include "AfxMessages.h"

class CCmdTarget;
class CCmdUI;

// A message, command or notification on its way to a handler, and the result the handler leaves.
struct AFX_MSGCALL {
    UINT nMessage;
    WPARAM wParam;
    LPARAM lParam;
    UINT nID;     // commands and notifications: the id of the command or of the control
    void* pExtra; // CCmdUI* for update handlers, NMHDR* for notifications
    LRESULT lResult;
};

// TRUE when the handler took the message.
typedef BOOL (*AFX_PMSGTHUNK)(CCmdTarget* pTarget, AFX_MSGCALL& call);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;                   // 0 for registered messages (see pnRegisteredMessage)
    UINT nCode;                      // command or notification code
    UINT nID;                        // first id of the range
    UINT nLastID;                    // last id of the range
    const UINT* pnRegisteredMessage; // ON_REGISTERED_MESSAGE: the variable holding the id, read at dispatch
    AFX_PMSGTHUNK pfn;               // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)(); // null for the root map
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Filled by OnCmdMsg instead of calling a handler, to find out whether one exists.
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget;
    AFX_PMSGTHUNK pfn;
};

// What OnCmdMsg carries for a WM_NOTIFY.
struct AFX_NOTIFY {
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

#define DECLARE_MESSAGE_MAP()                                                                                          \
protected:                                                                                                             \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();                                                               \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                         \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                                                \
        return GetThisMessageMap();                                                                                    \
    }                                                                                                                  \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() {                                                           \
        using ThisClass [[maybe_unused]] = theClass;                                                                   \
        using TheBaseClass = baseClass;                                                                                \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                                              \
    { 0, 0, 0, 0, nullptr, nullptr }                                                                                   \
    }                                                                                                                  \
    ;                                                                                                                  \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};                      \
    return &messageMap;                                                                                                \
    }

// The handler's object, as the map's own class.
#define AFX_THIS(p) (static_cast<ThisClass*>(p))
// One entry: message, code, id range and the thunk's body (p is the target, c the AFX_MSGCALL).
#define AFX_MSG_ENTRY(msg, code, id, idLast, ...)                                                                      \
    {static_cast<UINT>(msg),                                                                                           \
     static_cast<UINT>(code),                                                                                          \
     static_cast<UINT>(id),                                                                                            \
     static_cast<UINT>(idLast),                                                                                        \
     nullptr,                                                                                                          \
     [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL {                                                                       \
         (void)p;                                                                                                      \
         (void)c;                                                                                                      \
         __VA_ARGS__                                                                                                   \
     }},

// Commands: menus, accelerators, buttons of bars, posted WM_COMMAND.
#define ON_COMMAND(id, memberFxn)                                                                                      \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, id, (AFX_THIS(p)->*(memberFxn))(); return TRUE;)
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                                        \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, idLast, (AFX_THIS(p)->*(memberFxn))(c.nID); return TRUE;)
// BOOL handler(UINT id): FALSE lets the command go on to the next handler.
#define ON_COMMAND_EX(id, memberFxn)                                                                                   \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, id, return (AFX_THIS(p)->*(memberFxn))(c.nID) ? TRUE : FALSE;)
#define ON_COMMAND_EX_RANGE(id, idLast, memberFxn)                                                                     \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, idLast, return (AFX_THIS(p)->*(memberFxn))(c.nID) ? TRUE : FALSE;)

// Update handlers: void handler(CCmdUI*). A handler that sets m_bContinueRouting lets the update go on.
#define AFX_UPDATE_BODY(call)                                                                                          \
    CCmdUI* pCmdUI = static_cast<CCmdUI*>(c.pExtra);                                                                   \
    AfxCmdUIContinueRouting(pCmdUI, FALSE);                                                                            \
    call;                                                                                                              \
    return AfxCmdUIContinueRouting(pCmdUI) ? FALSE : TRUE;
#define ON_UPDATE_COMMAND_UI(id, memberFxn)                                                                            \
    AFX_MSG_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, id, AFX_UPDATE_BODY((AFX_THIS(p)->*(memberFxn))(pCmdUI)))
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, memberFxn)                                                              \
    AFX_MSG_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, idLast, AFX_UPDATE_BODY((AFX_THIS(p)->*(memberFxn))(pCmdUI)))

// Any message: LRESULT handler(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn)                                                                                 \
    AFX_MSG_ENTRY(message, 0, 0, 0, c.lResult = (AFX_THIS(p)->*(memberFxn))(c.wParam, c.lParam); return TRUE;)
// A message registered at run time: the id is read from nMessageVariable each time a message is dispatched,
// so the variable may be set after the map was built.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                                             \
    {0, 0, 0, 0, &(nMessageVariable), [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL {                                      \
         c.lResult = (AFX_THIS(p)->*(memberFxn))(c.wParam, c.lParam);                                                  \
         return TRUE;                                                                                                  \
     }},

// Control notifications through WM_COMMAND: void handler().
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                                         \
    AFX_MSG_ENTRY(WM_COMMAND, static_cast<WORD>(wNotifyCode), id, id, (AFX_THIS(p)->*(memberFxn))(); return TRUE;)
#define ON_CONTROL_RANGE(wNotifyCode, id, idLast, memberFxn)                                                           \
    AFX_MSG_ENTRY(WM_COMMAND, static_cast<WORD>(wNotifyCode), id, idLast, (AFX_THIS(p)->*(memberFxn))(c.nID);          \
                  return TRUE;)
// A control's own notification, reflected back to it by its parent.
#define ON_CONTROL_REFLECT(wNotifyCode, memberFxn)                                                                     \
    AFX_MSG_ENTRY(WM_COMMAND + WM_REFLECT_BASE, static_cast<WORD>(wNotifyCode), 0, 0, (AFX_THIS(p)->*(memberFxn))();   \
                  return TRUE;)
#define ON_CONTROL_REFLECT_EX(wNotifyCode, memberFxn)                                                                  \
    AFX_MSG_ENTRY(WM_COMMAND + WM_REFLECT_BASE, static_cast<WORD>(wNotifyCode), 0, 0,                                  \
                  return (AFX_THIS(p)->*(memberFxn))() ? TRUE : FALSE;)

// WM_NOTIFY: void handler(NMHDR*, LRESULT*).
#define AFX_NOTIFY_ARGS static_cast<AFX_NOTIFY*>(c.pExtra)->pNMHDR, static_cast<AFX_NOTIFY*>(c.pExtra)->pResult
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                                          \
    AFX_MSG_ENTRY(WM_NOTIFY, static_cast<WORD>(wNotifyCode), id, id, (AFX_THIS(p)->*(memberFxn))(AFX_NOTIFY_ARGS);     \
                  return TRUE;)
// void handler(UINT id, NMHDR*, LRESULT*).
#define ON_NOTIFY_RANGE(wNotifyCode, id, idLast, memberFxn)                                                            \
    AFX_MSG_ENTRY(WM_NOTIFY, static_cast<WORD>(wNotifyCode), id, idLast,                                               \
                  (AFX_THIS(p)->*(memberFxn))(c.nID, AFX_NOTIFY_ARGS);                                                 \
                  return TRUE;)
// BOOL handler(UINT id, NMHDR*, LRESULT*): FALSE lets it go on.
#define ON_NOTIFY_EX(wNotifyCode, id, memberFxn)                                                                       \
    AFX_MSG_ENTRY(WM_NOTIFY, static_cast<WORD>(wNotifyCode), id, id,                                                   \
                  return (AFX_THIS(p)->*(memberFxn))(c.nID, AFX_NOTIFY_ARGS) ? TRUE : FALSE;)
#define ON_NOTIFY_EX_RANGE(wNotifyCode, id, idLast, memberFxn)                                                         \
    AFX_MSG_ENTRY(WM_NOTIFY, static_cast<WORD>(wNotifyCode), id, idLast,                                               \
                  return (AFX_THIS(p)->*(memberFxn))(c.nID, AFX_NOTIFY_ARGS) ? TRUE : FALSE;)
// A control's own WM_NOTIFY, reflected back to it: void handler(NMHDR*, LRESULT*).
#define ON_NOTIFY_REFLECT(wNotifyCode, memberFxn)                                                                      \
    AFX_MSG_ENTRY(WM_NOTIFY + WM_REFLECT_BASE, static_cast<WORD>(wNotifyCode), 0, 0,                                   \
                  (AFX_THIS(p)->*(memberFxn))(AFX_NOTIFY_ARGS);                                                        \
                  return TRUE;)
// BOOL handler(NMHDR*, LRESULT*): FALSE lets the parent handle it too.
#define ON_NOTIFY_REFLECT_EX(wNotifyCode, memberFxn)                                                                   \
    AFX_MSG_ENTRY(WM_NOTIFY + WM_REFLECT_BASE, static_cast<WORD>(wNotifyCode), 0, 0,                                   \
                  return (AFX_THIS(p)->*(memberFxn))(AFX_NOTIFY_ARGS) ? TRUE : FALSE;)

// Reads or sets CCmdUI::m_bContinueRouting without the thunks needing CCmdUI's definition.
BOOL AFXAPI AfxCmdUIContinueRouting(CCmdUI* pCmdUI);
void AFXAPI AfxCmdUIContinueRouting(CCmdUI* pCmdUI, BOOL bContinue);
