// The flag bits a hub reports of itself (USB_HUB_CAP_FLAGS): in its capabilities and in the configuration it
// gives a device's driver.
#pragma once

#include "app/decoders/ioctl/IoctlFields.h"

// One "0"/"1" row per named bit (0 to 6), label and element alike.
void IoctlHubCapFlagBits(IoctlFields& fields, ULONG flags);
