#include "PayloadResource.h"

#include <map>
#include <mutex>
#include <utility>

#include "WinFailureControl.h"

namespace {

std::mutex g_lock;
std::map<HMODULE, std::pair<const void*, DWORD>> g_payloads;

} // namespace

PayloadLookup LockPayloadResource(HMODULE module, const void*& data, DWORD& size) {
    std::pair<const void*, DWORD> payload{nullptr, 0};
    {
        std::lock_guard guard(g_lock);
        auto found = g_payloads.find(module);
        if (found != g_payloads.end())
            payload = found->second;
    }
    if (!payload.first || win32::internal::CallFailsNow("FindResourceA"))
        return PayloadLookup::NotPresent;
    if (win32::internal::CallFailsNow("LoadResource"))
        return PayloadLookup::NotLoaded;
    if (win32::internal::CallFailsNow("LockResource"))
        return PayloadLookup::NotLocked;
    data = payload.first;
    size = payload.second;
    return PayloadLookup::Locked;
}

void DeclarePayloadResource(HMODULE module, const void* data, DWORD size) {
    std::lock_guard guard(g_lock);
    if (data)
        g_payloads[module] = {data, size};
    else
        g_payloads.erase(module);
}
