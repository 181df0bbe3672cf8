#include "app/decoders/ioctl/UsbintOutputer.h"

#include <cstddef>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/ioctl/IoctlFields.h"
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
    return have ? IoctlBitText(value, bit) : CString(LogOutputer::kUnknownText);
}

} // namespace

UsbintOutputer::~UsbintOutputer() = default;

void UsbintOutputer::OutputIrpFunction() {
    OutputInternalControlFunction();
}

CString UsbintOutputer::GetIoctlName() const {
    CString name;
    m_Decode.InternalIoctlName(name);
    return IoctlDisplayName(name, m_Decode.GetFunctionWord(), "IOCTL_INTERNAL_USB_", "IOCTL_INTERNAL_USB_%X");
}

void UsbintOutputer::OutputFunctionCode() {
    WriteIoctlFunctionCode(m_pImp, m_Decode.GetFunctionWord(), GetIoctlName());
}

void UsbintOutputer::OutputKindTitle(int mode) {
    if (mode == OUTPUT_MODE_GRID)
        OutputRequestName("USBINT", "USB Internal Ioctl", GetIoctlName());
    // A returned record only tells that the dispatch routine returned.
    if (m_Decode.HasTransferData())
        return;
    OutputIoctlBody(mode);
}

int UsbintOutputer::OutputIoctlBody(int mode) {
    static constexpr IoctlOperation<UsbintOutputer, int> kOperations[] = {
        {0x220007, &UsbintOutputer::OutputResetPort},
        {0x22000F, &UsbintOutputer::OutputGetRootHubPdo},
        {0x220013, &UsbintOutputer::OutputGetPortStatus},
        {0x220017, &UsbintOutputer::OutputEnablePort},
        {0x22001B, &UsbintOutputer::OutputGetHubCount},
        {0x22001F, &UsbintOutputer::OutputCyclePort},
        {0x220020, &UsbintOutputer::OutputGetHubName},
        {0x220027, &UsbintOutputer::OutputSubmitIdleNotification},
        {0x22002B, &UsbintOutputer::OutputRecordFailure},
        {0x220420, &UsbintOutputer::OutputGetBusInfo},
        {0x220424, &UsbintOutputer::OutputGetControllerName},
        {0x220428, &UsbintOutputer::OutputGetBusGuidInfo},
        {0x22042C, &UsbintOutputer::OutputGetParentHubInfo},
        {0x220433, &UsbintOutputer::OutputGetDeviceHandle},
        {0x220437, &UsbintOutputer::OutputGetDeviceHandleEx},
        {0x22043B, &UsbintOutputer::OutputGetTtDeviceHandle},
        {0x22043F, &UsbintOutputer::OutputGetTopologyAddress},
        {0x220443, &UsbintOutputer::OutputNotifyIdleReady},
        {0x220447, &UsbintOutputer::OutputReqGlobalSuspend},
        {0x22044B, &UsbintOutputer::OutputReqGlobalResume},
        {0x22044F, &UsbintOutputer::OutputGetDeviceConfigInfo},
    };
    return IoctlDispatch(*this, kOperations, m_Decode, mode);
}

bool UsbintOutputer::IsDecodedSide() const {
    return m_Decode.HasInputData() || m_Decode.HasOutputData();
}

bool UsbintOutputer::Succeeded() const {
    return static_cast<LONG>(m_Decode.GetStatus()) >= 0;
}

// --- sections ---

int UsbintOutputer::OutputLoneItem(int mode, LPCSTR title, LPCSTR element, LPCSTR item) {
    if (!IsDecodedSide())
        return 0;
    IoctlFields fields(*this, mode);
    fields.OpenSection(title, element);
    if (fields.IsGrid())
        m_pImp->AddItem(item, "", nullptr);
    fields.CloseSection();
    return 1;
}

