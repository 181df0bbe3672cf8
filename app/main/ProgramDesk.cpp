// The kernel's headers first: user mode's give way to them.
#include "platform/sim/Desk.h"

#include "app/main/ProgramDesk.h"

#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "windows.h"

namespace {

constexpr std::string_view kDeskOption = "--desk";

std::optional<sim::DeskActivities> g_chosen;
std::unique_ptr<sim::Desk> g_desk;

// Virtual-key codes against usages of the keyboard page: what a boot keyboard reports for the key.
constexpr std::array<uint8_t, 256> MakeKeyUsages() {
    std::array<uint8_t, 256> usages{};
    for (int i = 0; i < 26; ++i) {
        usages['A' + i] = static_cast<uint8_t>(0x04 + i); // a to z
    }
    for (int i = 1; i <= 9; ++i) {
        usages['0' + i] = static_cast<uint8_t>(0x1E + i - 1); // 1 to 9, then 0
    }
    usages['0'] = 0x27;
    for (int i = 0; i < 12; ++i) {
        usages[VK_F1 + i] = static_cast<uint8_t>(0x3A + i);      // F1 to F12
        usages[VK_F1 + 12 + i] = static_cast<uint8_t>(0x68 + i); // F13 to F24
    }
    for (int i = 1; i <= 9; ++i) {
        usages[VK_NUMPAD0 + i] = static_cast<uint8_t>(0x59 + i - 1); // keypad 1 to 9, then 0
    }
    usages[VK_NUMPAD0] = 0x62;
    const std::pair<int, uint8_t> keys[] = {
        {VK_RETURN, 0x28},
        {VK_ESCAPE, 0x29},
        {VK_BACK, 0x2A},
        {VK_TAB, 0x2B},
        {VK_SPACE, 0x2C},
        {0xBD, 0x2D} /* - */,
        {0xBB, 0x2E} /* = */,
        {0xDB, 0x2F} /* [ */,
        {0xDD, 0x30} /* ] */,
        {0xDC, 0x31} /* \ */,
        {0xBA, 0x33} /* ; */,
        {0xDE, 0x34} /* ' */,
        {0xC0, 0x35} /* ` */,
        {0xBC, 0x36} /* , */,
        {0xBE, 0x37} /* . */,
        {0xBF, 0x38} /* / */,
        {VK_CAPITAL, 0x39},
        {VK_SNAPSHOT, 0x46},
        {VK_SCROLL, 0x47},
        {VK_PAUSE, 0x48},
        {VK_INSERT, 0x49},
        {VK_HOME, 0x4A},
        {VK_PRIOR, 0x4B},
        {VK_DELETE, 0x4C},
        {VK_END, 0x4D},
        {VK_NEXT, 0x4E},
        {VK_RIGHT, 0x4F},
        {VK_LEFT, 0x50},
        {VK_DOWN, 0x51},
        {VK_UP, 0x52},
        {VK_NUMLOCK, 0x53},
        {VK_DIVIDE, 0x54},
        {VK_MULTIPLY, 0x55},
        {VK_SUBTRACT, 0x56},
        {VK_ADD, 0x57},
        {VK_DECIMAL, 0x63},
        {VK_APPS, 0x65},
        // The modifiers: a key that names no side is the left one.
        {VK_CONTROL, 0xE0},
        {VK_LCONTROL, 0xE0},
        {VK_SHIFT, 0xE1},
        {VK_LSHIFT, 0xE1},
        {VK_MENU, 0xE2},
        {VK_LMENU, 0xE2},
        {VK_LWIN, 0xE3},
        {VK_RCONTROL, 0xE4},
        {VK_RSHIFT, 0xE5},
        {VK_RMENU, 0xE6},
        {VK_RWIN, 0xE7},
    };
    for (const auto& [vk, usage] : keys) {
        usages[vk] = usage;
    }
    return usages;
}

constexpr std::array<uint8_t, 256> kKeyUsages = MakeKeyUsages();

// The mouse's buttons as the window system numbers them (1 left, 2 middle, 3 right) and as the boot report's
// bits do (0 left, 1 right, 2 middle).
int ReportButton(int button) {
    return button == 1 ? 0 : button == 3 ? 1 : button == 2 ? 2 : -1;
}

} // namespace

bool TakeDeskOption(std::vector<std::string>& args, std::string& error) {
    for (size_t i = 0; i < args.size();) {
        const std::string& arg = args[i];
        std::optional<std::string> list;
        size_t taken = 1;
        if (arg == kDeskOption) {
            if (i + 1 >= args.size()) {
                error = sim::MissingDeskList();
                return false;
            }
            list = args[i + 1];
            taken = 2;
        } else if (arg.size() > kDeskOption.size() && arg.compare(0, kDeskOption.size(), kDeskOption) == 0 &&
                   arg[kDeskOption.size()] == '=') {
            list = arg.substr(kDeskOption.size() + 1);
        }
        if (!list) {
            ++i;
            continue;
        }
        sim::DeskChoice choice = sim::ParseDeskList(*list);
        if (!choice.error.empty()) {
            error = std::move(choice.error);
            return false;
        }
        g_chosen = choice.activities;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i + taken));
    }
    return true;
}

sim::DeskActivities ProgramDeskActivities(bool display) {
    return g_chosen.value_or(display ? sim::DeskActivities::All() : sim::DeskActivities());
}

void ForgetDeskOption() {
    g_chosen.reset();
}

void StartProgramDesk(sim::Machine& machine, bool display) {
    StopProgramDesk();
    g_desk = std::make_unique<sim::Desk>(machine, ProgramDeskActivities(display));
    if (display) {
        display::SetInputObserver(DeskInputObserver(*g_desk));
    }
}

void StopProgramDesk() {
    display::SetInputObserver({});
    g_desk.reset();
}

sim::Desk* ProgramDesk() {
    return g_desk.get();
}

display::InputObserver DeskInputObserver(sim::Desk& desk) {
    return [&desk, last = std::optional<std::pair<int, int>>()](const display::InputEvent& event) mutable {
        using Kind = display::InputEvent::Kind;
        switch (event.kind) {
        case Kind::PointerMoved:
            if (last) {
                desk.MoveMouse(event.x - last->first, event.y - last->second);
            }
            last = std::pair(event.x, event.y);
            break;
        case Kind::PointerLeft: last.reset(); break;
        case Kind::ButtonDown:
        case Kind::ButtonUp:
            if (const int button = ReportButton(event.button); button >= 0) {
                desk.PressMouseButton(button, event.kind == Kind::ButtonDown);
            }
            break;
        case Kind::Wheel: desk.TurnMouseWheel(event.wheel); break;
        case Kind::KeyDown:
        case Kind::KeyUp:
            if (const uint8_t usage = KeyUsageOf(event.virtualKey)) {
                desk.PressKey(usage, event.kind == Kind::KeyDown);
            }
            break;
        }
    };
}

uint8_t KeyUsageOf(uint8_t virtualKey) {
    return kKeyUsages[virtualKey];
}
