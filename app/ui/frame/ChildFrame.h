// CChildFrame: the frame of a capture document's window inside the main frame. It adds nothing to the
// framework's child frame; the main frame treats the document of the active one as the active document.
#pragma once

#include "afxwin.h"

class CChildFrame : public CMDIChildWnd {
    DECLARE_DYNCREATE(CChildFrame)
public:
    CChildFrame() = default;
    ~CChildFrame() override = default;
};
