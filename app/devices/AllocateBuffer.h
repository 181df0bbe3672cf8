// Byte buffers the device model hands to the driver or keeps for it: null when memory is short, never an
// exception, so a caller can report the failure where it happens. Free them with FreeBuffer.
#pragma once

#include "afx.h"

BYTE* AllocateBuffer(UINT nSize);
// The same, every byte 0.
BYTE* AllocateZeroedBuffer(UINT nSize);
void FreeBuffer(BYTE* pBuffer);
