#include "app/ui/SystemPropertiesWnd.h"

IMPLEMENT_DYNAMIC(CSystemPropertiesWnd, CPropertiesWnd)

void CSystemPropertiesWnd::ResetCategory() {}

void CSystemPropertiesWnd::ShowSystemInformation() {}

void CSystemPropertiesWnd::ShowLogFileInformation() {}
