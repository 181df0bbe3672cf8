// DRVOBJ_NODES through the control device: the size query, the list, and a buffer short of the list.
#include <algorithm>
#include <vector>

#include "common/ControlCodes.h"
#include "tests/driver/HookTestFixture.h"

namespace drivertest {
namespace {

using ControlDriverNodes = HookTest;

TEST_F(ControlDriverNodes, EmptyListIsItsEndEntry) {
    ULONG size = 0;
    const IoctlResult query = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, &size, sizeof size);
    ASSERT_TRUE(query.ok);
    EXPECT_EQ(size, 4u);
    std::vector<uint8_t> bytes(64, 0xEE);
    const IoctlResult list = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, bytes.data(), 64);
    ASSERT_TRUE(list.ok);
    EXPECT_EQ(list.bytes, 4u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), std::vector<uint8_t>(4, 0));
}

TEST_F(ControlDriverNodes, SizeQueryListAndShortBuffer) {
    BuiltStack hub = RoutineRootHub();
    AddDevice(hub.pdo);
    const ULONG expected = 4 + 2 * sizeof(DRIVER_NODE) + 2 * sizeof(DEVICE_NODE);

    ULONG size = 0;
    const IoctlResult query = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, &size, sizeof size);
    ASSERT_TRUE(query.ok);
    EXPECT_EQ(query.bytes, 4u);
    EXPECT_EQ(size, expected);

    for (ULONG shortLength : {5u, expected - 1}) {
        std::vector<uint8_t> bytes(shortLength);
        const IoctlResult tooShort = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, bytes.data(), shortLength);
        EXPECT_FALSE(tooShort.ok);
        EXPECT_EQ(tooShort.error, ErrorOf(STATUS_BUFFER_TOO_SMALL));
        EXPECT_EQ(tooShort.bytes, 0u);
    }

    std::vector<uint8_t> bytes(expected + 100, 0xEE);
    const IoctlResult list = Ioctl(IOCTL_TINDALOFT_DRVOBJ_NODES, nullptr, 0, bytes.data(), expected + 100);
    ASSERT_TRUE(list.ok);
    ASSERT_EQ(list.bytes, expected);
    bytes.resize(expected);
    const DriverNodeList parsed = ParseDriverNodes(bytes);
    EXPECT_TRUE(parsed.wellFormed);
    ASSERT_EQ(parsed.drivers.size(), 2u);
    for (PDEVICE_OBJECT device : {hub.pdo, hub.Top()}) {
        const auto listed = std::find_if(parsed.drivers.begin(), parsed.drivers.end(), [&](const ListedDriver& d) {
            return d.driver.DriverObject == reinterpret_cast<ULONG_PTR>(device->DriverObject);
        });
        ASSERT_NE(listed, parsed.drivers.end());
        ASSERT_EQ(listed->devices.size(), 1u);
        EXPECT_EQ(+listed->devices[0].DeviceObject, reinterpret_cast<ULONG_PTR>(device));
    }
}

} // namespace
} // namespace drivertest
