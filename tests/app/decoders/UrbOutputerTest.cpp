// The URB decoder over built records shaped as the capture driver writes them: the title and the dispatch
// of every function code, the transfers and their data bar, the selections' interface walks, the requests,
// and records cut short.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/settings/AppSettings.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/app/decoders/UrbMarkup.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingDataBar.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace {

using tdl::test::RecordBuilder;

constexpr ULONG kSyncBit = 1u << 13;
constexpr USHORT kHidStack = 2;

template <class T> std::vector<uint8_t> Bytes(const T& part) {
    std::vector<uint8_t> bytes(sizeof part);
    std::memcpy(bytes.data(), &part, sizeof part);
    return bytes;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

URB_RECORD_HEAD Head(ULONG status = 0) {
    URB_RECORD_HEAD head{};
    head.Length = 0x50;
    head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    head.UsbdStatus = status;
    head.DeviceHandle = 0xFFFF800011112222;
    return head;
}

URB_RECORD_PIPE Pipe(UCHAR interfaceNumber, UCHAR endpoint, UCHAR maxPacketLow = 0x40, UCHAR attributes = 2) {
    URB_RECORD_PIPE pipe{};
    pipe.InterfaceNumber = interfaceNumber;
    pipe.EndpointAddress = endpoint;
    pipe.MaxPacketLow = maxPacketLow;
    pipe.Attributes = attributes;
    pipe.PipeHandle = 0xFFFF8000AAAA0000;
    return pipe;
}

std::vector<uint8_t> Record(ULONG tag, ULONG function, const std::vector<uint8_t>& payload, USHORT stack = 0,
                            bool more = false) {
    RecordBuilder builder(tag);
    builder.Function(function).Sequence(7).StackId(stack).Part1(payload);
    if (more)
        builder.More();
    return builder.Build();
}

const _LOGHDR* Header(const std::vector<uint8_t>& record) {
    return reinterpret_cast<const _LOGHDR*>(record.data());
}

// What the Log Details pane shows in its "URB" category.
std::string Shown(const std::vector<uint8_t>& record, CUSBLog* document = nullptr) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(document, Header(record)));
    return pane.Shown("URB");
}

// The calls of one decode in a mode.
std::string Calls(const std::vector<uint8_t>& record, int mode, CUSBLog* document = nullptr) {
    tdl::test::RecordingOutputImp imp;
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&imp, document, Header(record)));
    decoder->OutputKindTitle(mode);
    return imp.Text();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<uint8_t> ControlTransfer(ULONG flags, const std::vector<uint8_t>& setup, ULONG length,
                                     const std::vector<uint8_t>& data, ULONG status = 0, UCHAR endpoint = 0x80) {
    URB_RECORD_CONTROL_TRANSFER part{};
    part.Head = Head(status);
    part.Pipe = Pipe(0, endpoint, 0x40, 0);
    part.TransferFlags = flags;
    part.TransferBufferLength = length;
    part.CapturedLength = static_cast<ULONG>(data.size());
    std::memcpy(part.SetupPacket, setup.data(), 8);
    return Join(Bytes(part), data);
}

// A control-ex completion reading `data` with the setup packet given.
std::vector<uint8_t> ControlTransferEx(const std::vector<uint8_t>& setup, const std::vector<uint8_t>& data) {
    URB_RECORD_CONTROL_TRANSFER_EX part{};
    part.Head = Head();
    part.Pipe = Pipe(0, 0x80, 0x40, 0);
    part.TransferFlags = 1;
    part.TransferBufferLength = static_cast<ULONG>(data.size());
    part.CapturedLength = static_cast<ULONG>(data.size());
    std::memcpy(part.SetupPacket, setup.data(), 8);
    return Join(Bytes(part), data);
}

const std::vector<uint8_t> kDeviceDescriptor = {18,   1,    0x00, 0x02, 0, 0, 0, 64, 0x34,
                                                0x12, 0x78, 0x56, 0,    1, 1, 2, 3,  1};

std::vector<uint8_t> BulkTransfer(UCHAR endpoint, ULONG flags, const std::vector<uint8_t>& data, ULONG status = 0) {
    URB_RECORD_BULK_OR_INTERRUPT_TRANSFER part{};
    part.Head = Head(status);
    part.Pipe = Pipe(0, endpoint);
    part.TransferFlags = flags;
    part.TransferBufferLength = static_cast<ULONG>(data.size());
    part.CapturedLength = static_cast<ULONG>(data.size());
    return Join(Bytes(part), data);
}

// A piece of a 128 KiB transfer at 64 KiB.
URB_RECORD_CONTINUATION Piece(ULONG length, UCHAR interfaceNumber, UCHAR endpoint, ULONG flags = 0) {
    URB_RECORD_CONTINUATION part{};
    part.TransferBufferLength = 0x20000;
    part.Offset = 0x10000;
    part.PieceLength = length;
    part.InterfaceNumber = interfaceNumber;
    part.EndpointAddress = endpoint;
    part.TransferFlags = flags;
    return part;
}

