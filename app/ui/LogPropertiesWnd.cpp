#include "app/ui/LogPropertiesWnd.h"

IMPLEMENT_DYNAMIC(CLogPropertiesWnd, CWnd)

void CLogPropertiesWnd::ClearRecord() {}
