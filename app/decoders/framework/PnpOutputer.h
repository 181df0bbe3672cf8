// PnpOutputer: the decoder of Plug and Play requests ("pnp" records). It shows the minor function by number
// and by name and names the request in the "PNP" category; the records carry no payload it reads.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class PnpOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~PnpOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
};
