// Describing a simulated machine: its host controllers, in PCI order, and what is plugged into their ports. A
// machine is a few lines:
//
//     sim::MachineBuilder machine;
//     auto& ehci = machine.AddController(sim::ControllerType::Ehci, "ehci");
//     auto hub = ehci.Plug(1, sim::MakeHub20("hub"));
//     hub->Plug(2, sim::MakeKeyboard("keyboard"));
//     machine.AddController(sim::ControllerType::Uhci, "uhci").Plug(1, sim::MakeMouse("mouse"));
//
// The devices are the models themselves: keep the pointers Plug returns to reach them in a test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/HostControllerModel.h"
#include "platform/sim/StandardDevices.h"

namespace sim {

class MachineBuilder {
public:
    // A controller in the next PCI slot (device numbers 0x14, 0x15, ...). An empty name becomes "hc<n>";
    // rootPorts 0 takes the type's usual count.
    HostControllerModel& AddController(ControllerType type, std::string name = {}, int rootPorts = 0);

    const std::vector<std::shared_ptr<HostControllerModel>>& Controllers() const { return m_controllers; }

private:
    std::vector<std::shared_ptr<HostControllerModel>> m_controllers;
};

// The default machine:
//   PCI 0x14  EHCI "ehci", 6 root ports: 1 USB 2.0 hub "hub" (4 ports: 1 keyboard, 2 printer, 3 composite
//             (HID + storage), 4 free), 2 flash drive "stick"
//   PCI 0x15  UHCI "uhci", 2 root ports: 1 mouse "mouse"
//   PCI 0x16  OHCI "ohci", 3 root ports: 1 vendor-specific loopback device "loopback"
//   PCI 0x17  xHCI "xhci", 4 root ports: 1 SuperSpeed hub "ss-hub" (4 ports: 1 SuperSpeed disk "ss-disk")
MachineBuilder DefaultMachine();

} // namespace sim
