#include "app/decoders/ioctl/UsbintOutputer.h"

UsbintOutputer::~UsbintOutputer() = default;

void UsbintOutputer::OutputIrpFunction() {
    OutputInternalControlFunction();
}
