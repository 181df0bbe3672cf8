// The hub class requests: the requests to the hub and to its ports as tables (name, fields, what the data
// stage holds), the slots that read them from either record layout, and the data stage.
#include "app/decoders/urb/HubUrbOutputer.h"


#include "app/core/LogRecordDecode.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "usb.h"

namespace {

using Row = UrbOutputer::FieldRow;
using Format = UrbOutputer::FieldFormat;

using Request = UrbOutputer::ClassRequestEntry;

// What a request's data stage holds, which its setup stage tells the data stage.
enum Data { None, HubDescriptor, HubStatus, PortStatus, PortErrorCount };
// The fields before a request's table rows that are not a plain split of wValue and wIndex.
enum Special { Plain, HubSelector, PortSelector, DescriptorTypeIndex };

constexpr Row kValueIndex[] = {{"wValue", 0, 0xFFFF, Format::Hex4}, {"wIndex", 16, 0xFFFF, Format::Hex4}};
constexpr Row kIndex[] = {{"wIndex", 16, 0xFFFF, Format::Hex4}};
constexpr Row kHubDepth[] = {{"HubDepth.wValue", 0, 0xFFFF, Format::Hex4}, {"wIndex", 16, 0xFFFF, Format::Hex4}};
constexpr Row kValuePort[] = {{"wValue", 0, 0xFFFF, Format::Hex4}, {"PortNumber.wIndex", 16, 0xFFFF, Format::Hex4}};
constexpr Row kValueTtPort[] = {{"wValue", 0, 0xFFFF, Format::Hex4},
                                {"TTPortNumber.wIndex", 16, 0xFFFF, Format::Hex4}};
// wValue of CLEAR_TT_BUFFER as the USB 2.0 hub class defines it; bits 14-13 are reserved and not shown.
constexpr Row kClearTtBuffer[] = {
    {"Direction.wValue.15", 15, 1, Format::Decimal, [](unsigned in) -> CString { return in ? "IN" : "OUT"; },
     nullptr, UrbOutputer::NameUse::InText},
    {"EndpointType.wValue.12-11", 11, 3, Format::Decimal},
    {"DeviceAddress.wValue.10-4", 4, 0x7F, Format::Hex2},
    {"EndpointNumber.wValue.3-0", 0, 0xF, Format::Hex2},
    {"TTPortNumber.wIndex", 16, 0xFFFF, Format::Hex4},
};
constexpr Row kTtState[] = {{"VendorTTFlags.wValueHi", 8, 0xFF, Format::Hex2},
                            {"ReservedTTFlags.wValueLo", 0, 0xFF, Format::Hex2},
                            {"TTPortNumber.wIndex", 16, 0xFFFF, Format::Hex4}};

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
    {13, "GetPortErrorCount", "GET_PORT_ERR_COUNT", kValuePort, PortErrorCount, Plain},
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
    ClassRequest request;
    if (!ReadClassRequest(request, "Hub Class", recipient)) {
        if (recipient == kRecipientDevice)
            UrbOutputer::OutputClassDevice(mode, dataSize, pPart);
        else
            UrbOutputer::OutputClassOther(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-HUBClassRequest");
    InsertRequestType(mode);
    NameTheTarget(request.description, recipient);
    if (recipient == kRecipientDevice)
        OutputHubRequest(mode, request);
    else
        OutputPortRequest(mode, request);
    OutputDataStage(mode, request);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void HubUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void HubUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void HubUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    ClassRequest request;
    if (!IsClassRequest() || !ReadClassRequest(request, "Hub Class", 0)) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-HUBClassRequest");
    InsertControlTransferHeader(mode);
    CString hex;
    CString triple;
    CString description;
    BYTE bmRequestType = 0;
    InsertRecipient(mode, "Hub Class", hex, triple, description, bmRequestType);
    const BYTE recipient = request.recipient;
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue("bmRequestType", hex);
        m_pImp->AddAttribute("Description", triple);
    } else if (mode == OUTPUT_MODE_GRID) {
        m_pImp->AddItem("bmRequestType", hex + " " + triple, nullptr);
    }
    NameTheTarget(request.description, recipient);
    if (recipient == kRecipientDevice) {
        OutputHubRequest(mode, request);
        OutputDataStage(mode, request);
    } else if (recipient == kRecipientOther) {
        OutputPortRequest(mode, request);
        OutputDataStage(mode, request);
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void HubUrbOutputer::OutputHubRequest(int mode, const ClassRequest& request) {
    const Request& entry = FindClassRequest(kHubRequests, request.bRequest, kHubUnknown);
    OpenClassRequest(mode, entry.element, request, entry.name);
    if (entry.special == HubSelector)
        OutputHubFeatureSelector(mode, request.wValue);
    else if (entry.special == DescriptorTypeIndex)
        InsertDescriptorTypeIndex(mode, request.wValue);
    OutputFieldRows(mode, entry.rows, SetupWord(request.wValue, request.wIndex));
    InsertClassRequestLength(mode, request.length);
    if (entry.data == HubDescriptor)
        m_DataIsHubDescriptor = 1;
    else if (entry.data == HubStatus)
        m_DataIsHubStatus = 1;
}

void HubUrbOutputer::OutputPortRequest(int mode, const ClassRequest& request) {
    const Request& entry = FindClassRequest(kPortRequests, request.bRequest, kPortUnknown);
    OpenClassRequest(mode, entry.element, request, entry.name);
    if (entry.special == PortSelector)
        OutputPortFeatureSelector(mode, request.wValue, request.wIndex);
    OutputFieldRows(mode, entry.rows, SetupWord(request.wValue, request.wIndex));
    InsertClassRequestLength(mode, request.length);
    if (entry.data == PortStatus)
        m_DataIsPortStatus = 1;
    else if (entry.data == PortErrorCount)
        m_DataIsPortErrorCount = 1;
}

void HubUrbOutputer::OutputDataStage(int mode, const ClassRequest& request) {
    if (request.HasData()) {
        const bool control =
            m_nFunction == URB_FUNCTION_CONTROL_TRANSFER || m_nFunction == URB_FUNCTION_CONTROL_TRANSFER_EX;
        const int kind = control ? RequestTypeBufferKind(request.bmRequestType) : VendorClassBufferKind(m_nFunction);
        OutputTransferBuffer(mode, kind, request);
    }
    CloseBlock(mode);
}

void HubUrbOutputer::OutputTransferBuffer(int mode, int kind, const ClassRequest& request) {
    const BYTE* data = PayloadAt(request.dataOffset);
    const ULONG count = request.dataCount;
    const bool requestSide = m_Decode.HasInputData() && !request.in;
    if (!requestSide && !(m_Decode.HasOutputData() && request.in && static_cast<LONG>(request.status) >= 0))
        return;
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->AddDataBufferItem(requestSide ? "TransferBuffer (Out)" : "TransferBuffer (In)");
        InsertTransferBuffer(kind, !requestSide, data, count, count, 0);
    } else if (mode == OUTPUT_MODE_XML) {
        CString text;
        CStringContent().HexString(text, data, count);
        m_pImp->WriteValue("TransferBuffer", text);
    }
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
    const bool grid = mode != OUTPUT_MODE_XML;
    if (data[1] == kUsb2HubDescriptor || data[1] == 0)
        HubClassDescUsb2Outputer(m_pImp, m_pContext, data, length)
            .Output(mode, grid ? "Hub Class Descriptor" : "HubDescriptor", "", false);
    else if (data[1] == kSuperSpeedHubDescriptor)
        HubClassDescUsb3Outputer(m_pImp, m_pContext, data, length)
            .Output(mode, grid ? "Hub Class Descriptor" : "SuperSpeedHubDescriptor", "", false);
}
