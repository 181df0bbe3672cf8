// The program's desk: the --desk option taken off the command line, the activities it runs with and without a
// display, and the person's input handed to the machine's mouse and keyboard as their reports. The kernel's
// headers come first: user mode's give way to them.
#include "tests/support/MachineFixture.h"

#include "app/main/ProgramDesk.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NtClock.h"
#include "platform/sim/Desk.h"
#include "tests/support/ExternalTools.h"
#include "windows.h"

namespace {

using sim::Bytes;
using sim::DeskActivity;
using Kind = display::InputEvent::Kind;

TEST(ProgramDesk, VirtualKeysAreTheBootKeyboardsUsages) {
    const std::pair<uint8_t, uint8_t> cases[] = {
        {'A', 0x04},        {'Z', 0x1D},        {'1', 0x1E},     {'9', 0x26},        {'0', 0x27},
        {VK_RETURN, 0x28},  {VK_ESCAPE, 0x29},  {VK_BACK, 0x2A}, {VK_TAB, 0x2B},     {VK_SPACE, 0x2C},
        {0xBD, 0x2D},       {0xBA, 0x33},       {0xBF, 0x38},    {0xC0, 0x35},       {VK_F1, 0x3A},
        {VK_F12, 0x45},     {VK_F1 + 12, 0x68}, {VK_LEFT, 0x50}, {VK_UP, 0x52},      {VK_DELETE, 0x4C},
        {VK_NUMPAD0, 0x62}, {VK_NUMPAD9, 0x61}, {VK_ADD, 0x57},  {VK_CONTROL, 0xE0}, {VK_SHIFT, 0xE1},
        {VK_MENU, 0xE2},    {VK_RSHIFT, 0xE5},  {VK_RWIN, 0xE7}, {VK_LBUTTON, 0},    {0xFF, 0},
    };
    for (const auto& [vk, usage] : cases) {
        EXPECT_EQ(KeyUsageOf(vk), usage) << "virtual key " << int{vk};
    }
}

TEST(ProgramDesk, TheDeskOptionIsTakenOffTheCommandLine) {
    const std::string names = "the activities are idle, mouse, keyboard, stick, printer, plug";
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> left; // what the application sees
        const char* chosen;            // null: no choice
        std::string error;
    } cases[] = {
        {{"/Embedding"}, {"/Embedding"}, nullptr, ""},
        {{"--desk", "idle", "log.tdloft"}, {"log.tdloft"}, "idle", ""},
        {{"a", "--desk=mouse,stick", "b"}, {"a", "b"}, "idle,mouse,stick", ""},
        {{"--desk", "plug", "--desk", "printer"}, {}, "idle,printer", ""},
        {{"--desk"}, {}, nullptr, "--desk takes a list of activities separated by commas; " + names},
        {{"--desk="}, {}, nullptr, "--desk takes a list of activities separated by commas; " + names},
        {{"--desk", "mouse,mosue"}, {}, nullptr, "--desk: unknown activity \"mosue\"; " + names},
        {{"--desktop"}, {"--desktop"}, nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        ForgetDeskOption();
        std::vector<std::string> args = c.args;
        std::string error;
        EXPECT_EQ(TakeDeskOption(args, error), c.error.empty());
        EXPECT_EQ(error, c.error);
        if (c.error.empty()) {
            EXPECT_EQ(args, c.left);
        }
        // With a display the desk runs every activity, without one the idle traffic, unless the option chose.
        const std::string withDisplay = ProgramDeskActivities(true).Names();
        const std::string without = ProgramDeskActivities(false).Names();
        EXPECT_EQ(withDisplay, c.chosen && c.error.empty() ? c.chosen : "idle,mouse,keyboard,stick,printer,plug");
        EXPECT_EQ(without, c.chosen && c.error.empty() ? c.chosen : "idle");
    }
    ForgetDeskOption();
}

// The program refuses a wrong list before anything starts, before it looks for a display too.
TEST(ProgramDesk, TheProgramRefusesAWrongListWithTheNamesAndExitCodeTwo) {
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("tdl-desk-option-" + std::to_string(::getpid()));
    for (const char* display : {"", ":0"}) {
        const tdl::test::CommandResult result =
            tdl::test::RunCommand(std::string("DISPLAY=") + display + " TINDALOFT_STATE_DIR='" + state.string() +
                                  "' '" TDL_PROGRAM "' --desk mouse,mosue </dev/null");
        EXPECT_EQ(2, result.exitCode) << result.output;
        EXPECT_EQ(result.output, "Tindaloft: --desk: unknown activity \"mosue\"; the activities are idle, mouse, "
                                 "keyboard, stick, printer, plug\n");
    }
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
}

class ProgramDeskOnMachine : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        UseVirtualClock();
    }
    void TearDown() override {
        StopProgramDesk();
        ForgetDeskOption();
        MachineTest::TearDown();
    }

    // The reports the desk's held read of a device brought, once there are `count` of them (after `count` - 1
    // report periods of 10 ms: the mouse and the keyboard report no faster).
    static std::vector<Bytes> Reports(const sim::Desk& desk, DeskActivity device, size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::vector<Bytes> reports;
        while ((reports = desk.ReportsRead(device)).size() < count && std::chrono::steady_clock::now() < until) {
            nt::clock::Advance(10'000);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return reports;
    }
    static display::InputEvent Event(Kind kind, int x = 0, int y = 0, int button = 0) {
        display::InputEvent event;
        event.kind = kind;
        event.x = x;
        event.y = y;
        event.button = button;
        return event;
    }
    static display::InputEvent Key(Kind kind, uint8_t vk) {
        display::InputEvent event;
        event.kind = kind;
        event.virtualKey = vk;
        return event;
    }
};

TEST_F(ProgramDeskOnMachine, TheDeskRunsWhatTheOptionChoseOrItsDefaults) {
    StartProgramDesk(*m_machine, false);
    ASSERT_NE(ProgramDesk(), nullptr);
    EXPECT_EQ(ProgramDesk()->Activities().Names(), "idle");
    std::vector<std::string> args = {"--desk", "keyboard,printer"};
    std::string error;
    ASSERT_TRUE(TakeDeskOption(args, error)) << error;
    StartProgramDesk(*m_machine, true);
    EXPECT_EQ(ProgramDesk()->Activities().Names(), "idle,keyboard,printer");
    StopProgramDesk();
    EXPECT_EQ(ProgramDesk(), nullptr);
}

// The pointer's moves become the mouse's motion, in their direction (none across a leave, whose way is not
// known); its buttons the report's buttons; a key its usage in the keyboard's report.
TEST_F(ProgramDeskOnMachine, ThePersonsInputBecomesTheMouseAndKeyboardReports) {
    sim::Desk desk(*m_machine, sim::DeskActivities().With(DeskActivity::Mouse).With(DeskActivity::Keyboard));
    display::InputObserver observe = DeskInputObserver(desk);
    observe(Event(Kind::PointerMoved, 100, 100));
    observe(Event(Kind::PointerMoved, 112, 95)); // right and up
    std::vector<Bytes> mouse = Reports(desk, DeskActivity::Mouse, 1);
    ASSERT_EQ(mouse.size(), 1u);
    EXPECT_EQ(mouse[0], (Bytes{0, 12, static_cast<UCHAR>(-5), 0}));
    observe(Event(Kind::PointerLeft, 112, 95));
    observe(Event(Kind::PointerMoved, 600, 700)); // back elsewhere: no move
    observe(Event(Kind::PointerMoved, 590, 720)); // left and down
    observe(Event(Kind::ButtonDown, 590, 720, 3));
    mouse = Reports(desk, DeskActivity::Mouse, 2);
    ASSERT_EQ(mouse.size(), 2u);
    EXPECT_EQ(mouse[1], (Bytes{2, static_cast<UCHAR>(-10), 20, 0})) << "the right button held";

    observe(Key(Kind::KeyDown, 'Q'));
    observe(Key(Kind::KeyUp, 'Q'));
    observe(Key(Kind::KeyDown, VK_LBUTTON)); // no key of a keyboard
    const std::vector<Bytes> keyboard = Reports(desk, DeskActivity::Keyboard, 2);
    EXPECT_EQ(keyboard, (std::vector<Bytes>{{0, 0, 0x14, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}}));
}

} // namespace
