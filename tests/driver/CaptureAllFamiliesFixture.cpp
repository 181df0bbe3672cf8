#include "tests/driver/CaptureAllFamiliesFixture.h"

#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace capturetest {

void MachineCapture::TearDown() {
    Close();
    if (m_machine) {
        m_machine->Shutdown();
        m_machine.reset();
    }
    // Every allocation of the driver is given back at unload.
    for (ULONG tag : {KXTD_POOL_TAG, LOG_TAG_CAPTURE, LOG_TAG_CHANGE}) {
        EXPECT_EQ(nt::pool::Stats(tag).liveCount, 0u) << std::hex << tag;
    }
}

void MachineCapture::Boot(const sim::MachineBuilder& hardware) {
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    m_machine = sim::Machine::Boot(hardware, options);
    ASSERT_EQ(m_machine->Status(), STATUS_SUCCESS);
    ASSERT_EQ(m_machine->CaptureDriverStatus(), STATUS_SUCCESS);
    ASSERT_TRUE(Open()) << GetLastError();
}

PDEVICE_OBJECT MachineCapture::Pdo(std::string_view device) const {
    std::shared_ptr<sim::UsbDevice> model = m_machine->Device(device);
    return model ? model->PhysicalDeviceObject() : nullptr;
}

PDEVICE_STACK MachineCapture::StackOf(PDEVICE_OBJECT pdo) const {
    PDEVICE_STACK stack = nullptr;
    PDEVOBJ_NODE node = nullptr;
    if (pdo == nullptr || !FindStackByPdo(pdo, &stack, &node)) {
        return nullptr;
    }
    DeviceNodeRelease(node);
    StackRelease(stack);
    return stack;
}

void MachineCapture::EnableLog(bool autoEnable) {
    const ULONG word = autoEnable ? 1 : 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0).ok);
}

void MachineCapture::EnableChangeLog() {
    const ULONG word = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_CLOG, &word, sizeof word, nullptr, 0).ok);
}

void MachineCapture::CaptureEverything() {
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_Driver.DeviceNodeList.Lock);
    for (PLIST_ENTRY link = g_Driver.DeviceNodeList.Head.Flink; link != &g_Driver.DeviceNodeList.Head;
         link = link->Flink) {
        DeviceNodeClearFlags(CONTAINING_RECORD(link, DEVOBJ_NODE, NodeLinks), DEVOBJ_CAPTURE_OFF);
    }
    KeReleaseSpinLock(&g_Driver.DeviceNodeList.Lock, irql);
}

} // namespace capturetest