int UsbintOutputer::OutputCompletionWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                                           bool requestNoArguments, void (UsbintOutputer::*writer)(IoctlFields&)) {
    if (m_Decode.HasInputData()) {
        if (requestNoArguments)
            return OutputLoneItem(mode, title, element, "No arguments");
        IoctlFields fields(*this, mode);
        fields.OpenSection(title, element);
        fields.CloseSection();
        return 1;
    }
    if (!m_Decode.HasOutputData())
        return 0;
    IoctlFields fields(*this, mode, needed);
    fields.OpenSection(title, element);
    (this->*writer)(fields);
    fields.CloseSection();
    return 1;
}

int UsbintOutputer::OutputWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                                 void (UsbintOutputer::*writer)(IoctlFields&)) {
    if (!IsDecodedSide())
        return 0;
    IoctlFields fields(*this, mode, needed);
    fields.OpenSection(title, element);
    (this->*writer)(fields);
    fields.CloseSection();
    return 1;
}

int UsbintOutputer::OutputBufferSizeCode(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                                         void (UsbintOutputer::*writer)(IoctlFields&)) {
    if (!IsDecodedSide())
        return 0;
    const bool completion = !m_Decode.HasInputData();
    IoctlFields fields(*this, mode, needed);
    // The size goes first, at the kind's level in the pane and in an element of its own in the mark-up.
    if (fields.IsMarkup()) {
        fields.OpenSection("", "UsbIntrn-BufferSize");
        OutputBufferSize(fields);
        fields.CloseSection();
    } else {
        OutputBufferSize(fields);
    }
    if (!completion) {
        fields.EmptyCategory(title);
        return 1;
    }
    fields.OpenSection(title, element);
    (this->*writer)(fields);
    fields.CloseSection();
    return 1;
}

// --- per code ---

int UsbintOutputer::OutputResetPort(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Reset Port", "UsbIntrn-ResetPort", "No arguments");
}

int UsbintOutputer::OutputEnablePort(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Enable Port", "UsbIntrn-EnablePort", "No arguments");
}

int UsbintOutputer::OutputCyclePort(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Cycle Port", "UsbIntrn-CyclePort", "No arguments");
}

int UsbintOutputer::OutputNotifyIdleReady(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Notify Idle Ready", "UsbIntrn-NotifyIdleRdy", "No arguments");
}

int UsbintOutputer::OutputReqGlobalSuspend(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Request Global Suspend", "UsbIntrn-ReqGlobalSuspend", "No arguments");
}

int UsbintOutputer::OutputReqGlobalResume(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Request Global Resume", "UsbIntrn-ReqGlobalResume", "No arguments");
}

int UsbintOutputer::OutputGetBusInfo(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Get Bus Info", "UsbIntrn-GetBusInfo", "Not supported");
}

int UsbintOutputer::OutputGetBusGuidInfo(int mode, ULONG, const BYTE*) {
    return OutputLoneItem(mode, "Get Bus Guid Info", "UsbIntrn-GetBusGuidInfo", "Not supported");
}

int UsbintOutputer::OutputGetRootHubPdo(int mode, ULONG, const BYTE*) {
    return OutputCompletionWriter(mode, "GET_ROOTHUB_PDO", "UsbIntrn-RootHubPdo", kRootHubPdoSize, true,
                                  &UsbintOutputer::OutputRootHubPdoFields);
}

int UsbintOutputer::OutputGetPortStatus(int mode, ULONG, const BYTE*) {
    return OutputCompletionWriter(mode, "GET_PORT_STATUS", "UsbIntrn-PortStatus", kU32Size, true,
                                  &UsbintOutputer::OutputPortStatusFields);
}

int UsbintOutputer::OutputGetHubCount(int mode, ULONG, const BYTE*) {
    return OutputCompletionWriter(mode, "GET_HUB_COUNT", "UsbIntrn-HubCount", kU32Size, true,
                                  &UsbintOutputer::OutputHubCountField);
}

int UsbintOutputer::OutputGetParentHubInfo(int mode, ULONG, const BYTE*) {
    return OutputCompletionWriter(mode, "GET_PARENT_HUB_INFO", "UsbIntrn-GetParentHubInfo", kParentHubInfoSize, false,
                                  &UsbintOutputer::OutputParentHubInfoFields);
}

