// GridOutputImp: the emit back-end of a pane's property grid. It walks the grid's item tree: the current item
// is where new items go, and the item stack holds the path of open items that EndGroup steps back along.
// The categories and items that the look-ups find by caption or id are the pane's, made before any
// decoding; a look-up that finds nothing, and an add with no current item, are ignored.
//
// Rows are made again rather than anew: clearing an item's children for the next record keeps them for the
// rows that follow, each add taking over the next kept child of its kind (caption, value, description,
// style and state set as a new item's; an item and a data-buffer item stand in for each other), so that a
// pane showing record after record makes and frees no items once it has shown one of each shape. The
// children none took over leave the model when their parent's group is closed, when a record is entered, and
// when the run ends (until then they are out of reach of the look-ups), as the grid's spare items: a later
// record that needs more rows than the one before takes them back before it makes any.
#pragma once

#include "LogProperties.h"
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
    ~GridOutputImp() override;
    GridOutputImp(const GridOutputImp&) = delete;
    GridOutputImp& operator=(const GridOutputImp&) = delete;

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
    // The kinds of item an add makes; a kept child is taken over only by an add of its kind.
    enum class Kind { Item, Category, DataBuffer };
    // A parent whose children from before are kept: the index of the next one an add takes over.
    struct Rewrite {
        CGkPropertyGridItem* parent;
        int next;
    };
    static constexpr int kRewrites = 16;

    Rewrite* FindRewrite(const CGkPropertyGridItem* parent);
    // The parent's children are kept for the adds that follow (freed at once when no slot is left).
    void StartRewrite(CGkPropertyGridItem* parent);
    // Frees the parent's children no add took over.
    void FinishRewrite(CGkPropertyGridItem* parent);
    // Finishes the rewrites of `top` and of everything below it (of all, when it is null).
    void FinishFrom(const CGkPropertyGridItem* top);
    // Forgets the rewrites of `item`'s descendants.
    void DropRewritesBelow(const CGkPropertyGridItem* item);
    // The next kept child of the current item of that kind (those of other kinds before it retired), or else
    // one of the grid's spare items appended to the current item; an item and a data-buffer item take each
    // other's place, their buttons changed. The caller makes it blank as a new item is. Null when there is
    // neither.
    CGkPropertyGridItem* Reuse(Kind kind);
    // A row no longer wanted goes to the grid's spare items (out of the model and the dumps), for a later
    // record that needs more rows; freed when it is in no grid.
    static void Retire(CGkPropertyGridItem* item);
    // A spare item of the kind, appended to the current item; null when the grid keeps none.
    CGkPropertyGridItem* AddSpare(Kind kind);
    // After an add appended a child to the current item.
    void Appended();
    // An item of the style, reused or made.
    CGkPropertyGridItem* AddStyled(GridItemStyle style, const char* caption, const char* value,
                                   const char* description);
    // Whether the child is one the current item's rewrite has taken over or made (a look-up's result).
    bool IsCurrentRow(const CGkPropertyGridItem* child);

    // The pane's grid, asked for once: a record's categories are looked up a dozen times.
    CGkPropertyGrid* Grid() const;
    CGkPropertyGridItem* FindCategory(const CString& caption) const;
    CGkPropertyGridItem* FindChild(const CString& caption);
    CGkPropertyGridItem* FindChild(UINT id);
    // The item goes on the stack (dropped when it is full) and becomes current; a null item changes nothing.
    void PushCurrent(CGkPropertyGridItem* item);
    // Takes off the stack every entry below `item`, before its children are freed.
    void ForgetDescendantsOf(const CGkPropertyGridItem* item);

    GridOutputPane* m_Pane;
    mutable CGkPropertyGrid* m_Grid = nullptr;
    CGkPropertyGridItem* m_Current;
    PtrStack8 m_Stack;
    Rewrite m_Rewrites[kRewrites];
    int m_RewriteCount = 0;
};
