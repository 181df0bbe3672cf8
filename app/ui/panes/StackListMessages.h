// The stack lists' messages: any window may send them to every descendant of the main window, and each stack
// list (the stack inspector's) answers them; the device tree's pages are the usual senders.
#pragma once

#include "afxwin.h"

// lParam: the CDeviceStack whose device objects the list shows from now on (null changes nothing).
constexpr UINT WM_POPULATE_STACKLIST = WM_APP + 1;
// lParam 0: the list shows nothing.
constexpr UINT WM_CLEAR_STACKLIST = WM_APP + 2;
// Every row whose device object can be captured checked, or unchecked, with its object. lParam: the
// CDeviceStack the sender changed (a list showing another stack leaves its rows alone), or 0 for whatever
// stack the list shows.
constexpr UINT WM_CHECKALL_STACKLIST = WM_APP + 3;
constexpr UINT WM_UNCHECKALL_STACKLIST = WM_APP + 4;

// Sends the message to every descendant of the main window; nothing when there is no main window.
void SendStackListMessage(UINT nMessage, LPARAM lParam = 0);
