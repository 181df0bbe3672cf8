// Classification by driver name and by device-extension signature.
//
// Locks: none. Extension words are read only after AddressRangeIsValid has accepted the word, so a device
// object with a short extension, or none, fails the test instead of faulting.
#include "driver/stacktree/Classify.h"

#include "common/ByteReader.h"
#include "common/FourCC.h"
#include "driver/capture/AddressCheck.h"

namespace {

CHAR LowerAscii(CHAR c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<CHAR>(c - 'A' + 'a') : c;
}

BOOLEAN NameIsOneOf(PCSTR name, PCSTR first, PCSTR second) {
    return NameEquals(name, first) || (second != nullptr && NameEquals(name, second));
}

// Where a test reads its word in each release group; an offset of NO_WORD means the test never succeeds
// in that group.
constexpr ULONG NO_WORD = 0xFFFFFFFF;

struct ExtensionSignature {
    ULONG xpOffset;
    ULONG xpWord;
    ULONG vistaOffset;
    ULONG vistaWord;
};

// Indexed by EXTENSION_TEST.
constexpr ExtensionSignature g_signatures[] = {
    {8, FourCC("RPDO"), 0, FourCC("RPDO")}, // ExtensionRootHubPdo
    {8, FourCC("HFDO"), 0, FourCC("HFDO")}, // ExtensionHostControllerFdo
    {0, FourCC("PORT"), 0, FourCC("HPDO")}, // ExtensionHubPortPdo
    {0, 0xFEFEFEFF, NO_WORD, 0},            // ExtensionInterfacePdo
    {0, FourCC("HUB "), 0, FourCC("HUB ")}, // ExtensionHubFdo
    {0, 0x50525400, NO_WORD, 0},            // ExtensionCompositeParent
};
static_assert(sizeof g_signatures / sizeof g_signatures[0] == ExtensionCompositeParent + 1);

// Offset of the device-handle pointer in the extension of a hub port's physical device object.
ULONG HubPortHandleOffset(const WINDOWS_RELEASE* release) {
    switch (ReleaseGroupOf(release)) {
    case ReleaseGroupXp: return 32;
    case ReleaseGroupVista: return release->win7 ? 1168 : release->win8 ? 1152 : 1136;
    default: return NO_WORD;
    }
}

// The u32 at `offset` of the device's extension, when the extension reaches it.
BOOLEAN ExtensionWord(PDEVICE_OBJECT device, ULONG offset, PULONG word) {
    const auto* extension = static_cast<const UCHAR*>(device->DeviceExtension);
    if (extension == nullptr || !AddressRangeIsValid(extension + offset, sizeof(ULONG))) {
        return FALSE;
    }
    *word = tdl::LoadLe<ULONG>(extension + offset);
    return TRUE;
}

} // namespace

RELEASE_GROUP ReleaseGroupOf(const WINDOWS_RELEASE* Release) {
    if (Release->w2k || Release->wxp || Release->w2k3) {
        return ReleaseGroupXp;
    }
    if (Release->wlh || Release->win7 || Release->win8) {
        return ReleaseGroupVista;
    }
    return ReleaseGroupOther;
}

BOOLEAN NameEquals(PCSTR Name, PCSTR Other) {
    for (; *Name != '\0' && *Other != '\0'; ++Name, ++Other) {
        if (LowerAscii(*Name) != LowerAscii(*Other)) {
            return FALSE;
        }
    }
    return *Name == *Other;
}

BOOLEAN NameStartsWith(PCSTR Name, PCSTR Prefix) {
    for (; *Prefix != '\0'; ++Name, ++Prefix) {
        if (LowerAscii(*Name) != LowerAscii(*Prefix)) {
            return FALSE;
        }
    }
    return TRUE;
}

