#include "app/core/diagnostics/EventTrace.h"

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "WinDebugControl.h"
#include "WinTraceControl.h"
#include "app/core/diagnostics/Trace.h"

namespace {

constexpr const GUID& kProvider = TINDALOFT_TRACE_PROVIDER_GUID;

// A registered provider of its own, installed as the one every trace goes through.
class EventTrace : public testing::Test {
protected:
    void SetUp() override {
        previous_ = SetEventTraceProvider(&provider);
        ASSERT_TRUE(provider.Register());
        win32::ClearDebugOutput();
    }
    void TearDown() override {
        provider.Unregister();
        SetEventTraceProvider(previous_);
        win32::ResetTraceSessions();
    }

    CEventTrace provider;

private:
    CEventTrace* previous_ = nullptr;
};

TEST_F(EventTrace, WithoutASessionNothingIsSentButEveryCallTakesANumber) {
    ULONG before = CEventTrace::PeekSequence();
    EXPECT_FALSE(provider.Trace(TRACE_ERROR, 0xFFFFFFFF, "./a.cpp", 1, "x"));
    EXPECT_FALSE(provider.Trace(TRACE_VERBOSE, TRACE_AREA_APP, "./a.cpp", 2, "y"));
    EXPECT_FALSE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "%d", 3));
    EXPECT_EQ(before + 3, CEventTrace::PeekSequence());
}

TEST_F(EventTrace, SessionLevelAndFlagsDecideWhatIsSent) {
    struct Case {
        UCHAR sessionLevel;
        ULONG sessionFlags;
        UCHAR level;
        ULONG area;
        bool sent;
    };
    const Case cases[] = {
        {3, 0x2, TRACE_ERROR, TRACE_AREA_DRIVER_INFO, true},
        {3, 0x2, TRACE_WARNING, TRACE_AREA_DRIVER_INFO, true}, // the session's own level
        {3, 0x2, TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, false},
        {3, 0x2, TRACE_ERROR, TRACE_AREA_SETTINGS, false}, // 0x11 shares no bit with 0x2
        {3, 0x10, TRACE_ERROR, TRACE_AREA_SETTINGS, true},
        {5, 0x10, TRACE_VERBOSE, TRACE_AREA_REGISTRY_VERSION, true},
        {5, 0xFFFFFFFF, TRACE_ERROR, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "session " << int(c.sessionLevel) << "/0x" << std::hex << c.sessionFlags
                                        << ", call " << std::dec << int(c.level) << "/0x" << std::hex << c.area);
        win32::TraceSession session;
        session.Enable(kProvider, c.sessionLevel, c.sessionFlags);
        ULONG sequence = CEventTrace::PeekSequence();
        EXPECT_EQ(c.sent, provider.IsEnabled(c.level, c.area) != FALSE);
        EXPECT_EQ(c.sent, provider.Trace(c.level, c.area, "./app/core/Thing.cpp", 1234, "--CThing::Do") != FALSE);
        EXPECT_EQ(sequence + 1, CEventTrace::PeekSequence());

        std::vector<win32::TraceRecord> events = session.Events();
        ASSERT_EQ(c.sent ? 1u : 0u, events.size());
        if (!c.sent)
            continue;
        const win32::TraceRecord& e = events[0];
        EXPECT_EQ(160, e.header.Size);
        EXPECT_EQ(0, e.header.FieldTypeFlags);
        EXPECT_EQ(0, e.header.Class.Type);
        EXPECT_EQ(c.sessionLevel, e.header.Class.Level);
        EXPECT_EQ(1, e.header.Class.Version);
        EXPECT_EQ(TINDALOFT_TRACE_EVENT_GUID, e.header.Guid);
        EXPECT_EQ(0x120000u, e.header.Flags);
        EXPECT_EQ(0u, e.header.ClientContext);

        const std::vector<size_t> lengths = {2, 4, 4, sizeof "./app/core/Thing.cpp", 4, 4, sizeof "--CThing::Do"};
        const std::vector<ULONG> types = {5, 7, 7, 103, 7, 7, 103};
        ASSERT_EQ(7u, e.fields.size());
        for (size_t i = 0; i < 7; ++i)
            EXPECT_EQ(lengths[i], e.fields[i].size()) << "field " << i + 1;
        EXPECT_EQ(types, e.fieldTypes);
        EXPECT_EQ(1u, e.Number(0));
        EXPECT_EQ(sequence, e.Number(1));
        EXPECT_EQ(sizeof "./app/core/Thing.cpp", e.Number(2));
        EXPECT_EQ("./app/core/Thing.cpp", e.Text(3));
        EXPECT_EQ(1234u, e.Number(4));
        EXPECT_EQ(sizeof "--CThing::Do", e.Number(5));
        EXPECT_EQ("--CThing::Do", e.Text(6));
    }
}

