#include "app/ui/SpecialGridList.h"

IMPLEMENT_DYNAMIC(CSpecialGridList, COXGridList)

void CSpecialGridList::OnPopulateList(CDeviceStack*) {}

void CSpecialGridList::OnClearList() {}

void CSpecialGridList::OnCheckAll() {}

void CSpecialGridList::OnUnCheckAll() {}

void CSpecialGridList::DeviceModelChanging(CUSBLog*) {}
