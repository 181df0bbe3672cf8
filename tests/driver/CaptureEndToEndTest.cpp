// Request capture on the simulated default machine, driven as the application drives it: open
// "\\.\Tindaloft", select device objects, set the capture options, enable the log, let traffic run, read the
// log. The traffic is sent from kernel mode the way the class drivers send it: URBs to the device's physical
// device object, some posted before the device has anything to give.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "common/FourCC.h"
#include "common/LoggingOptions.h"
#include "common/NodeEntries.h"
#include "common/RecordTags.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "platform/sim/HidFunction.h"
#include "platform/sim/Machine.h"
#include "tests/driver/DriverFixture.h"
#include "tests/driver/LogTestHelpers.h"
#include "tests/driver/StackTreeFixture.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace capturetest {
namespace {

using drvlog_test::ReadRecord;

constexpr ULONG kTestTag = FourCC("E2Et");
constexpr ULONG kBlockSize = 512;

ULONG64 Address(const void* p) {
    return reinterpret_cast<ULONG64>(p);
}
ULONG64 IrpOf(const ReadRecord& r) {
    return tdl::LoadLe<ULONG64>(r.bytes.data() + offsetof(_LOGHDR, Irp));
}

// A URB sent without waiting, as a class driver posts a read.
struct PostedUrb {
    KEVENT done;
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = nullptr;
    NTSTATUS returned = STATUS_SUCCESS;

    PostedUrb(PDEVICE_OBJECT device, PURB urb) {
        KeInitializeEvent(&done, NotificationEvent, FALSE);
        irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, device, nullptr, 0, nullptr, 0, TRUE, &done,
                                            &ioStatus);
        IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
        returned = IoCallDriver(device, irp);
    }
    NTSTATUS Wait() {
        if (returned == STATUS_PENDING) {
            KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
            return ioStatus.Status;
        }
        return returned;
    }
};

class CaptureOnMachine : public drivertest::DriverFixture {
protected:
    void SetUp() override {}
    void TearDown() override {
        for (PVOID memory : m_memory) {
            ExFreePoolWithTag(memory, kTestTag);
        }
        Close();
        if (m_machine) {
            m_machine->Shutdown();
            m_machine.reset();
        }
        for (ULONG tag : {KXTD_POOL_TAG, LOG_TAG_CAPTURE, LOG_TAG_CHANGE}) {
            EXPECT_EQ(nt::pool::Stats(tag).liveCount, 0u) << std::hex << tag;
        }
    }

    void Boot() {
        sim::MachineOptions options;
        options.captureDriverEntry = DriverEntry;
        m_machine = sim::Machine::Boot(sim::DefaultMachine(), options);
        ASSERT_EQ(m_machine->Status(), STATUS_SUCCESS);
        ASSERT_EQ(m_machine->CaptureDriverStatus(), STATUS_SUCCESS);
        ASSERT_TRUE(Open()) << GetLastError();
    }

    PDEVICE_OBJECT Pdo(std::string_view name) const {
        std::shared_ptr<sim::UsbDevice> device = m_machine->Device(name);
        return device ? device->PhysicalDeviceObject() : nullptr;
    }

    // The tree learns the device's stack from its parent's bus-relations report, as the Plug and Play capture
    // tells it (devices outside the USB setup class, such as the mouse, never reach AddDevice).
    static void LearnFromParent(PDEVICE_OBJECT pdo) {
        const std::vector<nt::pnp::DeviceNodeInfo> nodes = nt::pnp::DeviceNodes();
        std::u16string parentPath;
        for (const auto& node : nodes) {
            if (node.pdo == pdo) {
                parentPath = node.parentInstancePath;
            }
        }
        std::vector<PDEVICE_OBJECT> children;
        for (const auto& node : nodes) {
            if (node.parentInstancePath == parentPath) {
                children.push_back(node.pdo);
            }
        }
        PDEVICE_OBJECT parent = nt::pnp::PhysicalDeviceObject(parentPath);
        ASSERT_NE(parent, nullptr);
        StackTreeBusRelations(IoGetAttachedDevice(parent), static_cast<ULONG>(children.size()), children.data());
    }

