#include "platform/sim/DeskActivities.h"

#include <algorithm>
#include <utility>

#include "platform/sim/internal/NameTable.h"

namespace sim {

namespace {

constexpr std::array<std::pair<DeskActivity, std::string_view>, kDeskActivities.size()> kNames = {{
    {DeskActivity::Idle, "idle"},
    {DeskActivity::Mouse, "mouse"},
    {DeskActivity::Keyboard, "keyboard"},
    {DeskActivity::Stick, "stick"},
    {DeskActivity::Printer, "printer"},
    {DeskActivity::Plug, "plug"},
}};

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::string_view DeskActivityName(DeskActivity activity) {
    return drv::NameIn(kNames, activity);
}

std::optional<DeskActivity> DeskActivityFromName(std::string_view name) {
    return drv::ValueNamed<DeskActivity>(kNames, name);
}

std::string DeskActivityNames() {
    std::string names;
    for (const auto& [activity, name] : kNames) {
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return names;
}

DeskActivities DeskActivities::All() {
    DeskActivities all;
    for (DeskActivity activity : kDeskActivities) {
        all = all.With(activity);
    }
    return all;
}

DeskActivities DeskActivities::With(DeskActivity activity) const {
    DeskActivities set = *this;
    set.m_bits |= Bit(activity);
    return set;
}

DeskActivities DeskActivities::Without(DeskActivity activity) const {
    DeskActivities set = *this;
    set.m_bits &= activity == DeskActivity::Idle ? ~0u : ~Bit(activity);
    return set;
}

bool DeskActivities::Has(DeskActivity activity) const {
    return (m_bits & Bit(activity)) != 0;
}

std::string DeskActivities::Names() const {
    std::string names;
    for (const auto& [activity, name] : kNames) {
        if (Has(activity)) {
            names += names.empty() ? "" : ",";
            names += name;
        }
    }
    return names;
}

DeskChoice ParseDeskList(std::string_view list) {
    DeskChoice choice;
    for (size_t at = 0; at <= list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        const std::string_view name = Trimmed(list.substr(at, comma - at));
        if (name.empty()) {
            choice.error = MissingDeskList();
            return choice;
        }
        const std::optional<DeskActivity> activity = DeskActivityFromName(name);
        if (!activity) {
            choice.error =
                "--desk: unknown activity \"" + std::string(name) + "\"; the activities are " + DeskActivityNames();
            return choice;
        }
        choice.activities = choice.activities.With(*activity);
        at = comma + 1;
    }
    return choice;
}

std::string MissingDeskList() {
    return "--desk takes a list of activities separated by commas; the activities are " + DeskActivityNames();
}

} // namespace sim
