// HcdIoctlOutputer: the decoder of device-control requests sent to host controllers ("hcd" records).
// Until its fields are decoded it shows what its base shows and the IOCTL code.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class HcdIoctlOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~HcdIoctlOutputer() override;

    void OutputIrpFunction() override;
};
