// OLE's start and end for a thread. Nothing of OLE is offered beyond them; they are counted
// (WinOleControl.h) so that tests see a program pair them.
#pragma once

#include "windef.h"

// S_OK, or S_FALSE when OLE was already started on this thread (that call must be paired too); fails on
// request (WinFailureControl.h, name "OleInitialize": E_OUTOFMEMORY, not counted).
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