int UsbintOutputer::OutputGetDeviceHandle(int mode, ULONG, const BYTE*) {
    return OutputCompletionWriter(mode, "GET_DEVICE_HANDLE", "UsbIntrn-GetDeviceHandle", kDeviceHandleSize, false,
                                  &UsbintOutputer::OutputDeviceHandleField);
}

int UsbintOutputer::OutputSubmitIdleNotification(int mode, ULONG, const BYTE*) {
    return OutputWriter(mode, "USB_IDLE_CALLBACK_INFO", "UsbIntrn-IdleCallbackInfo", UIN_RECORD_IDLE_NOTIFICATION_SIZE,
                        &UsbintOutputer::OutputIdleCallbackFields);
}

int UsbintOutputer::OutputGetDeviceHandleEx(int mode, ULONG, const BYTE*) {
    return OutputWriter(mode, "IOCTL_PARAMETERS", "UsbIntrn-GetDeviceHandleEx", kDeviceHandleExSize,
                        &UsbintOutputer::OutputDeviceHandleExParameters);
}

int UsbintOutputer::OutputGetTtDeviceHandle(int mode, ULONG, const BYTE*) {
    return OutputWriter(mode, "IOCTL_PARAMETERS", "UsbIntrn-GetTtDeviceHandle", kTtDeviceHandleSize,
                        &UsbintOutputer::OutputTtDeviceHandleParameters);
}

int UsbintOutputer::OutputGetTopologyAddress(int mode, ULONG, const BYTE*) {
    return OutputWriter(mode, "Get Topology Address", "UsbIntrn-TopologyAddress", kTopologyArgumentSize,
                        &UsbintOutputer::OutputTopologyAddress);
}

int UsbintOutputer::OutputGetDeviceConfigInfo(int mode, ULONG, const BYTE*) {
    return OutputWriter(mode, "Get Device Config Info", "UsbIntrn-DeviceConfigInfo", kConfigHeadSize,
                        &UsbintOutputer::InsertUsbIntHubDeviceConfigInfo);
}

int UsbintOutputer::OutputGetHubName(int mode, ULONG, const BYTE*) {
    return OutputBufferSizeCode(mode, "GET_HUB_NAME", "UsbIntrn-HubName", kU32Size,
                                &UsbintOutputer::OutputHubNameFields);
}

int UsbintOutputer::OutputGetControllerName(int mode, ULONG, const BYTE*) {
    return OutputBufferSizeCode(mode, "GET_CONTROLLER_NAME", "UsbIntrn-ControllerName", kU32Size,
                                &UsbintOutputer::OutputControllerNameFields);
}

int UsbintOutputer::OutputRecordFailure(int mode, ULONG, const BYTE*) {
    // A failure the request recorded carries the whole start-failure data behind the size.
    constexpr ULONG kStartFailSize = kU32Size + offsetof(USB_START_FAILDATA, DriverData);
    const ULONG needed = m_Decode.HasOutputData() && Succeeded() ? kStartFailSize : kU32Size;
    return OutputBufferSizeCode(mode, "USB_START_FAILDATA", "UsbIntrn-StartFaildata", needed,
                                &UsbintOutputer::OutputStartFailData);
}

// --- field writers ---

void UsbintOutputer::OutputRootHubPdoFields(IoctlFields& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Root Hub PDO", "Top of Bus Stack"});
        return;
    }
    fields.ValueField("Root Hub PDO", "RootHubPDO", IoctlWidth::U64, offsetof(UIN_RECORD_ROOTHUB_PDO, Value1));
    fields.ValueField("Top of Bus Stack", "TopOfBusStack", IoctlWidth::U64, offsetof(UIN_RECORD_ROOTHUB_PDO, Value2));
}

