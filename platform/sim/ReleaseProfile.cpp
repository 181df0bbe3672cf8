#include "platform/sim/ReleaseProfile.h"

namespace sim {

ReleaseLayout LayoutFor(nt::version::Release release) {
    using nt::version::Release;
    ReleaseLayout layout;
    switch (release) {
    case Release::Windows2000:
    case Release::WindowsXP:
    case Release::WindowsXPSP3:
    case Release::Server2003:
    case Release::VersionRoutinesUnresolvable:
        layout.group = ReleaseGroup::Xp;
        layout.hostControllerSignature = 8;
        layout.rootHubSignature = 8;
        layout.hubSignature = 0;
        layout.portSignature = 0;
        layout.portSignatureWord = SignatureWord("PORT");
        layout.interfaceSignature = 0;
        layout.compositeSignature = 0;
        layout.deviceHandlePointer = 32;
        layout.hubDriverIsCompositeParent = true;
        layout.hubBusInterfaceVersion = 5;
        layout.usbdiInterfaceVersion = 2;
        layout.usbdiVersion = 0x500;
        layout.usb3 = Usb3Stack::Vendor;
        return layout;
    case Release::VistaSP0:
    case Release::VistaSP1:
    case Release::VistaSP2:
    case Release::Windows7:
    case Release::Windows8:
        layout.group = ReleaseGroup::Vista;
        layout.hostControllerSignature = 0;
        layout.rootHubSignature = 0;
        layout.hubSignature = 0;
        layout.portSignature = 0;
        layout.portSignatureWord = SignatureWord("HPDO");
        layout.deviceHandlePointer = release == Release::Windows8 ? 1152 : release == Release::Windows7 ? 1168 : 1136;
        layout.hubBusInterfaceVersion = release == Release::Windows8 ? 8 : release == Release::Windows7 ? 7 : 6;
        layout.usbdiInterfaceVersion = 3;
        layout.usbdiVersion = release == Release::Windows8 ? 0x602 : 0x600;
        layout.usb3 = release == Release::Windows8 ? Usb3Stack::Inbox : Usb3Stack::Vendor;
        return layout;
    case Release::Windows10: break;
    }
    layout.group = ReleaseGroup::Newer;
    layout.hubBusInterfaceVersion = 8;
    layout.usbdiInterfaceVersion = 3;
    layout.usbdiVersion = 0x602;
    layout.usb3 = Usb3Stack::Inbox;
    return layout;
}

ReleaseLayout CurrentLayout() {
    return LayoutFor(nt::version::SelectedRelease());
}

} // namespace sim
