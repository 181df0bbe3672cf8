// The hub class's status words as rows: every bit of the USB 2.0 and SuperSpeed port layouts, the hub
// status pair with its named change bits, the layout chosen by the hub's stack, and data too short for its
// words. Data buffers are exact-size, so AddressSanitizer catches a read past them.
#include "app/decoders/urb/HubUrbOutputer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace {

using tdl::test::RecordBuilder;

constexpr USHORT kUsb2Hub = 1;
constexpr USHORT kSuperSpeedHub = 2;
constexpr USHORT kNoStack = 99;

std::unique_ptr<CUSBLog> Hubs() {
    auto document = std::make_unique<CUSBLog>();
    for (USHORT id : {kUsb2Hub, kSuperSpeedHub}) {
        auto* stack = new CDeviceStack;
        stack->StackID = id;
        stack->UsbClass = 9;
        stack->HasBosDescriptor = id == kSuperSpeedHub;
        document->GetStackTree()->m_StackMap.SetAt(id, stack);
    }
    return document;
}

std::vector<uint8_t> Record(USHORT stack) {
    std::vector<uint8_t> payload(sizeof(URB_RECORD_CONTROL_TRANSFER_EX));
    return RecordBuilder(LogTag::urbC).Function(URB_FUNCTION_CONTROL_TRANSFER_EX).StackId(stack).Part1(payload).Build();
}

std::string Rows(int mode, USHORT stack, CUSBLog* document, void (*decode)(HubUrbOutputer&, int)) {
    const auto record = Record(stack);
    tdl::test::RecordingOutputImp imp;
    HubUrbOutputer decoder(&imp, document, reinterpret_cast<const _LOGHDR*>(record.data()));
    decode(decoder, mode);
    return imp.Text();
}

TEST(HubStatusBitsTest, Usb2PortStatusAndChangeShowEveryField) {
    const std::string status = Rows(OUTPUT_MODE_GRID, kNoStack, nullptr,
                                    [](HubUrbOutputer& d, int mode) { d.OutputPortStatusBits(mode, 0x0503); });
    EXPECT_EQ("BeginValueGroup|Port Status Bits|\n"
              "AddItem|Reserved.PortStatus.15-13|0x00|-\n"
              "AddItem|PORT_INDICATOR.PortStatus.12|0|-\n"
              "AddItem|PORT_TEST.PortStatus.11|0|-\n"
              "AddItem|PORT_HIGH_SPEED.PortStatus.10|1|-\n"
              "AddItem|PORT_LOW_SPEED.PortStatus.9|0|-\n"
              "AddItem|PORT_POWER.PortStatus.8|1|-\n"
              "AddItem|Reserved.PortStatus.7-5|0x00|-\n"
              "AddItem|PORT_RESET.PortStatus.4|0|-\n"
              "AddItem|PORT_OVER_CURRENT.PortStatus.3|0|-\n"
              "AddItem|PORT_SUSPEND.PortStatus.2|0|-\n"
              "AddItem|PORT_ENABLE.PortStatus.1|1|-\n"
              "AddItem|PORT_CONNECTION.PortStatus.0|1|-\n"
              "ExpandCurrent\nEndGroup\n",
              status);
    const std::string change = Rows(OUTPUT_MODE_GRID, kNoStack, nullptr,
                                    [](HubUrbOutputer& d, int mode) { d.OutputPortChangeBits(mode, 0xFFE0); });
    EXPECT_EQ("BeginValueGroup|Port Status Change Bits|\n"
              "AddItem|Reserved.PortChange.15-5|0x07ff|-\n"
              "AddItem|C_PORT_RESET.PortChange.4|0|-\n"
              "AddItem|C_PORT_OVER_CURRENT.PortChange.3|0|-\n"
              "AddItem|C_PORT_SUSPEND.PortChange.2|0|-\n"
              "AddItem|C_PORT_ENABLE.PortChange.1|0|-\n"
              "AddItem|C_PORT_CONNECTION.PortChange.0|0|-\n"
              "ExpandCurrent\nEndGroup\n",
              change);
}

