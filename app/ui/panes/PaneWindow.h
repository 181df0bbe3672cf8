// The window of a docking pane's bar (device tree, stack inspector, data bar): a plain child of the main
// frame, in the button face, that the docking pane then takes in.
#pragma once

#include "afxwin.h"

// Creates pWnd's window under pParentWnd with the title, the size and the control id; FALSE when it cannot be
// made.
BOOL CreatePaneWindow(CWnd& wnd, LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle);
