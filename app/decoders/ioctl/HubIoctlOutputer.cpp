#include "app/decoders/ioctl/HubIoctlOutputer.h"

#include <algorithm>
#include <cstddef>

#include "app/core/USBLog.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/descriptors/StringDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/IoctlFields.h"
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
constexpr struct {
    ULONG bit;
    LPCSTR label;
} kPortAttributeBits[] = {
    {25, "25: USB_PORTATTR_NO_OVERCURRENT_UI"}, {24, "24: USB_PORTATTR_OWNED_BY_CC"},
    {3, "03: USB_PORTATTR_OEM_CONNECTOR"},      {2, "02: USB_PORTATTR_MINI_CONNECTOR"},
    {1, "01: USB_PORTATTR_SHARED_USB2"},        {0, "00: USB_PORTATTR_NO_CONNECTOR"},
};
static_assert(USB_PORTATTR_NO_OVERCURRENT_UI == 1u << 25 && USB_PORTATTR_OWNED_BY_CC == 1u << 24 &&
              USB_PORTATTR_OEM_CONNECTOR == 1u << 3 && USB_PORTATTR_NO_CONNECTOR == 1);

} // namespace

HubIoctlOutputer::~HubIoctlOutputer() = default;

void HubIoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}

CString HubIoctlOutputer::GetIoctlName() const {
    CString name;
    m_Decode.HubIoctlName(name);
    return IoctlDisplayName(name, m_Decode.GetFunctionWord(), "IOCTL_USB_", "HUB_IOCTL_%X");
}

void HubIoctlOutputer::OutputFunctionCode() {
    WriteIoctlFunctionCode(m_pImp, m_Decode.GetFunctionWord(), GetIoctlName());
}

void HubIoctlOutputer::OutputKindTitle(int mode) {
    if (mode == OUTPUT_MODE_GRID)
        OutputRequestName("HUB", "HUB Ioctl", GetIoctlName());
    // A returned record only tells that the dispatch routine returned.
    if (m_Decode.HasTransferData())
        return;
    OutputIoctlBody(mode);
}

int HubIoctlOutputer::OutputIoctlBody(int mode) {
    static constexpr IoctlOperation<HubIoctlOutputer, int> kOperations[] = {
        {0x220408, &HubIoctlOutputer::OutputNodeInfo},
        {0x22040C, &HubIoctlOutputer::OutputNodeConnInfo},
        {0x220410, &HubIoctlOutputer::OutputNodeDescReq},
        {0x220414, &HubIoctlOutputer::OutputNodeConnName},
        {0x220418, &HubIoctlOutputer::OutputDiagOn},
        {0x22041C, &HubIoctlOutputer::OutputDiagOff},
        {0x220420, &HubIoctlOutputer::OutputNodeConnDriverKeyName},
        {0x22043C, &HubIoctlOutputer::OutputHubCaps},
        {0x220440, &HubIoctlOutputer::OutputNodeConnAttr},
        {0x220444, &HubIoctlOutputer::OutputCyclePort},
        {0x220448, &HubIoctlOutputer::OutputNodeConnInfoEx},
        {0x22044C, &HubIoctlOutputer::OutputResetHub},
        {0x220450, &HubIoctlOutputer::OutputHubCapsEx},
    };
    return IoctlDispatch(*this, kOperations, m_Decode, mode);
}

bool HubIoctlOutputer::IsDecodedSide() const {
    return m_Decode.HasInputData() || m_Decode.HasOutputData();
}

// --- per code ---

int HubIoctlOutputer::OutputSection(int mode, LPCSTR title, LPCSTR element, ULONG needed, Writer bothSides,
                                    Writer completion) {
    if (!IsDecodedSide())
        return 0;
    IoctlFields fields(*this, mode, needed);
    fields.OpenSection(title, element);
    if (!fields.IsEmpty()) {
        if (bothSides)
            (this->*bothSides)(fields);
        if (completion && m_Decode.HasOutputData())
            (this->*completion)(fields);
    }
    fields.CloseSection();
    return 1;
}

int HubIoctlOutputer::OutputNodeInfo(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_NODE_INFORMATION", "HubIoctl-NodeInfo", 0, &HubIoctlOutputer::OutputNodeType,
                         &HubIoctlOutputer::OutputNodeDetails);
}

