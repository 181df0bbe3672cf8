#include "app/decoders/framework/IoctlOutputer.h"

IoctlOutputer::~IoctlOutputer() = default;

void IoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}

InternOutputer::~InternOutputer() = default;

void InternOutputer::OutputIrpFunction() {
    OutputInternalControlFunction();
}
