// What a command's menu item or button shows after its update handlers ran: enabled, check and radio mark (-1
// when no handler set one) and text (empty when none set one).
#pragma once

#include <string>

#include "afxwin.h"

namespace mainwin_test {

struct CommandState {
    bool enabled = true;
    int check = -1;
    int radio = -1;
    std::string text;
};

inline CommandState UpdateCommand(CCmdTarget* pTarget, UINT nID) {
    struct Probe : CCmdUI {
        void Enable(BOOL bOn) override {
            state.enabled = bOn != FALSE;
            m_bEnableChanged = TRUE;
        }
        void SetCheck(int nCheck) override { state.check = nCheck; }
        void SetRadio(BOOL bOn) override { state.radio = bOn != FALSE ? 1 : 0; }
        void SetText(LPCTSTR lpszText) override { state.text = lpszText; }
        CommandState state;
    } probe;
    probe.m_nID = nID;
    probe.DoUpdate(pTarget, FALSE);
    return probe.state;
}

} // namespace mainwin_test
