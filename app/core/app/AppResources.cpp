#include "app/core/app/AppResources.h"

#include <iterator>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/app/Resource.h"
#include "app/core/capture/KxTdloft.h"
#include "app/ui/devicetree/DeviceTreeResources.h"
#include "app/ui/dialogs/AppDialogResources.h"
#include "app/ui/find/FindOptionsResources.h"
#include "app/ui/frame/MainFrameResources.h"
#include "app/ui/panes/DevicePropertiesResources.h"
#include "app/ui/panes/LogDetailsResources.h"
#include "tindaloft_app_embedded.h"

namespace {

const AFX_STRING_ENTRY kStrings[] = {
    {IDR_MAINFRAME, "Tindaloft"},
    {AFX_IDS_APP_TITLE, "Tindaloft"},
    {IDS_TINDALOFT_DEVICE, "\\\\.\\Tindaloft"},
    {IDR_TDLOFT_TYPE, "\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n.tdloft\nTindaloft.Document\n"
                      "Tindaloft Log File"},
    {IDS_FILTER_PAGE_URB, "Selection of USB Request Blocks"},
    {IDS_FILTER_PAGE_IHUB, "Selection of Hub Interface functions"},
    {IDS_FILTER_PAGE_USBINT, "Selection of USB Internal Ioctls"},
    {IDS_FILTER_PAGE_HUB, "Selection of Hub Ioctls"},
    {IDS_FILTER_PAGE_HCD, "Selection of Host Controller Ioctls"},
    {IDS_FILTER_PAGE_HID, "Selection of HID Ioctls"},
    {IDS_FILTER_PAGE_PNP, "Selection of PnP Irps"},
    {IDS_FILTER_PAGE_POWER, "Selection of Power Irps"},
    {IDR_TDLOFT_REALTIME, "\nCapture Mode\nTrace\nTindaloft Log File\n.tdloft\nTindaloft.Document\nTindaloft Log File"},
};

} // namespace

void RegisterAppResources() {
    AfxRegisterStringTable(kStrings, std::size(kStrings));
    win32::RegisterIconResource(nullptr, IDR_MAINFRAME, tdl::embedded::mainframe_png,
                                tdl::embedded::mainframe_png_size);
    win32::RegisterIconResource(nullptr, IDR_TDLOFT_TYPE, tdl::embedded::logfile_png, tdl::embedded::logfile_png_size);
    win32::RegisterIconResource(nullptr, IDR_TDLOFT_REALTIME, tdl::embedded::capture_png,
                                tdl::embedded::capture_png_size);
    RegisterAppDialogResources();
    RegisterMainFrameResources();
    RegisterDeviceTreeResources();
    RegisterLogDetailsResources();
    RegisterDevicePropertiesResources();
    RegisterFindOptionsResources();
}
