// URB records as they land in the capture log: part 1 byte for byte per function, part 2 and the transfer
// data rules, continuations of large transfers, and the DataSize invariant over every function. The URBs are
// built by hand in pool memory (valid addresses for the kernel), with the pipe, device byte and device handle
// given as the driver's tables would resolve them.
#include <functional>
#include <string_view>

#include "LogTestHelpers.h"
#include "NtMdl.h"
#include "common/RecordPayloads.h"
#include "driver/capture/CaptureUrbRecord.h"
#include "driver/core/Settings.h"
#include "usb.h"

namespace drvlog_test {
namespace {

constexpr ULONG kTestTag = FourCC("UrbT");
constexpr ULONG64 kDeviceHandle = 0x0102030405060708;
const URB_PIPE_INFO kBulkIn = {0, 0x81, 512, 2};
const URB_PIPE_INFO kBulkOut = {1, 0x02, 64, 2};
PVOID const kPipeHandle = reinterpret_cast<PVOID>(ULONG_PTR{0xABCD0010});

// "80 00 01 00" -> bytes; spaces and '|' separate.
std::vector<uint8_t> Hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                       : -1;
        if (v < 0) {
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return bytes;
}

std::vector<uint8_t> Bytes(std::span<const uint8_t> span) {
    return std::vector<uint8_t>(span.begin(), span.end());
}

class UrbRecordTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        CaptureSettingsSetDefaults(&settings);
        header.StackCount = 4;
        header.CurrentLocation = 3;
        header.StackID = 7;
        header.DeviceObject = 0x1111111111111110;
        header.Irp = 0x2222222222222220;
        header.StackLocation = 0x3333333333333330;
        header.Status = STATUS_PENDING;
    }
    void TearDown() override {
        for (PVOID memory : m_memory) {
            ExFreePoolWithTag(memory, kTestTag);
        }
        LogFixture::TearDown();
    }

    // Zeroed pool memory, freed after the test.
    PUCHAR Allocate(ULONG size) {
        auto memory = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kTestTag));
        RtlZeroMemory(memory, size);
        m_memory.push_back(memory);
        return memory;
    }
    PURB NewUrb(USHORT function, USHORT length, ULONG allocate = 0) {
        auto urb = reinterpret_cast<PURB>(Allocate(allocate != 0 ? allocate : length));
        urb->UrbHeader.Function = function;
        urb->UrbHeader.Length = length;
        return urb;
    }
    // A buffer holding a pattern that differs at every offset a test looks at.
    PUCHAR Pattern(ULONG size) {
        PUCHAR bytes = Allocate(size);
        for (ULONG i = 0; i < size; ++i) {
            bytes[i] = static_cast<UCHAR>(i * 7 + i / 251);
        }
        return bytes;
    }

    // Writes the "urbI" (or "urbC") record of the URB.
    void Write(PURB urb, bool completion, const URB_PIPE_INFO* pipe = nullptr, UCHAR deviceByte = 0,
               ULONG64 deviceHandle = kDeviceHandle) {
        URB_RECORD record;
        ASSERT_TRUE(UrbRecordOpen(&record, urb));
        UrbRecordSetPipe(&record, pipe, deviceByte);
        UrbRecordBuild(&record, completion, deviceHandle, &settings);
        ASSERT_TRUE(UrbRecordWrite(log, &record, &header));
    }
    // The one record the log holds.
    ReadRecord Only() {
        std::vector<ReadRecord> records = ReadAll();
        if (records.size() != 1) {
            ADD_FAILURE() << records.size() << " records";
            return {};
        }
        return records[0];
    }
    // The record's part 1 (its first `size` payload bytes) and part 2 (the rest).
    static std::vector<uint8_t> Part1(const ReadRecord& r, size_t size) { return Bytes(r.Payload().first(size)); }
    static std::vector<uint8_t> Part2(const ReadRecord& r, size_t part1) { return Bytes(r.Payload().subspan(part1)); }

    CAPTURE_SETTINGS settings = {};
    RECORD_HEADER_INFO header = {};

private:
    std::vector<PVOID> m_memory;
};

