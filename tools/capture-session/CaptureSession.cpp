#include "tools/capture-session/CaptureSession.h"

#include <atomic>
#include <thread>

#include "WinUiControl.h"
#include "app/core/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/TempObject.h"

namespace tdl::session {

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
