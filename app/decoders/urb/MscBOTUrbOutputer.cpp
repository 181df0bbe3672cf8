#include "app/decoders/urb/MscBOTUrbOutputer.h"

#include <algorithm>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/scsi/CdbOutputer.h"
#include "common/ByteReader.h"

static_assert(MscBOTUrbOutputer::kCbwcbOffset + MscBOTUrbOutputer::kCbwcbSize == MscBOTUrbOutputer::kCbwSize);
static_assert(MscBOTUrbOutputer::kCbwcbSize == CdbOutputer::kCdbSize);

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

void MscBOTUrbOutputer::OutputRow(int mode, const char* label, const CString& value) {
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->AddItem(label, value, nullptr);
    else
        m_pImp->WriteValue(label, value);
}

void MscBOTUrbOutputer::OutputDword(int mode, const char* label, const BYTE* p) {
    CString text;
    text.Format(mode == OUTPUT_MODE_GRID ? "0x%08x" : "%08x", tdl::LoadLe<uint32_t>(p));
    OutputRow(mode, label, text);
}

void MscBOTUrbOutputer::OutputByte(int mode, const char* label, BYTE value) {
    CString text;
    text.Format(mode == OUTPUT_MODE_GRID ? "0x%02x" : "%02x", static_cast<unsigned>(value));
    OutputRow(mode, label, text);
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
    OutputRow(mode, "CBWCB", hex);
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
