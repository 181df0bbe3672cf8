#include "UsbGuidAddress.h"

#include "usbiodef.h"

const GUID* UsbHubGuidAddressFromOtherUnit() {
    return &GUID_DEVINTERFACE_USB_HUB;
}