// --- Transfers that go on in continuation records ---

TEST_F(UrbRecordTest, BulkInOf200000BytesIsOneRecordAndThreeContinuationsAtCompletion) {
    settings.BulkMaxSize = 262144;
    PUCHAR data = Pattern(200000);
    PURB urb = NewUrb(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    _URB_BULK_OR_INTERRUPT_TRANSFER& bulk = urb->UrbBulkOrInterruptTransfer;
    bulk.PipeHandle = kPipeHandle;
    bulk.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK;
    bulk.TransferBufferLength = 200000;
    bulk.TransferBuffer = data;

    Write(urb, false, &kBulkIn, 1);
    header.Status = STATUS_SUCCESS;
    Write(urb, true, &kBulkIn, 1);

    std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 5u);
    const std::string_view head =
        "80 00 01 00 00 00 00 00 08 07 06 05 04 03 02 01 | 01 00 81 00 02 00 10 00 CD AB 00 00 "
        "00 00 | 03 00 00 00 | 40 0D 03 00 |";
    // "urbI": no data (IN data is taken at completion).
    EXPECT_EQ(records[0].tag, LogTag::urbI);
    EXPECT_EQ(records[0].dataSize, 42u);
    EXPECT_EQ(records[0].continuation, LogTag::Data);
    EXPECT_EQ(Bytes(records[0].Payload()), Hex(std::string(head) + "00 00 00 00"));
    // "urbC": the first 64 KiB, and "MORE".
    EXPECT_EQ(records[1].tag, LogTag::urbC);
    EXPECT_EQ(records[1].dataSize, 42u + 65536);
    EXPECT_EQ(records[1].continuation, LogTag::More);
    EXPECT_EQ(Part1(records[1], 42), Hex(std::string(head) + "00 00 01 00"));
    EXPECT_EQ(Part2(records[1], 42), std::vector<uint8_t>(data, data + 65536));
    // The continuations: offsets 65,536, 131,072 and 196,608, the last one "DATA".
    const struct {
        ULONG offset, length, continuation;
        const char* part1;
    } pieces[] = {
        {65536, 65536, LogTag::More, "40 0D 03 00 03 00 00 00 00 00 01 00 00 00 01 00 01 00 81 00"},
        {131072, 65536, LogTag::More, "40 0D 03 00 03 00 00 00 00 00 02 00 00 00 01 00 01 00 81 00"},
        {196608, 3392, LogTag::Data, "40 0D 03 00 03 00 00 00 00 00 03 00 40 0D 00 00 01 00 81 00"},
    };
    for (size_t i = 0; i < 3; ++i) {
        const ReadRecord& r = records[2 + i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.tag, LogTag::cCnt);
        EXPECT_EQ(r.dataSize, 20 + pieces[i].length);
        EXPECT_EQ(r.continuation, pieces[i].continuation);
        EXPECT_EQ(Part1(r, 20), Hex(pieces[i].part1));
        EXPECT_EQ(Part2(r, 20),
                  std::vector<uint8_t>(data + pieces[i].offset, data + pieces[i].offset + pieces[i].length));
    }
    // Every record carries the request's header values and its own sequence number.
    for (size_t i = 0; i < records.size(); ++i) {
        const uint8_t* r = records[i].bytes.data();
        EXPECT_EQ(records[i].sequence, i);
        EXPECT_EQ(records[i].function, 9u);
        EXPECT_EQ(LogHdr::StackID(r), 7);
        EXPECT_EQ(tdl::LoadLe<ULONG64>(r + offsetof(_LOGHDR, DeviceObject)), header.DeviceObject);
        EXPECT_EQ(tdl::LoadLe<ULONG64>(r + offsetof(_LOGHDR, Irp)), header.Irp);
        EXPECT_EQ(tdl::LoadLe<ULONG64>(r + offsetof(_LOGHDR, StackLocation)), header.StackLocation);
        EXPECT_EQ(LogHdr::Status(r), i == 0 ? ULONG{STATUS_PENDING} : ULONG{STATUS_SUCCESS});
    }
}

