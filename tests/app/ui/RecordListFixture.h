// The program started on the scripted control device with its main window shown and a live capture open (as the
// Help menu's suites start it), and records handed to the capture's record list as the capture thread hands
// them: what the record list's suites drive. Unexpected message boxes, menus and dialogs fail the test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "WinPopupMenu.h"
#include "WinUiControl.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"
#include "common/RecordTags.h"
#include "tests/app/core/HelpMenuFixture.h"
#include "tests/support/ListDelivery.h"
#include "tests/support/ListRows.h"
#include "tests/support/Pictures.h"
#include "tests/support/RecordBuilder.h"

namespace reclist_test {

// The items of a menu, as "text" with " [checked]" and " [greyed]" marks ("-" a separator); a sub-menu's items
// follow "text >", indented, up to "<".
inline std::vector<std::string> MenuItems(HMENU menu) {
    std::vector<std::string> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        HMENU sub = ::GetSubMenu(menu, i);
        UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (sub != nullptr)
            state &= 0xFF; // a sub-menu's item count rides in the high byte
        std::string item = (state & MF_SEPARATOR) ? "-" : text;
        if (state & MF_CHECKED)
            item += " [checked]";
        if (state & MF_GRAYED)
            item += " [greyed]";
        if (sub == nullptr) {
            items.push_back(item);
            continue;
        }
        items.push_back(item + " >");
        for (const std::string& subItem : MenuItems(sub))
            items.push_back("  " + subItem);
        items.push_back("<");
    }
    return items;
}
// The same for the menu an open menu window shows.
inline std::vector<std::string> MenuItems(HWND menuWindow) {
    return MenuItems(reinterpret_cast<HMENU>(::SendMessageA(menuWindow, MN_GETHMENU, 0, 0)));
}

class RecordListTest : public apptest::HelpMenuTest {
protected:
    void SetUp() override {
        HelpMenuTest::SetUp();
        win32::ClearModalRequests();
        Start();
        ASSERT_NE(Live(), nullptr);
        ASSERT_NE(View(), nullptr);
        win32::SetModalStrict(true);
        win32::SetModalFailureHandler([](const win32::ModalRequest& request) {
            ADD_FAILURE() << "unexpected " << win32::ModalKindName(request.kind) << " \"" << request.text << "\"";
        });
    }
    void TearDown() override {
        EXPECT_EQ(win32::PendingModalScripts(), 0u) << "modal answers queued but never asked for";
        win32::SetModalFailureHandler({});
        win32::SetModalStrict(false);
        HelpMenuTest::TearDown();
        win32::ClearModalRequests();
    }

    CTindaloftApp& App() { return m_starter->App(); }
    CMainFrame* Frame() const { return m_starter->MainFrame(); }
    CUSBLog* Live() const {
        CMainFrame* pFrame = Frame();
        return pFrame != nullptr ? pFrame->GetLiveDocument() : nullptr;
    }
    CLogListView* View() const {
        CUSBLog* pDoc = Live();
        return pDoc != nullptr ? dynamic_cast<CLogListView*>(pDoc->GetFirstView()) : nullptr;
    }
    CListCtrl& List() const { return View()->GetListCtrl(); }
    LogRecords::CLogRecords& Records() const { return *Live()->GetLogRecords(); }

    // Records appended to the live capture's current bank and handed to its list, as the capture thread hands
    // a block it read.
    void Deliver(const std::vector<std::vector<uint8_t>>& records, CLogListView* pView = nullptr) {
        tdl::test::DeliverToList(Records(), pView != nullptr ? *pView : *View(), records);
    }
    // The capture thread's bank switch once a bank is past its high-water mark: the list makes the other bank
    // current (its records go) and reloads, then the banks flip.
    void SwitchBanks() {
        ::SendMessageA(View()->GetSafeHwnd(), g_nLogListViewMessage, 0, 0);
        Records().SwitchBanks(nullptr);
    }

    // A right click at a point of a window, and the pop-up menu it opens: its items, and the command picked
    // (0: none); with a picture name, the menu's picture saved.
    std::vector<std::string> RightClickMenu(HWND hwnd, POINT at, UINT nPick = 0, const std::string& picture = {}) {
        std::vector<std::string> items;
        win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest&, HWND window) -> INT_PTR {
            items = MenuItems(window);
            if (!picture.empty())
                EXPECT_TRUE(tdl::test::SavePicture(window, picture));
            return nPick;
        });
        win32::Click(hwnd, at, win32::MouseButton::Right);
        win32::PumpUiMessages();
        return items;
    }
    // The middle of a row of the live capture's list.
    CPoint RowCentre(int nRow) const {
        CRect row;
        List().GetItemRect(nRow, &row, LVIR_BOUNDS);
        return CPoint(row.left + 30, row.CenterPoint().y);
    }

    // A cell's text as the list shows it.
    std::string Cell(int nRow, int nColumn) const { return std::string(List().GetItemText(nRow, nColumn)); }
    // The list index of the column with that id.
    int ColumnOf(ULONG nColumnId) const { return View()->GetColumns().FindColumn(nColumnId); }
};

// A record list of its own on the live capture, in a plain framework window of the given size: a view made and
// shown for the first time, which loads its columns from the profile as it is then.
class ExtraView {
public:
    ExtraView(CUSBLog* pDoc, int nWidth = 700, int nHeight = 300) {
        m_host.CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS), "Record list", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        CRect(0, 0, nWidth, nHeight), nullptr, 0);
        CRect client;
        m_host.GetClientRect(&client);
        CCreateContext context;
        context.m_pCurrentDoc = pDoc;
        m_pView = new CLogListView;
        EXPECT_TRUE(
            m_pView->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, &m_host, AFX_IDW_PANE_FIRST, &context));
        m_pView->SendMessage(WM_INITIALUPDATE);
    }
    ~ExtraView() { m_host.DestroyWindow(); }
    ExtraView(const ExtraView&) = delete;
    ExtraView& operator=(const ExtraView&) = delete;

    CLogListView* operator->() const { return m_pView; }
    CLogListView* Get() const { return m_pView; }

private:
    CWnd m_host;
    CLogListView* m_pView = nullptr;
};

} // namespace reclist_test
