#include "app/decoders/ioctl/UsbportHkOutputer.h"

#include "app/core/document/USBLog.h"
#include "app/decoders/framework/FieldWriter.h"
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

CString UsbportHkOutputer::FindDriverName() const {
    CString name = kUnknownText;
    CAttachedDrivers* drivers = m_pContext ? m_pContext->GetAttachedDrivers() : nullptr;
    CDriverObject* driver = nullptr;
    if (drivers && drivers->GetPresentClassDriverObject(LogHdr::Irp(RecordBytes()), driver) && driver &&
        !driver->m_DriverName.IsEmpty())
        name = driver->m_DriverName;
    return name;
}

void UsbportHkOutputer::OutputFunctionCode() {
    m_pImp->AddElement("UsbportHookFunction");
    m_pImp->AddAttribute("Name", GetFunctionName());
}

void UsbportHkOutputer::OutputRequestObjects() {
    // The header's IRP field holds the miniport's driver object.
    const BYTE* r = RecordBytes();
    CString text;
    text.Format("%I64x", LogHdr::Irp(r));
    m_pImp->WriteValue("DriverObject", text);
    m_pImp->AddAttribute("Name", FindDriverName());
    m_pImp->AddAttribute("ArgDirection", "in");
    text.Format("%I64x", LogHdr::DeviceObject(r));
    m_pImp->WriteValue("DeviceObject", text);
    m_pImp->AddAttribute("Name", FindTargetTexts("").deviceName);
    m_pImp->AddAttribute("ArgDirection", "in");
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
    const LPCSTR title = code != nullptr && code->service ? "Usbport Function" : "Miniport Function";
    FieldWriter(*this, mode).RequestTitle("MPORT", title, GetFunctionName());
    OutputFunctionBody(mode);
}
