// The hub-interface calls with which a hub creates, initialises, queries, restores and removes devices and
// talks to its controller, and the rows of theirs whose value is more than a number.
#include <algorithm>
#include <iterator>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/CallArgument.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/HubifRows.h"
#include "common/ByteReader.h"

namespace {

using enum HubifSource;
using enum HubifShow;
using namespace hubif_widths;
using H = HubifOutputer;

constexpr HubifRow kReturnStatus{"ReturnStatus", "ReturnStatus", Returned, 0, U32, "out", NtStatus};
constexpr HubifRow kDeviceHandle{"UsbdDeviceHandle", "UsbdDeviceHandle", Handle, 0, U64, "in"};
constexpr HubifRow kBusDeviceHandle{"BusDeviceHandle", "BusDeviceHandle", Handle, 0, U64, "in"};
constexpr HubifRow kPortNumber{"Port Number", "PortNumber", Argument, 0, U16, "in"};
constexpr HubifRow kPortStatus{"Port Status", "PortStatusWord", Argument, 2, U16, "in"};
constexpr HubifRow kCreatedDevice{"UsbdDeviceHandle", "UsbdDeviceHandle", Argument, 8, U64, "out"};

// The information queries pass a buffer's length and get back the length they filled, then the structure.
constexpr HubifRow kInputLengthIn{"Input Buffer Length", "InputBufferLength", Argument, 0, U32, "in", Number, true};
constexpr HubifRow kInputLengthOut{"Input Buffer Length", "InputBufferLength", Argument, 0, U32, "in"};
constexpr HubifRow kLengthReturned{"Length Returned", "LengthReturned", Argument, 4, U32, "out"};

constexpr HubifRow kStatusOnly[] = {kReturnStatus};
constexpr HubifRow kDeviceHandleIn[] = {kDeviceHandle};

constexpr HubifRow kCreateUsbDeviceIn[] = {
    kBusDeviceHandle,
    kPortNumber,
    kPortStatus,
    {"Port Status Bits", "PortStatusBits", Block, 2, U16, nullptr, Number, false, false,
     &H::OutputCreateDevicePortStatus},
};
constexpr HubifRow kCreateUsbDeviceOut[] = {kCreatedDevice, kReturnStatus};

constexpr HubifRow kGetUsbDescriptorsIn[] = {
    kDeviceHandle,
    {"DeviceDescriptorLength", "DeviceDescriptorLength", Argument, 0, U32, "in", Number, true},
    {"ConfigDescriptorLength", "ConfigDescriptorLength", Argument, 4, U32, "in", Number, true},
};
constexpr HubifRow kGetUsbDescriptorsOut[] = {
    {"DeviceDescriptorLength", "DeviceDescriptorLength", Argument, 0, U32, "out", Number, false, true},
    {"ConfigDescriptorLength", "ConfigDescriptorLength", Argument, 4, U32, "out", Number, false, true},
    {"USB Descriptors", "USB_Descriptors", Block, 8, U32, nullptr, Number, false, true, &H::OutputUsbDescriptors},
    kReturnStatus,
};

constexpr HubifRow kRemoveUsbDeviceIn[] = {kDeviceHandle, {"Flags", "Flags", Argument, 0, U32, "in", Flags}};
constexpr HubifRow kRestoreUsbDeviceOut[] = {{"New UsbdDeviceHandle", "NewUsbdDeviceHandle", Argument, 0, U64, "out"},
                                             kReturnStatus};
constexpr HubifRow kGetPortHackFlagsOut[] = {{"HackFlags", "HackFlags", Argument, 0, U32, "out"}, kReturnStatus};

constexpr HubifRow kDeviceHandleAndLengthIn[] = {kDeviceHandle, kInputLengthIn};
constexpr HubifRow kLengthIn[] = {kInputLengthIn};
constexpr HubifRow kQueryDeviceInformationOut[] = {
    kInputLengthOut,
    kLengthReturned,
    {"USB_DEVICE_INFORMATION_0", "USB_DEVICE_INFORMATION_0", Block, 8, U32, nullptr, Number, false, false,
     &H::OutputDeviceInformation},
    kReturnStatus,
};
constexpr HubifRow kGetControllerInformationOut[] = {
    kInputLengthOut,
    kLengthReturned,
    {"USB_CONTROLLER_INFORMATION_0", "USB_CONTROLLER_INFORMATION_0", Block, 8, U32, nullptr, Number, false, false,
     &H::OutputControllerInformation},
    kReturnStatus,
};
constexpr HubifRow kSelectiveSuspendIn[] = {{"Enable", "Enable", Argument, 0, U32, "in", Boolean}};
constexpr HubifRow kGetExtendedHubInformationIn[] = {
    {"HubPhysicalDeviceObject", "HubPhysicalDeviceObject", Handle, 0, U64, "in"}, kInputLengthIn};
constexpr HubifRow kGetExtendedHubInformationOut[] = {
    kInputLengthOut,
    kLengthReturned,
    {"USB_EXTHUB_INFORMATION_0", "USB_EXTHUB_INFORMATION_0", Block, 8, U32, nullptr, Number, false, false,
     &H::OutputExtHubInformation},
    kReturnStatus,
};
constexpr HubifRow kRootHubNameIn[] = {
    {"InputBufferLength", "InputBufferLength", Argument, 0, U32, "in", Number, true}};
constexpr HubifRow kRootHubNameOut[] = {
    {"InputBufferLength", "InputBufferLength", Argument, 0, U32, "in"},
    {"LengthReturned", "LengthReturned", Argument, 4, U32, "out"},
    {"Symbolic Name", "SymbolicName", Argument, 4, U32, "out", SymbolicName, false, true},
    kReturnStatus,
};
constexpr HubifRow kInitialize20HubIn[] = {
    {"Hub UsbdDeviceHandle", "UsbdDeviceHandle", Handle, 0, U64, "in"},
    {"TtCount", "TtCount", Argument, 0, U32, "in"},
};
constexpr HubifRow kRootHubInitNotificationIn[] = {
    {"CallbackContext", "CallbackContext", Argument, 0, U64, "in"},
    {"CallbackFunction", "CallbackFunction", Argument, 8, U64, "in"},
};
constexpr HubifRow kCreateUsbDeviceExIn[] = {
    kBusDeviceHandle,
    kPortNumber,
    kPortStatus,
    {"Port Status Bits", "PortStatusBits", Block, 2, U16, nullptr, Number, false, false,
     &H::OutputCreateDevicePortStatus},
    {"ErrInfoPointer", "ErrInfoPointer", Argument, 16, U64, "in_out"},
    {"TtPortNumber", "TtPortNumber", Argument, 4, U16, "in"},
};
constexpr HubifRow kCreateUsbDeviceExOut[] = {
    kCreatedDevice,
    {"ErrInfo", "USB_CD_ERROR_INFORMATION", Block, 24, U32, nullptr, Number, false, false,
     &H::OutputCreateDeviceErrorInfoIfPresent},
    kReturnStatus,
};
constexpr HubifRow kInitializeUsbDeviceExIn[] = {kDeviceHandle,
                                                 {"ErrInfoPointer", "ErrInfoPointer", Argument, 0, U64, "in_out"}};
constexpr HubifRow kInitializeUsbDeviceExOut[] = {
    {"ErrInfo", "USB_ID_ERROR_INFORMATION", Block, 8, U32, nullptr, Number, false, false,
     &H::OutputInitDeviceErrorInfoIfPresent},
    kReturnStatus,
};
constexpr HubifRow kCalculatePipeBandwidthIn[] = {
    {"PipeInfo", "PipeInfoPointer", Argument, 0, U64, "in"},
    {"USBD_PIPE_INFORMATION", "USBD_PIPE_INFORMATION", Block, 16, U32, nullptr, Number, false, false,
     &H::OutputPipeInformation},
    {"DeviceSpeed", "DeviceSpeed", Argument, 8, U32, "in", DeviceSpeed},
};
// The call returns the bandwidth, not a status.
constexpr HubifRow kCalculatePipeBandwidthOut[] = {{"Return Bandwidth ULONG", "Bandwidth", Returned, 0, U32, "out"}};
constexpr HubifRow kHubTestPointIn[] = {
    kDeviceHandle,
    {"OpCode", "OpCode", Argument, 0, U32, "in"},
    {"TestData", "TestDataPointer", Argument, 8, U64, "in"},
};
constexpr HubifRow kGetDevicePerformanceInfoOut[] = {
    kInputLengthOut,
    kLengthReturned,
    {"USB_DEVICE_PERFORMANCE_INFO_0", "USB_DEVICE_PERFORMANCE_INFO_0", Block, 8, U32, nullptr, Number, false, false,
     &H::OutputDevicePerformanceInfo},
    kReturnStatus,
};
constexpr HubifRow kGetDeviceAddressOut[] = {{"DeviceAddress", "DeviceAddress", Argument, 0, U16, "out"},
                                             kReturnStatus};
constexpr HubifRow kRefDeviceHandleIn[] = {
    kDeviceHandle,
    {"Object", "ObjectPointer", Argument, 0, U64, "in"},
    {"Tag", "Tag", Argument, 8, U32, "in", Tag},
};
constexpr HubifRow kDerefDeviceHandleIn[] = {
    kDeviceHandle,
    {"Object", "Object", Argument, 0, U64, "in"},
    {"Tag", "Tag", Argument, 8, U32, "in", Tag},
};
constexpr HubifRow kCreateUsbDeviceV7In[] = {
    kBusDeviceHandle,
    {"PortPathDepth", "PortPathDepth", Argument, 8, U16, "in"},
    {"PortPath", "PortPath", Argument, 0, U16, "in", PortPath},
    {"Port Status", "PortStatusWord", Argument, 10, U16, "in"},
    {"Port Status Bits", "PortStatusBits", Block, 10, U16, nullptr, Number, false, false,
     &H::OutputCreateDeviceV7PortStatus},
    {"ErrInfoPointer", "ErrInfoPointer", Argument, 24, U64, "in_out"},
    {"TtPortNumber", "TtPortNumber", Argument, 12, U16, "in"},
    {"PdoDeviceObject", "PdoDeviceObject", Argument, 32, U64, "in"},
};
constexpr HubifRow kCreateUsbDeviceV7Out[] = {
    {"UsbdDeviceHandle", "UsbdDeviceHandle", Argument, 16, U64, "out"},
    kReturnStatus,
    {"ErrInfo", "USB_CD_ERROR_INFORMATION", Block, 40, U32, nullptr, Number, false, false,
     &H::OutputCreateDeviceV7ErrorInfoIfPresent},
};
constexpr HubifRow kContainerPortIn[] = {{"PortNumber", "PortNumber", Argument, 0, U16, "in", Number32}};
constexpr HubifRow kGetContainerIdOut[] = {{"ContainerId", "ContainerId", Argument, 4, U32, "out", Guid, false, true},
                                           kReturnStatus};
constexpr HubifRow kSetContainerIdIn[] = {
    {"PortNumber", "PortNumber", Argument, 0, U16, "in", Number32},
    {"ContainerId", "ContainerId", Argument, 4, U32, "in", Guid},
};

constexpr HubifFunction kCreateUsbDevice{kCreateUsbDeviceIn, kCreateUsbDeviceOut};
constexpr HubifFunction kInitializeUsbDevice{kDeviceHandleIn, kStatusOnly};
constexpr HubifFunction kGetUsbDescriptors{kGetUsbDescriptorsIn, kGetUsbDescriptorsOut};
constexpr HubifFunction kRemoveUsbDevice{kRemoveUsbDeviceIn, kStatusOnly};
constexpr HubifFunction kRestoreUsbDevice{kDeviceHandleIn, kRestoreUsbDeviceOut};
constexpr HubifFunction kGetPortHackFlags{{}, kGetPortHackFlagsOut};
constexpr HubifFunction kQueryDeviceInformation{kDeviceHandleAndLengthIn, kQueryDeviceInformationOut};
constexpr HubifFunction kGetControllerInformation{kLengthIn, kGetControllerInformationOut};
constexpr HubifFunction kControllerSelectiveSuspend{kSelectiveSuspendIn, kStatusOnly};
constexpr HubifFunction kGetExtendedHubInformation{kGetExtendedHubInformationIn, kGetExtendedHubInformationOut};
constexpr HubifFunction kGetRootHubSymbolicName{kRootHubNameIn, kRootHubNameOut};
constexpr HubifFunction kInitialize20Hub{kInitialize20HubIn, kStatusOnly};
constexpr HubifFunction kRootHubInitNotification{kRootHubInitNotificationIn, kStatusOnly};
constexpr HubifFunction kCreateUsbDeviceEx{kCreateUsbDeviceExIn, kCreateUsbDeviceExOut};
constexpr HubifFunction kInitializeUsbDeviceEx{kInitializeUsbDeviceExIn, kInitializeUsbDeviceExOut};
constexpr HubifFunction kCalculatePipeBandwidth{kCalculatePipeBandwidthIn, kCalculatePipeBandwidthOut};
constexpr HubifFunction kHubTestPoint{kHubTestPointIn, kStatusOnly};
constexpr HubifFunction kGetDevicePerformanceInfo{kDeviceHandleAndLengthIn, kGetDevicePerformanceInfoOut};
constexpr HubifFunction kWaitAsyncPowerUp{{}, kStatusOnly};
constexpr HubifFunction kGetDeviceAddress{kDeviceHandleIn, kGetDeviceAddressOut};
constexpr HubifFunction kRefDeviceHandle{kRefDeviceHandleIn, kStatusOnly};
constexpr HubifFunction kDerefDeviceHandle{kDerefDeviceHandleIn, kStatusOnly};
constexpr HubifFunction kCreateUsbDeviceV7{kCreateUsbDeviceV7In, kCreateUsbDeviceV7Out};
constexpr HubifFunction kGetContainerIdForPort{kContainerPortIn, kGetContainerIdOut};
constexpr HubifFunction kSetContainerIdForPort{kSetContainerIdIn, kStatusOnly};

// RemoveUsbDevice's flags, by bit.
// The mark-up's names are joined as they are: the first ends in its blank.
constexpr LPCSTR kRemoveFlagNames[] = {"USBD_KEEP_DEVICE_DATA ", "USBD_MARK_DEVICE_BUSY"};
constexpr LPCSTR kRemoveFlagRows[] = {"USBD_KEEP_DEVICE_DATA.0", "USBD_MARK_DEVICE_BUSY.1"};

LPCSTR DeviceSpeedName(ULONG speed) {
    switch (speed) {
    case 0: return "UsbLowSpeed";
    case 1: return "UsbFullSpeed";
    case 2: return "UsbHighSpeed";
    default: return "Invalid Speed";
    }
}

// The port path's bytes in front of its depth.
constexpr size_t kPortPathBytes = 8;

} // namespace

