#include "app/decoders/ioctl/HubifOutputer.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/NumberText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/CallArgument.h"
#include "app/decoders/ioctl/HubifRows.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "common/ByteReader.h"
#include "common/RecordFrame.h"
#include "hubbusif.h"

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
    static const CString kElement("HubInterfaceFunction"), kName("Name");
    // Kept from record to record: the name needs no allocation once it has grown to size.
    static thread_local CString name;
    m_Decode.HubInterfaceFunctionName(name);
    m_pImp->AddElement(kElement);
    m_pImp->AddAttribute(kName, name);
}

void HubifOutputer::OutputRequestObjects() {
    static const CString kBusContext("BusContext"), kDeviceObject("DeviceObject"), kDriverObject("DriverObject"),
        kName("Name"), kArgDirection("ArgDirection"), kIn("in");
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString text;
    static thread_local TargetTexts texts;
    // The bus context is the call's first argument and stands where an IRP record has its device object.
    SetHex(text, GetBusContext());
    m_pImp->WriteValue(kBusContext, text);
    m_pImp->AddAttribute(kArgDirection, kIn);
    FindTargetTexts("", texts);
    if (!texts.found)
        return;
    m_pImp->WriteValue(kDeviceObject, text);
    m_pImp->AddAttribute(kName, texts.deviceName);
    m_pImp->WriteValue(kDriverObject, texts.driverName);
}

void HubifOutputer::OutputTarget() {
    m_pImp->ShowCategory("Target");
    CString address;
    address.Format("0x%I64x", GetBusContext());
    ShowTargetItems(address, FindTargetTexts("0x"));
}

void HubifOutputer::OutputKindTitle(int mode) {
    FieldWriter title(*this, mode);
    if (title.In(kGrid))
        title.RequestTitle("IHUB", "HUB Interface", GetFunctionName());
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    OutputFunctionBody(mode, static_cast<ULONG>(payload.size()), payload.data());
}

