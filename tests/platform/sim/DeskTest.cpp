// The desk on the default machine: the names its option takes, its activities on their times (on a virtual
// clock, moved on by the test), the mouse and keyboard reporting the person's hands at their report rate, and a
// stop that ends every wait at once and leaves nothing behind.
#include "platform/sim/Desk.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "NtClock.h"
#include "platform/sim/Workload.h"
#include "tests/support/MachineFixture.h"

namespace {

using sim::Bytes;
using sim::DeskActivities;
using sim::DeskActivity;

// --- Names ---

TEST(DeskNames, EachNameRoundTripsAndTheListNamesThemAll) {
    EXPECT_EQ(sim::DeskActivityNames(), "idle, mouse, keyboard, stick, printer, plug");
    for (DeskActivity activity : sim::kDeskActivities) {
        EXPECT_EQ(sim::DeskActivityFromName(sim::DeskActivityName(activity)), activity);
    }
    EXPECT_EQ(DeskActivities::All().Names(), "idle,mouse,keyboard,stick,printer,plug");
    EXPECT_EQ(DeskActivities().Names(), "idle");
    // The idle traffic stays in every set.
    EXPECT_TRUE(DeskActivities().Without(DeskActivity::Idle).Has(DeskActivity::Idle));
}

TEST(DeskNames, AListChoosesItsActivitiesAndABadOneSaysWhatIsWrongAndWhatThereIs) {
    const std::string names = "the activities are idle, mouse, keyboard, stick, printer, plug";
    const struct {
        const char* list;
        const char* chosen; // null: refused
        std::string error;
    } cases[] = {
        {"idle", "idle", ""},
        {"mouse,keyboard,stick,printer,plug", "idle,mouse,keyboard,stick,printer,plug", ""},
        {" stick , mouse", "idle,mouse,stick", ""},
        {"printer,printer,idle", "idle,printer", ""},
        {"mosue", nullptr, "--desk: unknown activity \"mosue\"; " + names},
        {"mouse,Keyboard", nullptr, "--desk: unknown activity \"Keyboard\"; " + names},
        {"", nullptr, "--desk takes a list of activities separated by commas; " + names},
        {"mouse,,stick", nullptr, "--desk takes a list of activities separated by commas; " + names},
        {"mouse,", nullptr, "--desk takes a list of activities separated by commas; " + names},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const sim::DeskChoice choice = sim::ParseDeskList(c.list);
        EXPECT_EQ(choice.error, c.error);
        if (c.chosen) {
            EXPECT_EQ(choice.activities.Names(), c.chosen);
        }
    }
    EXPECT_EQ(sim::MissingDeskList(), "--desk takes a list of activities separated by commas; " + names);
}

// --- The desk on a machine ---

constexpr LONGLONG kMillisecond = 10'000;

class DeskTest : public tdl::test::MachineTest {
protected:
    // Unpaced: what is tested is the desk's own timetable, which a test moves on by the virtual clock; bus time
    // would have every transfer wait for that clock too.
    void SetUp() override {
        BootDefault(nt::version::Release::Windows7, nullptr, tdl::test::BusTime::Off);
        UseVirtualClock();
        m_start = nt::clock::Now();
    }

