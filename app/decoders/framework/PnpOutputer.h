// PnpOutputer: the decoder of Plug and Play requests ("pnp" records). It shows the minor function by number
// and by name and names the request in the "PNP" category; the records carry no payload it reads.
#pragma once

#include <span>

#include "app/decoders/framework/CodeTable.h"
#include "app/decoders/framework/IrpOutputer.h"

// A named minor function of the Plug and Play requests.
struct PnpMinorCode {
    CodeRow row;
};

class PnpOutputer : public IrpOutputer {
public:
    // The minor functions the record list names and the filter page offers.
    static std::span<const PnpMinorCode> MinorCodes();

    using IrpOutputer::IrpOutputer;
    ~PnpOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
};