// --- title and dispatch ---------------------------------------------------------------------------------

TEST(UrbOutputerTest, TitleNamesTheFunctionAndTheClassRequest) {
    const std::vector<uint8_t> setup = {0x80, 6, 0, 1, 0, 0, 18, 0};
    const std::string sync = Shown(Record(LogTag::urbI, 8 | kSyncBit, ControlTransfer(1, setup, 18, {})));
    EXPECT_TRUE(Has(sync, "URB Function = URB_FUNCTION_CONTROL_TRANSFER(sync) (0x8)\n")) << sync;

    URB_RECORD_VENDOR_CLASS_REQUEST request{};
    request.Head = Head();
    request.Request = 0x0A; // SET_IDLE
    const std::vector<uint8_t> classInterface = Record(LogTag::urbI, 27, Bytes(request), kHidStack);
    const tdl::test::DecoderDocument document;
    const std::string hid = Shown(classInterface, document.Get());
    EXPECT_TRUE(Has(hid, "Class = HID\n")) << hid;
    EXPECT_TRUE(Has(hid, "Class Request = ")) << hid;
    EXPECT_FALSE(Has(Shown(classInterface), "Class Request")) << "no stack, no class";

    tdl::test::RecordingOutputImp imp;
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&imp, nullptr, Header(classInterface)));
    static_cast<IrpOutputer*>(decoder.get())->OutputIrpFunction();
    EXPECT_EQ("SetItemValue|Major Function|IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)\nHideItem|Minor Function\n"
              "SetItemValue|IoControlCode|0x220003\n",
              imp.Text());
}

TEST(UrbOutputerTest, ReturnedRecordShowsTheTitleOnly) {
    const std::vector<uint8_t> setup = {0x80, 6, 0, 1, 0, 0, 18, 0};
    EXPECT_EQ("URB Function = URB_FUNCTION_CONTROL_TRANSFER (0x8)\n",
              Shown(Record(LogTag::urbR, 8, ControlTransfer(1, setup, 18, {}))));
}

TEST(UrbOutputerTest, ContinuationOfControlExShowsNoClassItems) {
    const URB_RECORD_CONTINUATION part = Piece(64, 0xFF, 0xFF, 1);
    // Data that would read as a HID class request where a control-ex part holds its setup packet.
    std::vector<uint8_t> data(64, 0);
    data[26] = 0x21;
    data[27] = 0x0A;
    const tdl::test::DecoderDocument document;
    const std::string shown = Shown(Record(LogTag::cCnt, 50, Join(Bytes(part), data), kHidStack), document.Get());
    EXPECT_FALSE(Has(shown, "Class")) << shown;
    EXPECT_TRUE(Has(shown, "Direction = IN\n")) << shown;
}

TEST(UrbOutputerTest, EveryFunctionCodeReachesItsDecoder) {
    const std::vector<uint8_t> payload(80, 0);
    for (ULONG code = 0; code <= 0x1003; ++code) {
        const std::string calls = Calls(Record(LogTag::urbC, code, payload), 0);
        const std::string first = "BeginElement|" + UrbElementOf(static_cast<USHORT>(code)) + "\n";
        EXPECT_EQ(0u, calls.find(first)) << code << "\n" << calls;
        EXPECT_FALSE(Has(calls, "Truncated")) << code;
        EXPECT_TRUE(MarkupBalanced(calls)) << code << "\n" << calls;
    }
    // Continuations reroute the four transfer codes only.
    EXPECT_EQ(0u, Calls(Record(LogTag::cCnt, 9, payload), 0).find("BeginElement|URB-BulkInterruptTransferCont\n"));
    EXPECT_EQ(0u, Calls(Record(LogTag::cCnt, 50, payload), 0).find("BeginElement|URB-ControlExTransferCont\n"));
    EXPECT_EQ(0u, Calls(Record(LogTag::cCnt, 2, payload), 0).find("BeginElement|URB-PipeRequest\n"));
}

TEST(UrbOutputerTest, UnknownCodesShowTheHeadAndTheirName) {
    for (ULONG code : {22u, 29u, 53u, 0x1003u}) {
        const std::string shown = Shown(Record(LogTag::urbC, code, Bytes(Head())));
        EXPECT_TRUE(Has(shown, "URB Length = 0x0050\n")) << shown;
        EXPECT_TRUE(Has(shown, "USBDDeviceHandle = 0xffff800011112222\n")) << shown;
        EXPECT_FALSE(Has(shown, "Truncated")) << shown;
    }
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 53, Bytes(Head()))), "URB_FUNCTION_UNKNOWN (0x35)"));
    // The driver writes the reserved codes as a header alone: a whole record, its head unknown.
    for (ULONG code : {22u, 29u, 43u, 47u}) {
        const std::string headerOnly = Shown(Record(LogTag::urbC, code, {}));
        EXPECT_TRUE(Has(headerOnly, "URB Length = ??\?\n")) << headerOnly;
        EXPECT_FALSE(Has(headerOnly, "Truncated")) << headerOnly;
    }
    // A code the driver never writes needs its head.
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 53, {})), "Truncated = 0 of 16 payload bytes"));
}

