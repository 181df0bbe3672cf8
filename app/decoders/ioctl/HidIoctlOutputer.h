// HidIoctlOutputer: the decoder of HID class device-control requests ("hid" records).
// Until its fields are decoded it shows what its base shows and the IOCTL code.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class HidIoctlOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~HidIoctlOutputer() override;

    void OutputIrpFunction() override;
};
