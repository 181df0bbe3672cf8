#include "app/core/records/LogRecordDecode.h"

#include <cstring>

#include "app/core/document/USBLog.h"
#include "app/core/records/FormatInto.h"
#include "app/core/records/RecordNames.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/urb/UrbFunctions.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "usbspec.h"

namespace {

// The mass-storage interface protocol of the bulk-only transport.
constexpr UCHAR USB_PROTOCOL_BULK_ONLY = 0x50;

// The URB function codes of a control transfer.
constexpr ULONG kControlTransfer = 8;
constexpr ULONG kControlTransferEx = 50;

enum PhaseSet : unsigned {
    kInput = 1,    // HasInputData
    kOutput = 2,   // HasOutputData
    kTransfer = 4, // HasTransferData
    kAll = kInput | kOutput | kTransfer,
};

struct TagInfo {
    ULONG tag;
    unsigned phases;
    LPCSTR type;
    LPCSTR disposition;
};

// Every tag the view knows, with its phase predicates and its list texts.
// clang-format off
constexpr TagInfo kTags[] = {
    {LogTag::urbI, kInput, " URB", "init"},       {LogTag::urbC, kOutput, " URB", "comp"},
    {LogTag::urbR, kTransfer, " URB*", " ret"},   {LogTag::hubI, kInput, " HUB", "init"},
    {LogTag::hubC, kOutput, " HUB", "comp"},      {LogTag::hubR, kTransfer, " HUB*", " ret"},
    {LogTag::hcdI, kInput, " HCD", "init"},       {LogTag::hcdC, kOutput, " HCD", "comp"},
    {LogTag::hcdR, kTransfer, " HCD*", " ret"},   {LogTag::hidI, kInput, " HID", "init"},
    {LogTag::hidC, kOutput, " HID", "comp"},      {LogTag::hidR, kTransfer, " HID*", " ret"},
    {LogTag::ctlI, kInput, " IOCTL", "init"},     {LogTag::ctlC, kOutput, " IOCTL", "comp"},
    {LogTag::ctlR, kTransfer, " IOCTL*", " ret"}, {LogTag::intI, kInput, " INTRN", "init"},
    {LogTag::intC, kOutput, " INTRN", "comp"},    {LogTag::intR, kTransfer, " INTRN*", " ret"},
    {LogTag::uinI, kInput, " USBINT", "init"},    {LogTag::uinC, kOutput, " USBINT", "comp"},
    {LogTag::uinR, kTransfer, " USBINT*", " ret"}, {LogTag::pnpI, kInput, " PNP", "init"},
    {LogTag::pnpC, kOutput, " PNP", "comp"},      {LogTag::pnpR, kTransfer, " PNP*", " ret"},
    {LogTag::powI, kInput, " PWR", "init"},       {LogTag::powC, kOutput, " PWR", "comp"},
    {LogTag::powR, kTransfer, " PWR*", " ret"},   {LogTag::buhI, kInput, " IHUB", "init"},
    {LogTag::buhC, kOutput, " IHUB", "comp"},     {LogTag::khpI, kInput, " MPORT", "init"},
    {LogTag::khpC, kOutput, " MPORT", "comp"},    {LogTag::iCnt, 0, " XFR", "init"},
    {LogTag::cCnt, kOutput, " XFR", "comp"},      {LogTag::atsL, kAll, " BEGIN", "init"},
    {LogTag::dneL, kAll, " END", "comp"},         {LogTag::vedA, kAll, " DEV", "arrive"},
    {LogTag::vrdA, kAll, " DRV", "arrive"},       {LogTag::ktsA, kAll, " STK", "arrive"},
    {LogTag::vedR, kAll, " DEV", "remove"},       {LogTag::vrdR, kAll, " DRV", "remove"},
    {LogTag::ktsR, kAll, " STK", "remove"},
};
// clang-format on

const TagInfo* FindTag(ULONG tag) {
    for (const TagInfo& info : kTags)
        if (info.tag == tag)
            return &info;
    return nullptr;
}

} // namespace

CLogRecordDecode::CLogRecordDecode(const _LOGHDR* pRecord, CUSBLog* pDocument) : m_pDocument(pDocument) {
    if (!pRecord)
        return;
    m_pRecord = reinterpret_cast<const BYTE*>(pRecord);
    m_payload = std::span<const uint8_t>(m_pRecord + LOGHDR_SIZE, LogHdr::DataSize(m_pRecord));
}