// --- transfers ------------------------------------------------------------------------------------------

TEST(UrbOutputerTest, DataShowsOnTheSideItWasCaptured) {
    const struct {
        ULONG tag;
        UCHAR endpoint;
        ULONG status;
        const char* item; // null: no data item
    } cases[] = {
        {LogTag::urbI, 0x02, 0, "TransferBuffer (Out)"},
        {LogTag::urbC, 0x02, 0, nullptr},
        {LogTag::urbI, 0x81, 0, nullptr},
        {LogTag::urbC, 0x81, 0, "TransferBuffer (In)"},
        {LogTag::urbC, 0x81, 0xC0000004, nullptr}, // failed: nothing came in
    };
    for (const auto& c : cases) {
        tdl::test::RecordingDataBar bar;
        const std::string shown =
            Shown(Record(c.tag, 9, BulkTransfer(c.endpoint, c.endpoint & 0x80 ? 1 : 0, Counting(16), c.status)));
        EXPECT_EQ(c.item != nullptr, Has(shown, "TransferBuffer (")) << shown;
        if (c.item)
            EXPECT_TRUE(Has(shown, c.item)) << shown;
        EXPECT_EQ(c.item ? 1 : 0, bar.Buffers());
    }
}

TEST(UrbOutputerTest, SizeCodesBoundTheDataBar) {
    const std::vector<uint8_t> setup = {0xC0, 1, 0, 0, 0, 0, 100, 0};
    const tdl::test::DecoderDocument document;
    CAppSettings settings;
    document.Get()->SetSettings(&settings);
    const struct {
        DWORD code;
        size_t bytes;
    } cases[] = {{1, 8}, {2, 64}, {5, 100}};
    for (const auto& c : cases) {
        settings.CtrlMaxSize = c.code;
        tdl::test::RecordingDataBar bar;
        Shown(Record(LogTag::urbC, 8, ControlTransfer(1, setup, 100, Counting(100))), document.Get());
        EXPECT_EQ(c.bytes, bar.Bytes().size()) << c.code;
        EXPECT_EQ("  Control TransferBuffer (Input) - record #7            (0x0 - 0x63 / 0x64)", bar.Title());

        Shown(Record(LogTag::urbC, 50, ControlTransferEx(setup, Counting(100))), document.Get());
        EXPECT_EQ(100u, bar.Bytes().size());
        EXPECT_EQ("  Control-Ex TransferBuffer (Input) - record #7            (0x0 - 0x63 / 0x64)", bar.Title());
    }
    document.Get()->SetSettings(nullptr);
}

TEST(UrbOutputerTest, StartingOffsetOnlyWhenMoreRecordsFollow) {
    const std::vector<uint8_t> payload = BulkTransfer(0x81, 1, Counting(16));
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 9, payload, 0, true)), "Starting Offset = 0x00000000\n"));
    EXPECT_FALSE(Has(Shown(Record(LogTag::urbC, 9, payload)), "Starting Offset"));
}

TEST(UrbOutputerTest, GetDescriptorDecodedOnCompletionOnly) {
    const std::vector<uint8_t> setup = {0x80, 6, 0, 1, 0, 0, 18, 0};
    const std::vector<uint8_t>& device = kDeviceDescriptor;
    const std::string completed = Shown(Record(LogTag::urbC, 8, ControlTransfer(1, setup, 18, device)));
    EXPECT_TRUE(Has(completed, "DescriptorType.wValueHi = 0x01 (")) << completed;
    EXPECT_TRUE(Has(completed, "Descriptor Type = DEVICE")) << completed;
    EXPECT_TRUE(Has(completed, "Pipe Information")) << completed;
    const std::string sync = Shown(Record(LogTag::urbC, 8 | kSyncBit, ControlTransfer(1, setup, 18, device)));
    EXPECT_FALSE(Has(sync, "Descriptor Type = DEVICE")) << sync;
    EXPECT_FALSE(Has(sync, "Pipe Information")) << sync;
    const std::string nothing = Shown(Record(LogTag::urbC, 8, ControlTransfer(1, setup, 18, {})));
    EXPECT_FALSE(Has(nothing, "Descriptor Type = DEVICE")) << nothing;
}

