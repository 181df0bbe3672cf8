#include "app/core/diagnostics/Trace.h"

#include <atomic>
#include <cstdarg>
#include <mutex>

#include "afx.h"
#include "app/core/diagnostics/EventTrace.h"

namespace {

// Texts are formatted as into a 512-byte buffer: what goes beyond 511 characters is cut.
constexpr int kMaxText = 511;

// Never destroyed: code that runs during static destruction may still trace, and the platform's trace state
// may already be gone by then, so the provider must not unregister at exit.
struct ProcessWideProvider {
    CEventTrace provider;
    std::mutex lock;
    std::atomic<bool> registered{false};
};

ProcessWideProvider& ProcessWide() {
    static ProcessWideProvider* const processWide = new ProcessWideProvider;
    return *processWide;
}

std::atomic<CEventTrace*> g_installed{nullptr};

CString FormatText(const char* format, va_list args) {
    CString text;
    text.FormatV(format ? format : "", args);
    if (text.GetLength() > kMaxText)
        text = text.Left(kMaxText);
    return text;
}

} // namespace

CEventTrace& TheEventTrace() {
    if (CEventTrace* installed = g_installed.load(std::memory_order_acquire))
        return *installed;
    ProcessWideProvider& processWide = ProcessWide();
    if (!processWide.registered.load(std::memory_order_acquire)) {
        std::lock_guard guard(processWide.lock);
        if (!processWide.registered.load(std::memory_order_relaxed)) {
            processWide.provider.Register();
            processWide.registered.store(true, std::memory_order_release);
        }
    }
    return processWide.provider;
}

CEventTrace* SetEventTraceProvider(CEventTrace* provider) {
    ProcessWideProvider& processWide = ProcessWide();
    std::lock_guard guard(processWide.lock);
    CEventTrace* previous = g_installed.exchange(provider, std::memory_order_acq_rel);
    if (provider && processWide.registered.load(std::memory_order_relaxed)) {
        processWide.provider.Unregister();
        processWide.registered.store(false, std::memory_order_release);
    }
    return previous;
}

BOOL TracePrintf(UCHAR level, ULONG area, const char* sourceFile, int line, const char* format, ...) {
    CEventTrace& provider = TheEventTrace();
    if (!provider.IsEnabled(level, area)) {
        CEventTrace::NextSequence(); // the gap shows the suppressed event
        return FALSE;
    }
    va_list args;
    va_start(args, format);
    CString text = FormatText(format, args);
    va_end(args);
    return provider.Trace(level, area, sourceFile, line, text);
}

void DebugPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString text = FormatText(format, args);
    va_end(args);
    OutputDebugStringA(text);
}
