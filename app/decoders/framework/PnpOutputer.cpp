#include "app/decoders/framework/PnpOutputer.h"

#include "app/decoders/framework/IrpMinorCodes.h"

std::span<const PnpMinorCode> PnpOutputer::MinorCodes() {
    using enum CodeOffer;
    // QUERY_REMOVE_DEVICE (minor 1) and the others are not named.
    static constexpr PnpMinorCode kCodes[] = {
        {TDL_IRP_MINOR(IRP_MN_START_DEVICE, Always)},
        {TDL_IRP_MINOR(IRP_MN_REMOVE_DEVICE, Always)},
    };
    return kCodes;
}

PnpOutputer::~PnpOutputer() = default;

void PnpOutputer::OutputFunctionCode() {
    OutputMinorFunctionCode(MinorFunctionName(&CLogRecordDecode::GetPnpMinorName));
}

void PnpOutputer::OutputKindTitle(int mode) {
    OutputRequestTitle(mode, "PNP", "PnP Request", MinorFunctionName(&CLogRecordDecode::GetPnpMinorName));
}

void PnpOutputer::OutputIrpFunction() {
    OutputMinorFunction("IRP_MJ_PNP (0x1b)");
}
