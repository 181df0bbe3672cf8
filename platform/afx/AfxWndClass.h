// Window classes of the framework: registration (AfxRegisterClass, AfxRegisterWndClass), the default class
// of CWnd, and the framework copies of other classes through which framework objects attach to their windows.
#pragma once

#include "AfxDefs.h"
#include "windows.h"

// Registers the class unless a class of that name exists; FALSE when registration fails.
BOOL AFXAPI AfxRegisterClass(WNDCLASSA* lpWndClass);
// A framework class with these attributes (registered once, named after them); throws CResourceException
// when it cannot be registered.
LPCTSTR AFXAPI AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                                   HICON hIcon = nullptr);
// The class of plain framework windows.
LPCTSTR AFXAPI AfxDefaultWndClass();
// The class to create a framework window of lpszClassName from: the class itself when its procedure is the
// framework's, else a framework copy of it (*ppfnSuper receives the class's own procedure). nullptr when no
// such class exists.
LPCTSTR AFXAPI AfxFrameworkClassFor(LPCTSTR lpszClassName, WNDPROC* ppfnSuper);
