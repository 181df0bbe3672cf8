#include "app/core/app/TindaloftApp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "NtRegistryStore.h"
#include "WinRegistryControl.h"
#include "WinUiControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/settings/AppRegistry.h"
#include "app/core/settings/OXRegistryItem.h"
#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/FakeControlDevice.h"

namespace {

using tdl::test::FakeControlDevice;
using tdl::test::FakeRequest;

constexpr char kAppKey[] = "Software\\Vellumcrest\\Tindaloft";
constexpr char kAppSettingsKey[] = "Software\\Vellumcrest\\Tindaloft\\AppSettings";

class AppRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }

    static HKEY Create(const std::string& key) {
        HKEY handle = nullptr;
        EXPECT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
        return handle;
    }
    static void SetDword(const std::string& key, const char* name, DWORD value) {
        HKEY handle = Create(key);
        EXPECT_EQ(RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    static void SetString(const std::string& key, const char* name, const char* text) {
        HKEY handle = Create(key);
        EXPECT_EQ(RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(std::strlen(text) + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    static bool KeyExists(const std::string& key) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(handle);
        return true;
    }
    // The values of a key in their order, with their numbers.
    static std::vector<std::pair<std::string, DWORD>> Values(const std::string& key) {
        std::vector<std::pair<std::string, DWORD>> values;
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            return values;
        }
        for (DWORD index = 0;; ++index) {
            char name[64];
            DWORD nameLength = sizeof name;
            DWORD type = 0;
            DWORD data = 0;
            DWORD size = sizeof data;
            if (RegEnumValueA(handle, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                              &size) != ERROR_SUCCESS) {
                break;
            }
            EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
            values.emplace_back(std::string(name, nameLength), data);
        }
        RegCloseKey(handle);
        return values;
    }
    static DWORD Value(const std::string& key, const char* name) {
        for (const auto& [each, value] : Values(key)) {
            if (each == name) {
                return value;
            }
        }
        ADD_FAILURE() << name << " missing";
        return 0xDEAD;
    }

    // The application key as a user of an older version left it.
    static void FillApplicationKey(const char* version) {
        if (version != nullptr) {
            SetString(kAppKey, "Version", version);
        }
        SetDword(kAppSettingsKey, "AutoEnable", 0);
        SetDword(std::string(kAppKey) + "\\Filters\\Mine", "Block", 1);
        SetDword(std::string(kAppKey) + "\\Filters\\Mine\\Deeper", "X", 1);
        SetDword(std::string(kAppKey) + "\\Triggers\\Stop", "Block", 1);
        SetString(std::string(kAppKey) + "\\Recent File List", "File1", "c:\\a.tdl");
        SetDword(std::string(kAppKey) + "\\Settings", "PreviewPages", 1);
        SetDword("Software\\Vellumcrest\\Other", "Kept", 1);
    }

    CTindaloftApp m_app;
};

TEST_F(AppRegistryTest, TheCurrentVersionKeepsEverything) {
    FillApplicationKey("1.0");
    m_app.CheckRegistryVersion();
    for (const char* key :
         {"\\AppSettings", "\\Filters\\Mine\\Deeper", "\\Triggers\\Stop", "\\Recent File List", "\\Settings"}) {
        EXPECT_TRUE(KeyExists(std::string(kAppKey) + key)) << key;
    }
}

TEST_F(AppRegistryTest, AnotherVersionOrNoneClearsTheApplicationKey) {
    for (const char* version : {static_cast<const char*>(nullptr), "1.1", ""}) {
        SCOPED_TRACE(version != nullptr ? version : "(none)");
        FillApplicationKey(version);
        apptest::TraceCapture traces(TRACE_VERBOSE, TRACE_AREA_REGISTRY_VERSION);
        m_app.CheckRegistryVersion();
        EXPECT_FALSE(KeyExists(kAppKey));
        EXPECT_TRUE(KeyExists("Software\\Vellumcrest\\Other"));
        EXPECT_TRUE(traces.Has("Reg value : \\CurrentUser\\Software\\Vellumcrest\\Tindaloft\\Filters\\Mine\\Deeper\\"));
        EXPECT_TRUE(traces.Has("Reg value : \\CurrentUser\\Software\\Vellumcrest\\Tindaloft\\AppSettings\\"));
    }
}

TEST_F(AppRegistryTest, AWalkThatCannotStartDeletesTheKeyOnlyWhenItHasNoSubkeys) {
    // Values only: nothing to walk, the key goes.
    SetString(kAppKey, "Version", "1.1");
    SetDword(kAppKey, "Stray", 1);
    {
        apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_REGISTRY_VERSION);
        m_app.CheckRegistryVersion();
        EXPECT_EQ(errors.Texts(),
                  std::vector<std::string>{
                      "Iter Start failed: \\CurrentUser\\Software\\Vellumcrest\\Tindaloft\\ (0x80070103)"});
    }
    EXPECT_FALSE(KeyExists(kAppKey));

    // The key cannot be listed: it stays.
    FillApplicationKey("1.1");
    nt::registry::FailurePlan plan;
    plan.operation = nt::registry::Operation::QueryKey;
    plan.status = STATUS_INSUFFICIENT_RESOURCES;
    nt::registry::InjectFailure(plan);
    m_app.CheckRegistryVersion();
    nt::registry::ClearInjectedFailures();
    EXPECT_TRUE(KeyExists(std::string(kAppKey) + "\\Filters\\Mine\\Deeper"));
}

TEST_F(AppRegistryTest, FirstStartWritesAndTakesTheDefaults) {
    m_app.m_Settings.MaxLogBuffer = 5;
    m_app.LoadAppSettings();
    const std::vector<std::pair<std::string, DWORD>> expected = {
        {"MaxLogBuffer", 262144},   {"AutoEnable", 1},      {"BackgroundLogging", 0},
        {"ContinuousLogging", 0},   {"HideDTOnLogging", 0}, {"AutoCloseProgress", 0},
        {"IndependentHtmlHelp", 0}, {"CheckForUpdate", 1},  {"DetailsFontSize", 2},
    };
    EXPECT_EQ(Values(kAppSettingsKey), expected);
    const CAppSettings& settings = m_app.m_Settings;
    EXPECT_EQ(settings.MaxLogBuffer, 262144u);
    EXPECT_TRUE(settings.AutoEnable);
    EXPECT_FALSE(settings.BackgroundLogging);
    EXPECT_FALSE(settings.ContinuousLogging);
    EXPECT_FALSE(settings.HideDTOnLogging);
    EXPECT_FALSE(settings.AutoCloseProgress);
    EXPECT_FALSE(settings.IndependentHtmlHelp);
    EXPECT_TRUE(settings.CheckForUpdate);
    EXPECT_EQ(settings.DetailsFontSize, 2u);
}

TEST_F(AppRegistryTest, StoredValuesAreTakenOrRepaired) {
    struct Case {
        const char* name;
        DWORD stored;
        DWORD inMemory;
        DWORD inRegistry;
    };
    const Case cases[] = {
        {"AutoEnable", 555, 1, 1},
        {"AutoEnable", 0, 0, 0},
        {"CheckForUpdate", 555, 1, 1},
        {"HideDTOnLogging", 7, 1, 7}, // any non-zero value is on
        {"MaxLogBuffer", 1048576, 262144, 262144},
        {"DetailsFontSize", 7, 2, 2},
        {"DetailsFontSize", 4, 4, 4},
        {"DetailsFontSize", 0, 0, 0},
        {"DetailsFontSize", 555, 2, 2},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(::testing::Message() << row.name << " " << row.stored);
        nt::ResetKernelState();
        SetDword(kAppSettingsKey, row.name, row.stored);
        CTindaloftApp app;
        app.LoadAppSettings();
        EXPECT_EQ(Value(kAppSettingsKey, row.name), row.inRegistry);
        const CAppSettings& s = app.m_Settings;
        const std::string name = row.name;
        const DWORD inMemory = name == "AutoEnable"        ? s.AutoEnable
                               : name == "CheckForUpdate"  ? s.CheckForUpdate
                               : name == "HideDTOnLogging" ? s.HideDTOnLogging
                               : name == "MaxLogBuffer"    ? s.MaxLogBuffer
                                                           : s.DetailsFontSize;
        EXPECT_EQ(inMemory, row.inMemory);
    }

    // A REG_DWORD that is not 4 bytes long counts as missing.
    nt::ResetKernelState();
    HKEY handle = Create(kAppSettingsKey);
    const BYTE two[2] = {0, 0};
    ASSERT_EQ(RegSetValueExA(handle, "AutoEnable", 0, REG_DWORD, two, sizeof two), ERROR_SUCCESS);
    RegCloseKey(handle);
    m_app.LoadAppSettings();
    EXPECT_TRUE(m_app.m_Settings.AutoEnable);
    EXPECT_EQ(Value(kAppSettingsKey, "AutoEnable"), 1u);
}

TEST_F(AppRegistryTest, SaveWritesItsEightValuesInOrder) {
    CAppSettings& s = m_app.m_Settings;
    s.MaxLogBuffer = 262144;
    s.BackgroundLogging = true;
    s.ContinuousLogging = false;
    s.AutoEnable = true;
    s.DetailsFontSize = 3;
    s.HideDTOnLogging = true;
    s.AutoCloseProgress = false;
    s.CheckForUpdate = true;
    s.IndependentHtmlHelp = true;
    m_app.SaveAppSettings();
    const std::vector<std::pair<std::string, DWORD>> expected = {
        {"MaxLogBuffer", 262144}, {"BackgroundLogging", 1}, {"ContinuousLogging", 0}, {"AutoEnable", 1},
        {"DetailsFontSize", 3},   {"HideDTOnLogging", 1},   {"AutoCloseProgress", 0}, {"CheckForUpdate", 1},
    };
    EXPECT_EQ(Values(kAppSettingsKey), expected);
}

// --- Driver settings ---

// A reply of GET_LOGGING_OPTIONS as the driver could give it.
std::vector<uint8_t> DriverReply(bool filterPresent) {
    std::vector<uint8_t> bytes(sizeof(LOGGING_OPTIONS), 0);
    bytes[2] = 1;     // CaptureBulk
    bytes[3] = 100;   // BulkMaxSize 100: not in the table
    bytes[7] = 1;     // CaptureCtrl
    bytes[8] = 64;    // CtrlMaxSize 64
    bytes[12] = 2;    // CaptureIsoch: only 1 is on
    bytes[15] = 0x10; // IsochMaxSize 1048576
    bytes[17] = 1;    // CaptureUrbs
    bytes[18] = 1;    // hub-interface and port-hook switches are always off here
    bytes[19] = 1;
    const uint8_t switches[7] = {1, 0, 1, 0, 1, 0, 1};
    std::memcpy(&bytes[20], switches, sizeof switches);
    bytes[27] = filterPresent ? 1 : 0;
    for (size_t i = 28; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    return bytes;
}

std::vector<uint8_t> DefaultBlock() {
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    return std::vector<uint8_t>(block.Bytes, block.Bytes + sizeof block.Bytes);
}

class DriverSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        m_fake = std::make_unique<FakeControlDevice>();
    }
    void TearDown() override {
        m_fake.reset();
        nt::pnp::Shutdown();
    }

    std::unique_ptr<FakeControlDevice> m_fake;
    CTindaloftApp m_app;
};

