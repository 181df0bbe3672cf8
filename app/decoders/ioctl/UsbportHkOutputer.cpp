#include "app/decoders/ioctl/UsbportHkOutputer.h"

#include "app/core/document/USBLog.h"
#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/NumberText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/HookRows.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DriverObject.h"
#include "common/RecordFrame.h"

UsbportHkOutputer::~UsbportHkOutputer() = default;

CString UsbportHkOutputer::GetFunctionName() const {
    CString name;
    m_Decode.MiniportFunctionName(name);
    return name;
}

const CString& UsbportHkOutputer::FindDriverName() const {
    static const CString kUnknown(kUnknownText);
    CAttachedDrivers* drivers = m_pContext ? m_pContext->GetAttachedDrivers() : nullptr;
    CDriverObject* driver = nullptr;
    if (drivers && drivers->GetPresentClassDriverObject(LogHdr::Irp(RecordBytes()), driver) && driver &&
        !driver->m_DriverName.IsEmpty())
        return driver->m_DriverName;
    return kUnknown;
}

void UsbportHkOutputer::OutputFunctionCode() {
    static const CString kElement("UsbportHookFunction"), kName("Name");
    // Kept from record to record: the name needs no allocation once it has grown to size.
    static thread_local CString name;
    m_Decode.MiniportFunctionName(name);
    m_pImp->AddElement(kElement);
    m_pImp->AddAttribute(kName, name);
}

void UsbportHkOutputer::OutputRequestObjects() {
    static const CString kDriverObject("DriverObject"), kDeviceObject("DeviceObject"), kName("Name"),
        kArgDirection("ArgDirection"), kIn("in");
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString text;
    static thread_local TargetTexts texts;
    // The header's IRP field holds the miniport's driver object.
    const BYTE* r = RecordBytes();
    SetHex(text, LogHdr::Irp(r));
    m_pImp->WriteValue(kDriverObject, text);
    m_pImp->AddAttribute(kName, FindDriverName());
    m_pImp->AddAttribute(kArgDirection, kIn);
    SetHex(text, LogHdr::DeviceObject(r));
    m_pImp->WriteValue(kDeviceObject, text);
    FindTargetTexts("", texts);
    m_pImp->AddAttribute(kName, texts.deviceName);
    m_pImp->AddAttribute(kArgDirection, kIn);
}

void UsbportHkOutputer::OutputTarget() {
    const BYTE* r = RecordBytes();
    m_pImp->ShowCategory("Target");
    TargetTexts texts = FindTargetTexts("0x");
    // The driver is the one the header names, not the device object's.
    texts.driverAddress.Format("0x%I64x", LogHdr::Irp(r));
    texts.driverName = FindDriverName();
    CString address;
    address.Format("0x%I64x", LogHdr::DeviceObject(r));
    ShowTargetItems(address, texts);
}

void UsbportHkOutputer::OutputKindTitle(int mode) {
    const HookCode* code = FindFunction(m_Decode.GetFunctionWord());
    const LPCSTR kind = code != nullptr && code->service ? "Usbport Function" : "Miniport Function";
    FieldWriter title(*this, mode);
    if (title.In(kGrid))
        title.RequestTitle("MPORT", kind, GetFunctionName());
    OutputFunctionBody(mode);
}
