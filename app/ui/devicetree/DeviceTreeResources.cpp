#include "app/ui/devicetree/DeviceTreeResources.h"

#include "WinResourceTable.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "tindaloft_app_embedded.h"

void RegisterDeviceTreeResources() {
    win32::RegisterBitmapResource(nullptr, IDB_DEVICE_TREE_IMAGES, tdl::embedded::devicetree_images_png,
                                  tdl::embedded::devicetree_images_png_size);
    win32::RegisterBitmapResource(nullptr, IDB_DEVICE_TREE_STATES, tdl::embedded::devicetree_states_png,
                                  tdl::embedded::devicetree_states_png_size);
}