TEST_F(DriverSettingsTest, GetCopiesTheDriversSwitchesAndSizes) {
    m_fake->Reply(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, DriverReply(false));
    apptest::TraceCapture traces(TRACE_VERBOSE, TRACE_AREA_DRIVER_INFO);
    EXPECT_TRUE(m_app.GetDriverSettings());

    const CAppSettings& s = m_app.m_Settings;
    EXPECT_TRUE(s.CaptureBulk);
    EXPECT_EQ(s.BulkMaxSize, 1u);
    EXPECT_TRUE(s.CaptureCtrl);
    EXPECT_EQ(s.CtrlMaxSize, 2u);
    EXPECT_FALSE(s.CaptureIsoch);
    EXPECT_EQ(s.IsochMaxSize, 7u);
    EXPECT_TRUE(s.CaptureUrbs);
    EXPECT_FALSE(s.CaptureHubInterface);
    EXPECT_FALSE(s.CaptureUsbportHook);
    EXPECT_TRUE(s.CaptureUsbIntern);
    EXPECT_FALSE(s.CaptureHubIoctl);
    EXPECT_TRUE(s.CaptureHcdIoctl);
    EXPECT_FALSE(s.CaptureHidIoctl);
    EXPECT_TRUE(s.CaptureHidIntern);
    EXPECT_FALSE(s.CapturePnp);
    EXPECT_TRUE(s.CapturePower);

    // One request, 325 zero bytes offered; no filter to switch off.
    std::vector<FakeRequest> requests = m_fake->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, static_cast<ULONG>(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS));
    EXPECT_EQ(requests[0].input, std::vector<uint8_t>(325, 0));
    EXPECT_EQ(requests[0].outputLength, 325u);
    EXPECT_EQ(traces.Texts(),
              (std::vector<std::string>{"--GetDriverSettings", "Opened KxTdloft", "Success getting LOGGING_OPTIONS",
                                        "GetDriverSettings result = 1"}));
}

