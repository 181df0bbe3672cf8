// Names of USB class, subclass and protocol codes, and the class strings of a device summary.
#include <afxcoll.h>

#include "app/core/diagnostics/Trace.h"
#include "app/core/records/CodeNames.h"
#include "app/decoders/framework/StringContent.h"

namespace {

// A class's names for one kind of code, and what any code it does not list is called.
struct ClassNames {
    int classCode;
    int subClass; // -1: any subclass
    std::span<const CodeName> names;
    LPCSTR otherwise;
};

LPCSTR LookUp(std::span<const ClassNames> tables, LPCSTR fallback, UCHAR classCode, UCHAR subClass, UCHAR code) {
    for (const ClassNames& table : tables) {
        if (table.classCode != classCode || (table.subClass >= 0 && table.subClass != subClass))
            continue;
        const LPCSTR name = FindCodeName(table.names, code);
        return name ? name : table.otherwise;
    }
    return fallback;
}

// clang-format off
constexpr CodeName kClassNames[] = {
    {0x00, "Reserved"}, {0x01, "Audio"}, {0x02, "Communications"}, {0x03, "HumanInterface"}, {0x06, "Image"},
    {0x07, "Printer"}, {0x08, "MassStorage"}, {0x09, "Hub"}, {0x0A, "Data"}, {0x0B, "CCID"},
    {0x0D, "ContentSecurity"}, {0x0E, "Video"}, {0xE0, "Wireless"}, {0xFE, "ApplicationSpecific"},
    {0xFF, "VendorSpecific"},
};

constexpr CodeName kAudioSubClasses[] = {
    {0, "SUBCLASS_UNDEFINED"}, {1, "AUDIOCONTROL"}, {2, "AUDIOSTREAMING"}, {3, "MIDISTREAMING"}};
constexpr CodeName kCommSubClasses[] = {
    {0, "RESERVED"}, {1, "DirectLineControl"}, {2, "AbstractControlModel"}, {3, "TelephoneControlModel"},
    {4, "Multi-ChannelControlModel"}, {5, "CAPI-ControlModel"}, {6, "EthernetNetworkingControlModel"},
    {7, "ATM-NetworkingControlModel"}, {8, "WirelessHandsetControlModel"}, {9, "DeviceManagementModel"},
    {10, "MobileDirectLineModel"}, {11, "OBEX=Model"}};
constexpr CodeName kHidSubClasses[] = {{0, "None"}, {1, "Boot"}};
constexpr CodeName kImageSubClasses[] = {{1, "StillImageCapture"}};
constexpr CodeName kPrinterSubClasses[] = {{1, "Printers"}};
constexpr CodeName kMassStorageSubClasses[] = {
    {1, "RBC-(ReducedBlockCommands)"}, {2, "MMC-5"}, {3, "SFF-8070i"}, {4, "UFI"}, {5, "QIC-157"},
    {6, "SCSI_transparent_set"}, {7, "Lockable_mass_storage"}, {8, "IEEE_1667"}, {0xFF, "Vendor_specific"}};
constexpr CodeName kVideoSubClasses[] = {
    {0, "Undefined"}, {1, "VideoControl"}, {2, "VideoStreaming"}, {3, "VideoInterfaceCollection"}};
constexpr CodeName kWirelessSubClasses[] = {{1, "RF-Controller"}};
constexpr CodeName kApplicationSubClasses[] = {
    {1, "Device_firmware_upgrade"}, {2, "IrDA_Bridge_device"}, {3, "Test_&_Measurement_Class"}};

constexpr ClassNames kSubClassTables[] = {
    {0x01, -1, kAudioSubClasses, "RESERVED"},
    {0x02, -1, kCommSubClasses, "Reserved"},
    {0x03, -1, kHidSubClasses, "Reserved"},
    {0x06, -1, kImageSubClasses, "Reserved"},
    {0x07, -1, kPrinterSubClasses, "Reserved"},
    {0x08, -1, kMassStorageSubClasses, "Reserved"},
    {0x09, -1, {}, "Unused"}, {0x0A, -1, {}, "Unused"}, {0x0B, -1, {}, "Unused"}, {0x0D, -1, {}, "Unused"},
    {0x0E, -1, kVideoSubClasses, "Reserved"},
    {0xE0, -1, kWirelessSubClasses, "Reserved"},
    {0xFE, -1, kApplicationSubClasses, "Reserved"},
};

constexpr CodeName kAudioProtocols[] = {{0, "PR_PROTOCOL_UNDEFINED"}};
constexpr CodeName kCommProtocols[] = {{0, "None"}, {1, "Common_AT_Commands"}, {0xFF, "VendornSpecific"}};
constexpr CodeName kHidProtocols[] = {{0, "None"}, {1, "Keyboard"}, {2, "Mouse"}};
constexpr CodeName kImageProtocols[] = {{1, "PIMA_15740_compliant_device"}};
constexpr CodeName kPrinterProtocols[] = {
    {0, "Undefined"}, {1, "Unidirectional"}, {2, "Bidirectional"}, {3, "1284.4_Bidirectional"},
    {0xFF, "Vendor-specific"}};
constexpr CodeName kMassStorageProtocols[] = {
    {0x00, "Control/Bulk/Interrupt_(CBI)_protocol_with_command_completion_interrupt"},
    {0x01, "Control/Bulk/Interrupt_(CBI)_protocol_with_no_command_completion_interrupt"},
    {0x50, "Bulk-only_Transport"}, {0xFF, "Vendor_specific"}};
constexpr CodeName kDataProtocols[] = {
    {0x00, "None"}, {0x02, "AT_commands_(PCCA_STD-101)"}, {0x03, "AT_commands_(PCCA_STD-101+wakeup_control)"},
    {0x04, "AT_commands_for_GSM_mobile_equipment"}, {0x05, "AT_commands_for_user_equipment"},
    {0x06, "AT_commands_for_cmda2000_mobile_terminals"}, {0x30, "ISDN_BRI"}, {0x31, "HDLC"},
    {0x32, "Transparent"}, {0x50, "Q.921M"}, {0x51, "Q.921"}, {0x52, "Q.921TM"}, {0x90, "V.42bis"},
    {0x91, "Q.931"}, {0x92, "V.120"}, {0x93, "CAPI2.0"}, {0xFD, "Host_based_driver"},
    {0xFE, "Protocol_Unit_Functional_Descriptors"}, {0xFF, "VendorSpecific"}};
constexpr CodeName kVideoProtocols[] = {{0, "Undefined"}};
constexpr CodeName kWirelessProtocols[] = {{1, "Bluetooth_Programming"}};
constexpr CodeName kTestMeasurementProtocols[] = {
    {0, "No_subclass_specification"}, {1, "USB488_subclass_specification"}};
constexpr CodeName kApplicationProtocols[] = {{0, "Default"}};

constexpr ClassNames kProtocolTables[] = {
    {0x00, -1, {}, "---"},
    {0x01, -1, kAudioProtocols, "Reserved"},
    {0x02, -1, kCommProtocols, "Reserved"},
    {0x03, -1, kHidProtocols, "Reserved"},
    {0x06, -1, kImageProtocols, "Reserved"},
    {0x07, -1, kPrinterProtocols, "Reserved"},
    {0x08, -1, kMassStorageProtocols, "Reserved"},
    {0x09, -1, {}, "Unused"}, {0x0B, -1, {}, "Unused"}, {0x0D, -1, {}, "Unused"},
    {0x0A, -1, kDataProtocols, "Reserved"},
    {0x0E, -1, kVideoProtocols, "Reserved"},
    {0xE0, -1, kWirelessProtocols, "Reserved"},
    {0xFE, 3, kTestMeasurementProtocols, "Reserved"},
    {0xFE, -1, kApplicationProtocols, "Reserved"},
    {0xFF, -1, {}, "VendorSpecific"},
};

// A device descriptor's class names its own way: it may defer to the interfaces or name power and monitor
// classes that interfaces do not use.
constexpr CodeName kDeviceClassNames[] = {
    {0x01, "Audio"}, {0x02, "Communications"}, {0x03, "HumanInterface"}, {0x04, "Monitor"},
    {0x05, "PhysicalInterface"}, {0x06, "Power"}, {0x07, "Printer"}, {0x08, "MassStorage"}, {0x09, "Hub"},
    {0xFF, "VendorSpecific"}};
// clang-format on

// The device summary's bytes.
enum SummaryByte {
    kNumConfigurations,
    kDeviceClass,
    kDeviceSubClass,
    kDeviceProtocol,
    kNumInterfaces,
    kInterfaceClass,
};

constexpr UCHAR kMiscellaneousClass = 0xEF;

} // namespace

