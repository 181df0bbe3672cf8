#include "app/decoders/framework/IrpOutputer.h"

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/NumberText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

IrpOutputer::~IrpOutputer() = default;

void IrpOutputer::OutputTarget() {
    static const CString kTarget("Target");
    m_pImp->ShowCategory(kTarget);
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString address;
    static thread_local TargetTexts texts;
    SetHex(address, LogHdr::DeviceObject(RecordBytes()), 1, "0x");
    FindTargetTexts("0x", texts);
    ShowTargetItems(address, texts);
}

void IrpOutputer::OutputIrpFields() {
    // Every record shows these: the captions are made once, the numbers without the formatting engine.
    static const CString kIrp("IRP"), kIrpAddress("Irp Address"), kIoStatus("IoStatus.Status"),
        kStackPointer("Irp Stack Pointer"), kStackCount("Stack Count"), kCurrentLocation("Current Stack Location");
    const BYTE* r = RecordBytes();
    m_pImp->ShowCategory(kIrp);
    // Kept from record to record: the text needs no allocation once it has grown to size.
    static thread_local CString text;
    SetHex(text, LogHdr::Irp(r), 1, "0x");
    m_pImp->SetItemValue(kIrpAddress, text);
    // A returned record's status is the dispatch routine's return value, not the IRP's IoStatus; and the
    // IRP's status is shown plain, its colour belongs to the record's "Status".
    if (m_Decode.HasTransferData())
        m_pImp->HideItem(kIoStatus);
    else {
        SetStatusText(text, m_Decode.GetStatus());
        m_pImp->SetItemValue(kIoStatus, text);
    }
    SetHex(text, LogHdr::StackLocation(r), 1, "0x");
    m_pImp->SetItemValue(kStackPointer, text);
    // The IRP keeps both as signed bytes; they are shown widened as such (a negative count as 32 bits).
    SetHex(text, static_cast<uint32_t>(static_cast<int>(static_cast<signed char>(LogHdr::StackCount(r)))), 2, "0x");
    m_pImp->SetItemValue(kStackCount, text);
    SetHex(text, static_cast<uint32_t>(static_cast<int>(LogHdr::CurrentLocation(r))), 2, "0x");
    m_pImp->SetItemValue(kCurrentLocation, text);
    OutputIrpFunction();
}

void IrpOutputer::OutputStatus() {
    // Every record shows these: the texts are made once.
    static const CString kStatus("Status"), kCompleted("Irp completion status"),
        kReturned("Status returned by Irp dispatch routine");
    const bool completed = m_Decode.HasOutputData();
    const bool returned = m_Decode.HasTransferData();
    if (!completed && !returned) {
        m_pImp->HideItem(kStatus);
        return;
    }
    const ULONG status = m_Decode.GetStatus();
    static thread_local CString text;
    SetStatusText(text, status);
    m_pImp->SetItemValueColour(kStatus, text, StatusColour(status));
    m_pImp->SetItemDescription(kStatus, completed ? kCompleted : kReturned);
}

void IrpOutputer::OutputRequestObjects() {
    static const CString kDataSize("DataSize"), kStackId("StackID"), kDeviceObject("DeviceObject"),
        kDriverObject("DriverObject"), kIrpAddr("IrpAddr"), kIrpStatus("IrpStatus"), kName("Name");
    const BYTE* r = RecordBytes();
    const ULONG tag = m_Decode.GetLogType();
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString text;
    static thread_local TargetTexts texts;
    if (tag != LogTag::atsL && tag != LogTag::dneL) {
        SetHex(text, m_Decode.GetDataSize(), 8);
        m_pImp->WriteValue(kDataSize, text);
        SetHex(text, m_Decode.GetStackID(), 4);
        m_pImp->WriteValue(kStackId, text);
    }
    FindTargetTexts("", texts);
    SetHex(text, LogHdr::DeviceObject(r));
    m_pImp->WriteValue(kDeviceObject, text);
    m_pImp->AddAttribute(kName, texts.deviceName);
    if (texts.hasDriver) {
        m_pImp->WriteValue(kDriverObject, texts.driverAddress);
        m_pImp->AddAttribute(kName, texts.driverName);
    }
    SetHex(text, LogHdr::Irp(r));
    m_pImp->WriteValue(kIrpAddr, text);
    SetHex(text, m_Decode.GetStatus(), 8);
    m_pImp->WriteValue(kIrpStatus, text);
    SetStatusText(text, m_Decode.GetStatus());
    m_pImp->AddAttribute(kName, text);
}

void IrpOutputer::OutputIrpFunction() {}

namespace {

const CString& MajorFunctionCaption() {
    static const CString caption("Major Function");
    return caption;
}

const CString& MinorFunctionCaption() {
    static const CString caption("Minor Function");
    return caption;
}

const CString& IoControlCodeCaption() {
    static const CString caption("IoControlCode");
    return caption;
}

} // namespace

void IrpOutputer::OutputIoControlCode(LPCSTR majorText, ULONG ioControlCode) {
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString major, text;
    major = majorText;
    m_pImp->SetItemValue(MajorFunctionCaption(), major);
    m_pImp->HideItem(MinorFunctionCaption());
    SetHex(text, ioControlCode, 1, "0x", true);
    m_pImp->SetItemValue(IoControlCodeCaption(), text);
}

void IrpOutputer::OutputDeviceControlFunction() {
    OutputIoControlCode("IRP_MJ_DEVICE_CONTROL (0x0e)", m_Decode.GetFunctionWord());
}

void IrpOutputer::OutputInternalControlFunction() {
    OutputInternalControlFunction(m_Decode.GetFunctionWord());
}

void IrpOutputer::OutputInternalControlFunction(ULONG ioControlCode) {
    OutputIoControlCode("IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)", ioControlCode);
}

void IrpOutputer::OutputMinorFunction(LPCSTR majorText) {
    static thread_local CString major, text;
    major = majorText;
    m_pImp->SetItemValue(MajorFunctionCaption(), major);
    SetHex(text, m_Decode.GetFunctionWord(), 2, "0x");
    m_pImp->SetItemValue(MinorFunctionCaption(), text);
    m_pImp->HideItem(IoControlCodeCaption());
}

CString IrpOutputer::MinorFunctionName(void (CLogRecordDecode::*tableName)(CString&) const) const {
    CString name;
    (m_Decode.*tableName)(name);
    return "IRP_MN_" + name;
}

void IrpOutputer::OutputMinorFunctionCode(const CString& name) {
    CString text;
    text.Format("%02x", m_Decode.GetFunctionWord());
    m_pImp->WriteValue("Function", text);
    m_pImp->AddAttribute("Name", name);
}

void IrpOutputer::OutputRequestTitle(int mode, LPCSTR category, LPCSTR caption, const CString& name) {
    FieldWriter(*this, mode).RequestTitle(category, caption, name);
}

void IrpOutputer::OutputRequestName(LPCSTR category, LPCSTR caption, const CString& name) {
    m_pImp->ShowCategory(category);
    m_pImp->AddDescribedItem(caption, name, nullptr, true);
}