    // Waits in real time until `done` holds (the desk's threads work on their own).
    static bool Eventually(const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Machine time since the test began.
    LONGLONG Elapsed() const { return nt::clock::Now() - m_start; }
    static std::vector<Bytes> Reports(const sim::Desk& desk, DeskActivity device) { return desk.ReportsRead(device); }
    // Waits until the held read of a device has brought `count` reports.
    static std::vector<Bytes> AwaitReports(const sim::Desk& desk, DeskActivity device, size_t count) {
        std::vector<Bytes> reports;
        Eventually([&] { return (reports = desk.ReportsRead(device)).size() >= count; });
        return reports;
    }

    LONGLONG m_start = 0;
};

// The times of the activities, counted from the desk's start: the idle look every second, a copy at 2 s and
// then every 3 s, a print job at 5 s and then every 15 s, a plug at 10 s and then every 30 s. Each step done
// when its time has come, and none before.
TEST_F(DeskTest, EachActivityTakesItsStepsOnItsTimes) {
    sim::Desk desk(*m_machine, DeskActivities::All());
    const struct {
        DeskActivity activity;
        LONGLONG first, period; // milliseconds
    } schedules[] = {{DeskActivity::Idle, 1000, 1000},
                     {DeskActivity::Stick, 2000, 3000},
                     {DeskActivity::Printer, 5000, 15000},
                     {DeskActivity::Plug, 10000, 30000}};
    auto due = [&](const auto& schedule) -> uint64_t {
        const LONGLONG now = Elapsed() / kMillisecond;
        return now < schedule.first ? 0 : 1 + (now - schedule.first) / schedule.period;
    };
    // Moved on 100 ms at a time; before each move the steps due so far are done.
    while (Elapsed() < 41'000 * kMillisecond) {
        for (const auto& schedule : schedules) {
            SCOPED_TRACE(std::string(sim::DeskActivityName(schedule.activity)) + " at " +
                         std::to_string(Elapsed() / kMillisecond) + " ms");
            ASSERT_TRUE(Eventually([&] { return desk.Steps(schedule.activity) >= due(schedule); }))
                << desk.Failure(schedule.activity);
            ASSERT_EQ(desk.Steps(schedule.activity), due(schedule));
        }
        nt::clock::Advance(100 * kMillisecond);
    }
    EXPECT_EQ(desk.Steps(DeskActivity::Plug), 2u);
    for (const auto& schedule : schedules) {
        EXPECT_EQ(desk.Failure(schedule.activity), "") << sim::DeskActivityName(schedule.activity);
    }
    // The plugged devices were pulled out again, and the copies and the job landed.
    EXPECT_EQ(m_machine->DeviceAs<sim::UsbHubModel>("hub")->DeviceAt(4), nullptr);
    EXPECT_FALSE(m_machine->Device("printer")->FunctionAs<sim::PrinterFunction>(0)->Printed().empty());
}

// "idle" alone: the disks, the printer's status and the hubs, and nothing of the mouse, the keyboard or the
// loopback device; no file, no job, nothing plugged.
TEST_F(DeskTest, TheIdleDeskMakesOnlyTheIdleTraffic) {
    const char* quiet[] = {"mouse", "keyboard", "loopback"};
    const char* polled[] = {"stick", "ss-disk", "composite", "printer", "hub", "ss-hub"};
    std::map<std::string, uint64_t> before;
    for (const char* name : quiet) {
        before[name] = m_machine->Device(name)->UrbsReceived();
    }
    for (const char* name : polled) {
        before[name] = m_machine->Device(name)->UrbsReceived();
    }
    sim::Desk desk(*m_machine, DeskActivities());
    for (uint64_t second = 1; second <= 31; ++second) {
        nt::clock::Advance(1000 * kMillisecond);
        ASSERT_TRUE(Eventually([&] { return desk.Steps(DeskActivity::Idle) >= second; }))
            << desk.Failure(DeskActivity::Idle);
    }
    desk.Stop();
    EXPECT_EQ(desk.Failure(DeskActivity::Idle), "");
    for (DeskActivity other : {DeskActivity::Mouse, DeskActivity::Keyboard, DeskActivity::Stick, DeskActivity::Printer,
                               DeskActivity::Plug}) {
        EXPECT_EQ(desk.Steps(other), 0u) << sim::DeskActivityName(other);
    }
    for (const char* name : quiet) {
        EXPECT_EQ(m_machine->Device(name)->UrbsReceived(), before[name]) << name;
    }
    for (const char* name : polled) {
        EXPECT_GT(m_machine->Device(name)->UrbsReceived(), before[name]) << name;
    }
    EXPECT_TRUE(m_machine->Device("printer")->FunctionAs<sim::PrinterFunction>(0)->Printed().empty());
}

// A report at once for a hand that moved; while the report period runs, the motion gathers, and a move longer
// than a report can carry goes out in parts of at most 127 counts, one per period.
TEST_F(DeskTest, TheMouseReportsTheHandsMotionAtItsReportRate) {
    sim::Desk desk(*m_machine, DeskActivities().With(DeskActivity::Mouse));
    // The mouse reports every 10 ms (its endpoint's bInterval, in frames).
    auto nextPeriod = [&](size_t reports) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(Reports(desk, DeskActivity::Mouse).size(), reports - 1) << "a report before the period ended";
        nt::clock::Advance(10 * kMillisecond);
        return AwaitReports(desk, DeskActivity::Mouse, reports);
    };
    desk.MoveMouse(3, -2);
    EXPECT_EQ(AwaitReports(desk, DeskActivity::Mouse, 1), (std::vector<Bytes>{{0, 3, 0xFE, 0}}));
    desk.MoveMouse(2, 0);
    desk.MoveMouse(5, 1);
    EXPECT_EQ(nextPeriod(2).back(), (Bytes{0, 7, 1, 0})) << "the motion gathered";
    desk.PressMouseButton(0, true);
    desk.PressMouseButton(0, false);
    desk.MoveMouse(200, -300);
    EXPECT_EQ(nextPeriod(3).back(), (Bytes{1, 127, 0x81, 0})) << "the button pressed, the long move's first part";
    EXPECT_EQ(nextPeriod(4).back(), (Bytes{0, 73, 0x81, 0})) << "the button let go";
    EXPECT_EQ(nextPeriod(5).back(), (Bytes{0, 0, static_cast<UCHAR>(-46), 0}));
    nt::clock::Advance(100 * kMillisecond);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Reports(desk, DeskActivity::Mouse).size(), 5u) << "nothing more to report";
    EXPECT_EQ(desk.Steps(DeskActivity::Mouse), 5u);
    EXPECT_EQ(desk.Failure(DeskActivity::Mouse), "");
}

