// UsbintOutputer: the decoder of the internal USB requests other than URBs ("uin" records).
// Until its fields are decoded it shows what its base shows and the IOCTL code.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class UsbintOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~UsbintOutputer() override;

    void OutputIrpFunction() override;
};
