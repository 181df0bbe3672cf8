#include "app/decoders/ioctl/UsbintOutputer.h"

#include <cstddef>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/ioctl/IoctlPlaceholders.h"
#include "common/RecordPayloads.h"
#include "usbioctl.h"

namespace {

constexpr ULONG kU32Size = IOCTL_RECORD_U32_SIZE;
constexpr ULONG kRootHubPdoSize = sizeof(UIN_RECORD_ROOTHUB_PDO);
constexpr ULONG kParentHubInfoSize = sizeof(UIN_RECORD_PARENT_HUB_INFO);
constexpr ULONG kDeviceHandleSize = sizeof(ULONG64);
constexpr ULONG kDeviceHandleExSize = sizeof(UIN_RECORD_DEVICE_HANDLE_EX);
constexpr ULONG kTtDeviceHandleSize = sizeof(UIN_RECORD_TT_DEVICE_HANDLE);
constexpr ULONG kTopologyArgumentSize = sizeof(ULONG64);
constexpr ULONG kConfigHeadSize = sizeof(UIN_RECORD_DEVICE_CONFIG_INFO);
static_assert(UIN_RECORD_IDLE_NOTIFICATION_SIZE == sizeof(USB_IDLE_CALLBACK_INFO));

constexpr LPCSTR kInBytes = "in bytes";

CString BitText(ULONG value, ULONG bit, bool have) {
    return have ? FieldBitText(value, bit) : LogOutputer::kUnknownText;
}

} // namespace

UsbintOutputer::~UsbintOutputer() = default;

const IoctlFamily& InternalIoctlFamily() {
    using Self = UsbintOutputer;
    using enum CodeOffer;
    static constexpr IoctlCode kCodes[] = {
        // URBs are records of their own: the page lists their code, the records never name it.
        {CodeRow{IOCTL_INTERNAL_USB_SUBMIT_URB, nullptr, "SUBMIT_URB", Never}},
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_RESET_PORT, nullptr, Always, &Self::OutputResetPort),
        {CodeRow{USB_KERNEL_CTL(2), nullptr, "IOCTL_RESERVED", Never}},
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO, nullptr, Always, &Self::OutputGetRootHubPdo),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_PORT_STATUS, nullptr, Always, &Self::OutputGetPortStatus),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_ENABLE_PORT, nullptr, Always, &Self::OutputEnablePort),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_HUB_COUNT, nullptr, Always, &Self::OutputGetHubCount),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_CYCLE_PORT, nullptr, Always, &Self::OutputCyclePort),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_HUB_NAME, nullptr, Always, &Self::OutputGetHubName),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION, nullptr, Always,
                       &Self::OutputSubmitIdleNotification),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_RECORD_FAILURE, nullptr, Windows7, &Self::OutputRecordFailure),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_BUS_INFO, nullptr, Always, &Self::OutputGetBusInfo),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME, nullptr, Always, &Self::OutputGetControllerName),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_BUSGUID_INFO, nullptr, Always, &Self::OutputGetBusGuidInfo),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO, nullptr, Always, &Self::OutputGetParentHubInfo),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, nullptr, Always, &Self::OutputGetDeviceHandle),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX, nullptr, Windows7, &Self::OutputGetDeviceHandleEx),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE, nullptr, Windows7, &Self::OutputGetTtDeviceHandle),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS, nullptr, Windows7, &Self::OutputGetTopologyAddress),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY, nullptr, Windows7, &Self::OutputNotifyIdleReady),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND, nullptr, Windows7, &Self::OutputReqGlobalSuspend),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME, nullptr, Windows7, &Self::OutputReqGlobalResume),
        TDL_IOCTL_CODE(IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO, "USB_GET_DEVICE_CONFIG_INFO", Windows7,
                       &Self::OutputGetDeviceConfigInfo),
    };
    static constexpr IoctlFamily kFamily{
        "USBINT", "USB Internal Ioctl", "INTERNAL_USB_", "IOCTL_INTERNAL_USB_%X", true, "", kCodes};
    return kFamily;
}

UsbintOutputer::UsbintOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : IoctlFamilyOutputer(pImp, pDocument, pRecord, InternalIoctlFamily()) {}

bool UsbintOutputer::Succeeded() const {
    return static_cast<LONG>(m_Decode.GetStatus()) >= 0;
}

