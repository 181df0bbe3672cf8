#include "app/decoders/urb/MscBOTUrbOutputer.h"

#include <algorithm>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/scsi/CdbOutputer.h"
#include "common/ByteReader.h"
#include "common/RecordPayloads.h"

static_assert(MscBOTUrbOutputer::kCbwcbOffset + MscBOTUrbOutputer::kCbwcbSize == MscBOTUrbOutputer::kCbwSize);
static_assert(MscBOTUrbOutputer::kCbwcbSize == CdbOutputer::kCdbSize);

namespace {

// The transport's two class requests.
constexpr BYTE kGetMaxLun = 0xFE;
constexpr BYTE kBulkOnlyReset = 0xFF;
constexpr UrbOutputer::ClassRequestEntry kRequests[] = {
    {kGetMaxLun, "GetMaxLUN", "GET_MAX_LUN", {}, 0, 0, "Get_Max_LUN"},
    {kBulkOnlyReset, "MSC-BOT-Reset", "MSC_BOT_RESET", {}, 0, 0, "MSC_BOT_Reset"},
};
constexpr UrbOutputer::ClassRequestEntry kUnknownRequest = {0, "MscBotUnknown", "Unknown", {}};
constexpr BYTE kClassType = 1;
constexpr BYTE kInterfaceRecipient = 1;
constexpr LPCSTR kTypeWord = "MSC-BOT";
constexpr LPCSTR kElement = "URB-MscBotClassInterface";

} // namespace

std::span<const UrbOutputer::ClassRequestEntry> MscBOTUrbOutputer::Requests() {
    return kRequests;
}

MscBOTUrbOutputer::MscBOTUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

MscBOTUrbOutputer::~MscBOTUrbOutputer() = default;

void MscBOTUrbOutputer::OutputBulkPayload(int mode, ULONG /*payloadLength*/, const BYTE* pPayload) {
    if (IsCommandBlockWrapper(pPayload))
        OutputCommandBlockWrapper(mode);
    else if (IsCommandStatusWrapper(pPayload))
        OutputCommandStatusWrapper(mode);
}

// The record view's test holds every condition (tag, function, lengths, what was captured, direction and
// signature), so the record list's columns and this decoder never disagree.
bool MscBOTUrbOutputer::IsCommandBlockWrapper(const BYTE* /*pPayload*/) {
    m_pCurrentCbw = m_Decode.FindCbw();
    return m_pCurrentCbw != nullptr;
}

bool MscBOTUrbOutputer::IsCommandStatusWrapper(const BYTE* /*pPayload*/) {
    m_pCurrentCsw = m_Decode.FindCsw();
    return m_pCurrentCsw != nullptr;
}

void MscBOTUrbOutputer::BeginWrapper(int mode, const char* category, const char* title) {
    // The grid's category of its own, the mark-up's element.
    FieldWriter& fields = Fields(mode);
    fields.RequestTitle(category, title, "");
    fields.Open(FieldSection::Element, category);
}

void MscBOTUrbOutputer::EndWrapper(int mode) {
    Fields(mode).Close(FieldSection::Category);
}

void MscBOTUrbOutputer::OutputDword(int mode, const char* label, const BYTE* p) {
    FieldWriter& fields = Fields(mode);
    fields.Field({label, label}, fields.Number(FieldFormat::Hex8, tdl::LoadLe<uint32_t>(p)));
}

void MscBOTUrbOutputer::OutputByte(int mode, const char* label, BYTE value) {
    FieldWriter& fields = Fields(mode);
    fields.Field({label, label}, fields.Number(FieldFormat::Hex2, value));
}

