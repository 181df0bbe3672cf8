#include "GdiCallLog.h"

#include <atomic>
#include <mutex>

#include "GdiFont.h"
#include "TextContext.h"
#include "WinGdiControl.h"
#include "WinHandles.h"
#include "winerror.h"

namespace win32 {

namespace {

struct CallLog {
    std::mutex lock;
    std::atomic<bool> on{false};
    HWND hwnd = nullptr;
    std::vector<GdiCall> calls;
    unsigned failDcs = 0;
};

CallLog& Log() {
    static auto* log = new CallLog; // never destroyed: DCs may draw while the process ends
    return *log;
}

} // namespace

void internal::LogGdiCall(const DeviceContext& dc, const char* kind, const RECT& rect, DWORD rop,
                          std::string_view text) {
    CallLog& log = Log();
    if (!log.on.load(std::memory_order_relaxed))
        return;
    std::lock_guard guard(log.lock);
    if (!log.on || (log.hwnd && log.hwnd != dc.hwnd))
        return;
    log.calls.push_back(GdiCall{kind, dc.handle, dc.hwnd, rect, rop, std::string(text)});
}

bool internal::DcCreationFails() {
    CallLog& log = Log();
    std::lock_guard guard(log.lock);
    if (log.failDcs == 0)
        return false;
    --log.failDcs;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

size_t GdiObjectCount() {
    return internal::CountedGdiObjects();
}

void StartGdiCallLog(HWND hwnd) {
    CallLog& log = Log();
    std::lock_guard guard(log.lock);
    log.hwnd = hwnd;
    log.calls.clear();
    log.on = true;
}

void StopGdiCallLog() {
    CallLog& log = Log();
    std::lock_guard guard(log.lock);
    log.on = false;
}

std::vector<GdiCall> GdiCallLog() {
    CallLog& log = Log();
    std::lock_guard guard(log.lock);
    return log.calls;
}

void FailDcCreation(unsigned count) {
    CallLog& log = Log();
    std::lock_guard guard(log.lock);
    log.failDcs = count;
}

std::string FontFamilyFor(const LOGFONTA& font) {
    return internal::FamilyFor(font);
}

std::vector<std::string> LoadedFontFiles() {
    return internal::FontFiles();
}

} // namespace win32
