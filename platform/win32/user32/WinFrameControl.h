// DrawFrameControl: the parts of the standard controls, drawn where a caller wants them: caption buttons
// (DFC_CAPTION: close, minimise, maximise, restore), check boxes, round radio buttons and push-button faces
// (DFC_BUTTON), scroll arrows and the size grip (DFC_SCROLL), and a menu's check, bullet and sub-menu arrow
// (DFC_MENU). Marks are drawn in the DC's text colour where the part has no face of its own (menus), black
// otherwise; DFCS_INACTIVE greys them (embossed on a button face), DFCS_PUSHED sinks the face and moves the
// glyph a pixel down and right.
#pragma once

#include "WinUserDraw.h"

#define DFC_CAPTION 1
#define DFC_MENU 2
#define DFC_SCROLL 3
#define DFC_BUTTON 4

#define DFCS_CAPTIONCLOSE 0x0000
#define DFCS_CAPTIONMIN 0x0001
#define DFCS_CAPTIONMAX 0x0002
#define DFCS_CAPTIONRESTORE 0x0003
#define DFCS_CAPTIONHELP 0x0004
#define DFCS_BUTTONCHECK 0x0000
#define DFCS_BUTTONRADIOIMAGE 0x0001
#define DFCS_BUTTONRADIOMASK 0x0002
#define DFCS_BUTTONRADIO 0x0004
#define DFCS_BUTTON3STATE 0x0008
#define DFCS_BUTTONPUSH 0x0010
#define DFCS_SCROLLUP 0x0000
#define DFCS_SCROLLDOWN 0x0001
#define DFCS_SCROLLLEFT 0x0002
#define DFCS_SCROLLRIGHT 0x0003
#define DFCS_SCROLLCOMBOBOX 0x0005
#define DFCS_SCROLLSIZEGRIP 0x0008
#define DFCS_MENUARROW 0x0000
#define DFCS_MENUCHECK 0x0001
#define DFCS_MENUBULLET 0x0002
#define DFCS_INACTIVE 0x0100
#define DFCS_PUSHED 0x0200
#define DFCS_CHECKED 0x0400
#define DFCS_FLAT 0x4000
#define DFCS_MONO 0x8000

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state);
