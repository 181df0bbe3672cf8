// The I and C payloads of every host-controller, hub, HID and internal USB IOCTL code, sent to a hooked
// device through the I/O manager in the code's own transfer method, answered by the device and read back
// from the capture log. Rows that return less than the buffer, claim more than it, fail, or point at memory
// that is not there show that every copy stays within what the request has.
#include <cstring>

#include "common/RecordTags.h"
#include "hidclass.h"
#include "tests/driver/CaptureIoctlFixture.h"
#include "usbioctl.h"

namespace capturetest {
namespace {

struct PayloadCase {
    const char* name;
    StackKind stack;
    IoctlRequest request;
    const char* initiated; // expected payloads (ExpectedPayload)
    const char* completed;
};

class IoctlPayloads : public IoctlCaptureFixture {
protected:
    // Pool memory holding `bytes` (a structure an argument points to).
    PUCHAR Bytes(const std::vector<uint8_t>& bytes) {
        PUCHAR memory = Allocate(static_cast<ULONG>(bytes.size()));
        std::memcpy(memory, bytes.data(), bytes.size());
        return memory;
    }

    void Check(const std::vector<PayloadCase>& cases) {
        for (const PayloadCase& c : cases) {
            SCOPED_TRACE(c.name);
            MakeStack(c.stack);
            const IoctlSent sent = Send(c.request);
            const ULONG kind = c.request.internal                                  ? LogTag::KindUin
                               : DEVICE_TYPE_FROM_CTL_CODE(c.request.code) == 0x0B ? LogTag::KindHid
                               : c.stack == StackKind::Hub                         ? LogTag::KindHub
                                                                                   : LogTag::KindHcd;
            const std::vector<ReadRecord>& records = sent.records;
            ASSERT_EQ(records.size(), 3u);
            EXPECT_EQ(records[0].tag, LogTag::Make(kind, 'I'));
            EXPECT_EQ(records[1].tag, LogTag::Make(kind, 'C'));
            EXPECT_EQ(records[2].tag, LogTag::Make(kind, 'R'));
            for (const ReadRecord& record : records) {
                EXPECT_EQ(record.function, c.request.code);
            }
            EXPECT_EQ(records[2].dataSize, 0u);
            EXPECT_EQ(HeaderStatus(records[1]), static_cast<ULONG>(c.request.status));
            EXPECT_EQ(Hex(records[0].Payload()), Hex(ExpectedPayload(c.initiated, c.request, sent)));
            EXPECT_EQ(Hex(records[1].Payload()), Hex(ExpectedPayload(c.completed, c.request, sent)));
        }
    }
};

// A USBUSER request header: request code, status, buffer length, returned length.
std::vector<uint8_t> UserHeader(ULONG request, ULONG length, ULONG actual, size_t size) {
    std::vector<uint8_t> bytes(size);
    const ULONG fields[4] = {request, 0, length, actual};
    std::memcpy(bytes.data(), fields, sizeof fields);
    return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

constexpr NTSTATUS kFailed = STATUS_UNSUCCESSFUL;

TEST_F(IoctlPayloads, HostControllerCodes) {
    const auto hcd = StackKind::HostController;
    Check({
        {"statistics 1",
         hcd,
         {.code = 0x2203FC, .outputLength = 44, .answer = Counting(44), .information = 44},
         "2c000000",
         "{answer}"},
        {"statistics 1, ten bytes returned",
         hcd,
         {.code = 0x2203FC, .outputLength = 44, .answer = Counting(44), .information = 10},
         "2c000000",
         "{answer:10}"},
        {"statistics 2",
         hcd,
         {.code = 0x220428, .outputLength = 120, .answer = Counting(120), .information = 120},
         "78000000",
         "{answer}"},
        {"statistics 2, failed", hcd, {.code = 0x220428, .outputLength = 120, .status = kFailed}, "78000000", ""},
        {"root hub name",
         hcd,
         {.code = 0x220408, .outputLength = 20, .answer = Counting(20, 0x40), .information = 20},
         "14000000",
         "{answer}"},
        {"driver key name, more claimed than the buffer holds",
         hcd,
         {.code = 0x220424, .outputLength = 12, .answer = Counting(12), .information = 200},
         "0c000000",
         "{answer}"},
        {"port disable", hcd, {.code = 0x220430, .input = {3, 0, 0, 0}}, "03000000", ""},
        {"port enable without a port", hcd, {.code = 0x220434}, "ffffffff", ""},
        {"user request for the controller information",
         hcd,
         {.code = 0x220438,
          .input = UserHeader(1, 40, 0, 40),
          .outputLength = 40,
          .answer = UserHeader(1, 40, 40, 16) + Counting(24, 0x80),
          .information = 40},
         "28000000 28000000 {sb} {input}",
         "28000000 28000000 {sb} {answer}"},
        {"user request for the controller information, 24 bytes returned",
         hcd,
         {.code = 0x220438,
          .input = UserHeader(1, 40, 0, 40),
          .outputLength = 40,
          .answer = UserHeader(1, 40, 24, 16) + Counting(24, 0x80),
          .information = 24},
         "28000000 28000000 {sb} {input}",
         "28000000 28000000 {sb} {answer:24}"},
        {"user request of another kind",
         hcd,
         {.code = 0x220438,
          .input = UserHeader(4, 16, 0, 16),
          .outputLength = 16,
          .answer = UserHeader(4, 16, 16, 16),
          .information = 16},
         "10000000 10000000 {sb} {input}",
         "10000000 10000000 {sb} {answer}"},
        {"user request shorter than its header",
         hcd,
         {.code = 0x220438, .input = {1, 0, 0, 0, 8, 0, 0, 0}},
         "08000000 00000000 {sb} {zero:16}",
         "08000000 00000000 {sb} {zero:16}"},
        // The header is taken before the call when the output length covers it, at completion when the input
        // length does.
        {"user request with no room for the header's answer",
         hcd,
         {.code = 0x220438, .input = UserHeader(4, 16, 0, 16), .outputLength = 8, .information = 8},
         "10000000 08000000 {sb} {zero:16}",
         "10000000 08000000 {sb} {input}"},

        {"a code without a payload", hcd, {.code = IOCTL_USB_DIAGNOSTIC_MODE_ON}, "", ""},
    });
}

TEST_F(IoctlPayloads, HubCodes) {
    const auto hub = StackKind::Hub;
    Check({
        {"connection information",
         hub,
         {.code = 0x22040C, .input = {2, 0, 0, 0}, .outputLength = 35, .answer = Counting(35), .information = 35},
         "02000000",
         "{answer}"},
        {"connection name",
         hub,
         {.code = 0x220414, .input = {1, 0, 0, 0}, .outputLength = 20, .answer = Counting(20), .information = 20},
         "01000000",
         "{answer}"},
        {"connection driver key, twelve bytes returned",
         hub,
         {.code = 0x220420, .input = {3, 0, 0, 0}, .outputLength = 40, .answer = Counting(40), .information = 12},
         "03000000",
         "{answer:12}"},
        {"connection attributes",
         hub,
         {.code = 0x220440, .input = {4, 0, 0, 0}, .outputLength = 16, .answer = Counting(16), .information = 16},
         "04000000",
         "{answer}"},
        {"connection information ex, more claimed than the buffer holds",
         hub,
         {.code = 0x220448, .input = {1, 0, 0, 0}, .outputLength = 36, .answer = Counting(36), .information = 4096},
         "01000000",
         "{answer}"},
        {"connection information, failed",
         hub,
         {.code = 0x22040C, .input = {2, 0, 0, 0}, .outputLength = 35, .status = kFailed},
         "02000000",
         ""},
        {"cycle port", hub, {.code = 0x220444, .input = {7, 0, 0, 0}, .outputLength = 4}, "07000000", "07000000"},
        {"descriptor from a port",
         hub,
         {.code = 0x220410,
          .input = Counting(12, 0x10),
          .outputLength = 30,
          .answer = Counting(30, 0x60),
          .information = 30},
         "{input}",
         "{answer}"},
        {"node information",
         hub,
         {.code = 0x220408, .outputLength = 76, .answer = Counting(76), .information = 76},
         "",
         "{answer}"},
        {"hub capabilities",
         hub,
         {.code = 0x22043C, .outputLength = 4, .answer = {1, 0, 0, 0}, .information = 4},
         "",
         "{answer}"},
        {"hub capabilities ex",
         hub,
         {.code = 0x220450, .outputLength = 4, .answer = {3, 0, 0, 0}, .information = 4},
         "",
         "{answer}"},
        {"a code without a payload", hub, {.code = IOCTL_USB_GET_HUB_INFORMATION_EX, .outputLength = 8}, "", ""},
    });
}

TEST_F(IoctlPayloads, HidCodes) {
    const auto hid = StackKind::Plain; // a HID collection: its parent has capture on
    Check({
        {"get driver config",
         hid,
         {.code = IOCTL_HID_GET_DRIVER_CONFIG,
          .outputLength = 8,
          .answer = {8, 0, 0, 0, 32, 0, 0, 0},
          .information = 8},
         "",
         "{answer}"},
        {"set driver config",
         hid,
         {.code = IOCTL_HID_SET_DRIVER_CONFIG, .input = {8, 0, 0, 0, 64, 0, 0, 0}},
         "{input}",
         ""},
        {"get poll frequency",
         hid,
         {.code = IOCTL_HID_GET_POLL_FREQUENCY_MSEC, .outputLength = 4, .answer = {10, 0, 0, 0}, .information = 4},
         "",
         "{answer}"},
        {"get input buffers, two bytes returned",
         hid,
         {.code = IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS, .outputLength = 4, .answer = {32, 1, 0, 0}, .information = 2},
         "",
         "20010000"},
        {"set poll frequency", hid, {.code = IOCTL_HID_SET_POLL_FREQUENCY_MSEC, .input = {20, 0, 0, 0}}, "{input}", ""},
        {"set input buffers", hid, {.code = IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS, .input = {64, 0, 0, 0}}, "{input}", ""},
        {"set feature",
         hid,
         {.code = IOCTL_HID_SET_FEATURE, .input = {3, 1, 2, 3, 4}},
         "05000000 03000000 {sb} {input}",
         ""},
        {"set output report",
         hid,
         {.code = IOCTL_HID_SET_OUTPUT_REPORT, .input = {0, 9, 9}},
         "03000000 00000000 {sb} {input}",
         ""},
        {"get feature",
         hid,
         {.code = IOCTL_HID_GET_FEATURE,
          .outputLength = 6,
          .output = {2},
          .answer = {2, 0xA, 0xB, 0xC, 0xD, 0xE},
          .information = 6},
         "06000000 02000000 {mdl} {output}",
         "06000000 02000000 {mdl} {answer}"},
        {"get feature, failed",
         hid,
         {.code = IOCTL_HID_GET_FEATURE, .outputLength = 6, .output = {2}, .status = kFailed},
         "06000000 02000000 {mdl} {output}",
         "06000000 02000000 {mdl}"},
        {"get input report",
         hid,
         {.code = IOCTL_HID_GET_INPUT_REPORT,
          .outputLength = 4,
          .output = {1},
          .answer = {1, 5, 6, 7},
          .information = 4},
         "04000000 01000000 {mdl}",
         "04000000 01000000 {mdl} {answer}"},
        {"collection information",
         hid,
         {.code = IOCTL_HID_GET_COLLECTION_INFORMATION,
          .input = {0}, // the system buffer's first byte, before the call
          .outputLength = 12,
          .answer = Counting(12),
          .information = 12},
         "0c000000 00000000 {sb}",
         "0c000000 0c000000 {sb} {answer}"},
        {"collection descriptor, from the caller's buffer",
         hid,
         {.code = IOCTL_HID_GET_COLLECTION_DESCRIPTOR,
          .outputLength = 20,
          .answer = Counting(20, 0x30),
          .information = 20},
         "14000000 00000000 {ub}",
         "14000000 14000000 {ub} {answer}"},
        {"collection descriptor, eight bytes returned",
         hid,
         {.code = IOCTL_HID_GET_COLLECTION_DESCRIPTOR,
          .outputLength = 20,
          .answer = Counting(20, 0x30),
          .information = 8},
         "14000000 00000000 {ub}",
         "14000000 08000000 {ub} {answer:8}"},
        {"physical descriptor",
         hid,
         {.code = IOCTL_GET_PHYSICAL_DESCRIPTOR, .outputLength = 16, .answer = Counting(16), .information = 16},
         "10000000 00000000 {mdl}",
         "10000000 10000000 {mdl} {answer}"},
        {"hardware ID, ten bytes returned",
         hid,
         {.code = IOCTL_HID_GET_HARDWARE_ID, .outputLength = 16, .answer = Counting(16), .information = 10},
         "10000000 00000000 {mdl}",
         "10000000 0a000000 {mdl} {answer:10}"},
        {"manufacturer",
         hid,
         {.code = IOCTL_HID_GET_MANUFACTURER_STRING,
          .outputLength = 8,
          .answer = {'M', 0, 'a', 0, 'k', 0, 0, 0},
          .information = 8},
         "08000000 00000000 {mdl}",
         "08000000 08000000 {mdl} {answer}"},
        {"product",
         hid,
         {.code = IOCTL_HID_GET_PRODUCT_STRING, .outputLength = 6, .answer = {'P', 0, 'r', 0, 0, 0}, .information = 6},
         "06000000 00000000 {mdl}",
         "06000000 06000000 {mdl} {answer}"},
        {"serial number",
         hid,
         {.code = IOCTL_HID_GET_SERIALNUMBER_STRING, .outputLength = 4, .answer = {'1', 0, 0, 0}, .information = 4},
         "04000000 00000000 {mdl}",
         "04000000 04000000 {mdl} {answer}"},
        {"indexed string",
         hid,
         {.code = IOCTL_HID_GET_INDEXED_STRING,
          .input = {2, 0, 0, 0, 9, 4, 0, 0},
          .outputLength = 16,
          .answer = Counting(12, 0x41),
          .information = 12},
         "10000000 08000000 {mdl} {sb} 02000000",
         "10000000 08000000 {mdl} {sb} 02000000 {answer}"},
        {"a code without a payload", hid, {.code = IOCTL_HID_FLUSH_QUEUE}, "", ""},
    });
}

TEST_F(IoctlPayloads, InternalCodes) {
    const auto plain = StackKind::Plain;
    // Arguments: pool memory the device answers through, and memory that is not there.
    PUCHAR eight1 = Allocate(8);
    PUCHAR eight2 = Allocate(8);
    PUCHAR four = Allocate(4);
    PUCHAR parent = Allocate(8);
    PUCHAR port = Allocate(4);
    PUCHAR hubHandle = Allocate(8);
    PUCHAR topology = Allocate(32);
    PUCHAR callback = Bytes(Counting(16, 0x50));
    PUCHAR failure = Bytes({12, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    PUCHAR hugeFailure = Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4});
    PUCHAR name = Bytes(Counting(10, 0x61));
    PUCHAR tt = Bytes({6, 0, 0, 0});
    PUCHAR handleEx = Allocate(8);
    PUCHAR hubEx = Allocate(8);
    PUCHAR ttHandle = Allocate(8);
    auto* missing = reinterpret_cast<PVOID>(0x10);

    // A device-config block with its three strings.
    PUCHAR hardwareId = Bytes({'H', 0, 'W', 0, 0, 0});
    PUCHAR compatibleId = Bytes({'C', 0, 0, 0});
    PUCHAR description = Bytes({'D', 0, 'e', 0, 's', 0, 0, 0});
    HUB_DEVICE_CONFIG_INFO info = {};
    info.Version = 1;
    info.Length = sizeof info;
    info.HardwareIds = {0x409, 0, 6, reinterpret_cast<PWCHAR>(hardwareId)};
    info.CompatibleIds = {0x409, 0, 4, reinterpret_cast<PWCHAR>(compatibleId)};
    info.DeviceDescription = {0x409, 0, 8, reinterpret_cast<PWCHAR>(description)};
    PUCHAR config = Allocate(sizeof info);
    std::memcpy(config, &info, sizeof info);
    std::vector<uint8_t> configBytes(config, config + sizeof info);

    auto write = [](PUCHAR to, std::vector<uint8_t> bytes) {
        return [to, bytes](PIRP) { std::memcpy(to, bytes.data(), bytes.size()); };
    };
    std::vector<PayloadCase> cases = {
        {"root hub PDO",
         plain,
         {.code = 0x22000F,
          .internal = true,
          .arguments = {eight1, eight2},
          .device =
              [&](PIRP) {
                  std::memcpy(eight1, Counting(8, 0x10).data(), 8);
                  std::memcpy(eight2, Counting(8, 0x20).data(), 8);
              }},
         "{zero:16}",
         "1011121314151617 2021222324252627"},
        {"root hub PDO, failed",
         plain,
         {.code = 0x22000F, .internal = true, .arguments = {eight1, eight2}, .status = kFailed},
         "{zero:16}",
         "{zero:16}"},
        {"port status",
         plain,
         {.code = 0x220013, .internal = true, .arguments = {four}, .device = write(four, {3, 0, 0, 0})},
         "00000000",
         "03000000"},
        {"hub count",
         plain,
         {.code = 0x22001B, .internal = true, .arguments = {four}, .device = write(four, {2, 0, 0, 0})},
         "00000000",
         "02000000"},
        {"hub count through a pointer that is not there",
         plain,
         {.code = 0x22001B, .internal = true, .arguments = {missing}},
         "00000000",
         "00000000"},
        {"hub name",
         plain,
         {.code = 0x220020,
          .internal = true,
          .input = std::vector<uint8_t>(20), // what the system buffer holds before the call
          .outputLength = 20,
          .answer = Counting(20),
          .information = 20},
         "{input}",
         "{answer}"},
        {"idle notification",
         plain,
         {.code = 0x220027, .internal = true, .arguments = {nullptr, nullptr, nullptr, callback}},
         "505152535455565758595a5b5c5d5e5f",
         "505152535455565758595a5b5c5d5e5f"},
        {"idle notification without its callback",
         plain,
         {.code = 0x220027, .internal = true},
         "{zero:16}",
         "{zero:16}"},
        {"failure record",
         plain,
         {.code = 0x22002B, .internal = true, .arguments = {failure}},
         "0c000000",
         "0c000000 0c000000 0102030405060708"},
        {"failure record claiming more than its memory",
         plain,
         {.code = 0x22002B, .internal = true, .arguments = {hugeFailure}},
         "ffffff7f",
         "ffffff7f ffffff7f01020304 {bang:4088}"},
        {"failure record that is not there",
         plain,
         {.code = 0x22002B, .internal = true, .arguments = {missing}},
         "00000000",
         "00000000"},
        {"controller name",
         plain,
         {.code = 0x220424, .internal = true, .arguments = {name, reinterpret_cast<PVOID>(10)}},
         "0a000000",
         "0a000000 6162636465666768696a"},
        {"parent hub info",
         plain,
         {.code = 0x22042C,
          .internal = true,
          .arguments = {parent, port, nullptr, hubHandle},
          .device =
              [&](PIRP) {
                  std::memcpy(parent, Counting(8, 0x70).data(), 8);
                  std::memcpy(port, Counting(4, 0x80).data(), 4);
                  std::memcpy(hubHandle, Counting(8, 0x90).data(), 8);
              }},
         "",
         "7071727374757677 80818283 9091929394959697"},
        {"device handle",
         plain,
         {.code = 0x220433, .internal = true, .arguments = {eight1}, .device = write(eight1, Counting(8, 0xA0))},
         "",
         "a0a1a2a3a4a5a6a7"},
        {"device handle, failed",
         plain,
         {.code = 0x220433, .internal = true, .arguments = {eight1}, .status = kFailed},
         "",
         ""},
        {"device handle ex",
         plain,
         {.code = 0x220437,
          .internal = true,
          .arguments = {handleEx, hubEx},
          .device =
              [&](PIRP) {
                  std::memcpy(handleEx, Counting(8, 0xB0).data(), 8);
                  std::memcpy(hubEx, Counting(8, 0xC0).data(), 8);
              }},
         "{a1} {a2} {a3} {a4} {zero:8}",
         "{a1} {a2} {a3} {a4} b0b1b2b3b4b5b6b7"},
        {"TT device handle",
         plain,
         {.code = 0x22043B,
          .internal = true,
          .arguments = {ttHandle, nullptr, nullptr, tt},
          .device = write(ttHandle, Counting(8, 0xD0))},
         "{a1} {a2} {a3} {a4} {zero:8} 06000000",
         "{a1} {a2} {a3} {a4} d0d1d2d3d4d5d6d7 06000000"},
        {"topology address",
         plain,
         {.code = 0x22043F, .internal = true, .arguments = {topology}, .device = write(topology, Counting(32, 1))},
         "{a1}",
         "{a1} 0102030405060708090a0b0c0d0e0f10 1112131415161718191a1b1c1d1e1f20"},
        {"topology address that is not there",
         plain,
         {.code = 0x22043F, .internal = true, .arguments = {missing}},
         "{a1}",
         "{a1} {bang:32}"},
        {"device config info",
         plain,
         {.code = 0x22044F, .internal = true, .arguments = {config}},
         "{a1} 01000000 cc000000",
         ""},
    };
    // The config block's completed record: the block whole, then its strings.
    IoctlRequest& configRequest = cases.back().request;
    configRequest.answer = {};
    std::string configExpected =
        "{a1} 01000000 cc000000 " + Hex(configBytes) + " 48005700 0000 4300 0000 44006500 73000000";
    cases.back().completed = configExpected.c_str();
    for (ULONG code : {0x220007u, 0x220017u, 0x22001Fu, 0x220420u, 0x220428u, 0x220443u, 0x220447u, 0x22044Bu}) {
        cases.push_back({"header only", plain, {.code = code, .internal = true}, "", ""});
    }
    Check(cases);
}

} // namespace
} // namespace capturetest
