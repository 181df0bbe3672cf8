// The desk's activities (Desk.h) by the names the programs' --desk option takes, and the parser of such a list.
// Plain C++: the programs' entry points read their command lines with it before any machine boots.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

enum class DeskActivity { Idle, Mouse, Keyboard, Stick, Printer, Plug };

// Every activity, in the order their names are listed.
inline constexpr std::array<DeskActivity, 6> kDeskActivities = {DeskActivity::Idle,     DeskActivity::Mouse,
                                                                DeskActivity::Keyboard, DeskActivity::Stick,
                                                                DeskActivity::Printer,  DeskActivity::Plug};

// "idle", "mouse", "keyboard", "stick", "printer", "plug"; and back (none for an unknown name).
std::string_view DeskActivityName(DeskActivity activity);
std::optional<DeskActivity> DeskActivityFromName(std::string_view name);
// The names as a user reads them: "idle, mouse, keyboard, stick, printer, plug".
std::string DeskActivityNames();

// A set of activities. The idle traffic is in every set: a desk always makes it.
class DeskActivities {
public:
    DeskActivities() = default; // the idle traffic alone
    static DeskActivities All();

    DeskActivities With(DeskActivity activity) const;
    DeskActivities Without(DeskActivity activity) const;
    bool Has(DeskActivity activity) const;
    // The names of the set, in the list's order, separated by commas ("idle,mouse,stick").
    std::string Names() const;
    bool operator==(const DeskActivities&) const = default;

private:
    static unsigned Bit(DeskActivity activity) { return 1u << static_cast<unsigned>(activity); }
    unsigned m_bits = Bit(DeskActivity::Idle);
};

// What a --desk list chose: its activities, or what is wrong with it (then `error` is not empty; it names the
// activities there are).
struct DeskChoice {
    DeskActivities activities;
    std::string error;
};

// A list of activity names separated by commas ("mouse,keyboard,stick"; blanks around a name do not count).
// "idle" names the idle traffic, which every desk makes: "idle" alone chooses nothing else. An empty list, an
// empty name or an unknown one is an error.
DeskChoice ParseDeskList(std::string_view list);
// The error of a --desk option given no list.
std::string MissingDeskList();

} // namespace sim
