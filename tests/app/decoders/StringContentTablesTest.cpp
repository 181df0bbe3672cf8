// The name tables and text formatters of CStringContent: every fallback, which operations assign and which
// append, and the formatters' chunking and cutting.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <afxcoll.h>

#include "app/decoders/framework/StringContent.h"
#include "tests/app/core/TraceCapture.h"

namespace {

std::string Str(const CString& s) {
    return s.GetString();
}

std::string Hex(UCHAR code) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", code);
    return text;
}

TEST(StringContentTablesTest, ClassSubclassAndProtocolNames) {
    struct Case {
        UCHAR cls, sub, proto;
        const char* className;
        const char* subName;
        const char* protoName;
    } cases[] = {
        {0x00, 0x00, 0x00, "Reserved", "---", "---"},
        {0x01, 0x02, 0x00, "Audio", "AUDIOSTREAMING", "PR_PROTOCOL_UNDEFINED"},
        {0x01, 0x09, 0x07, "Audio", "RESERVED", "Reserved"},
        {0x02, 0x0B, 0xFF, "Communications", "OBEX=Model", "VendornSpecific"},
        {0x03, 0x01, 0x02, "HumanInterface", "Boot", "Mouse"},
        {0x03, 0x05, 0x05, "HumanInterface", "Reserved", "Reserved"},
        {0x04, 0x01, 0x01, "Other", "---", "Other"},
        {0x06, 0x01, 0x01, "Image", "StillImageCapture", "PIMA_15740_compliant_device"},
        {0x07, 0x01, 0x03, "Printer", "Printers", "1284.4_Bidirectional"},
        {0x08, 0x06, 0x50, "MassStorage", "SCSI_transparent_set", "Bulk-only_Transport"},
        {0x08, 0xFF, 0x51, "MassStorage", "Vendor_specific", "Reserved"},
        {0x09, 0x00, 0x02, "Hub", "Unused", "Unused"},
        {0x0A, 0x33, 0x93, "Data", "Unused", "CAPI2.0"},
        {0x0A, 0x00, 0x01, "Data", "Unused", "Reserved"},
        {0x0C, 0x00, 0x00, "Other", "---", "Other"},
        {0x0E, 0x02, 0x00, "Video", "VideoStreaming", "Undefined"},
        {0xE0, 0x01, 0x01, "Wireless", "RF-Controller", "Bluetooth_Programming"},
        {0xFE, 0x03, 0x01, "ApplicationSpecific", "Test_&_Measurement_Class", "USB488_subclass_specification"},
        {0xFE, 0x01, 0x00, "ApplicationSpecific", "Device_firmware_upgrade", "Default"},
        {0xFE, 0x01, 0x01, "ApplicationSpecific", "Device_firmware_upgrade", "Reserved"},
        {0xFF, 0x42, 0x42, "VendorSpecific", "---", "VendorSpecific"},
    };
    const CStringContent names;
    for (const Case& c : cases) {
        const std::string codes = std::to_string(c.cls) + "/" + std::to_string(c.sub) + "/" + std::to_string(c.proto);
        CString hex = "stale", name = "stale";
        names.ClassName(c.cls, hex, name);
        EXPECT_EQ(Hex(c.cls) + c.className, Str(hex) + Str(name)) << codes;
        names.SubClassName(c.cls, c.sub, hex, name);
        EXPECT_EQ(Hex(c.sub) + c.subName, Str(hex) + Str(name)) << codes;
        names.ProtocolName(c.cls, c.sub, c.proto, 0, hex, name);
        EXPECT_EQ(Hex(c.proto) + c.protoName, Str(hex) + Str(name)) << codes;
    }
}

TEST(StringContentTablesTest, DescriptorTypeTestsTheKindBitsFirst) {
    struct Case {
        UCHAR type;
        const char* name;
    } cases[] = {
        {0x01, "DEVICE"},
        {0x06, "DEVICE QUALIFIER"},
        {0x0A, "DEBUG"},
        {0x0F, "BOS"},
        {0x10, "DEVICE CAPABILITY"},
        {0x0B, "UNKNOWN"},
        {0x00, "UNKNOWN"},
        {0x81, "UNKNOWN"},
        {0x29, "CLASS-SPECIFIC"},
        {0x21, "CLASS-SPECIFIC"},
        {0x44, "VENDOR-SPECIFIC"},
        {0x60, "before"},
        {0xFF, "before"},
    };
    const CStringContent names;
    for (const Case& c : cases) {
        CString text = "before";
        names.DescriptorTypeName(c.type, text);
        EXPECT_EQ(c.name, Str(text)) << int(c.type);
    }
}