    // The application's device selection: capture on for every device object of the chosen stacks, off for
    // every other one.
    void Select(std::initializer_list<PDEVICE_OBJECT> pdos) {
        ULONG size = 0;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, &size, sizeof size).ok);
        std::vector<uint8_t> bytes(size);
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, bytes.data(), size).ok);
        const drivertest::NodeList list = drivertest::ParseDevstkNodes(bytes);
        ASSERT_TRUE(list.wellFormed);
        std::vector<uint8_t> request;
        size_t chosen = 0;
        for (const drivertest::ListedStack& stack : list.stacks) {
            const bool on = !stack.devices.empty() && std::any_of(pdos.begin(), pdos.end(), [&](PDEVICE_OBJECT pdo) {
                return stack.devices.front().DeviceObject == Address(pdo);
            });
            chosen += on ? 1 : 0;
            for (DEVICE_NODE device : stack.devices) {
                device.StatusFlags =
                    on ? device.StatusFlags & ~DEVOBJ_CAPTURE_OFF : device.StatusFlags | DEVOBJ_CAPTURE_OFF;
                const auto* raw = reinterpret_cast<const uint8_t*>(&device);
                request.insert(request.end(), raw, raw + sizeof device);
            }
        }
        ASSERT_EQ(chosen, pdos.size()) << "a chosen device has no stack in the tree";
        request.insert(request.end(), 4, 0); // the end entry
        ASSERT_TRUE(
            Ioctl(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, request.data(), static_cast<DWORD>(request.size()), nullptr, 0).ok);
    }

    void SetBulkMaxSize(ULONG size) {
        LOGGING_OPTIONS options = {};
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options, sizeof options).ok);
        options.CaptureBulk = 1;
        options.BulkMaxSize = size;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options, nullptr, 0).ok);
    }

    void EnableLog() {
        ULONG word = 0;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0).ok);
    }

    PUCHAR Allocate(ULONG size) {
        auto memory = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kTestTag));
        RtlZeroMemory(memory, size);
        m_memory.push_back(memory);
        return memory;
    }
    PURB NewUrb(USHORT size) { return reinterpret_cast<PURB>(Allocate(size)); }

    // Reads the device's configuration descriptor and selects it, as its class driver does when it starts;
    // the pipe handles of its first interface, by endpoint address.
    std::map<UCHAR, USBD_PIPE_HANDLE> Configure(PDEVICE_OBJECT pdo) {
        PUCHAR config = Allocate(256);
        PURB get = NewUrb(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST));
        UsbBuildGetDescriptorRequest(get, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_CONFIGURATION_DESCRIPTOR_TYPE, 0,
                                     0, config, nullptr, 256, nullptr);
        EXPECT_EQ(PostedUrb(pdo, get).Wait(), STATUS_SUCCESS);
        auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config);
        USBD_INTERFACE_LIST_ENTRY interfaces[2] = {
            {USBD_ParseConfigurationDescriptorEx(configuration, configuration, 0, 0, -1, -1, -1), nullptr}, {}};
        std::map<UCHAR, USBD_PIPE_HANDLE> pipes;
        if (interfaces[0].InterfaceDescriptor == nullptr) {
            ADD_FAILURE() << "no interface 0";
            return pipes;
        }
        PURB select = USBD_CreateConfigurationRequestEx(configuration, interfaces);
        EXPECT_EQ(PostedUrb(pdo, select).Wait(), STATUS_SUCCESS);
        const USBD_INTERFACE_INFORMATION* info = interfaces[0].Interface;
        const USBD_PIPE_INFORMATION* pipe = info->Pipes;
        for (ULONG i = 0; i < info->NumberOfPipes; ++i) {
            pipes[pipe[i].EndpointAddress] = pipe[i].PipeHandle;
        }
        ExFreePool(select);
        return pipes;
    }

    PURB BulkUrb(USBD_PIPE_HANDLE pipe, PVOID buffer, ULONG length, bool in) {
        PURB urb = NewUrb(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
        UsbBuildInterruptOrBulkTransferRequest(urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe, buffer, nullptr,
                                               length, (in ? USBD_TRANSFER_DIRECTION_IN : 0) | USBD_SHORT_TRANSFER_OK,
                                               nullptr);
        return urb;
    }

    // One bulk-only command: the command block wrapper, the data stage (its IN transfer posted before the
    // command, as a storage driver posts its read), the command status wrapper.
    void StorageCommand(PDEVICE_OBJECT pdo, const std::array<UCHAR, 10>& cdb, PUCHAR data, ULONG length, bool in) {
        const USBD_PIPE_HANDLE out = m_stickPipes[0x02], bulkIn = m_stickPipes[0x81];
        EXPECT_TRUE(out != nullptr && bulkIn != nullptr);
        PUCHAR cbw = Allocate(31);
        const ULONG signature = 0x43425355, tag = ++m_commandTag;
        std::memcpy(cbw, &signature, 4);
        std::memcpy(cbw + 4, &tag, 4);
        std::memcpy(cbw + 8, &length, 4);
        cbw[12] = in ? 0x80 : 0x00;
        cbw[14] = static_cast<UCHAR>(cdb.size());
        std::memcpy(cbw + 15, cdb.data(), cdb.size());
        PURB dataUrb = BulkUrb(in ? bulkIn : out, data, length, in);
        std::unique_ptr<PostedUrb> dataIn;
        if (in) {
            dataIn = std::make_unique<PostedUrb>(pdo, dataUrb);
            EXPECT_EQ(dataIn->returned, STATUS_PENDING); // nothing to give before the command
        }
        EXPECT_EQ(PostedUrb(pdo, BulkUrb(out, cbw, 31, false)).Wait(), STATUS_SUCCESS);
        if (in) {
            EXPECT_EQ(dataIn->Wait(), STATUS_SUCCESS);
        } else {
            EXPECT_EQ(PostedUrb(pdo, dataUrb).Wait(), STATUS_SUCCESS);
        }
        PUCHAR csw = Allocate(13);
        EXPECT_EQ(PostedUrb(pdo, BulkUrb(bulkIn, csw, 13, true)).Wait(), STATUS_SUCCESS);
        EXPECT_EQ(csw[12], 0) << "the command failed";
    }

    // READ(10) / WRITE(10) of `blocks` blocks from block 0.
    static std::array<UCHAR, 10> Rw10(UCHAR operation, USHORT blocks) {
        return {operation, 0, 0, 0, 0, 0, 0, static_cast<UCHAR>(blocks >> 8), static_cast<UCHAR>(blocks), 0};
    }

    // Copies a file of `size` bytes to the stick (whole blocks) and reads the first `readBack` bytes back.
    // Returns the bytes written.
    PUCHAR CopyToStickAndReadBack(ULONG size, ULONG readBack) {
        PDEVICE_OBJECT stick = Pdo("stick");
        if (m_stickPipes.empty()) {
            m_stickPipes = Configure(stick);
        }
        const USHORT blocks = static_cast<USHORT>((size + kBlockSize - 1) / kBlockSize);
        const ULONG written = blocks * kBlockSize;
        PUCHAR file = Allocate(written);
        for (ULONG i = 0; i < written; ++i) {
            file[i] = static_cast<UCHAR>(i * 13 + i / 509);
        }
        StorageCommand(stick, Rw10(0x2A, blocks), file, written, false);
        StorageCommand(stick, Rw10(0x28, blocks), Allocate(readBack), readBack, true);
        return file;
    }

    std::unique_ptr<sim::Machine> m_machine;
    std::map<UCHAR, USBD_PIPE_HANDLE> m_stickPipes;

private:
    std::vector<PVOID> m_memory;
    ULONG m_commandTag = 0;
};

