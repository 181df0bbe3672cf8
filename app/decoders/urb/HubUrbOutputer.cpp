// The hub class requests: the requests to the hub and to its ports as tables (name, fields, what the data
// stage holds), the slots that read them from either record layout, and the data stage.
#include "app/decoders/urb/HubUrbOutputer.h"

#include "app/core/records/LogRecordDecode.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "usb.h"

namespace {

using Request = UrbOutputer::ClassRequestEntry;

// What a request's data stage holds, which its setup stage tells the data stage.
enum Data { None, HubDescriptor, HubStatus, PortStatus, PortErrorCount };
// The fields before a request's table rows that are not a plain split of wValue and wIndex.
enum Special { Plain, HubSelector, PortSelector, DescriptorTypeIndex };

constexpr FieldDecl kValueIndex[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("wIndex", 16, 16, FieldFormat::Hex4),
};
constexpr FieldDecl kIndex[] = {
    FieldBits("wIndex", 16, 16, FieldFormat::Hex4),
};
constexpr FieldDecl kHubDepth[] = {
    FieldBits("HubDepth.wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("wIndex", 16, 16, FieldFormat::Hex4),
};
constexpr FieldDecl kValuePort[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("PortNumber.wIndex", 16, 16, FieldFormat::Hex4),
};
constexpr FieldDecl kValueTtPort[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("TTPortNumber.wIndex", 16, 16, FieldFormat::Hex4),
};
// wValue of CLEAR_TT_BUFFER as the USB 2.0 hub class defines it; bits 14-13 are reserved and not shown.
constexpr FieldDecl kClearTtBuffer[] = {
    FieldBits("Direction.wValue.15", 15, 1, FieldFormat::Decimal)
        .Named(
            "Name", [](const FieldEnv&, ULONG64 in) -> CString { return in ? "IN" : "OUT"; }, FieldDecl::kNameInText),
    FieldBits("EndpointType.wValue.12-11", 11, 2, FieldFormat::Decimal),
    FieldBits("DeviceAddress.wValue.10-4", 4, 7, FieldFormat::Hex2),
    FieldBits("EndpointNumber.wValue.3-0", 0, 4, FieldFormat::Hex2),
    FieldBits("TTPortNumber.wIndex", 16, 16, FieldFormat::Hex4),
};
constexpr FieldDecl kTtState[] = {
    FieldBits("VendorTTFlags.wValueHi", 8, 8, FieldFormat::Hex2),
    FieldBits("ReservedTTFlags.wValueLo", 0, 8, FieldFormat::Hex2),
    FieldBits("TTPortNumber.wIndex", 16, 16, FieldFormat::Hex4),
};

constexpr Request kHubRequests[] = {
    {0, "GetHubStatus", "GET_STATUS", kValueIndex, HubStatus, Plain},
    {1, "ClearHubFeature", "CLEAR_FEATURE", kIndex, None, HubSelector},
    {3, "SetHubFeature", "SET_FEATURE", kIndex, None, HubSelector},
    {6, "GetHubDescriptor", "GET_DESCRIPTOR", kIndex, HubDescriptor, DescriptorTypeIndex},
    {7, "SetHubDescriptor", "SET_DESCRIPTOR", kIndex, HubDescriptor, DescriptorTypeIndex},
    {12, "SetHubDepth", "SET_HUB_DEPTH", kHubDepth, None, Plain},
};
constexpr Request kHubUnknown = {0, "HubUnknown", "Unknown", kValueIndex, None, Plain};

constexpr Request kPortRequests[] = {
    {0, "GetPortStatus", "GET_STATUS", kValuePort, PortStatus, Plain},
    {1, "ClearPortFeature", "CLEAR_FEATURE", {}, None, PortSelector},
    {2, "GetBusState", "GET_STATE", kValuePort, None, Plain},
    {3, "SetPortFeature", "SET_FEATURE", {}, None, PortSelector},
    {8, "ClearTTBuffer", "CLEAR_TT_BUFFER", kClearTtBuffer, None, Plain},
    {9, "ResetTT", "RESET_TT", kValueTtPort, None, Plain},
    {10, "GetTTState", "GET_TT_STATE", kTtState, None, Plain},
    {11, "StopTT", "STOP_TT", kValueTtPort, None, Plain},
    {13, "GetPortErrorCount", "GET_PORT_ERR_COUNT", kValuePort, PortErrorCount, Plain, "GetPortErrCount"},
};
constexpr Request kPortUnknown = {0, "PortUnknown", "Unknown", kValueIndex, None, Plain};

constexpr BYTE kRecipientDevice = 0;
constexpr BYTE kRecipientOther = 3;
constexpr BYTE kUsb2HubDescriptor = 0x29;
constexpr BYTE kSuperSpeedHubDescriptor = 0x2A;

// "Hub Class request to device" reads "... to Hub", "... from other" "... from Port".
void NameTheTarget(CString& description, BYTE recipient) {
    if (recipient == kRecipientDevice)
        description.Replace("device", "Hub");
    else if (recipient == kRecipientOther)
        description.Replace("other", "Port");
}

} // namespace

std::span<const UrbOutputer::ClassRequestEntry> HubUrbOutputer::HubRequests() {
    return kHubRequests;
}

std::span<const UrbOutputer::ClassRequestEntry> HubUrbOutputer::PortRequests() {
    return kPortRequests;
}

HubUrbOutputer::HubUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

HubUrbOutputer::~HubUrbOutputer() = default;

void HubUrbOutputer::OutputClassDevice(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputClassRequestUrb(mode, kRecipientDevice, dataSize, pPart);
}

void HubUrbOutputer::OutputClassOther(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputClassRequestUrb(mode, kRecipientOther, dataSize, pPart);
}

void HubUrbOutputer::OutputClassRequestUrb(int mode, BYTE recipient, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    ClassRequest request;
    if (!ReadClassRequest(request, "Hub Class", recipient)) {
        if (recipient == kRecipientDevice)
            UrbOutputer::OutputClassDevice(mode, dataSize, pPart);
        else
            UrbOutputer::OutputClassOther(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, "URB-HUBClassRequest");
    InsertRequestType(mode);
    NameTheTarget(request.description, recipient);
    if (recipient == kRecipientDevice)
        OutputHubRequest(mode, request);
    else
        OutputPortRequest(mode, request);
    OutputDataStage(mode, request);
    fields.Close(FieldSection::Element);
}

void HubUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void HubUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void HubUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    ClassRequest request;
    // The hub class has requests for the hub and its ports only: a class packet to an interface or an
    // endpoint is shown whole as the plain decoder shows it.
    if (!IsClassRequest() || !ReadClassRequest(request, "Hub Class", 0) ||
        (request.recipient != kRecipientDevice && request.recipient != kRecipientOther)) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, "URB-HUBClassRequest");
    InsertControlTransferHeader(mode);
    CString hex;
    CString triple;
    CString description;
    BYTE bmRequestType = 0;
    InsertRecipient(mode, "Hub Class", hex, triple, description, bmRequestType);
    const BYTE recipient = request.recipient;
    fields.Field("bmRequestType", hex, nullptr, kXml);
    fields.Attribute("Description", triple);
    fields.Field("bmRequestType", hex + " " + triple, nullptr, kGrid);
    NameTheTarget(request.description, recipient);
    if (recipient == kRecipientDevice)
        OutputHubRequest(mode, request);
    else
        OutputPortRequest(mode, request);
    OutputDataStage(mode, request);
    fields.Close(FieldSection::Element);
}

