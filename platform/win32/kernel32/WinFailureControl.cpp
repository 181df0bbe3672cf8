#include "WinFailureControl.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "WinHandles.h"

namespace {

struct Plan {
    std::string function;
    DWORD error;
    int skip;
    int count;
};

std::mutex g_lock;
std::vector<Plan> g_plans;

} // namespace

namespace win32 {

void FailCalls(const CallFailure& plan) {
    if (!plan.function)
        return;
    std::lock_guard guard(g_lock);
    std::erase_if(g_plans, [&](const Plan& p) { return p.function == plan.function; });
    g_plans.push_back(Plan{plan.function, plan.error, plan.skip, plan.count});
}

void ClearCallFailures() {
    std::lock_guard guard(g_lock);
    g_plans.clear();
}

bool internal::CallFailsNow(const char* function) {
    DWORD error = 0;
    {
        std::lock_guard guard(g_lock);
        auto plan = std::find_if(g_plans.begin(), g_plans.end(), [&](const Plan& p) { return p.function == function; });
        if (plan == g_plans.end())
            return false;
        if (plan->skip > 0) {
            --plan->skip;
            return false;
        }
        if (plan->count == 0)
            return false;
        if (plan->count > 0)
            --plan->count;
        error = plan->error;
    }
    SetLastError(error);
    return true;
}

} // namespace win32