TEST_F(DriverSettingsTest, GetSwitchesOffAFilterTheDriverStillHolds) {
    m_fake->Reply(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, DriverReply(true));
    EXPECT_TRUE(m_app.GetDriverSettings());

    std::vector<FakeRequest> requests = m_fake->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].code, static_cast<ULONG>(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS));
    std::vector<uint8_t> expected = DriverReply(false);
    const std::vector<uint8_t> block = DefaultBlock();
    std::copy(block.begin(), block.end(), expected.begin() + 28);
    EXPECT_EQ(requests[1].input, expected);
    EXPECT_EQ(requests[1].outputLength, 0u);

    // The SET's result is not the routine's.
    m_fake->ClearRequests();
    m_fake->Fail(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(m_app.GetDriverSettings());
}

TEST_F(DriverSettingsTest, AGetThatFailsKeepsTheSettings) {
    m_fake->Fail(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, STATUS_INVALID_PARAMETER);
    m_app.m_Settings.CaptureBulk = true;
    m_app.m_Settings.BulkMaxSize = 4;
    apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DRIVER_INFO);
    EXPECT_FALSE(m_app.GetDriverSettings());
    EXPECT_TRUE(m_app.m_Settings.CaptureBulk);
    EXPECT_EQ(m_app.m_Settings.BulkMaxSize, 4u);
    EXPECT_EQ(m_fake->Requests().size(), 1u);
    EXPECT_EQ(errors.Texts(), std::vector<std::string>{"Failed to get LOGGING_OPTIONS"});
}

