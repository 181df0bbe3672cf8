// Window classes of the framework: registration (AfxRegisterClass, AfxRegisterWndClass) and the default class
// of CWnd.
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
