// The program's main frame loaded from its resource and shown at a size, as the main window of the running
// application object, so that the docking panes on show make their windows; destroyed again (the frame
// deletes itself) at the end.
#pragma once

#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/ui/frame/MainFrame.h"

namespace tdl::test {

class ShownMainFrame {
public:
    explicit ShownMainFrame(CSize size = CSize(1100, 760)) {
        auto* pFrame = new CMainFrame;
        if (!pFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE))
            return; // a frame that failed to load has deleted itself
        m_pFrame = pFrame;
        AfxGetApp()->m_pMainWnd = m_pFrame;
        m_pFrame->MoveWindow(0, 0, size.cx, size.cy);
        m_pFrame->ShowWindow(SW_SHOW);
        m_pFrame->RecalcLayout();
        win32::PumpUiMessages();
    }
    ~ShownMainFrame() {
        if (m_pFrame == nullptr)
            return;
        m_pFrame->DestroyWindow();
        AfxGetApp()->m_pMainWnd = nullptr;
    }
    ShownMainFrame(const ShownMainFrame&) = delete;
    ShownMainFrame& operator=(const ShownMainFrame&) = delete;

    // Null when the frame could not be loaded.
    CMainFrame* Get() const { return m_pFrame; }

private:
    CMainFrame* m_pFrame = nullptr;
};

} // namespace tdl::test
