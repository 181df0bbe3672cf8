// The structures hub-interface calls carry: device, controller and hub information, performance counters,
// pipe information, descriptors and the error blocks, laid out through the published x64 layouts.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/decoders/framework/GridOutputImp.h"
#include "common/RecordTags.h"
#include "hubbusif.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"
#include "tests/support/RecordingDataBar.h"
#include "usb.h"

namespace {

using tdl::test::ArgBlock;

constexpr ULONG kFailed = 0xC0000001;

std::vector<uint8_t> Call(ULONG tag, ULONG index, const std::vector<uint8_t>& args, ULONG returned = 0) {
    return tdl::test::CallRecord(tag, index, tdl::test::kCallBusContext, tdl::test::kCallHandle, returned, args);
}

std::string Shown(const _LOGHDR* record) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(nullptr, record));
    return pane.Shown("IHUB");
}
std::string Shown(const std::vector<uint8_t>& record) {
    return Shown(reinterpret_cast<const _LOGHDR*>(record.data()));
}
std::string ShownAt(const std::vector<uint8_t>& record, ULONG dataSize) {
    return Shown(tdl::test::RecordCopy(record, dataSize).Header());
}

// The grid's open groups after the body: the title's category alone when every group was closed.
uint32_t OpenGroupsAfterBody(const std::vector<uint8_t>& record) {
    tdl::test::LogDetailsPane pane;
    GridOutputImp grid(&pane);
    std::unique_ptr<LogOutputer> decoder(
        LogOutputer::Create(&grid, nullptr, reinterpret_cast<const _LOGHDR*>(record.data())));
    decoder->OutputKindTitle(OUTPUT_MODE_GRID);
    return grid.GetItemStack().GetCount();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

constexpr USB_ENDPOINT_DESCRIPTOR kInterruptIn{7, 5, 0x81, 3, 8, 10};

// QueryDeviceInformation's completion: two pipes by ActualLength (76), five by NumberOfOpenPipes.
std::vector<uint8_t> DeviceInformation(ULONG status = 0) {
    USB_DEVICE_INFORMATION_0 info{};
    info.InformationLevel = 0;
    info.ActualLength = 76;
    info.PortNumber = 2;
    info.DeviceDescriptor = {18, 1, 0x0200, 0, 0, 0, 64, 0x1234, 0x5678, 0x0100, 1, 2, 3, 1};
    info.CurrentConfigurationValue = 1;
    info.DeviceAddress = 5;
    info.HubAddress = 1;
    info.DeviceSpeed = static_cast<USB_DEVICE_SPEED>(2);
    info.DeviceType = static_cast<USB_DEVICE_TYPE>(1);
    info.NumberOfOpenPipes = 5;
    info.PipeList[0] = {kInterruptIn, {0}, 0x11};
    const USB_PIPE_INFORMATION_0 second{{7, 5, 0x02, 2, 64, 0}, {0}, 0x22};
    return Call(LogTag::buhC, 6, ArgBlock().U32(0x100).U32(76).Struct(info).Struct(second), status);
}

TEST(HubifStructuresTest, DeviceInformationByThePublishedLayout) {
    const std::string shown = Shown(DeviceInformation());
    EXPECT_TRUE(Has(shown, "  USB_DEVICE_INFORMATION_0 =\n"
                           "    InformationLevel = 0x00000000\n"
                           "    ActualLength = 0x0000004c\n"
                           "    PortNumber = 0x00000002\n"
                           "    Device Descriptor =\n"))
        << shown;
    // The descriptor's decoder closes its own group: the fields behind it stay in the structure's.
    EXPECT_TRUE(Has(shown, "\n    CurrentConfigurationValue = 0x01\n"
                           "    ReservedMBZ = 0x00\n"
                           "    DeviceAddress = 0x0005\n"
                           "    HubAddress = 0x00000001\n"
                           "    DeviceSpeed = 0x00000002 (High Speed)\n"
                           "    DeviceType = 0x00000001 (USB 2.0)\n"
                           "    NumberOfOpenPipes = 0x00000005\n"
                           "    USB_PIPE_INFORMATION_0 = Pipe 0\n"))
        << shown;
    EXPECT_TRUE(Has(shown, "    USB_PIPE_INFORMATION_0 = Pipe 1\n")) << shown;
    EXPECT_TRUE(Has(shown, "      ScheduleOffset = 0x00000022\n")) << shown;
    EXPECT_FALSE(Has(shown, "Pipe 2"));
    EXPECT_TRUE(Has(shown, "\n  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n")) << shown;
    EXPECT_EQ(1u, OpenGroupsAfterBody(DeviceInformation()));
    const std::string xml = tdl::test::BodyCalls(nullptr, DeviceInformation(), OUTPUT_MODE_XML);
    EXPECT_TRUE(Has(xml, "BeginSection|USB_PIPE_INFORMATION_0|Pipe|1\n")) << xml;
}

TEST(HubifStructuresTest, DeviceInformationSizes) {
    const std::vector<uint8_t> record = DeviceInformation();
    // 40 bytes: the length returned (76) is more than the block holds.
    const std::string invalid = ShownAt(record, 40);
    EXPECT_EQ("Outputs =\n"
              "  Input Buffer Length = 0x00000100\n"
              "  Length Returned = 0x0000004c\n"
              "  USB_DEVICE_INFORMATION_0 = Invalid buffer {0x0000FF}\n"
              "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n",
              invalid.substr(invalid.find("Outputs")));
    // Short of ActualLength's second pipe, the list ends with the first.
    const std::vector<uint8_t>& full = record;
    std::vector<uint8_t> block(full.begin() + LOGHDR_SIZE, full.end() - 4 - 12);
    tdl::StoreLe<ULONG>(block.data() + 4, static_cast<ULONG>(block.size() - 8));
    const std::string cut = Shown(Call(LogTag::buhC, 6, block));
    EXPECT_TRUE(Has(cut, "Pipe 0")) << cut;
    EXPECT_FALSE(Has(cut, "Pipe 1"));
    EXPECT_TRUE(Has(cut, "Truncated = 72 of 84 payload bytes")) << cut;
    for (const std::vector<uint8_t>& none :
         {Call(LogTag::buhI, 6, std::vector<uint8_t>(full.begin() + LOGHDR_SIZE, full.end() - 4)),
          DeviceInformation(kFailed)})
        EXPECT_FALSE(Has(Shown(none), "USB_DEVICE_INFORMATION_0"));
}

TEST(HubifStructuresTest, ExtendedHubPortsByLengthAndCount) {
    struct Case {
        ULONG ports;
        ULONG lengthReturned;
        ULONG entries;
    } cases[] = {{4, 264, 16}, {255, 72, 4}};
    for (const Case& c : cases) {
        ArgBlock block;
        block.U32(0x1000).U32(c.lengthReturned).U32(0).U32(c.ports);
        for (ULONG i = 0; i < c.entries; ++i)
            block.Struct(USB_EXTPORT_INFORMATION_0{i + 1, i + 1, 0, 0, 0});
        const std::string shown = Shown(Call(LogTag::buhC, 9, block));
        EXPECT_TRUE(Has(shown, "    USB_EXTPORT_INFORMATION_0 = Port 3\n      PhysicalPortNumber = 0x00000004\n"))
            << shown;
        EXPECT_FALSE(Has(shown, "Port 4")) << c.ports;
    }
}

TEST(HubifStructuresTest, PerformanceInformationWholeOrNothing) {
    ArgBlock block;
    block.U32(0x100).U32(88);
    for (ULONG i = 0; i < 22; ++i)
        block.U32(i);
    const std::vector<uint8_t> record = Call(LogTag::buhC, 25, block);
    EXPECT_FALSE(Has(ShownAt(record, 95), "USB_DEVICE_PERFORMANCE_INFO_0"));
    const std::string shown = ShownAt(record, 96);
    EXPECT_TRUE(Has(shown, "    InterruptUrbCount = 0x00000009\n"
                           "    AllocedInterrupts =\n"
                           "      AllocedInterrupt.0 = 0x0000000a\n"))
        << shown;
    EXPECT_TRUE(Has(shown, "      AllocedInterrupt.5 = 0x0000000f\n"
                           "    AllocedIso = 0x00000010\n"))
        << shown;
    EXPECT_TRUE(Has(shown, "    TransferErrors = 0x00000015\n")) << shown;
}

TEST(HubifStructuresTest, PipeInformationInFieldOrder) {
    USBD_PIPE_INFORMATION pipe{};
    pipe.MaximumPacketSize = 0x40;
    pipe.EndpointAddress = 0x81;
    pipe.Interval = 10;
    pipe.PipeType = static_cast<USBD_PIPE_TYPE>(3);
    pipe.PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(0xFFFFA80077770000);
    pipe.MaximumTransferSize = 0x1000;
    pipe.PipeFlags = 0;
    const std::vector<uint8_t> args = ArgBlock().U64(0xFFFFA80066660000).U32(2).U32(0).Struct(pipe);
    EXPECT_EQ("HUB Interface = CalculatePipeBandwidth\n"
              "Inputs =\n"
              "  BusContext = 0xffffa80000001000\n"
              "  PipeInfo = 0xffffa80066660000\n"
              "  USBD_PIPE_INFORMATION = PipeInfo\n"
              "    EndpointAddress = 0x81 (IN,1)\n"
              "    PipeType = Interrupt\n"
              "    MaximumPacketSize = 0x0040\n"
              "    MaximumTransferSize = 0x00001000\n"
              "    Interval = 0x0a\n"
              "    PipeFlags = 0x00000000\n"
              "    PipeHandle = 0xffffa80077770000\n"
              "  DeviceSpeed = 0x00000002 (UsbHighSpeed)\n"
              "Outputs =\n"
              "  Return Bandwidth ULONG = 0x00000064\n",
              Shown(Call(LogTag::buhC, 21, args, 100)));
}

TEST(HubifStructuresTest, DescriptorsPickTheConfigurationDecoderByLength) {
    const uint8_t device[18] = {18, 1, 0, 2, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};
    const uint8_t configuration[25] = {9, 2, 25, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0,
                                       1, 3, 0,  0, 0, 7, 5, 0x81, 3,  8, 0, 10};
    for (ULONG length : {9u, 25u}) {
        ArgBlock block;
        block.U32(18).U32(length);
        for (uint8_t b : device)
            block.U8(b);
        for (ULONG i = 0; i < length; ++i)
            block.U8(configuration[i]);
        const std::string shown = Shown(Call(LogTag::buhC, 2, block));
        EXPECT_EQ(1u, OpenGroupsAfterBody(Call(LogTag::buhC, 2, block)));
        EXPECT_TRUE(Has(shown, "  USB Descriptors =\n    Device Descriptor =\n")) << shown;
        EXPECT_EQ(length == 9, Has(shown, "    Configuration Descriptor =\n")) << shown;
        EXPECT_EQ(length == 25, Has(shown, "    Full Configuration Descriptor =\n")) << shown;
        EXPECT_TRUE(Has(shown, "\n  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n")) << shown;
        EXPECT_FALSE(Has(shown, "Truncated"));
    }
    // Lengths beyond the record: what is there, once "Truncated".
    const std::string huge = Shown(Call(LogTag::buhC, 2, ArgBlock().U32(0xFFFFFFFF).U32(0xFFFFFFFF).U8(18).U8(1)));
    EXPECT_TRUE(Has(huge, "Truncated")) << huge;
}

TEST(HubifStructuresTest, TheHtmlReportGetsNoDescriptorTables) {
    const uint8_t device[18] = {18, 1, 0, 2, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};
    const uint8_t configuration[18] = {9, 2, 18, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 3, 0, 0, 0};
    ArgBlock descriptors;
    descriptors.U32(18).U32(18);
    for (uint8_t b : device)
        descriptors.U8(b);
    for (uint8_t b : configuration)
        descriptors.U8(b);
    for (const std::vector<uint8_t>& record : {DeviceInformation(), Call(LogTag::buhC, 2, descriptors)}) {
        const std::string calls = tdl::test::BodyCalls(nullptr, record, OUTPUT_MODE_HTML);
        for (const char* table : {"BeginTable", "WriteHeaderRow", "WriteValue"})
            EXPECT_FALSE(Has(calls, table)) << calls;
        // The grid still shows the descriptors.
        EXPECT_TRUE(Has(Shown(record), "Device Descriptor =\n"));
    }
}

// CreateUsbDeviceEx's block: its arguments (24 bytes), then the creation error block.
std::vector<uint8_t> CreateDeviceEx(LONG pathError) {
    USB_CD_ERROR_INFORMATION error{};
    error.Version = 1;
    error.PathError = static_cast<USBPORT_CREATEDEV_ERROR>(pathError);
    error.NtStatus = static_cast<NTSTATUS>(kFailed);
    for (int i = 0; i < 64; ++i)
        error.XtraInfo[i] = static_cast<UCHAR>(i + 0xA0);
    return Call(LogTag::buhC, 16,
                ArgBlock().U16(1).U16(0x0103).U16(0).U16(0).U64(0xFFFFA80099990000).U64(0).Struct(error), kFailed);
}

TEST(HubifStructuresTest, CreationErrorBlockWhenWholeWithItsExtraInformation) {
    const std::vector<uint8_t> record = CreateDeviceEx(7);
    EXPECT_FALSE(Has(ShownAt(record, 107), "ErrInfo = "));
    tdl::test::RecordingDataBar bar;
    const std::string shown = ShownAt(record, 108);
    EXPECT_TRUE(Has(shown, "  UsbdDeviceHandle = 0xffffa80099990000\n"
                           "  ErrInfo = USB_CD_ERROR_INFORMATION\n"
                           "    Version = 0x00000001\n"
                           "    PathError = 0x00000007 (CreateDevBadDevHandlePtr)\n"
                           "    UlongArg1 = 0x00000000\n"
                           "    UlongArg2 = 0x00000000\n"
                           "    NtStatus = 0xc0000001\n"
                           "    XtraInfo =\n"
                           "  ReturnStatus (NTSTATUS) = STATUS_UNSUCCESSFUL (0xc0000001) {0x0000FF}\n"))
        << shown;
    EXPECT_EQ("  XtraInfo[64] - record #21", bar.Title());
    ASSERT_EQ(64u, bar.Bytes().size());
    EXPECT_EQ(0, std::memcmp(bar.Bytes().data(), record.data() + LOGHDR_SIZE + 24 + 20, 64));
    EXPECT_TRUE(Has(Shown(CreateDeviceEx(8)), "    PathError = 0x00000008 (Error_8)\n"));
    std::string hex;
    for (int i = 0; i < 64; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", i + 0xA0);
        hex += digits;
    }
    EXPECT_TRUE(Has(tdl::test::BodyCalls(nullptr, record, OUTPUT_MODE_XML), "WriteValue|XtraInfo|" + hex + "\n"));
}

TEST(HubifStructuresTest, InitialisationAndV7ErrorBlocks) {
    USB_ID_ERROR_INFORMATION error{};
    error.PathError = static_cast<USBPORT_INITDEV_ERROR>(5);
    error.UsbdStatus = static_cast<USBD_STATUS>(0xC0000004);
    const std::vector<uint8_t> init = Call(LogTag::buhC, 17, ArgBlock().U64(0xFFFFA80012120000).Struct(error), kFailed);
    EXPECT_FALSE(Has(ShownAt(init, 95), "ErrInfo = "));
    const std::string shown = ShownAt(init, 96);
    EXPECT_TRUE(Has(shown, "  ErrInfo = USB_ID_ERROR_INFORMATION\n"
                           "    Version = 0x00000000\n"
                           "    PathError = 0x00000005 (Error_5)\n"))
        << shown;
    EXPECT_TRUE(Has(shown, "    UsbdStatus = USBD_STATUS_STALL_PID {0x0000FF}\n    as LONG = 0xc0000004\n")) << shown;

    // V7 puts its block behind its own 40 bytes of arguments, after the status.
    USB_CD_ERROR_INFORMATION created{};
    created.PathError = static_cast<USBPORT_CREATEDEV_ERROR>(3);
    const std::vector<uint8_t> v7 = Call(LogTag::buhC, 31,
                                         ArgBlock()
                                             .Bytes({1, 2, 0, 0, 0, 0, 0, 0})
                                             .U16(2)
                                             .U16(0x0103)
                                             .U16(0)
                                             .U16(0)
                                             .U64(0xFFFFA80099990000)
                                             .U64(0)
                                             .U64(0xFFFFA80055550000)
                                             .Struct(created));
    EXPECT_FALSE(Has(ShownAt(v7, 123), "ErrInfo = "));
    const std::string v7Shown = ShownAt(v7, 124);
    EXPECT_TRUE(Has(v7Shown, "  ReturnStatus (NTSTATUS) = STATUS_SUCCESS (0x00000000)\n"
                             "  ErrInfo = USB_CD_ERROR_INFORMATION\n"
                             "    Version = 0x00000000\n"
                             "    PathError = 0x00000003 (CreateDevFailedOpenEndpoint)\n"))
        << v7Shown;
    EXPECT_TRUE(Has(v7Shown, "  PortPath = 01 02 \n")) << v7Shown;
}

} // namespace
