// CSplashWnd: the window shown while the program starts. For now a bare top-level window; the start-up
// shows it, paints it at once and closes it when the main window is up or a start-up step fails.
#pragma once

#include "afxwin.h"

class CSplashWnd : public CWnd {
public:
    CSplashWnd() = default;
    ~CSplashWnd() override;

    using CWnd::Create;
    // A top-level window with no owner, not yet visible. FALSE when it cannot be created.
    BOOL Create(CWnd* pParent = nullptr);
    // Hides the window, then destroys it; nothing when there is none.
    void Close();
};