TEST_F(EventTrace, NullTextsAreSentEmpty) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    ASSERT_TRUE(provider.Trace(TRACE_ERROR, TRACE_AREA_APP, nullptr, 7, nullptr));
    std::vector<win32::TraceRecord> events = session.Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(1u, events[0].Number(2));
    EXPECT_EQ(std::vector<BYTE>{0}, events[0].fields[3]);
    EXPECT_EQ(std::vector<BYTE>{0}, events[0].fields[6]);
}

// Two threads share the counter: no increment is lost, and no number is sent twice.
TEST_F(EventTrace, ConcurrentTracesNeverLoseOrRepeatANumber) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, TRACE_AREA_APP);
    constexpr int kCalls = 100000;
    constexpr int kSentEvery = 64; // the rest are gated out by area
    ULONG before = CEventTrace::PeekSequence();
    auto work = [this] {
        for (int i = 0; i < kCalls; ++i)
            provider.Trace(TRACE_ERROR, i % kSentEvery ? TRACE_AREA_DRIVER_IO : TRACE_AREA_APP, "./t.cpp", i, "t");
    };
    std::thread first(work), second(work);
    first.join();
    second.join();
    EXPECT_EQ(before + 2 * kCalls, CEventTrace::PeekSequence());

    std::vector<win32::TraceRecord> events = session.Events();
    EXPECT_EQ(size_t{2 * ((kCalls + kSentEvery - 1) / kSentEvery)}, events.size());
    std::set<ULONG> numbers;
    for (const win32::TraceRecord& e : events) {
        ULONG n = e.Number(1);
        EXPECT_TRUE(n - before < ULONG{2 * kCalls}) << n;
        EXPECT_TRUE(numbers.insert(n).second) << "sequence number " << n << " sent twice";
    }
}

TEST_F(EventTrace, ControlCallbackKeepsTheFirstSessionAndTellsTheDebugger) {
    win32::TraceSession session("First");
    session.Enable(kProvider, 3, 0x2);
    win32::TraceSession other("Second");
    other.Enable(kProvider, 5, 0xFFFFFFFF); // ignored
    EXPECT_EQ(session.LoggerHandle(kProvider), provider.GetSessionHandle());
    EXPECT_EQ(3, provider.GetEnableLevel());
    EXPECT_EQ(0x2u, provider.GetEnableFlags());

    other.Disable(kProvider); // not the kept session: changes nothing
    EXPECT_TRUE(provider.Trace(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "./a.cpp", 1, "kept"));
    EXPECT_EQ(1u, session.Events().size());
    EXPECT_TRUE(other.Events().empty());

    session.Disable(kProvider);
    EXPECT_EQ(0u, provider.GetSessionHandle());
    EXPECT_FALSE(provider.Trace(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "./a.cpp", 2, "after disable"));

    const std::vector<std::string> expected = {
        "Tindaloft Event Trace Provider - Enabled\n",
        "Tindaloft Event Trace Provider - Level = 3\n",
        "Tindaloft Event Trace Provider - EnableFlags = 0x00000002\n",
        "Tindaloft Event Trace Provider - Enabled\n", // the second session, ignored
        "Tindaloft Event Trace Provider - Disabled\n",
        "Tindaloft Event Trace Provider - Disabled\n",
    };
    EXPECT_EQ(expected, win32::DebugOutput());
}

TEST_F(EventTrace, TheKeptSessionMayChangeItsLevelAndFlags) {
    win32::TraceSession session;
    session.Enable(kProvider, 2, 0x1);
    session.Enable(kProvider, 5, 0x40);
    EXPECT_EQ(5, provider.GetEnableLevel());
    EXPECT_EQ(0x40u, provider.GetEnableFlags());
    EXPECT_TRUE(provider.IsEnabled(TRACE_VERBOSE, TRACE_AREA_DRIVER_IO));
    EXPECT_FALSE(provider.IsEnabled(TRACE_ERROR, TRACE_AREA_APP));
}