CLogRecordDecode::CLogRecordDecode(const void* pRecord, size_t available, CUSBLog* pDocument) : m_pDocument(pDocument) {
    if (!pRecord || available < LOGHDR_SIZE)
        return;
    m_pRecord = static_cast<const BYTE*>(pRecord);
    const size_t given = available - LOGHDR_SIZE;
    const ULONG dataSize = LogHdr::DataSize(m_pRecord);
    m_payload = std::span<const uint8_t>(m_pRecord + LOGHDR_SIZE, dataSize < given ? dataSize : given);
}

CLogRecordDecode::~CLogRecordDecode() {
    m_pRecord = nullptr;
    m_pDocument = nullptr;
    m_payload = {};
}

ULONG CLogRecordDecode::GetLogType() const {
    return m_pRecord ? LogHdr::LogType(m_pRecord) : 0;
}
ULONG CLogRecordDecode::GetFunctionWord() const {
    return m_pRecord ? LogHdr::Function(m_pRecord) : 0;
}
ULONG CLogRecordDecode::GetStatus() const {
    return m_pRecord ? LogHdr::Status(m_pRecord) : 0;
}
ULONG CLogRecordDecode::GetDataSize() const {
    return m_pRecord ? LogHdr::DataSize(m_pRecord) : 0;
}
ULONG CLogRecordDecode::GetSequenceNumber() const {
    return m_pRecord ? LogHdr::SequenceNumber(m_pRecord) : 0;
}
USHORT CLogRecordDecode::GetStackID() const {
    return m_pRecord ? LogHdr::StackID(m_pRecord) : 0;
}

ULONG CLogRecordDecode::GetSyncWord() const {
    return m_pRecord ? LogHdr::Sync(m_pRecord) : 0;
}
LONGLONG CLogRecordDecode::GetTimeStamp() const {
    return m_pRecord ? LogHdr::TimeStamp(m_pRecord) : 0;
}
UCHAR CLogRecordDecode::GetStackCount() const {
    return m_pRecord ? LogHdr::StackCount(m_pRecord) : 0;
}
signed char CLogRecordDecode::GetCurrentLocation() const {
    return m_pRecord ? LogHdr::CurrentLocation(m_pRecord) : 0;
}
ULONG64 CLogRecordDecode::GetDeviceObject() const {
    return m_pRecord ? LogHdr::DeviceObject(m_pRecord) : 0;
}
ULONG64 CLogRecordDecode::GetIrp() const {
    return m_pRecord ? LogHdr::Irp(m_pRecord) : 0;
}
ULONG64 CLogRecordDecode::GetStackLocation() const {
    return m_pRecord ? LogHdr::StackLocation(m_pRecord) : 0;
}

ULONG CLogRecordDecode::GetFunctionCode() const {
    return GetFunctionWord() & URB_FUNCTION_WORD_CODE_MASK;
}
BOOL CLogRecordDecode::IsSynchronous() const {
    return (GetFunctionWord() & URB_FUNCTION_WORD_SYNC_BIT) != 0;
}
signed char CLogRecordDecode::GetFunctionRequestType() const {
    return static_cast<signed char>((GetFunctionWord() >> 16) & 0xFF);
}
signed char CLogRecordDecode::GetFunctionRequest() const {
    return static_cast<signed char>((GetFunctionWord() >> 24) & 0xFF);
}

BOOL CLogRecordDecode::IsUrbRecord() const {
    return m_pRecord && LogTag::IsUrbTag(GetLogType());
}

bool CLogRecordDecode::IsKnownLogType() const {
    return m_pRecord && FindTag(GetLogType());
}

BOOL CLogRecordDecode::HasInputData() const {
    const TagInfo* info = m_pRecord ? FindTag(GetLogType()) : nullptr;
    return !info || (info->phases & kInput);
}
BOOL CLogRecordDecode::HasOutputData() const {
    const TagInfo* info = m_pRecord ? FindTag(GetLogType()) : nullptr;
    return !info || (info->phases & kOutput);
}
BOOL CLogRecordDecode::HasTransferData() const {
    const TagInfo* info = m_pRecord ? FindTag(GetLogType()) : nullptr;
    return !info || (info->phases & kTransfer);
}

void CLogRecordDecode::GetTypeAndDisposition(LPCSTR& type, LPCSTR& disposition) const {
    const TagInfo* info = m_pRecord ? FindTag(GetLogType()) : nullptr;
    type = info ? info->type : " ???";
    disposition = info ? info->disposition : "none";
}

