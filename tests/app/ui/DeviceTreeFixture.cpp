#include "tests/app/ui/DeviceTreeFixture.h"

#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbHub.h"
#include "tools/capture-session/CaptureSession.h"

namespace mainwin_test {

int DeviceTreeTest::Image(const CTreeCtrl& tree, HTREEITEM hItem) {
    int nImage = -1;
    int nSelected = -1;
    tree.GetItemImage(hItem, nImage, nSelected);
    return nImage;
}

int DeviceTreeTest::State(const CTreeCtrl& tree, HTREEITEM hItem) {
    return static_cast<int>((tree.GetItemState(hItem, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12);
}

int DeviceTreeTest::Depth(const CTreeCtrl& tree, HTREEITEM hItem) {
    int nDepth = 0;
    for (HTREEITEM hParent = tree.GetParentItem(hItem); hParent != nullptr; hParent = tree.GetParentItem(hParent))
        ++nDepth;
    return nDepth;
}

namespace {
HTREEITEM NextInOrder(const CTreeCtrl& tree, HTREEITEM hItem) {
    if (HTREEITEM hChild = tree.GetChildItem(hItem))
        return hChild;
    for (; hItem != nullptr; hItem = tree.GetParentItem(hItem)) {
        if (HTREEITEM hNext = tree.GetNextSiblingItem(hItem))
            return hNext;
    }
    return nullptr;
}
} // namespace

std::vector<std::string> DeviceTreeTest::Lines(const CTreeCtrl& tree) {
    std::vector<std::string> lines;
    for (HTREEITEM hItem = tree.GetRootItem(); hItem != nullptr; hItem = NextInOrder(tree, hItem)) {
        std::string line(static_cast<size_t>(2 * Depth(tree, hItem)), ' ');
        line += static_cast<LPCSTR>(tree.GetItemText(hItem));
        line += " [" + std::to_string(Image(tree, hItem)) + "] " + std::to_string(State(tree, hItem));
        lines.push_back(line);
    }
    return lines;
}

std::string DeviceTreeTest::Dump(const CTreeCtrl& tree, HTREEITEM) {
    std::string text;
    for (const std::string& line : Lines(tree))
        text += line + "\n";
    return text;
}

HTREEITEM DeviceTreeTest::Find(const CTreeCtrl& tree, const std::string& prefix) {
    for (HTREEITEM hItem = tree.GetRootItem(); hItem != nullptr; hItem = NextInOrder(tree, hItem)) {
        const std::string text = static_cast<LPCSTR>(tree.GetItemText(hItem));
        if (text.compare(0, prefix.size(), prefix) == 0)
            return hItem;
    }
    return nullptr;
}

HTREEITEM DeviceTreeTest::FindPath(const CTreeCtrl& tree, const std::vector<std::string>& path) {
    HTREEITEM hItem = tree.GetRootItem();
    for (const std::string& prefix : path) {
        HTREEITEM hChild = tree.GetChildItem(hItem);
        for (; hChild != nullptr; hChild = tree.GetNextSiblingItem(hChild)) {
            const std::string text = static_cast<LPCSTR>(tree.GetItemText(hChild));
            if (text.compare(0, prefix.size(), prefix) == 0)
                break;
        }
        if ((hItem = hChild) == nullptr)
            return nullptr;
    }
    return hItem;
}

void DeviceTreeTest::ClickCheck(CTreeCtrl& tree, HTREEITEM hItem) {
    const POINT box = tdl::session::CheckBoxPoint(tree, hItem);
    ASSERT_GE(box.x, 0) << "the item shows no check box";
    win32::Click(tree.m_hWnd, box);
    win32::PumpUiMessages();
}

void DeviceTreeTest::ClickLabel(CTreeCtrl& tree, HTREEITEM hItem) {
    tree.EnsureVisible(hItem);
    CRect label;
    tree.GetItemRect(hItem, &label, TRUE);
    win32::Click(tree.m_hWnd, label.CenterPoint());
    win32::PumpUiMessages();
}

void DeviceTreeTest::ShowPage(int nTab) {
    COX3DTabViewContainer& tabs = Tab().GetTabContainer();
    CRect rect;
    tabs.GetItemRect(nTab, &rect);
    win32::Click(tabs.m_hWnd, rect.CenterPoint());
    win32::PumpUiMessages();
}

CDeviceObject* DeviceTreeTest::DeviceObjectOf(std::string_view deviceName) {
    const auto address = static_cast<ULONG64>(reinterpret_cast<uintptr_t>(Pdo(deviceName)));
    const CAttachedDevices* pDevices = Doc()->GetAttachedDevices();
    for (INT_PTR i = 0; i < pDevices->GetCount(); ++i) {
        CDeviceObject* pDevice = pDevices->GetAt(i);
        if (pDevice->_NtDeviceObject == address && !pDevice->IsRemoved())
            return pDevice;
    }
    return nullptr;
}

CDeviceStack* DeviceTreeTest::StackOf(std::string_view deviceName) {
    CDeviceObject* pDevice = DeviceObjectOf(deviceName);
    return pDevice != nullptr ? pDevice->_DevStack : nullptr;
}

std::set<const CDeviceObject*> DeviceTreeTest::CheckedObjects() {
    std::set<const CDeviceObject*> checked;
    const CAttachedDevices* pDevices = Doc()->GetAttachedDevices();
    for (INT_PTR i = 0; i < pDevices->GetCount(); ++i) {
        const CDeviceObject* pDevice = pDevices->GetAt(i);
        if (pDevice->IsSelectable() && pDevice->m_nStateImage == 2)
            checked.insert(pDevice);
    }
    return checked;
}

namespace {
int StateOfObject(const CDeviceObject& device) {
    return device.IsSelectable() ? static_cast<int>(device.m_nStateImage) : 3;
}
} // namespace

void DeviceTreeTest::ExpectViewsFollowTheModel() {
    const CTabTree& drivers = Tab().GetDriversTab().GetTree();
    for (HTREEITEM hItem = drivers.GetRootItem(); hItem != nullptr; hItem = drivers.GetNextItemInOrder(hItem)) {
        if (const CDeviceObject* pDevice = Tab().GetDriversTab().DeviceObjectOf(hItem))
            EXPECT_EQ(StateOfObject(*pDevice), State(drivers, hItem)) << drivers.GetItemText(hItem).GetString();
    }
    const CTabTree& stacks = Tab().GetStacksTab().GetTree();
    for (HTREEITEM hItem = stacks.GetRootItem(); hItem != nullptr; hItem = stacks.GetNextItemInOrder(hItem)) {
        if (const CDeviceStack* pStack = Tab().GetStacksTab().StackOf(hItem))
            EXPECT_EQ(pStack->GetCheckState(), State(stacks, hItem)) << stacks.GetItemText(hItem).GetString();
    }
    const CTabTree& devices = Tab().GetDevicesTab().GetTree();
    for (HTREEITEM hItem = devices.GetRootItem(); hItem != nullptr; hItem = devices.GetNextItemInOrder(hItem)) {
        const auto* pNode = CDevicesTab::NodeOf(devices.GetItemData(hItem));
        CObject* pObject = pNode != nullptr ? pNode->get().m_pElemObject : nullptr;
        int expected = 3;
        if (auto* pController = dynamic_cast<CHostController*>(pObject))
            expected = pController->GetCheckState();
        else if (auto* pHub = dynamic_cast<CUsbHub*>(pObject))
            expected = pHub->GetCheckState();
        else if (auto* pPort = dynamic_cast<CHubPort*>(pObject))
            expected = pPort->GetCheckState();
        EXPECT_EQ(expected, State(devices, hItem)) << devices.GetItemText(hItem).GetString();
    }
    CSpecialGridList& list = List();
    for (int i = 0; i < list.GetItemCount(); ++i) {
        const int state = static_cast<int>((list.GetItemState(i, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
        EXPECT_EQ(StateOfObject(*list.GetRowObject(i)), state) << "row " << i;
    }
}

std::vector<DeviceTreeTest::Row> DeviceTreeTest::Rows() {
    std::vector<Row> rows;
    CSpecialGridList& list = List();
    for (int i = 0; i < list.GetItemCount(); ++i) {
        Row row;
        row.name = static_cast<LPCSTR>(list.GetItemText(i, 0));
        row.address = static_cast<LPCSTR>(list.GetItemText(i, 1));
        row.driver = static_cast<LPCSTR>(list.GetItemText(i, 2));
        row.state = static_cast<int>((list.GetItemState(i, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
        rows.push_back(row);
    }
    return rows;
}

void DeviceTreeTest::ClickRowCheck(int nRow) {
    CSpecialGridList& list = List();
    CRect row;
    list.GetItemRect(nRow, &row, LVIR_BOUNDS);
    CRect icon;
    list.GetItemRect(nRow, &icon, LVIR_ICON);
    // The check box is the state image left of the row's image.
    win32::Click(list.m_hWnd, POINT{icon.left - 6, row.CenterPoint().y});
    win32::PumpUiMessages();
}

} // namespace mainwin_test
