#include "app/core/records/RecordNames.h"

#include "app/decoders/framework/PnpOutputer.h"
#include "app/decoders/framework/PowerOutputer.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/IoctlFamilyOutputer.h"
#include "app/decoders/ioctl/UsbportHkOutputer.h"

namespace RecordNames {

LPCSTR InternalIoctl(ULONG ioControlCode) {
    return IoctlListName(InternalIoctlFamily(), ioControlCode);
}
LPCSTR HcdIoctl(ULONG ioControlCode) {
    return IoctlListName(HcdIoctlFamily(), ioControlCode);
}
LPCSTR HubIoctl(ULONG ioControlCode) {
    return IoctlListName(HubIoctlFamily(), ioControlCode);
}
LPCSTR HidIoctl(ULONG ioControlCode) {
    return IoctlListName(HidIoctlFamily(), ioControlCode);
}
LPCSTR HubInterfaceFunction(ULONG index) {
    const HubifCode* code = HubifOutputer::FindFunction(index);
    return code != nullptr ? code->row.name : nullptr;
}
LPCSTR MiniportFunction(ULONG index) {
    const HookCode* code = UsbportHkOutputer::FindFunction(index);
    return code != nullptr ? code->row.name : nullptr;
}
LPCSTR PnpMinor(ULONG minor) {
    const PnpMinorCode* code = FindCodeRow(PnpOutputer::MinorCodes(), minor);
    return code != nullptr ? code->row.name : nullptr;
}
LPCSTR PowerMinor(ULONG minor) {
    const PowerMinorCode* code = FindCodeRow(PowerOutputer::MinorCodes(), minor);
    return code != nullptr ? code->row.name : nullptr;
}

} // namespace RecordNames
