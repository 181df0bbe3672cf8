// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/AppOnMachine.h"

#include <chrono>
#include <thread>

#include "GkCommandBars.h"
#include "GkDockingPane.h"
#include "GkDockingPaneManager.h"
#include "GkMenuBar.h"
#include "GkPropertyGrid.h"
#include "GkPropertyGridInplaceButton.h"
#include "GkPropertyGridItem.h"
#include "GkPropertyGridItems.h"
#include "GkToolBar.h"
#include "NtClock.h"
#include "WinFileDialogControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/UsbHubModel.h"
#include "tests/support/Pictures.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace tdl::test {

namespace {

// The id of the item down the path of texts in a menu; 0 when a step is missing or the item is greyed.
UINT ItemOfPath(HMENU hMenu, std::vector<std::string>::const_iterator step,
                std::vector<std::string>::const_iterator end) {
    for (int i = 0; hMenu != nullptr && step != end && i < ::GetMenuItemCount(hMenu); ++i) {
        char text[128] = {};
        ::GetMenuStringA(hMenu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (*step != text)
            continue;
        if (HMENU hSub = ::GetSubMenu(hMenu, i))
            return ItemOfPath(hSub, step + 1, end);
        if (step + 1 != end || (::GetMenuState(hMenu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0)
            return 0;
        return ::GetMenuItemID(hMenu, i);
    }
    return 0;
}

// The first in-place button of that id below the items.
CGkPropertyGridInplaceButton* ButtonOf(const CGkPropertyGridItems* pItems, UINT nID) {
    for (int i = 0; pItems != nullptr && i < pItems->GetCount(); ++i) {
        CGkPropertyGridItem* pItem = pItems->GetAt(i);
        if (CGkPropertyGridInplaceButton* pButton = pItem->GetInplaceButtons()->Find(nID))
            return pButton;
        if (CGkPropertyGridInplaceButton* pButton = ButtonOf(pItem->GetChilds(), nID))
            return pButton;
    }
    return nullptr;
}

} // namespace

void AppOnMachineTest::SetUp() {
    BootMachine();
    UseVirtualClock();
    // The starter sets the modal service to its own defaults: the checks begin after it.
    m_starter = std::make_unique<apptest::AppStarter>();
    m_checks.Begin();
}

void AppOnMachineTest::TearDown() {
    if (Frame() != nullptr)
        Close();
    m_starter->Make(); // the last application object goes before the checks count what is left
    m_checks.End();
    m_starter.reset();
    MachineTest::TearDown();
}

void AppOnMachineTest::BootMachine(const std::filesystem::path& stateFolder) {
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    options.stateDir = stateFolder;
    options.busTime = false; // see tdl::test::BusTime
    Boot(sim::DefaultMachine(), options);
}

void AppOnMachineTest::ShutDownMachine() {
    if (m_machine != nullptr)
        m_machine->Shutdown();
    m_machine.reset();
}

CMainFrame* AppOnMachineTest::Start(bool liveCapture, CSize size) {
    if (Frame() != nullptr)
        Close();
    m_starter->Make("/Embedding");
    EXPECT_TRUE(m_starter->Start());
    CMainFrame* pFrame = Frame();
    if (pFrame == nullptr)
        return nullptr;
    pFrame->MoveWindow(0, 0, size.cx, size.cy);
    pFrame->ShowWindow(SW_SHOW);
    if (liveCapture)
        Command(ID_FILE_NEW);
    // A new document's panes are filled by a redisplay its window posted.
    win32::PumpUiMessages();
    Idle();
    win32::PumpUiMessages();
    return pFrame;
}

std::vector<win32::ModalRequest> AppOnMachineTest::TakeStartBoxes() {
    return apptest::AppStarter::TakeBoxes();
}

void AppOnMachineTest::Close() {
    CMainFrame* pFrame = Frame();
    if (pFrame != nullptr)
        pFrame->SendMessage(WM_CLOSE);
    apptest::AppStarter::TakeQuit();
    win32::PumpUiMessages();
    m_starter->Exit();
    apptest::AppStarter::TakeQuit();
}

CUSBLog* AppOnMachineTest::Live() const {
    return Frame() != nullptr ? Frame()->GetLiveDocument() : nullptr;
}

CUSBLog* AppOnMachineTest::Active() const {
    return Frame() != nullptr ? Frame()->GetActiveLogDocument() : nullptr;
}

CLogListView* AppOnMachineTest::RecordList(CUSBLog* pDoc) const {
    if (pDoc == nullptr)
        pDoc = Live();
    if (pDoc == nullptr)
        return nullptr;
    for (POSITION pos = pDoc->GetFirstViewPosition(); pos != nullptr;)
        if (auto* pView = dynamic_cast<CLogListView*>(pDoc->GetNextView(pos)))
            return pView;
    return nullptr;
}

CGkDockingPane* AppOnMachineTest::FindPane(UINT nID) const {
    return Frame() != nullptr ? Frame()->GetPaneManager().FindPane(nID) : nullptr;
}

CWnd* AppOnMachineTest::PaneWindow(UINT nID) const {
    CGkDockingPane* pPane = FindPane(nID);
    return pPane != nullptr ? pPane->GetChild() : nullptr;
}

HWND AppOnMachineTest::Control(std::initializer_list<int> idPath, HWND root) {
    HWND hwnd = root;
    for (int nID : idPath) {
        if (hwnd == nullptr)
            return nullptr;
        hwnd = ::GetDlgItem(hwnd, nID);
    }
    return hwnd;
}

HWND AppOnMachineTest::Control(std::initializer_list<int> idPath) const {
    return Control(idPath, Frame() != nullptr ? Frame()->GetSafeHwnd() : nullptr);
}

void AppOnMachineTest::ClickIn(HWND hwnd, const RECT& rect, win32::MouseButton button) {
    win32::Click(hwnd, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, button);
    win32::PumpUiMessages();
}

void AppOnMachineTest::DoubleClickIn(HWND hwnd, const RECT& rect) {
    win32::DoubleClick(hwnd, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    win32::PumpUiMessages();
}

BOOL AppOnMachineTest::CheckDevice(std::string_view deviceName) {
    return Live() != nullptr && tdl::session::CheckOnDevicesTab(Pdo(deviceName));
}

BOOL AppOnMachineTest::ClickGridButton(CGkPropertyGrid& grid, UINT nID) {
    CGkPropertyGridInplaceButton* pButton = ButtonOf(grid.GetCategories(), nID);
    const int nRow = pButton != nullptr ? grid.FindRow(pButton->GetItem()) : -1;
    if (nRow < 0)
        return FALSE;
    if (grid.GetInplaceButtonRect(pButton).IsRectEmpty())
        grid.SetTopIndex(nRow);
    const CRect button = grid.GetInplaceButtonRect(pButton);
    if (button.IsRectEmpty())
        return FALSE;
    ClickIn(grid.GetSafeHwnd(), button);
    return TRUE;
}

BOOL AppOnMachineTest::ClickToolbar(UINT nID) {
    // The idle loop has brought the buttons' states up to date before the user's click.
    Idle();
    CGkCommandBars* pBars = Frame() != nullptr ? Frame()->GetCommandBars() : nullptr;
    CGkControl* pButton = pBars != nullptr ? pBars->FindControl(nID) : nullptr;
    if (pButton == nullptr || pButton->GetRect().IsRectEmpty())
        return FALSE;
    ClickIn(pButton->GetParent()->GetSafeHwnd(), pButton->GetRect());
    return TRUE;
}

void AppOnMachineTest::Keys(std::initializer_list<BYTE> keys) {
    for (BYTE vk : keys)
        win32::KeyDown(nullptr, vk);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        win32::KeyUp(nullptr, *it);
    ServeAsTheProgram();
}

void AppOnMachineTest::ServeAsTheProgram() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT)
        App().PumpMessage();
    win32::PumpUiMessages();
    App().OnIdle(0);
}

LRESULT AppOnMachineTest::Command(UINT nID) {
    const LRESULT result = Frame()->SendMessage(WM_COMMAND, nID, 0);
    win32::PumpUiMessages();
    return result;
}

BOOL AppOnMachineTest::ChooseMenu(const std::vector<std::string>& path) {
    CGkCommandBars* pBars = Frame() != nullptr ? Frame()->GetCommandBars() : nullptr;
    CGkMenuBar* pMenuBar = pBars != nullptr ? pBars->GetMenuBar() : nullptr;
    if (pMenuBar == nullptr || path.size() < 2)
        return FALSE;
    Idle();
    for (int i = 0; i < pMenuBar->GetControlCount(); ++i) {
        CGkControl* pTitle = pMenuBar->GetControl(i);
        if (pTitle->GetCaption() != path.front().c_str())
            continue;
        UINT nChosen = 0;
        win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest&, HWND window) -> INT_PTR {
            nChosen = ItemOfPath(reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0)), path.begin() + 1,
                                 path.end());
            return nChosen;
        });
        ClickIn(pMenuBar->GetSafeHwnd(), pTitle->GetRect());
        win32::PumpUiMessages();
        return nChosen != 0;
    }
    return FALSE;
}

