// SetupAPI: device-information sets of the Plug and Play manager's present devices, their registry
// properties, and their device interfaces (ANSI forms; texts in the ANSI code page).
//
// A set holds the present devices of one setup class, or (DIGCF_DEVICEINTERFACE) the interfaces of one
// interface class with their devices. Each device carries a DevInst number that belongs to its device
// instance path while the machine runs, so the same device in two sets has the same DevInst. Enumerations
// end with ERROR_NO_MORE_ITEMS; a structure whose cbSize is not its own size fails with
// ERROR_INVALID_USER_BUFFER; a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and reports the size
// needed.
#pragma once

#include "WinUserTypes.h"
#include "windef.h"

typedef PVOID HDEVINFO;

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

// Registry properties of a device.
#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_CLASS 0x00000007
#define SPDRP_CLASSGUID 0x00000008
#define SPDRP_DRIVER 0x00000009
#define SPDRP_MFG 0x0000000B
#define SPDRP_FRIENDLYNAME 0x0000000C
#define SPDRP_LOCATION_INFORMATION 0x0000000D
#define SPDRP_PHYSICAL_DEVICE_OBJECT_NAME 0x0000000E
#define SPDRP_UI_NUMBER 0x00000010
#define SPDRP_BUSNUMBER 0x00000015
#define SPDRP_ENUMERATOR_NAME 0x00000016
#define SPDRP_ADDRESS 0x0000001C

// Flags of a device interface.
#define SPINT_ACTIVE 0x00000001
#define SPINT_DEFAULT 0x00000002
#define SPINT_REMOVED 0x00000004

// Errors of the SetupAPI family (customer bit and the family's facility).
#ifndef ERROR_INVALID_REG_PROPERTY
#define ERROR_INVALID_REG_PROPERTY 0xE0000209L
#endif
#ifndef ERROR_NO_SUCH_DEVINST
#define ERROR_NO_SUCH_DEVINST 0xE000020BL
#endif
#ifndef ERROR_NO_SUCH_DEVICE_INTERFACE
#define ERROR_NO_SUCH_DEVICE_INTERFACE 0xE0000225L
#endif

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;
static_assert(sizeof(SP_DEVINFO_DATA) == 32 && offsetof(SP_DEVINFO_DATA, DevInst) == 20 &&
              offsetof(SP_DEVINFO_DATA, Reserved) == 24);

typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32 && offsetof(SP_DEVICE_INTERFACE_DATA, Flags) == 20 &&
              offsetof(SP_DEVICE_INTERFACE_DATA, Reserved) == 24);

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8 &&
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4);

typedef SP_DEVICE_INTERFACE_DETAIL_DATA_A SP_DEVICE_INTERFACE_DETAIL_DATA;
typedef PSP_DEVICE_INTERFACE_DETAIL_DATA_A PSP_DEVICE_INTERFACE_DETAIL_DATA;

// A set of the present devices of the setup class ClassGuid (every class with DIGCF_ALLCLASSES), or with
// DIGCF_DEVICEINTERFACE of the interfaces of the interface class ClassGuid (the enabled ones with
// DIGCF_PRESENT) and the devices that own them. Enumerator, when given, keeps the devices of that enumerator
// ("PCI", "USB") or, for an interface set, that one device instance path. INVALID_HANDLE_VALUE on failure.
HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData);
// REG_SZ texts, REG_MULTI_SZ lists and REG_DWORD numbers. A property the device lacks fails with
// ERROR_INVALID_DATA; a device that is gone since the set was made with ERROR_NO_SUCH_DEVINST.
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       PDWORD PropertyRegDataType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize);
// Sets a property the installer may change (description, hardware and compatible IDs, friendly name,
// location, manufacturer) to the bytes given, in the form the property reads (a REG_MULTI_SZ list for the IDs);
// every set reads it so from then on. No bytes: the device's own value again.
BOOL SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       const BYTE* PropertyBuffer, DWORD PropertyBufferSize);

// The interfaces of InterfaceClassGuid in the set, of one device when DeviceInfoData is given.
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
// DevicePath "\\?\<link without its "\??\">", and (optionally) the device that owns the interface.
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData);

// The program is built for 8-bit characters.
#define SetupDiGetClassDevs SetupDiGetClassDevsA
#define SetupDiGetDeviceRegistryProperty SetupDiGetDeviceRegistryPropertyA
#define SetupDiSetDeviceRegistryProperty SetupDiSetDeviceRegistryPropertyA
#define SetupDiGetDeviceInterfaceDetail SetupDiGetDeviceInterfaceDetailA
