#include "app/decoders/ioctl/HubIoctlOutputer.h"

#include <algorithm>
#include <cstddef>

#include "app/core/document/USBLog.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/descriptors/StringDescOutputer.h"
#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/IoctlHubCapFlags.h"
#include "app/devices/HubPort.h"
#include "usbioctl.h"

namespace {

// Node information: the node type, then a hub's descriptor and power or a composite parent's interfaces.
constexpr size_t kNodeType = offsetof(USB_NODE_INFORMATION, NodeType);
constexpr size_t kHubDescriptor = offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor);
constexpr ULONG kHubDescriptorSize = sizeof(USB_HUB_DESCRIPTOR);
constexpr size_t kHubIsBusPowered = offsetof(USB_NODE_INFORMATION, u.HubInformation.HubIsBusPowered);
constexpr size_t kNumberOfInterfaces = offsetof(USB_NODE_INFORMATION, u.MiParentInformation.NumberOfInterfaces);
constexpr ULONG kNodeInfoSize = kHubIsBusPowered + 1;
static_assert(kHubDescriptorSize == 71 && kNodeInfoSize == 76);

// Every port-addressed block starts with the port.
constexpr size_t kConnectionIndex = 0;
constexpr ULONG kConnectionIndexSize = sizeof(ULONG);

// Connection information; the extended form differs only in the meaning of the speed byte.
using ConnInfo = USB_NODE_CONNECTION_INFORMATION;
constexpr size_t kDeviceDescriptor = offsetof(ConnInfo, DeviceDescriptor);
constexpr size_t kConfigurationValue = offsetof(ConnInfo, CurrentConfigurationValue);
constexpr size_t kSpeed = offsetof(ConnInfo, LowSpeed);
constexpr size_t kDeviceIsHub = offsetof(ConnInfo, DeviceIsHub);
constexpr size_t kDeviceAddress = offsetof(ConnInfo, DeviceAddress);
constexpr size_t kNumberOfOpenPipes = offsetof(ConnInfo, NumberOfOpenPipes);
constexpr size_t kConnectionStatus = offsetof(ConnInfo, ConnectionStatus);
constexpr size_t kPipeList = offsetof(ConnInfo, PipeList);
constexpr ULONG kConnInfoSize = sizeof(ConnInfo);
constexpr ULONG kPipeSize = sizeof(USB_PIPE_INFO);
constexpr size_t kScheduleOffset = offsetof(USB_PIPE_INFO, ScheduleOffset);
static_assert(kConnInfoSize == 35 && sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == kConnInfoSize &&
              offsetof(USB_NODE_CONNECTION_INFORMATION_EX, Speed) == kSpeed && kPipeSize == 11);

constexpr ULONG kAttributesSize = sizeof(USB_NODE_CONNECTION_ATTRIBUTES);
constexpr size_t kAttrStatus = offsetof(USB_NODE_CONNECTION_ATTRIBUTES, ConnectionStatus);
constexpr size_t kPortAttributes = offsetof(USB_NODE_CONNECTION_ATTRIBUTES, PortAttributes);

// Descriptor request: the setup packet, then the descriptor the device returned.
constexpr ULONG kDescRequestSize = sizeof(USB_DESCRIPTOR_REQUEST);
constexpr size_t kDescriptorData = offsetof(USB_DESCRIPTOR_REQUEST, Data);
// A returned descriptor tells what it is by its first two bytes.
constexpr ULONG kDescriptorHeadSize = kDescriptorData + 2;
static_assert(kDescRequestSize == 12);

constexpr size_t kActualLength = offsetof(USB_NODE_CONNECTION_NAME, ActualLength);
constexpr size_t kNodeName = offsetof(USB_NODE_CONNECTION_NAME, NodeName);
static_assert(offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName) == kNodeName);
constexpr ULONG kNameBlockSize = kNodeName + sizeof(WCHAR);

constexpr ULONG kCapabilitiesSize = sizeof(ULONG);

