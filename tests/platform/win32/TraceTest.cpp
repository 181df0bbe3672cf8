#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Win32TestSupport.h"
#include "WinTraceControl.h"
#include "windows.h"

namespace {

constexpr GUID kProvider = {0x3D603475, 0xDD48, 0x4F0B, {0x9F, 0x47, 0xDA, 0xB3, 0x79, 0x79, 0xD2, 0x41}};
constexpr GUID kEventClass = {0x869AEBEA, 0x1F48, 0x4937, {0x98, 0xF6, 0x62, 0x64, 0x23, 0xC6, 0xFA, 0xFD}};

// A provider written the way the application writes its own: it keeps the first session that enables it.
struct Provider {
    TRACEHANDLE registration = 0;
    TRACEHANDLE session = 0;
    UCHAR level = 0;
    ULONG flags = 0;
    bool enabled = false;
    std::vector<WMIDPREQUESTCODE> requests;

    static ULONG Callback(WMIDPREQUESTCODE code, PVOID context, ULONG*, PVOID buffer) {
        auto* self = static_cast<Provider*>(context);
        self->requests.push_back(code);
        SetLastError(0);
        TRACEHANDLE logger = GetTraceLoggerHandle(buffer);
        if (logger == INVALID_PROCESSTRACE_HANDLE)
            return GetLastError();
        if (code == WMI_ENABLE_EVENTS) {
            if (self->session && self->session != logger)
                return 0;
            self->session = logger;
            self->level = GetTraceEnableLevel(logger);
            self->flags = GetTraceEnableFlags(logger);
            self->enabled = true;
        } else if (code == WMI_DISABLE_EVENTS && logger == self->session) {
            self->enabled = false;
            self->session = 0;
        }
        return 0;
    }

    ULONG Register() {
        TRACE_GUID_REGISTRATION reg{&kEventClass, nullptr};
        return RegisterTraceGuids(&Callback, this, &kProvider, 1, &reg, nullptr, nullptr, &registration);
    }

