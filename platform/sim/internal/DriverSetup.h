// What installing the simulated drivers amounts to: their images, the setup classes they serve, and which
// driver takes which device IDs on the release the kernel reports (on 2000, XP and 2003 the hub driver is its
// own composite parent; before Windows 8 xHCI controllers and their hubs go to the vendor's pair, from Windows
// 8 on to the system's own).
#pragma once

#include "platform/sim/ReleaseProfile.h"

namespace sim::drv {

void InstallDrivers(const ReleaseLayout& layout);

// The device the root bus reports for the PCI bus driver.
constexpr char16_t kPciBusDeviceId[] = u"ACPI\\PNP0A03";

} // namespace sim::drv