void HubifOutputer::OutputCreateUsbDevice(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kCreateUsbDevice);
}
void HubifOutputer::OutputInitializeUsbDevice(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kInitializeUsbDevice);
}
void HubifOutputer::OutputGetUsbDescriptors(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetUsbDescriptors);
}
void HubifOutputer::OutputRemoveUsbDevice(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kRemoveUsbDevice);
}
void HubifOutputer::OutputRestoreUsbDevice(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kRestoreUsbDevice);
}
void HubifOutputer::OutputGetPortHackFlags(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetPortHackFlags);
}
void HubifOutputer::OutputQueryDeviceInformation(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kQueryDeviceInformation);
}
void HubifOutputer::OutputGetControllerInformation(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetControllerInformation);
}
void HubifOutputer::OutputControllerSelectiveSuspend(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kControllerSelectiveSuspend);
}
void HubifOutputer::OutputGetExtendedHubInformation(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetExtendedHubInformation);
}
void HubifOutputer::OutputGetRootHubSymbolicName(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetRootHubSymbolicName);
}
void HubifOutputer::OutputInitialize20Hub(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kInitialize20Hub);
}
void HubifOutputer::OutputRootHubInitNotification(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kRootHubInitNotification);
}
void HubifOutputer::OutputCreateUsbDeviceEx(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kCreateUsbDeviceEx);
}
void HubifOutputer::OutputInitializeUsbDeviceEx(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kInitializeUsbDeviceEx);
}
void HubifOutputer::OutputCalculatePipeBandwidth(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kCalculatePipeBandwidth);
}
void HubifOutputer::OutputHubTestPoint(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kHubTestPoint);
}
void HubifOutputer::OutputGetDevicePerformanceInfo(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetDevicePerformanceInfo);
}
void HubifOutputer::OutputWaitAsyncPowerUp(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kWaitAsyncPowerUp);
}
void HubifOutputer::OutputGetDeviceAddress(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetDeviceAddress);
}
void HubifOutputer::OutputRefDeviceHandle(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kRefDeviceHandle);
}
void HubifOutputer::OutputDerefDeviceHandle(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kDerefDeviceHandle);
}
void HubifOutputer::OutputCreateUsbDeviceV7(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kCreateUsbDeviceV7);
}
void HubifOutputer::OutputGetContainerIdForPort(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kGetContainerIdForPort);
}
void HubifOutputer::OutputSetContainerIdForPort(int mode, ULONG, const BYTE*) {
    OutputFunctionRows(mode, kSetContainerIdForPort);
}

