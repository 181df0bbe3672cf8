#include "app/decoders/urb/PrinterUrbOutputer.h"

PrinterUrbOutputer::PrinterUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

PrinterUrbOutputer::~PrinterUrbOutputer() = default;