// --- sections ---

void UsbintOutputer::OutputLoneItem(int mode, LPCSTR title, LPCSTR element, LPCSTR item) {
    if (!IsDecodedSide())
        return;
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::Category, {element, title});
    fields.Field(item, "", nullptr, kGrid);
    fields.Close(FieldSection::Category);
}

void UsbintOutputer::OutputCompletionWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                                            bool requestNoArguments, void (UsbintOutputer::*writer)(FieldWriter&)) {
    if (m_Decode.HasInputData()) {
        if (requestNoArguments) {
            OutputLoneItem(mode, title, element, "No arguments");
            return;
        }
        FieldWriter fields(*this, mode);
        fields.Open(FieldSection::Category, {element, title});
        fields.Close(FieldSection::Category);
        return;
    }
    if (!m_Decode.HasOutputData())
        return;
    FieldWriter fields(*this, mode, needed);
    fields.Open(FieldSection::Category, {element, title});
    (this->*writer)(fields);
    fields.Close(FieldSection::Category);
}

void UsbintOutputer::OutputWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                                  void (UsbintOutputer::*writer)(FieldWriter&)) {
    if (!IsDecodedSide())
        return;
    FieldWriter fields(*this, mode, needed);
    fields.Open(FieldSection::Category, {element, title});
    (this->*writer)(fields);
    fields.Close(FieldSection::Category);
}

void UsbintOutputer::OutputBufferSizeCode(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                                          void (UsbintOutputer::*writer)(FieldWriter&)) {
    if (!IsDecodedSide())
        return;
    const bool completion = !m_Decode.HasInputData();
    FieldWriter fields(*this, mode, needed);
    // The size goes first, at the kind's level in the pane and in an element of its own in the mark-up.
    fields.Open(FieldSection::Category, {"UsbIntrn-BufferSize", ""}, "", kXml);
    OutputBufferSize(fields);
    fields.Close(FieldSection::Category, kXml);
    if (!completion) {
        fields.EmptyCategory(title);
        return;
    }
    fields.Open(FieldSection::Category, {element, title});
    (this->*writer)(fields);
    fields.Close(FieldSection::Category);
}

// --- per code ---

void UsbintOutputer::OutputResetPort(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Reset Port", "UsbIntrn-ResetPort", "No arguments");
}

void UsbintOutputer::OutputEnablePort(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Enable Port", "UsbIntrn-EnablePort", "No arguments");
}

void UsbintOutputer::OutputCyclePort(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Cycle Port", "UsbIntrn-CyclePort", "No arguments");
}

void UsbintOutputer::OutputNotifyIdleReady(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Notify Idle Ready", "UsbIntrn-NotifyIdleRdy", "No arguments");
}

void UsbintOutputer::OutputReqGlobalSuspend(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Request Global Suspend", "UsbIntrn-ReqGlobalSuspend", "No arguments");
}

void UsbintOutputer::OutputReqGlobalResume(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Request Global Resume", "UsbIntrn-ReqGlobalResume", "No arguments");
}

void UsbintOutputer::OutputGetBusInfo(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Get Bus Info", "UsbIntrn-GetBusInfo", "Not supported");
}

void UsbintOutputer::OutputGetBusGuidInfo(int mode, ULONG, const BYTE*) {
    OutputLoneItem(mode, "Get Bus Guid Info", "UsbIntrn-GetBusGuidInfo", "Not supported");
}

void UsbintOutputer::OutputGetRootHubPdo(int mode, ULONG, const BYTE*) {
    OutputCompletionWriter(mode, "GET_ROOTHUB_PDO", "UsbIntrn-RootHubPdo", kRootHubPdoSize, true,
                           &UsbintOutputer::OutputRootHubPdoFields);
}

void UsbintOutputer::OutputGetPortStatus(int mode, ULONG, const BYTE*) {
    OutputCompletionWriter(mode, "GET_PORT_STATUS", "UsbIntrn-PortStatus", kU32Size, true,
                           &UsbintOutputer::OutputPortStatusFields);
}

void UsbintOutputer::OutputGetHubCount(int mode, ULONG, const BYTE*) {
    OutputCompletionWriter(mode, "GET_HUB_COUNT", "UsbIntrn-HubCount", kU32Size, true,
                           &UsbintOutputer::OutputHubCountField);
}

