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
constexpr BYTE kClassType = 1;
constexpr BYTE kInterfaceRecipient = 1;
constexpr LPCSTR kTypeWord = "MSC-BOT";
constexpr LPCSTR kElement = "URB-MscBotClassInterface";

} // namespace

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
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->ShowCategory(category);
        m_pImp->AddDescribedItem(title, "", nullptr, true);
    } else {
        m_pImp->BeginElement(category);
    }
}

void MscBOTUrbOutputer::EndWrapper(int mode) {
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->ExpandCurrent();
    else
        m_pImp->EndElement();
    m_pImp->EndGroup();
}

void MscBOTUrbOutputer::OutputDword(int mode, const char* label, const BYTE* p) {
    Field(mode, label, label, Hex(mode, 8, tdl::LoadLe<uint32_t>(p)));
}

void MscBOTUrbOutputer::OutputByte(int mode, const char* label, BYTE value) {
    Field(mode, label, label, Hex(mode, 2, value));
}

void MscBOTUrbOutputer::OutputCommandBlockWrapper(int mode) {
    // The HTML report has no place for the wrappers.
    if (m_pCurrentCbw == nullptr || mode == OUTPUT_MODE_HTML)
        return;
    const BYTE* cbw = m_pCurrentCbw;
    const bool xml = mode == OUTPUT_MODE_XML;
    BeginWrapper(mode, "CBW", "Command Block Wrapper");
    OutputDword(mode, "dCBWSignature", cbw);
    OutputDword(mode, "dCBWTag", cbw + 4);
    OutputDword(mode, "dCBWDataTransferLength", cbw + 8);
    OutputByte(mode, "bmCBWFlags", cbw[12]);
    if (xml)
        m_pImp->AddAttribute("Direction", cbw[12] < 0x80 ? "Data-Out" : "Data-In");
    OutputByte(mode, "bCBWLUN", cbw[13] & 0x0F);
    const BYTE cbLength = cbw[14] & 0x1F;
    OutputByte(mode, "bCBWCBLength", cbLength);
    const BYTE* cdb = cbw + kCbwcbOffset;
    OutputByte(mode, "CDB.OperationCode", cdb[0]);
    if (xml) {
        CString name;
        CdbOutputer::GetCommandName(cdb, name);
        m_pImp->AddAttribute("Name", name);
    }
    // The field holds 16 bytes; a longer stated length would lead the text into the bytes after the wrapper.
    CString hex;
    CStringContent().HexString(hex, cdb, std::min<ULONG>(cbLength, kCbwcbSize));
    Field(mode, "CBWCB", "CBWCB", hex);
    if (cbLength > kCbwcbSize) {
        CString text;
        text.Format("bCBWCBLength %u > %u", static_cast<unsigned>(cbLength), static_cast<unsigned>(kCbwcbSize));
        OutputDefect(mode, "Malformed", text);
    }

    CdbOutputer command(m_pImp, m_pContext, reinterpret_cast<const _LOGHDR*>(m_Decode.GetRecord()), cdb, cbLength);
    command.Output(mode, m_Decode.GetStackSubClass());
    EndWrapper(mode);
}

void MscBOTUrbOutputer::OutputCommandStatusWrapper(int mode) {
    if (m_pCurrentCsw == nullptr || mode == OUTPUT_MODE_HTML)
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
    CloseBlock(mode);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void MscBOTUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void MscBOTUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void MscBOTUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    using Part = URB_RECORD_CONTROL_TRANSFER_EX;
    const ControlLayout at = GetControlLayout();
    // Standard and vendor requests (and a setup packet the record does not hold) are the plain decoder's.
    BYTE bmRequestType = 0;
    if (!m_Decode.ReadPayload(at.setup, bmRequestType) || ((bmRequestType >> 5) & 3) != kClassType) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement(kElement);
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    ULONG flags = 0;
    ULONG timeout = 0;
    ULONG length = 0;
    const bool haveFlags = Get(mode, offsetof(Part, TransferFlags), flags);
    InsertTransferFlags(mode, flags, haveFlags);
    if (at.timeout) {
        const bool haveTimeout = Get(mode, offsetof(Part, Timeout), timeout);
        InsertTimeout(mode, timeout, haveTimeout);
    }
    const bool haveLength = Get(mode, at.length, length);
    InsertTransferBufferLength(mode, length, haveLength);
    CString hex;
    CString triple;
    CString description;
    InsertRecipient(mode, kTypeWord, hex, triple, description, bmRequestType);
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue("bmRequestType", hex);
        m_pImp->AddAttribute("Description", triple);
    } else {
        CString value;
        value.Format("%s %s", static_cast<LPCSTR>(hex), static_cast<LPCSTR>(triple));
        m_pImp->AddItem("bmRequestType", value, nullptr);
    }
    OutputClassRequest(mode, description, bmRequestType, {at.setup + 1, at.setup + 2, at.setup + 4, at.length});
    OutputClassRequestDataAt(mode, at.fixed, at.length, (bmRequestType & 0x80) != 0);
    CloseBlock(mode);
    // A synchronous control transfer names no pipe of its own, as the plain decoder shows it.
    if (at.timeout || !m_bSynchronous)
        InsertPipeInformation(mode, offsetof(Part, Pipe));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void MscBOTUrbOutputer::OutputClassRequest(int mode, const CString& description, BYTE bmRequestType,
                                           const SetupOffsets& at) {
    BYTE request = 0;
    const bool haveRequest = Get(mode, at.request, request);
    LPCSTR section = "MscBotUnknown";
    LPCSTR name = "Unknown";
    LPCSTR indexLabel = "wIndex";
    if (haveRequest && (request == kGetMaxLun || request == kBulkOnlyReset)) {
        section = request == kGetMaxLun ? "GetMaxLUN" : "MSC-BOT-Reset";
        name = request == kGetMaxLun ? "GET_MAX_LUN" : "MSC_BOT_RESET";
        indexLabel = "Interface.wIndex";
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginSection(section, "Description", description);
    else
        m_pImp->BeginValueGroup("Setup Packet", description);
    InsertBmRequestType(mode, bmRequestType);
    if (!haveRequest) {
        Field(mode, "Request", "Request", kUnknownText);
    } else {
        NamedField(mode, "Request", Hex(mode, 2, request), "Name", name);
    }
    HexField(mode, "wValue", "wValue", 4, at.value);
    HexField(mode, indexLabel, indexLabel, 4, at.index);
    HexField(mode, "Length", "Length", 8, at.length);
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
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->BeginValueGroup("Data", "");
        if (m_bGetMaxLUN && dataLength == 1) {
            CString value;
            value.Format("0x%02x (zero-based)", static_cast<unsigned>(pData[0]));
            m_pImp->AddItem("Max LUN", value, nullptr);
        }
        m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
    } else if (mode == OUTPUT_MODE_XML) {
        CString hex;
        CStringContent().HexString(hex, pData, dataLength);
        m_pImp->WriteValue("MaxLUN", hex);
    }
}
