// The program on the default machine with its live capture and the Device Properties pane shown, and the
// device tree's active page as the pane reads it: a tree of the page's control id whose caret item the test
// chooses (its image the device type, its data a node of a connection tree), standing in for the device
// tree's own pages.
#pragma once

#include "tests/app/ui/MainWindowFixture.h"

#include <memory>
#include <string>
#include <vector>

#include "GkPropertyGrid.h"
#include "app/devices/ConnectionTree.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeSelection.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/panes/DevicePropertiesWnd.h"

namespace deviceprops_test {

using Node = core::tree<ConnectionElement>;

// The device tree's pages by their trees' control ids.
constexpr UINT kDevicesPage = DeviceTreeSelection::DevicesPageId;
constexpr UINT kStacksPage = 111;
constexpr UINT kDriversPage = 112;

inline std::string Text(const CString& text) {
    return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}

class DevicePropertiesTest : public mainwin_test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_NE(Start(), nullptr);
        Frame()->GetPaneManager().ShowPane(ID_VIEW_DEVICEPROPERTIES);
        win32::PumpUiMessages();
        m_pPane = Frame()->GetDevicePropertiesPane();
        ASSERT_NE(m_pPane, nullptr);
        m_pDoc = Frame()->GetActiveLogDocument();
        ASSERT_NE(m_pDoc, nullptr);
        UsePage(kDevicesPage);
    }
    void TearDown() override {
        DropPage();
        win32::ClearModalRequests();
        MainWindowTest::TearDown();
    }

    CDevicePropertiesWnd& Pane() { return *m_pPane; }
    CGkPropertyGrid& Grid() { return m_pPane->GetGrid(); }
    CGkPropertyGridItem* Category() { return Grid().GetCategories()->FindItem(CDevicePropertiesWnd::CategoryId); }

    // The active page becomes an empty tree with that control id: the device tree's active tab when the
    // device tree has its tabs, else the page the pane holder is told of.
    CTreeCtrl& UsePage(UINT nPageId) {
        DropPage();
        m_page = std::make_unique<CTreeCtrl>();
        EXPECT_TRUE(m_page->Create(WS_CHILD, CRect(0, 0, 200, 200), Frame(), nPageId));
        if (CDeviceTreeTab* pTab = Frame()->GetDeviceTreeTab()) {
            COX3DTabViewContainer& tabs = pTab->GetTabContainer();
            EXPECT_TRUE(tabs.InsertPage(tabs.GetPageCount(), m_page.get(), "Test"));
        } else {
            CPanePointers::SetDeviceTreeState(m_page.get(), FALSE);
        }
        return *m_page;
    }
    // No active page at all, which only a device tree without its tabs has (the tabs always show one page);
    // false when the tabs are there.
    bool ForgetActivePage() {
        if (Frame()->GetDeviceTreeTab() != nullptr)
            return false;
        CPanePointers::SetDeviceTreeState(nullptr, FALSE);
        return true;
    }
    void DropPage() {
        CPanePointers::SetDeviceTreeState(nullptr, FALSE);
        if (m_page == nullptr)
            return;
        if (CDeviceTreeTab* pTab = Frame()->GetDeviceTreeTab())
            pTab->GetTabContainer().DeletePageByWindow(m_page.get(), FALSE);
        m_page.reset();
    }
    // A new item of the active page (image: its device type; data: a connection-tree node or null) becomes
    // the caret item.
    HTREEITEM Select(int nImage, const Node* pNode) {
        HTREEITEM hItem = m_page->InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, "item", nImage,
                                             nImage, 0, 0, reinterpret_cast<LPARAM>(pNode), TVI_ROOT, TVI_LAST);
        m_page->SelectItem(hItem);
        return hItem;
    }

    // The node of the live capture's connection tree reached by labels from the root, each a child's
    // label's beginning; null when there is none.
    Node* FindNode(std::initializer_list<const char*> labels) {
        Node* pNode = &m_pDoc->GetConnectionTree();
        for (const char* label : labels) {
            Node* pChild = pNode->first_child();
            while (pChild != nullptr && pChild->get().m_LabelText.Find(label) != 0)
                pChild = pChild->next_sibling();
            if (pChild == nullptr)
                return nullptr;
            pNode = pChild;
        }
        return pNode;
    }
    // The default machine's items.
    Node* EhciControllerNode() { return FindNode({"Standard Enhanced"}); }
    Node* EhciRootHubNode() { return FindNode({"Standard Enhanced", "RootHub"}); }
    Node* ExternalHubNode() { return FindNode({"Standard Enhanced", "RootHub", "Port 1"}); }
    Node* CompositeNode() { return FindNode({"Standard Enhanced", "RootHub", "Port 1", "Generic USB Hub", "Port 3"}); }
    Node* EmptyPortNode() { return FindNode({"Standard Enhanced", "RootHub", "Port 3"}); }
    Node* MouseNode() { return FindNode({"Standard Universal", "RootHub", "Port 1"}); }
    Node* XhciRootHubNode() { return FindNode({"USB 3.0", "SuperSpeed RootHub"}); }

    // The device tree's request for the caret item's properties.
    void RequestPnp() { m_pPane->SendMessage(WM_COMMAND, ID_DEVICEPROPS_PNP, 0); }
    // A command as a menu choice sends it: carried out only when its update handler enables it.
    void Choose(UINT nID) { m_pPane->SendMessage(WM_COMMAND, nID, 0); }
    // A command as a control sends it: carried out whatever its update handler says.
    void SendFromControl(UINT nID) {
        m_pPane->SendMessage(WM_COMMAND, nID, reinterpret_cast<LPARAM>(m_pPane->GetToolBar().GetSafeHwnd()));
    }

    // The category and what is in it, with categories and expanded items marked.
    std::string Model() {
        CGkPropertyGridItem* pCategory = Category();
        if (pCategory == nullptr)
            return "<no category>";
        return Text(pCategory->GetCaption()) + "\n" +
               Text(CGkPropertyGrid::DumpItems(pCategory->GetChilds(), gkDumpCategory | gkDumpExpanded, 1));
    }

    CDevicePropertiesWnd* m_pPane = nullptr;
    CUSBLog* m_pDoc = nullptr;
    std::unique_ptr<CTreeCtrl> m_page;
};

} // namespace deviceprops_test
