#include "DeviceNotifyKernel.h"

#include <cstring>
#include <gtest/gtest.h>

#include "NtPnpControl.h"
#include "NtText.h"
#include "wdm.h"

namespace devnotify_test {

const unsigned char kInterfaceClass[16] = {0x29, 0x1E, 0x8C, 0x7B, 0x4A, 0x3D, 0x60, 0x4F,
                                           0x9A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x71};

namespace {
std::u16string g_instance;
PDEVICE_OBJECT g_pdo = nullptr;
UNICODE_STRING g_link{};
} // namespace

void PlugDevice() {
    nt::pnp::RootDevice device;
    device.deviceId = u"ROOT\\TDLNOTIFYTEST";
    device.description = u"Notification test device";
    ASSERT_EQ(nt::pnp::AddRootDevice(device, &g_instance, &g_pdo), STATUS_SUCCESS);
    GUID guid;
    memcpy(&guid, kInterfaceClass, sizeof(guid));
    ASSERT_EQ(IoRegisterDeviceInterface(g_pdo, &guid, nullptr, &g_link), STATUS_SUCCESS);
}

void SetInterface(bool enabled) {
    EXPECT_EQ(IoSetDeviceInterfaceState(&g_link, enabled), STATUS_SUCCESS);
}

void UnplugDevice() {
    EXPECT_EQ(nt::pnp::RemoveRootDevice(g_instance), STATUS_SUCCESS);
    RtlFreeUnicodeString(&g_link);
    g_link = {};
    g_pdo = nullptr;
}

std::string InterfaceName() {
    std::string name = nt::text::Utf16ToAnsi(nt::text::View(&g_link));
    if (name.rfind("\\??\\", 0) == 0)
        name[1] = '\\';
    return name;
}

} // namespace devnotify_test