bool HubifOutputer::ReadRowWord(FieldWriter& fields, const HubifRow& row, ULONG& value) {
    if (fields.Read(row.field.offset, value))
        return true;
    CallArgument(fields, row.Label(), row.Element(), kUnknownText, row.direction);
    return false;
}

void HubifOutputer::OutputFlags(FieldWriter& fields, const HubifRow& row) {
    ULONG flags = 0;
    if (!ReadRowWord(fields, row, flags))
        return;
    // Mark-up: the word and the names of its flags; the grid: a group of the word and each flag's bit.
    CString names;
    for (size_t bit = 0; bit < std::size(kRemoveFlagNames); ++bit)
        if (flags & (1u << bit))
            names += kRemoveFlagNames[bit];
    fields.Field(row.Element(), fields.Number(U32, flags), nullptr, kXml);
    if (row.direction)
        fields.Attribute("ArgDirection", row.direction);
    fields.Attribute("FlagNames", names);
    fields.Open(FieldSection::Block, row.Label(), "", kNotMarkup);
    fields.Field("as ULONG", fields.Number(U32, flags), nullptr, kNotMarkup);
    for (size_t bit = 0; bit < std::size(kRemoveFlagRows); ++bit)
        fields.NumberField(kRemoveFlagRows[bit], FieldFormat::Digit, (flags >> bit) & 1u, true, kNotMarkup);
    fields.Close(FieldSection::Block, kNotMarkup);
}