TEST(StringContentTablesTest, EndpointAttributeAndConnectionNamesAssign) {
    const CStringContent names;
    // The operations take narrower codes; each case passes its code through the operation's own type.
    const auto transfer = [&](ULONG v, CString& t) { names.TransferTypeName(static_cast<UCHAR>(v), t); };
    const auto usage = [&](ULONG v, CString& t) { names.UsageTypeName(static_cast<UCHAR>(v), t); };
    const auto sync = [&](ULONG v, CString& t) { names.SyncTypeName(static_cast<UCHAR>(v), t); };
    const auto text = [&](ULONG v, CString& t) { names.ConnectionStatusText(v, t); };
    const auto html = [&](ULONG v, CString& t) { names.ConnectionStatusHtml(v, t); };
    struct Case {
        std::function<void(ULONG, CString&)> lookup;
        ULONG code;
        const char* name;
    } cases[] = {
        {transfer, 0, "Control"},
        {transfer, 1, "Isochronous"},
        {transfer, 2, "Bulk"},
        {transfer, 3, "Interrupt"},
        {transfer, 4, "before"},
        // Isochronous, adaptive, implicit feedback: the bits around those looked at set too.
        {usage, 0x29, "Implicit Feedback EP"},
        {usage, 0xFF, "Reserved EP"},
        {usage, 0xC3, "Data EP"},
        {sync, 0x29, "Adaptive"},
        {sync, 0x01, "No Synchronization"},
        {sync, 0xFC, "Synchronous"},
        {text, 1, "Device connected"},
        {text, 6, "Device not enough bandwidth"},
        {text, 7, "Unknown connection status"},
        {html, 1, "Device connected"},
        {html, 0, "<font color=\"red\">No device connected</font>"},
        {html, 0xFFFFFFFF, "<font color=\"red\">Unknown connection status</font>"},
    };
    for (const Case& c : cases) {
        CString result = "before";
        c.lookup(c.code, result);
        EXPECT_EQ(c.name, Str(result)) << c.code;
    }
}

TEST(StringContentTablesTest, MaxPacketSizeOfHighBandwidthEndpoints) {
    struct Case {
        USHORT w;
        int result;
        UCHAR count;
        ULONG total;
    } cases[] = {
        {0x1400, 2, 2, 3072}, {0x0C00, 1, 1, 2048}, {0x0040, 0, 99, 99}, {0x1C00, 0, 99, 99}, {0xFFFF, 0, 99, 99},
    };
    const CStringContent names;
    for (const Case& c : cases) {
        UCHAR count = 99;
        ULONG total = 99;
        EXPECT_EQ(c.result, names.DecodeMaxPacketSize(c.w, count, total)) << c.w;
        EXPECT_EQ(c.count, count) << c.w;
        EXPECT_EQ(c.total, total) << c.w;
    }
}

TEST(StringContentTablesTest, DeviceClassStringsAppendTheirOwnNames) {
    struct Case {
        UCHAR summary[8];
        const char* hex;
        const char* name;
        const char* third;
    } cases[] = {
        // Interface classes and device classes name 0x06 and 0x0A differently.
        {{1, 0x06, 0, 0, 1, 0x06, 1, 1}, "06", "Power", ""},
        {{1, 0x0A, 0, 0, 1, 0x0A, 0, 0}, "0a", "Other", ""},
        {{1, 0x00, 0, 0, 0, 0, 0, 0}, "00", "NoClass", ""},
        {{1, 0x00, 0, 0, 1, 0x0A, 0, 0}, "00", "InterfaceHasClass", "Data"},
        {{1, 0x00, 0, 0, 1, 0x06, 0, 0}, "00", "InterfaceHasClass", "Image"},
        {{2, 0x00, 0, 0, 3, 0x03, 1, 2}, "00", "CompositeDevice", ""},
        {{1, 0xEF, 2, 1, 2, 0, 0, 0}, "ef", "IAD-Device", ""},
        {{1, 0xEF, 2, 2, 2, 0, 0, 0}, "ef", "Miscellaneous", ""},
        {{1, 0x04, 0, 0, 1, 0, 0, 0}, "04", "Monitor", ""},
        {{1, 0xFF, 0, 0, 1, 0, 0, 0}, "ff", "VendorSpecific", ""},
        {{1, 0x0E, 0, 0, 1, 0, 0, 0}, "0e", "Other", ""},
    };
    const CStringContent names;
    for (const Case& c : cases) {
        CStringArray strings;
        strings.Add("before");
        names.DeviceClassStrings(c.summary, strings);
        ASSERT_EQ(4, strings.GetSize()) << c.name;
        EXPECT_EQ("before", Str(strings[0]));
        EXPECT_EQ(c.hex, Str(strings[1]));
        EXPECT_EQ(c.name, Str(strings[2]));
        EXPECT_EQ(c.third, Str(strings[3])) << c.name;
    }
}

