// IoctlOutputer and InternOutputer: the decoders of device-control and internal device-control requests
// that have no decoder of their own ("ctl" and "int" records). They show what the IRP base shows and the
// IOCTL code; their payload is not decoded.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class IoctlOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~IoctlOutputer() override;

    void OutputIrpFunction() override;
};

class InternOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~InternOutputer() override;

    void OutputIrpFunction() override;
};
