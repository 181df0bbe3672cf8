// The names the record list and the decoders give a record's function word: IOCTL codes of the hub, host
// controller, HID and internal USB families, and the call indexes of the hub-interface and port-driver hooks.
// Each lookup returns the table's constant text, or null when the table does not list the value.
#pragma once

#include "windef.h"

namespace RecordNames {

LPCSTR InternalIoctl(ULONG ioControlCode);
LPCSTR HcdIoctl(ULONG ioControlCode);
LPCSTR HubIoctl(ULONG ioControlCode);
LPCSTR HidIoctl(ULONG ioControlCode);
LPCSTR HubInterfaceFunction(ULONG index);
LPCSTR MiniportFunction(ULONG index);
// PnP and power minor functions with a name of their own (null for the others).
LPCSTR PnpMinor(ULONG minor);
LPCSTR PowerMinor(ULONG minor);

} // namespace RecordNames