TEST_F(UrbRecordTest, BulkInOf200000BytesWithA64KiBLimitIsOneCompleteRecord) {
    settings.BulkMaxSize = 65536;
    PUCHAR data = Pattern(200000);
    PURB urb = NewUrb(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    urb->UrbBulkOrInterruptTransfer.PipeHandle = kPipeHandle;
    urb->UrbBulkOrInterruptTransfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
    urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 200000;
    urb->UrbBulkOrInterruptTransfer.TransferBuffer = data;
    Write(urb, true, &kBulkIn);
    ReadRecord r = Only();
    EXPECT_EQ(r.continuation, LogTag::Data);
    EXPECT_EQ(r.dataSize, 42u + 65536);
    EXPECT_EQ(tdl::LoadLe<ULONG>(r.Payload().data() + 38), 65536u);
    EXPECT_EQ(Part2(r, 42), std::vector<uint8_t>(data, data + 65536));
}

// --- Every function: part-1 size and DataSize ---

TEST_F(UrbRecordTest, EveryFunctionHasItsPartOneSizeAndDataSizeIsBothParts) {
    // Part-1 sizes by function; functions missing here (above 52) give no record.
    // clang-format off
    const std::map<ULONG, ULONG> part1 = {
        {0, 32}, {1, 24}, {2, 30}, {3, 16}, {4, 16}, {5, 24}, {6, 20}, {7, 20}, {8, 50}, {9, 42}, {10, 66},
        {11, 24}, {12, 24}, {13, 22}, {14, 22}, {15, 22}, {16, 22}, {17, 22}, {18, 22}, {19, 22}, {20, 22},
        {21, 22}, {22, 0}, {23, 30}, {24, 30}, {25, 30}, {26, 30}, {27, 30}, {28, 30}, {29, 0}, {30, 30},
        {31, 30}, {32, 30}, {33, 22}, {34, 22}, {35, 22}, {36, 24}, {37, 24}, {38, 20}, {39, 22}, {40, 24},
        {41, 24}, {42, 28}, {43, 0}, {44, 0}, {45, 0}, {46, 0}, {47, 0}, {48, 30}, {49, 30}, {50, 54},
        {51, 42}, {52, 42}, {0x1000, 36}, {0x1001, 16}, {0x1002, 20},
    };
    // clang-format on
    constexpr USHORT kLength = 400; // an URB longer than any fixed layout: SELECT_INTERFACE copies its tail
    std::vector<ULONG> functions;
    for (ULONG f = 0; f < 0x48; ++f) {
        functions.push_back(f);
    }
    for (ULONG f : {0x1000u, 0x1001u, 0x1002u, 0x1003u, 0x2000u | 9, 0x2000u | 60, 0xFFFFu}) {
        functions.push_back(f);
    }
    for (ULONG f : functions) {
        SCOPED_TRACE(f);
        PURB urb = NewUrb(static_cast<USHORT>(f), kLength, 512);
        URB_RECORD record;
        const auto expected = part1.find(f & 0xDFFF);
        if (expected == part1.end()) {
            EXPECT_FALSE(UrbRecordOpen(&record, urb));
            continue;
        }
        ASSERT_TRUE(UrbRecordOpen(&record, urb));
        Write(urb, false);
        Write(urb, true);
        std::vector<ReadRecord> records = ReadAll(); // every frame checked: "FINI" at 64 + DataSize
        ASSERT_EQ(records.size(), 2u);
        const ULONG part2 = (f & 0xDFFF) == URB_FUNCTION_SELECT_INTERFACE ? kLength - 30 : 0;
        for (const ReadRecord& r : records) {
            EXPECT_EQ(r.function, f);
            EXPECT_EQ(r.dataSize, expected->second + part2);
            EXPECT_EQ(r.bytes.size(), 68u + r.dataSize);
            if (expected->second >= 4 && f < 0x1000) {
                // The head: the URB's length, and the layout flag u16 1.
                EXPECT_EQ(Bytes(r.Payload().first(4)), Hex("90 01 01 00"));
            }
        }
    }
}

// --- Part 1 byte for byte ---

TEST_F(UrbRecordTest, PartOneOfEachLayout) {
    struct Case {
        const char* name;
        USHORT function;
        std::function<void(PURB)> fill;
        const char* part1; // after the 16-byte head, unless `whole`
        bool whole = false;
    };
    PUCHAR endpoint = Allocate(8);
    std::memcpy(endpoint, "\x07\x05\x81\x03\x08\x00\x0A", 7);
    const Case cases[] = {
        {"TAKE_FRAME_LENGTH_CONTROL", 3, [](PURB) {}, ""},
        {"GET_FRAME_LENGTH", 5,
         [](PURB u) {
             u->UrbGetFrameLength.FrameLength = 0x1234;
             u->UrbGetFrameLength.FrameNumber = 0x55;
         },
         "34 12 00 00 55 00 00 00"},
        {"SET_FRAME_LENGTH", 6, [](PURB u) { u->UrbSetFrameLength.FrameLengthDelta = -1; }, "FF FF FF FF"},
        {"SET_FEATURE_TO_ENDPOINT", 15,
         [](PURB u) {
             u->UrbControlFeatureRequest.FeatureSelector = 0;
             u->UrbControlFeatureRequest.Index = 0x81;
             u->UrbControlFeatureRequest.Reserved1 = 0xBEEF;
         },
         "00 00 81 00 EF BE"},
        {"GET_STATUS_FROM_INTERFACE", 20,
         [](PURB u) {
             u->UrbControlGetStatusRequest.Index = 1;
             u->UrbControlGetStatusRequest.TransferBufferLength = 2;
         },
         "01 00 02 00 00 00"},
        {"GET_INTERFACE", 39,
         [](PURB u) {
             u->UrbControlGetInterfaceRequest.Interface = 3;
             u->UrbControlGetInterfaceRequest.TransferBufferLength = 1;
         },
         "03 00 01 00 00 00"},
        {"VENDOR_INTERFACE", 24,
         [](PURB u) {
             _URB_CONTROL_VENDOR_OR_CLASS_REQUEST& v = u->UrbControlVendorClassRequest;
             v.RequestTypeReservedBits = 0x12;
             v.Request = 0x34;
             v.Value = 0x5678;
             v.Index = 0x9ABC;
             v.TransferFlags = 1;
             v.TransferBufferLength = 0x10;
         },
         "12 34 78 56 BC 9A 01 00 00 00 10 00 00 00"},
        {"GET_CONFIGURATION", 38, [](PURB u) { u->UrbControlGetConfigurationRequest.TransferBufferLength = 1; },
         "01 00 00 00"},
        {"GET_MS_FEATURE_DESCRIPTOR", 42,
         [](PURB u) {
             reinterpret_cast<PUCHAR>(u)[128] = 0xFF; // Recipient (5 bits) and the reserved bits after it
             _URB_OS_FEATURE_DESCRIPTOR_REQUEST& m = u->UrbOSFeatureDescriptorRequest;
             m.Reserved2 = 0xAA;
             m.InterfaceNumber = 2;
             m.MS_PageIndex = 3;
             m.MS_FeatureDescriptorIndex = 4;
             m.Reserved3 = 0x5555;
             m.TransferBufferLength = 0x10;
         },
         "1F AA 02 03 04 00 55 55 10 00 00 00"},
        {"GET_DESCRIPTOR_FROM_INTERFACE", 40,
         [](PURB u) {
             u->UrbControlDescriptorRequest.Index = 2;
             u->UrbControlDescriptorRequest.DescriptorType = 0x22;
             u->UrbControlDescriptorRequest.LanguageId = 0x409;
             u->UrbControlDescriptorRequest.TransferBufferLength = 0x40;
         },
         "22 02 09 04 40 00 00 00"},
        {"GET_PIPE_IO_POLICY on an unknown pipe", 52,
         [](PURB u) {
             u->UrbPipeIoPolicy.PipeHandle = kPipeHandle;
             u->UrbPipeIoPolicy.UsbIoPriority = 1;
             u->UrbPipeIoPolicy.UsbMaxPendingIrps = 2;
             u->UrbPipeIoPolicy.UsbMaxControllerTransfer = 3;
         },
         "00 FF 00 00 00 00 10 00 CD AB 00 00 00 00 | 01 00 00 00 02 00 00 00 03 00 00 00"},
        {"ABORT_PIPE on the default pipe", 2, [](PURB) {}, "00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"GET_STATUS with the synchronous bit: no device handle", 0x2000 | 19,
         [](PURB u) { u->UrbControlGetStatusRequest.TransferBufferLength = 2; },
         "88 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 | 00 00 02 00 00 00", true},
        {"OPEN_ENDPOINT", 0x1000,
         [endpoint](PURB u) {
             u->UrbHeader.Length = sizeof(_URB_OPEN_ENDPOINT);
             u->UrbOpenEndpoint.ushort1 = 0x1111;
             u->UrbOpenEndpoint.Flags = 0x2222;
             u->UrbOpenEndpoint.EndpointDescriptor = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(endpoint);
             u->UrbOpenEndpoint.ulong3 = 0x33333333;
             u->UrbOpenEndpoint.HcdEndpoint = reinterpret_cast<PVOID>(ULONG_PTR{0x4444444444444444});
             u->UrbOpenEndpoint.ulong4 = 0x55555555;
         },
         "34 00 01 00 00 00 00 00 | 11 11 22 22 | 07 05 81 03 08 00 0A 00 | 33 33 33 33 | 44 44 44 44 44 44 44 44 | "
         "55 55 55 55",
         true},
        {"CLOSE_ENDPOINT", 0x1001,
         [](PURB u) {
             u->UrbHeader.Length = sizeof(_URB_CLOSE_ENDPOINT);
             u->UrbCloseEndpoint.HcdEndpoint = reinterpret_cast<PVOID>(ULONG_PTR{0x1122334455667788});
         },
         "20 00 01 00 00 00 00 00 88 77 66 55 44 33 22 11", true},
        {"GET_ENDPOINT_STATE", 0x1002,
         [](PURB u) {
             u->UrbHeader.Length = sizeof(_URB_GET_ENDPOINT_STATE);
             u->UrbGetEndpointState.HcdEndpoint = reinterpret_cast<PVOID>(ULONG_PTR{0x1122334455667788});
             u->UrbGetEndpointState.Flags = 0xA5;
         },
         "28 00 01 00 00 00 00 00 88 77 66 55 44 33 22 11 A5 00 00 00", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PURB urb = NewUrb(c.function, 136, sizeof(URB));
        urb->UrbHeader.Status = USBD_STATUS_STALL_PID;
        c.fill(urb);
        if (c.whole) {
            urb->UrbHeader.Status = 0;
        }
        Write(urb, false);
        ReadRecord r = Only();
        std::vector<uint8_t> want = Hex(c.part1);
        if (!c.whole) {
            std::vector<uint8_t> head = Hex("88 00 01 00 04 00 00 C0 08 07 06 05 04 03 02 01");
            want.insert(want.begin(), head.begin(), head.end());
        }
        EXPECT_EQ(Bytes(r.Payload()), want);
    }
}

// --- Part 2 ---

TEST_F(UrbRecordTest, SelectConfigurationCarriesTheInterfaceListAndTheConfigurationHead) {
    PUCHAR config = Pattern(32);
    PURB urb = NewUrb(URB_FUNCTION_SELECT_CONFIGURATION, sizeof(_URB_SELECT_CONFIGURATION));
    urb->UrbSelectConfiguration.ConfigurationDescriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config);
    urb->UrbSelectConfiguration.ConfigurationHandle = reinterpret_cast<PVOID>(ULONG_PTR{0xC0FFEE});
    PUCHAR list = reinterpret_cast<PUCHAR>(urb) + 40;
    for (int i = 0; i < 48; ++i) {
        list[i] = static_cast<UCHAR>(0x40 + i);
    }
    Write(urb, true);
    ReadRecord r = Only();
    ASSERT_EQ(r.dataSize, 32u + 88 - 29);
    std::vector<uint8_t> want(list, list + 48);
    want.insert(want.end(), {0, 0});
    want.insert(want.end(), config, config + 9);
    EXPECT_EQ(Part2(r, 32), want);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(r.Payload().data() + 16), reinterpret_cast<ULONG64>(config));
    EXPECT_EQ(tdl::LoadLe<ULONG64>(r.Payload().data() + 24), 0xC0FFEEu);
}