DRIVER_GROUP ClassifyDriverName(PCSTR DriverName) {
    if (DriverName == nullptr || DriverName[0] == '\0') {
        return DriverGroupNone;
    }
    if (NameEquals(DriverName, "usbuhci") || NameEquals(DriverName, "usbehci") || NameEquals(DriverName, "usbohci") ||
        NameStartsWith(DriverName, "USBFDO-")) {
        return DriverGroupMiniport;
    }
    if (NameIsOneOf(DriverName, "uhcd", "openhci") || NameStartsWith(DriverName, "HCD")) {
        return DriverGroupOldHcd;
    }
    if (NameIsOneOf(DriverName, "usbhub", "usbhub20")) {
        return DriverGroupHub;
    }
    if (NameIsOneOf(DriverName, "nusb3xhc", "FLxHCIc")) {
        return DriverGroupVendorXhci;
    }
    if (NameIsOneOf(DriverName, "nusb3hub", "FLxHCIh")) {
        return DriverGroupVendorHub;
    }
    if (NameEquals(DriverName, "usbccgp")) {
        return DriverGroupComposite;
    }
    if (NameEquals(DriverName, "pci")) {
        return DriverGroupPci;
    }
    return DriverGroupNone;
}

BOOLEAN ClassifyExtension(PDEVICE_OBJECT DeviceObject, EXTENSION_TEST Test, const WINDOWS_RELEASE* Release) {
    const ExtensionSignature& signature = g_signatures[Test];
    ULONG offset = NO_WORD;
    ULONG expected = 0;
    switch (ReleaseGroupOf(Release)) {
    case ReleaseGroupXp:
        offset = signature.xpOffset;
        expected = signature.xpWord;
        break;
    case ReleaseGroupVista:
        offset = signature.vistaOffset;
        expected = signature.vistaWord;
        break;
    default: break;
    }
    if (offset == NO_WORD) {
        return FALSE;
    }
    ULONG word = 0;
    const BOOLEAN readable = ExtensionWord(DeviceObject, offset, &word);
    if (MemlogWants(MEMLOG_FLAG_PROBES)) {
        MemlogWrite3(FourCC("*Sig"), reinterpret_cast<ULONG_PTR>(DeviceObject), offset,
                     readable ? word : 0xFFFFFFFFFFFFFFFFull);
    }
    return readable && word == expected;
}

ULONG ClassifyBottom(PDEVICE_OBJECT DeviceObject, PCSTR DriverName, const WINDOWS_RELEASE* Release) {
    switch (ClassifyDriverName(DriverName)) {
    case DriverGroupPci: return BOTTOM_CLASS_PCI;
    case DriverGroupMiniport:
        return ClassifyExtension(DeviceObject, ExtensionRootHubPdo, Release) ? BOTTOM_CLASS_ROOT_HUB : 0;
    case DriverGroupOldHcd: return BOTTOM_CLASS_ROOT_HUB;
    case DriverGroupVendorXhci: return BOTTOM_CLASS_VENDOR_ROOT_HUB;
    case DriverGroupHub:
        if (ClassifyExtension(DeviceObject, ExtensionHubPortPdo, Release)) {
            return BOTTOM_CLASS_HUB_PORT;
        }
        return ClassifyExtension(DeviceObject, ExtensionInterfacePdo, Release) ? BOTTOM_CLASS_INTERFACE : 0;
    case DriverGroupVendorHub: return BOTTOM_CLASS_VENDOR_HUB_PORT;
    case DriverGroupComposite: return BOTTOM_CLASS_INTERFACE;
    default: return 0;
    }
}

