// A pane for the property-grid back-end in tests: an in-memory grid with the Log Details pane's kind of
// categories, all hidden as the pane keeps them between records, and a settable ordinary value colour.
#pragma once

#include <string>

#include "GkPropertyGrid.h"
#include "app/decoders/framework/GridOutputImp.h"

namespace tdl::test {

class TestGridPane : public GridOutputPane {
public:
    // A category with an id, for ShowCategoryById.
    static constexpr UINT kKindCategoryId = 77;

    TestGridPane() {
        CGkPropertyGridItem* logEntry = m_grid.AddCategory("Log Entry");
        for (const char* caption : {"Type", "State", "Record", "Status"})
            AddReadOnly(logEntry, caption, 0);
        CGkPropertyGridItem* target = m_grid.AddCategory("Target");
        AddReadOnly(target, "DeviceObject", 5000)->SetValue("...");
        AddReadOnly(target, "DriverObject", 5002)->SetValue("...");
        for (const char* caption : {"IRP", "URB", "PNP"})
            m_grid.AddCategory(caption);
        m_grid.AddCategory("Kind")->SetID(kKindCategoryId);
        for (int i = 0; i < m_grid.GetCategories()->GetCount(); ++i)
            m_grid.GetCategories()->GetAt(i)->SetHidden(TRUE);
    }

    CGkPropertyGrid* GetPropertyGrid() override { return &m_grid; }
    COLORREF GetNormalValueColour() override { return m_valueColour; }

    void SetNormalValueColour(COLORREF colour) { m_valueColour = colour; }
    CGkPropertyGrid& Grid() { return m_grid; }
    CGkPropertyGridItem* Category(LPCSTR caption) { return m_grid.GetCategories()->FindItem(caption); }
    std::string Dump(DWORD markers = gkDumpAll) const {
        CString dump = m_grid.DumpModel(markers);
        return std::string(dump.GetString(), static_cast<size_t>(dump.GetLength()));
    }

    // Whether `item` is null or an item of this grid.
    bool HoldsOrNull(const CGkPropertyGridItem* item) const {
        return item == nullptr || Holds(m_grid.GetCategories(), item);
    }

private:
    static CGkPropertyGridItem* AddReadOnly(CGkPropertyGridItem* parent, LPCSTR caption, UINT id) {
        auto* item = parent->AddChildItem(new CGkPropertyGridItem(caption));
        item->SetID(id);
        item->SetReadOnly(TRUE);
        return item;
    }
    static bool Holds(const CGkPropertyGridItems* items, const CGkPropertyGridItem* item) {
        for (int i = 0; i < items->GetCount(); ++i) {
            if (items->GetAt(i) == item || Holds(items->GetAt(i)->GetChilds(), item))
                return true;
        }
        return false;
    }

    CGkPropertyGrid m_grid;
    COLORREF m_valueColour = 0x00123456;
};

} // namespace tdl::test
