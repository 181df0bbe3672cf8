// UsbportHkOutputer: the decoder of calls between the host-controller port driver and its miniport ("khp" records).
// Until its fields are decoded it shows what its base shows.
#pragma once

#include "app/decoders/framework/FunctionOutputer.h"

class UsbportHkOutputer : public FunctionOutputer {
public:
    using FunctionOutputer::FunctionOutputer;
    ~UsbportHkOutputer() override;
};
