#include "NtControl.h"

#include <mutex>
#include <vector>

#include "NtClock.h"
#include "NtDebugControl.h"
#include "NtErrorLogControl.h"
#include "NtHandleTable.h"
#include "NtObjectNamespace.h"
#include "NtPoolControl.h"
#include "NtRegistryStore.h"
#include "NtVersionControl.h"

namespace nt {
namespace {

struct Hooks {
    std::mutex lock;
    std::vector<std::function<void()>> hooks;
};

Hooks& TheHooks() {
    static Hooks hooks;
    return hooks;
}

} // namespace

void ResetKernelState() {
    pool::Reset();
    registry::Reset();
    handles::Reset();
    ob::Reset();
    clock::Reset();
    version::Reset();
    errorlog::Clear();
    debug::Clear();
    std::vector<std::function<void()>> hooks;
    {
        Hooks& h = TheHooks();
        std::lock_guard guard(h.lock);
        hooks = h.hooks;
    }
    for (auto& hook : hooks) {
        hook();
    }
}

void AddResetHook(std::function<void()> hook) {
    Hooks& h = TheHooks();
    std::lock_guard guard(h.lock);
    h.hooks.push_back(std::move(hook));
}

} // namespace nt
