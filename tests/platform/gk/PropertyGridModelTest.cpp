// The property grid's item tree without a window: look-ups, ownership, selection, the two dumps.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "GkPropertyGrid.h"
#include "GkSameText.h"

namespace {

// Counts how many items and buttons are alive, so that freeing is checked and not only leak-reported.
int g_nLiveItems = 0;
int g_nLiveButtons = 0;

class CCountedItem : public CGkPropertyGridItem {
public:
    explicit CCountedItem(LPCTSTR lpszCaption, LPCTSTR lpszValue = nullptr)
        : CGkPropertyGridItem(lpszCaption, lpszValue) {
        ++g_nLiveItems;
    }
    ~CCountedItem() override { --g_nLiveItems; }
};

class CCountedButton : public CGkPropertyGridInplaceButton {
public:
    explicit CCountedButton(UINT nID) : CGkPropertyGridInplaceButton(nID) { ++g_nLiveButtons; }
    ~CCountedButton() override { --g_nLiveButtons; }
};

// A category "Fields" with members A (10), B (20) holding Deep, a second A (30) and Hidden (40).
struct LookupGrid {
    CGkPropertyGrid grid;
    CGkPropertyGridItem* pCategory = grid.AddCategory("Fields");
    CGkPropertyGridItem* pA = pCategory->AddChildItem(new CGkPropertyGridItem("A", "1"));
    CGkPropertyGridItem* pB = pCategory->AddChildItem(new CGkPropertyGridItem("B", "2"));
    CGkPropertyGridItem* pA2 = pCategory->AddChildItem(new CGkPropertyGridItem("A", "3"));
    CGkPropertyGridItem* pHidden = pCategory->AddChildItem(new CGkPropertyGridItem("Hidden"));
    CGkPropertyGridItem* pDeep = pB->AddChildItem(new CGkPropertyGridItem("Deep"));
    LookupGrid() {
        pA->SetID(10);
        pB->SetID(20);
        pA2->SetID(30);
        pHidden->SetID(40);
        pHidden->SetHidden(TRUE);
        pDeep->SetID(50);
    }
};

TEST(PropertyGridItems, FindItemByCaptionAndId) {
    LookupGrid g;
    CGkPropertyGridItems* pItems = g.pCategory->GetChilds();
    struct Case {
        const char* name;
        CGkPropertyGridItem* found;
        CGkPropertyGridItem* expected;
    } cases[] = {
        {"caption", pItems->FindItem("B"), g.pB},
        {"duplicate caption: the first wins", pItems->FindItem("A"), g.pA},
        {"hidden member", pItems->FindItem("Hidden"), g.pHidden},
        {"caption is exact", pItems->FindItem("a"), nullptr},
        {"grandchild is no member", pItems->FindItem("Deep"), nullptr},
        {"absent caption", pItems->FindItem("Nothing"), nullptr},
        {"null caption", pItems->FindItem(static_cast<LPCTSTR>(nullptr)), nullptr},
        {"id", pItems->FindItem(30u), g.pA2},
        {"hidden by id", pItems->FindItem(40u), g.pHidden},
        {"grandchild id", pItems->FindItem(50u), nullptr},
        {"absent id", pItems->FindItem(99u), nullptr},
        {"category by caption", g.grid.GetCategories()->FindItem("Fields"), g.pCategory},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.found, c.expected) << c.name;
}

TEST(PropertyGridItems, AddChildItemAppendsAndTakesOneOwner) {
    CGkPropertyGrid grid;
    CGkPropertyGridItem* pCategory = grid.AddCategory("C");
    auto* pFirst = new CGkPropertyGridItem("first");
    EXPECT_EQ(pCategory->AddChildItem(pFirst), pFirst);
    CGkPropertyGridItem* pSecond = pCategory->AddChildItem(new CGkPropertyGridItem("second"));
    CGkPropertyGridItem* pThird = pCategory->AddChildItem(new CGkPropertyGridItem("third"));
    CGkPropertyGridItems* pChilds = pCategory->GetChilds();
    ASSERT_EQ(pChilds->GetCount(), 3);
    EXPECT_EQ(pChilds->GetAt(0), pFirst);
    EXPECT_EQ(pChilds->GetAt(1), pSecond);
    EXPECT_EQ(pChilds->GetAt(2), pThird);
    EXPECT_EQ(pChilds->GetAt(3), nullptr);
    EXPECT_EQ(pChilds->GetAt(-1), nullptr);
    EXPECT_EQ(pSecond->GetParentItem(), pCategory);
    EXPECT_EQ(pSecond->GetGrid(), &grid);
    EXPECT_EQ(pSecond->GetIndent(), 1);

    // An item already owned, the item itself, or an ancestor is refused instead of owned twice or looped.
    EXPECT_EQ(pThird->AddChildItem(pSecond), nullptr);
    EXPECT_EQ(pThird->AddChildItem(pThird), nullptr);
    EXPECT_EQ(pThird->AddChildItem(pCategory), nullptr);
    EXPECT_EQ(grid.AddCategory(pFirst), nullptr);
    EXPECT_EQ(pCategory->AddChildItem(nullptr), nullptr);
    EXPECT_EQ(pChilds->GetCount(), 3);
    EXPECT_EQ(pThird->GetChilds()->GetCount(), 0);

    // A subtree built outside the grid joins it whole.
    auto* pGroup = new CGkPropertyGridItem("group");
    CGkPropertyGridItem* pLeaf = pGroup->AddChildItem(new CGkPropertyGridItem("leaf"));
    EXPECT_EQ(pLeaf->GetGrid(), nullptr);
    pCategory->AddChildItem(pGroup);
    EXPECT_EQ(pLeaf->GetGrid(), &grid);
    EXPECT_EQ(pLeaf->GetIndent(), 2);
}

TEST(PropertyGridItems, ClearAndDestructionFreeItemsAndButtons) {
    {
        CGkPropertyGrid grid;
        CGkPropertyGridItem* pCategory = grid.AddCategory(new CCountedItem("C"));
        CGkPropertyGridItem* pGroup = pCategory->AddChildItem(new CCountedItem("group"));
        pGroup->AddChildItem(new CCountedItem("leaf"));
        pGroup->GetInplaceButtons()->AddButton(new CCountedButton(1));
        pCategory->AddChildItem(new CCountedItem("other"))->GetInplaceButtons()->AddButton(new CCountedButton(2));
        EXPECT_EQ(g_nLiveItems, 4);
        EXPECT_EQ(g_nLiveButtons, 2);

        pCategory->Expand();
        pGroup->Expand();
        ASSERT_TRUE(pGroup->GetChilds()->GetAt(0)->Select());
        pCategory->GetChilds()->Clear();
        EXPECT_EQ(pCategory->GetChilds()->GetCount(), 0);
        EXPECT_EQ(g_nLiveItems, 1);
        EXPECT_EQ(g_nLiveButtons, 0);
        // The selection was below a removed item.
        EXPECT_EQ(grid.GetSelectedItem(), nullptr);

        pCategory->AddChildItem(new CCountedItem("again"))->GetInplaceButtons()->AddButton(new CCountedButton(3));
        grid.AddCategory(new CCountedItem("D"))->AddChildItem(new CCountedItem("x"));
        EXPECT_EQ(g_nLiveItems, 4);
    }
    EXPECT_EQ(g_nLiveItems, 0);
    EXPECT_EQ(g_nLiveButtons, 0);
}

TEST(PropertyGridItems, RemovedSelectionIsNoLongerSelected) {
    LookupGrid g;
    g.pCategory->Expand();
    ASSERT_TRUE(g.pA2->Select());
    EXPECT_TRUE(g.pA2->IsSelected());
    EXPECT_FALSE(g.pCategory->GetChilds()->RemoveItem(g.pDeep)); // not a direct member
    g.pA->Remove();
    EXPECT_EQ(g.grid.GetSelectedItem(), g.pA2);
    g.pA2->Remove();
    EXPECT_EQ(g.grid.GetSelectedItem(), nullptr);
    EXPECT_EQ(g.pCategory->GetChilds()->GetCount(), 2);
    g.grid.ResetContent();
    EXPECT_EQ(g.grid.GetCategories()->GetCount(), 0);
}

TEST(PropertyGridItems, SpareItemsLeaveTheModelAndComeBackChildless) {
    {
        CGkPropertyGrid grid;
        CGkPropertyGridItem* pCategory = grid.AddCategory(new CCountedItem("C"));
        CGkPropertyGridItem* pGroup = pCategory->AddChildItem(new CCountedItem("group", "1"));
        CGkPropertyGridItem* pLeaf = pGroup->AddChildItem(new CCountedItem("leaf"));
        CGkPropertyGridItem* pInner = pGroup->AddChildItem(new CGkPropertyGridItemCategory("inner"));
        pCategory->AddChildItem(new CCountedItem("stays"));
        pCategory->Expand();
        pGroup->Expand();
        ASSERT_TRUE(pLeaf->Select());
        const CString before = grid.DumpModel();

        grid.KeepSpareItem(pGroup);
        // Out of the model and the look-ups, the selection below it dropped, nothing freed.
        EXPECT_STREQ(grid.DumpModel(0).GetString(), "C =\n  stays =\n");
        EXPECT_EQ(pCategory->GetChilds()->FindItem("group"), nullptr);
        EXPECT_EQ(grid.GetSelectedItem(), nullptr);
        EXPECT_EQ(grid.GetSpareItemCount(), 3);
        EXPECT_EQ(g_nLiveItems, 4);

        // Each comes back alone, of the kind asked for, in no grid; the caller puts it where it wants it.
        CGkPropertyGridItem* pCategorySpare = grid.TakeSpareItem(TRUE);
        EXPECT_EQ(pCategorySpare, pInner);
        EXPECT_EQ(grid.TakeSpareItem(TRUE), nullptr);
        std::set<CGkPropertyGridItem*> items;
        while (CGkPropertyGridItem* pItem = grid.TakeSpareItem(FALSE)) {
            EXPECT_FALSE(pItem->IsCategory());
            EXPECT_EQ(pItem->GetGrid(), nullptr);
            EXPECT_EQ(pItem->GetParentItem(), nullptr);
            EXPECT_FALSE(pItem->HasChilds());
            items.insert(pItem);
        }
        EXPECT_EQ(items, (std::set<CGkPropertyGridItem*>{pGroup, pLeaf}));
        EXPECT_EQ(pCategory->GetChilds()->IndexOf(pCategory->AddChildItem(pGroup)), 1);
        EXPECT_EQ(pGroup->GetGrid(), &grid);
        pGroup->AddChildItem(pLeaf);
        pGroup->AddChildItem(pInner);
        EXPECT_NE(grid.DumpModel(), before); // "stays" is first now
        // An item that is not the grid's is left alone; spares are freed with the grid.
        CGkPropertyGrid other;
        other.KeepSpareItem(pLeaf);
        EXPECT_EQ(pLeaf->GetParentItem(), pGroup);
        EXPECT_EQ(other.GetSpareItemCount(), 0);
        grid.KeepSpareItem(pCategory);
        EXPECT_EQ(grid.GetCategories()->GetCount(), 0);
        EXPECT_EQ(grid.GetSpareItemCount(), 5);
    }
    EXPECT_EQ(g_nLiveItems, 0);
}

// The category look-up's kept answers never outlive a change of the top level.
TEST(PropertyGridItems, FindCategoryFollowsTheTopLevel) {
    CGkPropertyGrid grid;
    CGkPropertyGridItem* pFirst = grid.AddCategory("One");
    CGkPropertyGridItem* pSecond = grid.AddCategory("Two");
    CString one = "One";
    CString two = "Two";
    EXPECT_EQ(grid.FindCategory(one), pFirst);
    EXPECT_EQ(grid.FindCategory(one), pFirst);
    EXPECT_EQ(grid.FindCategory(two), pSecond);
    EXPECT_EQ(grid.FindCategory(static_cast<LPCTSTR>(nullptr)), nullptr);

    // The same string with another text.
    CString label = "One";
    EXPECT_EQ(grid.FindCategory(label), pFirst);
    label.SetString("Two");
    EXPECT_EQ(grid.FindCategory(label), pSecond);

    // A renamed category, one added before a duplicate, one removed, one kept spare, and all cleared.
    pFirst->SetCaption("Two");
    EXPECT_EQ(grid.FindCategory(two), pFirst);
    EXPECT_EQ(grid.FindCategory(one), nullptr);
    pFirst->SetCaption("One");
    EXPECT_EQ(grid.FindCategory(two), pSecond);
    EXPECT_EQ(grid.FindCategory(one), pFirst);
    pFirst->Remove();
    EXPECT_EQ(grid.FindCategory(one), nullptr);
    CGkPropertyGridItem* pNew = grid.AddCategory("One");
    EXPECT_EQ(grid.FindCategory(one), pNew);
    grid.KeepSpareItem(pNew);
    EXPECT_EQ(grid.FindCategory(one), nullptr);
    EXPECT_EQ(grid.FindCategory(two), pSecond);
    grid.ResetContent();
    EXPECT_EQ(grid.FindCategory(two), nullptr);
    // A child's caption is no category's.
    CGkPropertyGridItem* pThird = grid.AddCategory("Three");
    pThird->AddChildItem(new CGkPropertyGridItem("One"));
    EXPECT_EQ(grid.FindCategory(one), nullptr);
}

// Captions given with their length: the characters past it are not the caption's, and two captions that
// share a length and their first, middle and last characters are still told apart.
TEST(PropertyGridItems, CountedCaptionsAreExact) {
    CGkPropertyGrid grid;
    CGkPropertyGridItem* pFirst = grid.AddCategory("AbcdeF");
    CGkPropertyGridItem* pSecond = grid.AddCategory("AxcdeF");
    CGkPropertyGridItem* pItem = pFirst->AddChildItem(new CGkPropertyGridItem("Status"));
    for (int round = 0; round < 2; ++round) { // the second round answers from the kept hits
        EXPECT_EQ(grid.FindCategory("AbcdeF"), pFirst);
        EXPECT_EQ(grid.FindCategory("AxcdeF"), pSecond);
        EXPECT_EQ(grid.FindCategory("AbcdeF and more", 6), pFirst);
        EXPECT_EQ(grid.FindCategory("AbcdeF", 5), nullptr);
        EXPECT_EQ(grid.FindCategory("AxcdeG"), nullptr);
        EXPECT_EQ(pFirst->GetChilds()->FindItem("Status code", 6), pItem);
        EXPECT_EQ(pFirst->GetChilds()->FindItem("Status", 5), nullptr);
    }
    EXPECT_EQ(grid.FindCategory("AbcdeF", -1), nullptr);

    pItem->SetCaption("Record number", 6);
    EXPECT_EQ(pItem->GetCaption(), "Record");
    pItem->SetDescription("The sequence", 3);
    EXPECT_EQ(pItem->GetDescription(), "The");
    pItem->SetDescription(nullptr, 4);
    EXPECT_EQ(pItem->GetDescription(), "");

    // A value is kept only when it is the item's and no bound string waits for it.
    pItem->SetValue("0x10");
    EXPECT_TRUE(pItem->IsValueKept("0x10 more", 4));
    EXPECT_FALSE(pItem->IsValueKept("0x10", 3));
    EXPECT_FALSE(pItem->IsValueKept("0x11", 4));
    CString strBound;
    CGkPropertyGridItem bound("Bound", "0x10", &strBound);
    EXPECT_FALSE(bound.IsValueKept("0x10", 4));

    // Set from characters: only those counted, and a bound string written even with the value unchanged.
    pItem->SetValueText("0x20 more", 4);
    EXPECT_EQ(pItem->GetValue(), "0x20");
    pItem->SetValueText(nullptr, 3);
    EXPECT_EQ(pItem->GetValue(), "");
    strBound = "edited elsewhere";
    bound.SetValueText("0x10", 4);
    EXPECT_EQ(strBound, "0x10");
    EXPECT_EQ(bound.GetValue(), "0x10");
}

// Equal runs of every length up to past the word sizes, and a difference at each position of them; each run
// is an allocation of its own length, so that a read past it is caught.
TEST(PropertyGridItems, SameTextSeesEveryCharacter) {
    for (size_t n = 0; n <= 24; ++n) {
        const std::vector<char> a(n, 'q');
        EXPECT_TRUE(GkSameText(a.data(), std::vector<char>(n, 'q').data(), n)) << n;
        for (size_t i = 0; i < n; ++i) {
            std::vector<char> b = a;
            b[i] = 'r';
            EXPECT_FALSE(GkSameText(a.data(), b.data(), n)) << n << " at " << i;
        }
    }
}

TEST(PropertyGridSelection, OnlyShownItemsAreSelected) {
    LookupGrid g;
    CGkPropertyGrid other;
    auto* pLoose = new CGkPropertyGridItem("loose");
    EXPECT_FALSE(pLoose->Select()); // in no grid
    delete pLoose;

    EXPECT_FALSE(g.pB->Select()); // category collapsed
    EXPECT_TRUE(g.pCategory->Select());
    g.pCategory->Expand();
    EXPECT_FALSE(g.pHidden->Select());
    EXPECT_FALSE(g.pDeep->Select()); // B collapsed
    EXPECT_FALSE(other.SetSelectedItem(g.pB));
    g.pB->Expand();
    ASSERT_TRUE(g.pDeep->Select());

    // Collapsing an ancestor moves the selection onto it; hiding drops it.
    g.pB->Collapse();
    EXPECT_EQ(g.grid.GetSelectedItem(), g.pB);
    g.pB->SetHidden(TRUE);
    EXPECT_EQ(g.grid.GetSelectedItem(), nullptr);
    g.pB->SetHidden(FALSE);

    // A category is no row in the alphabetical view, so it loses the selection there.
    g.pCategory->Select();
    g.grid.SetPropertySort(gkGridSortAlphabetical);
    EXPECT_EQ(g.grid.GetSelectedItem(), nullptr);
    g.pCategory->Collapse();
    EXPECT_TRUE(g.pA->Select()); // the category's state does not hide its items there
    EXPECT_TRUE(g.grid.SetSelectedItem(nullptr));
    EXPECT_EQ(g.grid.GetSelectedItem(), nullptr);
}

// A grid with every attribute the model dump shows.
struct FullGrid {
    CGkPropertyGrid grid;
    CString strBound = "bound";
    FullGrid() {
        CGkPropertyGridItem* pEntry = grid.AddCategory("Log Entry");
        pEntry->Expand();
        CGkPropertyGridItem* pType = pEntry->AddChildItem(new CGkPropertyGridItem("Type", "URB"));
        pType->SetDescription("One of URB, PNP");
        pType->SetReadOnly(TRUE);
        CGkPropertyGridItem* pStatus = pEntry->AddChildItem(new CGkPropertyGridItem("Status"));
        pStatus->SetValue("STATUS_UNSUCCESSFUL");
        pStatus->GetValueMetrics()->m_clrFore = RGB(255, 0, 0);
        CGkPropertyGridItem* pGroup = pEntry->AddChildItem(new CGkPropertyGridItem("Header", "0x10"));
        pGroup->GetCaptionMetrics()->m_clrFore = 0xFF0000;
        pGroup->GetCaptionMetrics()->m_clrBack = 0xEBEBEB;
        pGroup->Expand();
        CGkPropertyGridItem* pLength = pGroup->AddChildItem(new CGkPropertyGridItem("Length", "0x0012"));
        pLength->GetValueMetrics()->m_clrBack = 0xFAFAFA;
        pGroup->AddChildItem(new CGkPropertyGridItem("Bound", nullptr, &strBound));

        CGkPropertyGridItem* pTarget = grid.AddCategory("Target");
        pTarget->SetHidden(TRUE);
        pTarget->Expand();
        CGkPropertyGridItem* pDevice = pTarget->AddChildItem(new CGkPropertyGridItem("DeviceObject", "..."));
        pDevice->SetID(5000);

        CGkPropertyGridItem* pUrb = grid.AddCategory("URB");
        pUrb->Expand();
        CGkPropertyGridItem* pBuffer = pUrb->AddChildItem(new CGkPropertyGridItem("TransferBuffer"));
        pBuffer->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(59525))->SetCaption("Toggle Databar");
        pBuffer->GetValueMetrics()->m_dwFlags |= 1;
        pBuffer->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(240))->SetCaption("Export as CSV...");
        pBuffer->GetValueMetrics()->m_dwFlags |= 1;
        CGkPropertyGridItem* pSection = pUrb->AddChildItem(new CGkPropertyGridItemCategory("Setup Packet"));
        pSection->AddChildItem(new CGkPropertyGridItem("bRequest", "0x06"));
        pUrb->AddChildItem(new CGkPropertyGridItem("Function", "0x0008"))->SetHidden(TRUE);
    }
};

