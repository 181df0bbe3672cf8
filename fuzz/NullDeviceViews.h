// Device-model views for the fuzz targets: they accept everything and hand out distinct items, so the
// fillers walk the whole model and touch every object they reach.
#pragma once

#include <cstdint>

#include "app/devices/DeviceViews.h"

class NullDeviceViews : public IStacksTab, public IDriversTab, public IStackGridList {
public:
    HTREEITEM InsertStackItem(LPCSTR, HTREEITEM, CDeviceStack*) override { return Next(); }
    void SetItemCheckState(HTREEITEM, int) override {}
    void ExpandItem(HTREEITEM) override {}
    HTREEITEM InsertItemImage6(LPCSTR, HTREEITEM, CDriverObject*) override { return Next(); }
    HTREEITEM InsertItemImage10(LPCSTR, HTREEITEM, CDriverObject*) override { return Next(); }
    HTREEITEM InsertItemImage7(LPCSTR, HTREEITEM, CDeviceObject*) override { return Next(); }
    HTREEITEM InsertItemImage9(LPCSTR, HTREEITEM, CDeviceObject*) override { return Next(); }
    void SetItemStateImage(HTREEITEM, UINT, LPCSTR) override {}
    BOOL InsertRow(int, CDeviceObject*, int, LPCSTR, LPCSTR, LPCSTR, int) override { return TRUE; }

private:
    HTREEITEM Next() { return reinterpret_cast<HTREEITEM>(++m_last); }
    uintptr_t m_last = 1;
};