void UsbintOutputer::OutputGetParentHubInfo(int mode, ULONG, const BYTE*) {
    OutputCompletionWriter(mode, "GET_PARENT_HUB_INFO", "UsbIntrn-GetParentHubInfo", kParentHubInfoSize, false,
                           &UsbintOutputer::OutputParentHubInfoFields);
}

void UsbintOutputer::OutputGetDeviceHandle(int mode, ULONG, const BYTE*) {
    OutputCompletionWriter(mode, "GET_DEVICE_HANDLE", "UsbIntrn-GetDeviceHandle", kDeviceHandleSize, false,
                           &UsbintOutputer::OutputDeviceHandleField);
}

void UsbintOutputer::OutputSubmitIdleNotification(int mode, ULONG, const BYTE*) {
    OutputWriter(mode, "USB_IDLE_CALLBACK_INFO", "UsbIntrn-IdleCallbackInfo", UIN_RECORD_IDLE_NOTIFICATION_SIZE,
                 &UsbintOutputer::OutputIdleCallbackFields);
}

void UsbintOutputer::OutputGetDeviceHandleEx(int mode, ULONG, const BYTE*) {
    OutputWriter(mode, "IOCTL_PARAMETERS", "UsbIntrn-GetDeviceHandleEx", kDeviceHandleExSize,
                 &UsbintOutputer::OutputDeviceHandleExParameters);
}

void UsbintOutputer::OutputGetTtDeviceHandle(int mode, ULONG, const BYTE*) {
    OutputWriter(mode, "IOCTL_PARAMETERS", "UsbIntrn-GetTtDeviceHandle", kTtDeviceHandleSize,
                 &UsbintOutputer::OutputTtDeviceHandleParameters);
}

void UsbintOutputer::OutputGetTopologyAddress(int mode, ULONG, const BYTE*) {
    OutputWriter(mode, "Get Topology Address", "UsbIntrn-TopologyAddress", kTopologyArgumentSize,
                 &UsbintOutputer::OutputTopologyAddress);
}

void UsbintOutputer::OutputGetDeviceConfigInfo(int mode, ULONG, const BYTE*) {
    OutputWriter(mode, "Get Device Config Info", "UsbIntrn-DeviceConfigInfo", kConfigHeadSize,
                 &UsbintOutputer::InsertUsbIntHubDeviceConfigInfo);
}

void UsbintOutputer::OutputGetHubName(int mode, ULONG, const BYTE*) {
    OutputBufferSizeCode(mode, "GET_HUB_NAME", "UsbIntrn-HubName", kU32Size, &UsbintOutputer::OutputHubNameFields);
}

void UsbintOutputer::OutputGetControllerName(int mode, ULONG, const BYTE*) {
    OutputBufferSizeCode(mode, "GET_CONTROLLER_NAME", "UsbIntrn-ControllerName", kU32Size,
                         &UsbintOutputer::OutputControllerNameFields);
}

void UsbintOutputer::OutputRecordFailure(int mode, ULONG, const BYTE*) {
    // A failure the request recorded carries the whole start-failure data behind the size.
    constexpr ULONG kStartFailSize = kU32Size + offsetof(USB_START_FAILDATA, DriverData);
    const ULONG needed = m_Decode.HasOutputData() && Succeeded() ? kStartFailSize : kU32Size;
    OutputBufferSizeCode(mode, "USB_START_FAILDATA", "UsbIntrn-StartFaildata", needed,
                         &UsbintOutputer::OutputStartFailData);
}

// --- field writers ---

void UsbintOutputer::OutputRootHubPdoFields(FieldWriter& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Root Hub PDO", "Top of Bus Stack"});
        return;
    }
    fields.ValueField({"RootHubPDO", "Root Hub PDO"}, FieldFormat::Hex64, offsetof(UIN_RECORD_ROOTHUB_PDO, Value1));
    fields.ValueField({"TopOfBusStack", "Top of Bus Stack"}, FieldFormat::Hex64,
                      offsetof(UIN_RECORD_ROOTHUB_PDO, Value2));
}

