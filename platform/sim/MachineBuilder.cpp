#include "platform/sim/MachineBuilder.h"

namespace sim {

HostControllerModel& MachineBuilder::AddController(ControllerType type, std::string name, int rootPorts) {
    PciIdentity pci;
    pci.device = static_cast<UCHAR>(0x14 + m_controllers.size());
    if (name.empty()) {
        name = "hc" + std::to_string(m_controllers.size());
    }
    m_controllers.push_back(std::make_shared<HostControllerModel>(type, std::move(name), rootPorts, pci));
    return *m_controllers.back();
}

MachineBuilder DefaultMachine() {
    MachineBuilder machine;
    HostControllerModel& ehci = machine.AddController(ControllerType::Ehci, "ehci", 6);
    auto hub = ehci.Plug(1, MakeHub20("hub", 4));
    hub->Plug(1, MakeKeyboard("keyboard"));
    hub->Plug(2, MakePrinter("printer"));
    hub->Plug(3, MakeCompositeDevice("composite"));
    ehci.Plug(2, MakeFlashDrive("stick"));
    machine.AddController(ControllerType::Uhci, "uhci", 2).Plug(1, MakeMouse("mouse"));
    machine.AddController(ControllerType::Ohci, "ohci", 3).Plug(1, MakeLoopbackDevice("loopback"));
    auto ssHub = machine.AddController(ControllerType::Xhci, "xhci", 4).Plug(1, MakeSuperSpeedHub("ss-hub", 4));
    ssHub->Plug(1, MakeSuperSpeedDrive("ss-disk"));
    return machine;
}

} // namespace sim
