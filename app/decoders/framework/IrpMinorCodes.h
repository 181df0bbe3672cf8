// The minor function codes of the PnP and power requests that the decoders name, under their published
// names: the application does not include the kernel's headers, which hold them too (with the same values).
#pragma once

#ifndef IRP_MN_START_DEVICE
#define IRP_MN_START_DEVICE 0x00
#endif
#ifndef IRP_MN_REMOVE_DEVICE
#define IRP_MN_REMOVE_DEVICE 0x02
#endif
#ifndef IRP_MN_WAIT_WAKE
#define IRP_MN_WAIT_WAKE 0x00
#endif
#ifndef IRP_MN_POWER_SEQUENCE
#define IRP_MN_POWER_SEQUENCE 0x01
#endif
#ifndef IRP_MN_SET_POWER
#define IRP_MN_SET_POWER 0x02
#endif
#ifndef IRP_MN_QUERY_POWER
#define IRP_MN_QUERY_POWER 0x03
#endif
