// A live capture driven headless, as a user drives it through the windows: devices checked with the mouse on
// the device tree's Devices tab, commands sent to the main window, and the user-interface
// thread pumping its messages (the record list indexing the capture thread's blocks, the stop the capture
// thread posts) while the machine's workloads run on threads of their own.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <string>

// The kernel's headers first: the framework's ASSERT yields to the kernel's.
#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

#include "afxwin.h"

class CTabTree;
class CTindaloftApp;
class CUSBLog;

namespace tdl::session {

// What the program sets up before its application object runs: its resources, the single-instance mutex and
// user mode's state folder (where what outlives the run is kept). Modal requests nobody scripted take their
// default answers and are kept with the others (win32::ModalRequests), never reported on standard error.
void PrepareProgram(const std::filesystem::path& stateFolder);
void EndProgram();

// The application object started on the running machine without a display (and without the splash window
// that would hold the start); null when its start failed. The deleter takes the main window and the documents
// down before the object, as the framework's end does.
struct AppEnd {
    void operator()(CTindaloftApp* pApp) const;
};
using HeadlessApp = std::unique_ptr<CTindaloftApp, AppEnd>;
HeadlessApp StartHeadlessApp();

// A machine and the program on it, for one run: the program prepared in a state folder of this process named
// after `name`, the machine (the default one unless `hardware` is given; unpaced when `busTime` is false)
// booted with the capture driver, and the application started without a display. `failure` says what did not
// work. The end takes the application, the machine and the program down, on the thread that made them.
struct HeadlessSession {
    explicit HeadlessSession(const std::string& name, const sim::MachineBuilder* hardware = nullptr,
                             bool busTime = true);
    ~HeadlessSession();
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    std::unique_ptr<sim::Machine> machine;
    HeadlessApp app;
    std::string failure;
};

// The live capture document made new (File New), which takes the options in force; null when there is none.
CUSBLog* RenewLiveDocument(CTindaloftApp& app);

// Shows the device tree's Devices tab as a click on its tab does, and finds the item whose device stack holds
// the device object at this kernel address (the item of the device's port), with the tab's tree in rpTree; null
// when the main window shows no device tree or the tab has no such item.
HTREEITEM ShowOnDevicesTab(const void* pDeviceObject, CTabTree*& rpTree);

// The middle of a tree item's check box (its state image) in the tree's client coordinates, found as the tree
// finds what a click hits, the item scrolled into view first; (-1, -1) when the item shows none.
POINT CheckBoxPoint(CTreeCtrl& tree, HTREEITEM hItem);
// A click on the check box of a report list's row (the state image left of the row's image).
void ClickCheckBox(CListCtrl& list, int nRow);

// Checks a device on the device tree's Devices tab as the user does: the Devices tab shown, then a click on the
// check box of the item whose device stack holds the device object at this kernel address (the item of the
// device's port). TRUE when the item and its stack are checked after it; FALSE when the main window shows no
// device tree or the tab has no such item.
BOOL CheckOnDevicesTab(const void* pDeviceObject);

// A command to the main window, as its menu or tool bar sends it; the frame routes it to the active document.
void SendCommand(UINT nID);

// Handles the calling thread's messages until `done` says so or `timeout` of real time has passed; whether
// `done` said so.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

struct WorkloadPlan {
    sim::WorkloadKind kind = sim::WorkloadKind::MouseMoving;
    sim::WorkloadOptions options;
};

// Plays the workloads together, each on a thread of its own, and pumps the calling thread's messages until
// every one has ended; their results in the plans' order.
std::vector<sim::WorkloadResult> PlayWhilePumping(sim::Machine& machine, const std::vector<WorkloadPlan>& plans);

} // namespace tdl::session
