#include "app/decoders/ioctl/UsbportHkOutputer.h"

UsbportHkOutputer::~UsbportHkOutputer() = default;
