// What a Windows release changes in the simulated USB stack: where the USB drivers keep their signature words
// and the device-handle pointer in their device extensions, whether the hub driver is its own composite
// parent, which bus-interface versions the port driver offers, and which USB 3 stack serves xHCI controllers
// (a vendor pair before Windows 8, the system's own from Windows 8 on).
//
// Release groups: 2000, XP and Server 2003 (and an early system without the version routines); Vista, 7 and 8;
// any newer release, whose USB drivers keep other layouts (no word of the older ones is where they were).
#pragma once

#include "NtVersionControl.h"
#include "ntdef.h"

namespace sim {

enum class ReleaseGroup { Xp, Vista, Newer };
enum class Usb3Stack { Vendor, Inbox };

// Every device extension of the simulated USB drivers begins with an area this large that holds the
// release's layout; the driver's own state follows it.
constexpr size_t kPlatformAreaSize = 1280;

struct ReleaseLayout {
    ReleaseGroup group = ReleaseGroup::Vista;
    // Offsets of the signature words in the extensions (-1: the release keeps none there).
    int hostControllerSignature = -1;        // "HFDO": the controller's functional device object (miniport)
    int rootHubSignature = -1;               // "RPDO": the root hub's physical device object (miniport)
    int hubSignature = -1;                   // "HUB ": a hub's functional device object (hub driver)
    int portSignature = -1;                  // a hub port's physical device object (hub driver)
    ULONG portSignatureWord = 0;             // "PORT" (XP group) or "HPDO"
    int interfaceSignature = -1;             // 0xFEFEFEFF: an interface PDO of the hub driver's composite parent
    int compositeSignature = -1;             // 0x50525400: the hub driver's composite parent
    int deviceHandlePointer = -1;            // a port PDO's pointer to its device handle ("DevH")
    bool hubDriverIsCompositeParent = false; // composite devices go to the hub driver, not usbccgp
    USHORT hubBusInterfaceVersion = 0;       // the highest USB_BUS_INTERFACE_HUB version offered
    USHORT usbdiInterfaceVersion = 0;        // the highest USB_BUS_INTERFACE_USBDI version offered
    ULONG usbdiVersion = 0;                  // USBDI_Version reported by GetUSBDIVersion
    Usb3Stack usb3 = Usb3Stack::Vendor;
};

ReleaseLayout LayoutFor(nt::version::Release release);
// The layout of the release the kernel reports now.
ReleaseLayout CurrentLayout();

// A four-character word as it lies in memory: SignatureWord("HFDO").
constexpr ULONG SignatureWord(const char (&text)[5]) {
    return static_cast<ULONG>(static_cast<unsigned char>(text[0])) |
           static_cast<ULONG>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<ULONG>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<ULONG>(static_cast<unsigned char>(text[3])) << 24;
}
constexpr ULONG kInterfacePdoWord = 0xFEFEFEFF;
constexpr ULONG kCompositeParentWord = 0x50525400;
constexpr ULONG kDeviceHandleWord = SignatureWord("DevH");

} // namespace sim
