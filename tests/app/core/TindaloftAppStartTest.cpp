// The application object's start-up against a scripted control device: the single-instance rule, the driver
// gate, the splash window, OLE start-up, and what exit writes back; with the pieces the start uses (machine
// name, version numbers, boot-capture flags, idle work).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AfxOleControl.h"
#include "NtClock.h"
#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinMachineProfile.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/SingleInstance.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/settings/AppRegistry.h"
#include "app/ui/frame/MainFrame.h"
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/AppStarter.h"
#include "tests/support/FakeControlDevice.h"

namespace {

using tdl::test::FakeControlDevice;

constexpr char kAppKey[] = "Software\\Vellumcrest\\Tindaloft";
constexpr char kAppSettingsKey[] = "Software\\Vellumcrest\\Tindaloft\\AppSettings";

constexpr char kNoDriver[] = "Unable to connect to Tindaloft analyzer driver.\nProgram is terminating.";
constexpr char kNoInfo[] = "Unable to find a Tindaloft analyzer driver.\nPlease reinstall Tindaloft.";
constexpr char kWrongVersion[] = "Incorrect version of Tindaloft analyzer driver.\nPlease reinstall Tindaloft.";
constexpr char kSafeMode[] =
    "The Tindaloft analyzer driver is disabled since this system is in Safe Mode. Tindaloft is terminating.";

DRIVER_INFO Info(UCHAR major, UCHAR minor, USHORT revision, USHORT build, UCHAR safeMode = 0) {
    DRIVER_INFO info{};
    info.MajorVersion = major;
    info.MinorVersion = minor;
    info.Revision = revision;
    info.Build = build;
    info.LogBlockSize = 0x10000;
    info.MemlogFlags = 0xA5C30F01;
    info.SafeMode = safeMode;
    info.EnableMiniportHook = 1;
    return info;
}

std::vector<uint8_t> Bytes(const DRIVER_INFO& info, size_t size) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), &info, std::min(size, sizeof info));
    return bytes;
}

// Names of the values of a registry key, in order; nullopt when the key is missing.
std::optional<std::vector<std::string>> ValueNames(const char* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[128];
        DWORD length = sizeof name;
        if (RegEnumValueA(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    RegCloseKey(handle);
    return names;
}

bool KeyExists(const char* key) {
    return ValueNames(key).has_value();
}

void SetDword(const char* key, const char* name, DWORD value) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(handle);
}

class AppStartTest : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }
    void TearDown() override {
        m_starter.reset();
        m_fake.reset();
        nt::clock::Reset();
        nt::pnp::Shutdown();
    }
    FakeControlDevice& Fake() {
        if (m_fake == nullptr) {
            m_fake = std::make_unique<FakeControlDevice>();
        }
        return *m_fake;
    }
    // A driver that passes the gate.
    void GoodDriver() { Fake().ReplyStruct(IOCTL_TINDALOFT_INFO, Info(3, 41, 0, 627)); }
    apptest::AppStarter& Starter() {
        if (m_starter == nullptr) {
            m_starter = std::make_unique<apptest::AppStarter>();
        }
        return *m_starter;
    }

    std::unique_ptr<FakeControlDevice> m_fake;
    std::unique_ptr<apptest::AppStarter> m_starter;
};