TEST_F(EventTrace, ControlCallbackRefusesOtherRequestsAndBadBuffers) {
    WNODE_HEADER wnode{};
    for (WMIDPREQUESTCODE code :
         {WMI_GET_ALL_DATA, WMI_GET_SINGLE_INSTANCE, WMI_SET_SINGLE_INSTANCE, WMI_SET_SINGLE_ITEM,
          WMI_ENABLE_COLLECTION, WMI_DISABLE_COLLECTION, WMI_REGINFO, WMI_EXECUTE_METHOD})
        EXPECT_EQ(87u, CEventTrace::ControlCallback(code, &provider, nullptr, &wnode)) << code;

    wnode.HistoricalContext = 0xDEAD; // no session has this handle
    EXPECT_EQ(6u, CEventTrace::ControlCallback(WMI_ENABLE_EVENTS, &provider, nullptr, &wnode));
    EXPECT_EQ(6u, CEventTrace::ControlCallback(WMI_DISABLE_EVENTS, &provider, nullptr, &wnode));
    EXPECT_EQ(87u, CEventTrace::ControlCallback(WMI_ENABLE_EVENTS, &provider, nullptr, nullptr));
    EXPECT_EQ(87u, CEventTrace::ControlCallback(WMI_ENABLE_EVENTS, nullptr, nullptr, &wnode));
    EXPECT_EQ(0u, provider.GetSessionHandle());
    const std::vector<std::string> expected = {
        "Tindaloft Event Trace Provider - Enabled\n",  "GetTraceLoggerHandle failed. Error code is 6.\n",
        "Tindaloft Event Trace Provider - Disabled\n", "GetTraceLoggerHandle failed. Error code is 6.\n",
        "Tindaloft Event Trace Provider - Enabled\n",  "GetTraceLoggerHandle failed. Error code is 87.\n",
    };
    EXPECT_EQ(expected, win32::DebugOutput());
}

TEST_F(EventTrace, ASessionThatWentAwayGivesWayToTheNextOne) {
    {
        win32::TraceSession session;
        session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
        ASSERT_TRUE(provider.Trace(TRACE_ERROR, TRACE_AREA_APP, "./a.cpp", 1, "before"));
        session.Kill();
        EXPECT_FALSE(provider.Trace(TRACE_ERROR, TRACE_AREA_APP, "./a.cpp", 2, "lost"));
        EXPECT_EQ(0u, provider.GetSessionHandle()) << "the dead session must not stay kept";
        EXPECT_FALSE(provider.IsEnabled(TRACE_ERROR, TRACE_AREA_APP));
    }
    win32::TraceSession next;
    next.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    EXPECT_TRUE(provider.Trace(TRACE_ERROR, TRACE_AREA_APP, "./a.cpp", 3, "resumed"));
    ASSERT_EQ(1u, next.Events().size());
    EXPECT_EQ("resumed", next.Events()[0].Text(6));
}

// The new session enables before any trace has noticed that the kept one is gone.
TEST_F(EventTrace, ASessionThatWentAwayUnnoticedGivesWayToo) {
    win32::TraceSession dead;
    dead.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    dead.Kill();
    win32::TraceSession next;
    next.Enable(kProvider, TRACE_WARNING, 0x2);
    EXPECT_EQ(next.LoggerHandle(kProvider), provider.GetSessionHandle());
    EXPECT_TRUE(provider.Trace(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "./a.cpp", 1, "seen"));
    EXPECT_EQ(1u, next.Events().size());
}

TEST_F(EventTrace, UnregisteredProviderSendsNothing) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    ASSERT_TRUE(provider.IsEnabled(TRACE_ERROR, TRACE_AREA_APP));
    EXPECT_TRUE(provider.Unregister());
    EXPECT_FALSE(provider.Trace(TRACE_ERROR, TRACE_AREA_APP, "./a.cpp", 1, "gone"));
    EXPECT_TRUE(session.Events().empty());
    // Registering again is enabled again by the session that still wants the provider.
    ASSERT_TRUE(provider.Register());
    EXPECT_TRUE(provider.Trace(TRACE_ERROR, TRACE_AREA_APP, "./a.cpp", 2, "back"));
}

TEST(EventTraceObject, IsACObjectThatStartsUnregisteredAndDisabled) {
    CEventTrace trace;
    EXPECT_TRUE(trace.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_STREQ("CEventTrace", trace.GetRuntimeClass()->m_lpszClassName);
    EXPECT_FALSE(trace.IsRegistered());
    EXPECT_EQ(0u, trace.GetSessionHandle());
    EXPECT_FALSE(trace.IsEnabled(0, 0xFFFFFFFF));
}

// A provider destroyed while registered unregisters, so a later session does not call into freed memory.
TEST(EventTraceObject, DestroyedProviderIsNoLongerCalled) {
    {
        CEventTrace trace;
        ASSERT_TRUE(trace.Register());
    }
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF); // AddressSanitizer catches a call into the old one
    win32::ResetTraceSessions();
}

} // namespace
