#include "app/ui/LogPropertiesWnd.h"

IMPLEMENT_DYNAMIC(CLogPropertiesWnd, CWnd)

void CLogPropertiesWnd::ClearRecord() {}

void CLogPropertiesWnd::ShowRecord(CUSBLog*, INT_PTR) {}
