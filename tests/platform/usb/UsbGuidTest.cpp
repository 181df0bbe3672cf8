// GUID constants against their registry text form: the byte order of Data1 to Data4 is where a
// hand-written GUID goes wrong.
#include "UsbGuidAddress.h"

#include "hidclass.h"
#include "usbbusif.h"
#include "usbiodef.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
GUID ParseGuid(const std::string& text) {
    unsigned d1, d2, d3, b[8];
    EXPECT_EQ(std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2],
                          &b[3], &b[4], &b[5], &b[6], &b[7]),
              11)
        << text;
    GUID g{d1, static_cast<USHORT>(d2), static_cast<USHORT>(d3), {}};
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<UCHAR>(b[i]);
    return g;
}

struct GuidRow {
    const char* name;
    const GUID& guid;
    const char* text;
};

const GuidRow kGuids[] = {
    {"GUID_DEVINTERFACE_USB_HUB", GUID_DEVINTERFACE_USB_HUB, "{F18A0E88-C30C-11D0-8815-00A0C906BED8}"},
    {"GUID_DEVINTERFACE_USB_DEVICE", GUID_DEVINTERFACE_USB_DEVICE, "{A5DCBF10-6530-11D2-901F-00C04FB951ED}"},
    {"GUID_DEVINTERFACE_USB_HOST_CONTROLLER", GUID_DEVINTERFACE_USB_HOST_CONTROLLER,
     "{3ABF6F2D-71C4-462A-8A92-1E6861E6AF27}"},
    {"GUID_DEVCLASS_USB", GUID_DEVCLASS_USB, "{36FC9E60-C465-11CF-8056-444553540000}"},
    {"USB_BUS_INTERFACE_HUB_GUID", USB_BUS_INTERFACE_HUB_GUID, "{B2BB8C0A-5AB4-11D3-A8CD-00C04F68747A}"},
    {"USB_BUS_INTERFACE_USBDI_GUID", USB_BUS_INTERFACE_USBDI_GUID, "{B1A96A13-3DE0-4574-9B01-C08FEAB318D6}"},
    {"GUID_DEVINTERFACE_HID", GUID_DEVINTERFACE_HID, "{4D1E55B2-F16F-11CF-88CB-001111000030}"},
};

TEST(UsbGuids, MatchTheirTextForm) {
    for (const GuidRow& row : kGuids)
        EXPECT_TRUE(row.guid == ParseGuid(row.text)) << row.name;
    EXPECT_TRUE(GUID_CLASS_USBHUB == GUID_DEVINTERFACE_USB_HUB);
    EXPECT_FALSE(GUID_DEVINTERFACE_USB_HUB == GUID_DEVINTERFACE_USB_DEVICE);
}

// DEFINE_GUID in a header must give one object program-wide, not one copy per translation unit.
TEST(UsbGuids, OneObjectAcrossTranslationUnits) {
    EXPECT_EQ(&GUID_DEVINTERFACE_USB_HUB, UsbHubGuidAddressFromOtherUnit());
}

} // namespace