// The port attribute bits the grid lists, highest first.
constexpr FieldDecl kPortAttributeBits[] = {
    FieldBits("25: USB_PORTATTR_NO_OVERCURRENT_UI", 25, 1, FieldFormat::Digit).OnlyIn(kGrid),
    FieldBits("24: USB_PORTATTR_OWNED_BY_CC", 24, 1, FieldFormat::Digit).OnlyIn(kGrid),
    FieldBits("03: USB_PORTATTR_OEM_CONNECTOR", 3, 1, FieldFormat::Digit).OnlyIn(kGrid),
    FieldBits("02: USB_PORTATTR_MINI_CONNECTOR", 2, 1, FieldFormat::Digit).OnlyIn(kGrid),
    FieldBits("01: USB_PORTATTR_SHARED_USB2", 1, 1, FieldFormat::Digit).OnlyIn(kGrid),
    FieldBits("00: USB_PORTATTR_NO_CONNECTOR", 0, 1, FieldFormat::Digit).OnlyIn(kGrid),
};
static_assert(USB_PORTATTR_NO_OVERCURRENT_UI == 1u << 25 && USB_PORTATTR_OWNED_BY_CC == 1u << 24 &&
              USB_PORTATTR_OEM_CONNECTOR == 1u << 3 && USB_PORTATTR_NO_CONNECTOR == 1);

} // namespace

HubIoctlOutputer::~HubIoctlOutputer() = default;

const IoctlFamily& HubIoctlFamily() {
    using Self = HubIoctlOutputer;
    using enum CodeOffer;
    static constexpr IoctlCode kCodes[] = {
        TDL_IOCTL_CODE(IOCTL_USB_GET_NODE_INFORMATION, nullptr, Always, &Self::OutputNodeInfo),
        TDL_IOCTL_CODE(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, nullptr, Always, &Self::OutputNodeConnInfo),
        TDL_IOCTL_CODE(IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, nullptr, Always, &Self::OutputNodeDescReq),
        TDL_IOCTL_CODE(IOCTL_USB_GET_NODE_CONNECTION_NAME, nullptr, Always, &Self::OutputNodeConnName),
        TDL_IOCTL_CODE(IOCTL_USB_DIAG_IGNORE_HUBS_ON, nullptr, Always, &Self::OutputDiagOn),
        TDL_IOCTL_CODE(IOCTL_USB_DIAG_IGNORE_HUBS_OFF, nullptr, Always, &Self::OutputDiagOff),
        TDL_IOCTL_CODE(IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, nullptr, Always,
                       &Self::OutputNodeConnDriverKeyName),
        TDL_IOCTL_CODE(IOCTL_USB_GET_HUB_CAPABILITIES, "GET_CAPABILITIES", Always, &Self::OutputHubCaps),
        TDL_IOCTL_CODE(IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES, nullptr, Always, &Self::OutputNodeConnAttr),
        TDL_IOCTL_CODE(IOCTL_USB_HUB_CYCLE_PORT, "CYCLE_PORT", Always, &Self::OutputCyclePort),
        TDL_IOCTL_CODE(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, nullptr, Always, &Self::OutputNodeConnInfoEx),
        TDL_IOCTL_CODE(IOCTL_USB_RESET_HUB, nullptr, Windows7, &Self::OutputResetHub),
        TDL_IOCTL_CODE(IOCTL_USB_GET_HUB_CAPABILITIES_EX, nullptr, Windows7, &Self::OutputHubCapsEx),
    };
    // The hub's filter texts carry a leading blank, as the list has always shown them.
    static constexpr IoctlFamily kFamily{"HUB", "HUB Ioctl", "USB_", "HUB_IOCTL_%X", false, " ", kCodes};
    return kFamily;
}

HubIoctlOutputer::HubIoctlOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : IoctlFamilyOutputer(pImp, pDocument, pRecord, HubIoctlFamily()) {}

// --- per code ---

void HubIoctlOutputer::OutputSection(int mode, LPCSTR title, LPCSTR element, ULONG needed, Writer bothSides,
                                     Writer completion) {
    if (!IsDecodedSide())
        return;
    FieldWriter fields(*this, mode, needed);
    fields.Open(FieldSection::Category, {element, title});
    if (!fields.IsEmpty()) {
        if (bothSides)
            (this->*bothSides)(fields);
        if (completion && m_Decode.HasOutputData())
            (this->*completion)(fields);
    }
    fields.Close(FieldSection::Category);
}

void HubIoctlOutputer::OutputNodeInfo(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_NODE_INFORMATION", "HubIoctl-NodeInfo", 0, &HubIoctlOutputer::OutputNodeType,
                  &HubIoctlOutputer::OutputNodeDetails);
}

void HubIoctlOutputer::OutputNodeConnInfo(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_NODE_CONNECTION_INFORMATION", "HubIoctl-NodeConnInfo", kConnectionIndexSize,
                  &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputPlainConnection);
}

