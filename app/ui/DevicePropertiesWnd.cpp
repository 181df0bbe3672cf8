#include "app/ui/DevicePropertiesWnd.h"

IMPLEMENT_DYNAMIC(CDevicePropertiesWnd, CWnd)

void CDevicePropertiesWnd::ClearProperties() {}
