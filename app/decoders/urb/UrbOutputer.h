// UrbOutputer: the decoder of URB records ("urb") and of the continuation records of large transfers. For
// now it shows what the IRP base shows; its selection builds it for every target device.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class UrbOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~UrbOutputer() override;

    // The URB decoder for the record's target device, on the heap and owned by the caller; null only when
    // the allocation fails.
    static UrbOutputer* Create(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
};
