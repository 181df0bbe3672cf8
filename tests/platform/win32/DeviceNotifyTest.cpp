// Device notifications: WM_DEVICECHANGE to registered and top-level windows once a Plug and Play change is done.
#include <gtest/gtest.h>

#include <cstring>

#include "DeviceNotifyKernel.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

class DeviceNotifyTest : public UiTest {};

struct Event {
    WPARAM kind;
    GUID interfaceClass;
    std::string name;
    DWORD size;
};

// A window that copies what each WM_DEVICECHANGE carries while it is valid.
TestWindow::Handler Recorder(std::vector<Event>& events) {
    return [&events](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (message != WM_DEVICECHANGE)
            return std::nullopt;
        Event e{wParam, {}, {}, 0};
        if (lParam) {
            const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
            EXPECT_EQ(header->dbch_devicetype, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
            const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
            e.interfaceClass = record->dbcc_classguid;
            e.name = record->dbcc_name;
            e.size = record->dbcc_size;
        }
        events.push_back(e);
        return TRUE;
    };
}

TEST_F(DeviceNotifyTest, RegisteredWindowsHearOfTheirInterfacesAndTopLevelWindowsOfNodes) {
    std::vector<Event> registered, other;
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, Recorder(registered));
    TestWindow o(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, Recorder(other));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    memcpy(&filter.dbcc_classguid, devnotify_test::kInterfaceClass, sizeof(GUID));
    HDEVNOTIFY mine = RegisterDeviceNotificationA(w, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_TRUE(mine);
    filter.dbcc_classguid.Data1 ^= 1; // another class
    HDEVNOTIFY theirs = RegisterDeviceNotificationA(o, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_TRUE(theirs);

    devnotify_test::PlugDevice();
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
    ASSERT_FALSE(registered.empty());
    EXPECT_EQ(registered.back().kind, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
    ASSERT_FALSE(other.empty());
    EXPECT_EQ(other.back().kind, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
    registered.clear();
    other.clear();

    devnotify_test::SetInterface(true);
    devnotify_test::SetInterface(false);
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
    ASSERT_EQ(registered.size(), 2u);
    EXPECT_EQ(registered[0].kind, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(registered[1].kind, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(memcmp(&registered[0].interfaceClass, devnotify_test::kInterfaceClass, sizeof(GUID)), 0);
    EXPECT_EQ(registered[0].name, devnotify_test::InterfaceName());
    EXPECT_EQ(registered[0].name.rfind("\\\\?\\ROOT#TDLNOTIFYTEST#", 0), 0u) << registered[0].name;
    EXPECT_EQ(registered[0].size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + registered[0].name.size() + 1);
    EXPECT_TRUE(other.empty());
    registered.clear();

    EXPECT_TRUE(UnregisterDeviceNotification(mine));
    EXPECT_FALSE(UnregisterDeviceNotification(mine));
    devnotify_test::SetInterface(true);
    devnotify_test::UnplugDevice();
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
    ASSERT_FALSE(registered.empty()); // the device's removal changed the nodes
    for (const Event& e : registered)
        EXPECT_EQ(e.kind, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
    EXPECT_TRUE(UnregisterDeviceNotification(theirs));
}

TEST_F(DeviceNotifyTest, ATopLevelWindowHearsOfNodesWithoutAnyRegistrationInTheProcess) {
    // Run alone, nothing in this process has registered for device notifications.
    std::vector<Event> events;
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, Recorder(events));
    devnotify_test::PlugDevice();
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
    EXPECT_FALSE(events.empty());
    EXPECT_TRUE(!events.empty() && events.back().kind == DBT_DEVNODES_CHANGED);
    devnotify_test::UnplugDevice();
    win32::WaitForDeviceNotifications();
    win32::PumpUiMessages();
}

TEST_F(DeviceNotifyTest, BadRegistrationsAreRefused) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_HANDLE;
    EXPECT_FALSE(RegisterDeviceNotificationA(w, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_size = sizeof(DEV_BROADCAST_HDR);
    EXPECT_FALSE(RegisterDeviceNotificationA(w, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    filter.dbcc_size = sizeof(filter);
    EXPECT_FALSE(RegisterDeviceNotificationA(nullptr, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(RegisterDeviceNotificationA(w, nullptr, DEVICE_NOTIFY_WINDOW_HANDLE));
}

} // namespace
