// The PCI bus driver ("pci"): the function driver of the machine's root PCI bus, which reports one physical
// device object per host controller of the machine ("\Device\NTPNP_PCI00nn") with the controller's PCI IDs.
#pragma once

#include <memory>
#include <vector>

#include "platform/sim/HostControllerModel.h"
#include "wdm.h"

namespace sim::drv {

NTSTATUS PciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// The controller behind a physical device object of the PCI bus driver, or null for any other device object.
HostControllerModel* ControllerModelOf(PDEVICE_OBJECT pdo);

// The controllers the bus reports: set by the machine before it boots, cleared after it shut down.
void SetPciHardware(std::vector<std::shared_ptr<HostControllerModel>> controllers);
// A controller put into or taken out of the running machine: the bus reports the new set at its next
// enumeration (the caller invalidates its bus relations); a controller taken out is no longer reported from
// now on.
void AddPciController(std::shared_ptr<HostControllerModel> controller);
void RemovePciController(const HostControllerModel* controller);

} // namespace sim::drv