TEST(PropertyGridDump, ModelShowsEveryAttribute) {
    FullGrid g;
    EXPECT_STREQ(g.grid.DumpModel().GetString(),
                 "Log Entry [category] [expanded]\n"
                 "  Type = URB [description \"One of URB, PNP\"] [read-only]\n"
                 "  Status = STATUS_UNSUCCESSFUL [value text 0x0000FF]\n"
                 "  Header = 0x10 [expanded] [caption text 0xFF0000] [caption back 0xEBEBEB]\n"
                 "    Length = 0x0012 [value back 0xFAFAFA]\n"
                 "    Bound = bound\n"
                 "Target [category] [hidden] [expanded]\n"
                 "  DeviceObject = ... [id 5000]\n"
                 "URB [category] [expanded]\n"
                 "  TransferBuffer = [value flags 0x1] {59525 Toggle Databar} {240 Export as CSV...}\n"
                 "  Setup Packet [category]\n"
                 "    bRequest = 0x06\n"
                 "  Function = 0x0008 [hidden]\n");
    // Markers a caller leaves out do not show.
    EXPECT_STREQ(
        CGkPropertyGrid::DumpItems(g.grid.GetCategories()->FindItem("URB")->GetChilds(), gkDumpButtons).GetString(),
        "TransferBuffer = {59525 Toggle Databar} {240 Export as CSV...}\n"
        "Setup Packet\n"
        "  bRequest = 0x06\n"
        "Function = 0x0008\n");
}