TEST_F(AppStartTest, ASecondInstanceEndsBeforeTheDriverAndWritesOnlyTheVersionAtExit) {
    GoodDriver();
    Starter();
    CreateSingleInstanceMutex(); // the first instance holds the mutex already
    ASSERT_EQ(g_dwSingleInstanceError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    Starter().Make();
    EXPECT_FALSE(Starter().Start());
    const auto boxes = apptest::AppStarter::TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Another instance of Tindaloft is already running.");
    EXPECT_EQ(boxes[0].caption, "Tindaloft");
    EXPECT_EQ(boxes[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_TRUE(Fake().Requests().empty());

    Starter().Exit();
    EXPECT_EQ(ValueNames(kAppKey), std::vector<std::string>{"Version"});
    EXPECT_FALSE(KeyExists(kAppSettingsKey));
}

struct GateCase {
    const char* name;
    bool driverPresent;
    std::optional<NTSTATUS> infoFailure;
    DRIVER_INFO info;
    size_t answerSize;
    BOOL accepted;
    std::vector<std::string> boxes;
};

TEST_F(AppStartTest, TheDriverGateRefusesAMissingDriverAShortAnswerAWrongVersionAndSafeMode) {
    const DRIVER_INFO good = Info(3, 41, 0, 627);
    const std::vector<GateCase> cases = {
        {"no driver", false, std::nullopt, good, 19, FALSE, {kNoDriver}},
        {"INFO fails", true, STATUS_INVALID_DEVICE_REQUEST, good, 19, FALSE, {kNoInfo}},
        {"18 bytes", true, std::nullopt, good, 18, FALSE, {kNoInfo}},
        {"20 bytes", true, std::nullopt, good, 20, FALSE, {kNoInfo}},
        {"3.41.0.626", true, std::nullopt, Info(3, 41, 0, 626), 19, FALSE, {kWrongVersion}},
        {"3.41.0.627", true, std::nullopt, good, 19, TRUE, {}},
        {"3.41.0.700", true, std::nullopt, Info(3, 41, 0, 700), 19, TRUE, {}},
        {"3.41.1.627", true, std::nullopt, Info(3, 41, 1, 627), 19, FALSE, {kWrongVersion}},
        {"3.42.0.627", true, std::nullopt, Info(3, 42, 0, 627), 19, FALSE, {kWrongVersion}},
        {"2.41.0.627", true, std::nullopt, Info(2, 41, 0, 627), 19, FALSE, {kWrongVersion}},
        {"Safe Mode", true, std::nullopt, Info(3, 41, 0, 627, 1), 19, FALSE, {kSafeMode}},
        {"Safe Mode, wrong version", true, std::nullopt, Info(3, 42, 0, 627, 1), 19, FALSE, {kWrongVersion, kSafeMode}},
    };
    for (const GateCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_starter.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
        nt::ResetKernelState();
        if (c.driverPresent) {
            if (c.infoFailure) {
                Fake().Fail(IOCTL_TINDALOFT_INFO, *c.infoFailure);
            } else {
                Fake().Reply(IOCTL_TINDALOFT_INFO, Bytes(c.info, c.answerSize));
            }
        }
        CTindaloftApp& app = Starter().Make();
        // The splash is up when the gate runs; it goes before any message.
        ASSERT_TRUE(app.m_SplashWnd.Create());
        app.m_bSplashShown = TRUE;
        std::vector<bool> splashAtBox;
        for (const std::string& text : c.boxes) {
            win32::QueueModalSteps(
                win32::ModalKind::MessageBox,
                [&](const win32::ModalRequest&, HWND) {
                    splashAtBox.push_back(app.m_SplashWnd.m_hWnd != nullptr);
                    return IDOK;
                },
                text);
        }

        EXPECT_EQ(app.GetDriverInfo(), c.accepted);
        const auto boxes = apptest::AppStarter::TakeBoxes();
        std::vector<std::string> texts;
        for (const auto& box : boxes) {
            texts.push_back(box.text);
            EXPECT_EQ(box.caption, "Tindaloft");
            EXPECT_EQ(box.style & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
            EXPECT_EQ(box.owner, nullptr);
        }
        EXPECT_EQ(texts, c.boxes);
        EXPECT_EQ(splashAtBox, std::vector<bool>(c.boxes.size(), false));
        if (c.accepted) {
            EXPECT_TRUE(app.m_SplashWnd.m_hWnd != nullptr);
            EXPECT_FALSE(app.m_Settings.EnableMiniportHook);
            EXPECT_EQ(app.m_Settings.MemlogFlags, 0xA5C30F01u);
        }
    }
}

TEST_F(AppStartTest, ARefusedStartLeavesTheStoredSettingsAsTheyAre) {
    for (const bool safeMode : {false, true}) {
        SCOPED_TRACE(safeMode ? "Safe Mode" : "no driver");
        m_starter.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
        nt::ResetKernelState();
        if (safeMode) {
            Fake().ReplyStruct(IOCTL_TINDALOFT_INFO, Info(3, 41, 0, 627, 1));
        }
        SetDword(kAppSettingsKey, "AutoEnable", 0);
        Starter().Make("/Embedding");
        EXPECT_FALSE(Starter().Start());
        EXPECT_EQ(Starter().App().m_pMainWnd, nullptr);
        Starter().Exit();
        EXPECT_EQ(ValueNames(kAppSettingsKey), std::vector<std::string>{"AutoEnable"});
        EXPECT_EQ(ValueNames(kAppKey), std::vector<std::string>{"Version"});
    }
}

TEST_F(AppStartTest, TheSplashStaysForTheHoldAfterTheMainWindowIsShownUnlessTheCommandLineSuppressesIt) {
    for (const char* commandLine : {"", "/Embedding"}) {
        SCOPED_TRACE(commandLine);
        m_starter.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
        nt::ResetKernelState();
        GoodDriver();
        CTindaloftApp& app = Starter().Make(commandLine);
        nt::clock::UseVirtualClock();
        const LONGLONG start = nt::clock::Now();

        // While the start sleeps (a timed wait beyond those the machine's own threads keep): notes whether the
        // main window is up, moves the clock to 1 ms before the hold ends, sees the start still held, then
        // lets it go. A longer hold is released after a while, and shows in the time taken.
        const size_t background = nt::clock::TimedWaiterCount();
        std::atomic<bool> done{false};
        std::atomic<bool> frameShownWhileHeld{false};
        std::atomic<bool> heldUntilTheEnd{false};
        auto waitFor = [&](auto condition) {
            for (int i = 0; i < 2000 && !done && !condition(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return condition();
        };
        std::thread clock([&] {
            if (!waitFor([&] { return nt::clock::TimedWaiterCount() > background; })) {
                return;
            }
            CWnd* pMain = app.m_pMainWnd;
            frameShownWhileHeld = pMain != nullptr && ::IsWindowVisible(pMain->m_hWnd);
            nt::clock::AdvanceMilliseconds(CTindaloftApp::SplashHoldMilliseconds - 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            heldUntilTheEnd = nt::clock::TimedWaiterCount() > background && app.m_SplashWnd.m_hWnd != nullptr;
            nt::clock::AdvanceMilliseconds(1);
            if (!waitFor([&] { return nt::clock::TimedWaiterCount() <= background; })) {
                nt::clock::AdvanceMilliseconds(60'000);
            }
        });
        apptest::TraceCapture traces(TRACE_VERBOSE, TRACE_AREA_APP);
        const BOOL started = Starter().Start();
        done = true;
        clock.join();

        ASSERT_TRUE(started);
        const bool splash = commandLine[0] == '\0';
        EXPECT_EQ(nt::clock::Now() - start,
                  splash ? CTindaloftApp::SplashHoldMilliseconds * nt::clock::kUnitsPerMillisecond : 0);
        EXPECT_EQ(frameShownWhileHeld.load(), splash);
        EXPECT_EQ(heldUntilTheEnd.load(), splash);
        EXPECT_TRUE(traces.Has(splash ? "Splash screen: ON" : "Splash screen: OFF"));
        EXPECT_EQ(traces.Has("Closing splash window"), splash);
        EXPECT_TRUE(traces.Has("InitInstance success."));
        EXPECT_EQ(app.m_SplashWnd.m_hWnd, nullptr);
        EXPECT_FALSE(app.m_bSplashShown);
        EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());
        nt::clock::Reset();
    }
}

TEST_F(AppStartTest, AStartTracesItsStepsInOrder) {
    GoodDriver();
    Starter().Make("/Embedding");
    apptest::TraceCapture app(TRACE_VERBOSE, TRACE_AREA_APP);
    ASSERT_TRUE(Starter().Start());
    EXPECT_EQ(app.Texts(), (std::vector<std::string>{"--InitInstance", "Splash screen: OFF",
                                                     // The settings' area shares the application's bit.
                                                     "--LoadAppSettings", "--LoadMaxLogBuffer", "--BuildMachineName",
                                                     "Machine Name = User@TDL-WORKSTATION",
                                                     "AddDocTemplate for IDR_TDLOFT_TYPE document type",
                                                     "AddDocTemplate for IDR_TDLOFT_REALTIME document type",
                                                     "Loading MDI Frame Window", "Dispatch command line",
                                                     "Display main window", "InitInstance success."}));
    Starter().Exit();
}

TEST_F(AppStartTest, TheGateTracesWhatItFound) {
    Fake().ReplyStruct(IOCTL_TINDALOFT_INFO, Info(3, 42, 0, 627));
    CTindaloftApp& app = Starter().Make();
    apptest::TraceCapture gate(TRACE_VERBOSE, TRACE_AREA_DRIVER_INFO);
    EXPECT_FALSE(app.GetDriverInfo());
    EXPECT_EQ(gate.Texts(),
              (std::vector<std::string>{"--GetDriverInfo", "Opened KxTdloft", "Success getting DRIVER_INFO",
                                        "Incorrect version of KxTdloft", "GetDriverInfo result = 0"}));
}

TEST_F(AppStartTest, AnOleFailureClosesTheSplashAndEndsTheStart) {
    GoodDriver();
    CTindaloftApp& app = Starter().Make();
    afx::SetOleInitFails(true);
    apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_APP);
    EXPECT_FALSE(Starter().Start());
    EXPECT_EQ(errors.Texts(),
              std::vector<std::string>{"CTindaloftApp::InitInstance: failed to initialize OLE libraries\n"});
    EXPECT_EQ(app.m_SplashWnd.m_hWnd, nullptr);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    // The settings were read by then: exit writes them back.
    Starter().Exit();
    EXPECT_TRUE(KeyExists(kAppSettingsKey));
}

TEST_F(AppStartTest, ExitWritesTheVersionAndTheSettingsLoadedThisRun) {
    GoodDriver();
    CTindaloftApp& app = Starter().Make("/Embedding");
    ASSERT_TRUE(Starter().Start());
    app.m_Settings.AutoCloseProgress = true;
    EXPECT_EQ(Starter().Exit(), 0);

    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kAppKey, 0, KEY_READ, &handle), ERROR_SUCCESS);
    char version[16] = {};
    DWORD size = sizeof version;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(handle, "Version", nullptr, &type, reinterpret_cast<BYTE*>(version), &size),
              ERROR_SUCCESS);
    RegCloseKey(handle);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(version, "1.0");

    g_RegistryItem.SetFullPath(std::string(g_pszRegistryRoot).append("AppSettings\\").c_str());
    EXPECT_EQ(g_RegistryItem.GetNumberValue("AutoCloseProgress", TRUE, 7), 1u);
}

// The posted WM_COMMAND 32936 messages to `hwnd` now in the queue; the rest is dispatched.
int UpdateResultPosts(HWND hwnd) {
    int posts = 0;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_COMMAND && msg.hwnd == hwnd && LOWORD(msg.wParam) == ID_HELP_UPDATERESULT) {
            ++posts;
        } else {
            ::DispatchMessageA(&msg);
        }
    }
    return posts;
}

TEST_F(AppStartTest, IdleAsksForTheUpdateResultOnceWhenTheCheckHasEnded) {
    GoodDriver();
    CTindaloftApp& app = Starter().Make("/Embedding");
    ASSERT_TRUE(Starter().Start());
    HWND main = app.m_pMainWnd->m_hWnd;
    // The start's check (nobody answers) ends at once; its (empty) result is presented by the end of the start
    // or by the first idle time after it.
    for (int i = 0; i < 10000 && app.m_pUpdate->IsRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(app.m_pUpdate->IsRunning());
    app.OnIdle(0);
    EXPECT_TRUE(app.m_pUpdate->m_bUpdateResultShown);
    UpdateResultPosts(main);

    struct Case {
        bool checkForUpdate;
        BOOL running;
        int posts;
    };
    for (const Case c : {Case{true, FALSE, 1}, Case{true, TRUE, 0}, Case{false, FALSE, 0}}) {
        SCOPED_TRACE(testing::Message() << c.checkForUpdate << c.running);
        app.m_Settings.CheckForUpdate = c.checkForUpdate;
        app.m_pUpdate->m_bUpdateResultShown = FALSE;
        app.m_pUpdate->m_bUpdateCheckRunning = c.running;
        app.OnIdle(0);
        app.OnIdle(1);
        EXPECT_EQ(UpdateResultPosts(main), c.posts);
    }
    Starter().Exit();
}

TEST_F(AppStartTest, TheMachineNameJoinsUserAndComputerWithFallbacks) {
    struct Case {
        const char* computer;
        const char* user;
        const char* expected;
    };
    const Case cases[] = {
        {"TDL-WORKSTATION", "User", "User@TDL-WORKSTATION"},
        {"TDL-WORKSTATION", "", "TDL-WORKSTATION"},
        {"", "User", "User@This Computer"},
        {"SIXTEEN-CHARS-XY", "User", "User@This Computer"},
        {"FIFTEEN-CHARS-X", "User", "User@FIFTEEN-CHARS-X"},
        {"", "", "This Computer"},
    };
    CTindaloftApp& app = Starter().Make();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        win32::MachineProfile profile;
        profile.computerName = c.computer;
        profile.userName = c.user;
        win32::SetMachineProfile(profile);
        app.m_strMachineName = "stale";
        app.BuildMachineName();
        EXPECT_STREQ(app.m_strMachineName.GetString(), c.expected);
    }
    win32::ResetMachineProfile();
}

TEST_F(AppStartTest, VersionNumbersComeFromTheProgramFileAndSplitAtCommas) {
    CTindaloftApp& app = Starter().Make();
    app.LoadVersionNumbers();
    EXPECT_EQ(app.m_nVersionMajor, 3);
    EXPECT_EQ(app.m_nVersionMinor, 41);
    EXPECT_EQ(app.m_nVersionRevision, 0);
    EXPECT_EQ(app.m_nVersionBuild, 627);

    struct Case {
        const char* text;
        int numbers[4];
    };
    const Case cases[] = {
        {"1,2,3,4", {1, 2, 3, 4}},
        {"5, 6, 7, 8,9,10", {5, 6, 7, 8}},
        {"11,12", {11, 12, -1, -1}},
        {"", {-1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        app.m_nVersionMajor = app.m_nVersionMinor = app.m_nVersionRevision = app.m_nVersionBuild = -1;
        app.SetVersionNumbers(c.text);
        EXPECT_EQ(
            (std::vector<int>{app.m_nVersionMajor, app.m_nVersionMinor, app.m_nVersionRevision, app.m_nVersionBuild}),
            (std::vector<int>(std::begin(c.numbers), std::end(c.numbers))));
    }
}

TEST_F(AppStartTest, ABootCaptureIsActiveOnlyWhileBothFlagsAreSetAndIsClearedOnce) {
    CTindaloftApp& app = Starter().Make();
    struct Case {
        UCHAR active;
        UCHAR once;
        BOOL expected;
    };
    for (const Case c : {Case{1, 1, TRUE}, Case{1, 0, FALSE}, Case{0, 1, FALSE}, Case{0, 0, FALSE}}) {
        app.m_DriverInfo = Info(3, 41, 0, 627);
        app.m_DriverInfo.CaptureLogActive = c.active;
        app.m_DriverInfo.CaptureOnceOnBoot = c.once;
        app.m_DriverInfo.CaptureOnBoot = 1;
        EXPECT_EQ(app.IsBootCaptureActive(), c.expected) << int(c.active) << int(c.once);
    }
    app.m_DriverInfo.CaptureLogActive = 1;
    app.m_DriverInfo.CaptureOnceOnBoot = 1;
    app.ClearBootCaptureFlags();
    EXPECT_FALSE(app.IsBootCaptureActive());
    EXPECT_EQ(app.m_DriverInfo.CaptureLogActive, 0);
    EXPECT_EQ(app.m_DriverInfo.CaptureOnceOnBoot, 0);
    EXPECT_EQ(app.m_DriverInfo.CaptureOnBoot, 1);
    EXPECT_EQ(app.m_DriverInfo.Build, 627);
}

} // namespace
