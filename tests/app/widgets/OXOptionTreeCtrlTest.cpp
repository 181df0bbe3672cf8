#include "app/widgets/OXOptionTreeCtrl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::UiTest;

constexpr UINT kTreeId = 300;

struct Change {
    WPARAM wParam;
    NMOPTIONTREE record;
};

// A framework parent, so that the tree hears of its own deletions; it keeps every option change.
class OptionParent : public CWnd {
public:
    std::vector<Change> changes;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr->code == static_cast<UINT>(OTN_OPTIONCHANGED)) {
            Change c{wParam, {}};
            std::memcpy(&c.record, hdr, sizeof c.record);
            changes.push_back(c);
            *pResult = 0;
            return TRUE;
        }
        return CWnd::OnNotify(wParam, lParam, pResult);
    }
};

class OXOptionTreeCtrlTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(m_parent.CreateEx(0, AfxRegisterWndClass(0), "Options", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                      CRect(0, 0, 300, 240), nullptr, 0));
        ASSERT_TRUE(m_tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                  CRect(0, 0, 280, 200), &m_parent, kTreeId));
    }
    void TearDown() override {
        m_tree.DestroyWindow();
        m_parent.DestroyWindow();
        UiTest::TearDown();
    }
    void ClickItem(HTREEITEM item) {
        CRect label;
        m_tree.GetItemRect(item, &label, TRUE);
        win32::Click(m_tree.m_hWnd, label.CenterPoint());
        win32::PumpUiMessages();
    }
    std::vector<UINT> ChangedIds() {
        std::vector<UINT> ids;
        for (const Change& c : m_parent.changes)
            ids.push_back(c.record.uItemID);
        m_parent.changes.clear();
        return ids;
    }

    OptionParent m_parent;
    COXOptionTreeCtrl m_tree;
};

TEST_F(OXOptionTreeCtrlTest, IdsAreNonZeroAndUniqueAndChecksReadBack) {
    HTREEITEM group = m_tree.InsertTreeItem("Group");
    EXPECT_NE(nullptr, m_tree.AddCheckBox(1, "On", group, TRUE));
    EXPECT_NE(nullptr, m_tree.AddCheckBox(2, "Off", group, FALSE));
    EXPECT_EQ(nullptr, m_tree.AddCheckBox(0, "Zero", group));
    EXPECT_EQ(nullptr, m_tree.AddRadioButton(1, "Twin", group));
    EXPECT_EQ(3u, m_tree.GetCount()); // the refused ones were not inserted
    EXPECT_EQ(1, m_tree.GetCheck(1));
    EXPECT_EQ(0, m_tree.GetCheck(2));
    EXPECT_EQ(-1, m_tree.GetCheck(99));
    EXPECT_EQ(-1, m_tree.GetItemCheck(group));
    EXPECT_EQ(2u, m_tree.GetIdFromItem(m_tree.GetItemFromId(2)));
    EXPECT_EQ(0u, m_tree.GetIdFromItem(group));
}

TEST_F(OXOptionTreeCtrlTest, CheckingARadioUnchecksOnlyItsRunOfRadios) {
    m_tree.AddRadioButton(10, "a", TVI_ROOT, TRUE);
    m_tree.AddCheckBox(11, "separator", TVI_ROOT, TRUE);
    m_tree.AddRadioButton(12, "b", TVI_ROOT, TRUE);
    m_tree.AddRadioButton(13, "c");
    m_tree.AddRadioButton(14, "d");
    m_tree.SetCheck(14, 0);
    ASSERT_TRUE(m_tree.SetCheck(13, 1));
    EXPECT_EQ(1, m_tree.GetCheck(10));
    EXPECT_EQ(1, m_tree.GetCheck(11));
    EXPECT_EQ(0, m_tree.GetCheck(12));
    EXPECT_EQ(1, m_tree.GetCheck(13));
    // The sibling unchecked is reported too, before the new check.
    EXPECT_EQ((std::vector<UINT>{12, 13}), ChangedIds());
    EXPECT_EQ(13u, m_tree.GetCheckedRadio(12, 14));
    EXPECT_EQ(10u, m_tree.GetCheckedRadio(10, 10));
    m_tree.SetCheck(13, 0);
    EXPECT_EQ(0u, m_tree.GetCheckedRadio(12, 14));
}

