#include "app/decoders/framework/IrpOutputer.h"

#include "app/core/USBLog.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

namespace {

// The pane's "Target" items, by id.
constexpr UINT kDeviceObjectNameId = 5000;
constexpr UINT kDeviceObjectId = 5001;
constexpr UINT kDriverObjectNameId = 5002;
constexpr UINT kDriverObjectId = 5003;

} // namespace

IrpOutputer::~IrpOutputer() = default;

IrpOutputer::TargetTexts IrpOutputer::FindTargetTexts(LPCSTR addressFormat) const {
    TargetTexts texts;
    texts.deviceName = kUnknownText;
    texts.driverName = kUnknownText;
    texts.driverAddress = kUnknownText;
    const CUSBLog* document = GetDocument();
    if (!document)
        return texts;
    // Addresses are reused as objects come and go: the record's time tells which object it meant.
    const BYTE* r = RecordBytes();
    const CDeviceObject* object = document->FindAttachedObject(LogHdr::DeviceObject(r), LogHdr::TimeStamp(r));
    if (!object)
        return texts;
    texts.deviceName = object->_DeviceName;
    if (const CDriverObject* driver = object->_Driver) {
        texts.hasDriver = true;
        texts.driverName = driver->m_DriverName;
        texts.driverAddress.Format(addressFormat, driver->m_NtDriverObject);
    }
    return texts;
}

void IrpOutputer::OutputTarget() {
    m_pImp->ShowCategory("Target");
    const TargetTexts texts = FindTargetTexts("0x%I64x");
    CString address;
    address.Format("0x%I64x", LogHdr::DeviceObject(RecordBytes()));
    // Each object's address before its name.
    m_pImp->SetItemValueById(kDeviceObjectId, address);
    m_pImp->SetItemValueById(kDeviceObjectNameId, texts.deviceName);
    m_pImp->SetItemValueById(kDriverObjectId, texts.driverAddress);
    m_pImp->SetItemValueById(kDriverObjectNameId, texts.driverName);
}

void IrpOutputer::OutputIrpFields() {
    const BYTE* r = RecordBytes();
    m_pImp->ShowCategory("IRP");
    CString text;
    text.Format("0x%I64x", LogHdr::Irp(r));
    m_pImp->SetItemValue("Irp Address", text);
    // A returned record's status is the dispatch routine's return value, not the IRP's IoStatus; and the
    // IRP's status is shown plain, its colour belongs to the record's "Status".
    if (m_Decode.HasTransferData())
        m_pImp->HideItem("IoStatus.Status");
    else
        m_pImp->SetItemValue("IoStatus.Status", StatusText(m_Decode.GetStatus()));
    text.Format("0x%I64x", LogHdr::StackLocation(r));
    m_pImp->SetItemValue("Irp Stack Pointer", text);
    // The IRP keeps both as signed bytes; they are shown widened as such.
    text.Format("0x%02x", static_cast<int>(static_cast<signed char>(LogHdr::StackCount(r))));
    m_pImp->SetItemValue("Stack Count", text);
    text.Format("0x%02x", static_cast<int>(LogHdr::CurrentLocation(r)));
    m_pImp->SetItemValue("Current Stack Location", text);
    OutputIrpFunction();
}

void IrpOutputer::OutputStatus() {
    const bool completed = m_Decode.HasOutputData();
    const bool returned = m_Decode.HasTransferData();
    if (!completed && !returned) {
        m_pImp->HideItem("Status");
        return;
    }
    const ULONG status = m_Decode.GetStatus();
    m_pImp->SetItemValueColour("Status", StatusText(status), StatusColour(status));
    m_pImp->SetItemDescription("Status",
                               completed ? "Irp completion status" : "Status returned by Irp dispatch routine");
}

void IrpOutputer::OutputRequestObjects() {
    const BYTE* r = RecordBytes();
    const ULONG tag = m_Decode.GetLogType();
    CString text;
    if (tag != LogTag::atsL && tag != LogTag::dneL) {
        text.Format("%08x", m_Decode.GetDataSize());
        m_pImp->WriteValue("DataSize", text);
        text.Format("%04x", m_Decode.GetStackID());
        m_pImp->WriteValue("StackID", text);
    }
    const TargetTexts texts = FindTargetTexts("%I64x");
    text.Format("%I64x", LogHdr::DeviceObject(r));
    m_pImp->WriteValue("DeviceObject", text);
    m_pImp->AddAttribute("Name", texts.deviceName);
    if (texts.hasDriver) {
        m_pImp->WriteValue("DriverObject", texts.driverAddress);
        m_pImp->AddAttribute("Name", texts.driverName);
    }
    text.Format("%I64x", LogHdr::Irp(r));
    m_pImp->WriteValue("IrpAddr", text);
    text.Format("%08x", m_Decode.GetStatus());
    m_pImp->WriteValue("IrpStatus", text);
    m_pImp->AddAttribute("Name", StatusText(m_Decode.GetStatus()));
}

void IrpOutputer::OutputIrpFunction() {}

void IrpOutputer::OutputIoControlCode(LPCSTR majorText) {
    m_pImp->SetItemValue("Major Function", majorText);
    m_pImp->HideItem("Minor Function");
    CString text;
    text.Format("0x%X", m_Decode.GetFunctionWord());
    m_pImp->SetItemValue("IoControlCode", text);
}

void IrpOutputer::OutputDeviceControlFunction() {
    OutputIoControlCode("IRP_MJ_DEVICE_CONTROL (0x0e)");
}

void IrpOutputer::OutputInternalControlFunction() {
    OutputIoControlCode("IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)");
}

void IrpOutputer::OutputMinorFunction(LPCSTR majorText) {
    m_pImp->SetItemValue("Major Function", majorText);
    CString text;
    text.Format("0x%02x", m_Decode.GetFunctionWord());
    m_pImp->SetItemValue("Minor Function", text);
    m_pImp->HideItem("IoControlCode");
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

void IrpOutputer::OutputRequestName(LPCSTR category, LPCSTR caption, const CString& name) {
    m_pImp->ShowCategory(category);
    m_pImp->AddDescribedItem(caption, name, nullptr, true);
}