// What SetDriverLoggingOptions sends for these settings: the sizes of codes 3, 2 and 9 (outside the table).
std::vector<uint8_t> GoldenImage(bool withFilter, const std::vector<uint8_t>& block) {
    std::vector<uint8_t> bytes = {
        0x00,
        0x00, // reserved
        0x01,
        0x00,
        0x00,
        0x01,
        0x00, // CaptureBulk, 65536
        0x01,
        0x40,
        0x00,
        0x00,
        0x00, // CaptureCtrl, 64
        0x00,
        0x08,
        0x00,
        0x00,
        0x00, // CaptureIsoch, 8
        0x01,
        0x00,
        0x00, // CaptureUrbs, CaptureHubInterface, CaptureUsbportHook
        0x00,
        0x01,
        0x00,
        0x01,
        0x00,
        0x01,
        0x00, // CaptureUsbIntern .. CapturePower
        static_cast<uint8_t>(withFilter ? 1 : 0),
    };
    bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

TEST_F(DriverSettingsTest, SetSendsTheSettingsWithOrWithoutAFilter) {
    CAppSettings& s = m_app.m_Settings;
    s.CaptureBulk = true;
    s.BulkMaxSize = 3;
    s.CaptureCtrl = true;
    s.CtrlMaxSize = 2;
    s.CaptureIsoch = false;
    s.IsochMaxSize = 9;
    s.CaptureUrbs = true;
    s.CaptureHubIoctl = s.CaptureHidIoctl = s.CapturePnp = true;

    FILTER_BLOCK filter;
    for (size_t i = 0; i < sizeof filter.Bytes; ++i) {
        filter.Bytes[i] = static_cast<UCHAR>(0xFF - i);
    }
    const std::vector<uint8_t> filterBytes(filter.Bytes, filter.Bytes + sizeof filter.Bytes);

    EXPECT_TRUE(m_app.SetDriverLoggingOptions(&filter));
    EXPECT_TRUE(m_app.SetDriverLoggingOptions(nullptr));
    std::vector<FakeRequest> requests = m_fake->Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const FakeRequest& request : requests) {
        EXPECT_EQ(request.code, static_cast<ULONG>(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS));
        EXPECT_EQ(request.outputLength, 0u);
    }
    EXPECT_EQ(requests[0].input, GoldenImage(true, filterBytes));
    EXPECT_EQ(requests[1].input, GoldenImage(false, DefaultBlock()));

    m_fake->Fail(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(m_app.SetDriverLoggingOptions(nullptr));
}

class NoDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        win32::ClearModalRequests();
    }
    void TearDown() override { win32::ClearModalRequests(); }
    CTindaloftApp m_app;
};

