#include "ole2.h"

#include <mutex>

#include "WinFailureControl.h"
#include "WinOleControl.h"

namespace {

std::mutex g_lock;
win32::OleCounts g_counts;
thread_local int t_depth = 0;

} // namespace

HRESULT OleInitialize(LPVOID) {
    if (win32::internal::CallFailsNow("OleInitialize"))
        return E_OUTOFMEMORY;
    std::lock_guard guard(g_lock);
    ++g_counts.initializations;
    return t_depth++ == 0 ? S_OK : S_FALSE;
}

void OleUninitialize() {
    std::lock_guard guard(g_lock);
    ++g_counts.uninitializations;
    if (t_depth > 0)
        --t_depth;
}

namespace win32 {

OleCounts OleCallCounts() {
    std::lock_guard guard(g_lock);
    return g_counts;
}

void ResetOleCounts() {
    std::lock_guard guard(g_lock);
    g_counts = OleCounts{};
}

} // namespace win32