TEST_F(UrbRecordTest, UnconfigureAndSelectInterfaceParts) {
    PURB unconfigure = NewUrb(URB_FUNCTION_SELECT_CONFIGURATION, 40);
    Write(unconfigure, false);
    EXPECT_EQ(Only().dataSize, 32u);

    PURB select = NewUrb(URB_FUNCTION_SELECT_INTERFACE, sizeof(_URB_SELECT_INTERFACE));
    PUCHAR entry = reinterpret_cast<PUCHAR>(select) + 32;
    entry[0] = 48;
    entry[1] = 3;
    Write(select, true);
    ReadRecord r = Only();
    ASSERT_EQ(r.dataSize, 24u + 48 + 2);
    std::vector<uint8_t> want(entry, entry + 48);
    want.insert(want.end(), {0, 0});
    EXPECT_EQ(Part2(r, 24), want);
}

// Which phase carries a transfer's data, and how much of it.
TEST_F(UrbRecordTest, TransferDataGoesWithItsDirection) {
    const URB_PIPE_INFO controlPipe = {2, 0x00, 64, 0}; // a control endpoint other than the default pipe
    struct Case {
        const char* name;
        USHORT function;
        PVOID pipeHandle;
        ULONG flags;
        UCHAR bmRequestType;
        const URB_PIPE_INFO* pipe;
        std::function<void(CAPTURE_SETTINGS&)> adjust;
        ULONG initiated, completed; // data bytes in "urbI" and "urbC"
        UCHAR endpoint;             // pipe block's endpoint byte
    };
    const auto none = [](CAPTURE_SETTINGS&) {};
    const Case cases[] = {
        {"control OUT on the default pipe", 8, nullptr, 0, 0x21, nullptr, none, 18, 0, 0x00},
        {"control OUT with CaptureCtrl off", 8, nullptr, 0, 0x21, nullptr,
         [](CAPTURE_SETTINGS& s) { s.CaptureCtrl = FALSE; }, 0, 0, 0x00},
        {"control IN on the default pipe", 8, nullptr, USBD_TRANSFER_DIRECTION_IN, 0x80, nullptr, none, 0, 18, 0x80},
        {"control IN flagged for the default pipe", 50, kPipeHandle,
         USBD_DEFAULT_PIPE_TRANSFER | USBD_TRANSFER_DIRECTION_IN, 0xC0, nullptr, none, 0, 18, 0x80},
        {"control IN on another control pipe: direction from the flags", 8, kPipeHandle, USBD_TRANSFER_DIRECTION_IN,
         0xC0, &controlPipe, none, 0, 18, 0x00},
        {"control IN bounded by CtrlMaxSize", 8, nullptr, USBD_TRANSFER_DIRECTION_IN, 0x80, nullptr,
         [](CAPTURE_SETTINGS& s) { s.CtrlMaxSize = 4; }, 0, 4, 0x80},
        {"bulk OUT", 9, kPipeHandle, 0, 0, &kBulkOut, none, 18, 0, 0x02},
        {"bulk IN", 9, kPipeHandle, USBD_TRANSFER_DIRECTION_IN, 0, &kBulkIn, none, 0, 18, 0x81},
        {"bulk IN with CaptureBulk off", 9, kPipeHandle, USBD_TRANSFER_DIRECTION_IN, 0, &kBulkIn,
         [](CAPTURE_SETTINGS& s) { s.CaptureBulk = FALSE; }, 0, 0, 0x81},
        {"bulk without a pipe counts as OUT", 9, nullptr, USBD_TRANSFER_DIRECTION_IN, 0, nullptr, none, 18, 0, 0x00},
        {"bulk on a pipe the tables do not know", 9, kPipeHandle, USBD_TRANSFER_DIRECTION_IN, 0, nullptr, none, 0, 0,
         0x00},
        {"isochronous OUT", 10, kPipeHandle, 0, 0, &kBulkOut, none, 18, 0, 0x02},
        {"isochronous IN with IsochMaxSize 0", 10, kPipeHandle, 0, 0, &kBulkIn,
         [](CAPTURE_SETTINGS& s) { s.IsochMaxSize = 0; }, 0, 0, 0x81},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureSettingsSetDefaults(&settings);
        c.adjust(settings);
        PUCHAR data = Pattern(18);
        PURB urb = NewUrb(c.function, sizeof(_URB_ISOCH_TRANSFER), sizeof(URB) + 64);
        _URB_CONTROL_TRANSFER& t = urb->UrbControlTransfer; // the fields all four share
        t.PipeHandle = c.pipeHandle;
        t.TransferFlags = c.flags;
        t.TransferBufferLength = 18;
        t.TransferBuffer = data;
        if (c.function == 8 || c.function == 50) {
            t.SetupPacket[0] = c.bmRequestType;
        }
        Write(urb, false, c.pipe);
        Write(urb, true, c.pipe);
        std::vector<ReadRecord> records = ReadAll();
        ASSERT_EQ(records.size(), 2u);
        const ULONG part1 = static_cast<ULONG>(UrbRecordPart1Size(c.function));
        const ULONG capturedOffset = c.function == 50 ? 42 : 38;
        const ULONG want[2] = {c.initiated, c.completed};
        for (int i = 0; i < 2; ++i) {
            const ReadRecord& r = records[i];
            EXPECT_EQ(r.dataSize, part1 + want[i]) << (i ? "urbC" : "urbI");
            EXPECT_EQ(tdl::LoadLe<ULONG>(r.Payload().data() + capturedOffset), want[i]);
            EXPECT_EQ(Part2(r, part1), std::vector<uint8_t>(data, data + want[i]));
            EXPECT_EQ(r.Payload()[URB_RECORD_ENDPOINT_OFFSET], c.endpoint);
            EXPECT_EQ(r.Payload()[URB_RECORD_INTERFACE_OFFSET],
                      c.pipe                                                    ? c.pipe->InterfaceNumber
                      : c.pipeHandle && !(c.flags & USBD_DEFAULT_PIPE_TRANSFER) ? URB_RECORD_PIPE_UNKNOWN
                                                                                : 0);
        }
    }
}

