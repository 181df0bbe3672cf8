#include "platform/sim/Workload.h"

#include <array>

namespace sim {

namespace {

constexpr std::array<std::pair<WorkloadKind, std::string_view>, 6> kNames = {{
    {WorkloadKind::IdleMachine, "idle machine"},
    {WorkloadKind::MouseMoving, "mouse moving"},
    {WorkloadKind::CopyToStick, "copying a file to the stick"},
    {WorkloadKind::Printing, "printing"},
    {WorkloadKind::PlugAndUnplug, "plug and unplug"},
    {WorkloadKind::RequestFamilies, "every request family"},
}};

} // namespace

std::string_view WorkloadName(WorkloadKind kind) {
    for (const auto& [k, name] : kNames) {
        if (k == kind) {
            return name;
        }
    }
    return {};
}

std::optional<WorkloadKind> WorkloadFromName(std::string_view name) {
    for (const auto& [kind, text] : kNames) {
        if (text == name) {
            return kind;
        }
    }
    return std::nullopt;
}

WorkloadResult RunWorkload(Machine&, WorkloadKind, const WorkloadOptions&) {
    WorkloadResult result;
    result.status = STATUS_NOT_IMPLEMENTED;
    result.failure = "not yet available";
    return result;
}

} // namespace sim