void CLogRecordDecode::GetTypeAndDisposition(CString& type, CString& disposition) const {
    LPCSTR typeText = nullptr;
    LPCSTR dispositionText = nullptr;
    GetTypeAndDisposition(typeText, dispositionText);
    type = typeText;
    disposition = dispositionText;
}

bool CLogRecordDecode::TryGetDirectionIn(bool& directionIn) const {
    const ULONG tag = GetLogType();
    if (!IsUrbRecord() || tag == LogTag::urbR)
        return false; // "urbR" records are header only
    const bool continuation = tag == LogTag::iCnt || tag == LogTag::cCnt;
    const size_t interfaceOffset =
        continuation ? offsetof(URB_RECORD_CONTINUATION, InterfaceNumber) : URB_RECORD_INTERFACE_OFFSET;
    const size_t endpointOffset =
        continuation ? offsetof(URB_RECORD_CONTINUATION, EndpointAddress) : URB_RECORD_ENDPOINT_OFFSET;
    const size_t flagsOffset =
        continuation ? offsetof(URB_RECORD_CONTINUATION, TransferFlags) : URB_RECORD_TRANSFER_FLAGS_OFFSET;
    UCHAR interfaceNumber = 0;
    if (!ReadPayload(interfaceOffset, interfaceNumber))
        return false;
    UCHAR endpoint = 0;
    if (interfaceNumber != URB_RECORD_PIPE_UNKNOWN && !ReadPayload(endpointOffset, endpoint))
        return false;
    // The driver records a control transfer's non-zero endpoint without its direction bit: the transfer
    // flags tell the direction there, as they do for a pipe it does not know.
    const ULONG function = GetFunctionCode();
    const bool controlOnOwnEndpoint =
        (function == kControlTransfer || function == kControlTransferEx) && (endpoint & 0x0F) != 0;
    if (interfaceNumber == URB_RECORD_PIPE_UNKNOWN || controlOnOwnEndpoint) {
        ULONG flags = 0;
        if (!ReadPayload(flagsOffset, flags))
            return false;
        directionIn = (flags & URB_RECORD_TRANSFER_DIRECTION_IN) != 0;
        return true;
    }
    directionIn = (endpoint & URB_RECORD_ENDPOINT_DIR_IN) != 0;
    return true;
}

BOOL CLogRecordDecode::IsDirectionIn() const {
    bool in = false;
    return TryGetDirectionIn(in) && in;
}

// Every schema this program reads keeps the pipe block and the transfer flags at the same offsets.
BOOL CLogRecordDecode::IsDirectionInForSchema(UINT /*schema*/) const {
    return IsDirectionIn();
}

namespace {

// The table's text, or `text` emptied when the table does not list the value.
void AssignName(CString& text, LPCSTR name) {
    if (name)
        text = name;
    else
        text.Empty();
}

} // namespace

void CLogRecordDecode::GetPnpMinorName(CString& text) const {
    const ULONG minor = GetFunctionWord();
    if (const LPCSTR name = RecordNames::PnpMinor(minor))
        text = name;
    else
        FormatInto(text, "PNP_%02X", minor);
}

void CLogRecordDecode::GetPowerMinorName(CString& text) const {
    const ULONG minor = GetFunctionWord();
    if (const LPCSTR name = RecordNames::PowerMinor(minor))
        text = name;
    else
        FormatInto(text, "POWER_%02X", minor);
}

void CLogRecordDecode::InternalIoctlName(CString& text) const {
    AssignName(text, RecordNames::InternalIoctl(GetFunctionWord()));
}
void CLogRecordDecode::HcdIoctlName(CString& text) const {
    AssignName(text, RecordNames::HcdIoctl(GetFunctionWord()));
}
void CLogRecordDecode::HubIoctlName(CString& text) const {
    AssignName(text, RecordNames::HubIoctl(GetFunctionWord()));
}
void CLogRecordDecode::HidIoctlName(CString& text) const {
    AssignName(text, RecordNames::HidIoctl(GetFunctionWord()));
}
void CLogRecordDecode::HubInterfaceFunctionName(CString& text) const {
    AssignName(text, RecordNames::HubInterfaceFunction(GetFunctionWord()));
}
void CLogRecordDecode::MiniportFunctionName(CString& text) const {
    AssignName(text, RecordNames::MiniportFunction(GetFunctionWord()));
}

