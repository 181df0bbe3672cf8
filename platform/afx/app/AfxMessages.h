// Message numbers, command ids and notification records the framework itself dispatches on: the window
// messages that carry commands and notifications, the framework's private messages, and the standard command
// ids of its menus (File, Window, View).
#pragma once

#include "windows.h"

// Messages a child's notification comes back to the child itself as ("reflected"): the original message plus
// this base.
#define WM_REFLECT_BASE 0xBC00

// The framework's private messages.
#define WM_SETMESSAGESTRING 0x0362 // wParam: string id, or lParam: text
#define WM_IDLEUPDATECMDUI 0x0363  // wParam: disable items without a handler
#define WM_INITIALUPDATE 0x0364    // sent to every view of a new frame
#define WM_COMMANDHELP 0x0365
#define WM_HELPHITTEST 0x0366
#define WM_RECALCPARENT 0x0368
#define WM_SIZEPARENT 0x0361

// Command notification codes of CCmdTarget::OnCmdMsg.
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((UINT)(-1))

// Standard command ids.
#define ID_FILE_NEW 0xE100
#define ID_FILE_OPEN 0xE101
#define ID_FILE_CLOSE 0xE102
#define ID_FILE_SAVE 0xE103
#define ID_FILE_SAVE_AS 0xE104
#define ID_FILE_PAGE_SETUP 0xE105
#define ID_FILE_PRINT_SETUP 0xE106
#define ID_FILE_PRINT 0xE107
#define ID_FILE_PRINT_DIRECT 0xE108
#define ID_FILE_PRINT_PREVIEW 0xE109
#define ID_FILE_MRU_FILE1 0xE110
#define ID_FILE_MRU_FIRST ID_FILE_MRU_FILE1
#define ID_FILE_MRU_FILE16 0xE11F
#define ID_FILE_MRU_LAST ID_FILE_MRU_FILE16
#define ID_EDIT_COPY 0xE122
#define ID_EDIT_CUT 0xE123
#define ID_EDIT_PASTE 0xE125
#define ID_EDIT_SELECT_ALL 0xE12A
#define ID_EDIT_FIND 0xE124
#define ID_WINDOW_NEW 0xE130
#define ID_WINDOW_ARRANGE 0xE131
#define ID_WINDOW_CASCADE 0xE132
#define ID_WINDOW_TILE_HORZ 0xE133
#define ID_WINDOW_TILE_VERT 0xE134
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141
#define ID_HELP_INDEX 0xE142
#define ID_HELP_FINDER 0xE143
#define ID_HELP_USING 0xE144
#define ID_CONTEXT_HELP 0xE145
#define ID_HELP 0xE146
#define ID_DEFAULT_HELP 0xE147
#define ID_NEXT_PANE 0xE150
#define ID_PREV_PANE 0xE151
#define ID_VIEW_TOOLBAR 0xE800
#define ID_VIEW_STATUS_BAR 0xE801
#define ID_SEPARATOR 0
#define AFX_IDW_STATUS_BAR 0xE801
#define AFX_IDW_TOOLBAR 0xE800
#define AFX_IDW_PANE_FIRST 0xE900
#define AFX_IDW_PANE_LAST 0xE9FF
#define AFX_IDW_CONTROLBAR_FIRST 0xE800
#define AFX_IDW_CONTROLBAR_LAST 0xE8FF
#define AFX_IDM_FIRST_MDICHILD 0xFF00

// The framework's own strings; a program's string table may replace them.
#define AFX_IDS_APP_TITLE 0xE000
#define AFX_IDS_IDLEMESSAGE 0xE001
#define AFX_IDS_UNTITLED 0xF003
#define AFX_IDS_SAVEFILE 0xF004
#define AFX_IDS_OPENFILE 0xF005
#define AFX_IDS_ALLFILTER 0xF006
#define AFX_IDP_FAILED_TO_OPEN_DOC 0xF101
#define AFX_IDP_FAILED_TO_SAVE_DOC 0xF102
#define AFX_IDP_ASK_TO_SAVE 0xF103
#define AFX_IDP_FAILED_TO_CREATE_DOC 0xF104
#define AFX_IDP_COMMAND_FAILURE 0xF10C
#define AFX_IDP_FAILED_MEMORY_ALLOC 0xF10D
#define AFX_IDP_INTERNAL_FAILURE 0xF10E
