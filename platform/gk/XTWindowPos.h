// CXTWindowPos: a frame's placement (normal rectangle, show state, maximised) kept in the profile section
// "WindowPos", so the frame reopens where the user left it.
#pragma once

#include "afxwin.h"

class CXTWindowPos : public WINDOWPLACEMENT {
public:
    CXTWindowPos();

    // Reads the stored placement into this record; FALSE, and the record unchanged, when nothing valid is
    // stored. A normal rectangle wholly off the screen of this machine (saved on a larger screen) is moved
    // onto it.
    BOOL LoadWindowPos(LPCTSTR lpszWndPos = "WindowPos");
    // As above, then gives the window the normal rectangle and the maximised state without showing it; the
    // caller shows it with showCmd.
    BOOL LoadWindowPos(CWnd* pWnd, LPCTSTR lpszWndPos = "WindowPos");
    // Stores the window's placement. A minimised window is stored as shown normally, so the next start does
    // not open as an icon.
    BOOL SaveWindowPos(CWnd* pWnd, LPCTSTR lpszWndPos = "WindowPos");

private:
    void MoveOntoScreen();
};