// The records grouped by request, one request per "urbI" in log order; a later record belongs to the latest
// request opened with its IRP address (an address is only reused once the request before it has completed).
// Fails the test on a record whose request was never opened.
std::vector<std::vector<ReadRecord>> RequestsOf(const std::vector<ReadRecord>& records) {
    std::vector<std::vector<ReadRecord>> requests;
    std::map<ULONG64, size_t> open;
    for (const ReadRecord& r : records) {
        const ULONG64 irp = IrpOf(r);
        if (r.tag == LogTag::urbI) {
            open[irp] = requests.size();
            requests.emplace_back();
        }
        if (!open.count(irp)) {
            ADD_FAILURE() << "a record before its request's urbI, IRP " << std::hex << irp;
            continue;
        }
        requests[open[irp]].push_back(r);
    }
    return requests;
}

std::vector<uint8_t> Piece(const ReadRecord& r, size_t part1) {
    return std::vector<uint8_t>(r.Payload().begin() + part1, r.Payload().end());
}

TEST_F(CaptureOnMachine, MouseAndStickTrafficLeavesThreeRecordsPerUrbInSequence) {
    Boot();
    PDEVICE_OBJECT mouse = Pdo("mouse"), stick = Pdo("stick");
    ASSERT_TRUE(mouse != nullptr && stick != nullptr);
    LearnFromParent(mouse);
    Select({mouse, stick});
    EnableLog();
    const std::vector<ReadRecord> start = ReadLog();
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(start.back().tag, LogTag::atsL);

    // The mouse: its descriptors, a configuration, and three moves read from the interrupt endpoint.
    PUCHAR device = Allocate(18);
    PURB getDevice = NewUrb(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST));
    UsbBuildGetDescriptorRequest(getDevice, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0, 0,
                                 device, nullptr, 18, nullptr);
    ASSERT_EQ(PostedUrb(mouse, getDevice).Wait(), STATUS_SUCCESS);
    const USBD_PIPE_HANDLE interruptIn = Configure(mouse)[0x81];
    ASSERT_NE(interruptIn, nullptr);
    auto hid = m_machine->Device("mouse")->FunctionAs<sim::HidFunction>(0);
    ASSERT_NE(hid, nullptr);
    for (UCHAR move = 1; move <= 3; ++move) {
        PURB read = BulkUrb(interruptIn, Allocate(4), 4, true);
        PostedUrb posted(mouse, read);
        EXPECT_EQ(posted.returned, STATUS_PENDING); // the mouse has not moved yet
        hid->QueueInputReport({0, move, static_cast<UCHAR>(0x100 - move), 0});
        EXPECT_EQ(posted.Wait(), STATUS_SUCCESS);
    }

    // The stick: a file copied to it and read back.
    CopyToStickAndReadBack(8 * kBlockSize, 8 * kBlockSize);

    const std::vector<ReadRecord> records = ReadLog();
    ASSERT_FALSE(records.empty());
    // Gap-free sequence numbers after the log start.
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].sequence, start.back().sequence + 1 + i);
    }
    for (const ReadRecord& r : records) {
        ASSERT_TRUE(LogTag::IsUrbTag(r.tag)) << std::hex << r.tag;
        const ULONG64 deviceObject = tdl::LoadLe<ULONG64>(r.bytes.data() + offsetof(_LOGHDR, DeviceObject));
        EXPECT_TRUE(deviceObject == Address(mouse) || deviceObject == Address(stick));
    }
    const std::vector<std::vector<ReadRecord>> requests = RequestsOf(records);
    // The mouse's device descriptor, configuration descriptor and configuration, its 3 reads; the stick's
    // configuration descriptor and configuration, and 2 commands of 3 transfers each.
    ASSERT_EQ(requests.size(), 3u + 3 + 2 + 6);
    for (const std::vector<ReadRecord>& request : requests) {
        SCOPED_TRACE(testing::Message() << "IRP " << std::hex << IrpOf(request[0]));
        ASSERT_EQ(request.size(), 3u); // these transfers fit one record each
        const auto count = [&](ULONG tag) {
            return std::count_if(request.begin(), request.end(), [&](const ReadRecord& r) { return r.tag == tag; });
        };
        EXPECT_EQ(count(LogTag::urbR), 1);
        EXPECT_EQ(count(LogTag::urbC), 1);
    }
    // A posted read returns before the device answers: its R record precedes its C record.
    for (size_t read = 3; read < 6; ++read) {
        const std::vector<ReadRecord>& request = requests[read];
        EXPECT_EQ((std::vector<ULONG>{request[0].tag, request[1].tag, request[2].tag}),
                  (std::vector<ULONG>{LogTag::urbI, LogTag::urbR, LogTag::urbC}));
    }
    // The mouse's moves arrive in the C records.
    EXPECT_EQ(Piece(requests[5][2], 42), (std::vector<uint8_t>{0, 3, 0xFD, 0}));
}