void HubIoctlOutputer::OutputNodeConnInfoEx(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_NODE_CONNECTION_INFORMATION_EX", "HubIoctl-NodeConnInfoEx", kConnectionIndexSize,
                  &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputExtendedConnection);
}

void HubIoctlOutputer::OutputNodeConnAttr(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_NODE_CONNECTION_ATTRIBUTES", "HubIoctl-NodeConnAttr", kConnectionIndexSize,
                  &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputConnectionAttributes);
}

void HubIoctlOutputer::OutputNodeDescReq(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_DESCRIPTOR_REQUEST", "HubIoctl-NodeDescReq", kConnectionIndexSize,
                  &HubIoctlOutputer::OutputDescriptorRequest, &HubIoctlOutputer::OutputReturnedDescriptor);
}

void HubIoctlOutputer::OutputNodeConnName(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_NODE_CONNECTION_NAME", "HubIoctl-NodeConnName", kConnectionIndexSize,
                  &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputNodeName);
}

void HubIoctlOutputer::OutputNodeConnDriverKeyName(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_NODE_CONNECTION_DRIVERKEY_NAME", "HubIoctl-NodeConnName", kConnectionIndexSize,
                  &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputConnectionDriverKeyName);
}

void HubIoctlOutputer::OutputHubCaps(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_HUB_CAPABILITIES", "HubIoctl-HubCaps", 0, nullptr,
                  &HubIoctlOutputer::OutputHubCapabilities);
}

void HubIoctlOutputer::OutputHubCapsEx(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "USB_HUB_CAPABILITIES_EX", "HubIoctl-HubCapsEx", 0, nullptr,
                  &HubIoctlOutputer::OutputHubCapFlags);
}

void HubIoctlOutputer::OutputCyclePort(int mode, ULONG, const BYTE*) {
    OutputSection(mode, "Cycle Port", "HubIoctl-CyclePort", sizeof(ULONG), &HubIoctlOutputer::OutputPortNumber,
                  nullptr);
}

void HubIoctlOutputer::OutputNoArguments(int mode, LPCSTR title, LPCSTR element) {
    if (!IsDecodedSide())
        return;
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::Category, {element, title});
    fields.Field("No arguments", "", nullptr, kGrid);
    fields.Close(FieldSection::Category);
}

void HubIoctlOutputer::OutputDiagOn(int mode, ULONG, const BYTE*) {
    OutputNoArguments(mode, "Diag Ignore Hubs On", "HubIoctl-DiagOn");
}

void HubIoctlOutputer::OutputDiagOff(int mode, ULONG, const BYTE*) {
    OutputNoArguments(mode, "Diag Ignore Hubs Off", "HubIoctl-DiagOff");
}

void HubIoctlOutputer::OutputResetHub(int mode, ULONG, const BYTE*) {
    OutputNoArguments(mode, "Reset Hub", "HubIoctl-ResetHub");
}

// --- field writers ---

void HubIoctlOutputer::OutputNodeType(FieldWriter& fields) {
    ULONG nodeType = 0;
    if (fields.Size() >= kNodeInfoSize && fields.Read(kNodeType, nodeType))
        fields.Field("NodeType", nodeType == UsbHub ? "UsbHub" : "UsbMIParent");
}

void HubIoctlOutputer::OutputNodeDetails(FieldWriter& fields) {
    ULONG nodeType = 0;
    if (fields.Size() < kNodeInfoSize || !fields.Read(kNodeType, nodeType))
        return;
    if (nodeType == UsbHub)
        OutputHubInformation(fields);
    else if (nodeType == UsbMIParent)
        OutputMiParentInformation(fields);
}

void HubIoctlOutputer::OutputHubInformation(FieldWriter& fields) {
    if (fields.Size() < kNodeInfoSize)
        return;
    fields.Open(FieldSection::Block, {"HubInformation", "USB_HUB_INFORMATION"});
    const int nested = fields.NestedMode();
    HubClassDescUsb2Outputer(m_pImp, GetDocument(), fields.DataAt(kHubDescriptor), kHubDescriptorSize)
        .Output(nested, FieldLabels("HubDescriptor", "Hub Class Descriptor").For(nested), "", false);
    BYTE busPowered = 0;
    fields.Read(kHubIsBusPowered, busPowered);
    fields.Field("HubIsBusPowered", FieldBoolText(busPowered != 0));
    fields.Close(FieldSection::Block);
}