TEST(PropertyGridDump, SortModeChangesOnlyTheView) {
    FullGrid g;
    const CString strModel = g.grid.DumpModel();
    EXPECT_STREQ(g.grid.DumpView().GetString(), "[-] Log Entry\n"
                                                "  Type = URB\n"
                                                "  Status = STATUS_UNSUCCESSFUL\n"
                                                "  [-] Header = 0x10\n"
                                                "    Length = 0x0012\n"
                                                "    Bound = bound\n"
                                                "[-] URB\n"
                                                "  TransferBuffer =\n"
                                                "  [+] Setup Packet\n");
    g.grid.SetPropertySort(gkGridSortAlphabetical);
    EXPECT_EQ(g.grid.GetPropertySort(), gkGridSortAlphabetical);
    EXPECT_STREQ(g.grid.DumpView().GetString(), "[-] Header = 0x10\n"
                                                "  Length = 0x0012\n"
                                                "  Bound = bound\n"
                                                "[+] Setup Packet\n"
                                                "Status = STATUS_UNSUCCESSFUL\n"
                                                "TransferBuffer =\n"
                                                "Type = URB\n");
    EXPECT_EQ(g.grid.DumpModel(), strModel);

    // Buttons show on the selected row, or on every row when so set.
    g.grid.SetPropertySort(gkGridSortCategorized);
    g.grid.GetCategories()->FindItem("URB")->GetChilds()->FindItem("TransferBuffer")->Select();
    EXPECT_NE(g.grid.DumpView().Find("  TransferBuffer = [Toggle Databar] [Export as CSV...] <selected>\n"), -1);
    g.grid.SetSelectedItem(nullptr);
    EXPECT_EQ(g.grid.DumpView().Find("[Toggle Databar]"), -1);
    g.grid.SetShowInplaceButtonsAlways(TRUE);
    EXPECT_NE(g.grid.DumpView().Find("  TransferBuffer = [Toggle Databar] [Export as CSV...]\n"), -1);
}

