// A full redisplay of the device tree's three pages (Stacks, Devices, Drivers) as the refresh after a device
// change does it, on a large machine: four host controllers, each with four hubs on its root ports and five
// hubs on each of those, and five devices on each hub of the second level (100 devices per controller: mice,
// keyboards, printers and vendor devices). The live document's model is read once; each iteration redisplays
// the three trees from it, each page's selection kept. Tracing off.

//
// Counters:
//   items          items of the three trees after a redisplay
//   items/s        items displayed per second
//   ms/redisplay   milliseconds per redisplay of the three trees (aim: under 100)
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/sim/Machine.h"

#include "WinUiControl.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/frame/MainFrame.h"
#include "tools/capture-session/CaptureSession.h"

namespace {

constexpr int kControllers = 4;
constexpr int kRootPorts = 4;
constexpr int kSecondLevelHubs = 5;
constexpr int kDevicesPerHub = 5;

sim::MachineBuilder LargeMachine() {
    const std::function<std::shared_ptr<sim::UsbDevice>(std::string)> makers[] = {
        [](std::string name) { return sim::MakeMouse(std::move(name)); },
        [](std::string name) { return sim::MakeKeyboard(std::move(name)); },
        [](std::string name) { return sim::MakePrinter(std::move(name)); },
        [](std::string name) { return sim::MakeLoopbackDevice(std::move(name)); },
    };
    sim::MachineBuilder machine;
    int devices = 0;
    for (int c = 0; c < kControllers; ++c) {
        const std::string controller = "ehci" + std::to_string(c);
        sim::HostControllerModel& ehci = machine.AddController(sim::ControllerType::Ehci, controller, kRootPorts);
        for (int r = 1; r <= kRootPorts; ++r) {
            const std::string hubName = controller + "-hub" + std::to_string(r);
            auto hub = ehci.Plug(r, sim::MakeHub20(hubName, kSecondLevelHubs));
            for (int h = 1; h <= kSecondLevelHubs; ++h) {
                auto second = hub->Plug(h, sim::MakeHub20(hubName + "." + std::to_string(h), 7));
                for (int d = 1; d <= kDevicesPerHub; ++d, ++devices)
                    second->Plug(d, makers[devices % 4]("device" + std::to_string(devices)));
            }
        }
    }
    return machine;
}

struct LargeTree : tdl::session::HeadlessSession {
    CUSBLog* log = nullptr;
    CDeviceTreeTab* tab = nullptr;

    explicit LargeTree(const sim::MachineBuilder& hardware) : HeadlessSession("bench-tree", &hardware) {
        if (!failure.empty())
            return;
        log = tdl::session::RenewLiveDocument(*app);
        win32::PumpUiMessages();
        auto* pFrame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
        tab = pFrame != nullptr ? pFrame->GetDeviceTreeTab() : nullptr;
        if (log == nullptr || tab == nullptr)
            failure = "no live document in a device tree";
    }
    size_t Items() const {
        return tab->GetDevicesTab().GetTree().GetCount() + tab->GetStacksTab().GetTree().GetCount() +
               tab->GetDriversTab().GetTree().GetCount();
    }
};

void FullRedisplay(benchmark::State& state) {
    LargeTree tree(LargeMachine());
    if (!tree.failure.empty()) {
        state.SkipWithError(tree.failure.c_str());
        return;
    }
    // A selection on each page, kept across every redisplay as the user's would be.
    CDeviceTreeTab& tab = *tree.tab;
    for (CTabTree* pTree :
         {&tab.GetDevicesTab().GetTree(), &tab.GetStacksTab().GetTree(), &tab.GetDriversTab().GetTree()})
        pTree->SelectItem(pTree->GetNextItemInOrder(pTree->GetRootItem()));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        tree.log->SetDeviceTreeModified(TRUE);
        tab.RefreshTabViews(tree.log, TRUE);
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    const double items = static_cast<double>(tree.Items());
    const double redisplays = static_cast<double>(state.iterations());
    state.counters["items"] = items;
    state.counters["items/s"] = benchmark::Counter(items * redisplays, benchmark::Counter::kIsRate);
    state.counters["ms/redisplay"] = elapsed.count() / redisplays;
}
// A fixed count: the machine and its document take seconds to make, once per run of the row.
BENCHMARK(FullRedisplay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

} // namespace
