#include "app/widgets/TreeCtrlEx.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "WinGdiControl.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

constexpr UINT kTreeId = 0x1006E; // only the low 16 bits reach the notification
constexpr int kStateSize = 16;

struct CheckNotice {
    WPARAM wParam;
    std::array<BYTE, 80> bytes;
};

class TreeCtrlExTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_parent = std::make_unique<TestWindow>(
            WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 320, 260},
            [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
                if (msg != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->code != TVN_SETDISPINFOA)
                    return std::nullopt;
                CheckNotice n{wParam, {}};
                std::memcpy(n.bytes.data(), reinterpret_cast<const void*>(lParam), n.bytes.size());
                m_notices.push_back(n);
                return 0;
            });
        ASSERT_TRUE(m_tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                  CRect(0, 0, 300, 220), CWnd::FromHandle(*m_parent), kTreeId));
        m_states = ImageList_Create(kStateSize, kStateSize, ILC_COLOR24, 4, 1);
        ImageList_SetImageCount(m_states, 4);
        m_tree.SendMessage(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(m_states));
    }
    void TearDown() override {
        m_tree.DestroyWindow();
        ImageList_Destroy(m_states);
        m_parent.reset();
        UiTest::TearDown();
    }

    HTREEITEM Add(const char* text, int state, HTREEITEM parent = TVI_ROOT) {
        HTREEITEM item = m_tree.InsertItem(text, parent);
        m_tree.SetItemState(item, INDEXTOSTATEIMAGEMASK(state), TVIS_STATEIMAGEMASK);
        return item;
    }
    CPoint StateIconOf(HTREEITEM item) {
        CRect label;
        m_tree.GetItemRect(item, &label, TRUE);
        return CPoint(label.left - kStateSize / 2 - 1, label.CenterPoint().y);
    }

    std::unique_ptr<TestWindow> m_parent;
    CTreeCtrlEx m_tree;
    HIMAGELIST m_states = nullptr;
    std::vector<CheckNotice> m_notices;
};

TEST_F(TreeCtrlExTest, SetCheckFollowsTheTableAndReportsOnlyRealChecks) {
    struct Case {
        int before, action, after;
        bool reported;
    } cases[] = {
        {0, 0, 0, false}, {1, 0, 2, true},  {2, 0, 2, false}, {3, 0, 3, false}, {0, 1, 0, false}, {1, 1, 1, false},
        {2, 1, 1, true},  {3, 1, 3, false}, {0, 2, 0, false}, {1, 2, 2, true},  {2, 2, 1, true},  {3, 2, 3, false},
    };
    HTREEITEM item = Add("item", 0);
    for (const Case& c : cases) {
        m_tree.SetItemState(item, INDEXTOSTATEIMAGEMASK(c.before), TVIS_STATEIMAGEMASK);
        m_notices.clear();
        EXPECT_TRUE(m_tree.SetCheck(item, c.action));
        EXPECT_EQ(c.after, m_tree.GetCheckState(item)) << c.before << " action " << c.action;
        ASSERT_EQ(c.reported ? 1u : 0u, m_notices.size()) << c.before << " action " << c.action;
    }
    EXPECT_FALSE(m_tree.SetCheck(nullptr, 0));
}

TEST_F(TreeCtrlExTest, NotificationBytesAreExact) {
    HTREEITEM item = Add("item", 1);
    m_tree.SetItemData(item, 0x5A5A);
    ASSERT_TRUE(m_tree.SetCheck(item, TREE_CHECK_ACTION_CHECK));
    ASSERT_EQ(1u, m_notices.size());
    const CheckNotice& n = m_notices[0];
    EXPECT_EQ(0u, n.wParam);
    NMHDR hdr;
    TVITEMA tv;
    std::memcpy(&hdr, n.bytes.data(), sizeof hdr);
    std::memcpy(&tv, n.bytes.data() + 24, sizeof tv);
    EXPECT_EQ(m_tree.m_hWnd, hdr.hwndFrom);
    EXPECT_EQ(0x006Eu, hdr.idFrom);
    EXPECT_EQ(static_cast<UINT>(-404), hdr.code);
    EXPECT_EQ(24u, tv.mask);
    EXPECT_EQ(item, tv.hItem);
    EXPECT_EQ(0x2000u, tv.state);
    EXPECT_EQ(0xF000u, tv.stateMask);
    EXPECT_EQ(0, tv.lParam); // the caller's data is not read
    m_tree.SetCheck(item, TREE_CHECK_ACTION_UNCHECK);
    std::memcpy(&tv, m_notices.at(1).bytes.data() + 24, sizeof tv);
    EXPECT_EQ(0x1000u, tv.state);
}

TEST_F(TreeCtrlExTest, CascadeReachesOnlyDirectChildren) {
    m_tree.m_nCascade = 1;
    HTREEITEM parent = Add("parent", 2);
    HTREEITEM kids[4] = {Add("none", 0, parent), Add("unchecked", 1, parent), Add("checked", 2, parent),
                         Add("uncheckable", 3, parent)};
    HTREEITEM grandchild = Add("grandchild", 2, kids[2]);

    m_tree.SetCheck(parent, TREE_CHECK_ACTION_UNCHECK);
    EXPECT_EQ(0, m_tree.GetCheckState(kids[0]));
    EXPECT_EQ(1, m_tree.GetCheckState(kids[1]));
    EXPECT_EQ(1, m_tree.GetCheckState(kids[2]));
    EXPECT_EQ(3, m_tree.GetCheckState(kids[3]));
    EXPECT_EQ(2, m_tree.GetCheckState(grandchild));
    EXPECT_EQ(1u, m_notices.size()); // the children follow silently

    m_tree.SetCheck(parent, TREE_CHECK_ACTION_CHECK);
    EXPECT_EQ(2, m_tree.GetCheckState(kids[0]));
    EXPECT_EQ(2, m_tree.GetCheckState(kids[1]));
    EXPECT_EQ(2, m_tree.GetCheckState(kids[2]));
    EXPECT_EQ(3, m_tree.GetCheckState(kids[3]));

    m_tree.m_nCascade = 0;
    m_tree.SetCheck(parent, TREE_CHECK_ACTION_UNCHECK);
    EXPECT_EQ(2, m_tree.GetCheckState(kids[1]));
}