int HubIoctlOutputer::OutputNodeConnInfo(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_NODE_CONNECTION_INFORMATION", "HubIoctl-NodeConnInfo", kConnectionIndexSize,
                         &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputPlainConnection);
}

int HubIoctlOutputer::OutputNodeConnInfoEx(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_NODE_CONNECTION_INFORMATION_EX", "HubIoctl-NodeConnInfoEx", kConnectionIndexSize,
                         &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputExtendedConnection);
}

int HubIoctlOutputer::OutputNodeConnAttr(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_NODE_CONNECTION_ATTRIBUTES", "HubIoctl-NodeConnAttr", kConnectionIndexSize,
                         &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputConnectionAttributes);
}

int HubIoctlOutputer::OutputNodeDescReq(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_DESCRIPTOR_REQUEST", "HubIoctl-NodeDescReq", kConnectionIndexSize,
                         &HubIoctlOutputer::OutputDescriptorRequest, &HubIoctlOutputer::OutputReturnedDescriptor);
}

int HubIoctlOutputer::OutputNodeConnName(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_NODE_CONNECTION_NAME", "HubIoctl-NodeConnName", kConnectionIndexSize,
                         &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputNodeName);
}

int HubIoctlOutputer::OutputNodeConnDriverKeyName(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_NODE_CONNECTION_DRIVERKEY_NAME", "HubIoctl-NodeConnName", kConnectionIndexSize,
                         &HubIoctlOutputer::OutputConnectionIndex, &HubIoctlOutputer::OutputConnectionDriverKeyName);
}

int HubIoctlOutputer::OutputHubCaps(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_HUB_CAPABILITIES", "HubIoctl-HubCaps", 0, nullptr,
                         &HubIoctlOutputer::OutputHubCapabilities);
}

int HubIoctlOutputer::OutputHubCapsEx(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "USB_HUB_CAPABILITIES_EX", "HubIoctl-HubCapsEx", 0, nullptr,
                         &HubIoctlOutputer::OutputHubCapFlags);
}

int HubIoctlOutputer::OutputCyclePort(int mode, ULONG, const BYTE*) {
    return OutputSection(mode, "Cycle Port", "HubIoctl-CyclePort", sizeof(ULONG), &HubIoctlOutputer::OutputPortNumber,
                         nullptr);
}

int HubIoctlOutputer::OutputNoArguments(int mode, LPCSTR title, LPCSTR element) {
    if (!IsDecodedSide())
        return 0;
    IoctlFields fields(*this, mode);
    fields.OpenSection(title, element);
    if (fields.IsGrid())
        m_pImp->AddItem("No arguments", "", nullptr);
    fields.CloseSection();
    return 1;
}

int HubIoctlOutputer::OutputDiagOn(int mode, ULONG, const BYTE*) {
    return OutputNoArguments(mode, "Diag Ignore Hubs On", "HubIoctl-DiagOn");
}

int HubIoctlOutputer::OutputDiagOff(int mode, ULONG, const BYTE*) {
    return OutputNoArguments(mode, "Diag Ignore Hubs Off", "HubIoctl-DiagOff");
}

int HubIoctlOutputer::OutputResetHub(int mode, ULONG, const BYTE*) {
    return OutputNoArguments(mode, "Reset Hub", "HubIoctl-ResetHub");
}

// --- field writers ---

void HubIoctlOutputer::OutputNodeType(IoctlFields& fields) {
    ULONG nodeType = 0;
    if (fields.Size() >= kNodeInfoSize && fields.Read(kNodeType, nodeType))
        fields.Field("NodeType", nodeType == UsbHub ? "UsbHub" : "UsbMIParent");
}

void HubIoctlOutputer::OutputNodeDetails(IoctlFields& fields) {
    ULONG nodeType = 0;
    if (fields.Size() < kNodeInfoSize || !fields.Read(kNodeType, nodeType))
        return;
    if (nodeType == UsbHub)
        OutputHubInformation(fields);
    else if (nodeType == UsbMIParent)
        OutputMiParentInformation(fields);
}

