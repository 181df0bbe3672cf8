#include "app/decoders/framework/LogOutputer.h"

#include "app/core/document/USBLog.h"
#include "app/decoders/framework/NumberText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "common/RecordFrame.h"

namespace {

// The pane's "Target" items, by id.
constexpr UINT kDeviceObjectNameId = 5000;
constexpr UINT kDeviceObjectId = 5001;
constexpr UINT kDriverObjectNameId = 5002;
constexpr UINT kDriverObjectId = 5003;

} // namespace

LogOutputer::LogOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : Outputer(pImp, pDocument), m_Decode(pRecord, pDocument) {}

LogOutputer::~LogOutputer() = default;

const BYTE* LogOutputer::RecordBytes() const {
    static constexpr BYTE kNoHeader[LOGHDR_SIZE] = {};
    return m_Decode.HasRecord() ? m_Decode.GetRecord() : kNoHeader;
}

void LogOutputer::OutputRecordHeader() {
    // Every record shows these: the names are made once, and the texts, kept from record to record, need no
    // allocation once they have grown to size.
    static const CString kRecord("Record"), kNumber("Number"), kDisposition("Disposition"), kType("Type");
    static thread_local CString sequence, type, disposition;
    m_pImp->AddElement(kRecord);
    sequence.SetString(nullptr, 0);
    AppendDecimal(sequence, m_Decode.GetSequenceNumber());
    m_pImp->AddAttribute(kNumber, sequence);
    m_Decode.GetTypeAndDisposition(type, disposition);
    m_pImp->AddAttribute(kDisposition, disposition);
    m_pImp->AddAttribute(kType, type);
    m_pImp->EnterRecord();
}

void LogOutputer::OutputPerfCounter() {
    const ULONGLONG counter = static_cast<ULONGLONG>(LogHdr::TimeStamp(RecordBytes()));
    static const CString kPerfCounter("PerfCounter"), kHigh("High"), kLow("Low");
    m_pImp->AddElement(kPerfCounter);
    // Kept from record to record: the text needs no allocation once it has grown to size.
    static thread_local CString text;
    SetHex(text, static_cast<uint32_t>(counter >> 32), 8);
    m_pImp->AddAttribute(kHigh, text);
    SetHex(text, static_cast<uint32_t>(counter), 8);
    m_pImp->AddAttribute(kLow, text);
}

void LogOutputer::OutputFunctionCode() {
    CString text;
    SetHex(text, m_Decode.GetFunctionWord(), 8);
    m_pImp->WriteValue("Function", text);
    m_pImp->AddAttribute("Name", kUnknownText);
}

void LogOutputer::OutputRequestObjects() {}

void LogOutputer::EndRecord() {
    m_pImp->EndElement();
}

void LogOutputer::OutputLogEntry() {
    // Every record shows these: the captions are made once.
    static const CString kLogEntry("Log Entry"), kRecord("Record"), kState("State"), kType("Type");
    m_pImp->ShowCategory(kLogEntry);
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString sequence, type, disposition;
    sequence.SetString(nullptr, 0);
    AppendDecimal(sequence, m_Decode.GetSequenceNumber());
    m_pImp->SetItemValue(kRecord, sequence);
    m_Decode.GetTypeAndDisposition(type, disposition);
    m_pImp->SetItemValue(kState, disposition.Trim());
    m_pImp->SetItemValue(kType, type.Trim());
    OutputStatus();
}

void LogOutputer::OutputIrpFields() {}

void LogOutputer::OutputTarget() {}

void LogOutputer::OutputKindTitle(int /*mode*/) {}

void LogOutputer::OutputStatus() {
    // A record of no request has no status: the item keeps nothing from the record shown before.
    static const CString kStatus("Status");
    m_pImp->HideItem(kStatus);
}

void LogOutputer::OutputMarkupRecord(int mode) {
    OutputRecordHeader();
    OutputPerfCounter();
    OutputFunctionCode();
    OutputRequestObjects();
    OutputKindTitle(mode);
    EndRecord();
}

LogOutputer::TargetTexts LogOutputer::FindTargetTexts(LPCSTR addressPrefix) const {
    TargetTexts texts;
    FindTargetTexts(addressPrefix, texts);
    return texts;
}

void LogOutputer::FindTargetTexts(LPCSTR addressPrefix, TargetTexts& texts) const {
    // Addresses are reused as objects come and go: the record's time tells which object it meant.
    const CUSBLog* document = GetDocument();
    const BYTE* r = RecordBytes();
    const CDeviceObject* object =
        document ? document->FindAttachedObject(LogHdr::DeviceObject(r), LogHdr::TimeStamp(r)) : nullptr;
    const CDriverObject* driver = object ? object->_Driver : nullptr;
    texts.found = object != nullptr;
    texts.hasDriver = driver != nullptr;
    // Each text is set once: the kept texts of a pane's record after record are copied into, not made.
    if (object)
        texts.deviceName = object->_DeviceName;
    else
        texts.deviceName = kUnknownText;
    if (driver) {
        texts.driverName = driver->m_DriverName;
        SetHex(texts.driverAddress, driver->m_NtDriverObject, 1, addressPrefix);
    } else {
        texts.driverName = kUnknownText;
        texts.driverAddress = kUnknownText;
    }
}

void LogOutputer::ShowTargetItems(const CString& deviceAddress, const TargetTexts& texts) {
    m_pImp->SetItemValueById(kDeviceObjectId, deviceAddress);
    m_pImp->SetItemValueById(kDeviceObjectNameId, texts.deviceName);
    m_pImp->SetItemValueById(kDriverObjectId, texts.driverAddress);
    m_pImp->SetItemValueById(kDriverObjectNameId, texts.driverName);
}

CString LogOutputer::SequenceText() const {
    CString text;
    AppendDecimal(text, m_Decode.GetSequenceNumber());
    return text;
}

void LogOutputer::OutputTruncation(int mode, size_t needed) {
    if (m_bTruncationShown)
        return;
    m_bTruncationShown = true;
    CString text;
    // A count read from a damaged record can put the end past 4 GiB: the text keeps every digit.
    text.Format("%I64u of %I64u payload bytes", static_cast<ULONG64>(m_Decode.GetPayload().size()),
                static_cast<ULONG64>(needed));
    OutputDefect(mode, "Truncated", text);
}

CString LogOutputer::StatusText(ULONG status) {
    CString text;
    SetStatusText(text, status);
    return text;
}

void LogOutputer::SetStatusText(CString& text, ULONG status) {
    if (const LPCSTR name = CStringContent::NtStatusText(status)) {
        text = "STATUS_";
        text += name;
    } else {
        SetHex(text, status, 8, "STATUS_0x");
    }
}

COLORREF LogOutputer::StatusColour(ULONG status) const {
    return (status & 0xC0000000u) == 0xC0000000u ? kFailureColour : m_pImp->GetValueColour();
}