// Each change of the keys held is a report: the modifiers in byte 0, the keys from byte 2, and all six "roll
// over" (0x01) when more than six are held.
TEST_F(DeskTest, TheKeyboardReportsEachChangeOfTheKeysHeld) {
    sim::Desk desk(*m_machine, DeskActivities().With(DeskActivity::Keyboard));
    desk.PressKey(0x04, true);  // a
    desk.PressKey(0xE1, true);  // left shift
    desk.PressKey(0x04, false); //
    desk.PressKey(0xE1, false);
    for (UCHAR usage = 0x1E; usage < 0x1E + 7; ++usage) { // 1 to 7
        desk.PressKey(usage, true);
    }
    const std::vector<Bytes> expected = {
        {0, 0, 0x04, 0, 0, 0, 0, 0},
        {2, 0, 0x04, 0, 0, 0, 0, 0},
        {2, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0x1E, 0, 0, 0, 0, 0},
        {0, 0, 0x1E, 0x1F, 0, 0, 0, 0},
        {0, 0, 0x1E, 0x1F, 0x20, 0, 0, 0},
        {0, 0, 0x1E, 0x1F, 0x20, 0x21, 0, 0},
        {0, 0, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0},
        {0, 0, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23},
        {0, 0, 1, 1, 1, 1, 1, 1},
    };
    ASSERT_EQ(AwaitReports(desk, DeskActivity::Keyboard, 1).size(), 1u);
    for (size_t n = 2; n <= expected.size(); ++n) {
        nt::clock::Advance(10 * kMillisecond);
        ASSERT_EQ(AwaitReports(desk, DeskActivity::Keyboard, n).size(), n);
    }
    EXPECT_EQ(Reports(desk, DeskActivity::Keyboard), expected);
}

// The held collections keep the class driver reading from the devices; a stop on a clock that stands still
// ends every wait at once (nothing would end them else), closes the collections, and the machine shuts down
// with nothing of the desk pending (the fixture checks that every pool block came back).
TEST_F(DeskTest, AStopEndsEveryWaitAndLeavesNothingPending) {
    const uint64_t mouseBefore = m_machine->Device("mouse")->UrbsReceived();
    auto desk = std::make_unique<sim::Desk>(*m_machine, DeskActivities::All());
    // The class driver's interrupt transfers reach the mouse while its collection is held.
    ASSERT_TRUE(Eventually([&] { return m_machine->Device("mouse")->UrbsReceived() > mouseBefore; }));
    nt::clock::Advance(2000 * kMillisecond); // an idle look and a copy under way, the rest waiting
    desk->MoveMouse(1, 1);
    desk->PressKey(0x2C, true);
    desk->Stop();
    desk->Stop();
    // Whatever the hand does after the stop goes nowhere.
    const size_t read = Reports(*desk, DeskActivity::Mouse).size();
    desk->MoveMouse(5, 5);
    nt::clock::Advance(1000 * kMillisecond);
    EXPECT_EQ(Reports(*desk, DeskActivity::Mouse).size(), read);
    desk.reset();
    // The collections are closed: the class driver sends the mouse nothing more.
    const uint64_t mouseAfter = m_machine->Device("mouse")->UrbsReceived();
    m_machine->Device("mouse")->FunctionAs<sim::HidFunction>(0)->QueueInputReport({0, 1, 1, 0});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_machine->Device("mouse")->UrbsReceived(), mouseAfter);
}

// A desk on a machine that lacks a device notes it and goes on with the rest.
TEST_F(DeskTest, AnActivityWhoseDeviceIsMissingIsNotedAndTheOthersGoOn) {
    ASSERT_NE(m_machine->Unplug("printer"), nullptr);
    ASSERT_NE(m_machine->Unplug("mouse"), nullptr);
    sim::Desk desk(*m_machine,
                   DeskActivities().With(DeskActivity::Printer).With(DeskActivity::Mouse).With(DeskActivity::Stick));
    EXPECT_EQ(desk.Failure(DeskActivity::Mouse), "no HID device \"mouse\"");
    desk.MoveMouse(1, 1); // nobody to report it
    for (int i = 0; i < 60; ++i) {
        nt::clock::Advance(100 * kMillisecond);
    }
    ASSERT_TRUE(Eventually([&] { return desk.Steps(DeskActivity::Stick) >= 2; }));
    ASSERT_TRUE(Eventually([&] { return !desk.Failure(DeskActivity::Printer).empty(); }));
    EXPECT_EQ(desk.Failure(DeskActivity::Printer), "printing: no device \"printer\" on the machine");
    EXPECT_EQ(desk.Steps(DeskActivity::Printer), 0u);
    EXPECT_EQ(desk.Failure(DeskActivity::Idle), "");
}

} // namespace