TEST(UrbOutputerTest, VendorRequestSixIsNoDescriptor) {
    // A vendor request numbered 6 answers with bytes of its own layout, even when they look like a device
    // descriptor: only the standard GET_DESCRIPTOR is decoded, in either control transfer.
    std::vector<uint8_t> setup = {0xC0, 6, 0, 1, 0, 0, 18, 0};
    const std::string control = Shown(Record(LogTag::urbC, 8, ControlTransfer(1, setup, 18, kDeviceDescriptor)));
    EXPECT_TRUE(Has(control, "TransferBuffer (In)")) << control;
    EXPECT_FALSE(Has(control, "Descriptor Type = DEVICE")) << control;

    const std::string controlEx = Shown(Record(LogTag::urbC, 50, ControlTransferEx(setup, kDeviceDescriptor)));
    EXPECT_TRUE(Has(controlEx, "TransferBuffer (In)")) << controlEx;
    EXPECT_FALSE(Has(controlEx, "Descriptor Type = DEVICE")) << controlEx;
    setup[0] = 0x80;
    EXPECT_TRUE(
        Has(Shown(Record(LogTag::urbC, 50, ControlTransferEx(setup, kDeviceDescriptor))), "Descriptor Type = DEVICE"));
}

TEST(UrbOutputerTest, PipeBlockAsTheDriverWritesIt) {
    URB_RECORD_PIPE_REQUEST part{};
    part.Head = Head();
    part.Pipe = Pipe(1, 0x81, 0x40, 3);
    const std::string shown = Shown(Record(LogTag::urbI, 2, Bytes(part)));
    EXPECT_TRUE(Has(shown, "Pipe Information =\n"
                           "  InterfaceNumber = 0x01\n"
                           "  EndpointAddress = 0x81 (IN,1)\n"
                           "  PipeType = Interrupt (3)\n"
                           "  MaxPacketSize (low byte) = 0x40\n"
                           "  PipeHandle = 0xffff8000aaaa0000\n"))
        << shown;
    part.Pipe = Pipe(0xFF, 0, 0, 0);
    const std::string unknown = Shown(Record(LogTag::urbI, 2, Bytes(part)));
    EXPECT_TRUE(Has(unknown, "InterfaceNumber = 0xff\n  EndpointAddress = ??\?\n  PipeType = ??\?\n"
                             "  MaxPacketSize (low byte) = ??\?\n"))
        << unknown;
}

TEST(UrbOutputerTest, ControlDataInOnANonZeroEndpointFollowsTheFlags) {
    // The driver records a control transfer's endpoint 2 without its direction bit; the flags say IN.
    const std::vector<uint8_t> setup = {0xC0, 1, 0, 0, 0, 0, 4, 0};
    const std::vector<uint8_t> payload = ControlTransfer(1, setup, 4, {1, 2, 3, 4}, 0, 0x02);
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 8, payload)), "TransferBuffer (In)"));
    EXPECT_FALSE(Has(Shown(Record(LogTag::urbI, 8, payload)), "TransferBuffer ("));
}

TEST(UrbOutputerTest, ContinuationsShowTheirPieceOnTheirSide) {
    URB_RECORD_CONTINUATION part = Piece(32, 0, 0);
    for (const auto& [tag, endpoint, title] :
         {std::tuple{LogTag::cCnt, UCHAR{0x81}, "(Input) - record #7            (0x10000 - 0x1001F / 0x20000)"},
          std::tuple{LogTag::iCnt, UCHAR{0x02}, "(Output) - record #7            (0x10000 - 0x1001F / 0x20000)"}}) {
        part.EndpointAddress = endpoint;
        tdl::test::RecordingDataBar bar;
        const std::string shown = Shown(Record(tag, 9, Join(Bytes(part), Counting(32))));
        EXPECT_TRUE(Has(shown, "PartialLength = 0x00000020\n")) << shown;
        EXPECT_TRUE(Has(bar.Title(), title)) << bar.Title();
    }
}

TEST(UrbOutputerTest, ControlContinuationOnANonZeroEndpointFollowsTheFlags) {
    // A control transfer's piece recorded with endpoint 2 and no direction bit: the flags say IN, as they do
    // for the transfer's first record. A bulk piece keeps its endpoint's direction whatever the flags say.
    const struct {
        ULONG function;
        const char* direction;
        int buffers;
    } cases[] = {{8, "IN", 1}, {50, "IN", 1}, {9, "OUT", 0}};
    for (const auto& c : cases) {
        tdl::test::RecordingDataBar bar;
        const std::string shown =
            Shown(Record(LogTag::cCnt, c.function, Join(Bytes(Piece(32, 0, 0x02, 1)), Counting(32))));
        EXPECT_TRUE(Has(shown, std::string("Direction = ") + c.direction + "\n")) << c.function << "\n" << shown;
        EXPECT_EQ(c.buffers, bar.Buffers()) << c.function;
        if (c.buffers)
            EXPECT_TRUE(Has(bar.Title(), "(Input)")) << bar.Title();
    }
}

// --- selections -----------------------------------------------------------------------------------------

