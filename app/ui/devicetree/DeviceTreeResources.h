// The device tree's and the stack inspector's resources: the bitmaps of their item images and check states.
// The application's resource registration registers them.
#pragma once

void RegisterDeviceTreeResources();
