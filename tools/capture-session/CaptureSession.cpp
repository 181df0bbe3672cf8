#include "tools/capture-session/CaptureSession.h"

#include <unistd.h>

#include <atomic>
#include <thread>

#include "WinMachineProfile.h"
#include "WinUiControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/app/SingleInstance.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/system/ProgramVersion.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/frame/MainFrame.h"

// The capture driver's entry (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace tdl::session {

void PrepareProgram(const std::filesystem::path& stateFolder) {
    win32::SetStateFolder(stateFolder.string());
    RegisterProgramVersionResource();
    RegisterAppResources();
    // A message box nobody scripted takes its default answer and is kept with the others, which the harness
    // prints as the user would have read them; nothing of it goes to standard error.
    win32::SetModalFailureHandler([](const win32::ModalRequest&) {});
    win32::SetModalStrict(true);
    CreateSingleInstanceMutex();
}

void EndProgram() {
    CloseSingleInstanceMutex();
}

void AppEnd::operator()(CTindaloftApp* pApp) const {
    if (pApp->m_pMainWnd != nullptr && pApp->m_pMainWnd->m_hWnd != nullptr)
        pApp->m_pMainWnd->DestroyWindow();
    pApp->m_pMainWnd = nullptr;
    pApp->ExitInstance();
    delete pApp;
    // The main window posted the quit that ends a program's message loop; the next application of this thread
    // must not take it as its own (a save's window would see the user leaving).
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

HeadlessApp StartHeadlessApp() {
    HeadlessApp app(new CTindaloftApp);
    // As an embedded start: no splash window.
    app->SetCurrentHandles(nullptr, "/Embedding", SW_SHOWNORMAL);
    if (!app->InitInstance())
        app.reset();
    return app;
}

HeadlessSession::HeadlessSession(const std::string& name, const sim::MachineBuilder* hardware, bool busTime) {
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("tdl-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(state);
    PrepareProgram(state);
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    options.busTime = busTime;
    machine = hardware != nullptr ? sim::Machine::Boot(*hardware, options) : sim::Machine::BootDefault(options);
    if (machine == nullptr || !NT_SUCCESS(machine->Status())) {
        failure = "the machine did not boot";
        return;
    }
    app = StartHeadlessApp();
    if (app == nullptr)
        failure = "the application did not start";
}

HeadlessSession::~HeadlessSession() {
    app.reset();
    if (machine != nullptr)
        machine->Shutdown();
    EndProgram();
}

CUSBLog* RenewLiveDocument(CTindaloftApp& app) {
    SendCommand(ID_FILE_NEW);
    POSITION pos = app.m_pCaptureDocTemplate != nullptr ? app.m_pCaptureDocTemplate->GetFirstDocPosition() : nullptr;
    return pos != nullptr ? dynamic_cast<CUSBLog*>(app.m_pCaptureDocTemplate->GetNextDoc(pos)) : nullptr;
}

namespace {

// The Devices tab's item whose device stack holds the device object at the address; null when none does.
HTREEITEM DevicesItemOf(const CTabTree& tree, ULONG64 address) {
    for (HTREEITEM hItem = tree.GetRootItem(); hItem != nullptr; hItem = tree.GetNextItemInOrder(hItem)) {
        int nImage = -1;
        int nSelected = -1;
        tree.GetItemImage(hItem, nImage, nSelected);
        const CDeviceStack* pStack = CDevicesTab::StackOfItem(nImage, CDevicesTab::NodeOf(tree.GetItemData(hItem)));
        if (pStack == nullptr)
            continue;
        for (const auto& [position, pDevice] : pStack->DeviceObjectsByPosition()) {
            if (pDevice->_NtDeviceObject == address)
                return hItem;
        }
    }
    return nullptr;
}

} // namespace

HTREEITEM ShowOnDevicesTab(const void* pDeviceObject, CTabTree*& rpTree) {
    rpTree = nullptr;
    // A new document's tree is shown by a redisplay the window posted.
    win32::PumpUiMessages();
    auto* pFrame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    CDeviceTreeTab* pTab = pFrame != nullptr ? pFrame->GetDeviceTreeTab() : nullptr;
    if (pTab == nullptr)
        return nullptr;
    COX3DTabViewContainer& tabs = pTab->GetTabContainer();
    if (tabs.GetActivePageIndex() != CDeviceTreeTab::DevicesTab) {
        CRect caption;
        tabs.GetItemRect(CDeviceTreeTab::DevicesTab, &caption);
        win32::Click(tabs.m_hWnd, caption.CenterPoint());
        win32::PumpUiMessages();
    }
    rpTree = &pTab->GetDevicesTab().GetTree();
    return DevicesItemOf(*rpTree, static_cast<ULONG64>(reinterpret_cast<uintptr_t>(pDeviceObject)));
}

POINT CheckBoxPoint(CTreeCtrl& tree, HTREEITEM hItem) {
    tree.EnsureVisible(hItem);
    CRect label;
    tree.GetItemRect(hItem, &label, TRUE);
    // Along the item's row left of its label, where the tree's own hit test finds the state image.
    const int y = label.CenterPoint().y;
    int left = -1;
    int right = -1;
    for (int x = 0; x < label.left; ++x) {
        UINT flags = 0;
        if (tree.HitTest(CPoint(x, y), &flags) == hItem && (flags & TVHT_ONITEMSTATEICON) != 0) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    return left < 0 ? POINT{-1, -1} : POINT{(left + right) / 2, y};
}

void ClickCheckBox(CListCtrl& list, int nRow) {
    CRect row;
    list.GetItemRect(nRow, &row, LVIR_BOUNDS);
    CRect icon;
    list.GetItemRect(nRow, &icon, LVIR_ICON);
    win32::Click(list.m_hWnd, POINT{icon.left - 6, row.CenterPoint().y});
    win32::PumpUiMessages();
}

BOOL CheckOnDevicesTab(const void* pDeviceObject) {
    CTabTree* pTree = nullptr;
    const HTREEITEM hItem = ShowOnDevicesTab(pDeviceObject, pTree);
    if (hItem == nullptr)
        return FALSE;
    if (!pTree->IsChecked(hItem)) {
        const POINT box = CheckBoxPoint(*pTree, hItem);
        if (box.x < 0)
            return FALSE;
        win32::Click(pTree->m_hWnd, box);
        win32::PumpUiMessages();
    }
    return pTree->IsChecked(hItem);
}

void SendCommand(UINT nID) {
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != nullptr)
        pMainWnd->SendMessage(WM_COMMAND, nID, 0);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    // Host time, not machine time: a test's virtual clock moves only when a workload moves it.
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        win32::PumpUiMessages();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<sim::WorkloadResult> PlayWhilePumping(sim::Machine& machine, const std::vector<WorkloadPlan>& plans) {
    std::vector<sim::WorkloadResult> results(plans.size());
    std::atomic<size_t> running{plans.size()};
    std::vector<std::thread> threads;
    threads.reserve(plans.size());
    for (size_t i = 0; i < plans.size(); ++i) {
        threads.emplace_back([&, i] {
            results[i] = sim::RunWorkload(machine, plans[i].kind, plans[i].options);
            running.fetch_sub(1);
        });
    }
    PumpUntil([&] { return running.load() == 0; }, std::chrono::hours(1));
    for (std::thread& thread : threads)
        thread.join();
    // What the capture thread handed over while the workloads ended is indexed too.
    win32::PumpUiMessages();
    return results;
}

} // namespace tdl::session
