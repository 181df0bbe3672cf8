// PrinterUrbOutputer: the URB decoder of a printer. It is the decoder the selection builds for records
// of a printer stack; the printer class requests are shown by the slots inherited from UrbOutputer.
#pragma once

#include "app/decoders/urb/UrbOutputer.h"

class PrinterUrbOutputer : public UrbOutputer {
public:
    PrinterUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~PrinterUrbOutputer() override;
};
