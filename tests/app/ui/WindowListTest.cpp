// The Window menu's list with a live capture and a saved log open: one entry per window, the active one
// first and checked, each entry activating the window it names; and a second saved log that cannot be read,
// which leaves the log window's document empty under the template's name (its old rows and path gone).
#include "tests/app/ui/MainWindowFixture.h"

#include <cstring>
#include <string>
#include <vector>

#include "GkCommandBars.h"
#include "GkMenuBar.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/loglist/LogListView.h"
#include "common/RecordTags.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/support/RecordBuilder.h"

namespace mainwin_test {
namespace {

class WindowListTest : public MainWindowTest {
protected:
    // A saved log of `records` URB records, and a copy cut short after its first 100 bytes (unreadable),
    // written before the program holds the capture banks.
    static void WriteLogs(const std::string& good, const std::string& cut, int records) {
        CUSBLog saved;
        ASSERT_TRUE(saved.GetLogRecords()->CreateBuffer(1 << 16, 0));
        std::vector<uint8_t> block;
        for (int i = 1; i <= records; ++i)
            tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(i).Build());
        BYTE* pointer = nullptr;
        DWORD left = 0;
        ASSERT_TRUE(saved.GetLogRecords()->GetWriteSpace(pointer, left));
        std::memcpy(pointer, block.data(), block.size());
        saved.GetLogRecords()->AdvanceWrite(static_cast<DWORD>(block.size()));
        BOOL triggered = FALSE;
        saved.ProcessCaptureFragment(pointer, static_cast<DWORD>(block.size()), triggered);
        const std::vector<BYTE> bytes = apptest::Store(saved);
        Write(good, bytes);
        ASSERT_GT(bytes.size(), 100u);
        Write(cut, std::vector<BYTE>(bytes.begin(), bytes.begin() + 100));
    }
    static void Write(const std::string& path, const std::vector<BYTE>& bytes) {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    }

    // The Window menu as it opens: its entries after Cascade and Tile, each with "*" when checked.
    std::vector<std::string> OpenWindowMenu() {
        CGkMenuBar* pMenuBar = Frame()->GetCommandBars()->GetMenuBar();
        HMENU hMenu = pMenuBar->GetMenu();
        HMENU hWindow = nullptr;
        for (int i = 0; i < ::GetMenuItemCount(hMenu) && hWindow == nullptr; ++i) {
            HMENU hPopup = ::GetSubMenu(hMenu, i);
            if (hPopup != nullptr && ::GetMenuItemID(hPopup, 0) == ID_WINDOW_CASCADE)
                hWindow = hPopup;
        }
        EXPECT_NE(hWindow, nullptr);
        if (hWindow == nullptr)
            return {};
        Frame()->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hWindow), 0);
        std::vector<std::string> entries;
        EXPECT_EQ(::GetMenuItemID(hWindow, 1), ID_WINDOW_TILE_HORZ);
        for (int i = 2; i < ::GetMenuItemCount(hWindow); ++i) {
            const UINT nID = ::GetMenuItemID(hWindow, i);
            if (nID == 0) {
                entries.emplace_back("-");
                continue;
            }
            char text[128] = {};
            ::GetMenuStringA(hWindow, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            const bool checked = (::GetMenuState(hWindow, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0;
            entries.push_back(std::to_string(nID) + " " + text + (checked ? " *" : ""));
        }
        return entries;
    }
};

TEST_F(WindowListTest, TwoWindowsTwoEntriesTheActiveFirstAndCheckedEachActivatingItsWindow) {
    const std::string good = ::testing::TempDir() + "first.tdloft";
    const std::string cut = ::testing::TempDir() + "second.tdloft";
    WriteLogs(good, cut, 3);
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    CUSBLog* pLive = pFrame->GetActiveLogDocument();
    ASSERT_NE(pLive, nullptr);
    auto* pSaved = dynamic_cast<CUSBLog*>(App().m_pLogDocTemplate->OpenDocumentFile(good.c_str()));
    ASSERT_NE(pSaved, nullptr);
    win32::PumpUiMessages();
    ASSERT_EQ(pFrame->GetActiveLogDocument(), pSaved);

    EXPECT_EQ(OpenWindowMenu(), (std::vector<std::string>{"-", "32001 &1  first.tdloft *", "32002 &2  Capture Mode"}));
    Command(32002);
    EXPECT_EQ(pFrame->GetActiveLogDocument(), pLive);
    EXPECT_EQ(OpenWindowMenu(), (std::vector<std::string>{"-", "32001 &1  Capture Mode *", "32002 &2  first.tdloft"}));
    // Choosing the active window's own entry keeps it.
    Command(32001);
    EXPECT_EQ(pFrame->GetActiveLogDocument(), pLive);
    Command(32002);
    EXPECT_EQ(pFrame->GetActiveLogDocument(), pSaved);

    // The second log cannot be read: the log window's document is emptied under the template's name.
    auto* pView = dynamic_cast<CLogListView*>(pSaved->GetFirstView());
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(pView->GetItemCount(), 3);
    EXPECT_EQ(App().m_pLogDocTemplate->OpenDocumentFile(cut.c_str()), nullptr);
    apptest::AppStarter::TakeBoxes(); // the load failure's own message
    win32::PumpUiMessages();
    EXPECT_EQ(pSaved->GetTitle(), CString("usblog"));
    EXPECT_TRUE(pSaved->GetPathName().IsEmpty());
    EXPECT_FALSE(pSaved->IsModified());
    EXPECT_EQ(pView->GetItemCount(), 0);
    EXPECT_EQ(pView->FindItemBySequence(1), -1);
    EXPECT_EQ(OpenWindowMenu(), (std::vector<std::string>{"-", "32001 &1  usblog *", "32002 &2  Capture Mode"}));
}

} // namespace
} // namespace mainwin_test