void HubIoctlOutputer::OutputHubInformation(IoctlFields& fields) {
    if (fields.Size() < kNodeInfoSize)
        return;
    fields.OpenDataSection("USB_HUB_INFORMATION", "HubInformation");
    if (fields.ShowsDescriptors())
        HubClassDescUsb2Outputer(m_pImp, GetDocument(), fields.DataAt(kHubDescriptor), kHubDescriptorSize)
            .Output(fields.Mode(), fields.IsMarkup() ? "HubDescriptor" : "Hub Class Descriptor", "", false);
    BYTE busPowered = 0;
    fields.Read(kHubIsBusPowered, busPowered);
    fields.Field("HubIsBusPowered", IoctlBoolText(busPowered != 0));
    fields.CloseDataSection();
}

void HubIoctlOutputer::OutputMiParentInformation(IoctlFields& fields) {
    if (fields.Size() < kNodeInfoSize)
        return;
    fields.OpenDataSection("USB_MI_PARENT_INFORMATION", "MiParentInformation");
    fields.ValueField("NumberOfInterfaces", IoctlWidth::U32, kNumberOfInterfaces);
    fields.CloseDataSection();
}

void HubIoctlOutputer::OutputConnectionIndex(IoctlFields& fields) {
    fields.ValueField("ConnectionIndex", IoctlWidth::U32, kConnectionIndex);
}

bool HubIoctlOutputer::IsDeviceConnected(IoctlFields& fields) const {
    ULONG status = 0;
    return fields.Size() >= kConnInfoSize && fields.Read(kConnectionStatus, status) && status == DeviceConnected;
}

void HubIoctlOutputer::OutputConnectionStatus(IoctlFields& fields, ULONG status) {
    CString text;
    CStringContent().ConnectionStatusText(status, text);
    CString value;
    if (fields.IsMarkup()) {
        value.Format("%08x", status);
        m_pImp->WriteValue("ConnectionStatus", value);
        m_pImp->AddAttribute("Description", text);
        return;
    }
    value.Format(fields.IsGrid() ? "%s (0x%x)" : "%s (%08x)", text.GetString(), status);
    // Any state but an empty port or a working device is a fault the user should see.
    if (status == NoDeviceConnected || status == DeviceConnected)
        m_pImp->AddItem("ConnectionStatus", value, nullptr);
    else
        m_pImp->AddReadOnlyItem("ConnectionStatus", value);
}

void HubIoctlOutputer::OutputPlainConnection(IoctlFields& fields) {
    if (IsDeviceConnected(fields))
        OutputConnectionInformation(fields, false);
    else
        OutputConnectionStatusOnly(fields);
}

void HubIoctlOutputer::OutputExtendedConnection(IoctlFields& fields) {
    if (IsDeviceConnected(fields))
        OutputConnectionInformation(fields, true);
    else
        OutputConnectionStatusOnly(fields);
}

void HubIoctlOutputer::OutputConnectionStatusOnly(IoctlFields& fields) {
    ULONG status = 0;
    if (fields.Size() >= kConnInfoSize && fields.Read(kConnectionStatus, status))
        OutputConnectionStatus(fields, status);
}

void HubIoctlOutputer::OutputConnectionInformation(IoctlFields& fields, bool extended) {
    if (fields.Size() < kConnInfoSize)
        return;
    // The descriptor ends where the connection fields start, whatever its bLength claims.
    BYTE bLength = 0;
    fields.Read(kDeviceDescriptor, bLength);
    const ULONG descriptorSize = std::min<ULONG>(bLength, sizeof(USB_DEVICE_DESCRIPTOR));
    const CStringArray none;
    if (fields.ShowsDescriptors())
        DeviceDescOutputer(m_pImp, GetDocument(), fields.DataAt(kDeviceDescriptor), descriptorSize)
            .Output(fields.Mode(), fields.IsGrid() ? "Device Descriptor" : "DeviceDescriptor", "", none, none, false);

    fields.OpenInnerGroup("Connection Information");
    fields.ValueField("CurrentConfigurationValue", IoctlWidth::U8, kConfigurationValue);
    BYTE speed = 0;
    fields.Read(kSpeed, speed);
    if (extended) {
        static constexpr LPCSTR kSpeeds[] = {"UsbLowSpeed", "UsbFullSpeed", "UsbHighSpeed"};
        fields.Field("Speed",
                     speed < std::size(kSpeeds) ? CString(kSpeeds[speed]) : fields.Text(IoctlWidth::U8, speed));
    } else {
        fields.Field("LowSpeed", IoctlBoolText(speed != 0));
    }
    BYTE isHub = 0;
    fields.Read(kDeviceIsHub, isHub);
    fields.Field("DeviceIsHub", IoctlBoolText(isHub != 0));
    fields.ValueField("DeviceAddress", IoctlWidth::U16, kDeviceAddress);
    ULONG pipes = 0;
    fields.Read(kNumberOfOpenPipes, pipes);
    fields.ValueField("NumberOfOpenPipes", IoctlWidth::U32, kNumberOfOpenPipes);
    ULONG status = 0;
    fields.Read(kConnectionStatus, status);
    OutputConnectionStatus(fields, status);
    OutputPipes(fields, pipes);
    fields.CloseInnerGroup();
}