// One interface entry with `pipes` pipe entries, in the 32-bit or the 64-bit layout.
std::vector<uint8_t> InterfaceEntry(bool wide, ULONG pipes, UCHAR interfaceNumber = 0) {
    std::vector<uint8_t> entry;
    if (wide) {
        USBD_INTERFACE_INFORMATION info{};
        info.Length =
            static_cast<USHORT>(offsetof(USBD_INTERFACE_INFORMATION, Pipes) + pipes * sizeof(USBD_PIPE_INFORMATION));
        info.InterfaceNumber = interfaceNumber;
        info.Class = 0xFF;
        info.InterfaceHandle = reinterpret_cast<USBD_INTERFACE_HANDLE>(0xFFFF800012345678);
        info.NumberOfPipes = pipes;
        entry = Bytes(info);
        entry.resize(offsetof(USBD_INTERFACE_INFORMATION, Pipes));
        for (ULONG i = 0; i < pipes; ++i) {
            USBD_PIPE_INFORMATION pipe{};
            pipe.MaximumPacketSize = 512;
            pipe.EndpointAddress = static_cast<UCHAR>(i % 2 ? 0x02 + i : 0x81 + i);
            pipe.PipeType = UsbdPipeTypeBulk;
            pipe.PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(0xFFFF8000BBBB0000 + i);
            entry = Join(entry, Bytes(pipe));
        }
    } else {
        USBD_INTERFACE_INFORMATION32 info{};
        info.Length = static_cast<USHORT>(offsetof(USBD_INTERFACE_INFORMATION32, Pipes) +
                                          pipes * sizeof(USBD_PIPE_INFORMATION32));
        info.InterfaceNumber = interfaceNumber;
        info.InterfaceHandle = 0x81234560;
        info.NumberOfPipes = pipes;
        entry = Bytes(info);
        entry.resize(offsetof(USBD_INTERFACE_INFORMATION32, Pipes));
        for (ULONG i = 0; i < pipes; ++i) {
            USBD_PIPE_INFORMATION32 pipe{};
            pipe.MaximumPacketSize = 64;
            pipe.EndpointAddress = static_cast<UCHAR>(0x81 + i);
            pipe.PipeType = UsbdPipeTypeInterrupt;
            pipe.PipeHandle = 0x8000AB00 + i;
            entry = Join(entry, Bytes(pipe));
        }
    }
    return entry;
}

std::vector<uint8_t> SelectInterface(bool wide, const std::vector<uint8_t>& entry) {
    URB_RECORD_SELECT_INTERFACE part{};
    part.Head = Head();
    part.Head.LayoutVersion = wide ? 1 : 0;
    part.ConfigurationHandle = 0xFFFF8000CCCC0000;
    return Join(Bytes(part), entry);
}

TEST(UrbOutputerTest, SelectInterfaceWalksEitherLayout) {
    const std::string narrow = Shown(Record(LogTag::urbC, 1, SelectInterface(false, InterfaceEntry(false, 2))));
    EXPECT_TRUE(Has(narrow, "Interface-0 = USBD_INTERFACE_INFORMATION\n")) << narrow;
    EXPECT_TRUE(Has(narrow, "InterfaceHandle = 0x81234560\n")) << narrow;
    EXPECT_TRUE(Has(narrow, "Pipe-1 = USBD_PIPE_INFORMATION\n")) << narrow;
    EXPECT_TRUE(Has(narrow, "PipeHandle = 0x8000ab01\n")) << narrow;
    EXPECT_FALSE(Has(narrow, "Pipe-2")) << narrow;
    EXPECT_FALSE(Has(narrow, "???")) << narrow;

    const std::string wide = Shown(Record(LogTag::urbC, 1, SelectInterface(true, InterfaceEntry(true, 4))));
    EXPECT_TRUE(Has(wide, "InterfaceHandle = 0xffff800012345678\n")) << wide;
    EXPECT_TRUE(Has(wide, "Pipe-3 = USBD_PIPE_INFORMATION\n")) << wide;
    EXPECT_TRUE(Has(wide, "PipeHandle = 0xffff8000bbbb0003\n")) << wide;
    EXPECT_FALSE(Has(wide, "???")) << wide;
}

