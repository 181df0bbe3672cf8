// The HID class requests as a table (name, fields, what the data stage holds), the two slots that read them
// from either record layout, and the data stage with its report, idle rate or protocol.
#include "app/decoders/urb/HidUrbOutputer.h"


#include "app/core/LogRecordDecode.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/ui/PanePointers.h"

namespace {

using Row = UrbOutputer::FieldRow;
using Format = UrbOutputer::FieldFormat;

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

constexpr Row kInterface = {"Interface.wIndex", 16, 0xFFFF, Format::Hex4};
constexpr Row kReportId = {"ReportID.wValueLo", 0, 0xFF, Format::Hex2};
constexpr Row kReport[] = {{"ReportType.wValueHi", 8, 0xFF, Format::Hex2, ReportTypeName}, kReportId, kInterface};
constexpr Row kGetIdle[] = {{"Reserved.wValueHi", 8, 0xFF, Format::Hex2}, kReportId, kInterface};
constexpr Row kGetProtocol[] = {{"wValue", 0, 0xFFFF, Format::Hex4}, kInterface};
constexpr Row kSetIdle[] = {
    {"IdleRate.wValueHi", 8, 0xFF, Format::Hex2, Duration, "Duration"},
    {"ReportID.wValueLo", 0, 0xFF, Format::Hex2, [](unsigned id) -> CString { return id ? "" : "all reports"; },
     "Name", UrbOutputer::NameUse::GridOnly},
    kInterface,
};
constexpr Row kSetProtocol[] = {{"Protocol.wValue", 0, 0xFFFF, Format::Hex4, ProtocolName, "Description"}, kInterface};
constexpr Row kUnknown[] = {{"wValue", 0, 0xFFFF, Format::Hex4}, {"wIndex", 16, 0xFFFF, Format::Hex4}};

constexpr Request kRequests[] = {
    {1, "HidGetReport", "GET_REPORT", kReport, GetReport},
    {2, "HidGetIdle", "GET_IDLE", kGetIdle, GetIdle},
    {3, "HidGetProtocol", "GET_PROTOCOL", kGetProtocol, GetProtocol},
    {9, "HidSetReport", "SET_REPORT", kReport, SetReport},
    {10, "HidSetIdle", "SET_IDLE", kSetIdle, None},
    {11, "HidSetProtocol", "SET_PROTOCOL", kSetProtocol, None},
};
constexpr Request kUnknownRequest = {0, "HidUnknown", "Unknown", kUnknown, None};

constexpr BYTE kRecipientInterface = 1;

} // namespace

HidUrbOutputer::HidUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

HidUrbOutputer::~HidUrbOutputer() = default;

void HidUrbOutputer::OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart) {
    ClassRequest request;
    if (!ReadClassRequest(request, "HID Class", kRecipientInterface)) {
        UrbOutputer::OutputClassInterface(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-HIDClassInterface");
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
    ClassRequest request;
    if (!IsClassRequest() || !ReadClassRequest(request, "HID Class", kRecipientInterface)) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-HIDClassInterface");
    InsertControlTransferHeader(mode);
    OutputHidRequest(mode, request);
    OutputDataStageAndClose(mode, request);
}

void HidUrbOutputer::OutputHidRequest(int mode, const ClassRequest& request) {
    const Request& entry = FindClassRequest(kRequests, request.bRequest, kUnknownRequest);
    OpenClassRequest(mode, entry.element, request, entry.name);
    OutputFieldRows(mode, entry.rows, SetupWord(request.wValue, request.wIndex));
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
    if (request.HasData())
        OutputTransferBuffer(mode, PayloadAt(request.dataOffset), request.dataCount, request.in, request.status);
    if (m_bDataGroupOpen)
        CloseBlock(mode);
    CloseBlock(mode);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void HidUrbOutputer::OpenDataGroup(int mode) {
    if (mode != OUTPUT_MODE_GRID)
        return;
    m_pImp->BeginValueGroup("Data", "");
    m_bDataGroupOpen = true;
}

void HidUrbOutputer::OutputTransferBuffer(int mode, const BYTE* data, ULONG count, bool in, ULONG status) {
    if (mode == OUTPUT_MODE_HTML)
        return;
    if (m_Decode.HasInputData() && !in) {
        if (m_bSetReportSeen)
            OutputReport(mode, false, data, count);
        return;
    }
    if (!m_Decode.HasOutputData() || !in || static_cast<LONG>(status) < 0)
        return;
    if ((m_bGetIdleSeen || m_bGetProtocolSeen) && count == 1) {
        const BYTE value = data[0];
        const CString text = Hex(mode, 2, value);
        const CString meaning = m_bGetIdleSeen ? Duration(value) : ProtocolName(value);
        OpenDataGroup(mode);
        if (mode == OUTPUT_MODE_XML) {
            m_pImp->WriteValue(m_bGetIdleSeen ? "IdleRate" : "Protocol", text);
            m_pImp->AddAttribute("Description", meaning);
        } else {
            m_pImp->AddItem(m_bGetIdleSeen ? "Idle Rate" : "Protocol",
                            text + " (" + meaning + ")", nullptr);
        }
    } else if (m_bGetReportSeen) {
        OutputReport(mode, true, data, count);
    }
}

void HidUrbOutputer::OutputReport(int mode, bool get, const BYTE* data, ULONG count) {
    if (mode == OUTPUT_MODE_XML) {
        CString text;
        CStringContent().HexString(text, data, count);
        m_pImp->WriteValue("Report", text);
        return;
    }
    OpenDataGroup(mode);
    m_pImp->AddDataBufferItem(get ? "GET_REPORT" : "SET_REPORT");
    ShowReportInDataBar(get, data, count);
}

void HidUrbOutputer::ShowReportInDataBar(bool get, const BYTE* data, ULONG count) {
    CString title;
    title.Format(get ? "  Get HID Report #%u" : "  Set HID Report #%u", m_Decode.GetSequenceNumber());
    CPanePointers panes;
    panes.DataBarSetTitle(title);
    panes.DataBarSetDataBuffer(data, count);
}
