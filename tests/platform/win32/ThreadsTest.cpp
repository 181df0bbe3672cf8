#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "Win32TestSupport.h"
#include "WinDebugControl.h"
#include "WinMachineProfile.h"
#include "windows.h"

extern char** environ;

namespace {

struct Gate {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD seenId = 0;
    ~Gate() { CloseHandle(release); }
};

DWORD WINAPI WaitForGate(LPVOID p) {
    auto* gate = static_cast<Gate*>(p);
    gate->seenId = GetCurrentThreadId();
    WaitForSingleObject(gate->release, INFINITE);
    return 42;
}

TEST(Threads, ExitCodeIdsAndWaitingOnAnEndedThread) {
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitForGate, &gate, 0, &id);
    ASSERT_NE(nullptr, thread);
    EXPECT_NE(0u, id);
    EXPECT_NE(GetCurrentThreadId(), id);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 0));

    SetEvent(gate.release);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(id, gate.seenId);
    // An ended thread stays signalled: joining it again returns at once.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(42u, code);
    CloseHandle(thread);
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(Threads, SuspendedThreadStartsOnResumeAndExitThreadSetsTheCode) {
    static bool ran;
    ran = false;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            ran = true;
            ExitThread(9);
        },
        nullptr, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 0));
    EXPECT_FALSE(ran);
    EXPECT_EQ(1u, ResumeThread(thread));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_TRUE(ran);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(9u, code);
    CloseHandle(thread);
}

TEST(Exceptions, RaiseExceptionIsCaughtWithItsCodeAndArguments) {
    const ULONG_PTR arguments[] = {1, 2};
    DWORD code = 0;
    __try {
        RaiseException(0xA0000009, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        code = static_cast<DWORD>(GetExceptionCode());
    }
    EXPECT_EQ(0xA0000009u, code);

    ULONG flags = 0, count = 0;
    try {
        RaiseException(0xA0000001, EXCEPTION_NONCONTINUABLE, 2, arguments);
    } catch (const nt::SehException& e) {
        code = static_cast<DWORD>(e.Code());
        flags = e.Record().ExceptionFlags;
        count = e.Record().NumberParameters;
        EXPECT_EQ(2u, e.Record().ExceptionInformation[1]);
    }
    EXPECT_EQ(0xA0000001u, code);
    EXPECT_EQ(static_cast<ULONG>(EXCEPTION_NONCONTINUABLE), flags);
    EXPECT_EQ(2u, count);

    // A handler whose filter declines the code passes the exception on to the next one.
    bool innerHandled = false;
    try {
        try {
            RaiseException(0xA0000007, 0, 0, nullptr);
        } catch (const nt::SehException& e) {
            if (e.Code() != static_cast<NTSTATUS>(0xA0000001))
                throw;
            innerHandled = true;
        }
    } catch (const nt::SehException& e) {
        code = static_cast<DWORD>(e.Code());
    }
    EXPECT_FALSE(innerHandled);
    EXPECT_EQ(0xA0000007u, code);
}

LONG WINAPI RecordingFilter(PEXCEPTION_POINTERS info) {
    OutputDebugStringA("filter saw the exception\n");
    return info->ExceptionRecord->ExceptionCode == static_cast<NTSTATUS>(0xA0000005) ? EXCEPTION_EXECUTE_HANDLER
                                                                                     : EXCEPTION_CONTINUE_SEARCH;
}

TEST(Exceptions, UnhandledExceptionFilterIsTheProgramsHook) {
    win32::ClearDebugOutput();
    nt::SehException exception(static_cast<NTSTATUS>(0xA0000005));
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, win32::ReportUnhandledException(exception));
    EXPECT_EQ(nullptr, SetUnhandledExceptionFilter(RecordingFilter));
    EXPECT_EQ(EXCEPTION_EXECUTE_HANDLER, win32::ReportUnhandledException(exception));
    EXPECT_EQ(RecordingFilter, SetUnhandledExceptionFilter(nullptr));
    EXPECT_EQ(std::vector<std::string>{"filter saw the exception\n"}, win32::DebugOutput());
}

// The single-instance rule across processes: a child process of this test binary creates the same named
// mutex while this process holds it.
constexpr const char* kInstanceMutex = "{AC767A23-37C6-4EF1-AFC6-A3E895952BEC}";

int RunChild(const std::string& stateFolder) {
    std::string filter = "--gtest_filter=SingleInstanceChild.DISABLED_SecondCreateSeesTheFirstProcess";
    std::string folder = "TINDALOFT_STATE_DIR=" + stateFolder;
    char exe[] = "/proc/self/exe";
    char alsoDisabled[] = "--gtest_also_run_disabled_tests";
    char* argv[] = {exe, filter.data(), alsoDisabled, nullptr};
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("TINDALOFT_STATE_DIR=", 0) != 0)
            env.push_back(*e);
    env.push_back(folder.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int spawned = posix_spawn(&child, exe, &quiet, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleInstance, NamedMutexIsSeenByASecondProcess) {
    const std::string state = win32::StateFolder();
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutex);
    ASSERT_NE(nullptr, mutex);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    EXPECT_EQ(0, RunChild(state)) << "the child did not see the mutex";
    CloseHandle(mutex);
    EXPECT_NE(0, RunChild(state)) << "the child still saw a closed mutex";
}

TEST(SingleInstance, StateFolderSettingCanNameAFolderPerProcess) {
    const char* old = std::getenv("TINDALOFT_STATE_DIR");
    const std::string saved = old ? old : "";
    setenv("TINDALOFT_STATE_DIR", "/tmp/tdl-state-{pid}/x", 1);
    const std::string configured = win32::StateFolder();
    win32::SetStateFolder("");
    const std::string fromEnvironment = win32::StateFolder();
    if (old)
        setenv("TINDALOFT_STATE_DIR", saved.c_str(), 1);
    else
        unsetenv("TINDALOFT_STATE_DIR");
    win32::SetStateFolder(configured);
    EXPECT_EQ("/tmp/tdl-state-" + std::to_string(getpid()) + "/x", fromEnvironment);
}

TEST(SingleInstanceChild, DISABLED_SecondCreateSeesTheFirstProcess) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutex);
    ASSERT_NE(nullptr, mutex);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
}

} // namespace
