#include "WinExceptions.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "WinDebugControl.h"
#include "internal/HostFiles.h"

namespace {

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_unhandledFilter{nullptr};

struct DebugSink {
    std::mutex lock;
    std::deque<std::string> strings;
};

DebugSink& Sink() {
    static DebugSink sink;
    return sink;
}

bool EchoDebugOutput() {
    static const bool echo = [] {
        const char* setting = std::getenv("TDL_DBGPRINT");
        return setting && *setting == '1';
    }();
    return echo;
}

} // namespace

void RaiseException(DWORD exceptionCode, DWORD exceptionFlags, DWORD numberOfArguments, const ULONG_PTR* arguments) {
    if (!arguments)
        numberOfArguments = 0;
    if (numberOfArguments > EXCEPTION_MAXIMUM_PARAMETERS)
        numberOfArguments = EXCEPTION_MAXIMUM_PARAMETERS;
    throw nt::SehException(static_cast<NTSTATUS>(exceptionCode), exceptionFlags & EXCEPTION_NONCONTINUABLE,
                           numberOfArguments, arguments, __builtin_return_address(0));
}

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    return g_unhandledFilter.exchange(filter);
}

LONG UnhandledExceptionFilter(PEXCEPTION_POINTERS exceptionInfo) {
    LPTOP_LEVEL_EXCEPTION_FILTER filter = g_unhandledFilter.load();
    return filter ? filter(exceptionInfo) : EXCEPTION_CONTINUE_SEARCH;
}

namespace win32 {

LONG ReportUnhandledException(const nt::SehException& exception) {
    EXCEPTION_RECORD record = exception.Record();
    CONTEXT context{}; // no processor state is recorded
    EXCEPTION_POINTERS pointers{&record, &context};
    return UnhandledExceptionFilter(&pointers);
}

std::vector<std::string> DebugOutput() {
    DebugSink& sink = Sink();
    std::lock_guard guard(sink.lock);
    return std::vector<std::string>(sink.strings.begin(), sink.strings.end());
}

void ClearDebugOutput() {
    DebugSink& sink = Sink();
    std::lock_guard guard(sink.lock);
    sink.strings.clear();
}

} // namespace win32

void OutputDebugStringA(LPCSTR outputString) {
    if (!outputString)
        return;
    if (EchoDebugOutput())
        std::fputs(outputString, stderr);
    DebugSink& sink = Sink();
    std::lock_guard guard(sink.lock);
    sink.strings.emplace_back(outputString);
    if (sink.strings.size() > win32::kKeptDebugStrings)
        sink.strings.pop_front();
}

void OutputDebugStringW(LPCWSTR outputString) {
    if (outputString)
        OutputDebugStringA(win32::internal::Utf8FromUtf16(outputString).c_str());
}

BOOL IsDebuggerPresent() {
    return FALSE;
}
