// The MDI client: the window inside an MDI frame that holds its child frames, one of them active. Its messages
// are the platform's (WM_MDIACTIVATE, WM_MDINEXT, WM_MDICASCADE, ...). The framework registers the class
// "MDICLIENT" itself where the window system has none.
#pragma once

#include "AfxDefs.h"
#include "windows.h"

#ifndef WM_MDICREATE
#define WM_MDICREATE 0x0220
#define WM_MDIDESTROY 0x0221
#define WM_MDIACTIVATE 0x0222
#define WM_MDIRESTORE 0x0223
#define WM_MDINEXT 0x0224
#define WM_MDIMAXIMIZE 0x0225
#define WM_MDITILE 0x0226
#define WM_MDICASCADE 0x0227
#define WM_MDIICONARRANGE 0x0228
#define WM_MDIGETACTIVE 0x0229
#define WM_MDISETMENU 0x0230
#endif
#ifndef MDITILE_VERTICAL
#define MDITILE_VERTICAL 0x0000
#define MDITILE_HORIZONTAL 0x0001
#define MDITILE_SKIPDISABLED 0x0002
#endif

// The class name of MDI clients, registered on first use; nullptr when it cannot be registered.
LPCTSTR AFXAPI AfxMDIClientClass();
