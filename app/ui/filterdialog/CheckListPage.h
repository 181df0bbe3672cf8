// CCheckListPage: one page of the filter dialog. It is not a window: it owns one of the dialog's check-list
// boxes, lists the codes of one request family by name and moves the check states between that list and the
// family's code bytes of a filter block. It also keeps the family's request-phase (I) and completion-phase (C)
// enable bytes, which follow the dialog's "Started / Completed" group.
//
// A page is described by a table: its items (text and when the item is offered) and the runs of block bytes
// the items map to in list order. Bytes inside a family's range that have no item (codes no system sends)
// are never written, so a definition's other bytes survive the page.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "afxwin.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/system/OSVersion.h"
#include "app/decoders/framework/CodeTable.h"

class CCheckListPage {
public:
    // When an item's check box is offered: the request families' code tables say it.
    using Offer = CodeOffer;
    struct Item {
        const char* text;
        Offer offer = Offer::Always;
    };
    // `count` consecutive block bytes from `first`.
    struct ByteRun {
        size_t first;
        size_t count;
    };
    struct Layout {
        UINT nId;          // string id of the page's heading
        const char* title; // tab text
        UINT nControl;     // the dialog's check-list box
        size_t request;    // I byte
        size_t completion; // C byte
        std::span<const Item> items;
        std::span<const ByteRun> bytes;
    };

    CCheckListPage(const Layout& layout, CCheckListBox* pList, const COSVersion& os);
    CCheckListPage(const CCheckListPage&) = delete;
    CCheckListPage& operator=(const CCheckListPage&) = delete;

    // Any code byte of this page is set.
    virtual bool HasSelection(const CFilterDefinition& filter) const;
    // Binds the list box to its control.
    virtual void DoDataExchange(CDataExchange* pDX);
    // Fills the list (after emptying it): one item per code, enabled as this system offers it.
    virtual void InitList();
    virtual void CheckAll();   // every enabled item
    virtual void UncheckAll(); // every enabled item
    // An item counts as checked only when it is enabled: a disabled item writes 0.
    virtual void SaveToFilter(CFilterDefinition& filter) const;
    virtual void LoadFromFilter(const CFilterDefinition& filter);
    // Sets I and C as given when the page selects something, else clears both; returns HasSelection.
    virtual bool UpdatePhaseEnables(CFilterDefinition& filter, BOOL bRequest, BOOL bCompletion);
    virtual void SetPhaseEnables(CFilterDefinition& filter, BOOL bRequest, BOOL bCompletion);
    // Ors the page's I and C bytes into the pair; returns the new request flag.
    virtual BOOL MergePhaseEnables(const CFilterDefinition& filter, BOOL& bRequest, BOOL& bCompletion);
    virtual ~CCheckListPage();

    int AddItem(LPCSTR lpszText);
    int AddDisabledItem(LPCSTR lpszText);
    int AddItemEnabled(LPCSTR lpszText, BOOL bEnabled);
    void GetItemText(int nIndex, CString& rString) const;

    UINT GetId() const { return m_layout.nId; }
    const char* GetTitle() const { return m_layout.title; }
    UINT GetControlId() const { return m_layout.nControl; }
    CCheckListBox* GetList() const { return m_pList; }
    // The block byte of each item, in list order.
    const std::vector<size_t>& GetItemBytes() const { return m_itemBytes; }
    BOOL IsOffered(Offer offer) const;

private:
    const Layout& m_layout;
    CCheckListBox* m_pList;
    const COSVersion& m_os;
    std::vector<size_t> m_itemBytes;
};