    // The application's event: a header and seven MOF fields.
    ULONG Send(ULONG sequence, const std::string& file, ULONG line, const std::string& text) {
        struct {
            EVENT_TRACE_HEADER header;
            MOF_FIELD fields[7];
        } event{};
        USHORT one = 1;
        ULONG fileLength = static_cast<ULONG>(file.size() + 1), textLength = static_cast<ULONG>(text.size() + 1);
        event.header.Size = sizeof event;
        event.header.Class.Level = level;
        event.header.Class.Version = 1;
        event.header.Guid = kEventClass;
        event.header.Flags = WNODE_FLAG_TRACED_GUID | WNODE_FLAG_USE_MOF_PTR;
        const std::pair<const void*, ULONG> data[7] = {
            {&one, 2},  {&sequence, 4},   {&fileLength, 4},          {file.c_str(), fileLength},
            {&line, 4}, {&textLength, 4}, {text.c_str(), textLength}};
        const ULONG types[7] = {5, 7, 7, 103, 7, 7, 103};
        for (int i = 0; i < 7; ++i)
            event.fields[i] = MOF_FIELD{reinterpret_cast<ULONG64>(data[i].first), data[i].second, types[i]};
        return TraceEvent(session, &event.header);
    }
};

class Trace : public testing::Test {
protected:
    void TearDown() override {
        if (provider.registration)
            UnregisterTraceGuids(provider.registration);
        win32::ResetTraceSessions();
    }
    Provider provider;
};

TEST_F(Trace, EnableAndDisableReachTheCallbackWithLevelAndFlags) {
    ASSERT_EQ(static_cast<ULONG>(ERROR_SUCCESS), provider.Register());
    win32::TraceSession session;
    session.Enable(kProvider, 3, 0x2);
    ASSERT_TRUE(provider.enabled);
    EXPECT_EQ(3, provider.level);
    EXPECT_EQ(0x2u, provider.flags);
    EXPECT_EQ(session.LoggerHandle(kProvider), provider.session);

    // A second session's enable reaches the provider too; this provider ignores it.
    win32::TraceSession other("Other");
    other.Enable(kProvider, 5, 0xFFFF);
    EXPECT_EQ(session.LoggerHandle(kProvider), provider.session);

    session.Disable(kProvider);
    EXPECT_FALSE(provider.enabled);
    EXPECT_EQ((std::vector<WMIDPREQUESTCODE>{WMI_ENABLE_EVENTS, WMI_ENABLE_EVENTS, WMI_DISABLE_EVENTS}),
              provider.requests);
}

TEST_F(Trace, SessionEnabledBeforeRegistrationEnablesAtRegistration) {
    win32::TraceSession session;
    session.Enable(kProvider, 4, 0x11);
    ASSERT_EQ(static_cast<ULONG>(ERROR_SUCCESS), provider.Register());
    EXPECT_TRUE(provider.enabled);
    EXPECT_EQ(4, provider.level);
    EXPECT_EQ(0x11u, provider.flags);
}

TEST_F(Trace, EventsArriveWithTheirFieldsAndFailAfterTheSessionWasKilled) {
    provider.Register();
    win32::TraceSession session;
    session.Enable(kProvider, 4, 0x1);
    ASSERT_EQ(static_cast<ULONG>(ERROR_SUCCESS), provider.Send(17, ".\\App.cpp", 42, "--InitInstance"));

    std::vector<win32::TraceRecord> events = session.Events();
    ASSERT_EQ(1u, events.size());
    const win32::TraceRecord& e = events[0];
    EXPECT_EQ(160, e.header.Size);
    EXPECT_EQ(4, e.header.Class.Level);
    EXPECT_EQ(kEventClass, e.header.Guid);
    EXPECT_EQ(GetCurrentProcessId(), e.header.ProcessId);
    EXPECT_NE(0, e.header.TimeStamp.QuadPart);
    ASSERT_EQ(7u, e.fields.size());
    EXPECT_EQ(1u, e.Number(0));
    EXPECT_EQ(17u, e.Number(1));
    EXPECT_EQ(10u, e.Number(2));
    EXPECT_EQ(".\\App.cpp", e.Text(3));
    EXPECT_EQ(42u, e.Number(4));
    EXPECT_EQ("--InitInstance", e.Text(6));
    EXPECT_EQ(103u, e.fieldTypes[6]);

    session.Kill();
    EXPECT_EQ(static_cast<ULONG>(ERROR_INVALID_HANDLE), provider.Send(18, "f", 1, "after"));
    EXPECT_TRUE(provider.enabled) << "a killed session does not tell the provider";
    EXPECT_EQ(1u, session.Events().size());
    SetLastError(0);
    EXPECT_EQ(0, GetTraceEnableLevel(provider.session));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(Trace, MalformedEventsAreRefused) {
    provider.Register();
    win32::TraceSession session;
    session.Enable(kProvider, 4, 0x1);
    EVENT_TRACE_HEADER header{};
    header.Size = sizeof header;
    EXPECT_EQ(static_cast<ULONG>(ERROR_INVALID_FLAG_NUMBER), TraceEvent(provider.session, &header));
    header.Flags = WNODE_FLAG_TRACED_GUID;
    header.Size = 10;
    EXPECT_EQ(static_cast<ULONG>(ERROR_INVALID_PARAMETER), TraceEvent(provider.session, &header));
    header.Size = sizeof header + 4; // MOF pointers come in whole 16-byte fields
    header.Flags |= WNODE_FLAG_USE_MOF_PTR;
    EXPECT_EQ(static_cast<ULONG>(ERROR_INVALID_PARAMETER), TraceEvent(provider.session, &header));
    EXPECT_TRUE(session.Events().empty());
}

TEST_F(Trace, UserSessionWritesEventsToTheNamedFile) {
    win32::test::TempFolder folder;
    const std::string path = folder.HostPath("trace.txt");
    setenv("TINDALOFT_TRACE", (path + ";3;0x12").c_str(), 1);
    win32::ResetTraceSessions();
    provider.Register();
    unsetenv("TINDALOFT_TRACE");
    ASSERT_TRUE(provider.enabled);
    EXPECT_EQ(3, provider.level);
    EXPECT_EQ(0x12u, provider.flags);
    ASSERT_EQ(static_cast<ULONG>(ERROR_SUCCESS), provider.Send(5, ".\\Settings.cpp", 99, "--LoadAppSettings"));

    std::ifstream in(path);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(std::string::npos, line.find("level=3")) << line;
    EXPECT_NE(std::string::npos, line.find("{869AEBEA-1F48-4937-98F6-626423C6FAFD}")) << line;
    EXPECT_NE(std::string::npos, line.find(": 1 | 5 | 15 | \".\\Settings.cpp\" | 99 | 18 | \"--LoadAppSettings\""))
        << line;
}

} // namespace