void HubIoctlOutputer::OutputPipes(IoctlFields& fields, ULONG count) {
    // Only whole entries are decoded: a count past them is a cut record. The bytes such a count needs are
    // reported in 32 bits, so the count stops where they would not fit.
    constexpr ULONG kMostPipes = (0xFFFFFFFFu - kPipeList) / kPipeSize;
    const ULONG present = fields.CountWithin(kPipeList, std::min(count, kMostPipes), kPipeSize);
    for (ULONG i = 0; i < present; ++i) {
        const size_t entry = kPipeList + static_cast<size_t>(i) * kPipeSize;
        CString title;
        title.Format("USB_PIPE_INFO.%d", static_cast<int>(i));
        fields.OpenDataSection(title, title);
        ULONG consumed = 0;
        if (fields.ShowsDescriptors())
            EndpointDescOutputer(m_pImp, GetDocument(), fields.DataAt(entry), fields.BytesFrom(entry))
                .Output(fields.Mode(), fields.IsMarkup() ? "EndpointDescriptor" : "Descriptor Type",
                        fields.IsMarkup() ? "" : "ENDPOINT", consumed, false);
        fields.ValueField("ScheduleOffset", IoctlWidth::U32, entry + kScheduleOffset);
        fields.CloseDataSection();
    }
}

void HubIoctlOutputer::OutputConnectionAttributes(IoctlFields& fields) {
    if (fields.Size() < kAttributesSize)
        return;
    ULONG status = 0;
    fields.Read(kAttrStatus, status);
    OutputConnectionStatus(fields, status);
    ULONG attributes = 0;
    fields.Read(kPortAttributes, attributes);
    fields.OpenInnerGroup("PortAttributes bits");
    fields.Field("as ULONG", "PortAttributes", fields.Text(IoctlWidth::U32, attributes));
    if (fields.IsGrid())
        for (const auto& bit : kPortAttributeBits)
            fields.Field(bit.label, IoctlBitText(attributes, bit.bit));
    fields.CloseInnerGroup();
}

void HubIoctlOutputer::OutputSetupPacket(IoctlFields& fields) {
    if (fields.Size() < kDescRequestSize)
        return;
    fields.OpenDataSection("Setup Packet", "SetupPacket");
    fields.ValueField("bmRequest", IoctlWidth::U8, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.bmRequest));
    fields.ValueField("bRequest", IoctlWidth::U8, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.bRequest));
    constexpr size_t kValue = offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue);
    BYTE index = 0;
    fields.Read(kValue, index);
    fields.AttributedField("wValueLow (index)", "wValueLow", fields.Text(IoctlWidth::U8, index), "Description",
                           "Index");
    BYTE type = 0;
    fields.Read(kValue + 1, type);
    CString typeName;
    CStringContent().DescriptorTypeName(type, typeName);
    const CString typeValue = fields.Text(IoctlWidth::U8, type);
    if (fields.IsMarkup())
        m_pImp->WriteValueWithAttribute("wValueHigh", typeValue, "Name", typeName);
    else
        fields.Field("wValueHigh (DescriptorType)", typeValue + " (" + typeName + ")");
    fields.ValueField("wIndex", IoctlWidth::U16, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wIndex));
    fields.ValueField("wLength", IoctlWidth::U16, offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wLength));
    fields.CloseDataSection();
}

void HubIoctlOutputer::OutputDescriptorRequest(IoctlFields& fields) {
    OutputConnectionIndex(fields);
    OutputSetupPacket(fields);
}

void HubIoctlOutputer::OutputReturnedDescriptor(IoctlFields& fields) {
    // A request that failed returned no descriptor, whatever its buffer holds.
    if (static_cast<LONG>(m_Decode.GetStatus()) >= 0)
        OutputDescriptorData(fields);
}

