// Device notifications: WM_DEVICECHANGE events and the broadcast records that come with them, and the
// registration of a window for device-interface events. A window registered for an interface class (or for all
// classes) gets DBT_DEVICEARRIVAL and DBT_DEVICEREMOVECOMPLETE with a DEV_BROADCAST_DEVICEINTERFACE_A record when
// an interface of the class is enabled or disabled; every top-level window gets DBT_DEVNODES_CHANGED when
// devices come or go. Each arrives as a sent notification once the Plug and Play change has finished; the
// record lives until the window has handled the message.
#pragma once

#include "WinUserTypes.h"
#include "windef.h"

#define DBT_DEVNODES_CHANGED 0x0007
#define DBT_QUERYCHANGECONFIG 0x0017
#define DBT_CONFIGCHANGED 0x0018
#define DBT_DEVICEARRIVAL 0x8000
#define DBT_DEVICEQUERYREMOVE 0x8001
#define DBT_DEVICEQUERYREMOVEFAILED 0x8002
#define DBT_DEVICEREMOVEPENDING 0x8003
#define DBT_DEVICEREMOVECOMPLETE 0x8004
#define DBT_DEVICETYPESPECIFIC 0x8005
#define DBT_CUSTOMEVENT 0x8006

#define DBT_DEVTYP_OEM 0x00000000
#define DBT_DEVTYP_VOLUME 0x00000002
#define DBT_DEVTYP_PORT 0x00000003
#define DBT_DEVTYP_DEVICEINTERFACE 0x00000005
#define DBT_DEVTYP_HANDLE 0x00000006

#define DEVICE_NOTIFY_WINDOW_HANDLE 0x00000000
#define DEVICE_NOTIFY_SERVICE_HANDLE 0x00000001
#define DEVICE_NOTIFY_ALL_INTERFACE_CLASSES 0x00000004

typedef struct _DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
} DEV_BROADCAST_HDR, *PDEV_BROADCAST_HDR;
static_assert(sizeof(DEV_BROADCAST_HDR) == 12);

typedef struct _DEV_BROADCAST_DEVICEINTERFACE_A {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    char dbcc_name[1];
} DEV_BROADCAST_DEVICEINTERFACE_A, *PDEV_BROADCAST_DEVICEINTERFACE_A;
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32 &&
              offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid) == 12 &&
              offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) == 28);
typedef DEV_BROADCAST_DEVICEINTERFACE_A DEV_BROADCAST_DEVICEINTERFACE;
typedef PDEV_BROADCAST_DEVICEINTERFACE_A PDEV_BROADCAST_DEVICEINTERFACE;

// `filter` is a DEV_BROADCAST_DEVICEINTERFACE_A (dbcc_size at least its size); the recipient a window
// (DEVICE_NOTIFY_WINDOW_HANDLE). Null with ERROR_INVALID_PARAMETER or ERROR_INVALID_WINDOW_HANDLE otherwise.
HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags);
BOOL UnregisterDeviceNotification(HDEVNOTIFY handle);
inline HDEVNOTIFY RegisterDeviceNotification(HANDLE recipient, LPVOID filter, DWORD flags) {
    return RegisterDeviceNotificationA(recipient, filter, flags);
}