TEST(PropertyGridItem, BoundStringFollowsTheValue) {
    CString strBound = "initial";
    CGkPropertyGridItem item("Caption", nullptr, &strBound);
    EXPECT_EQ(item.GetValue(), "initial");
    EXPECT_FALSE(item.IsValueChanged());
    item.SetValue("changed");
    EXPECT_EQ(strBound, "changed");
    EXPECT_TRUE(item.IsValueChanged());
    // Setting the value the item already holds still writes a bound string changed behind its back.
    strBound = "edited elsewhere";
    item.SetValue("changed");
    EXPECT_EQ(strBound, "changed");
    CString strOther = "ignored";
    CGkPropertyGridItem given("Caption", "given", &strOther);
    EXPECT_EQ(strOther, "given");
}

TEST(PaintManagerColor, DefaultReadsAsTheThemeColour) {
    CGkPropertyGrid grid;
    grid.SetTheme(6);
    CGkPropertyGridItem* pCategory = grid.AddCategory("C");
    CGkPropertyGridItem* pItem = pCategory->AddChildItem(new CGkPropertyGridItem("Record", "1"));
    const GkPropertyGridColors colors = grid.GetPaintManager()->GetColors();
    CGkPaintManagerColor& clrValue = pItem->GetValueMetrics()->m_clrFore;
    EXPECT_TRUE(clrValue.IsDefaultValue());
    EXPECT_EQ(static_cast<COLORREF>(clrValue), colors.clrText);
    EXPECT_EQ(static_cast<COLORREF>(pCategory->GetCaptionMetrics()->m_clrBack), colors.clrCategoryBack);
    EXPECT_EQ(static_cast<COLORREF>(pItem->GetCaptionMetrics()->m_clrBack), colors.clrWindow);

    clrValue = 255;
    EXPECT_FALSE(clrValue.IsDefaultValue());
    EXPECT_EQ(static_cast<COLORREF>(clrValue), 255u);
    // A theme change moves the defaults, never a colour the program set.
    grid.SetTheme(2);
    EXPECT_EQ(static_cast<COLORREF>(clrValue), 255u);
    EXPECT_EQ(static_cast<COLORREF>(pCategory->GetCaptionMetrics()->m_clrBack),
              grid.GetPaintManager()->GetColors().clrCategoryBack);
    EXPECT_NE(grid.GetPaintManager()->GetColors().clrCategoryBack, colors.clrCategoryBack);
    clrValue.SetDefaultValue();
    EXPECT_EQ(static_cast<COLORREF>(clrValue), grid.GetPaintManager()->GetColors().clrText);
}

} // namespace
