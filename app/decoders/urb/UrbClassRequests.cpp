// What the class decoders (hub, HID, printer) share: reading a class request from either record layout, the
// setup-stage section they open, and the walk over a table of fields that shows a request's wValue and
// wIndex or a status word.
#include "app/decoders/framework/CodeTable.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/RecordPayloads.h"
#include "usb.h"

namespace {

using ClassPart = URB_RECORD_VENDOR_CLASS_REQUEST;
using ControlPart = URB_RECORD_CONTROL_TRANSFER;
using ExPart = URB_RECORD_CONTROL_TRANSFER_EX;

constexpr BYTE kTypeClass = 1;
constexpr BYTE kTypeReserved = 3;

// Both control functions keep their flags where every transfer does.
static_assert(offsetof(ControlPart, TransferFlags) == offsetof(ExPart, TransferFlags));

} // namespace

const UrbOutputer::ClassRequestEntry& UrbOutputer::FindClassRequest(std::span<const ClassRequestEntry> table, BYTE code,
                                                                    const ClassRequestEntry& unknown) {
    for (const ClassRequestEntry& entry : table)
        if (entry.code == code)
            return entry;
    return unknown;
}

LPCSTR UrbOutputer::ListedClassRequest(std::span<const ClassRequestEntry> table, BYTE code) {
    for (const ClassRequestEntry& entry : table)
        if (entry.code == code)
            return CodeText(entry.listed, entry.element);
    return "Unknown";
}

void UrbOutputer::OutputFieldSection(int mode, LPCSTR caption, LPCSTR element, std::span<const FieldDecl> rows,
                                     ULONG value) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Block, {element, caption}, "");
    fields.Fields(rows, value);
    fields.Close(FieldSection::Block);
}

bool UrbOutputer::HasDataBytes(int mode, ULONG count, ULONG needed) {
    if (count >= needed)
        return true;
    CString text;
    text.Format("%u of %u bytes", static_cast<unsigned>(count), static_cast<unsigned>(needed));
    OutputDefect(mode, "Truncated", text);
    return false;
}

UrbOutputer::ControlLayout UrbOutputer::GetControlLayout() const {
    if (m_nFunction == URB_FUNCTION_CONTROL_TRANSFER)
        return {offsetof(ControlPart, TransferBufferLength), offsetof(ControlPart, CapturedLength),
                offsetof(ControlPart, SetupPacket), sizeof(ControlPart), false};
    return {offsetof(ExPart, TransferBufferLength), offsetof(ExPart, CapturedLength), offsetof(ExPart, SetupPacket),
            sizeof(ExPart), true};
}

void UrbOutputer::OutputPlainControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    if (m_nFunction == URB_FUNCTION_CONTROL_TRANSFER)
        UrbOutputer::OutputControlTransfer(mode, dataSize, pPart);
    else
        UrbOutputer::OutputControlTransferEx(mode, dataSize, pPart);
}

bool UrbOutputer::IsClassRequest() const {
    BYTE bmRequestType = 0;
    return m_Decode.ReadPayload(GetControlLayout().setup, bmRequestType) && ((bmRequestType >> 5) & 3) == kTypeClass;
}

bool UrbOutputer::IsReservedRequestType() const {
    BYTE bmRequestType = 0;
    return m_Decode.ReadPayload(GetControlLayout().setup, bmRequestType) && ((bmRequestType >> 5) & 3) == kTypeReserved;
}

bool UrbOutputer::ReadClassRequest(ClassRequest& request, LPCSTR typeWord, BYTE recipient) {
    const size_t size = m_Decode.GetPayload().size();
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), request.status);
    if (m_nFunction == URB_FUNCTION_CONTROL_TRANSFER || m_nFunction == URB_FUNCTION_CONTROL_TRANSFER_EX) {
        const ControlLayout at = GetControlLayout();
        if (size < at.fixed)
            return false;
        CString triple;
        ReadRecipient(typeWord, triple, request.description, request.bmRequestType);
        request.recipient = request.bmRequestType & 0x1F;
        m_Decode.ReadPayload(at.setup + 1, request.bRequest);
        m_Decode.ReadPayload(at.setup + 2, request.wValue);
        m_Decode.ReadPayload(at.setup + 4, request.wIndex);
        m_Decode.ReadPayload(at.length, request.length);
        request.in = (request.bmRequestType & 0x80) != 0;
        request.dataOffset = at.fixed;
    } else {
        if (size < sizeof(ClassPart))
            return false;
        RequestTypeText(kTypeClass, recipient, typeWord, request.bmRequestType, request.description);
        request.recipient = recipient;
        ULONG flags = 0;
        m_Decode.ReadPayload(offsetof(ClassPart, Request), request.bRequest);
        m_Decode.ReadPayload(offsetof(ClassPart, Value), request.wValue);
        m_Decode.ReadPayload(offsetof(ClassPart, Index), request.wIndex);
        m_Decode.ReadPayload(offsetof(ClassPart, TransferFlags), flags);
        m_Decode.ReadPayload(offsetof(ClassPart, TransferBufferLength), request.length);
        request.in = (flags & 1) != 0;
        request.dataOffset = sizeof(ClassPart);
    }
    request.dataCount = static_cast<ULONG>(size - request.dataOffset);
    return true;
}

void UrbOutputer::InsertControlTransferHeader(int mode) {
    const ControlLayout at = GetControlLayout();
    ULONG flags = 0;
    ULONG timeout = 0;
    ULONG length = 0;
    m_Decode.ReadPayload(offsetof(ExPart, TransferFlags), flags);
    m_Decode.ReadPayload(offsetof(ExPart, Timeout), timeout);
    m_Decode.ReadPayload(at.length, length);
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    InsertTransferFlags(mode, flags);
    if (at.timeout)
        InsertTimeout(mode, timeout);
    InsertTransferBufferLength(mode, length);
    OutputStartingOffset(mode);
}

void UrbOutputer::OpenClassRequest(int mode, LPCSTR element, const ClassRequest& request, LPCSTR name) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Block, {element, "Setup Packet"}, request.description, kAllMedia, "Description");
    InsertBmRequestType(mode, request.bmRequestType);
    fields.NamedField("Request", fields.Number(FieldFormat::Hex2, request.bRequest), "Name", name,
                      FieldDecl::kAttributeAfter);
}

void UrbOutputer::InsertClassRequestLength(int mode, ULONG length) {
    FieldWriter& fields = Fields(mode);
    fields.Field({"Length", "Length"}, fields.Number(FieldFormat::Hex8, length));
}
