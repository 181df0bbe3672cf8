// Hooks: procedures a thread installs to hear of window events before the windows do. Computer-based training
// hooks (WH_CBT) are called for HCBT_CREATEWND (before the window's first message; non-zero fails the
// creation), HCBT_DESTROYWND (non-zero keeps the window) and HCBT_SETFOCUS (wParam the window gaining the
// focus, lParam the one losing it; non-zero keeps the focus where it is); message filters (WH_MSGFILTER) by a
// pop-up menu's loop with MSGF_MENU for each key and mouse message it takes (lParam the MSG; non-zero keeps it
// from the menu). Other kinds are accepted and never called.
// A hook of thread 0 is called on every thread.
#pragma once

#include "WinUser.h"

struct HHOOK__;
typedef HHOOK__* HHOOK;
typedef LRESULT(CALLBACK* HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);

#define WH_MSGFILTER (-1)
#define WH_JOURNALRECORD 0
#define WH_KEYBOARD 2
#define WH_GETMESSAGE 3
#define WH_CALLWNDPROC 4
#define WH_CBT 5
#define WH_MOUSE 7
#define WH_CALLWNDPROCRET 12

#define MSGF_DIALOGBOX 0
#define MSGF_MENU 2

#define HCBT_MOVESIZE 0
#define HCBT_MINMAX 1
#define HCBT_QS 2
#define HCBT_CREATEWND 3
#define HCBT_DESTROYWND 4
#define HCBT_ACTIVATE 5
#define HCBT_CLICKSKIPPED 6
#define HCBT_KEYSKIPPED 7
#define HCBT_SYSCOMMAND 8
#define HCBT_SETFOCUS 9

typedef struct tagCBT_CREATEWNDA {
    LPCREATESTRUCTA lpcs;
    HWND hwndInsertAfter;
} CBT_CREATEWNDA, *LPCBT_CREATEWNDA;
static_assert(sizeof(CBT_CREATEWNDA) == 16);
typedef CBT_CREATEWNDA CBT_CREATEWND;
typedef LPCBT_CREATEWNDA LPCBT_CREATEWND;

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
// Calls the next hook of the chain after `hook` on this thread; 0 when there is none.
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
inline HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    return SetWindowsHookExA(idHook, proc, module, threadId);
}