void AppOnMachineTest::AnswerFile(const std::string& path, const std::string& match) {
    win32::QueueFileDialogChoice(path, match);
}

void AppOnMachineTest::Idle() {
    Frame()->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    Frame()->SendMessage(WM_IDLEUPDATECMDUI, TRUE, 0);
}

void AppOnMachineTest::Advance(int nMilliseconds) {
    win32::AdvanceUiClock(static_cast<ULONG>(nMilliseconds));
}

bool AppOnMachineTest::PumpUntil(const std::function<bool()>& done) {
    return tdl::session::PumpUntil(done, std::chrono::seconds(10));
}

void AppOnMachineTest::Play(const std::vector<tdl::session::WorkloadPlan>& plans) {
    const std::vector<sim::WorkloadResult> results = tdl::session::PlayWhilePumping(*m_machine, plans);
    for (size_t i = 0; i < plans.size(); ++i)
        EXPECT_TRUE(results[i].Succeeded()) << sim::WorkloadName(plans[i].kind) << ": " << results[i].failure;
}

void AppOnMachineTest::Plug(std::string_view hubName, int nPort, std::shared_ptr<sim::UsbDevice> device) {
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>(hubName);
    ASSERT_NE(hub, nullptr) << hubName;
    ASSERT_TRUE(m_machine->Plug(*hub, nPort, std::move(device)));
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
}

void AppOnMachineTest::Unplug(std::string_view deviceName) {
    ASSERT_NE(m_machine->Unplug(deviceName), nullptr) << deviceName;
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
}

void AppOnMachineTest::SavePicture(const std::string& fileName) {
    // The bars as the idle loop leaves them before the user looks.
    Idle();
    ::RedrawWindow(Frame()->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(tdl::test::SavePicture(Frame()->GetSafeHwnd(), fileName));
}

} // namespace tdl::test