// A routine of the interface by its name in the published table, which gives its index; the record list may
// show a shorter name, and the filter page a text of its own.
#define TDL_HUBIF_FUNCTION(routine, listName, filterText, offer, operation)                                            \
    HubifCode {                                                                                                        \
        CodeRow{(offsetof(USB_BUS_INTERFACE_HUB_V7, routine) - offsetof(USB_BUS_INTERFACE_HUB_V7, CreateUsbDevice)) /  \
                    sizeof(PVOID),                                                                                     \
                CodeText(listName, #routine), CodeText(filterText, #routine), offer},                                  \
            "HUBIF-" #routine, operation                                                                               \
    }

std::span<const HubifCode> HubifOutputer::FunctionCodes() {
    using enum CodeOffer;
    using H = HubifOutputer;
    // clang-format off
    static constexpr HubifCode kCodes[] = {
        TDL_HUBIF_FUNCTION(CreateUsbDevice, nullptr, nullptr, BeforeWindows7, &H::OutputCreateUsbDevice),
        TDL_HUBIF_FUNCTION(InitializeUsbDevice, nullptr, nullptr, BeforeWindows7, &H::OutputInitializeUsbDevice),
        TDL_HUBIF_FUNCTION(GetUsbDescriptors, nullptr, nullptr, Always, &H::OutputGetUsbDescriptors),
        TDL_HUBIF_FUNCTION(RemoveUsbDevice, nullptr, nullptr, Always, &H::OutputRemoveUsbDevice),
        TDL_HUBIF_FUNCTION(RestoreUsbDevice, "RestoreDevice", "RestoreDevice", Always, &H::OutputRestoreUsbDevice),
        TDL_HUBIF_FUNCTION(GetPortHackFlags, nullptr, nullptr, Always, &H::OutputGetPortHackFlags),
        TDL_HUBIF_FUNCTION(QueryDeviceInformation, nullptr, nullptr, Always, &H::OutputQueryDeviceInformation),
        TDL_HUBIF_FUNCTION(GetControllerInformation, "GetControllerInfo", nullptr, Always,
                           &H::OutputGetControllerInformation),
        TDL_HUBIF_FUNCTION(ControllerSelectiveSuspend, "ControllerSelectiveSusp", nullptr, Always,
                           &H::OutputControllerSelectiveSuspend),
        TDL_HUBIF_FUNCTION(GetExtendedHubInformation, "GetExtendedHubInfo", nullptr, Always,
                           &H::OutputGetExtendedHubInformation),
        TDL_HUBIF_FUNCTION(GetRootHubSymbolicName, nullptr, nullptr, Always, &H::OutputGetRootHubSymbolicName),
        TDL_HUBIF_FUNCTION(GetDeviceBusContext, nullptr, nullptr, Always, &H::OutputGetDeviceBusContext),
        TDL_HUBIF_FUNCTION(Initialize20Hub, nullptr, nullptr, Always, &H::OutputInitialize20Hub),
        TDL_HUBIF_FUNCTION(RootHubInitNotification, "RootHubInitNotif", nullptr, Always,
                           &H::OutputRootHubInitNotification),
        TDL_HUBIF_FUNCTION(FlushTransfers, nullptr, nullptr, Always, &H::OutputFlushTransfers),
        TDL_HUBIF_FUNCTION(SetDeviceHandleData, nullptr, nullptr, Always, &H::OutputSetDeviceHandleData),
        TDL_HUBIF_FUNCTION(CreateUsbDeviceEx, nullptr, nullptr, Windows7, &H::OutputCreateUsbDeviceEx),
        TDL_HUBIF_FUNCTION(InitializeUsbDeviceEx, nullptr, nullptr, Windows7, &H::OutputInitializeUsbDeviceEx),
        TDL_HUBIF_FUNCTION(HubIsRoot, nullptr, nullptr, Windows7, &H::OutputHubIsRoot),
        TDL_HUBIF_FUNCTION(AcquireBusSemaphore, nullptr, nullptr, Windows7, &H::OutputBusSemaphore),
        TDL_HUBIF_FUNCTION(ReleaseBusSemaphore, nullptr, nullptr, Windows7, &H::OutputBusSemaphore),
        TDL_HUBIF_FUNCTION(CalculatePipeBandwidth, nullptr, nullptr, Windows7, &H::OutputCalculatePipeBandwidth),
        TDL_HUBIF_FUNCTION(SetBusSystemWakeMode, nullptr, nullptr, Windows7, &H::OutputSetBusSystemWakeMode),
        TDL_HUBIF_FUNCTION(SetDeviceFlag, nullptr, nullptr, Windows7, &H::OutputSetDeviceFlag),
        TDL_HUBIF_FUNCTION(HubTestPoint, nullptr, nullptr, Windows7, &H::OutputHubTestPoint),
        TDL_HUBIF_FUNCTION(GetDevicePerformanceInfo, nullptr, nullptr, Windows7, &H::OutputGetDevicePerformanceInfo),
        TDL_HUBIF_FUNCTION(WaitAsyncPowerUp, nullptr, nullptr, Windows7, &H::OutputWaitAsyncPowerUp),
        TDL_HUBIF_FUNCTION(GetDeviceAddress, nullptr, nullptr, Windows7, &H::OutputGetDeviceAddress),
        TDL_HUBIF_FUNCTION(RefDeviceHandle, nullptr, nullptr, Windows7, &H::OutputRefDeviceHandle),
        TDL_HUBIF_FUNCTION(DerefDeviceHandle, nullptr, nullptr, Windows7, &H::OutputDerefDeviceHandle),
        TDL_HUBIF_FUNCTION(SetDeviceHandleIdleReadyState, nullptr, nullptr, Windows7,
                           &H::OutputSetDeviceHandleIdleReadyState),
        TDL_HUBIF_FUNCTION(CreateUsbDeviceV7, nullptr, nullptr, Windows8, &H::OutputCreateUsbDeviceV7),
        TDL_HUBIF_FUNCTION(GetContainerIdForPort, nullptr, nullptr, Windows8, &H::OutputGetContainerIdForPort),
        TDL_HUBIF_FUNCTION(SetContainerIdForPort, nullptr, nullptr, Windows8, &H::OutputSetContainerIdForPort),
        TDL_HUBIF_FUNCTION(AbortAllDevicePipes, nullptr, nullptr, Windows8, &H::OutputAbortAllDevicePipes),
        TDL_HUBIF_FUNCTION(SetDeviceErrataFlag, nullptr, nullptr, Windows8, &H::OutputSetDeviceErrataFlag),
    };
    // clang-format on
    static_assert([] {
        for (ULONG i = 0; i < std::size(kCodes); ++i)
            if (kCodes[i].row.code != i)
                return false;
        return true;
    }());
    return kCodes;
}

#undef TDL_HUBIF_FUNCTION

const HubifCode* HubifOutputer::FindFunction(ULONG index) {
    const std::span<const HubifCode> codes = FunctionCodes();
    return index < codes.size() ? &codes[index] : nullptr;
}

void HubifOutputer::OutputFunctionBody(int mode, ULONG dataSize, const BYTE* args) {
    if (const HubifCode* code = FindFunction(m_Decode.GetFunctionWord()))
        (this->*code->operation)(mode, dataSize, args);
}

FunctionOutputer::ReturnType HubifOutputer::GetReturnType() const {
    // The routines' published return types.
    const HubifCode* code = FindFunction(m_Decode.GetFunctionWord());
    const HubifOperation operation = code != nullptr ? code->operation : nullptr;
    if (operation == &HubifOutputer::OutputHubIsRoot)
        return ReturnType::Boolean;
    if (operation == &HubifOutputer::OutputSetDeviceHandleIdleReadyState)
        return ReturnType::Ulong;
    return ReturnType::NtStatus;
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

    const HubifCode* code = FindFunction(m_Decode.GetFunctionWord());
    fields.Open(FieldSection::Element, code != nullptr ? code->section : "");
    fields.Open(FieldSection::GridGroup, "Inputs");
    // Mark-up has the bus context among the record's objects already.
    fields.Field("BusContext", fields.Number(FieldFormat::Hex64, GetBusContext()), nullptr, kNotMarkup);
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
    case HubifShow::NtStatus: OutputReturnStatus(fields.Mode(), m_Decode.GetStatus(), row.Element()); return;
    case HubifShow::Flags: OutputFlags(fields, row); return;
    case HubifShow::Tag: OutputTag(fields, row); return;
    case HubifShow::PortPath: OutputPortPath(fields, row); return;
    case HubifShow::DeviceSpeed: OutputDeviceSpeed(fields, row); return;
    case HubifShow::Guid: OutputGuid(fields, row); return;
    case HubifShow::SymbolicName: OutputSymbolicName(fields, row); return;
    default: break;
    }
    if (row.source == HubifSource::Block) {
        (this->*row.block)(fields.Mode(), static_cast<ULONG>(payload.size()), payload.data());
        return;
    }
    CallArgument(fields, row.Label(), row.Element(), RowValue(fields, row), row.direction);
}

LPCSTR HubifOutputer::RowValue(FieldWriter& fields, const HubifRow& row) {
    ULONG64 value = 0;
    switch (row.source) {
    case HubifSource::Nothing: return "None";
    case HubifSource::Block: return "";
    case HubifSource::Handle: value = GetArgument2(); break;
    case HubifSource::Returned: value = m_Decode.GetStatus(); break;
    case HubifSource::Argument:
        if (!fields.ReadNumber(row.field.offset, row.field.size, value))
            return kUnknownText;
        break;
    }
    switch (row.show) {
    case HubifShow::HandleOrNull: return value == 0 ? "NULL" : fields.Number(row.field.format, value);
    case HubifShow::Boolean: return FieldBoolText(value != 0);
    case HubifShow::Number32: return fields.Number(FieldFormat::Hex8, value);
    default: return fields.Number(row.field.format, value);
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