TEST(UrbOutputerTest, InterfaceEntriesCutShortOrLongerThanTheirFields) {
    // Length says one pipe less than NumberOfPipes: the missing pipe's fields read "???" from the Length's end.
    std::vector<uint8_t> entry = InterfaceEntry(false, 2);
    tdl::StoreLe<USHORT>(entry.data(), static_cast<USHORT>(entry.size() - 10));
    const std::string cut = Shown(Record(LogTag::urbC, 1, SelectInterface(false, entry)));
    EXPECT_TRUE(Has(cut, "PipeHandle = 0x8000ab00\n")) << cut;
    EXPECT_TRUE(Has(cut, "MaximumTransferSize = ???\n")) << cut;

    // Extra bytes after the pipes are skipped; the next entry begins at start + Length.
    URB_RECORD_SELECT_CONFIGURATION part{};
    part.Head = Head();
    part.Head.LayoutVersion = 0; // the 32-bit layout
    part.ConfigurationDescriptor = 0xFFFF800000001000;
    std::vector<uint8_t> first = InterfaceEntry(false, 1, 0);
    first.resize(first.size() + 6, 0xEE);
    tdl::StoreLe<USHORT>(first.data(), static_cast<USHORT>(first.size()));
    std::vector<uint8_t> end(8, 0);
    end[7] = 1; // bConfigurationValue after the end mark
    const std::vector<uint8_t> payload = Join(Join(Join(Bytes(part), first), InterfaceEntry(false, 1, 1)), end);
    const std::string shown = Shown(Record(LogTag::urbC, 0, payload));
    EXPECT_TRUE(Has(shown, "ConfigurationValue = 0x01\n")) << shown;
    EXPECT_TRUE(Has(shown, "Interface-0 = ")) << shown;
    EXPECT_TRUE(Has(shown, "Interface-1 = ")) << shown;
    EXPECT_FALSE(Has(shown, "Pipe-1")) << shown;
    EXPECT_FALSE(Has(shown, "???")) << shown;
}

TEST(UrbOutputerTest, SelectionEdgeCases) {
    URB_RECORD_SELECT_CONFIGURATION part{};
    part.Head = Head();
    const std::string unconfigure = Shown(Record(LogTag::urbC, 0, Bytes(part)));
    EXPECT_TRUE(Has(unconfigure, "ConfigurationValue = NONE\n")) << unconfigure;
    EXPECT_FALSE(Has(unconfigure, "Interface-")) << unconfigure;

    std::vector<uint8_t> shortEntry = {2, 0};
    const std::string request = Shown(Record(LogTag::urbI, 1, SelectInterface(true, shortEntry)));
    EXPECT_TRUE(Has(request, "InterfaceNumber = 0xff\nAlternateSetting = 0xff\n")) << request;
}

// The interface walks trace the layout they read (sizes, alignments, where the first entry's pipe count and
// pipes stand) and a selection's completion the entry's length; nothing of it reaches the grid.
TEST(UrbOutputerTest, InterfaceWalksTraceTheirLayout) {
    struct Case {
        bool wide;
        std::vector<std::string> lines;
        ptrdiff_t pipesAfterCount; // bytes from NumberOfPipes to Pipes
    };
    const Case cases[] = {
        {false,
         {"(x86) pInterface->Length = 56", "--UrbOutputer::InsertInterfaceAndPipeInfo32",
          "sizeof(USBD_INTERFACE_INFORMATION32)=36", "sizeof(USBD_PIPE_INFORMATION32)=20",
          "__alignof(USBD_INTERFACE_INFORMATION32)=4", "__alignof(USBD_PIPE_INFORMATION32)=4"},
         4},
        {true,
         {"(x64) pInterface->Length = 72", "--UrbOutputer::InsertInterfaceAndPipeInfo64",
          "sizeof(USBD_INTERFACE_INFORMATION)=48", "sizeof(USBD_PIPE_INFORMATION)=24",
          "__alignof(USBD_INTERFACE_INFORMATION)=8", "__alignof(USBD_PIPE_INFORMATION)=8"},
         8},
    };
    for (const Case& c : cases) {
        apptest::TraceCapture trace(TRACE_INFORMATION, TRACE_AREA_URB_DECODER);
        const std::string shown = Shown(Record(LogTag::urbC, 1, SelectInterface(c.wide, InterfaceEntry(c.wide, 2))));
        EXPECT_FALSE(Has(shown, "sizeof")) << shown;
        const std::vector<std::string> texts = trace.Texts();
        for (const std::string& line : c.lines)
            EXPECT_TRUE(trace.Has(line)) << line;
        // The two addresses, 16 upper-case digits each, lie as far apart as the layout puts the fields.
        unsigned long long count = 0;
        unsigned long long pipes = 0;
        for (const std::string& text : texts) {
            std::sscanf(text.c_str(), "&pInterface->NumberOfPipes = %llX", &count);
            std::sscanf(text.c_str(), "&pInterface->Pipes = %llX", &pipes);
        }
        EXPECT_NE(0u, count);
        EXPECT_EQ(c.pipesAfterCount, static_cast<ptrdiff_t>(pipes - count));
    }
}

// --- requests -------------------------------------------------------------------------------------------

std::vector<uint8_t> VendorClass(UCHAR reservedBits, ULONG flags, ULONG length = 0) {
    URB_RECORD_VENDOR_CLASS_REQUEST part{};
    part.Head = Head();
    part.RequestTypeReservedBits = reservedBits;
    part.Request = 1;
    part.Value = 0x0100;
    part.TransferFlags = flags;
    part.TransferBufferLength = length;
    return Bytes(part);
}

