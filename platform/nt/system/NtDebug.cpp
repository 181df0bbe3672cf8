#include "NtDebug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "NtDebugControl.h"
#include "NtFormat.h"

namespace {

struct Sink {
    std::mutex lock;
    std::deque<std::string> lines;
    bool echo = std::getenv("TDL_DBGPRINT") != nullptr;
};

Sink& TheSink() {
    static Sink sink;
    return sink;
}

void Write(std::string text) {
    Sink& sink = TheSink();
    std::lock_guard guard(sink.lock);
    if (sink.echo) {
        std::fputs(text.c_str(), stderr);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    sink.lines.push_back(std::move(text));
    if (sink.lines.size() > nt::debug::kKeptLines) {
        sink.lines.pop_front();
    }
}

} // namespace

ULONG DbgPrint(PCSTR Format, ...) {
    va_list args;
    va_start(args, Format);
    Write(nt::format::FormatA(nt::format::Runtime::Kernel, Format, args));
    va_end(args);
    return 0;
}

ULONG DbgPrintEx(ULONG ComponentId, ULONG Level, PCSTR Format, ...) {
    (void)ComponentId;
    (void)Level;
    va_list args;
    va_start(args, Format);
    Write(nt::format::FormatA(nt::format::Runtime::Kernel, Format, args));
    va_end(args);
    return 0;
}

void DbgBreakPoint() {}

namespace nt {

void AssertionFailed(const char* expression, const char* file, int line, const char* message) {
    std::string text = std::string("assertion failed: ") + expression + " at " + file + ":" + std::to_string(line);
    if (message != nullptr) {
        text += std::string(" (") + message + ")";
    }
    BugCheck(ASSERTION_FAILURE, text);
}

namespace debug {

std::vector<std::string> Output() {
    Sink& sink = TheSink();
    std::lock_guard guard(sink.lock);
    return {sink.lines.begin(), sink.lines.end()};
}

void Clear() {
    Sink& sink = TheSink();
    std::lock_guard guard(sink.lock);
    sink.lines.clear();
}

} // namespace debug
} // namespace nt
