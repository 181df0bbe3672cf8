#include "app/devices/AllocateBuffer.h"

#include <cstring>

BYTE* AllocateBuffer(UINT nSize) {
    try {
        return static_cast<BYTE*>(AfxAllocateRaw(nSize));
    } catch (CMemoryException* e) {
        e->Delete();
        return nullptr;
    }
}

BYTE* AllocateZeroedBuffer(UINT nSize) {
    BYTE* pBuffer = AllocateBuffer(nSize);
    if (pBuffer != nullptr)
        std::memset(pBuffer, 0, nSize);
    return pBuffer;
}

void FreeBuffer(BYTE* pBuffer) {
    AfxFreeRaw(pBuffer);
}
