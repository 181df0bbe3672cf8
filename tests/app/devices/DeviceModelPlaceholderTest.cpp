// The device model's first pieces: the system keeps its name through an archive; the empty collections
// answer their queries and store an empty count; the attached devices hand out the list they were given.
#include <gtest/gtest.h>

#include <vector>

#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/StackTree.h"
#include "app/devices/System.h"
#include "app/devices/SystemHostControllers.h"
#include "tests/app/core/ArchiveBytes.h"

namespace {

TEST(DeviceModelPlaceholders, SystemNameRoundTripsAndEmptyCollectionsStoreACountOfZero) {
    CSystem system("BENCH-PC");
    CSystem loaded;
    EXPECT_EQ(apptest::Load(loaded, apptest::Store(system)), 0);
    EXPECT_EQ(loaded.GetName(), CString("BENCH-PC"));

    CAttachedDevices devices;
    CSystemHostControllers controllers;
    CStackTree stacks("\\\\.\\Tindaloft");
    CAttachedDrivers drivers("\\\\.\\Tindaloft");
    EXPECT_TRUE(controllers.EnumerateUsbTree(nullptr));
    EXPECT_TRUE(stacks.QueryDriverStacks(&devices));
    EXPECT_TRUE(drivers.QueryDriversAndDevices(&devices));
    const std::vector<BYTE> zero(4, 0);
    for (CObject* object : std::vector<CObject*>{&devices, &controllers, &stacks, &drivers})
        EXPECT_EQ(apptest::Store(*object), zero);
}

TEST(DeviceModelPlaceholders, AttachedDevicesHandOutTheEndEntryOrTheListSet) {
    CAttachedDevices devices;
    BYTE* list = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, false));
    ASSERT_EQ(size, 112u);
    EXPECT_EQ(list[0] | list[1] << 8, 0); // kind: end
    EXPECT_EQ(list[2] | list[3] << 8, 4); // length of the end entry

    devices.SetLogDevobjsList({1, 2, 3});
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, false));
    EXPECT_EQ(std::vector<BYTE>(list, list + size), (std::vector<BYTE>{1, 2, 3}));
    devices.SetLogDevobjsList({}, CAttachedDevices::ListOutcome::Refused);
    EXPECT_FALSE(devices.CreateLogDevobjsList(list, size, false));
    EXPECT_EQ(list, nullptr);
}

} // namespace
