// HubIoctlOutputer: the decoder of device-control requests sent to hubs ("hub" records).
// Until its fields are decoded it shows what its base shows and the IOCTL code.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class HubIoctlOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~HubIoctlOutputer() override;

    void OutputIrpFunction() override;
};
