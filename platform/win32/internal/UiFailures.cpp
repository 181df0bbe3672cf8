#include "UiFailures.h"

#include <array>
#include <mutex>

namespace win32 {

namespace {

struct Plan {
    ULONG skip = 0;
    ULONG count = 0;
};

std::mutex g_lock;
std::array<Plan, 4> g_plans;

} // namespace

void FailUiCalls(UiFailure kind, ULONG count, ULONG skip) {
    std::lock_guard guard(g_lock);
    g_plans[static_cast<size_t>(kind)] = {skip, count};
}

void ClearUiFailures() {
    std::lock_guard guard(g_lock);
    g_plans = {};
}

namespace internal {

bool ShouldFailUiCall(UiFailure kind) {
    std::lock_guard guard(g_lock);
    Plan& plan = g_plans[static_cast<size_t>(kind)];
    if (plan.count == 0)
        return false;
    if (plan.skip) {
        --plan.skip;
        return false;
    }
    --plan.count;
    return true;
}

} // namespace internal

} // namespace win32
