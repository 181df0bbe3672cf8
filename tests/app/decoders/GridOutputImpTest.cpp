// The property-grid back-end: the items it adds in each style, how the current item and the item stack move,
// and what it leaves alone.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EmitCalls.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/LogProperties.h"
#include "tests/support/TestGridPane.h"

namespace {

using tdl::test::TestGridPane;

class GridOutputImpTest : public ::testing::Test {
protected:
    std::string Children(LPCSTR category) {
        CString dump = CGkPropertyGrid::DumpItems(m_pane.Category(category)->GetChilds());
        return std::string(dump.GetString(), static_cast<size_t>(dump.GetLength()));
    }
    uint32_t Depth() const { return m_out.GetItemStack().GetCount(); }

    TestGridPane m_pane;
    GridOutputImp m_out{&m_pane};
};

TEST_F(GridOutputImpTest, OperationsOfOtherMediaChangeNothingAndTheValueColourIsThePanes) {
    m_out.ShowCategory("URB");
    m_out.BeginGroup("Open", "1");
    const std::string before = m_pane.Dump();
    CGkPropertyGridItem* current = m_out.GetCurrentItem();
    for (const emit_test::EmitCall& call :
         emit_test::CallsOtherThan({6, 8, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30})) {
        call.call(m_out);
        EXPECT_EQ(before, m_pane.Dump()) << call.name;
        EXPECT_EQ(current, m_out.GetCurrentItem()) << call.name;
        EXPECT_EQ(2u, Depth()) << call.name;
    }
    EXPECT_EQ(0x123456u, m_out.GetValueColour());
    m_pane.SetNormalValueColour(0xABCDEF);
    EXPECT_EQ(0xABCDEFu, m_out.GetValueColour());
}

TEST_F(GridOutputImpTest, TheFiveStylesCarryTheirColoursAndReadOnlyFlags) {
    m_out.ShowCategory("URB");
    m_out.AddItem("Plain", "1", "a field");
    m_out.AddItem("No value", nullptr, nullptr);
    m_out.AddDescribedItem("Described", "2", "why", false);
    m_out.AddReadOnlyItem("Failed", "STATUS_STALL");
    m_out.BeginValueGroup("Group", "3");
    m_out.EndGroup();
    m_out.BeginCategory("Section");
    m_out.EndGroup();
    m_out.AddDataBufferItem("Data");
    EXPECT_EQ("Plain = 1 [description \"a field\"] [read-only]\n"
              "No value = [read-only]\n"
              "Described = 2 [description \"why\"] [read-only] [caption text 0x000000] [caption back 0xFAFAFA] "
              "[value back 0xFAFAFA]\n"
              "Failed = STATUS_STALL [read-only] [value text 0x0000FF]\n"
              "Group = 3 [read-only] [caption text 0xFF0000] [caption back 0xEBEBEB]\n"
              "Section [category]\n"
              "Data = [value flags 0x1] {59525 Toggle Databar} {240 Export as CSV...}\n",
              Children("URB"));
    EXPECT_FALSE(m_pane.Category("URB")->IsHidden());
}

TEST_F(GridOutputImpTest, PreparedItemsAreFoundByCaptionOrIdAndFilled) {
    m_out.HideCategory("Log Entry");
    m_out.ShowCategory("Log Entry");
    m_out.SetItemValue("Record", "42");
    m_out.SetItemValueColour("Status", "STATUS_SUCCESS", 0x123456);
    m_out.SetItemDescription("State", "One of Initiated, Returned, or Completed.");
    m_out.HideItem("Type");
    m_out.EnterRecord();
    m_out.ShowCategoryById(TestGridPane::kKindCategoryId, "PWR");
    m_out.BeginSection("Target", "DeviceObject", "\\Device\\USBPDO-3"); // the current item stays
    m_out.BeginSection("IRP", "Missing", "x");
    m_out.ShowCategory("Target");
    m_out.SetItemValueById(5002, "\\Driver\\usbhub");
    m_out.HideCategory("PNP");
    EXPECT_EQ("Log Entry [category]\n"
              "  Type = [hidden] [read-only]\n"
              "  State = [description \"One of Initiated, Returned, or Completed.\"] [read-only]\n"
              "  Record = 42 [read-only]\n"
              "  Status = STATUS_SUCCESS [read-only] [value text 0x123456]\n"
              "Target [category]\n"
              "  DeviceObject = \\Device\\USBPDO-3 [id 5000] [read-only]\n"
              "  DriverObject = \\Driver\\usbhub [id 5002] [read-only]\n"
              "IRP [category]\n"
              "URB [category] [hidden]\n"
              "PNP [category] [hidden]\n"
              "PWR [category] [id 77]\n",
              m_pane.Dump());
}

TEST_F(GridOutputImpTest, MissingItemsAndAddsWithNoCurrentItemAreIgnored) {
    const std::string before = m_pane.Dump();
    m_out.ShowCategory("No such");
    m_out.ShowCategoryById(999, "x");
    m_out.BeginSection("No such", "Record", "1");
    m_out.HideCategory("No such");
    for (const emit_test::EmitCall& call : emit_test::AllEmitCalls()) {
        if (call.slot >= 16 && call.slot <= 30) // item look-ups and adds, with no current item
            call.call(m_out);
    }
    EXPECT_EQ(before, m_pane.Dump());
    EXPECT_EQ(nullptr, m_out.GetCurrentItem());
    m_out.ShowCategory("URB");
    m_out.SetItemValue("Missing", "1");
    m_out.SetItemValueById(5000, "not a child of URB");
    EXPECT_EQ("", Children("URB"));
}

TEST_F(GridOutputImpTest, EndGroupStepsBackAlongTheStack) {
    m_out.BeginGroup("before", nullptr); // no current item yet: ignored
    m_out.EnterRecord();
    m_out.ShowCategory("URB");
    CGkPropertyGridItem* urb = m_pane.Category("URB");
    EXPECT_EQ(urb, m_out.GetCurrentItem());
    EXPECT_EQ(1u, Depth());

    m_out.BeginCategory("Section");
    CGkPropertyGridItem* section = m_out.GetCurrentItem();
    EXPECT_EQ(urb, section->GetParentItem());
    m_out.BeginValueGroup("Group", "1");
    EXPECT_EQ(section, m_out.GetCurrentItem()->GetParentItem());
    EXPECT_EQ(3u, Depth());
    m_out.EndGroup();
    EXPECT_EQ(section, m_out.GetCurrentItem());
    m_out.EndGroup();
    EXPECT_EQ(urb, m_out.GetCurrentItem());
    EXPECT_EQ(1u, Depth());
    m_out.EndGroup();
    EXPECT_EQ(nullptr, m_out.GetCurrentItem());
    EXPECT_EQ(0u, Depth());
    m_out.EndGroup(); // on an empty stack
    EXPECT_EQ(nullptr, m_out.GetCurrentItem());

    m_out.ShowCategory("URB");
    m_out.BeginGroup("again", "2");
    m_out.EnterRecord();
    EXPECT_EQ(nullptr, m_out.GetCurrentItem());
    EXPECT_EQ(0u, Depth());
}

TEST_F(GridOutputImpTest, ANinthNestedPushIsDroppedAndTheNextEndGroupReturnsToTheEighthLevel) {
    m_out.ShowCategory("URB");
    for (int level = 2; level <= 8; ++level)
        m_out.BeginGroup(("Level " + std::to_string(level)).c_str(), nullptr);
    ASSERT_EQ(8u, Depth());
    CGkPropertyGridItem* eighth = m_out.GetCurrentItem();
    m_out.BeginCategory("Level 9");
    EXPECT_EQ(8u, Depth());
    EXPECT_EQ(eighth, m_out.GetCurrentItem()->GetParentItem());
    m_out.AddItem("Field", "v", nullptr); // still added where the ninth level is
    EXPECT_EQ(1, m_out.GetCurrentItem()->GetChilds()->GetCount());
    m_out.EndGroup();
    EXPECT_EQ(eighth, m_out.GetCurrentItem());
    EXPECT_EQ(8u, Depth());
    m_out.EndGroup();
    EXPECT_EQ(eighth->GetParentItem(), m_out.GetCurrentItem());
    EXPECT_EQ(7u, Depth());
}

TEST_F(GridOutputImpTest, ExpandCurrentFollowsAutoExpand) {
    EXPECT_TRUE(m_out.autoExpand);
    m_out.ShowCategory("URB");
    m_out.BeginGroup("Group", nullptr);
    m_out.autoExpand = false;
    m_out.ExpandCurrent();
    EXPECT_FALSE(m_out.GetCurrentItem()->IsExpanded());
    m_out.autoExpand = true;
    m_out.ExpandCurrent();
    EXPECT_TRUE(m_out.GetCurrentItem()->IsExpanded());
}

TEST_F(GridOutputImpTest, ADescribedItemWithClearReplacesTheChildrenAndShowsTheCurrentItem) {
    m_out.ShowCategory("URB");
    m_out.AddItem("Old 1", "1", nullptr);
    m_out.AddItem("Old 2", "2", nullptr);
    m_out.AddReadOnlyItem("Old 3", "3");
    m_pane.Category("URB")->SetHidden(TRUE);
    m_out.AddDescribedItem("New", "3", nullptr, true);
    EXPECT_FALSE(m_pane.Category("URB")->IsHidden());
    // The children not replaced yet are out of reach, and gone once the record is done.
    m_out.SetItemValue("Old 2", "changed");
    m_out.AddDescribedItem("Kept", nullptr, "d", false);
    m_out.EnterRecord();
    EXPECT_EQ("New = 3 [read-only] [caption text 0x000000] [caption back 0xFAFAFA] [value back 0xFAFAFA]\n"
              "Kept = [description \"d\"] [read-only] [caption text 0x000000] [caption back 0xFAFAFA] [value back "
              "0xFAFAFA]\n",
              Children("URB"));
}

// Rows made again from the ones a clear kept look as new ones do: no colour, flag, id, description, state or
// child of the row they replace stays, and the rows no add took over go when the run ends.
TEST_F(GridOutputImpTest, RowsMadeAgainLookAsNewOnes) {
    const auto write = [](GridOutputImp& out, bool first) {
        out.EnterRecord();
        out.ShowCategory("URB");
        out.AddDescribedItem(first ? "Title" : "Other title", "v", first ? "desc" : nullptr, true);
        if (first) {
            out.BeginValueGroup("Group", "g");
            out.ExpandCurrent();
            out.AddReadOnlyItem("Failing", "bad");
            out.AddDataBufferItem("Buffer");
            out.BeginCategory("Section");
            out.AddItem("Deep", "1", "tip");
            out.EndGroup();
            out.EndGroup();
            out.AddItem("Tail", "t", nullptr);
        } else {
            out.BeginCategory("Section");
            out.AddItem("Plain", nullptr, nullptr);
            out.EndGroup();
            out.AddDataBufferItem("Buffer 2");
            out.BeginGroup("Group 2", nullptr);
            out.AddItem("Child", "c", nullptr);
        }
    };
    std::string fresh;
    {
        TestGridPane pane;
        GridOutputImp out(&pane);
        write(out, false);
        out.EnterRecord();
        fresh = pane.Dump();
    }
    {
        GridOutputImp out(&m_pane);
        write(out, true);
    }
    m_pane.Category("URB")->GetChilds()->GetAt(0)->SetID(9);
    {
        GridOutputImp out(&m_pane);
        write(out, false);
    }
    EXPECT_EQ(fresh, m_pane.Dump());
}

// A data-buffer row and a plain row take each other's place: the rows are the same objects, and they look
// as new ones of their kind do, buttons and all.
TEST_F(GridOutputImpTest, ADataBufferRowAndAPlainRowAreMadeAgainFromEachOther) {
    const auto write = [](GridOutputImp& out, bool bufferFirst) {
        out.EnterRecord();
        out.ShowCategory("URB");
        out.AddDescribedItem("Title", "t", nullptr, true);
        if (bufferFirst) {
            out.AddDataBufferItem("Buffer");
            out.AddItem("Plain", "1", "tip");
        } else {
            out.AddReadOnlyItem("Failed", "bad");
            out.AddDataBufferItem("Buffer 2");
        }
        out.EnterRecord();
    };
    for (bool bufferFirst : {false, true}) {
        TestGridPane fresh;
        {
            GridOutputImp out(&fresh);
            write(out, bufferFirst);
        }
        TestGridPane shared;
        {
            GridOutputImp out(&shared);
            write(out, !bufferFirst);
        }
        CGkPropertyGridItems* rows = shared.Category("URB")->GetChilds();
        const CGkPropertyGridItem* second = rows->GetAt(1);
        const CGkPropertyGridItem* third = rows->GetAt(2);
        {
            GridOutputImp out(&shared);
            write(out, bufferFirst);
        }
        EXPECT_EQ(fresh.Dump(), shared.Dump()) << bufferFirst;
        EXPECT_EQ(second, rows->GetAt(1));
        EXPECT_EQ(third, rows->GetAt(2));
    }
}

// The rows a short record gives up wait outside the model, and the long record after it takes them back: the
// same objects, looking as new ones do, nested rows, sections and buttons included.
TEST_F(GridOutputImpTest, RowsAShortRecordGaveUpComeBackForTheNextLongOne) {
    const auto write = [](TestGridPane& pane, bool longRecord, bool bufferFirst) {
        GridOutputImp out(&pane);
        out.EnterRecord();
        out.ShowCategory("URB");
        out.AddDescribedItem("Title", "t", nullptr, true);
        if (!longRecord)
            return;
        out.BeginValueGroup("Group", "g");
        out.ExpandCurrent();
        if (bufferFirst)
            out.AddDataBufferItem("Buffer");
        out.AddReadOnlyItem("Failing", "bad");
        out.BeginCategory("Section");
        out.AddItem("Deep", "1", "tip");
        out.EndGroup();
        if (!bufferFirst)
            out.AddDataBufferItem("Buffer");
        out.EndGroup();
        out.AddItem("Tail", "t", nullptr);
    };
    const auto rows = [](TestGridPane& pane) {
        std::set<const CGkPropertyGridItem*> all;
        std::vector<const CGkPropertyGridItem*> pending{pane.Category("URB")};
        while (!pending.empty()) {
            const CGkPropertyGridItem* item = pending.back();
            pending.pop_back();
            for (int i = 0; i < item->GetChilds()->GetCount(); ++i) {
                all.insert(item->GetChilds()->GetAt(i));
                pending.push_back(item->GetChilds()->GetAt(i));
            }
        }
        return all;
    };
    for (bool bufferFirst : {false, true}) {
        TestGridPane fresh;
        write(fresh, true, bufferFirst);
        TestGridPane shared;
        write(shared, true, !bufferFirst);
        const auto first = rows(shared);
        write(shared, false, false);
        EXPECT_EQ(1u, rows(shared).size());
        write(shared, true, bufferFirst);
        EXPECT_EQ(fresh.Dump(), shared.Dump()) << bufferFirst;
        EXPECT_EQ(first, rows(shared)) << bufferFirst;
    }
}

// A group still open below the cleared item must not come back as the current item after it is freed.
TEST_F(GridOutputImpTest, ClearingChildrenForgetsTheOpenGroupsAmongThem) {
    m_out.ShowCategory("URB");
    m_out.BeginCategory("Section");
    m_out.BeginGroup("Group", nullptr);
    m_out.ShowCategory("URB"); // the stack: URB, Section, Group, URB
    m_out.AddDescribedItem("Fresh", nullptr, nullptr, true);
    EXPECT_EQ(2u, Depth()); // URB, URB
    m_out.EndGroup();       // both entries are the current item: both go, the current item stays
    EXPECT_EQ(m_pane.Category("URB"), m_out.GetCurrentItem());
    EXPECT_EQ(0u, Depth());
    m_out.AddItem("After", "1", nullptr);
    EXPECT_EQ(2, m_pane.Category("URB")->GetChilds()->GetCount());
}

TEST(LogPropertiesTest, AnItemNeedsAParentThatTakesIt) {
    CLogProperties properties;
    EXPECT_EQ(nullptr, properties.AddGridItem(nullptr, "c", "v", "d"));
    EXPECT_EQ(nullptr, properties.AddGridItemValue(nullptr, "c", "v"));
    EXPECT_EQ(nullptr, properties.AddGridItemDescribed(nullptr, "c", "v", "d"));
    EXPECT_EQ(nullptr, properties.AddGridItemReadOnly(nullptr, "c", "v"));
    EXPECT_EQ(nullptr, properties.AddGridCategory(nullptr, "c"));

    TestGridPane pane;
    CGkPropertyGridItem* urb = pane.Category("URB");
    CGkPropertyGridItem* item = properties.AddGridItem(urb, "Field", "0x01", "what it is");
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(urb, item->GetParentItem());
    EXPECT_EQ(0, urb->GetChilds()->IndexOf(item));
    EXPECT_STREQ("0x01", item->GetValue());
    EXPECT_TRUE(item->GetReadOnly());
    CGkPropertyGridItem* category = properties.AddGridCategory(item, "Below");
    ASSERT_NE(nullptr, category);
    EXPECT_TRUE(category->IsCategory());
    EXPECT_EQ(item, category->GetParentItem());
}

} // namespace