ULONG ClassifyUpper(PDEVICE_OBJECT DeviceObject, PCSTR DriverName, const WINDOWS_RELEASE* Release) {
    switch (ClassifyDriverName(DriverName)) {
    case DriverGroupMiniport:
        return ClassifyExtension(DeviceObject, ExtensionHostControllerFdo, Release) ? UPPER_CLASS_HOST_CONTROLLER : 0;
    case DriverGroupOldHcd: return UPPER_CLASS_HOST_CONTROLLER;
    case DriverGroupVendorXhci: return UPPER_CLASS_VENDOR_XHCI;
    case DriverGroupHub:
        if (ClassifyExtension(DeviceObject, ExtensionHubFdo, Release)) {
            return UPPER_CLASS_HUB;
        }
        return ClassifyExtension(DeviceObject, ExtensionCompositeParent, Release) ? UPPER_CLASS_COMPOSITE : 0;
    case DriverGroupVendorHub: return UPPER_CLASS_VENDOR_HUB;
    case DriverGroupComposite: return UPPER_CLASS_COMPOSITE;
    default: return 0;
    }
}

ULONG64 ClassifyHubPortDeviceHandle(PDEVICE_OBJECT PhysicalDeviceObject, PCSTR DriverName,
                                    const WINDOWS_RELEASE* Release) {
    if (ClassifyDriverName(DriverName) != DriverGroupHub) {
        return 0;
    }
    const ULONG offset = HubPortHandleOffset(Release);
    const auto* extension = static_cast<const UCHAR*>(PhysicalDeviceObject->DeviceExtension);
    if (offset == NO_WORD || extension == nullptr || !AddressRangeIsValid(extension + offset, sizeof(PVOID))) {
        return 0;
    }
    const auto* handle = tdl::LoadLe<const UCHAR*>(extension + offset);
    const BOOLEAN valid = AddressRangeIsValid(handle, sizeof(ULONG));
    if (MemlogWants(MEMLOG_FLAG_PROBES)) {
        MemlogWrite3(FourCC("*Ptr"), reinterpret_cast<ULONG_PTR>(PhysicalDeviceObject),
                     reinterpret_cast<ULONG_PTR>(handle), valid);
    }
    if (!valid || tdl::LoadLe<ULONG>(handle) != FourCC("DevH")) {
        return 0;
    }
    return reinterpret_cast<ULONG_PTR>(handle);
}

BOOLEAN IsExcludedDeviceId(PCSTR DeviceId) {
    return DeviceId != nullptr && NameEquals(DeviceId, EXCLUDED_DEVICE_ID);
}

BOOLEAN ClassifyHookWanted(BOOLEAN IsPhysical, ULONG StackBottomClass, ULONG StackUpperClass) {
    const ULONG bottom = StackBottomClass;
    const ULONG upper = StackUpperClass;
    if (IsPhysical && bottom >= BOTTOM_CLASS_ROOT_HUB && bottom <= BOTTOM_CLASS_INTERFACE) {
        return TRUE;
    }
    if (!IsPhysical && upper >= UPPER_CLASS_HOST_CONTROLLER && upper <= UPPER_CLASS_COMPOSITE) {
        return TRUE;
    }
    if (bottom == BOTTOM_CLASS_ROOT_HUB || bottom == BOTTOM_CLASS_VENDOR_ROOT_HUB || bottom == BOTTOM_CLASS_INTERFACE) {
        return TRUE;
    }
    return bottom == BOTTOM_CLASS_HUB_PORT && upper == UPPER_CLASS_HUB;
}

ULONG ClassifyEnumerator(PCSTR EnumeratorName) {
    static const struct {
        PCSTR name;
        ULONG enumClass;
    } enumerators[] = {
        {"PCI", ENUM_CLASS_PCI},         {"USB", ENUM_CLASS_USB},           {"HID", ENUM_CLASS_HID},
        {"USBSTOR", ENUM_CLASS_USBSTOR}, {"USBPRINT", ENUM_CLASS_USBPRINT}, {"STORAGE", ENUM_CLASS_STORAGE},
        {"NUSB3", ENUM_CLASS_NUSB3},
    };
    if (EnumeratorName != nullptr) {
        for (const auto& entry : enumerators) {
            if (NameEquals(EnumeratorName, entry.name)) {
                return entry.enumClass;
            }
        }
    }
    return ENUM_CLASS_NONE;
}