TEST_F(UrbRecordTest, DescriptorBytesTravelOneWayWhateverTheSizeSettings) {
    settings.CaptureCtrl = FALSE;
    settings.CtrlMaxSize = 0;
    PUCHAR descriptor = Pattern(18);
    for (USHORT function : {URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE}) {
        SCOPED_TRACE(function);
        PURB urb = NewUrb(function, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST));
        urb->UrbControlDescriptorRequest.TransferBufferLength = 18;
        urb->UrbControlDescriptorRequest.TransferBuffer = descriptor;
        Write(urb, false);
        Write(urb, true);
        std::vector<ReadRecord> records = ReadAll();
        ASSERT_EQ(records.size(), 2u);
        const bool get = function == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
        EXPECT_EQ(records[0].dataSize, 24u + (get ? 0 : 18));
        EXPECT_EQ(records[1].dataSize, 24u + (get ? 18 : 0));
        EXPECT_EQ(Part2(records[get ? 1 : 0], 24), std::vector<uint8_t>(descriptor, descriptor + 18));
    }
}

TEST_F(UrbRecordTest, RequestsWithABufferCarryItInBothPhasesAndWithoutOneNothing) {
    PUCHAR status = Pattern(2);
    PURB withBuffer = NewUrb(URB_FUNCTION_VENDOR_DEVICE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST));
    withBuffer->UrbControlVendorClassRequest.TransferBufferLength = 2;
    withBuffer->UrbControlVendorClassRequest.TransferBuffer = status;
    PURB without = NewUrb(URB_FUNCTION_GET_STATUS_FROM_DEVICE, sizeof(_URB_CONTROL_GET_STATUS_REQUEST));
    without->UrbControlGetStatusRequest.TransferBufferLength = 2;
    Write(withBuffer, false);
    Write(withBuffer, true);
    Write(without, true);
    std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(Part2(records[0], 30), std::vector<uint8_t>(status, status + 2));
    EXPECT_EQ(Part2(records[1], 30), std::vector<uint8_t>(status, status + 2));
    EXPECT_EQ(records[2].dataSize, 22u);
}

