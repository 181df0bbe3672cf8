#include "app/ui/panes/DevicePropertiesResources.h"

#include <iterator>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/ui/panes/DevicePropertiesWnd.h"
#include "tindaloft_app_embedded.h"

namespace {

// The captions shown below the buttons' icons and in their tooltips.
const AFX_STRING_ENTRY kStrings[] = {
    {ID_DEVICEPROPS_PNP, "\nPnP Properties"},
    {ID_DEVICEPROPS_DESCRIPTORS, "\nDescriptors"},
};

win32::MenuResourceItem View(UINT nID, const char* lpszText) {
    return {MF_STRING, nID, lpszText, {}};
}

} // namespace

void RegisterDevicePropertiesResources() {
    AfxRegisterStringTable(kStrings, std::size(kStrings));
    // The images are drawn on pure green, the pane's key colour.
    win32::RegisterToolbarResource(nullptr, IDR_DEVICEPROPS_TOOLBAR,
                                   {16, 16, {ID_DEVICEPROPS_PNP, ID_DEVICEPROPS_DESCRIPTORS}});
    win32::RegisterBitmapResource(nullptr, IDR_DEVICEPROPS_TOOLBAR, tdl::embedded::deviceprops_toolbar_png,
                                  tdl::embedded::deviceprops_toolbar_png_size);
    win32::RegisterMenuResource(
        nullptr, IDR_DEVICEPROPS_DESCRIPTORS,
        {{MF_POPUP,
          0,
          "Descriptors",
          {View(ID_DESCRIPTORS_DEVICE, "&Device"), View(ID_DESCRIPTORS_CONFIGURATION, "&Configuration"),
           View(ID_DESCRIPTORS_HUBCLASS, "&Hub Class"), View(ID_DESCRIPTORS_STRING, "&String")}}});
}