// The layout follows the hub's stack, never the data: a hub without a stack is read as USB 2.0.
TEST(HubStatusBitsTest, PortStatusLayoutFollowsTheHubsStack) {
    const auto document = Hubs();
    auto portStatus = [](HubUrbOutputer& d, int mode) {
        const std::vector<uint8_t> data{0x03, 0x16, 0x41, 0x00};
        d.OutputPortStatus(mode, static_cast<ULONG>(data.size()), data.data());
    };
    const std::string ss = Rows(OUTPUT_MODE_GRID, kSuperSpeedHub, document.get(), portStatus);
    EXPECT_NE(std::string::npos, ss.find("AddItem|NegotiatedSpeed.SSPortStatus.12-10|0x05 (Reserved)|-\n"));
    EXPECT_NE(std::string::npos, ss.find("AddItem|PORT_POWER.SSPortStatus.9|1|-\n"));
    EXPECT_NE(std::string::npos, ss.find("AddItem|PORT_LINK_STATE.SSPortStatus.8-5|0x00 (Link in U0)|-\n"));
    EXPECT_NE(std::string::npos, ss.find("AddItem|C_PORT_LINK_STATE.SSPortChange.6|1|-\n"));
    EXPECT_NE(std::string::npos, ss.find("AddItem|C_PORT_CONNECTION.SSPortChange.0|1|-\n"));
    EXPECT_EQ(std::string::npos, ss.find("|Port Status Bits|"));

    const std::string u3 = Rows(OUTPUT_MODE_XML, kSuperSpeedHub, document.get(),
                                [](HubUrbOutputer& d, int mode) { d.OutputSsPortStatusBits(mode, 0x0263); });
    EXPECT_NE(std::string::npos, u3.find("WriteValue|NegotiatedSpeed.SSPortStatus.12-10|00\n"
                                         "AddAttribute|DeviceSpeed|5Gbps\n"));
    EXPECT_NE(std::string::npos, u3.find("WriteValue|PORT_LINK_STATE.SSPortStatus.8-5|03\n"
                                         "AddAttribute|Name|Link in U3\n"));

    for (USHORT stack : {kUsb2Hub, kNoStack}) {
        const std::string usb2 = Rows(OUTPUT_MODE_GRID, stack, document.get(), portStatus);
        EXPECT_NE(std::string::npos, usb2.find("BeginValueGroup|Port Status Bits|\n")) << stack;
        EXPECT_NE(std::string::npos, usb2.find("AddItem|PORT_CONNECTION.PortStatus.0|1|-\n")) << stack;
        EXPECT_EQ(std::string::npos, usb2.find("SSPort")) << stack;
    }
}

// In mark-up the hub's change bits carry the feature they clear; the status bits carry no name.
TEST(HubStatusBitsTest, HubStatusNamesOnlyTheChangeBits) {
    const std::string xml = Rows(OUTPUT_MODE_XML, kNoStack, nullptr, [](HubUrbOutputer& d, int mode) {
        const std::vector<uint8_t> data{0x07, 0x00, 0x03, 0x00};
        d.OutputHubStatus(mode, static_cast<ULONG>(data.size()), data.data());
    });
    EXPECT_EQ("BeginElement|HubStatus\n"
              "WriteValue|Reserved.HubStatus.15-2|0001\n"
              "WriteValue|Over-current.HubStatus.1|1\n"
              "WriteValue|LocalPowerSource.HubStatus.0|1\n"
              "EndElement\nEndGroup\n"
              "BeginElement|HubStatusChange\n"
              "WriteValue|Reserved.HubChange.15-2|0000\n"
              "WriteValue|Over-currentChange.HubChange.1|1\n"
              "AddAttribute|Name|C_HUB_OVER_CURRENT\n"
              "WriteValue|LocalPowerSourceChange.HubChange.0|1\n"
              "AddAttribute|Name|C_HUB_LOCAL_POWER\n"
              "EndElement\nEndGroup\n",
              xml);
}

