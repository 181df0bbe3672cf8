#include "app/decoders/ioctl/HcdIoctlOutputer.h"

HcdIoctlOutputer::~HcdIoctlOutputer() = default;

void HcdIoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}