void HubIoctlOutputer::OutputDescriptorData(IoctlFields& fields) {
    if (fields.Size() < kDescriptorHeadSize)
        return;
    const BYTE* bytes = fields.DataAt(kDescriptorData);
    const ULONG count = fields.BytesFrom(kDescriptorData);
    if (fields.ShowsDescriptors())
        OutputDescriptorRows(fields, bytes, count);
    const BYTE type = bytes[1];
    if (type == USB_DEVICE_DESCRIPTOR_TYPE || type == USB_CONFIGURATION_DESCRIPTOR_TYPE ||
        type == USB_STRING_DESCRIPTOR_TYPE)
        return;
    m_pImp->AddDataBufferItem("Descriptor Buffer");
    // A descriptor longer than the bytes the device returned shows what there is, of the length it claims.
    const ULONG claimed = bytes[0];
    IoctlShowInDataBar("Descriptor Buffer", bytes, claimed, std::min(claimed, count), m_Decode.GetSequenceNumber());
}

void HubIoctlOutputer::OutputDescriptorRows(IoctlFields& fields, const BYTE* bytes, ULONG count) {
    const int mode = fields.Mode();
    const bool grid = fields.IsGrid();
    const CStringArray none;
    switch (bytes[1]) {
    case USB_DEVICE_DESCRIPTOR_TYPE: {
        CStringArray classTexts;
        GetDeviceClassStrings(bytes, count, classTexts);
        DeviceDescOutputer(m_pImp, GetDocument(), bytes, count)
            .Output(mode, grid ? "Descriptor" : "DeviceDescriptor", grid ? "DEVICE" : "", classTexts, none, false);
        break;
    }
    case USB_CONFIGURATION_DESCRIPTOR_TYPE:
        FullConfigDescOutputer(m_pImp, GetDocument(), bytes, count)
            .Output(mode, grid ? "Descriptor" : "FullConfiguration", grid ? "CONFIGURATION" : "", false, false);
        break;
    case USB_STRING_DESCRIPTOR_TYPE: {
        BYTE index = 0;
        fields.Read(offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue), index);
        StringDescOutputer(m_pImp, GetDocument(), bytes, index, count)
            .Output(mode, grid ? "Descriptor" : "StringDescriptor", grid ? "STRING" : "");
        break;
    }
    default: {
        ULONG consumed = 0;
        GenericDescOutputer(m_pImp, GetDocument(), bytes, count)
            .Output(mode, grid ? "Other Descriptor" : "OtherDescriptor", "Unknown", consumed, false);
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

void HubIoctlOutputer::OutputNodeName(IoctlFields& fields) {
    OutputName(fields, "NodeName");
}

void HubIoctlOutputer::OutputConnectionDriverKeyName(IoctlFields& fields) {
    OutputName(fields, "DriverKeyName");
}

void HubIoctlOutputer::OutputName(IoctlFields& fields, LPCSTR label) {
    if (fields.Size() < kNameBlockSize)
        return;
    fields.ValueField("ActualLength", IoctlWidth::U32, kActualLength);
    // A block of exactly the length word and one character holds no name yet.
    const CString name = fields.Size() == kNameBlockSize
                             ? CString()
                             : IoctlWideText(fields.DataAt(kNodeName), fields.BytesFrom(kNodeName));
    fields.Field(label, name);
}

void HubIoctlOutputer::OutputHubCapabilities(IoctlFields& fields) {
    ULONG flags = 0;
    if (fields.Size() < kCapabilitiesSize || !fields.Read(0, flags))
        return;
    fields.Field("Hub Is 2.x Capable", "HubIs2xCapable", IoctlBitText(flags, 0));
}

void HubIoctlOutputer::OutputHubCapFlags(IoctlFields& fields) {
    ULONG flags = 0;
    if (fields.Size() < kCapabilitiesSize || !fields.Read(0, flags))
        return;
    fields.OpenDataSection("USB_HUB_CAP_FLAGS", "USB_HUB_CAP_FLAGS");
    if (fields.IsGrid())
        fields.Field("as ULONG", fields.Text(IoctlWidth::U32, flags));
    IoctlHubCapFlagBits(fields, flags);
    fields.CloseDataSection();
}

void HubIoctlOutputer::OutputPortNumber(IoctlFields& fields) {
    fields.ValueField("Port Number", "PortNumber", IoctlWidth::U32, 0);
}