void MscBOTUrbOutputer::OutputCommandBlockWrapper(int mode) {
    FieldWriter& fields = Fields(mode);
    // The HTML report has no place for the wrappers.
    if (m_pCurrentCbw == nullptr || fields.In(kHtml))
        return;
    const BYTE* cbw = m_pCurrentCbw;
    BeginWrapper(mode, "CBW", "Command Block Wrapper");
    OutputDword(mode, "dCBWSignature", cbw);
    OutputDword(mode, "dCBWTag", cbw + 4);
    OutputDword(mode, "dCBWDataTransferLength", cbw + 8);
    OutputByte(mode, "bmCBWFlags", cbw[12]);
    fields.Attribute("Direction", cbw[12] < 0x80 ? "Data-Out" : "Data-In");
    OutputByte(mode, "bCBWLUN", cbw[13] & 0x0F);
    const BYTE cbLength = cbw[14] & 0x1F;
    OutputByte(mode, "bCBWCBLength", cbLength);
    const BYTE* cdb = cbw + kCbwcbOffset;
    OutputByte(mode, "CDB.OperationCode", cdb[0]);
    CString name;
    CdbOutputer::GetCommandName(cdb, name);
    fields.Attribute("Name", name);
    // The field holds 16 bytes; a longer stated length would lead the text into the bytes after the wrapper.
    CString hex;
    CStringContent().HexString(hex, cdb, std::min<ULONG>(cbLength, kCbwcbSize));
    fields.Field({"CBWCB", "CBWCB"}, hex);
    if (cbLength > kCbwcbSize) {
        CString text;
        text.Format("bCBWCBLength %u > %u", static_cast<unsigned>(cbLength), static_cast<unsigned>(kCbwcbSize));
        fields.Defect("Malformed", text);
    }

    CdbOutputer command(m_pImp, m_pContext, reinterpret_cast<const _LOGHDR*>(m_Decode.GetRecord()), cdb, cbLength);
    command.Output(mode, m_Decode.GetStackSubClass());
    EndWrapper(mode);
}

void MscBOTUrbOutputer::OutputCommandStatusWrapper(int mode) {
    if (m_pCurrentCsw == nullptr || Fields(mode).In(kHtml))
        return;
    const BYTE* csw = m_pCurrentCsw;
    BeginWrapper(mode, "CSW", "Command Status Wrapper");
    OutputDword(mode, "dCSWSignature", csw);
    OutputDword(mode, "dCSWTag", csw + 4);
    OutputDword(mode, "dCSWDataResidue", csw + 8);
    OutputByte(mode, "bCSWStatus", csw[12]);
    EndWrapper(mode);
}

void MscBOTUrbOutputer::OutputClassInterface(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_VENDOR_CLASS_REQUEST;
    BYTE bmRequestType = 0;
    CString description;
    BeginVendorClass(mode, kElement, kTypeWord, kClassType, kInterfaceRecipient, bmRequestType, description);
    OutputClassRequest(
        mode, description, bmRequestType,
        {offsetof(Part, Request), offsetof(Part, Value), offsetof(Part, Index), offsetof(Part, TransferBufferLength)});
    ULONG flags = 0;
    m_Decode.ReadPayload(offsetof(Part, TransferFlags), flags);
    OutputClassRequestDataAt(mode, sizeof(Part), offsetof(Part, TransferBufferLength),
                             (flags & URB_RECORD_TRANSFER_DIRECTION_IN) != 0);
    fields.Close(FieldSection::Block);
    fields.Close(FieldSection::Element);
}

void MscBOTUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void MscBOTUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void MscBOTUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_CONTROL_TRANSFER_EX;
    const ControlLayout at = GetControlLayout();
    // Standard and vendor requests (and a setup packet the record does not hold) are the plain decoder's.
    BYTE bmRequestType = 0;
    if (!m_Decode.ReadPayload(at.setup, bmRequestType) || ((bmRequestType >> 5) & 3) != kClassType) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, kElement);
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    ULONG flags = 0;
    ULONG timeout = 0;
    ULONG length = 0;
    const bool haveFlags = fields.Read(offsetof(Part, TransferFlags), flags);
    InsertTransferFlags(mode, flags, haveFlags);
    if (at.timeout) {
        const bool haveTimeout = fields.Read(offsetof(Part, Timeout), timeout);
        InsertTimeout(mode, timeout, haveTimeout);
    }
    const bool haveLength = fields.Read(at.length, length);
    InsertTransferBufferLength(mode, length, haveLength);
    OutputStartingOffset(mode);
    CString hex;
    CString triple;
    CString description;
    InsertRecipient(mode, kTypeWord, hex, triple, description, bmRequestType);
    fields.Field("bmRequestType", hex, nullptr, kXml);
    fields.Attribute("Description", triple);
    fields.Field("bmRequestType", hex + " " + triple, nullptr, kNotMarkup);
    OutputClassRequest(mode, description, bmRequestType, {at.setup + 1, at.setup + 2, at.setup + 4, at.length});
    OutputClassRequestDataAt(mode, at.fixed, at.length, (bmRequestType & 0x80) != 0);
    fields.Close(FieldSection::Block);
    // A synchronous control transfer names no pipe of its own, as the plain decoder shows it.
    if (at.timeout || !m_bSynchronous)
        InsertPipeInformation(mode, offsetof(Part, Pipe));
    fields.Close(FieldSection::Element);
}

void MscBOTUrbOutputer::OutputClassRequest(int mode, const CString& description, BYTE bmRequestType,
                                           const SetupOffsets& at) {
    FieldWriter& fields = Fields(mode);
    BYTE request = 0;
    const bool haveRequest = fields.Read(at.request, request);
    const ClassRequestEntry& entry =
        haveRequest ? FindClassRequest(kRequests, request, kUnknownRequest) : kUnknownRequest;
    const LPCSTR name = entry.name;
    const LPCSTR indexLabel = &entry != &kUnknownRequest ? "Interface.wIndex" : "wIndex";
    fields.Open(FieldSection::Block, {entry.element, "Setup Packet"}, description, kAllMedia, "Description");
    InsertBmRequestType(mode, bmRequestType);
    if (!haveRequest) {
        fields.Field({"Request", "Request"}, kUnknownText);
    } else {
        fields.NamedField("Request", fields.Number(FieldFormat::Hex2, request), "Name", name,
                          FieldDecl::kAttributeAfter);
    }
    fields.ValueField({"wValue", "wValue"}, FieldFormat::Hex4, at.value);
    fields.ValueField({indexLabel, indexLabel}, FieldFormat::Hex4, at.index);
    fields.ValueField({"Length", "Length"}, FieldFormat::Hex8, at.length);
    // Only a Get Max LUN's answer is the LUN count.
    m_bGetMaxLUN = haveRequest && request == kGetMaxLun;
}

void MscBOTUrbOutputer::OutputClassRequestDataAt(int mode, size_t dataOffset, size_t lengthOffset, bool directionIn) {
    ULONG length = 0;
    const ULONG held = DataBytesAt(dataOffset, ~0u);
    if (held == 0 || !m_Decode.ReadPayload(lengthOffset, length) || length == 0)
        return;
    ULONG status = 0;
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    OutputClassRequestData(mode, held, PayloadAt(dataOffset), directionIn, status);
}

void MscBOTUrbOutputer::OutputClassRequestData(int mode, ULONG dataLength, const BYTE* pData, bool directionIn,
                                               ULONG status) {
    if (!m_Decode.HasOutputData() || !directionIn || (status & 0x80000000u) != 0)
        return;
    // The grid's data group holds the LUN count when that is what came back; the mark-up the bytes.
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::GridGroup, "Data");
    if (m_bGetMaxLUN && dataLength == 1) {
        CString value;
        value.Format("0x%02x (zero-based)", static_cast<unsigned>(pData[0]));
        fields.Field("Max LUN", value, nullptr, kGrid);
    }
    fields.Close(FieldSection::GridGroup);
    fields.Field("MaxLUN", FieldHexText(pData, dataLength), nullptr, kXml);
}
