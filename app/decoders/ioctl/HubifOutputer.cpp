#include "app/decoders/ioctl/HubifOutputer.h"

#include <algorithm>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/CallArgument.h"
#include "app/decoders/ioctl/HubifRows.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "common/ByteReader.h"
#include "common/RecordFrame.h"

HubifOutputer::HubifOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : FunctionOutputer(pImp, pDocument, pRecord) {}

HubifOutputer::~HubifOutputer() = default;

ULONG64 HubifOutputer::GetBusContext() const {
    return LogHdr::DeviceObject(RecordBytes());
}

ULONG64 HubifOutputer::GetArgument2() const {
    return LogHdr::Irp(RecordBytes());
}

CString HubifOutputer::GetFunctionName() const {
    CString name;
    m_Decode.HubInterfaceFunctionName(name);
    return name;
}

void HubifOutputer::OutputFunctionCode() {
    m_pImp->AddElement("HubInterfaceFunction");
    m_pImp->AddAttribute("Name", GetFunctionName());
}

void HubifOutputer::OutputRequestObjects() {
    // The bus context is the call's first argument and stands where an IRP record has its device object.
    CString text;
    text.Format("%I64x", GetBusContext());
    m_pImp->WriteValue("BusContext", text);
    m_pImp->AddAttribute("ArgDirection", "in");
    const TargetTexts texts = FindTargetTexts("%I64x");
    if (!texts.found)
        return;
    m_pImp->WriteValue("DeviceObject", text);
    m_pImp->AddAttribute("Name", texts.deviceName);
    m_pImp->WriteValue("DriverObject", texts.driverName);
}

void HubifOutputer::OutputTarget() {
    m_pImp->ShowCategory("Target");
    CString address;
    address.Format("0x%I64x", GetBusContext());
    ShowTargetItems(address, FindTargetTexts("0x%I64x"));
}

void HubifOutputer::OutputKindTitle(int mode) {
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->ShowCategory("IHUB");
        m_pImp->AddDescribedItem("HUB Interface", GetFunctionName(), nullptr, true);
    }
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    OutputFunctionBody(mode, static_cast<ULONG>(payload.size()), payload.data());
}

void HubifOutputer::OutputFunctionBody(int mode, ULONG dataSize, const BYTE* args) {
    using Decoder = void (HubifOutputer::*)(int, ULONG, const BYTE*);
    using H = HubifOutputer;
    // By function index.
    static constexpr Decoder kDecoders[kLastFunction + 1] = {
        &H::OutputCreateUsbDevice,
        &H::OutputInitializeUsbDevice,
        &H::OutputGetUsbDescriptors,
        &H::OutputRemoveUsbDevice,
        &H::OutputRestoreUsbDevice,
        &H::OutputGetPortHackFlags,
        &H::OutputQueryDeviceInformation,
        &H::OutputGetControllerInformation,
        &H::OutputControllerSelectiveSuspend,
        &H::OutputGetExtendedHubInformation,
        &H::OutputGetRootHubSymbolicName,
        &H::OutputGetDeviceBusContext,
        &H::OutputInitialize20Hub,
        &H::OutputRootHubInitNotification,
        &H::OutputFlushTransfers,
        &H::OutputSetDeviceHandleData,
        &H::OutputCreateUsbDeviceEx,
        &H::OutputInitializeUsbDeviceEx,
        &H::OutputHubIsRoot,
        &H::OutputBusSemaphore,
        &H::OutputBusSemaphore,
        &H::OutputCalculatePipeBandwidth,
        &H::OutputSetBusSystemWakeMode,
        &H::OutputSetDeviceFlag,
        &H::OutputHubTestPoint,
        &H::OutputGetDevicePerformanceInfo,
        &H::OutputWaitAsyncPowerUp,
        &H::OutputGetDeviceAddress,
        &H::OutputRefDeviceHandle,
        &H::OutputDerefDeviceHandle,
        &H::OutputSetDeviceHandleIdleReadyState,
        &H::OutputCreateUsbDeviceV7,
        &H::OutputGetContainerIdForPort,
        &H::OutputSetContainerIdForPort,
        &H::OutputAbortAllDevicePipes,
        &H::OutputSetDeviceErrataFlag,
    };
    const ULONG index = m_Decode.GetFunctionWord();
    if (index > kLastFunction)
        return;
    (this->*kDecoders[index])(mode, dataSize, args);
}

FunctionOutputer::ReturnType HubifOutputer::GetReturnType() const {
    constexpr ULONG kHubIsRoot = 18;
    constexpr ULONG kSetDeviceHandleIdleReadyState = 30;
    switch (m_Decode.GetFunctionWord()) {
    case kHubIsRoot:
        return ReturnType::Boolean;
    case kSetDeviceHandleIdleReadyState:
        return ReturnType::Ulong;
    default:
        return ReturnType::NtStatus;
    }
}

bool HubifOutputer::HasReturnedData() const {
    return m_Decode.HasOutputData() && static_cast<LONG>(m_Decode.GetStatus()) >= 0;
}