void UsbintOutputer::OutputPortStatusFields(IoctlFields& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Port Status Bits"});
        return;
    }
    ULONG64 status = 0;
    const bool have = fields.ReadValue(0, IoctlWidth::U32, status);
    fields.Field("Port Status", "PortStatus", fields.Text(IoctlWidth::U32, status, have));
    fields.OpenDataSection("Port Status Bits", "PortStatusBits");
    static_assert(USBD_PORT_ENABLED == 1 && USBD_PORT_CONNECTED == 2);
    fields.Field("00: Enabled", "USBD_PORT_ENABLED", BitText(static_cast<ULONG>(status), 0, have));
    fields.Field("01: Connected", "USBD_PORT_CONNECTED", BitText(static_cast<ULONG>(status), 1, have));
    fields.CloseDataSection();
}

void UsbintOutputer::OutputHubCountField(IoctlFields& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Hub Count"});
        return;
    }
    ULONG64 count = 0;
    const bool have = fields.ReadValue(0, IoctlWidth::U32, count);
    fields.Field("Hub Count", "HubCount", fields.Text(IoctlWidth::U32, count, have),
                 "Number of Hubs upstream from Device");
}

void UsbintOutputer::OutputBufferSize(IoctlFields& fields) {
    if (fields.IsEmpty()) {
        IoctlPlaceholderRows(fields, {"BufferSize"});
        return;
    }
    fields.AttributedValueField("BufferSize", "BufferSize", IoctlWidth::U32, 0, "Units", "bytes", kInBytes);
}

void UsbintOutputer::OutputHubNameFields(IoctlFields& fields) {
    // The hub's answer is a USB_HUB_NAME: its length word is the buffer size shown before.
    OutputNameFields(fields, 0, "HubName");
}

void UsbintOutputer::OutputControllerNameFields(IoctlFields& fields) {
    OutputNameFields(fields, fields.Size() >= kU32Size ? kU32Size : 0, "ControllerName");
}

void UsbintOutputer::OutputNameFields(IoctlFields& fields, size_t base, LPCSTR label) {
    constexpr size_t kName = offsetof(USB_HUB_NAME, HubName);
    if (!Succeeded() || fields.IsEmpty()) {
        IoctlPlaceholderRows(fields, {"ActualLength", label});
        return;
    }
    if (fields.BytesFrom(base) < kName) {
        // A record cut inside its size word is a cut record, not an answer without a name.
        if (fields.Size() < fields.Needed()) {
            fields.Field("ActualLength", "ActualLength", kUnknownText, kInBytes);
            fields.Field(label, kUnknownText);
        } else {
            IoctlPlaceholderRows(fields, {"ActualLength", label});
        }
        return;
    }
    ULONG64 length = 0;
    fields.ReadValue(base + offsetof(USB_HUB_NAME, ActualLength), IoctlWidth::U32, length);
    fields.Field("ActualLength", "ActualLength", fields.Text(IoctlWidth::U32, length), kInBytes);
    fields.Field(label, IoctlWideText(fields.DataAt(base + kName), fields.BytesFrom(base + kName)));
}

void UsbintOutputer::OutputIdleCallbackFields(IoctlFields& fields) {
    if (fields.IsEmpty()) {
        IoctlPlaceholderRows(fields, {"IdleCallback", "IdleContext"});
        return;
    }
    fields.ValueField("IdleCallback", IoctlWidth::U64, offsetof(USB_IDLE_CALLBACK_INFO, IdleCallback));
    fields.ValueField("IdleContext", IoctlWidth::U64, offsetof(USB_IDLE_CALLBACK_INFO, IdleContext));
}

void UsbintOutputer::OutputParentHubInfoFields(IoctlFields& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Hub DeviceObject", "Flags", "Root Hub DeviceObject"});
        return;
    }
    fields.ValueField("Hub DeviceObject", "HubDeviceObject", IoctlWidth::U64,
                      offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument1Value));
    fields.ValueField("Flags", IoctlWidth::U32, offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument2Value));
    fields.ValueField("Root Hub DeviceObject", "RootHubDeviceObject", IoctlWidth::U64,
                      offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument4Value));
}

void UsbintOutputer::OutputDeviceHandleField(IoctlFields& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"Device Handle"});
        return;
    }
    fields.ValueField("Device Handle", "DeviceHandle", IoctlWidth::U64, 0);
}
