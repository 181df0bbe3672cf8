// The main frame on a fresh registry: its docking panes as the pane table places them, each pane's window made
// the first time the pane shows, and the View commands that open and close them.
#include "tests/app/ui/MainWindowFixture.h"

#include "app/ui/DataBar.h"
#include "app/ui/DevTreeBar.h"
#include "app/ui/StackInspectorBar.h"

namespace mainwin_test {
namespace {

class MainFrameTest : public MainWindowTest {};

TEST_F(MainFrameTest, AFreshRegistryPlacesThePanesAsTheTableSays) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    struct Row {
        UINT nID;
        const char* title;
    };
    for (const Row& row :
         {Row{ID_VIEW_LOGDETAILS, "Log Details"}, Row{ID_VIEW_DEVICEPROPERTIES, "Device Properties"},
          Row{ID_VIEW_SYSTEMPROPERTIES, "System Properties"}, Row{ID_VIEW_DATABAR, "Data"},
          Row{ID_VIEW_DEVICETREE, "USB Device Tree"}, Row{ID_VIEW_STACKINSPECTOR, "Stack Inspector"}}) {
        SCOPED_TRACE(row.title);
        ASSERT_NE(Pane(row.nID), nullptr);
        EXPECT_EQ(Pane(row.nID)->GetTitle(), CString(row.title));
        EXPECT_TRUE(pFrame->IsPaneVisible(row.nID));
    }
    EXPECT_EQ(Pane(59524), nullptr);
    // Tab groups: System Properties behind Data, Device Properties behind the Stack Inspector.
    EXPECT_EQ(Pane(ID_VIEW_SYSTEMPROPERTIES)->GetGroup(), Pane(ID_VIEW_DATABAR)->GetGroup());
    EXPECT_EQ(Pane(ID_VIEW_DEVICEPROPERTIES)->GetGroup(), Pane(ID_VIEW_STACKINSPECTOR)->GetGroup());
    EXPECT_EQ(Pane(ID_VIEW_DATABAR)->GetGroup()->GetActivePane()->GetID(), ID_VIEW_DATABAR);
    EXPECT_EQ(Pane(ID_VIEW_STACKINSPECTOR)->GetGroup()->GetActivePane()->GetID(), ID_VIEW_STACKINSPECTOR);

    // The device tree down the left over the stack inspector, Data along the bottom beside them, Log Details on
    // the right above Data.
    CRect client;
    pFrame->GetClientRect(&client);
    const CRect tree = GroupRect(ID_VIEW_DEVICETREE), stack = GroupRect(ID_VIEW_STACKINSPECTOR),
                data = GroupRect(ID_VIEW_DATABAR), details = GroupRect(ID_VIEW_LOGDETAILS);
    EXPECT_EQ(tree.left, client.left);
    EXPECT_EQ(tree.Width(), 300);
    EXPECT_EQ(tree.bottom, stack.top);
    EXPECT_EQ(stack.Width(), 300);
    EXPECT_EQ(data.left, tree.right);
    EXPECT_EQ(data.Height(), 140);
    EXPECT_EQ(data.bottom, stack.bottom);
    EXPECT_EQ(details.right, data.right);
    EXPECT_EQ(details.bottom, data.top);
    EXPECT_EQ(details.Width(), 180);

    // The four panes on show made their windows; the two behind a tab wait for their first show.
    EXPECT_NE(Pane(ID_VIEW_DEVICETREE)->GetChild(), nullptr);
    EXPECT_NE(Pane(ID_VIEW_STACKINSPECTOR)->GetChild(), nullptr);
    EXPECT_NE(Pane(ID_VIEW_DATABAR)->GetChild(), nullptr);
    EXPECT_NE(pFrame->GetLogDetailsPane(), nullptr);
    EXPECT_EQ(pFrame->GetDevicePropertiesPane(), nullptr);
    EXPECT_EQ(pFrame->GetSystemPropertiesPane(), nullptr);
    pFrame->GetPaneManager().ShowPane(ID_VIEW_SYSTEMPROPERTIES);
    ASSERT_NE(pFrame->GetSystemPropertiesPane(), nullptr);
    EXPECT_EQ(Pane(ID_VIEW_SYSTEMPROPERTIES)->GetChild(), pFrame->GetSystemPropertiesPane());
    // Docking theme 9 keeps no border on a pane's window.
    const CWnd* pWindow = pFrame->GetSystemPropertiesPane();
    EXPECT_EQ(pWindow->GetStyle() & WS_BORDER, 0u);
    EXPECT_EQ(pWindow->GetExStyle() & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0u);
}

TEST_F(MainFrameTest, ViewCommandsOpenAndClosePanesWithTheirTextsAndChecks) {
    CMainFrame* pFrame = Start();
    ASSERT_NE(pFrame, nullptr);
    struct Row {
        UINT nID;
        const char* hide;
        const char* show;
    };
    const Row rows[] = {
        {ID_VIEW_DEVICETREE, "Hide &Device Tree", "Show &Device Tree"},
        {ID_VIEW_STACKINSPECTOR, "Hide Stack &Inspector", "Show Stack &Inspector"},
        {ID_VIEW_LOGDETAILS, "Hide Log &Details", "Show Log &Details"},
        {ID_VIEW_DEVICEPROPERTIES, "Hide Device &Properties", "Show Device &Properties"},
        {ID_VIEW_SYSTEMPROPERTIES, "Hide System &Properties", "Show System &Properties"},
        {ID_VIEW_DATABAR, "Hide &Data Bar", "Show &Data Bar"},
    };
    // What the View menu shows for a command.
    struct Item : CCmdUI {
        void SetCheck(int nCheck) override { check = nCheck; }
        void SetText(LPCTSTR lpszText) override { text = lpszText; }
        int check = -1;
        std::string text;
    };
    auto item = [&](UINT nID) {
        Item state;
        state.m_nID = nID;
        state.DoUpdate(pFrame, FALSE);
        return state;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hide);
        EXPECT_EQ(item(row.nID).check, 1);
        EXPECT_EQ(item(row.nID).text, row.hide);
        Command(row.nID);
        EXPECT_TRUE(Pane(row.nID)->IsClosed());
        EXPECT_FALSE(pFrame->IsPaneVisible(row.nID));
        EXPECT_EQ(item(row.nID).check, 0);
        EXPECT_EQ(item(row.nID).text, row.show);
        Command(row.nID);
        EXPECT_FALSE(Pane(row.nID)->IsClosed());
        EXPECT_NE(Pane(row.nID)->GetChild(), nullptr);
    }
}

} // namespace
} // namespace mainwin_test
