#include "app/decoders/framework/PnpOutputer.h"

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
