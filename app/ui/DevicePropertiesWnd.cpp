#include "app/ui/DevicePropertiesWnd.h"

IMPLEMENT_DYNAMIC(CDevicePropertiesWnd, CPropertiesWnd)

void CDevicePropertiesWnd::ClearProperties() {}