void CStringContent::ClassName(UCHAR classCode, CString& hex, CString& name) const {
    hex.Format("%02x", classCode);
    const LPCSTR text = FindCodeName(kClassNames, classCode);
    name = text ? text : "Other";
}

void CStringContent::SubClassName(UCHAR classCode, UCHAR subClass, CString& hex, CString& name) const {
    hex.Format("%02x", subClass);
    name = LookUp(kSubClassTables, "---", classCode, subClass, subClass);
}

void CStringContent::ProtocolName(UCHAR classCode, UCHAR subClass, UCHAR protocol, UCHAR /*context*/, CString& hex,
                                  CString& name) const {
    hex.Format("%02x", protocol);
    name = LookUp(kProtocolTables, "Other", classCode, subClass, protocol);
}

void CStringContent::DeviceClassStrings(const BYTE* summary, CStringArray& strings) const {
    if (summary[kNumConfigurations] == 0) {
        // The class names' warnings share the change-log area's bit.
        TracePrintf(TRACE_WARNING, TRACE_AREA_CHANGE_LOG, "StringContent", __LINE__,
                    "CStringContent::DeviceClassStrings - devSummary.NumConfigurations==0");
        return;
    }
    const UCHAR deviceClass = summary[kDeviceClass];
    CString text;
    text.Format("%02x", deviceClass);
    strings.Add(text);
    CString interfaceClassName;
    if (deviceClass == 0) {
        const UCHAR interfaces = summary[kNumInterfaces];
        if (interfaces == 1) {
            text = "InterfaceHasClass";
            CString hex;
            ClassName(summary[kInterfaceClass], hex, interfaceClassName);
        } else {
            text = interfaces == 0 ? "NoClass" : "CompositeDevice";
        }
    } else if (deviceClass == kMiscellaneousClass) {
        // An interface association's device descriptor says so by subclass 2, protocol 1.
        const bool iad = summary[kDeviceSubClass] == 2 && summary[kDeviceProtocol] == 1;
        text = iad ? "IAD-Device" : "Miscellaneous";
    } else {
        const LPCSTR name = FindCodeName(kDeviceClassNames, deviceClass);
        text = name ? name : "Other";
    }
    strings.Add(text);
    strings.Add(interfaceClassName);
}
