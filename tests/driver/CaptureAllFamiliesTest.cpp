// One capture on the default simulated machine with every request family selected: the capture log holds
// a record of every kind the traffic produces, each with a frame that checks, numbered without a gap from the
// log's start on; the change log holds the arrivals and removals of a device plugged in and pulled
// out during the capture.
//
// The traffic: the standard workloads the machine plays; and requests of every family, sent from kernel mode
// the way the machine's drivers and users send them, for the families no workload touches (hub and
// host-controller requests, device-control requests of no USB family).
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "NtClock.h"
#include "NtPnpControl.h"
#include "common/LoggingOptions.h"
#include "common/RecordTags.h"
#include "hidclass.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/Workload.h"
#include "tests/driver/CaptureAllFamiliesFixture.h"
#include "tests/support/MachineFixture.h"
#include "usbioctl.h"

namespace capturetest {
namespace {

using drvlog_test::ReadRecord;

std::string TagText(ULONG tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += static_cast<char>((tag >> (8 * i)) & 0xFF);
    }
    return text;
}

class AllFamilies : public MachineCapture {
protected:
    // Every family on, no filter block, capture on for every device object, both logs running.
    void StartCapture() {
        LOGGING_OPTIONS options = {};
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options, sizeof options).ok);
        options.CaptureUrbs = options.CaptureUsbIntern = options.CaptureHubIoctl = options.CaptureHcdIoctl =
            options.CaptureHidIoctl = options.CapturePnp = options.CapturePower = 1;
        options.FilterPresent = 0;
        options.CaptureBulk = 1;
        options.BulkMaxSize = 1024 * 1024;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options, nullptr, 0).ok);
        CaptureEverything();
        EnableChangeLog();
        EnableLog(true); // devices that arrive during the capture are captured as well
    }

    // Reads what both logs hold, as the capture thread does while a capture runs (before the log could fill
    // up and recycle a block); every frame is checked as the records are parsed.
    void Collect() {
        for (auto [code, into] :
             {std::pair{IOCTL_TINDALOFT_READ_LOG, &m_capture}, std::pair{IOCTL_TINDALOFT_READ_CLOG, &m_changes}}) {
            for (ReadRecord& record : ReadLog(code)) {
                into->push_back(std::move(record));
            }
        }
    }

    std::vector<ReadRecord> m_capture;
    std::vector<ReadRecord> m_changes;

    // The physical device object of a HID collection the tree tracks.
    static PDEVICE_OBJECT HidCollection() {
        for (const auto& node : nt::pnp::DeviceNodes()) {
            if (node.instancePath.rfind(u"HID\\", 0) == 0) {
                if (PDEVOBJ_NODE tracked = FindDeviceNode(node.pdo, TRUE)) {
                    DeviceNodeRelease(tracked);
                    return node.pdo;
                }
            }
        }
        return nullptr;
    }

    // Requests of every family, as the machine's drivers and users send them.
    void SendEveryFamily() {
        PDEVICE_OBJECT stick = Pdo("stick");
        ASSERT_NE(stick, nullptr);
        // A URB and an internal request to the stick.
        UCHAR descriptor[18] = {};
        _URB_CONTROL_DESCRIPTOR_REQUEST urb = {};
        urb.Hdr.Length = sizeof urb;
        urb.Hdr.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
        urb.DescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
        urb.TransferBuffer = descriptor;
        urb.TransferBufferLength = sizeof descriptor;
        EXPECT_EQ(tdl::test::SubmitUrb(stick, reinterpret_cast<PURB>(&urb)), STATUS_SUCCESS);
        ULONG portStatus = 0;
        EXPECT_EQ(tdl::test::InternalRequest(stick, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &portStatus), STATUS_SUCCESS);
        // A hub's node information, a host controller's driver key, a HID collection's information.
        UCHAR node[76] = {};
        EXPECT_EQ(
            tdl::test::DeviceControl(Pdo("hub"), IOCTL_USB_GET_NODE_INFORMATION, node, sizeof node, node, sizeof node)
                .status,
            STATUS_SUCCESS);
        UCHAR key[256] = {};
        EXPECT_EQ(tdl::test::DeviceControl(m_machine->Controller("ehci")->PhysicalDeviceObject(),
                                           IOCTL_GET_HCD_DRIVERKEY_NAME, key, sizeof key, key, sizeof key)
                      .status,
                  STATUS_SUCCESS);
        PDEVICE_OBJECT collection = HidCollection();
        ASSERT_NE(collection, nullptr);
        HID_COLLECTION_INFORMATION information = {};
        EXPECT_EQ(tdl::test::DeviceControl(collection, IOCTL_HID_GET_COLLECTION_INFORMATION, nullptr, 0, &information,
                                           sizeof information, false, false)
                      .status,
                  STATUS_SUCCESS);
        // A device-control request of no USB family, to the printer's device on its hub port.
        UCHAR anything[8] = {};
        tdl::test::DeviceControl(Pdo("printer"), 0x220034, anything, sizeof anything, anything, sizeof anything, false,
                                 false);
        // A power query to the stick.
        PowerQuery(stick);
        // A device plugged in (started) and pulled out (removed).
        auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
        ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeFlashDrive("stick2", u"SIM0002")));
        ASSERT_NE(m_machine->Unplug("stick2"), nullptr);
    }

    static void PowerQuery(PDEVICE_OBJECT device) {
        KEVENT done;
        KeInitializeEvent(&done, NotificationEvent, FALSE);
        IO_STATUS_BLOCK ioStatus = {};
        PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_POWER, device, nullptr, 0, nullptr, &done, &ioStatus);
        ASSERT_NE(irp, nullptr);
        PIO_STACK_LOCATION location = IoGetNextIrpStackLocation(irp);
        location->MinorFunction = IRP_MN_QUERY_POWER;
        location->Parameters.Power.Type = DevicePowerState;
        location->Parameters.Power.State.DeviceState = PowerDeviceD2;
        if (PoCallDriver(device, irp) == STATUS_PENDING) {
            KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        }
    }

    // The capture: framed records, begun by "atsL", numbered without a gap.
    static void ExpectOneUnbrokenCapture(const std::vector<ReadRecord>& records) {
        ASSERT_GE(records.size(), 2u);
        EXPECT_EQ(records.front().tag, LogTag::atsL);
        for (size_t i = 1; i < records.size(); ++i) {
            ASSERT_EQ(records[i].sequence, records[i - 1].sequence + 1) << "after " << TagText(records[i - 1].tag);
        }
    }

    static std::set<std::string> Kinds(const std::vector<ReadRecord>& records) {
        std::set<std::string> kinds;
        for (const ReadRecord& record : records) {
            kinds.insert(TagText(record.tag));
        }
        return kinds;
    }
};

