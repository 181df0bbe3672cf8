#include "app/main/ProgramMachine.h"

#include <memory>

#include "app/main/ProgramDesk.h"
#include "platform/sim/Machine.h"

// The capture driver's entry (driver/core/DriverEntry.cpp).
DRIVER_INITIALIZE DriverEntry;

namespace {

std::unique_ptr<sim::Machine> g_machine;

} // namespace

bool BootProgramMachine() {
    ShutDownProgramMachine();
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    options.stateDir = sim::DefaultStateFolder();
    g_machine = sim::Machine::BootDefault(options);
    return g_machine != nullptr && NT_SUCCESS(g_machine->Status());
}

void StartProgramMachineDesk(bool display) {
    if (g_machine != nullptr && g_machine->Running()) {
        StartProgramDesk(*g_machine, display);
    }
}

void ShutDownProgramMachine() {
    StopProgramDesk();
    if (g_machine != nullptr) {
        g_machine->Shutdown();
        g_machine.reset();
    }
}

bool IsProgramMachineRunning() {
    return g_machine != nullptr && g_machine->Running();
}
