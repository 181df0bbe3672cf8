#include "app/devices/AllocateBuffer.h"

BYTE* AllocateBuffer(UINT nSize) {
    try {
        return static_cast<BYTE*>(AfxAllocateRaw(nSize));
    } catch (CMemoryException* e) {
        e->Delete();
        return nullptr;
    }
}

void FreeBuffer(BYTE* pBuffer) {
    AfxFreeRaw(pBuffer);
}
