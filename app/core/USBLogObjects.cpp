// The capture document's look-ups of the kernel objects its records name.
#include "app/core/USBLog.h"
#include "app/devices/AttachedDevices.h"

CDeviceObject* CUSBLog::FindAttachedObject(ULONG64 ntDeviceObject, LONGLONG timeStamp) const {
    CDeviceObject* pDevice = nullptr;
    if (m_pAttachedDevices)
        m_pAttachedDevices->GetClassDeviceObjectAtTime(ntDeviceObject, timeStamp, pDevice);
    return pDevice;
}
