// CSplashWnd: the window shown while the program starts (dialog 262, modeless, no caption): the program's
// picture and its release. The start-up shows it, paints it at once and closes it when the main window is up
// or a start-up step fails.
#pragma once

#include "afxwin.h"
#include "app/ui/dialogs/BigIcon.h"

class CSplashWnd : public CDialog {
public:
    CSplashWnd() = default;
    ~CSplashWnd() override;
    CSplashWnd(const CSplashWnd&) = delete;
    CSplashWnd& operator=(const CSplashWnd&) = delete;

    using CDialog::Create;
    // The modeless dialog, not yet visible. FALSE when it cannot be created.
    BOOL Create(CWnd* pParent = nullptr);
    // Hides the window, then destroys it; nothing when there is none.
    void Close();

    // Centres the window, sizes the picture and shows "Tindaloft Release a.b.c" from the program file's
    // version.
    BOOL OnInitDialog() override;

private:
    CBigIcon m_BigIcon;
};
