// The framework's way into HTML Help: HtmlHelpA of "hhctrl", bound at each call.
#pragma once

#include "AfxDefs.h"
#include "WinUserTypes.h"

// Calls HtmlHelpA(hWnd, lpszHelpFilePath, nCmd, dwData); when "hhctrl" or its export is missing nothing
// happens and the result is nullptr.
HWND AFXAPI AfxHtmlHelp(HWND hWnd, LPCTSTR lpszHelpFilePath, UINT nCmd, DWORD_PTR dwData);