void HubifOutputer::OutputTag(FieldWriter& fields, const HubifRow& row) {
    ULONG tag = 0;
    if (!ReadRowWord(fields, row, tag))
        return;
    // A tag is four characters; a control byte would end the text or garble it, so it shows as '.'.
    char characters[5] = {};
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<unsigned char>(tag >> (8 * i));
        characters[i] = byte < 0x20 ? '.' : static_cast<char>(byte);
    }
    CString hex;
    hex.Format("%08x", tag);
    fields.Field(row.Element(), hex, nullptr, kXml);
    if (row.direction)
        fields.Attribute("ArgDirection", row.direction);
    fields.Attribute("CharValue", characters);
    CString value;
    value.Format("%s (%s)", characters, hex.GetString());
    fields.Field(row.Label(), value, nullptr, kNotMarkup);
}

void HubifOutputer::OutputPortPath(FieldWriter& fields, const HubifRow& row) {
    USHORT depth = 0;
    if (!fields.Read(row.field.offset + kPortPathBytes, depth)) {
        CallArgument(fields, row.Label(), row.Element(), kUnknownText, row.direction);
        return;
    }
    // The path holds 8 bytes whatever the depth says.
    const size_t shown = std::min<size_t>(depth, kPortPathBytes);
    const BYTE* path = fields.DataAt(row.field.offset);
    CString text;
    for (size_t i = 0; i < shown; ++i)
        text.AppendFormat("%02x ", path[i]);
    CallArgument(fields, row.Label(), row.Element(), text, row.direction);
}

