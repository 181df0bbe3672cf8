// GridOutputImp: the emit back-end of a pane's property grid. It walks the grid's item tree: the current item
// is where new items go, and the item stack holds the path of open items that EndGroup steps back along.
// The categories and items that the look-ups find by caption or id are the pane's, made before any
// decoding; a look-up that finds nothing, and an add with no current item, are ignored.
#pragma once

#include "PtrStack8.h"
#include "SilentOutputImp.h"

class CGkPropertyGrid;
class CGkPropertyGridItem;

// What the back-end needs of the pane that owns the grid; the properties panes implement it.
class GridOutputPane {
public:
    virtual CGkPropertyGrid* GetPropertyGrid() = 0;
    // The colour the pane's grid draws an ordinary value in.
    virtual COLORREF GetNormalValueColour() = 0;

protected:
    ~GridOutputPane() = default;
};

class GridOutputImp : public SilentOutputImp {
public:
    explicit GridOutputImp(GridOutputPane* pane);

    void EnterRecord() override;
    void BeginSection(const CString& name, const CString& itemName, const CString& value) override;
    void ShowCategoryById(UINT id, const char* caption) override;
    void ShowCategory(const CString& caption) override;
    void HideCategory(const CString& caption) override;
    void SetItemValueById(UINT id, const CString& value) override;
    void SetItemValue(const CString& caption, const CString& value) override;
    void SetItemValueColour(const CString& caption, const CString& value, COLORREF colour) override;
    COLORREF GetValueColour() override;
    void HideItem(const CString& caption) override;
    void SetItemDescription(const CString& caption, const CString& description) override;
    void AddDescribedItem(const char* caption, const char* value, const char* description, bool clearFirst) override;
    void BeginValueGroup(const char* caption, const char* value) override;
    void BeginGroup(const char* caption, const char* value) override;
    void BeginCategory(const char* caption) override;
    void AddDataBufferItem(const char* caption) override;
    void AddItem(const char* caption, const char* value, const char* description) override;
    void AddReadOnlyItem(const char* caption, const char* value) override;
    void ExpandCurrent() override;
    void EndGroup() override;
    // Steps back one level on the item stack.
    virtual void PopGroup();

    CGkPropertyGridItem* GetCurrentItem() const { return m_Current; }
    const PtrStack8& GetItemStack() const { return m_Stack; }

    // Cleared by a pane that shows a long tree it does not want opened.
    bool autoExpand;

    // The in-place buttons of the data-buffer item: the data bar's pane and the CSV export command.
    static constexpr UINT kToggleDataBarId = 59525;
    static constexpr UINT kExportCsvId = 240;

private:
    CGkPropertyGridItem* FindCategory(LPCSTR caption) const;
    CGkPropertyGridItem* FindChild(LPCSTR caption) const;
    CGkPropertyGridItem* FindChild(UINT id) const;
    // The item goes on the stack (dropped when it is full) and becomes current; a null item changes nothing.
    void PushCurrent(CGkPropertyGridItem* item);
    // Takes off the stack every entry below `item`, before its children are freed.
    void ForgetDescendantsOf(const CGkPropertyGridItem* item);

    GridOutputPane* m_Pane;
    CGkPropertyGridItem* m_Current;
    PtrStack8 m_Stack;
};