TEST_F(UrbRecordTest, IsochronousRecordCountsEmptyPacketsAndNamesTheBuffer) {
    PUCHAR data = Pattern(64);
    PMDL mdl = IoAllocateMdl(data, 64, FALSE, FALSE, nullptr);
    ASSERT_NE(mdl, nullptr);
    MmBuildMdlForNonPagedPool(mdl);
    PURB urb =
        NewUrb(URB_FUNCTION_ISOCH_TRANSFER, sizeof(_URB_ISOCH_TRANSFER) + 3 * sizeof(USBD_ISO_PACKET_DESCRIPTOR));
    _URB_ISOCH_TRANSFER& iso = urb->UrbIsochronousTransfer;
    iso.PipeHandle = kPipeHandle;
    iso.TransferBufferLength = 64;
    iso.TransferBufferMDL = mdl; // no buffer address: the MDL's system address stands for it
    iso.StartFrame = 100;
    iso.NumberOfPackets = 4;
    iso.ErrorCount = 1;
    USBD_ISO_PACKET_DESCRIPTOR* packets = iso.IsoPacket;
    const ULONG lengths[4] = {0, 10, 0, 5};
    for (int i = 0; i < 4; ++i) {
        packets[i].Offset = 16 * i;
        packets[i].Length = lengths[i];
    }
    Write(urb, false, &kBulkOut);
    ReadRecord r = Only();
    ASSERT_EQ(r.dataSize, 66u + 64);
    const uint8_t* p = r.Payload().data();
    EXPECT_EQ(tdl::LoadLe<ULONG>(p + 42), 100u);
    EXPECT_EQ(tdl::LoadLe<ULONG>(p + 46), 4u);
    EXPECT_EQ(tdl::LoadLe<ULONG>(p + 50), 2u);
    EXPECT_EQ(tdl::LoadLe<ULONG>(p + 54), 1u);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(p + 58), reinterpret_cast<ULONG64>(data));
    EXPECT_EQ(Part2(r, 66), std::vector<uint8_t>(data, data + 64));
    IoFreeMdl(mdl);
}

