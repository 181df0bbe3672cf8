#include "app/ui/SystemPropertiesWnd.h"

IMPLEMENT_DYNAMIC(CSystemPropertiesWnd, CWnd)

void CSystemPropertiesWnd::ResetCategory() {}

void CSystemPropertiesWnd::ShowSystemInformation() {}

void CSystemPropertiesWnd::ShowLogFileInformation() {}