void HubifOutputer::OutputFunctionRows(int mode, const HubifFunction& function) {
    const bool completed = m_Decode.HasOutputData();
    const bool succeeded = static_cast<LONG>(m_Decode.GetStatus()) >= 0;
    const auto shown = [&](const HubifRow& row) {
        return !(row.requestOnly && completed) && !(row.successOnly && !succeeded);
    };
    // A cut record counts against the furthest field this phase reads: a request record never reads the
    // results, so one that holds all its arguments is whole.
    size_t needed = 0;
    const auto reach = [&](std::span<const HubifRow> rows) {
        for (const HubifRow& row : rows)
            if (shown(row))
                needed = std::max(needed, row.offset + HubifRowBytes(row));
    };
    reach(function.inputs);
    if (completed)
        reach(function.outputs);
    IoctlFields fields(*this, mode, static_cast<ULONG>(needed));

    if (fields.IsMarkup())
        m_pImp->BeginElement(function.section);
    fields.OpenInnerGroup("Inputs");
    // Mark-up has the bus context among the record's objects already.
    if (!fields.IsMarkup())
        fields.Field("BusContext", fields.Text(IoctlWidth::U64, GetBusContext()));
    for (const HubifRow& row : function.inputs)
        if (shown(row))
            OutputFunctionRow(fields, row);
    fields.CloseInnerGroup();
    if (completed) {
        fields.OpenInnerGroup("Outputs");
        for (const HubifRow& row : function.outputs)
            if (shown(row))
                OutputFunctionRow(fields, row);
        fields.CloseInnerGroup();
    }
    if (fields.IsMarkup())
        m_pImp->EndElement();
}

void HubifOutputer::OutputFunctionRow(IoctlFields& fields, const HubifRow& row) {
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    switch (row.show) {
    case HubifShow::NtStatus:
        OutputReturnStatus(fields.Mode(), m_Decode.GetStatus(), row.element);
        return;
    case HubifShow::Flags:
        OutputFlags(fields, row);
        return;
    case HubifShow::Tag:
        OutputTag(fields, row);
        return;
    case HubifShow::PortPath:
        OutputPortPath(fields, row);
        return;
    case HubifShow::DeviceSpeed:
        OutputDeviceSpeed(fields, row);
        return;
    case HubifShow::Guid:
        OutputGuid(fields, row);
        return;
    case HubifShow::SymbolicName:
        OutputSymbolicName(fields, row);
        return;
    default:
        break;
    }
    if (row.source == HubifSource::Block) {
        (this->*row.block)(fields.Mode(), static_cast<ULONG>(payload.size()), payload.data());
        return;
    }
    CallArgument(fields, row.label, row.element, RowValue(fields, row), row.direction);
}

CString HubifOutputer::RowValue(IoctlFields& fields, const HubifRow& row) {
    ULONG64 value = 0;
    switch (row.source) {
    case HubifSource::Nothing:
        return "None";
    case HubifSource::Block:
        return CString();
    case HubifSource::Handle:
        value = GetArgument2();
        break;
    case HubifSource::Returned:
        value = m_Decode.GetStatus();
        break;
    case HubifSource::Argument:
        if (!fields.ReadValue(row.offset, row.width, value))
            return kUnknownText;
        break;
    }
    switch (row.show) {
    case HubifShow::HandleOrNull:
        return value == 0 ? CString("NULL") : fields.Text(row.width, value);
    case HubifShow::Boolean:
        return IoctlBoolText(value != 0);
    case HubifShow::Number32:
        return fields.Text(IoctlWidth::U32, value);
    default:
        return fields.Text(row.width, value);
    }
}

void HubifOutputer::OutputReturnStatus(int mode, ULONG status, LPCSTR label) {
    if (mode == OUTPUT_MODE_HTML)
        return;
    const CString name = StatusText(status);
    const CString hex = IoctlValueText(mode, IoctlWidth::U32, status);
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue(label, hex);
        m_pImp->AddAttribute("Name", name);
        m_pImp->AddAttribute("ArgDirection", "out");
        return;
    }
    CString caption;
    caption.Format("%s (NTSTATUS)", label);
    CString value;
    value.Format("%s (%s)", name.GetString(), hex.GetString());
    // Only errors are red: success, information and warnings read as ordinary values.
    if ((status & 0xC0000000u) == 0xC0000000u)
        m_pImp->AddReadOnlyItem(caption, value);
    else
        m_pImp->AddItem(caption, value, nullptr);
}

void HubifOutputer::OutputUsbdStatus(int mode, LONG status, LPCSTR nameLabel, LPCSTR hexLabel) {
    if (mode == OUTPUT_MODE_HTML)
        return;
    CString name;
    CStringContent().UsbdStatusName(name, static_cast<ULONG>(status));
    const CString hex = IoctlValueText(mode, IoctlWidth::U32, static_cast<ULONG>(status));
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue(nameLabel, hex);
        return;
    }
    if (status < 0)
        m_pImp->AddReadOnlyItem(nameLabel, name);
    else
        m_pImp->AddItem(nameLabel, name, nullptr);
    m_pImp->AddItem(hexLabel, hex, nullptr);
}

void HubifOutputer::OutputCreateDevicePortStatus(int mode, ULONG dataSize, const BYTE* args) {
    OutputPortStatusAt(mode, dataSize, args, 2);
}

void HubifOutputer::OutputCreateDeviceV7PortStatus(int mode, ULONG dataSize, const BYTE* args) {
    OutputPortStatusAt(mode, dataSize, args, 10);
}

void HubifOutputer::OutputPortStatusAt(int mode, ULONG dataSize, const BYTE* args, size_t offset) {
    USHORT portStatus = 0;
    if (!tdl::LoadAt(args, dataSize, offset, portStatus))
        return;
    // The hub decoder writes the bits; it needs nothing of the record but the back-end.
    HubUrbOutputer hub(m_pImp, m_pContext, reinterpret_cast<const _LOGHDR*>(m_Decode.GetRecord()));
    hub.OutputPortStatusBits(mode, portStatus);
}