void UsbintOutputer::OutputPortStatusFields(FieldWriter& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Port Status Bits"});
        return;
    }
    ULONG64 status = 0;
    const bool have = fields.ReadNumber(0, 4, status);
    fields.Field({"PortStatus", "Port Status"}, fields.Number(FieldFormat::Hex8, status, have));
    fields.Open(FieldSection::Block, {"PortStatusBits", "Port Status Bits"});
    static_assert(USBD_PORT_ENABLED == 1 && USBD_PORT_CONNECTED == 2);
    fields.Field({"USBD_PORT_ENABLED", "00: Enabled"}, BitText(static_cast<ULONG>(status), 0, have));
    fields.Field({"USBD_PORT_CONNECTED", "01: Connected"}, BitText(static_cast<ULONG>(status), 1, have));
    fields.Close(FieldSection::Block);
}

void UsbintOutputer::OutputHubCountField(FieldWriter& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Hub Count"});
        return;
    }
    ULONG64 count = 0;
    const bool have = fields.ReadNumber(0, 4, count);
    fields.Field({"HubCount", "Hub Count"}, fields.Number(FieldFormat::Hex8, count, have),
                 "Number of Hubs upstream from Device");
}

void UsbintOutputer::OutputBufferSize(FieldWriter& fields) {
    if (fields.IsEmpty()) {
        IoctlPlaceholderRows(fields, {"BufferSize"});
        return;
    }
    fields.PayloadField(
        FieldOf({"BufferSize", "BufferSize"}, FieldFormat::Hex8, 0).MarkedUp("Units", "bytes", kInBytes));
}

void UsbintOutputer::OutputHubNameFields(FieldWriter& fields) {
    // The hub's answer is a USB_HUB_NAME: its length word is the buffer size shown before.
    OutputNameFields(fields, 0, "HubName");
}

void UsbintOutputer::OutputControllerNameFields(FieldWriter& fields) {
    OutputNameFields(fields, fields.Size() >= kU32Size ? kU32Size : 0, "ControllerName");
}

void UsbintOutputer::OutputNameFields(FieldWriter& fields, size_t base, LPCSTR label) {
    constexpr size_t kName = offsetof(USB_HUB_NAME, HubName);
    if (!Succeeded() || fields.IsEmpty()) {
        IoctlPlaceholderRows(fields, {"ActualLength", label});
        return;
    }
    if (fields.BytesFrom(base) < kName) {
        // A record cut inside its size word is a cut record, not an answer without a name.
        if (fields.Size() < fields.Needed()) {
            fields.Field({"ActualLength", "ActualLength"}, kUnknownText, kInBytes);
            fields.Field(label, kUnknownText);
        } else {
            IoctlPlaceholderRows(fields, {"ActualLength", label});
        }
        return;
    }
    ULONG64 length = 0;
    fields.ReadNumber(base + offsetof(USB_HUB_NAME, ActualLength), 4, length);
    fields.Field({"ActualLength", "ActualLength"}, fields.Number(FieldFormat::Hex8, length), kInBytes);
    fields.Field(label, FieldWideText(fields.DataAt(base + kName), fields.BytesFrom(base + kName)));
}

void UsbintOutputer::OutputIdleCallbackFields(FieldWriter& fields) {
    if (fields.IsEmpty()) {
        IoctlPlaceholderRows(fields, {"IdleCallback", "IdleContext"});
        return;
    }
    fields.ValueField("IdleCallback", FieldFormat::Hex64, offsetof(USB_IDLE_CALLBACK_INFO, IdleCallback));
    fields.ValueField("IdleContext", FieldFormat::Hex64, offsetof(USB_IDLE_CALLBACK_INFO, IdleContext));
}

void UsbintOutputer::OutputParentHubInfoFields(FieldWriter& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Hub DeviceObject", "Flags", "Root Hub DeviceObject"});
        return;
    }
    fields.ValueField({"HubDeviceObject", "Hub DeviceObject"}, FieldFormat::Hex64,
                      offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument1Value));
    fields.ValueField("Flags", FieldFormat::Hex8, offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument2Value));
    fields.ValueField({"RootHubDeviceObject", "Root Hub DeviceObject"}, FieldFormat::Hex64,
                      offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument4Value));
}

void UsbintOutputer::OutputDeviceHandleField(FieldWriter& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Device Handle"});
        return;
    }
    fields.ValueField({"DeviceHandle", "Device Handle"}, FieldFormat::Hex64, 0);
}