TEST_F(OXOptionTreeCtrlTest, ChangeRecordBytesAreExact) {
    HTREEITEM box = m_tree.AddCheckBox(0x12345, "box");
    m_tree.SetCheck(0x12345, 1);
    ASSERT_EQ(1u, m_parent.changes.size());
    const Change& c = m_parent.changes[0];
    BYTE bytes[sizeof(NMOPTIONTREE)];
    std::memcpy(bytes, &c.record, sizeof bytes);
    EXPECT_EQ(kTreeId, c.wParam);
    EXPECT_EQ(m_tree.m_hWnd, c.record.hdr.hwndFrom);
    EXPECT_EQ(kTreeId, c.record.hdr.idFrom);
    EXPECT_EQ(0xFFFFFE17u, c.record.hdr.code);
    HTREEITEM item;
    UINT id;
    int states[2];
    std::memcpy(&item, bytes + 24, 8);
    std::memcpy(&id, bytes + 32, 4);
    std::memcpy(states, bytes + 36, 8);
    EXPECT_EQ(box, item);
    EXPECT_EQ(0x12345u, id);
    EXPECT_EQ(0, states[0]);
    EXPECT_EQ(1, states[1]);
}

TEST_F(OXOptionTreeCtrlTest, ClicksAndSpaceToggleUnlessLocked) {
    HTREEITEM box = m_tree.AddCheckBox(1, "box");
    HTREEITEM radioOn = m_tree.AddRadioButton(2, "radio on", TVI_ROOT, TRUE);
    HTREEITEM radioOff = m_tree.AddRadioButton(3, "radio off");
    HTREEITEM locked = m_tree.AddCheckBox(4, "locked", TVI_ROOT, FALSE, TVI_LAST, TRUE);

    ClickItem(box);
    EXPECT_EQ(1, m_tree.GetCheck(1));
    EXPECT_EQ(box, m_tree.GetSelectedItem());
    EXPECT_EQ(m_tree.m_hWnd, ::GetFocus());
    EXPECT_EQ((std::vector<UINT>{1}), ChangedIds());

    ClickItem(radioOn); // already checked: nothing changes, nothing is sent
    EXPECT_EQ(1, m_tree.GetCheck(2));
    EXPECT_TRUE(ChangedIds().empty());
    ClickItem(radioOff);
    EXPECT_EQ((std::vector<UINT>{2, 3}), ChangedIds());

    ClickItem(locked);
    m_tree.SelectItem(locked);
    win32::PressKey(m_tree.m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    EXPECT_EQ(0, m_tree.GetCheck(4));
    EXPECT_TRUE(ChangedIds().empty());
    m_tree.SetCheck(4, 1); // the program may still set it
    EXPECT_EQ(1, m_tree.GetCheck(4));
    m_tree.SetItemLocked(4, FALSE);
    win32::PressKey(m_tree.m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    EXPECT_EQ(0, m_tree.GetCheck(4));
    EXPECT_TRUE(win32::MessageBeeps().empty()); // Space does not start an item search
}

TEST_F(OXOptionTreeCtrlTest, DarkBackgroundSwitchesImageListsBothWays) {
    EXPECT_FALSE(m_tree.IsDarkBackground());
    EXPECT_EQ(m_tree.GetNormalImageList().GetSafeHandle(),
              reinterpret_cast<HIMAGELIST>(m_tree.SendMessage(TVM_GETIMAGELIST, TVSIL_NORMAL)));
    EXPECT_EQ(4, m_tree.GetDarkImageList().GetImageCount());
    m_tree.SetBkColor(RGB(0, 0, 0));
    EXPECT_TRUE(m_tree.IsDarkBackground());
    EXPECT_EQ(m_tree.GetDarkImageList().GetSafeHandle(),
              reinterpret_cast<HIMAGELIST>(m_tree.SendMessage(TVM_GETIMAGELIST, TVSIL_NORMAL)));
    m_tree.SetBkColor(RGB(100, 100, 99)); // 299: still dark
    EXPECT_TRUE(m_tree.IsDarkBackground());
    m_tree.SetBkColor(RGB(100, 100, 100));
    EXPECT_FALSE(m_tree.IsDarkBackground());
    m_tree.SetBkColor(CLR_NONE); // the window colour
    EXPECT_FALSE(m_tree.IsDarkBackground());
}

TEST_F(OXOptionTreeCtrlTest, ATreeADialogMadeWorksOnceAttached) {
    // As a dialog template makes it, with a dark background: a plain tree view, then the object attached.
    HWND made = ::CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | TVS_HASLINES, 0, 0, 200, 150,
                                  m_parent.m_hWnd, reinterpret_cast<HMENU>(UINT_PTR{kTreeId + 1}), nullptr, nullptr);
    ASSERT_NE(nullptr, made);
    ::SendMessageA(made, TVM_SETBKCOLOR, 0, RGB(0, 0, 0));
    COXOptionTreeCtrl attached;
    ASSERT_TRUE(attached.SubclassWindow(made));
    EXPECT_TRUE(attached.IsDarkBackground());
    EXPECT_EQ(attached.GetDarkImageList().GetSafeHandle(),
              reinterpret_cast<HIMAGELIST>(attached.SendMessage(TVM_GETIMAGELIST, TVSIL_NORMAL)));
    ASSERT_NE(nullptr, attached.AddCheckBox(5, "Check", TVI_ROOT, TRUE));
    EXPECT_EQ(1, attached.GetCheck(5));
    attached.DestroyWindow();
}

TEST_F(OXOptionTreeCtrlTest, DeletingAnItemClearsBothMaps) {
    HTREEITEM group = m_tree.InsertTreeItem("group");
    HTREEITEM box = m_tree.AddCheckBox(7, "box", group, FALSE, TVI_LAST, TRUE);
    ASSERT_TRUE(m_tree.IsItemLocked(box));
    m_tree.DeleteItem(group);
    EXPECT_EQ(-1, m_tree.GetCheck(7));
    EXPECT_EQ(0u, m_tree.GetIdFromItem(box));
    EXPECT_FALSE(m_tree.IsItemLocked(box));
    EXPECT_NE(nullptr, m_tree.AddCheckBox(7, "again")); // the id is free again
}

TEST_F(OXOptionTreeCtrlTest, AClickRepaintsTheNewImage) {
    HTREEITEM group = m_tree.InsertTreeItem("Display");
    HTREEITEM box = m_tree.AddCheckBox(1, "Show timestamps", group);
    m_tree.AddRadioButton(2, "Decimal", group, TRUE);
    m_tree.AddRadioButton(3, "Hexadecimal", group);
    m_tree.AddCheckBox(4, "Locked option", group, TRUE, TVI_LAST, TRUE);
    win32::PumpUiMessages();
    CRect label;
    m_tree.GetItemRect(box, &label, TRUE);
    const CPoint tick(label.left - 16 - 1 + 8, label.CenterPoint().y);
    const COLORREF before = win32::ClientPixel(m_tree.m_hWnd, tick.x, tick.y);
    ClickItem(box);
    EXPECT_TRUE(tdl::test::SavePicture(m_parent.m_hWnd, "option_tree_after_click.png"));
    const COLORREF after = win32::ClientPixel(m_tree.m_hWnd, tick.x, tick.y);
    EXPECT_NE(before, after);
    EXPECT_EQ(RGB(0, 0, 0), after) << std::hex << after; // the tick is drawn
}

} // namespace
