// The flag bits a hub reports of itself (USB_HUB_CAP_FLAGS): in its capabilities and in the configuration it
// gives a device's driver.
#pragma once

#include "app/decoders/framework/FieldWriter.h"

// One "0"/"1" row per named bit (0 to 6), label and element alike.
void IoctlHubCapFlagBits(FieldWriter& fields, ULONG flags);
