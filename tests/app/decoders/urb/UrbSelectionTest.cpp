// The choice of URB decoder by the class of the record's device stack, and that requests no class decoder
// claims are shown as the plain decoder shows them.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/document/USBLog.h"
#include "app/decoders/urb/HidUrbOutputer.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "app/decoders/urb/MscBOTUrbOutputer.h"
#include "app/decoders/urb/PrinterUrbOutputer.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace {

using tdl::test::RecordBuilder;

enum class Kind { Plain, Hub, Hid, MscBot, Printer };

struct StackCase {
    USHORT id;
    USHORT usbClass;
    UCHAR protocol;
    Kind kind;
};

// Class codes 512 and 513 are the capture driver's placeholders for "class from interface" and "unparsed";
// they name no class and so must not be taken for the hub and HID kinds of the same numbers.
constexpr StackCase kStacks[] = {
    {1, 9, 0, Kind::Hub},      {2, 3, 1, Kind::Hid},     {3, 7, 2, Kind::Printer}, {4, 8, 0x50, Kind::MscBot},
    {5, 8, 0x06, Kind::Plain}, {6, 512, 0, Kind::Plain}, {7, 513, 0, Kind::Plain}, {8, 0xFF, 0, Kind::Plain},
};
constexpr USHORT kNoStack = 99;

std::unique_ptr<CUSBLog> Document() {
    auto document = std::make_unique<CUSBLog>();
    CStackTree* tree = document->GetStackTree();
    for (const StackCase& s : kStacks) {
        auto* stack = new CDeviceStack;
        stack->StackID = s.id;
        stack->UsbClass = s.usbClass;
        stack->UsbProtocol = s.protocol;
        tree->m_StackMap.SetAt(stack->StackID, stack);
    }
    return document;
}

// A control-ex URB with the given setup packet and captured data, as the capture driver writes it.
std::vector<uint8_t> ControlEx(ULONG tag, USHORT stack, const std::vector<uint8_t>& setup,
                               const std::vector<uint8_t>& data = {}) {
    URB_RECORD_CONTROL_TRANSFER_EX part{};
    part.Head.Length = 0x50;
    part.Head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    part.TransferFlags = 1;
    part.TransferBufferLength = static_cast<ULONG>(data.size());
    part.CapturedLength = static_cast<ULONG>(data.size());
    std::memcpy(part.SetupPacket, setup.data(), sizeof part.SetupPacket);
    std::vector<uint8_t> payload(sizeof part);
    std::memcpy(payload.data(), &part, sizeof part);
    payload.insert(payload.end(), data.begin(), data.end());
    return RecordBuilder(tag)
        .Function(URB_FUNCTION_CONTROL_TRANSFER_EX)
        .Sequence(3)
        .StackId(stack)
        .Part1(payload)
        .Build();
}

const _LOGHDR* Header(const std::vector<uint8_t>& record) {
    return reinterpret_cast<const _LOGHDR*>(record.data());
}

Kind KindOf(UrbOutputer* decoder) {
    if (dynamic_cast<HubUrbOutputer*>(decoder))
        return Kind::Hub;
    if (dynamic_cast<HidUrbOutputer*>(decoder))
        return Kind::Hid;
    if (dynamic_cast<MscBOTUrbOutputer*>(decoder))
        return Kind::MscBot;
    if (dynamic_cast<PrinterUrbOutputer*>(decoder))
        return Kind::Printer;
    return Kind::Plain;
}

TEST(UrbSelectionTest, DecoderFollowsTheStacksClassKind) {
    const auto document = Document();
    const std::vector<uint8_t> setup{0x80, 6, 0, 1, 0, 0, 18, 0};
    for (const StackCase& s : kStacks) {
        const auto record = ControlEx(LogTag::urbI, s.id, setup);
        tdl::test::RecordingOutputImp imp;
        std::unique_ptr<UrbOutputer> decoder(UrbOutputer::Create(&imp, document.get(), Header(record)));
        ASSERT_NE(nullptr, decoder);
        EXPECT_EQ(s.kind, KindOf(decoder.get())) << "stack " << s.id << " class " << s.usbClass;
    }
    for (CUSBLog* doc : {document.get(), static_cast<CUSBLog*>(nullptr)}) {
        const auto record = ControlEx(LogTag::urbI, kNoStack, setup);
        tdl::test::RecordingOutputImp imp;
        std::unique_ptr<UrbOutputer> decoder(UrbOutputer::Create(&imp, doc, Header(record)));
        ASSERT_NE(nullptr, decoder);
        EXPECT_EQ(Kind::Plain, KindOf(decoder.get()));
    }
}

// Standard and vendor requests belong to no class decoder: on every kind of device they read as on the plain
// decoder, in every medium.
TEST(UrbSelectionTest, StandardAndVendorRequestsDecodeAsThePlainDecoderDoes) {
    const auto document = Document();
    const std::vector<std::vector<uint8_t>> setups{
        {0x80, 6, 0, 1, 0, 0, 18, 0},   // GET_DESCRIPTOR (device)
        {0xC0, 0x33, 1, 0, 2, 0, 4, 0}, // vendor, device to host
    };
    const std::vector<uint8_t> data{0x12, 0x01, 0x00, 0x02};
    for (const StackCase& s : kStacks) {
        for (const auto& setup : setups) {
            for (ULONG tag : {LogTag::urbI, LogTag::urbC}) {
                const auto record = ControlEx(tag, s.id, setup, tag == LogTag::urbC ? data : std::vector<uint8_t>{});
                for (int mode : {OUTPUT_MODE_GRID, OUTPUT_MODE_XML, OUTPUT_MODE_HTML}) {
                    tdl::test::RecordingOutputImp chosenImp;
                    tdl::test::RecordingOutputImp plainImp;
                    std::unique_ptr<UrbOutputer> chosen(
                        UrbOutputer::Create(&chosenImp, document.get(), Header(record)));
                    UrbOutputer plain(&plainImp, document.get(), Header(record));
                    ASSERT_NE(nullptr, chosen);
                    chosen->OutputKindTitle(mode);
                    plain.OutputKindTitle(mode);
                    EXPECT_EQ(plainImp.Text(), chosenImp.Text())
                        << "stack " << s.id << " request " << int(setup[0]) << " mode " << mode;
                }
            }
        }
    }
}

} // namespace
