// The Device Properties pane's resources: its toolbar with its images, the menu of its Descriptors button,
// and the captions of the two buttons. The application's resource registration registers them.
#pragma once

void RegisterDevicePropertiesResources();
