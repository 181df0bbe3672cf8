// Fixture of the capture tests on the simulated machine: KxTdloft booted as the upper filter of the USB
// class, its control device open, the logs read as the application reads them, and the machine's requests
// sent from kernel mode as its drivers and users send them.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "common/ControlCodes.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "platform/sim/Machine.h"
#include "tests/driver/DriverFixture.h"
#include "tests/driver/LogTestHelpers.h"

namespace capturetest {

class MachineCapture : public drivertest::DriverFixture {
protected:
    void SetUp() override {}
    void TearDown() override;

    void Boot(const sim::MachineBuilder& hardware = sim::DefaultMachine());
    PDEVICE_OBJECT Pdo(std::string_view device) const;
    // The stack whose physical device object `pdo` is (not referenced: the tree keeps it while it is present).
    PDEVICE_STACK StackOf(PDEVICE_OBJECT pdo) const;

    // ENABLE_LOG (with automatic selection when asked), ENABLE_CLOG.
    void EnableLog(bool autoEnable = false);
    void EnableChangeLog();
    // Capture on for every device object the tree holds.
    void CaptureEverything();

    std::unique_ptr<sim::Machine> m_machine;
};

} // namespace capturetest