void HubifOutputer::OutputDeviceSpeed(FieldWriter& fields, const HubifRow& row) {
    ULONG speed = 0;
    if (!ReadRowWord(fields, row, speed))
        return;
    NamedValueField(fields, row.Label(), row.Element(), fields.Text(U32, speed), DeviceSpeedName(speed), "Type");
    fields.Attribute("ArgDirection", row.direction);
}

void HubifOutputer::OutputGuid(FieldWriter& fields, const HubifRow& row) {
    GUID guid{};
    CString text = kUnknownText;
    if (fields.Read(row.field.offset, guid))
        CStringContent().GuidToString(guid, text);
    CallArgument(fields, row.Label(), row.Element(), text, row.direction);
}

void HubifOutputer::OutputSymbolicName(FieldWriter& fields, const HubifRow& row) {
    ULONG lengthReturned = 0;
    if (!ReadRowWord(fields, row, lengthReturned))
        return;
    // The name follows the two lengths; it ends at its first NUL, after the length returned, or at the
    // record's end, which cuts it.
    const size_t textOffset = row.field.offset + sizeof(ULONG);
    const ULONG available = fields.BytesFrom(textOffset);
    const ULONG count = std::min(lengthReturned, available);
    const BYTE* text = fields.DataAt(textOffset);
    bool ended = false;
    for (ULONG i = 0; i + 1 < count && !ended; i += 2)
        ended = tdl::LoadLe<char16_t>(text + i) == 0;
    if (!ended && lengthReturned > available)
        fields.ReportTruncation(textOffset + static_cast<size_t>(lengthReturned));
    const CString name = count ? FieldWideText(text, count) : CString();
    // The grid quotes the name, which may be empty.
    fields.Field(row.Element(), name, nullptr, kXml);
    if (row.direction)
        fields.Attribute("ArgDirection", row.direction);
    fields.Field(row.Label(), "\"" + name + "\"", nullptr, kNotMarkup);
}
