// CDeviceClass: Windows' own record of one device, found in SetupAPI by the device's setup class and driver
// key (as the capture driver reports them for the device's stack): its registry properties and, for the
// device-interface classes the owner asks for, each interface's symbolic link and the kernel device behind
// it. Host controllers, hubs and hub ports each own one and save it with themselves in capture files.
#pragma once

#include <afx.h>
#include <afxtempl.h>
#include <setupapi.h>

#include "platform/usb/usbiodef.h"

// The vendor's USB 3 stack registers its controllers and hubs under interface classes of its own.
DEFINE_GUID(GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER, 0xAC051B02, 0x603B, 0x4B3C, 0xB1, 0x4B, 0x95, 0xC9, 0x26, 0x8D,
            0xE0, 0x81);
DEFINE_GUID(GUID_DEVINTERFACE_NEC_USB3_HUB, 0xC7426F31, 0x6B8E, 0x47D5, 0xBA, 0xE8, 0x35, 0xFA, 0xF7, 0xFF, 0x53, 0xD9);

class CDeviceClass : public CObject {
    DECLARE_SERIAL(CDeviceClass)

public:
    // The schema of records this program creates and stores.
    static constexpr UINT CurrentSchema = 12;
    // The first schema whose records carry the interface lists.
    static constexpr UINT InterfaceListsSchema = 4;

    CDeviceClass();
    explicit CDeviceClass(UINT nSchema); // a record about to be loaded from a file of that schema
    CDeviceClass(const GUID* pClassGuid, LPCSTR lpszDriverKey);
    CDeviceClass(const GUID& classGuid, LPCSTR lpszDriverKey);
    ~CDeviceClass() override;

    // A new record, or null when memory is short.
    static CDeviceClass* Create(const GUID& classGuid, LPCSTR lpszDriverKey);

    // The interface classes an owner may ask for; m_InterfaceGuids points at these and nothing else.
    static const GUID* const KnownInterfaceGuids[5];
    // The program's constant equal to `guid`, or null for an interface class it does not know.
    static const GUID* FindKnownInterfaceGuid(const GUID& guid);
    // Appends the program's constant for the interface class to m_InterfaceGuids; one it does not know is left
    // out. FALSE when memory is short: the list is then as it was.
    BOOL AddInterfaceGuid(const GUID& guid);

    // Finds the present device of m_ClassGuid whose driver key is m_DriverKey (case aside), resolves the
    // interfaces of m_InterfaceGuids (filled by the caller beforehand) and reads the properties. TRUE when the
    // device was found and its class name read; a device without a readable class name keeps its interface
    // results and no other property. Not found: FALSE, and no property or interface entry is set.
    BOOL LocateDeviceInfo();
    // Interface step: the first interface of class m_InterfaceGuids[nInterface] that belongs to the device
    // pDevInfoData names records its device path and link target at that index. An index outside
    // m_InterfaceGuids throws CInvalidArgException.
    BOOL GetSymbolicLink(INT_PTR nInterface, PSP_DEVINFO_DATA pDevInfoData);
    // The detail of the interface m_DevInterfaceData names; TRUE and recorded when it belongs to the device.
    BOOL GetDeviceInterfaceDetail(INT_PTR nInterface, PSP_DEVINFO_DATA pDevInfoData);
    // Properties of the located device (while m_hDevInfo is open); nothing is read beyond the size SetupAPI
    // reported.
    BOOL GetRegistryString(DWORD dwProperty, CString& strValue);
    BOOL GetRegistryMultiString(DWORD dwProperty, CStringArray& values);

    // Stores the current layout; loads the layout of m_nSchema. The enumerator name is not stored.
    void Serialize(CArchive& ar) override;

    CString m_DriverKey;
    GUID m_ClassGuid{};
    CString m_ClassName;
    CString m_DeviceDescription;
    CStringArray m_HardwareIDs;
    CStringArray m_CompatibleIDs;
    CString m_PDOName;
    CString m_EnumeratorName;
    UINT m_nSchema = CurrentSchema;
    HDEVINFO m_hDevInfo = nullptr;       // open only during LocateDeviceInfo
    HDEVINFO m_hInterfaceInfo = nullptr; // open only during GetSymbolicLink
    SP_DEVINFO_DATA m_DevInfoData{};
    SP_DEVICE_INTERFACE_DATA m_DevInterfaceData{};
    // Parallel lists: entry i of the links and device names belongs to interface class i.
    CArray<const GUID*, const GUID*> m_InterfaceGuids;
    CStringArray m_SymbolicLinks;
    CStringArray m_DeviceNames;

private:
    enum class ReadResult { Read, Failed, OutOfMemory };
    ReadResult ReadRegistryString(DWORD dwProperty, CString& strValue);
    void ReadProperties();
    void ResolveInterfaces();
    void CloseDeviceInfo();
    void LoadInterfaceLists(CArchive& ar);
};

// The registry form of a GUID as the program writes it in traces and panes:
// "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}".
CString FormatGuid(const GUID& guid);

// The name of a device path's symbolic link in the object manager's user directory: the path without its
// "\\?\" or "\\.\" prefix.
CString SymbolicLinkNameOf(LPCSTR lpszDevicePath);