TEST(UrbOutputerTest, VendorAndClassRequestsCalculateTheSetupPacket) {
    const std::string classIn = Shown(Record(LogTag::urbI, 27, VendorClass(0, 1)));
    EXPECT_TRUE(Has(classIn, "Setup Packet = Class request from interface\n")) << classIn;
    EXPECT_TRUE(Has(classIn, "bmRequestType = 0xa1 (Calculated value)\n")) << classIn;
    EXPECT_TRUE(Has(classIn, "RequestTypeReservedBits = 0x00 (OUT,STD,DEVICE)\n")) << classIn;

    const std::string vendor = Shown(Record(LogTag::urbI, 24, VendorClass(0xC0, 0)));
    EXPECT_TRUE(Has(vendor, "Setup Packet = Vendor request to interface\n")) << vendor;
    EXPECT_TRUE(Has(vendor, "bmRequestType = 0xc0 (Calculated value)\n")) << vendor;
}

TEST(UrbOutputerTest, DescriptorRequestsShowTheLanguageOfAStringOnly) {
    URB_RECORD_DESCRIPTOR_REQUEST part{};
    part.Head = Head();
    part.DescriptorType = 3;
    part.LanguageId = 0x0409;
    part.TransferBufferLength = 255;
    part.Index = 2;
    const std::string indexed = Shown(Record(LogTag::urbI, 11, Bytes(part)));
    EXPECT_TRUE(Has(indexed, "LanguageID = 0x0409\n")) << indexed;
    EXPECT_TRUE(Has(indexed, "Descriptor Type = ")) << indexed;
    part.Index = 0;
    EXPECT_FALSE(Has(Shown(Record(LogTag::urbI, 11, Bytes(part))), "LanguageID"));
}

TEST(UrbOutputerTest, StatusAndConfigurationBuffers) {
    URB_RECORD_GET_STATUS status{};
    status.Head = Head();
    status.TransferBufferLength = 2;
    const std::string shown = Shown(Record(LogTag::urbC, 19, Join(Bytes(status), {0x01, 0x00})));
    EXPECT_TRUE(Has(shown, "TransferBufferLength = 0x0002\n")) << shown;
    EXPECT_TRUE(Has(shown, "TransferBuffer (In) = 01 00\n")) << shown;

    URB_RECORD_GET_CONFIGURATION config{};
    config.Head = Head(0xC0000004);
    config.TransferBufferLength = 1;
    const std::string failed = Shown(Record(LogTag::urbC, 38, Join(Bytes(config), {1})));
    EXPECT_FALSE(Has(failed, "TransferBuffer (In)")) << failed;
    EXPECT_TRUE(Has(failed, "URB Status = ")) << failed;
}

TEST(UrbOutputerTest, FrameAndEndpointRequests) {
    URB_RECORD_GET_FRAME_LENGTH frame{};
    frame.Head = Head(0xC0000004);
    frame.FrameLength = 12000;
    EXPECT_FALSE(Has(Shown(Record(LogTag::urbC, 5, Bytes(frame))), "Frame Length"));
    frame.Head = Head();
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 5, Bytes(frame))), "Frame Length = 0x00002ee0\n"));

    URB_RECORD_FRAME_PARAMETER delta{};
    delta.Head = Head();
    delta.Parameter = 1;
    const std::string set = Shown(Record(LogTag::urbC, 6, Bytes(delta)));
    EXPECT_FALSE(Has(set, "Frame Length Delta")) << set;
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbI, 6, Bytes(delta))), "Frame Length Delta = 0x00000001\n"));

    URB_RECORD_PIPE_IO_POLICY policy{};
    policy.Head = Head();
    policy.Pipe = Pipe(0, 0x81);
    const std::string get = Shown(Record(LogTag::urbC, 52, Bytes(policy)));
    EXPECT_TRUE(Has(get, "UsbMaxControllerTransfer")) << get;
    const std::string setOnCompletion = Shown(Record(LogTag::urbC, 51, Bytes(policy)));
    EXPECT_FALSE(Has(setOnCompletion, "USB IO Parameters")) << setOnCompletion;
    const std::string setRequest = Shown(Record(LogTag::urbI, 51, Bytes(policy)));
    EXPECT_TRUE(Has(setRequest, "UsbMaxPendingIrps")) << setRequest;
    EXPECT_FALSE(Has(setRequest, "UsbMaxControllerTransfer")) << setRequest;

    // An endpoint descriptor claiming 255 bytes: only its seven are read.
    URB_RECORD_OPEN_ENDPOINT open{};
    open.Length = 0x40;
    const UCHAR descriptor[7] = {0xFF, 5, 0x81, 3, 8, 0, 10};
    std::memcpy(open.EndpointDescriptor, descriptor, sizeof descriptor);
    open.Address40 = 0xFFFF800000002000;
    const std::string request = Shown(Record(LogTag::urbI, 0x1000, Bytes(open)));
    EXPECT_TRUE(Has(request, "Descriptor Type = ENDPOINT")) << request;
    EXPECT_TRUE(Has(request, "ulong3 = ")) << request;
    EXPECT_FALSE(Has(request, "HcdEndpoint")) << request;
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 0x1000, Bytes(open))), "HcdEndpoint = 0xffff800000002000\n"));
    EXPECT_TRUE(Has(Shown(Record(LogTag::urbC, 0x1001, Bytes(open))), "Close Endpoint Request"));
}