// A status cut short shows how much was there instead of rows read past the data.
TEST(HubStatusBitsTest, ShortDataShowsTruncationInsteadOfSections) {
    struct Case {
        void (HubUrbOutputer::*decode)(int, ULONG, const BYTE*);
        size_t bytes;
        const char* shown;
    };
    const Case cases[] = {
        {&HubUrbOutputer::OutputPortStatus, 3, "3 of 4 bytes"},
        {&HubUrbOutputer::OutputHubStatus, 0, "0 of 4 bytes"},
        {&HubUrbOutputer::OutputPortLinkErrorCount, 1, "1 of 2 bytes"},
    };
    const auto document = Hubs();
    for (const Case& c : cases) {
        const auto record = Record(kUsb2Hub);
        for (int mode : {OUTPUT_MODE_GRID, OUTPUT_MODE_XML}) {
            tdl::test::RecordingOutputImp imp;
            HubUrbOutputer decoder(&imp, document.get(), reinterpret_cast<const _LOGHDR*>(record.data()));
            std::vector<uint8_t> data(c.bytes, 0xFF);
            (decoder.*c.decode)(mode, static_cast<ULONG>(data.size()), data.data());
            const std::string text = imp.Text();
            EXPECT_NE(std::string::npos, text.find(c.shown)) << c.shown << " mode " << mode;
            EXPECT_EQ(std::string::npos, text.find("Bits")) << c.shown;
            EXPECT_EQ(std::string::npos, text.find("Link Error Count")) << c.shown;
        }
    }
}

// PORT_TEST and PORT_INDICATOR split wIndex into their own selector and the port; every other selector,
// named or not, keeps wIndex whole.
TEST(HubStatusBitsTest, PortFeatureSelectorSplitsWIndexOnlyWhereItCarriesASelector) {
    struct Case {
        USHORT selector;
        const char* shown;
    };
    const Case cases[] = {
        {21, "AddItem|FeatureSelector.wValue|0x0015 (PORT_TEST)|-\n"
             "AddItem|TestModeSelector.wIndexHi|0x0004|-\nAddItem|PortNumber.wIndexLo|0x0003|-\n"},
        {22, "AddItem|FeatureSelector.wValue|0x0016 (PORT_INDICATOR)|-\n"
             "AddItem|IndicatorSelector.wIndexHi|0x0004|-\nAddItem|PortNumber.wIndexLo|0x0003|-\n"},
        {4, "AddItem|FeatureSelector.wValue|0x0004 (PORT_RESET)|-\nAddItem|PortNumber.wIndex|0x0403|-\n"},
        {6, "AddItem|FeatureSelector.wValue|0x0006 (Unknown)|-\nAddItem|PortNumber.wIndex|0x0403|-\n"},
        {30, "AddItem|FeatureSelector.wValue|0x001e (FORCE_LINKPM_ACCEPT)|-\nAddItem|PortNumber.wIndex|0x0403|-\n"},
        {31, "AddItem|FeatureSelector.wValue|0x001f (Unknown)|-\nAddItem|PortNumber.wIndex|0x0403|-\n"},
        {0xFFFF, "AddItem|FeatureSelector.wValue|0xffff (Unknown)|-\nAddItem|PortNumber.wIndex|0x0403|-\n"},
    };
    const auto record = Record(kNoStack);
    for (const Case& c : cases) {
        tdl::test::RecordingOutputImp imp;
        HubUrbOutputer decoder(&imp, nullptr, reinterpret_cast<const _LOGHDR*>(record.data()));
        decoder.OutputPortFeatureSelector(OUTPUT_MODE_GRID, c.selector, 0x0403);
        EXPECT_EQ(c.shown, imp.Text()) << c.selector;
    }
    tdl::test::RecordingOutputImp imp;
    HubUrbOutputer decoder(&imp, nullptr, reinterpret_cast<const _LOGHDR*>(record.data()));
    decoder.OutputHubFeatureSelector(OUTPUT_MODE_XML, 1);
    decoder.OutputHubFeatureSelector(OUTPUT_MODE_GRID, 2);
    EXPECT_EQ("WriteValue|FeatureSelector.wValue|0001\nAddAttribute|Name|C_HUB_OVER_CURRENT\n"
              "AddItem|FeatureSelector.wValue|0x0002 (Unknown Feature Selector)|-\n",
              imp.Text());
}

TEST(HubStatusBitsTest, LinkErrorCountIsOneWord) {
    const std::string grid = Rows(OUTPUT_MODE_GRID, kNoStack, nullptr, [](HubUrbOutputer& d, int mode) {
        const std::vector<uint8_t> data{0x34, 0x12};
        d.OutputPortLinkErrorCount(mode, static_cast<ULONG>(data.size()), data.data());
    });
    EXPECT_EQ("BeginValueGroup|Port Link Error Count|\nAddItem|Link Error Count|0x1234|-\nExpandCurrent\nEndGroup\n",
              grid);
}

} // namespace
