#include "app/decoders/ioctl/HubIoctlOutputer.h"

HubIoctlOutputer::~HubIoctlOutputer() = default;

void HubIoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}
