// HidUrbOutputer: the URB decoder of a HID device. It is the decoder the selection builds for
// records of a HID stack; the HID class requests are shown by the slots inherited from UrbOutputer.
#pragma once

#include "app/decoders/urb/UrbOutputer.h"

class HidUrbOutputer : public UrbOutputer {
public:
    HidUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HidUrbOutputer() override;
};
