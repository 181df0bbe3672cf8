// The HID class requests as a table (name, fields, what the data stage holds), the two slots that read them
// from either record layout, and the data stage with its report, idle rate or protocol.
#include "app/decoders/urb/HidUrbOutputer.h"

#include "app/core/records/LogRecordDecode.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/ui/PanePointers.h"

namespace {

using Request = UrbOutputer::ClassRequestEntry;

// What a request's data stage holds.
enum Data { None, GetReport, SetReport, GetIdle, GetProtocol };

CString ReportTypeName(unsigned type) {
    static constexpr LPCSTR kNames[] = {"", "Input Report", "Output Report", "Feature Report"};
    return type < 4 ? kNames[type] : "";
}

// The idle rate counts 4 ms units; 0 reports only on a change.
CString Duration(unsigned rate) {
    if (rate == 0)
        return "infinite";
    CString text;
    text.Format("%u ms", 4 * rate);
    return text;
}

CString ProtocolName(unsigned protocol) {
    return protocol == 0 ? "Boot" : "Report";
}

constexpr FieldDecl kInterface = FieldBits("Interface.wIndex", 16, 16, FieldFormat::Hex4);
constexpr FieldDecl kReportId = FieldBits("ReportID.wValueLo", 0, 8, FieldFormat::Hex2);
constexpr FieldDecl kReport[] = {
    FieldBits("ReportType.wValueHi", 8, 8, FieldFormat::Hex2)
        .Named("Name", FieldNameOf<ReportTypeName>, FieldDecl::kAttributeAfter),
    kReportId,
    kInterface,
};
constexpr FieldDecl kGetIdle[] = {
    FieldBits("Reserved.wValueHi", 8, 8, FieldFormat::Hex2),
    kReportId,
    kInterface,
};
constexpr FieldDecl kGetProtocol[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    kInterface,
};
constexpr FieldDecl kSetIdle[] = {
    FieldBits("IdleRate.wValueHi", 8, 8, FieldFormat::Hex2)
        .Named("Duration", FieldNameOf<Duration>, FieldDecl::kAttributeAfter),
    FieldBits("ReportID.wValueLo", 0, 8, FieldFormat::Hex2)
        .Named(
            "Name", [](const FieldEnv&, ULONG64 id) -> CString { return id ? "" : "all reports"; },
            FieldDecl::kNameInGridOnly),
    kInterface,
};
constexpr FieldDecl kSetProtocol[] = {
    FieldBits("Protocol.wValue", 0, 16, FieldFormat::Hex4)
        .Named("Description", FieldNameOf<ProtocolName>, FieldDecl::kAttributeAfter),
    kInterface,
};
constexpr FieldDecl kUnknown[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("wIndex", 16, 16, FieldFormat::Hex4),
};

constexpr Request kRequests[] = {
    {1, "HidGetReport", "GET_REPORT", kReport, GetReport, 0, "Get_Report"},
    {2, "HidGetIdle", "GET_IDLE", kGetIdle, GetIdle, 0, "Get_Idle"},
    {3, "HidGetProtocol", "GET_PROTOCOL", kGetProtocol, GetProtocol, 0, "Get_Protocol"},
    {9, "HidSetReport", "SET_REPORT", kReport, SetReport, 0, "Set_Report"},
    {10, "HidSetIdle", "SET_IDLE", kSetIdle, None, 0, "Set_Idle"},
    {11, "HidSetProtocol", "SET_PROTOCOL", kSetProtocol, None, 0, "Set_Protocol"},
};
constexpr Request kUnknownRequest = {0, "HidUnknown", "Unknown", kUnknown, None};

constexpr BYTE kRecipientInterface = 1;

} // namespace

std::span<const UrbOutputer::ClassRequestEntry> HidUrbOutputer::Requests() {
    return kRequests;
}

HidUrbOutputer::HidUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

HidUrbOutputer::~HidUrbOutputer() = default;

void HidUrbOutputer::OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    ClassRequest request;
    if (!ReadClassRequest(request, "HID Class", kRecipientInterface)) {
        UrbOutputer::OutputClassInterface(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, "URB-HIDClassInterface");
    InsertRequestType(mode);
    OutputHidRequest(mode, request);
    OutputDataStageAndClose(mode, request);
}

void HidUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void HidUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void HidUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    ClassRequest request;
    if (!IsClassRequest() || !ReadClassRequest(request, "HID Class", kRecipientInterface)) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, "URB-HIDClassInterface");
    InsertControlTransferHeader(mode);
    OutputHidRequest(mode, request);
    OutputDataStageAndClose(mode, request);
}

void HidUrbOutputer::OutputHidRequest(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    const Request& entry = FindClassRequest(kRequests, request.bRequest, kUnknownRequest);
    OpenClassRequest(mode, entry.element, request, entry.name);
    fields.Fields(entry.rows, SetupWord(request.wValue, request.wIndex));
    InsertClassRequestLength(mode, request.length);
    switch (entry.data) {
    case GetReport: m_bGetReportSeen = 1; break;
    case SetReport: m_bSetReportSeen = 1; break;
    case GetIdle: m_bGetIdleSeen = 1; break;
    case GetProtocol: m_bGetProtocolSeen = 1; break;
    default: break;
    }
}

void HidUrbOutputer::OutputDataStageAndClose(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    if (request.HasData())
        OutputTransferBuffer(mode, PayloadAt(request.dataOffset), request.dataCount, request.in, request.status);
    if (m_bDataGroupOpen)
        fields.Close(FieldSection::GridGroup);
    fields.Close(FieldSection::Block);
    fields.Close(FieldSection::Element);
}

void HidUrbOutputer::OpenDataGroup(int mode) {
    Fields(mode).Open(FieldSection::GridGroup, "Data");
    m_bDataGroupOpen = true;
}

void HidUrbOutputer::OutputTransferBuffer(int mode, const BYTE* data, ULONG count, bool in, ULONG status) {
    FieldWriter& fields = Fields(mode);
    if (m_Decode.HasInputData() && !in) {
        if (m_bSetReportSeen)
            OutputReport(mode, false, data, count);
        return;
    }
    if (!m_Decode.HasOutputData() || !in || static_cast<LONG>(status) < 0)
        return;
    if ((m_bGetIdleSeen || m_bGetProtocolSeen) && count == 1) {
        const BYTE value = data[0];
        const CString text = fields.Text(FieldFormat::Hex2, value);
        const CString meaning = m_bGetIdleSeen ? Duration(value) : ProtocolName(value);
        OpenDataGroup(mode);
        const FieldLabels label = m_bGetIdleSeen ? FieldLabels("IdleRate", "Idle Rate") : FieldLabels("Protocol");
        fields.NamedField(label, text, "Description", meaning, FieldDecl::kAttributeAfter, kGrid | kXml);
    } else if (m_bGetReportSeen) {
        OutputReport(mode, true, data, count);
    }
}

void HidUrbOutputer::OutputReport(int mode, bool get, const BYTE* data, ULONG count) {
    FieldWriter& fields = Fields(mode);
    fields.Field("Report", FieldHexText(data, count), nullptr, kXml);
    OpenDataGroup(mode);
    CString title;
    title.Format(get ? "  Get HID Report #%u" : "  Set HID Report #%u", m_Decode.GetSequenceNumber());
    fields.DataBuffer(get ? "GET_REPORT" : "SET_REPORT", title, data, count);
}