TEST(UrbOutputerTest, FrameLengthRequestShowsItsHeadAndAFailedOneItsStatus) {
    URB_RECORD_GET_FRAME_LENGTH frame{};
    frame.Head = Head(0xC0000004);
    frame.FrameLength = 12000;
    frame.FrameNumber = 0x1234;
    EXPECT_EQ("URB Function = URB_FUNCTION_GET_FRAME_LENGTH (0x5)\nURB Length = 0x0050\n"
              "USBDDeviceHandle = 0xffff800011112222\n",
              Shown(Record(LogTag::urbI, 5, Bytes(frame))));
    const std::string failed = Shown(Record(LogTag::urbC, 5, Bytes(frame)));
    EXPECT_TRUE(Has(failed, "USBDDeviceHandle = 0xffff800011112222\nURB Status = ")) << failed;
    EXPECT_FALSE(Has(failed, "Frame ")) << failed;
}

// --- records cut short ----------------------------------------------------------------------------------

TEST(UrbOutputerTest, CutControlTransferShowsUnknownSetupRowsAndOneTruncation) {
    const std::vector<uint8_t> setup = {0x80, 6, 0, 1, 0, 0, 18, 0};
    std::vector<uint8_t> payload = ControlTransfer(1, setup, 18, {});
    payload.resize(42);
    const std::string shown = Shown(Record(LogTag::urbC, 8, payload));
    EXPECT_TRUE(Has(shown, "Truncated = 42 of 50 payload bytes")) << shown;
    EXPECT_EQ(shown.find("Truncated"), shown.rfind("Truncated")) << shown;
    EXPECT_TRUE(Has(shown, "Setup Packet =\n  RequestTypeReservedBits = ??\?\n  Request = ??\?\n")) << shown;
}

TEST(UrbOutputerTest, CapturedLengthBeyondTheRecordIsTruncatedWithItsWholeCount) {
    // A damaged captured length near 4 GiB: the bytes present are shown, and the count needed is not cut
    // to 32 bits (which would read as fewer bytes than the record holds).
    std::vector<uint8_t> payload = BulkTransfer(0x81, 1, Counting(16));
    tdl::StoreLe<ULONG>(payload.data() + offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength), 0xFFFFFFF0);
    tdl::test::RecordingDataBar bar;
    const std::string shown = Shown(Record(LogTag::urbC, 9, payload));
    EXPECT_TRUE(Has(shown, "Truncated = 58 of 4294967322 payload bytes")) << shown;
    EXPECT_EQ(1, bar.Buffers());
    EXPECT_LE(bar.Bytes().size(), 16u);
}

// Every built record at every shorter size, in an exact-size heap copy, through the pane and mark-up.
TEST(UrbOutputerTest, EveryCutStaysWithinItsBytes) {
    const std::vector<uint8_t> setup = {0x80, 6, 0, 2, 0, 0, 34, 0};
    URB_RECORD_CONTINUATION piece{};
    piece.PieceLength = 8;
    piece.EndpointAddress = 0x81;
    std::vector<std::vector<uint8_t>> records = {
        Record(LogTag::urbC, 8, ControlTransfer(1, setup, 34, Counting(34))),
        Record(LogTag::urbC, 9, BulkTransfer(0x81, 1, Counting(16))),
        Record(LogTag::urbC, 1, SelectInterface(true, InterfaceEntry(true, 2))),
        Record(LogTag::urbC, 1, SelectInterface(false, InterfaceEntry(false, 2))),
        Record(LogTag::urbI, 27, VendorClass(0, 0, 4)),
        Record(LogTag::cCnt, 9, Join(Bytes(piece), Counting(8))),
    };
    for (ULONG code = 0; code <= 52; ++code)
        records.push_back(Record(LogTag::urbC, code, std::vector<uint8_t>(70, 0x11)));
    for (ULONG code = 0x1000; code <= 0x1002; ++code)
        records.push_back(Record(LogTag::urbC, code, std::vector<uint8_t>(40, 0x22)));
    for (const std::vector<uint8_t>& record : records) {
        const ULONG full = LogHdr::DataSize(record.data());
        for (ULONG size = 0; size <= full; ++size) {
            std::vector<uint8_t> cut(record.begin(), record.begin() + LOGHDR_SIZE + size);
            cut.shrink_to_fit();
            tdl::StoreLe<ULONG>(cut.data() + offsetof(_LOGHDR, DataSize), size);
            const std::string shown = Shown(cut);
            EXPECT_EQ(shown.find("Truncated"), shown.rfind("Truncated"));
            EXPECT_TRUE(MarkupBalanced(Calls(cut, 0)));
        }
    }
}

} // namespace