void HubIoctlOutputer::OutputMiParentInformation(FieldWriter& fields) {
    if (fields.Size() < kNodeInfoSize)
        return;
    fields.Open(FieldSection::Block, {"MiParentInformation", "USB_MI_PARENT_INFORMATION"});
    fields.ValueField("NumberOfInterfaces", FieldFormat::Hex8, kNumberOfInterfaces);
    fields.Close(FieldSection::Block);
}

void HubIoctlOutputer::OutputConnectionIndex(FieldWriter& fields) {
    fields.ValueField("ConnectionIndex", FieldFormat::Hex8, kConnectionIndex);
}

bool HubIoctlOutputer::IsDeviceConnected(FieldWriter& fields) const {
    ULONG status = 0;
    return fields.Size() >= kConnInfoSize && fields.Read(kConnectionStatus, status) && status == DeviceConnected;
}

void HubIoctlOutputer::OutputConnectionStatus(FieldWriter& fields, ULONG status) {
    CString text;
    CStringContent().ConnectionStatusText(status, text);
    // Any state but an empty port or a working device is a fault the user should see.
    const uint16_t fault = status == NoDeviceConnected || status == DeviceConnected ? 0 : FieldDecl::kFault;
    fields.NameFirstField("ConnectionStatus", text, fields.Number(FieldFormat::Short, status), "Description",
                          FieldDecl::kAttributeAfter | fault);
}

void HubIoctlOutputer::OutputPlainConnection(FieldWriter& fields) {
    if (IsDeviceConnected(fields))
        OutputConnectionInformation(fields, false);
    else
        OutputConnectionStatusOnly(fields);
}

void HubIoctlOutputer::OutputExtendedConnection(FieldWriter& fields) {
    if (IsDeviceConnected(fields))
        OutputConnectionInformation(fields, true);
    else
        OutputConnectionStatusOnly(fields);
}

void HubIoctlOutputer::OutputConnectionStatusOnly(FieldWriter& fields) {
    ULONG status = 0;
    if (fields.Size() >= kConnInfoSize && fields.Read(kConnectionStatus, status))
        OutputConnectionStatus(fields, status);
}

void HubIoctlOutputer::OutputConnectionInformation(FieldWriter& fields, bool extended) {
    if (fields.Size() < kConnInfoSize)
        return;
    // The descriptor ends where the connection fields start, whatever its bLength claims.
    BYTE bLength = 0;
    fields.Read(kDeviceDescriptor, bLength);
    const ULONG descriptorSize = std::min<ULONG>(bLength, sizeof(USB_DEVICE_DESCRIPTOR));
    const CStringArray none;
    const int nested = fields.NestedMode();
    DeviceDescOutputer(m_pImp, GetDocument(), fields.DataAt(kDeviceDescriptor), descriptorSize)
        .Output(nested, FieldLabels("DeviceDescriptor", "Device Descriptor").For(nested), "", none, none, false);

    fields.Open(FieldSection::GridGroup, "Connection Information");
    fields.ValueField("CurrentConfigurationValue", FieldFormat::Hex2, kConfigurationValue);
    BYTE speed = 0;
    fields.Read(kSpeed, speed);
    if (extended) {
        static constexpr LPCSTR kSpeeds[] = {"UsbLowSpeed", "UsbFullSpeed", "UsbHighSpeed"};
        fields.Field("Speed",
                     speed < std::size(kSpeeds) ? CString(kSpeeds[speed]) : fields.Text(FieldFormat::Hex2, speed));
    } else {
        fields.Field("LowSpeed", FieldBoolText(speed != 0));
    }
    BYTE isHub = 0;
    fields.Read(kDeviceIsHub, isHub);
    fields.Field("DeviceIsHub", FieldBoolText(isHub != 0));
    fields.ValueField("DeviceAddress", FieldFormat::Hex4, kDeviceAddress);
    ULONG pipes = 0;
    fields.Read(kNumberOfOpenPipes, pipes);
    fields.ValueField("NumberOfOpenPipes", FieldFormat::Hex8, kNumberOfOpenPipes);
    ULONG status = 0;
    fields.Read(kConnectionStatus, status);
    OutputConnectionStatus(fields, status);
    OutputPipes(fields, pipes);
    fields.Close(FieldSection::GridGroup);
}