namespace {

constexpr ULONG kBulkOrInterruptTransfer = 9;
constexpr ULONG kCbwSize = 31;
constexpr ULONG kCswSize = 13;
constexpr size_t kBulkDataOffset = sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER);

// A wrapper is the whole transfer: the request's length is the wrapper's, and the record captured all of it.
const BYTE* FindBulkWrapper(const CLogRecordDecode& view, ULONG tag, ULONG size, bool directionIn,
                            const char (&signature)[5]) {
    if (view.GetLogType() != tag || view.GetFunctionCode() != kBulkOrInterruptTransfer)
        return nullptr;
    ULONG length = 0;
    ULONG captured = 0;
    if (!view.ReadPayload(offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength), length) ||
        !view.ReadPayload(offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength), captured))
        return nullptr;
    if (length != size || captured < size || view.GetPayload().size() < kBulkDataOffset + size)
        return nullptr;
    bool in = false;
    if (!view.TryGetDirectionIn(in) || in != directionIn)
        return nullptr;
    const BYTE* wrapper = view.GetPayload().data() + kBulkDataOffset;
    return std::memcmp(wrapper, signature, 4) == 0 ? wrapper : nullptr;
}

} // namespace

const BYTE* CLogRecordDecode::FindCbw() const {
    return FindBulkWrapper(*this, LogTag::urbI, kCbwSize, false, "USBC");
}

// Only "urbC": the other records that carry data back ("cCnt" among them) hold no bulk transfer's part 1.
const BYTE* CLogRecordDecode::FindCsw() const {
    return FindBulkWrapper(*this, LogTag::urbC, kCswSize, true, "USBS");
}

CDeviceStack* CLogRecordDecode::FindDeviceStack() const {
    CStackTree* pTree = m_pRecord && m_pDocument ? m_pDocument->GetStackTree() : nullptr;
    return pTree ? pTree->FindStackById(GetStackID()) : nullptr;
}

CDeviceObject* CLogRecordDecode::FindTargetDeviceObject() const {
    CAttachedDevices* pDevices = m_pRecord && m_pDocument ? m_pDocument->GetAttachedDevices() : nullptr;
    CDeviceObject* pDevice = nullptr;
    return pDevices && pDevices->GetClassDeviceObjectAtTime(GetDeviceObject(), GetTimeStamp(), pDevice) ? pDevice
                                                                                                        : nullptr;
}

ULONG CLogRecordDecode::GetClassKind() const {
    const CDeviceStack* pStack = FindDeviceStack();
    if (!pStack)
        return URB_CLASS_NONE;
    switch (pStack->UsbClass) {
    case USB_DEVICE_CLASS_HUB: return URB_CLASS_HUB;
    case USB_DEVICE_CLASS_HUMAN_INTERFACE: return URB_CLASS_HID;
    case USB_DEVICE_CLASS_PRINTER: return URB_CLASS_PRINTER;
    case USB_DEVICE_CLASS_STORAGE:
        if (pStack->UsbProtocol == USB_PROTOCOL_BULK_ONLY)
            return URB_CLASS_MSC_BOT;
        break;
    }
    return URB_CLASS_GENERIC;
}

BYTE CLogRecordDecode::GetStackSubClass() const {
    const CDeviceStack* pStack = FindDeviceStack();
    return pStack ? pStack->UsbSubClass : 0xFF;
}

BOOL CLogRecordDecode::IsMassStorageBot() const {
    return GetClassKind() == URB_CLASS_MSC_BOT;
}

