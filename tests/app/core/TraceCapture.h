// The texts a trace session receives while a test runs, from the process-wide provider.
#pragma once

#include <string>
#include <vector>

#include "WinTraceControl.h"
#include "app/core/diagnostics/EventTrace.h"
#include "app/core/diagnostics/Trace.h"

namespace apptest {

class TraceCapture {
public:
    // Events up to `level` in the areas of `flags`.
    explicit TraceCapture(UCHAR level = TRACE_VERBOSE, ULONG flags = 0xFFFFFFFF)
        : m_previous(SetEventTraceProvider(nullptr)) {
        m_session.Enable(TINDALOFT_TRACE_PROVIDER_GUID, level, flags);
    }
    ~TraceCapture() {
        win32::ResetTraceSessions();
        SetEventTraceProvider(m_previous);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const win32::TraceRecord& event : m_session.Events()) {
            texts.push_back(event.Text(6));
        }
        return texts;
    }
    bool Has(const std::string& text) const {
        for (const std::string& each : Texts()) {
            if (each == text) {
                return true;
            }
        }
        return false;
    }

private:
    CEventTrace* m_previous;
    win32::TraceSession m_session;
};

} // namespace apptest
