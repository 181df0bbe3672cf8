// A live capture driven headless, as a user drives it through the windows: devices chosen by the check state
// of their stacks (the device tree's check boxes), commands sent to the main window, and the user-interface
// thread pumping its messages (the record list indexing the capture thread's blocks, the stop the capture
// thread posts) while the machine's workloads run on threads of their own.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

// The kernel's headers first: the framework's ASSERT yields to the kernel's.
#include "platform/sim/Workload.h"

#include "afxwin.h"

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

// The live capture document made new (File New), which takes the options in force; null when there is none.
CUSBLog* RenewLiveDocument(CTindaloftApp& app);

// Checks the device stack that holds the device object at this kernel address, every loggable object of it,
// as a click on the stack's check box in the device tree does. FALSE when the document has no such object
// or it belongs to no stack.
BOOL CheckDeviceStack(CUSBLog& document, const void* pDeviceObject);

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