TEST(StringContentTablesTest, DeviceClassStringsWithoutConfigurationsAddNothingAndWarn) {
    const UCHAR summary[8] = {0, 0x09, 0, 0, 1, 0x09, 0, 0};
    CStringArray strings;
    {
        // A warning in its own area: a session listening to errors only, or to other areas, hears nothing.
        apptest::TraceCapture errorsOnly(TRACE_ERROR, 0x10000);
        CStringContent().DeviceClassStrings(summary, strings);
        EXPECT_TRUE(errorsOnly.Texts().empty());
    }
    {
        apptest::TraceCapture otherAreas(TRACE_VERBOSE, ~0x10000u);
        CStringContent().DeviceClassStrings(summary, strings);
        EXPECT_TRUE(otherAreas.Texts().empty());
    }
    apptest::TraceCapture warnings(TRACE_WARNING, 0x10000);
    CStringContent().DeviceClassStrings(summary, strings);
    EXPECT_EQ(0, strings.GetSize());
    EXPECT_EQ(std::vector<std::string>{"CStringContent::DeviceClassStrings - devSummary.NumConfigurations==0"},
              warnings.Texts());
}

TEST(StringContentTablesTest, HexFormsChunkAndCut) {
    BYTE bytes[40];
    for (int i = 0; i < 40; ++i)
        bytes[i] = static_cast<BYTE>(0xA0 + i);
    const CStringContent names;
    CString text = "kept";
    EXPECT_EQ(0u, names.HexBytesSpaced(text, bytes, 0));
    EXPECT_EQ("kept", Str(text));
    EXPECT_EQ(3u, names.HexBytesSpaced(text, bytes, 3));
    EXPECT_EQ("a0 a1 a2", Str(text));
    EXPECT_EQ(16u, names.HexBytesPacked(text, bytes, 40));
    EXPECT_EQ("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf", Str(text));

    const std::string line1 = "a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af";
    const std::string line2 = "b0 b1 b2 b3 b4 b5 b6 b7 b8 b9 ba bb bc bd be bf";
    names.HexDumpHtml(text, bytes, 40, 32);
    EXPECT_EQ(line1 + "<br>" + line2 + "&nbsp;<b>...</b>", Str(text));
    names.HexDumpHtml(text, bytes, 16, 32);
    EXPECT_EQ(line1, Str(text));
    names.HexDumpHtml(text, bytes, 17, 32);
    EXPECT_EQ(line1 + "<br>b0", Str(text));
    names.HexDumpHtml(text, bytes, 0, 32);
    EXPECT_EQ("", Str(text));

    names.HexString(text, bytes, 18);
    EXPECT_EQ("a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1", Str(text));
}

TEST(StringContentTablesTest, GuidFieldsInTheirOwnByteOrder) {
    // Data1 to Data3 are little-endian numbers in memory; Data4 is bytes as they lie.
    const BYTE raw[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                          0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    GUID guid;
    std::memcpy(&guid, raw, sizeof guid);
    CString text = "before";
    CStringContent().GuidToString(guid, text);
    EXPECT_EQ("{12345678-9abc-def0-0123-456789abcdef}", Str(text));
}

TEST(StringContentTablesTest, UsbdStatusNamesEmptyTheStringFirst) {
    struct Case {
        ULONG status;
        const char* name;
    } cases[] = {
        {0x00000000, "USBD_STATUS_SUCCESS"},
        {0x40000000, "USBD_STATUS_PENDING"},
        {0xC0000004, "USBD_STATUS_STALL_PID"},
        {0xC0000F00, "USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR"},
        {0xC0005000, "USBD_STATUS_INAVLID_PIPE_FLAGS"},
        {0xC0050000, "USBD_STATUS_ISO_NOT_ACCESSED_LATE"},
        {0x80000900, "USBD_STATUS_ERROR_SHORT_TRANSFER"},
        {0xC000000E, "0xc000000e"},
        {0xC0000020, "0xc0000020"},
        {0x80000500, "0x80000500"},
    };
    const CStringContent names;
    for (const Case& c : cases) {
        CString text = "prefix ";
        names.UsbdStatusName(text, c.status);
        names.UsbdStatusName(text, c.status);
        EXPECT_EQ(c.name, Str(text));
    }
}

} // namespace
