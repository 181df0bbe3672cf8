// HTML Help: the commands and structures of HtmlHelpA. Programs bind HtmlHelpA at run time from "hhctrl"
// (LoadLibrary, GetProcAddress), so that help is simply missing where the module is.
#pragma once

#include "WinUserTypes.h"
#include "windef.h"

#define HH_DISPLAY_TOPIC 0x0000
#define HH_HELP_FINDER 0x0000
#define HH_DISPLAY_TOC 0x0001
#define HH_DISPLAY_INDEX 0x0002
#define HH_DISPLAY_SEARCH 0x0003
#define HH_SET_WIN_TYPE 0x0004
#define HH_GET_WIN_TYPE 0x0005
#define HH_GET_WIN_HANDLE 0x0006
#define HH_DISPLAY_TEXT_POPUP 0x000E
#define HH_HELP_CONTEXT 0x000F
#define HH_TP_HELP_CONTEXTMENU 0x0010
#define HH_TP_HELP_WM_HELP 0x0011
#define HH_CLOSE_ALL 0x0012
#define HH_ALINK_LOOKUP 0x0013
#define HH_GET_LAST_ERROR 0x0014
#define HH_KEYWORD_LOOKUP 0x000D
#define HH_INITIALIZE 0x001C
#define HH_UNINITIALIZE 0x001D

// HH_GET_LAST_ERROR's results for a help file that is missing or that the viewer cannot read.
#define HH_E_FILENOTFOUND ((HRESULT)0x8004020BL)
#define HH_E_INVALIDHELPFILE ((HRESULT)0x8004020CL)

typedef HWND(WINAPI* PFN_HTMLHELPA)(HWND hwndCaller, LPCSTR pszFile, UINT uCommand, DWORD_PTR dwData);

// HH_DISPLAY_SEARCH's query (x64 layout).
typedef struct tagHH_FTS_QUERY {
    int cbStruct;
    BOOL fUniCodeStrings;
    LPCSTR pszSearchQuery;
    LONG iProximity;
    BOOL fStemmedSearch;
    BOOL fTitleOnly;
    BOOL fExecute;
    LPCSTR pszWindow;
} HH_FTS_QUERY;
static_assert(sizeof(HH_FTS_QUERY) == 40);

// HH_GET_LAST_ERROR's answer: the result of the last command and its description. The description is owned
// by the help module and stays valid until its next command on the same thread.
typedef struct tagHH_LAST_ERROR {
    int cbStruct;
    HRESULT hr;
    const WCHAR* description;
} HH_LAST_ERROR;
static_assert(sizeof(HH_LAST_ERROR) == 16);