void HubIoctlOutputer::OutputPipes(FieldWriter& fields, ULONG count) {
    // Only whole entries are decoded: a count past them is a cut record. The bytes such a count needs are
    // reported in 32 bits, so the count stops where they would not fit.
    constexpr ULONG kMostPipes = (0xFFFFFFFFu - kPipeList) / kPipeSize;
    const ULONG present = fields.CountWithin(kPipeList, std::min(count, kMostPipes), kPipeSize);
    for (ULONG i = 0; i < present; ++i) {
        const size_t entry = kPipeList + static_cast<size_t>(i) * kPipeSize;
        CString title;
        title.Format("USB_PIPE_INFO.%d", static_cast<int>(i));
        fields.Open(FieldSection::Block, {title, title});
        ULONG consumed = 0;
        const int nested = fields.NestedMode();
        EndpointDescOutputer(m_pImp, GetDocument(), fields.DataAt(entry), fields.BytesFrom(entry))
            .Output(nested, FieldLabels("EndpointDescriptor", "Descriptor Type").For(nested),
                    FieldLabels("", "ENDPOINT").For(nested), consumed, false);
        fields.ValueField("ScheduleOffset", FieldFormat::Hex8, entry + kScheduleOffset);
        fields.Close(FieldSection::Block);
    }
}

void HubIoctlOutputer::OutputConnectionAttributes(FieldWriter& fields) {
    if (fields.Size() < kAttributesSize)
        return;
    ULONG status = 0;
    fields.Read(kAttrStatus, status);
    OutputConnectionStatus(fields, status);
    ULONG attributes = 0;
    fields.Read(kPortAttributes, attributes);
    fields.Open(FieldSection::GridGroup, "PortAttributes bits");
    fields.Field({"PortAttributes", "as ULONG"}, fields.Number(FieldFormat::Hex8, attributes));
    fields.Fields(kPortAttributeBits, attributes);
    fields.Close(FieldSection::GridGroup);
}

void HubIoctlOutputer::OutputSetupPacket(FieldWriter& fields) {
    if (fields.Size() < kDescRequestSize)
        return;
    fields.Open(FieldSection::Block, {"SetupPacket", "Setup Packet"});
    fields.ValueField("bmRequest", FieldFormat::Hex2, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.bmRequest));
    fields.ValueField("bRequest", FieldFormat::Hex2, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.bRequest));
    constexpr size_t kValue = offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue);
    BYTE index = 0;
    fields.Read(kValue, index);
    fields.AttributedField({"wValueLow", "wValueLow (index)"}, fields.Number(FieldFormat::Hex2, index), "Description",
                           "Index");
    BYTE type = 0;
    fields.Read(kValue + 1, type);
    CString typeName;
    CStringContent().DescriptorTypeName(type, typeName);
    fields.NamedField({"wValueHigh", "wValueHigh (DescriptorType)"}, fields.Number(FieldFormat::Hex2, type), "Name",
                      typeName);
    fields.ValueField("wIndex", FieldFormat::Hex4, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wIndex));
    fields.ValueField("wLength", FieldFormat::Hex4, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wLength));
    fields.Close(FieldSection::Block);
}

void HubIoctlOutputer::OutputDescriptorRequest(FieldWriter& fields) {
    OutputConnectionIndex(fields);
    OutputSetupPacket(fields);
}

void HubIoctlOutputer::OutputReturnedDescriptor(FieldWriter& fields) {
    // A request that failed returned no descriptor, whatever its buffer holds.
    if (static_cast<LONG>(m_Decode.GetStatus()) >= 0)
        OutputDescriptorData(fields);
}

void HubIoctlOutputer::OutputDescriptorData(FieldWriter& fields) {
    if (fields.Size() < kDescriptorHeadSize)
        return;
    const BYTE* bytes = fields.DataAt(kDescriptorData);
    const ULONG count = fields.BytesFrom(kDescriptorData);
    OutputDescriptorRows(fields, bytes, count);
    const BYTE type = bytes[1];
    if (type == USB_DEVICE_DESCRIPTOR_TYPE || type == USB_CONFIGURATION_DESCRIPTOR_TYPE ||
        type == USB_STRING_DESCRIPTOR_TYPE)
        return;
    m_pImp->AddDataBufferItem("Descriptor Buffer");
    // A descriptor longer than the bytes the device returned shows what there is, of the length it claims.
    const ULONG claimed = bytes[0];
    ShowInDataBar("Descriptor Buffer", bytes, claimed, std::min(claimed, count), m_Decode.GetSequenceNumber());
}