// Part 1 of a bulk record of the stick's bulk IN pipe, the device handle aside: the URB's length and the
// layout flag, status 0, the pipe block (configuration 1, interface 0, endpoint 0x81, 512-byte packets, bulk),
// IN with short transfers allowed, and the lengths.
std::vector<uint8_t> StickBulkInPart1(USBD_PIPE_HANDLE pipe, ULONG length, ULONG captured) {
    std::vector<uint8_t> bytes = {0x80, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x81, 0x00, 2, 0};
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<uint8_t>(Address(pipe) >> (8 * i)));
    }
    for (ULONG value : {ULONG{USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK}, length, captured}) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    }
    return bytes;
}

// Part 1 with the device handle (bytes 8 to 15) blanked.
std::vector<uint8_t> Part1WithoutHandle(const ReadRecord& r, size_t size) {
    std::vector<uint8_t> bytes(r.Payload().begin(), r.Payload().begin() + size);
    std::fill(bytes.begin() + 8, bytes.begin() + 16, 0);
    return bytes;
}

TEST_F(CaptureOnMachine, BulkTransfersOf200000BytesToAndFromTheStickGoOnInContinuations) {
    Boot();
    PDEVICE_OBJECT stick = Pdo("stick");
    ASSERT_NE(stick, nullptr);
    Select({stick});
    SetBulkMaxSize(262144);
    EnableLog();
    ReadLog();
    const PUCHAR file = CopyToStickAndReadBack(200000, 200000);
    const std::vector<ReadRecord> records = ReadLog();
    const USBD_PIPE_HANDLE bulkIn = m_stickPipes[0x81];

    // The read's data stage: "urbI" without data, "urbR", then "urbC" with the first 64 KiB and "MORE", and
    // "cCnt" pieces at 65,536, 131,072 and 196,608 (3,392 bytes, "DATA") right behind it.
    std::vector<ReadRecord> mine;
    for (const std::vector<ReadRecord>& request : RequestsOf(records)) {
        for (const ReadRecord& r : request) {
            if (r.tag == LogTag::urbC && r.continuation == LogTag::More &&
                tdl::LoadLe<ULONG>(r.Payload().data() + 34) == 200000 && r.Payload()[18] == 0x81) {
                mine = request;
            }
        }
    }
    ASSERT_EQ(mine.size(), 6u);
    EXPECT_EQ(mine[0].tag, LogTag::urbI);
    EXPECT_EQ(mine[0].dataSize, 42u);
    EXPECT_EQ(Part1WithoutHandle(mine[0], 42), StickBulkInPart1(bulkIn, 200000, 0));
    EXPECT_EQ(mine[1].tag, LogTag::urbR);
    EXPECT_EQ(mine[1].dataSize, 0u);
    EXPECT_EQ(LogHdr::Status(mine[1].bytes.data()), ULONG{STATUS_PENDING});
    EXPECT_EQ(mine[2].tag, LogTag::urbC);
    EXPECT_EQ(mine[2].continuation, LogTag::More);
    EXPECT_EQ(Part1WithoutHandle(mine[2], 42), StickBulkInPart1(bulkIn, 200000, 65536));
    EXPECT_EQ(Piece(mine[2], 42), std::vector<uint8_t>(file, file + 65536));
    const struct {
        ULONG offset, length, continuation;
    } pieces[] = {{65536, 65536, LogTag::More}, {131072, 65536, LogTag::More}, {196608, 3392, LogTag::Data}};
    for (size_t i = 0; i < 3; ++i) {
        const ReadRecord& r = mine[3 + i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.tag, LogTag::cCnt);
        EXPECT_EQ(r.sequence, mine[2].sequence + 1 + i);
        EXPECT_EQ(r.continuation, pieces[i].continuation);
        EXPECT_EQ(r.function, ULONG{URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER});
        const uint8_t* p = r.Payload().data();
        EXPECT_EQ(tdl::LoadLe<ULONG>(p + 0), 200000u);
        EXPECT_EQ(tdl::LoadLe<ULONG>(p + 8), pieces[i].offset);
        EXPECT_EQ(tdl::LoadLe<ULONG>(p + 12), pieces[i].length);
        EXPECT_EQ(std::vector<uint8_t>(p + 16, p + 20), (std::vector<uint8_t>{1, 0, 0x81, 0}));
        EXPECT_EQ(Piece(r, 20),
                  std::vector<uint8_t>(file + pieces[i].offset, file + pieces[i].offset + pieces[i].length));
    }

    // The write's data stage (OUT, 391 blocks): its data goes with "urbI" and "iCnt" records.
    std::vector<ULONG> written;
    for (const ReadRecord& r : records) {
        if (r.tag == LogTag::iCnt) {
            written.push_back(tdl::LoadLe<ULONG>(r.Payload().data() + 12));
            const ULONG offset = tdl::LoadLe<ULONG>(r.Payload().data() + 8);
            EXPECT_EQ(Piece(r, 20), std::vector<uint8_t>(file + offset, file + offset + written.back()));
        }
    }
    EXPECT_EQ(written, (std::vector<ULONG>{65536, 65536, 200192 - 196608}));

    // With BulkMaxSize 65,536 the same read is one complete "urbC".
    SetBulkMaxSize(65536);
    const PUCHAR again = CopyToStickAndReadBack(200000, 200000);
    size_t complete = 0;
    for (const ReadRecord& r : ReadLog()) {
        EXPECT_FALSE(r.tag == LogTag::cCnt || r.tag == LogTag::iCnt);
        if (r.tag == LogTag::urbC && r.Payload()[18] == 0x81 && tdl::LoadLe<ULONG>(r.Payload().data() + 34) == 200000) {
            EXPECT_EQ(r.continuation, LogTag::Data);
            EXPECT_EQ(r.dataSize, 42u + 65536);
            EXPECT_EQ(Piece(r, 42), std::vector<uint8_t>(again, again + 65536));
            ++complete;
        }
    }
    EXPECT_EQ(complete, 1u);
}

} // namespace
} // namespace capturetest
