#include "app/decoders/urb/HidUrbOutputer.h"

HidUrbOutputer::HidUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

HidUrbOutputer::~HidUrbOutputer() = default;
