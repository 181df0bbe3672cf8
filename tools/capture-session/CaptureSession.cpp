#include "tools/capture-session/CaptureSession.h"

#include <atomic>
#include <thread>

#include "WinMachineProfile.h"
#include "WinUiControl.h"
#include "app/core/AppResources.h"
#include "app/core/ProgramVersion.h"
#include "app/core/Resource.h"
#include "app/core/SingleInstance.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/TempObject.h"

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

CUSBLog* RenewLiveDocument(CTindaloftApp& app) {
    SendCommand(ID_FILE_NEW);
    POSITION pos = app.m_pCaptureDocTemplate != nullptr ? app.m_pCaptureDocTemplate->GetFirstDocPosition() : nullptr;
    return pos != nullptr ? dynamic_cast<CUSBLog*>(app.m_pCaptureDocTemplate->GetNextDoc(pos)) : nullptr;
}

BOOL CheckDeviceStack(CUSBLog& document, const void* pDeviceObject) {
    const CAttachedDevices* pDevices = document.GetAttachedDevices();
    if (pDevices == nullptr)
        return FALSE;
    const auto address = static_cast<ULONG64>(reinterpret_cast<uintptr_t>(pDeviceObject));
    for (INT_PTR i = 0; i < pDevices->GetCount(); ++i) {
        CDeviceObject* pDevice = pDevices->GetAt(i);
        if (pDevice->_NtDeviceObject != address || pDevice->_DevStack == nullptr)
            continue;
        pDevice->_DevStack->SetCheckState(CHECKSTATE_CHECKED);
        return pDevice->_DevStack->GetCheckState() == CHECKSTATE_CHECKED;
    }
    return FALSE;
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
