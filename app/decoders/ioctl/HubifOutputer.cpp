#include "app/decoders/ioctl/HubifOutputer.h"

#include <algorithm>

#include "app/decoders/framework/FieldWriter.h"
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
    FieldWriter(*this, mode).RequestTitle("IHUB", "HUB Interface", GetFunctionName());
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
                needed = std::max(needed, row.field.offset + HubifRowBytes(row));
    };
    reach(function.inputs);
    if (completed)
        reach(function.outputs);
    FieldWriter fields(*this, mode, static_cast<ULONG>(needed));

    fields.Open(FieldSection::Element, function.section);
    fields.Open(FieldSection::GridGroup, "Inputs");
    // Mark-up has the bus context among the record's objects already.
    fields.Field("BusContext", fields.Text(FieldFormat::Hex64, GetBusContext()), nullptr, kNotMarkup);
    for (const HubifRow& row : function.inputs)
        if (shown(row))
            OutputFunctionRow(fields, row);
    fields.Close(FieldSection::GridGroup);
    if (completed) {
        fields.Open(FieldSection::GridGroup, "Outputs");
        for (const HubifRow& row : function.outputs)
            if (shown(row))
                OutputFunctionRow(fields, row);
        fields.Close(FieldSection::GridGroup);
    }
    fields.Close(FieldSection::Element);
}

void HubifOutputer::OutputFunctionRow(FieldWriter& fields, const HubifRow& row) {
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    switch (row.show) {
    case HubifShow::NtStatus:
        OutputReturnStatus(fields.Mode(), m_Decode.GetStatus(), row.Element());
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
    CallArgument(fields, row.Label(), row.Element(), RowValue(fields, row), row.direction);
}

CString HubifOutputer::RowValue(FieldWriter& fields, const HubifRow& row) {
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
        if (!fields.ReadNumber(row.field.offset, row.field.size, value))
            return kUnknownText;
        break;
    }
    switch (row.show) {
    case HubifShow::HandleOrNull:
        return value == 0 ? CString("NULL") : fields.Text(row.field.format, value);
    case HubifShow::Boolean:
        return FieldBoolText(value != 0);
    case HubifShow::Number32:
        return fields.Text(FieldFormat::Hex8, value);
    default:
        return fields.Text(row.field.format, value);
    }
}

void HubifOutputer::OutputReturnStatus(int mode, ULONG status, LPCSTR label) {
    FieldWriter fields(*this, mode);
    CString caption;
    caption.Format("%s (NTSTATUS)", label);
    // Only errors are red: success, information and warnings read as ordinary values.
    const uint16_t fault = (status & 0xC0000000u) == 0xC0000000u ? FieldDecl::kFault : 0;
    fields.NameFirstField({label, caption}, StatusText(status), fields.Number(FieldFormat::Hex8, status), "Name",
                          FieldDecl::kAttributeAfter | fault, kGrid | kXml);
    fields.Attribute("ArgDirection", "out");
}

void HubifOutputer::OutputUsbdStatus(int mode, LONG status, LPCSTR nameLabel, LPCSTR hexLabel) {
    FieldWriter fields(*this, mode);
    CString name;
    CStringContent().UsbdStatusName(name, static_cast<ULONG>(status));
    const CString hex = fields.Text(FieldFormat::Hex8, static_cast<ULONG>(status));
    fields.Field(nameLabel, hex, nullptr, kXml);
    if (status < 0)
        fields.FaultField(nameLabel, name, kGrid);
    else
        fields.Field(nameLabel, name, nullptr, kGrid);
    fields.Field(hexLabel, hex, nullptr, kGrid);
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