void HubIoctlOutputer::OutputDescriptorRows(FieldWriter& fields, const BYTE* bytes, ULONG count) {
    // The grid's titles; the mark-up names each kind, and its value is empty.
    const int mode = fields.NestedMode();
    auto title = [mode](const char* element, const char* caption) { return FieldLabels(element, caption).For(mode); };
    const CStringArray none;
    switch (bytes[1]) {
    case USB_DEVICE_DESCRIPTOR_TYPE: {
        CStringArray classTexts;
        GetDeviceClassStrings(bytes, count, classTexts);
        DeviceDescOutputer(m_pImp, GetDocument(), bytes, count)
            .Output(mode, title("DeviceDescriptor", "Descriptor"), title("", "DEVICE"), classTexts, none, false);
        break;
    }
    case USB_CONFIGURATION_DESCRIPTOR_TYPE:
        FullConfigDescOutputer(m_pImp, GetDocument(), bytes, count)
            .Output(mode, title("FullConfiguration", "Descriptor"), title("", "CONFIGURATION"), false, false);
        break;
    case USB_STRING_DESCRIPTOR_TYPE: {
        BYTE index = 0;
        fields.Read(offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue), index);
        StringDescOutputer(m_pImp, GetDocument(), bytes, index, count)
            .Output(mode, title("StringDescriptor", "Descriptor"), title("", "STRING"));
        break;
    }
    default: {
        ULONG consumed = 0;
        GenericDescOutputer(m_pImp, GetDocument(), bytes, count)
            .Output(mode, title("OtherDescriptor", "Other Descriptor"), "Unknown", consumed, false);
        break;
    }
    }
}

void HubIoctlOutputer::GetDeviceClassStrings(const BYTE* pDescriptor, ULONG count, CStringArray& strings) const {
    DeviceSummary summary{};
    CUSBLog* document = GetDocument();
    if (!document || !document->LookupDeviceTypeInfo(m_Decode.GetDeviceObject(), summary)) {
        summary = DeviceSummary{};
        const auto byteAt = [&](size_t offset) -> BYTE { return offset < count ? pDescriptor[offset] : 0; };
        summary.NumConfigurations = byteAt(offsetof(USB_DEVICE_DESCRIPTOR, bNumConfigurations));
        summary.DeviceClass = byteAt(offsetof(USB_DEVICE_DESCRIPTOR, bDeviceClass));
        summary.DeviceSubClass = byteAt(offsetof(USB_DEVICE_DESCRIPTOR, bDeviceSubClass));
        summary.DeviceProtocol = byteAt(offsetof(USB_DEVICE_DESCRIPTOR, bDeviceProtocol));
    }
    CStringContent().DeviceClassStrings(reinterpret_cast<const BYTE*>(&summary), strings);
}

void HubIoctlOutputer::OutputNodeName(FieldWriter& fields) {
    OutputName(fields, "NodeName");
}

void HubIoctlOutputer::OutputConnectionDriverKeyName(FieldWriter& fields) {
    OutputName(fields, "DriverKeyName");
}

void HubIoctlOutputer::OutputName(FieldWriter& fields, LPCSTR label) {
    if (fields.Size() < kNameBlockSize)
        return;
    fields.ValueField("ActualLength", FieldFormat::Hex8, kActualLength);
    // A block of exactly the length word and one character holds no name yet.
    const CString name = fields.Size() == kNameBlockSize
                             ? CString()
                             : FieldWideText(fields.DataAt(kNodeName), fields.BytesFrom(kNodeName));
    fields.Field(label, name);
}

void HubIoctlOutputer::OutputHubCapabilities(FieldWriter& fields) {
    ULONG flags = 0;
    if (fields.Size() < kCapabilitiesSize || !fields.Read(0, flags))
        return;
    fields.Field({"HubIs2xCapable", "Hub Is 2.x Capable"}, FieldBitText(flags, 0));
}

void HubIoctlOutputer::OutputHubCapFlags(FieldWriter& fields) {
    ULONG flags = 0;
    if (fields.Size() < kCapabilitiesSize || !fields.Read(0, flags))
        return;
    fields.Open(FieldSection::Block, {"USB_HUB_CAP_FLAGS", "USB_HUB_CAP_FLAGS"});
    fields.Field("as ULONG", fields.Number(FieldFormat::Hex8, flags), nullptr, kGrid);
    IoctlHubCapFlagBits(fields, flags);
    fields.Close(FieldSection::Block);
}

void HubIoctlOutputer::OutputPortNumber(FieldWriter& fields) {
    fields.ValueField({"PortNumber", "Port Number"}, FieldFormat::Hex8, 0);
}
