// The desk: what goes on at a machine while the analyzer runs on it. A desk is started on a booted machine
// (the default one: it uses its devices by their names) with a set of activities, runs them in threads of its
// own on the machine's clock, and is stopped before the machine shuts down:
//
//     sim::Desk desk(*machine, sim::DeskActivities::All());
//     ...
//     desk.Stop(); // or its end
//
// The activities (DeskActivities.h names them):
// - idle: the idle machine's own traffic, which every desk makes: each disk polled for its medium once a
//   second; the printer asked for its status, and each external hub's status-change endpoint looked at by its
//   hub driver, every two seconds;
// - mouse, keyboard: the device's HID collection held open with a read pending, as Windows' input thread holds
//   it (the class driver keeps an interrupt transfer with the device meanwhile); and the person's hands
//   (MoveMouse, PressKey, ...), which the device reports as boot-protocol input reports at its report rate;
// - stick: a file (16 KiB) copied to the stick every three seconds ("copying a file to the stick");
// - printer: a print job every fifteen seconds ("printing");
// - plug: every thirty seconds a device plugged into a free port of the external hub "hub", used a little and
//   pulled out again ("plug and unplug").
// The quoted steps are the workloads' (Workload.h), one step each time; their seeds count up, so that each
// file and job is new and the plugged devices take turns. An activity whose device the machine lacks, or a
// step that fails, is noted (Failure) and tried again at its next time.
//
// Time: the activities wait for machine time, so that on a virtual clock (nt::clock::UseVirtualClock) they take
// their steps as a test moves the clock on. Stop ends every wait at once, lets a step under way finish, closes
// the held collections (their reads end cancelled) and joins the threads; nothing of the desk is left pending.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/DeskActivities.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

namespace sim {

class Desk {
public:
    Desk(Machine& machine, DeskActivities activities);
    ~Desk();
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    // Ends the activities (see above); the desk stays stopped, and the hands it is told of go nowhere. Stopping
    // again does nothing.
    void Stop();
    const DeskActivities& Activities() const { return m_activities; }

    // The person's hands, reported by the machine's "mouse" and "keyboard" while their activities run (nothing
    // otherwise). Motion accumulates between reports: a report carries what the hand did since the last one,
    // each delta at most 127 counts (the rest goes in the next report). Buttons: 0 left, 1 right, 2 middle.
    // Keys are usages of the keyboard page (0x04 'a' ... 0xE0 to 0xE7 the modifiers); each change of the keys
    // held is a report of its own.
    void MoveMouse(int dx, int dy);
    void PressMouseButton(int button, bool down);
    void TurnMouseWheel(int detents);
    void PressKey(UCHAR usage, bool down);

    // Steps an activity finished: idle looks, files copied, jobs printed, devices plugged and pulled; for the
    // mouse and the keyboard the reports their held reads brought.
    uint64_t Steps(DeskActivity activity) const;
    // What last went wrong with an activity (empty when nothing did).
    std::string Failure(DeskActivity activity) const;
    // The newest reports the held read of the mouse or the keyboard brought (at most 256, the oldest first),
    // without the report ID byte.
    std::vector<Bytes> ReportsRead(DeskActivity device) const;

private:
    class HeldDevice; // the mouse or the keyboard (Desk.cpp)

    // Runs `step` (with its number) on a thread of its own, first after `first` of machine time and then every
    // `period` (100 ns units), until the stop.
    void Every(LONGLONG first, LONGLONG period, std::function<void(uint64_t)> step);
    void IdleLook(uint64_t n);
    void PlayStep(DeskActivity activity, WorkloadKind kind, uint64_t step);
    void Note(DeskActivity activity, bool succeeded, const std::string& failure = {});

    Machine& m_machine;
    const DeskActivities m_activities;
    // The machine's own devices the idle look polls, by name (those present when the desk began).
    std::vector<std::string> m_disks, m_printers, m_hubs;

    mutable std::mutex m_lock;
    std::condition_variable m_changed; // the stop
    bool m_stopping = false;
    std::string m_failures[kDeskActivities.size()];
    std::atomic<uint64_t> m_steps[kDeskActivities.size()] = {};

    std::unique_ptr<HeldDevice> m_mouse, m_keyboard;
    std::vector<std::thread> m_threads;
};

} // namespace sim