TEST_F(NoDriverTest, TheSettingsRoutinesTellTheUserAndKeepTheSettings) {
    constexpr char kMessage[] = "Unable to connect to Tindaloft analyzer driver.\nProgram is terminating.";
    // At start-up the splash is up when the settings are read; it goes before the message.
    RegisterAppResources();
    ASSERT_TRUE(m_app.m_SplashWnd.Create());
    m_app.m_bSplashShown = TRUE;
    bool splashAtBox = true;
    win32::QueueModalSteps(
        win32::ModalKind::MessageBox,
        [&](const win32::ModalRequest&, HWND) {
            splashAtBox = m_app.m_SplashWnd.m_hWnd != nullptr;
            return IDOK;
        },
        "Unable to connect");
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Unable to connect");
    m_app.m_Settings.BulkMaxSize = 5;
    apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DRIVER_INFO);
    EXPECT_FALSE(m_app.GetDriverSettings());
    EXPECT_FALSE(splashAtBox);
    EXPECT_FALSE(m_app.m_bSplashShown);
    EXPECT_EQ(errors.Texts(), std::vector<std::string>{"Failed to open KxTdloft"});
    EXPECT_FALSE(m_app.SetDriverLoggingOptions(nullptr));
    EXPECT_EQ(m_app.m_Settings.BulkMaxSize, 5u);

    // One message each, and only that one: the open failure itself is traced, not shown.
    std::vector<win32::ModalRequest> boxes = win32::ModalRequests();
    ASSERT_EQ(boxes.size(), 2u);
    for (const win32::ModalRequest& box : boxes) {
        EXPECT_EQ(box.text, kMessage);
        EXPECT_EQ(box.caption, "Tindaloft");
        EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONHAND));
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_TRUE(box.expected);
    }
}

} // namespace
