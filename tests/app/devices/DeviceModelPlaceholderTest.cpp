// The device model's first pieces: the system keeps its name through an archive; the empty collections
// answer their queries and store an empty count; attached devices with nothing loggable hand out the end
// entry alone.
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
    const std::vector<BYTE> zero(4, 0);
    for (CObject* object : std::vector<CObject*>{&devices, &controllers, &stacks, &drivers})
        EXPECT_EQ(apptest::Store(*object), zero);
}

TEST(DeviceModelPlaceholders, AttachedDevicesWithNothingLoggableHandOutTheEndEntryAlone) {
    CAttachedDevices devices;
    BYTE* list = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(devices.CreateLogDevobjsList(list, size, false));
    ASSERT_EQ(size, 112u);
    EXPECT_EQ(list[0] | list[1] << 8, 0); // kind: end
    EXPECT_EQ(list[2] | list[3] << 8, 4); // length of the end entry
}

} // namespace