namespace {

constexpr ULONG kClassDevice = 26;
constexpr ULONG kClassInterface = 27;
constexpr ULONG kClassOther = 31;
constexpr UCHAR kPrinterSoftReset = 2;
constexpr UCHAR kNoRequest = 255;

// The class request names of a stack's kind, for requests to its interface.
LPCSTR InterfaceRequestText(ULONG classKind, UCHAR request) {
    switch (classKind) {
    case URB_CLASS_HID: return CStringContent::HidRequestText(request);
    case URB_CLASS_MSC_BOT: return CStringContent::MscBotRequestText(request);
    case URB_CLASS_PRINTER: return CStringContent::PrinterRequestText(request);
    }
    return nullptr;
}

// The class request a setup packet of the class type names on the stack's kind; null for a class with no
// request table, or a recipient that class has no requests for.
LPCSTR ClassSetupText(ULONG classKind, UCHAR type, UCHAR request) {
    switch (type) {
    case 0x20: return classKind == URB_CLASS_HUB ? CStringContent::HubRequestText(request) : nullptr;
    case 0x21: return InterfaceRequestText(classKind, request);
    case 0x23:
        if (classKind == URB_CLASS_HUB)
            return CStringContent::PortRequestText(request);
        if (classKind == URB_CLASS_PRINTER)
            return CStringContent::PrinterRequestText(request);
        return nullptr;
    }
    return nullptr;
}

// A control transfer's setup type names the recipient; the direction bit does not matter.
void NameSetupPacket(UrbFunctionInfo& info, UCHAR requestType) {
    const UCHAR type = requestType & 0x7F;
    const UCHAR request = info.request;
    switch (type) {
    case 0x00:
    case 0x01:
    case 0x02:
    case 0x03: {
        static constexpr LPCSTR kStandard[] = {"STD_DEVICE(32)", "STD_INTERFACE(32)", "STD_ENDPOINT(32)",
                                               "STD_OTHER(32)"};
        info.name = kStandard[type];
        info.detail = CStringContent::StandardRequestText(request);
        return;
    }
    case 0x20:
    case 0x21:
    case 0x23:
        if (const LPCSTR detail = ClassSetupText(info.classKind, type, request)) {
            static constexpr LPCSTR kClass[] = {"CLASS_DEVICE(32)", "CLASS_INTERFACE(32)", nullptr, "CLASS_OTHER(32)"};
            info.name = kClass[type & 3];
            info.detail = detail;
        }
        return;
    }
}

} // namespace

void CLogRecordDecode::GetFunctionInfo(UrbFunctionInfo& info) const {
    const ULONG function = GetFunctionCode();
    info.name = UrbFunctionName(static_cast<USHORT>(function));
    info.detail = nullptr;
    info.request = kNoRequest;
    info.classKind = GetClassKind();
    const ULONG tag = GetLogType();
    if (info.classKind == URB_CLASS_NONE || !IsUrbRecord() || tag == LogTag::iCnt || tag == LogTag::cCnt)
        return;

    // "urbR" records are the header alone: the function word carries the setup type and request.
    const bool returned = tag == LogTag::urbR;
    // Class requests keep the request at part 1 byte 17; a control transfer's is the setup packet's bRequest.
    const size_t setupOffset = function == kControlTransfer ? URB_RECORD_SETUP_OFFSET : URB_RECORD_SETUP_EX_OFFSET;
    const bool control = function == kControlTransfer || function == kControlTransferEx;
    const size_t requestOffset = control ? setupOffset + 1 : offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Request);
    UCHAR request = 0;
    if (returned)
        request = static_cast<UCHAR>(GetFunctionRequest());
    else if (!ReadPayload(requestOffset, request))
        return;
    info.request = request;

    switch (function) {
    case kClassDevice:
        if (info.classKind == URB_CLASS_HUB)
            info.detail = CStringContent::HubRequestText(request);
        break;
    case kClassInterface: info.detail = InterfaceRequestText(info.classKind, request); break;
    case kClassOther:
        if (info.classKind == URB_CLASS_HUB)
            info.detail = CStringContent::PortRequestText(request);
        else if (info.classKind == URB_CLASS_PRINTER && request == kPrinterSoftReset)
            info.detail = CStringContent::PrinterRequestText(request);
        break;
    case kControlTransfer:
    case kControlTransferEx: {
        UCHAR requestType = 0;
        if (returned)
            requestType = static_cast<UCHAR>(GetFunctionRequestType());
        else if (!ReadPayload(setupOffset, requestType))
            break;
        // The port driver completes every class request as a control transfer: its setup packet names the
        // class request as the class functions do, while the function keeps its own name.
        if (function == kControlTransfer)
            info.detail = ClassSetupText(info.classKind, requestType & 0x7F, request);
        else
            NameSetupPacket(info, requestType);
        break;
    }
    }
}

void CLogRecordDecode::GetFunctionText(CString& nameText, CString& plainName, CString& classRequestText,
                                       UCHAR& classRequestCode, ULONG& classKind) const {
    UrbFunctionInfo info;
    GetFunctionInfo(info);
    plainName = info.name;
    nameText = info.name;
    if (IsSynchronous())
        nameText += "(sync)";
    classRequestText = info.detail ? info.detail : "";
    classRequestCode = info.request;
    classKind = info.classKind;
}
