#include <cstdlib>

#include "AfxDefs.h"

void* AfxAllocateRaw(size_t nBytes) {
    void* p = std::malloc(nBytes == 0 ? 1 : nBytes);
    if (p == nullptr)
        AfxThrowMemoryException();
    return p;
}

void AfxFreeRaw(void* p) noexcept {
    std::free(p);
}
