// Classification of the device objects of a USB device stack: which USB driver owns each one (by the driver's
// name), what the bottom device object is (PCI device, root hub, device on a hub port, interface) and what the
// device objects above it are (host controller, hub, composite parent), and from that which drivers are to be
// hooked. Where the driver name alone cannot decide, the four-byte signature word that the owning USB driver
// keeps in its device extension does; its place depends on the Windows release.
//
// Locks: none. Every test reads only the device object and its extension, and the release flags set at entry.
#pragma once

#include "ntddk.h"

#include "driver/core/Driver.h"

// Enumerator class of a stack, from its enumerator name.
constexpr ULONG ENUM_CLASS_NONE = 100; // initial; an enumerator name of no group leaves it unchanged
constexpr ULONG ENUM_CLASS_PCI = 1;
constexpr ULONG ENUM_CLASS_USB = 2;
constexpr ULONG ENUM_CLASS_HID = 3;
constexpr ULONG ENUM_CLASS_USBSTOR = 4;
constexpr ULONG ENUM_CLASS_USBPRINT = 5;
constexpr ULONG ENUM_CLASS_STORAGE = 6;
constexpr ULONG ENUM_CLASS_NUSB3 = 7;

// Bottom class: what the physical device object of a stack is.
constexpr ULONG BOTTOM_CLASS_NONE = 100; // initial value of a stack
constexpr ULONG BOTTOM_CLASS_PCI = 1;
constexpr ULONG BOTTOM_CLASS_ROOT_HUB = 2;
constexpr ULONG BOTTOM_CLASS_VENDOR_ROOT_HUB = 3;
constexpr ULONG BOTTOM_CLASS_HUB_PORT = 4;        // a device on a hub port
constexpr ULONG BOTTOM_CLASS_VENDOR_HUB_PORT = 5; // a device on a vendor hub's port
constexpr ULONG BOTTOM_CLASS_INTERFACE = 6;       // an interface of a composite device

// Upper class: what a device object above the physical one is.
constexpr ULONG UPPER_CLASS_NONE = 200; // initial value of a stack
constexpr ULONG UPPER_CLASS_HOST_CONTROLLER = 101;
constexpr ULONG UPPER_CLASS_VENDOR_XHCI = 102;
constexpr ULONG UPPER_CLASS_HUB = 103;
constexpr ULONG UPPER_CLASS_VENDOR_HUB = 104;
constexpr ULONG UPPER_CLASS_COMPOSITE = 105;

// The USB driver groups, by driver name (case-insensitive).
typedef enum _DRIVER_GROUP {
    DriverGroupNone,
    DriverGroupMiniport,   // "usbuhci", "usbehci", "usbohci", "USBFDO-*"
    DriverGroupOldHcd,     // "uhcd", "openhci", "HCD*"
    DriverGroupHub,        // "usbhub", "usbhub20"
    DriverGroupVendorXhci, // "nusb3xhc", "FLxHCIc"
    DriverGroupVendorHub,  // "nusb3hub", "FLxHCIh"
    DriverGroupComposite,  // "usbccgp"
    DriverGroupPci,        // "pci"
} DRIVER_GROUP;

// What a device extension's signature word can tell.
typedef enum _EXTENSION_TEST {
    ExtensionRootHubPdo,        // a miniport's root-hub physical device object
    ExtensionHostControllerFdo, // a miniport's host-controller functional device object
    ExtensionHubPortPdo,        // the hub driver's physical device object of a device on a port
    ExtensionInterfacePdo,      // the hub driver's interface physical device object (XP group only)
    ExtensionHubFdo,            // the hub driver's hub functional device object
    ExtensionCompositeParent,   // the hub driver's composite parent (XP group only)
} EXTENSION_TEST;

// Which extension layouts the release uses: the XP group (2000, XP, Server 2003), the Vista group (Vista, 7,
// 8), or none (any other release: no extension test succeeds).
typedef enum _RELEASE_GROUP { ReleaseGroupOther, ReleaseGroupXp, ReleaseGroupVista } RELEASE_GROUP;

RELEASE_GROUP ReleaseGroupOf(const WINDOWS_RELEASE* Release);

DRIVER_GROUP ClassifyDriverName(PCSTR DriverName);
// Case-insensitive ASCII comparison of two NUL-terminated names.
BOOLEAN NameEquals(PCSTR Name, PCSTR Other);
// TRUE when Name begins with Prefix, compared the same way.
BOOLEAN NameStartsWith(PCSTR Name, PCSTR Prefix);

// TRUE when the signature word of DeviceObject's extension says what Test asks on this release. A device
// object without an extension, or whose extension does not reach the word, fails every test.
BOOLEAN ClassifyExtension(PDEVICE_OBJECT DeviceObject, EXTENSION_TEST Test, const WINDOWS_RELEASE* Release);

// The bottom class of a physical device object owned by the named driver, or 0 when neither its driver
// nor its extension decides (the stack keeps what it had).
ULONG ClassifyBottom(PDEVICE_OBJECT DeviceObject, PCSTR DriverName, const WINDOWS_RELEASE* Release);
// The upper class of a device object above the physical one, or 0 when nothing decides.
ULONG ClassifyUpper(PDEVICE_OBJECT DeviceObject, PCSTR DriverName, const WINDOWS_RELEASE* Release);

// The USB device handle the hub driver keeps for the device on a port, read from the extension of the port's
// physical device object (owned by "usbhub" or "usbhub20"): the pointer at the release's offset, taken only
// when it is a valid address whose first word is "DevH". 0 when there is none.
ULONG64 ClassifyHubPortDeviceHandle(PDEVICE_OBJECT PhysicalDeviceObject, PCSTR DriverName,
                                    const WINDOWS_RELEASE* Release);

// The device ID of the one device whose stack is tracked and listed but never hooked.
constexpr char EXCLUDED_DEVICE_ID[] = "USB\\Vid_0423&Pid_000D";
BOOLEAN IsExcludedDeviceId(PCSTR DeviceId);

// Whether a device object's driver is to be hooked, from its place in the stack and the stack's classes:
// the physical device object of a root-hub, hub-port or interface stack; a device object above the physical
// one in a stack whose upper class is host controller, hub or composite parent; every device object of
// root-hub and interface stacks; and every one of a hub on a hub port.
BOOLEAN ClassifyHookWanted(BOOLEAN IsPhysical, ULONG StackBottomClass, ULONG StackUpperClass);

// Enumerator class of an enumerator name, or ENUM_CLASS_NONE when it names no group.
ULONG ClassifyEnumerator(PCSTR EnumeratorName);
