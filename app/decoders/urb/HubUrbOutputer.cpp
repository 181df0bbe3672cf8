#include "app/decoders/urb/HubUrbOutputer.h"

HubUrbOutputer::HubUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

HubUrbOutputer::~HubUrbOutputer() = default;
