// The devices behind the class drivers answer like real ones: the mouse at its report rate and to its HID class
// requests, the disk with CHECK CONDITION where a real disk reports one, a slow printer taking a job at its
// engine's pace.
#include <cstring>

#include "NtPnpControl.h"
#include "hidport.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/Workload.h"
#include "platform/sim/internal/Srb.h"
#include "tests/support/MachineFixture.h"
#include "usbioctl.h"

namespace {

using tdl::test::BusTap;
using tdl::test::TappedRequest;

// On an unpaced machine: the times the tests read are the devices' own pace, not their buses'.
class DeviceTraffic : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        sim::MachineOptions options;
        options.busTime = false;
        Boot(sim::DefaultMachine(), options);
        UseVirtualClock();
    }
    // The class requests (bRequest) a device's interface got, in order.
    static std::vector<UCHAR> ClassRequests(const std::vector<TappedRequest>& requests, PDEVICE_OBJECT device) {
        std::vector<UCHAR> found;
        for (const TappedRequest& request : requests) {
            if (request.device == device && request.function == URB_FUNCTION_CLASS_INTERFACE &&
                request.urb.size() >= sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST)) {
                found.push_back(
                    reinterpret_cast<const _URB_CONTROL_VENDOR_OR_CLASS_REQUEST*>(request.urb.data())->Request);
            }
        }
        return found;
    }
};

TEST_F(DeviceTraffic, TheMouseReportsAtItsRateAndAnswersItsClassRequests) {
    // A mouse plugged in meets its class driver: no reports while nothing changes, the idle rate read back, the
    // report protocol of a boot mouse; its input report asked for through the HID class driver.
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    BusTap tap({u"usbhub"});
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeMouse("second mouse")));
    auto* hid = m_machine->Device("second mouse")->FunctionAs<sim::HidFunction>(0);
    EXPECT_EQ(hid->IdleRate(), 0);
    EXPECT_EQ(hid->Protocol(), 1);

    sim::WorkloadOptions options;
    options.device = "second mouse";
    options.reportRateHz = 250;
    const sim::WorkloadResult result = Play(sim::WorkloadKind::MouseMoving, 25, options);
    EXPECT_EQ(result.steps, 25u);
    EXPECT_EQ(hid->ReportsMade(), 25u);
    EXPECT_EQ(result.machineTime, 25 * 40'000) << "one report every 4 ms of machine time";
    EXPECT_EQ(ClassRequests(tap.Requests(), Pdo("second mouse")),
              (std::vector<UCHAR>{HID_REQUEST_SET_IDLE, HID_REQUEST_GET_IDLE, HID_REQUEST_SET_PROTOCOL,
                                  HID_REQUEST_GET_REPORT, HID_REQUEST_GET_REPORT, HID_REQUEST_SET_REPORT,
                                  HID_REQUEST_SET_REPORT}))
        << "start, then IOCTL_HID_GET_INPUT_REPORT, _GET_FEATURE, _SET_OUTPUT_REPORT and _SET_FEATURE";
}

// What the disk class driver makes of the disk's CHECK CONDITIONs: no medium, a medium back (the unit
// attention is reported once), a write-protected medium.
TEST_F(DeviceTraffic, TheDiskReportsCheckConditionWhereARealDiskWould) {
    auto* storage = m_machine->Device("stick")->FunctionAs<sim::BulkOnlyFunction>(0);
    PDEVICE_OBJECT disk = nullptr;
    for (const auto& node : nt::pnp::DeviceNodes()) {
        if (node.instancePath.rfind(u"USBSTOR\\DISK&VEN_SIM&PROD_FLASH_DISK", 0) == 0 ||
            node.instancePath.rfind(u"USBSTOR\\Disk&Ven_Sim&Prod_Flash_Disk", 0) == 0) {
            disk = node.pdo;
        }
    }
    ASSERT_NE(disk, nullptr);
    auto verify = [&] {
        return tdl::test::DeviceControl(disk, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0).status;
    };
    EXPECT_EQ(verify(), STATUS_SUCCESS);
    storage->Disk().SetMediumPresent(false);
    EXPECT_EQ(verify(), STATUS_NO_MEDIA_IN_DEVICE);
    std::vector<sim::BulkOnlyCommand> history = storage->History();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history[history.size() - 2].opcode, 0x00);
    EXPECT_EQ(history[history.size() - 2].cswStatus, 1) << "CHECK CONDITION";
    EXPECT_EQ(history.back().opcode, 0x03) << "the sense data fetched at once";
    storage->Disk().SetMediumPresent(true);
    EXPECT_EQ(verify(), STATUS_VERIFY_REQUIRED) << "the medium may have changed";
    EXPECT_EQ(verify(), STATUS_SUCCESS);

    storage->Disk().SetWriteProtected(true);
    std::vector<UCHAR> block(512, 0x5A);
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    LARGE_INTEGER offset{};
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(disk);
    PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_WRITE, top, block.data(), 512, &offset, &event, &ioStatus);
    if (IoCallDriver(top, irp) == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    ObDereferenceObject(top);
    EXPECT_EQ(ioStatus.Status, STATUS_MEDIA_WRITE_PROTECTED);
    const sim::BulkOnlyCommand sense = storage->History().back();
    EXPECT_EQ(sense.opcode, 0x03) << "the storage driver fetched the sense data at once";
    EXPECT_EQ(storage->Disk().ReadBlocks(0, 1), std::vector<UCHAR>(512, 0)) << "nothing was written";
}

// A printer that prints 64 bytes per millisecond takes the first 16 KiB job into its buffer at once; the next
// waits (its transfer NAKed) until the engine has made room, and completes on the printer's own thread.
TEST_F(DeviceTraffic, ASlowPrinterTakesJobsAtItsEnginesPace) {
    auto* printer = m_machine->Device("printer")->FunctionAs<sim::PrinterFunction>(0);
    const size_t before = printer->Printed().size();
    BusTap tap({u"usbehci"});
    sim::WorkloadOptions options;
    options.printerBytesPerMs = 64;
    const sim::WorkloadResult result = Play(sim::WorkloadKind::Printing, 3, options);
    EXPECT_EQ(printer->Printed().size(), before + 3 * 16 * 1024);
    // Two jobs waited 256 ms each for the one before them to print (give or take a millisecond a wait may
    // have moved on while the engine made room).
    EXPECT_GE(result.machineTime, 2 * 256 * 10'000);
    EXPECT_LE(result.machineTime, 2 * 260 * 10'000);
    EXPECT_EQ(printer->SoftResets(), 1u);
    size_t waited = 0;
    for (const TappedRequest& request : tap.Requests()) {
        if (request.function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER && request.dataOut.size() == 16 * 1024 &&
            request.returned == STATUS_PENDING && !request.completedInDispatch) {
            ++waited;
            EXPECT_NE(request.completionThread, request.dispatchThread);
            EXPECT_EQ(request.status, STATUS_SUCCESS);
        }
    }
    EXPECT_EQ(waited, 2u);
}

} // namespace