TEST_F(AllFamilies, OneCaptureOfEveryFamilysRequestsHoldsEveryKindInAnUnbrokenSequence) {
    Boot();
    StartCapture();
    SendEveryFamily();
    Collect();
    ExpectOneUnbrokenCapture(m_capture);

    const std::set<std::string> kinds = Kinds(m_capture);
    for (const char* kind : {"urbI", "urbR", "urbC", "uinI", "uinR", "uinC", "hubI", "hubR", "hubC", "hcdI", "hcdR",
                             "hcdC", "hidI", "hidR", "hidC", "ctlC", "powI", "powR", "powC", "pnpI", "pnpR", "pnpC"}) {
        EXPECT_TRUE(kinds.count(kind)) << kind;
    }
    // What the request families write and nothing else.
    for (const std::string& kind : kinds) {
        EXPECT_TRUE(kind == "atsL" || kind == "iCnt" || kind == "cCnt" || kind == "ctlC" ||
                    std::string("urb uin hub hcd hid pow pnp").find(kind.substr(0, 3)) != std::string::npos)
            << kind;
    }
    const std::set<std::string> changeKinds = Kinds(m_changes);
    for (const char* kind : {"vedA", "ktsA", "vedR", "ktsR"}) {
        EXPECT_TRUE(changeKinds.count(kind)) << kind;
    }
}

TEST_F(AllFamilies, OneCaptureOfTheStandardWorkloadsHoldsEveryKindInAnUnbrokenSequence) {
    Boot();
    // Machine time moves only as the workloads move it: their seconds of reports and idling take milliseconds.
    nt::clock::UseVirtualClock();
    struct RealClockAgain {
        ~RealClockAgain() { nt::clock::UseRealClock(); }
    } realClockAgain;
    StartCapture();
    for (sim::WorkloadKind workload :
         {sim::WorkloadKind::IdleMachine, sim::WorkloadKind::MouseMoving, sim::WorkloadKind::CopyToStick,
          sim::WorkloadKind::Printing, sim::WorkloadKind::PlugAndUnplug}) {
        sim::WorkloadOptions options;
        options.count = 2;
        options.transferBytes = 128 * 1024; // the stick's transfers go on in continuation records
        const sim::WorkloadResult result = sim::RunWorkload(*m_machine, workload, options);
        ASSERT_TRUE(result.Succeeded()) << sim::WorkloadName(workload) << ": " << result.failure;
        Collect();
    }
    ExpectOneUnbrokenCapture(m_capture);

    // The workloads' traffic: URBs with transfers long enough to continue, the HID class's requests, internal
    // requests, power (the idle machine suspends and wakes) and Plug and Play (a device comes and goes).
    const std::set<std::string> kinds = Kinds(m_capture);
    for (const char* kind : {"urbI", "urbR", "urbC", "iCnt", "cCnt", "uinI", "uinR", "uinC", "hidI", "hidR", "hidC",
                             "powI", "powR", "powC", "pnpI", "pnpR", "pnpC"}) {
        EXPECT_TRUE(kinds.count(kind)) << kind;
    }
    const std::set<std::string> changeKinds = Kinds(m_changes);
    for (const char* kind : {"vedA", "ktsA", "vedR", "ktsR"}) {
        EXPECT_TRUE(changeKinds.count(kind)) << kind;
    }
}

} // namespace
} // namespace capturetest