TEST_F(TreeCtrlExTest, ClicksAndSpaceToggleOnlyWhileChecksAreEnabled) {
    HTREEITEM first = Add("first", 1);
    HTREEITEM second = Add("second", 2);
    m_tree.SetFocus();
    win32::Click(m_tree.m_hWnd, StateIconOf(first));
    win32::PumpUiMessages();
    EXPECT_EQ(2, m_tree.GetCheckState(first));
    EXPECT_EQ(first, m_tree.GetSelectedItem()); // the click still selects

    m_tree.SelectItem(second);
    win32::PressKey(m_tree.m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    EXPECT_EQ(1, m_tree.GetCheckState(second));
    EXPECT_EQ(2u, m_notices.size());

    // A click on the label is a selection only.
    CRect label;
    m_tree.GetItemRect(second, &label, TRUE);
    win32::Click(m_tree.m_hWnd, label.CenterPoint());
    win32::PumpUiMessages();
    EXPECT_EQ(1, m_tree.GetCheckState(second));

    m_tree.m_bCheckEnabled = 0;
    win32::Click(m_tree.m_hWnd, StateIconOf(first));
    win32::PressKey(m_tree.m_hWnd, VK_SPACE);
    win32::PumpUiMessages();
    EXPECT_EQ(2, m_tree.GetCheckState(first));
    EXPECT_EQ(2u, m_notices.size());
}

TEST_F(TreeCtrlExTest, NextItemInOrderWalksDepthFirstToNull) {
    HTREEITEM a = Add("a", 0);
    HTREEITEM a1 = Add("a1", 0, a);
    HTREEITEM a1x = Add("a1x", 0, a1);
    HTREEITEM a2 = Add("a2", 0, a);
    HTREEITEM b = Add("b", 0);
    HTREEITEM b1 = Add("b1", 0, b);
    std::vector<HTREEITEM> walked;
    for (HTREEITEM item = m_tree.GetRootItem(); item; item = m_tree.GetNextItemInOrder(item))
        walked.push_back(item);
    EXPECT_EQ((std::vector<HTREEITEM>{a, a1, a1x, a2, b, b1}), walked);
    EXPECT_EQ(nullptr, m_tree.GetNextItemInOrder(nullptr));
}

TEST_F(TreeCtrlExTest, ColourEntryRepaintsTheLabelUnlessSelectedWithFocus) {
    HTREEITEM plain = Add("plain label", 0);
    HTREEITEM red = Add("red label", 0);
    HTREEITEM boldRed = Add("bold red label", 0);
    m_tree.SetItemColor(red, RGB(255, 0, 0));
    m_tree.SetItemColor(boldRed, RGB(255, 0, 0));
    m_tree.SetItemBold(boldRed, TRUE);
    m_tree.SelectItem(plain);
    m_tree.SetFocus();
    win32::PumpUiMessages();
    EXPECT_TRUE(tdl::test::SavePicture(*m_parent, "tree_ctrl_ex_colours.png"));

    // Anti-aliased glyphs: count clearly red pixels across the label's middle rows.
    auto redPixels = [&](HTREEITEM item) {
        CRect label;
        m_tree.GetItemRect(item, &label, TRUE);
        int count = 0;
        const int middle = label.CenterPoint().y;
        for (int y = middle - 2; y <= middle + 2; ++y)
            for (int x = label.left; x < label.right; ++x) {
                const COLORREF c = win32::ClientPixel(m_tree.m_hWnd, x, y);
                if (GetRValue(c) > 180 && GetGValue(c) < 90 && GetBValue(c) < 90)
                    ++count;
            }
        return count;
    };
    EXPECT_EQ(0, redPixels(plain));
    const int thin = redPixels(red);
    EXPECT_GT(thin, 10);
    EXPECT_GT(redPixels(boldRed), thin); // the bold font is heavier

    // A font entry without the item being bold: the entry's own weight.
    LOGFONTA heavy{};
    heavy.lfHeight = -13;
    heavy.lfWeight = FW_BOLD;
    std::strcpy(heavy.lfFaceName, "DejaVu Sans");
    m_tree.SetItemBold(boldRed, FALSE);
    m_tree.SetItemFont(boldRed, heavy);
    win32::PumpUiMessages();
    EXPECT_GT(redPixels(boldRed), thin);

    // Selected while the tree has the focus: the highlight wins.
    m_tree.SelectItem(red);
    win32::PumpUiMessages();
    EXPECT_EQ(0, redPixels(red));
}

TEST_F(TreeCtrlExTest, PaintCopiesTheClipBoxOnceIntoTheWindowDc) {
    HTREEITEM item = Add("item", 1);
    m_tree.SetItemColor(item, RGB(0, 0, 255));
    win32::PumpUiMessages();
    win32::StartGdiCallLog(m_tree.m_hWnd);
    m_tree.Invalidate();
    m_tree.UpdateWindow();
    win32::StopGdiCallLog();
    int copies = 0;
    for (const win32::GdiCall& call : win32::GdiCallLog())
        if (call.kind == "BitBlt" && call.rop == SRCCOPY && call.hwnd == m_tree.m_hWnd)
            ++copies;
    EXPECT_EQ(1, copies);
}

} // namespace