void HubUrbOutputer::OutputHubRequest(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    const Request& entry = FindClassRequest(kHubRequests, request.bRequest, kHubUnknown);
    OpenClassRequest(mode, entry.element, request, entry.name);
    if (entry.special == HubSelector)
        OutputHubFeatureSelector(mode, request.wValue);
    else if (entry.special == DescriptorTypeIndex)
        InsertDescriptorTypeIndex(mode, request.wValue);
    fields.Fields(entry.rows, SetupWord(request.wValue, request.wIndex));
    InsertClassRequestLength(mode, request.length);
    if (entry.data == HubDescriptor)
        m_DataIsHubDescriptor = 1;
    else if (entry.data == HubStatus)
        m_DataIsHubStatus = 1;
}

void HubUrbOutputer::OutputPortRequest(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    const Request& entry = FindClassRequest(kPortRequests, request.bRequest, kPortUnknown);
    OpenClassRequest(mode, entry.element, request, entry.name);
    if (entry.special == PortSelector)
        OutputPortFeatureSelector(mode, request.wValue, request.wIndex);
    fields.Fields(entry.rows, SetupWord(request.wValue, request.wIndex));
    InsertClassRequestLength(mode, request.length);
    if (entry.data == PortStatus)
        m_DataIsPortStatus = 1;
    else if (entry.data == PortErrorCount)
        m_DataIsPortErrorCount = 1;
}

void HubUrbOutputer::OutputDataStage(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    if (request.HasData()) {
        const bool control =
            m_nFunction == URB_FUNCTION_CONTROL_TRANSFER || m_nFunction == URB_FUNCTION_CONTROL_TRANSFER_EX;
        const int kind = control ? RequestTypeBufferKind(request.bmRequestType) : VendorClassBufferKind(m_nFunction);
        OutputTransferBuffer(mode, kind, request);
    }
    fields.Close(FieldSection::Block);
}

void HubUrbOutputer::OutputTransferBuffer(int mode, int kind, const ClassRequest& request) {
    const BYTE* data = PayloadAt(request.dataOffset);
    const ULONG count = request.dataCount;
    const bool requestSide = m_Decode.HasInputData() && !request.in;
    if (!requestSide && !(m_Decode.HasOutputData() && request.in && static_cast<LONG>(request.status) >= 0))
        return;
    FieldWriter& fields = Fields(mode);
    InsertTransferBuffer(fields, requestSide ? "TransferBuffer (Out)" : "TransferBuffer (In)", kind, !requestSide, data,
                         count, count, 0);
    fields.Field("TransferBuffer", FieldHexText(data, count), nullptr, kXml);
    if (m_DataIsHubDescriptor)
        OutputHubDescriptor(mode, count, data);
    else if (requestSide)
        return;
    else if (m_DataIsHubStatus)
        OutputHubStatus(mode, count, data);
    else if (m_DataIsPortStatus)
        OutputPortStatus(mode, count, data);
    else if (m_DataIsPortErrorCount)
        OutputPortLinkErrorCount(mode, count, data);
}

void HubUrbOutputer::OutputHubDescriptor(int mode, ULONG length, const BYTE* data) {
    if (length < 2)
        return;
    if (data[1] == kUsb2HubDescriptor || data[1] == 0)
        HubClassDescUsb2Outputer(m_pImp, m_pContext, data, length)
            .Output(mode, FieldLabels("HubDescriptor", "Hub Class Descriptor").For(mode), "", false);
    else if (data[1] == kSuperSpeedHubDescriptor)
        HubClassDescUsb3Outputer(m_pImp, m_pContext, data, length)
            .Output(mode, FieldLabels("SuperSpeedHubDescriptor", "Hub Class Descriptor").For(mode), "", false);
}