TEST_F(UrbRecordTest, ReturnFunctionWordCarriesTheRequestTypeOfControlRequests) {
    PURB vendor = NewUrb(URB_FUNCTION_VENDOR_INTERFACE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST));
    vendor->UrbControlVendorClassRequest.Request = 0x34;
    vendor->UrbControlVendorClassRequest.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
    PURB control = NewUrb(URB_FUNCTION_CONTROL_TRANSFER, sizeof(_URB_CONTROL_TRANSFER));
    std::memcpy(control->UrbControlTransfer.SetupPacket, "\xA1\x01\x00\x01\x00\x00\x08\x00", 8);
    PURB bulk = NewUrb(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER | 0x2000, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    bulk->UrbBulkOrInterruptTransfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
    const struct {
        PURB urb;
        ULONG word;
    } cases[] = {{vendor, 0x34C10018}, {control, 0x01A10008}, {bulk, 0x2009}};
    for (const auto& c : cases) {
        URB_RECORD record;
        ASSERT_TRUE(UrbRecordOpen(&record, c.urb));
        EXPECT_EQ(UrbRecordReturnFunction(&record), c.word);
    }
}

TEST_F(UrbRecordTest, AnUrbThatIsNotValidMemoryGivesNoRecord) {
    URB_RECORD record;
    EXPECT_FALSE(UrbRecordOpen(&record, nullptr));
    // A control transfer whose memory ends before its setup packet.
    PURB shortUrb = NewUrb(URB_FUNCTION_CONTROL_TRANSFER, 136, 64);
    EXPECT_FALSE(UrbRecordOpen(&record, shortUrb));
}

} // namespace
} // namespace drvlog_test
