#include "app/decoders/ioctl/HidIoctlOutputer.h"

HidIoctlOutputer::~HidIoctlOutputer() = default;

void HidIoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}
