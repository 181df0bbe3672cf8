#include "app/core/diagnostics/Trace.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WinDebugControl.h"
#include "WinTraceControl.h"
#include "app/core/diagnostics/EventTrace.h"

namespace {

constexpr const GUID& kProvider = TINDALOFT_TRACE_PROVIDER_GUID;

// Every trace goes through the process-wide provider, as code does without an application object.
class Tracing : public testing::Test {
protected:
    void SetUp() override {
        previous_ = SetEventTraceProvider(nullptr);
        win32::ClearDebugOutput();
    }
    void TearDown() override {
        win32::ResetTraceSessions();
        SetEventTraceProvider(previous_);
    }

private:
    CEventTrace* previous_ = nullptr;
};

TEST_F(Tracing, FormatsWithThePlatformsConversions) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, TRACE_AREA_DRIVER_IO);
    ULONG sequence = CEventTrace::PeekSequence();
    const char* format = "%ld %lu %I64x %s";
    const ULONG64 big = 0x123456789AB;
    int line = __LINE__ + 1;
    BOOL sent = TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, format, -5L, 0xFFFFFFFFUL, big, "--Open");
    ASSERT_TRUE(sent);
    std::vector<win32::TraceRecord> events = session.Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("-5 4294967295 123456789ab --Open", events[0].Text(6));
    EXPECT_EQ(sequence, events[0].Number(1));
    EXPECT_EQ(static_cast<ULONG>(line), events[0].Number(4));
}

TEST_F(Tracing, FileTextIsRelativeToTheSourceTree) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    ASSERT_TRUE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "where"));
    std::string file = session.Events().at(0).Text(3);
    EXPECT_EQ("./tests/app/core/TracePrintfTest.cpp", file);
}

TEST_F(Tracing, LongMessagesArriveAsTheirFirst511Characters) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    std::string text(2000, 'x');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    ASSERT_TRUE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "%s", text.c_str()));
    ASSERT_TRUE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "%s", text.substr(0, 511).c_str()));
    std::vector<win32::TraceRecord> events = session.Events();
    ASSERT_EQ(2u, events.size());
    for (const win32::TraceRecord& e : events) {
        EXPECT_EQ(text.substr(0, 511), e.Text(6));
        EXPECT_EQ(512u, e.Number(5));
        EXPECT_EQ(512u, e.fields[6].size());
    }
}

// Nothing is formatted for a gated call: an argument that formatting would read is never touched.
TEST_F(Tracing, GatedCallsFormatNothingButTakeANumber) {
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_WARNING, TRACE_AREA_APP);
    ULONG before = CEventTrace::PeekSequence();
    const char* dangling = reinterpret_cast<const char*>(0x10); // %s would fault on it
    EXPECT_FALSE(TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_APP, "%s", dangling));
    EXPECT_FALSE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "%s", dangling));
    EXPECT_EQ(before + 2, CEventTrace::PeekSequence());
    EXPECT_TRUE(session.Events().empty());
}

TEST_F(Tracing, DebugPrintfWritesTheFormattedTextCut) {
    DebugPrintf("GetTraceLoggerHandle failed. Error code is %lu.\n", ULONG{6});
    DebugPrintf("%s", std::string(600, 'd').c_str());
    std::vector<std::string> output = win32::DebugOutput();
    ASSERT_EQ(2u, output.size());
    EXPECT_EQ("GetTraceLoggerHandle failed. Error code is 6.\n", output[0]);
    EXPECT_EQ(std::string(511, 'd'), output[1]);
}

// The application object installs its member; until then, and after, the process-wide provider serves.
TEST_F(Tracing, AnInstalledProviderTakesOverFromTheProcessWideOne) {
    CEventTrace& processWide = TheEventTrace();
    EXPECT_TRUE(processWide.IsRegistered());
    {
        win32::TraceSession session;
        session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
        EXPECT_TRUE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "process-wide"));
        EXPECT_EQ(1u, session.Events().size());
    }

    CEventTrace member;
    EXPECT_EQ(nullptr, SetEventTraceProvider(&member));
    EXPECT_EQ(&member, &TheEventTrace());
    EXPECT_FALSE(processWide.IsRegistered()) << "a session would enable both and receive every event twice";
    ASSERT_TRUE(member.Register());
    win32::ClearDebugOutput();
    win32::TraceSession session;
    session.Enable(kProvider, TRACE_VERBOSE, 0xFFFFFFFF);
    EXPECT_EQ(3u, win32::DebugOutput().size()) << "only the installed provider is told";
    EXPECT_TRUE(TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "member"));
    ASSERT_EQ(1u, session.Events().size());
    EXPECT_EQ("member", session.Events()[0].Text(6));

    member.Unregister();
    EXPECT_EQ(&member, SetEventTraceProvider(nullptr));
    EXPECT_EQ(&processWide, &TheEventTrace());
    EXPECT_TRUE(processWide.IsRegistered());
}

} // namespace
