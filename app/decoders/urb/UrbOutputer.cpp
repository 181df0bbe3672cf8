#include "app/decoders/urb/UrbOutputer.h"

#include <new>

UrbOutputer::~UrbOutputer() = default;

UrbOutputer* UrbOutputer::Create(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord) {
    return new (std::nothrow) UrbOutputer(pImp, pDocument, pRecord);
}
