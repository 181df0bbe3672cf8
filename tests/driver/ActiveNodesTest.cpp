// ActiveNodes: where a device object's capture state is kept for a boot-time capture, and CLR_REGNODES.
#include <string>

#include "common/ControlCodes.h"
#include "driver/nodes/ActiveNodes.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

const std::u16string kUsbClassKey = std::u16string(kActiveNodesKey) + u"\\{36FC9E60-C465-11CF-8056-444553540000}";
const std::u16string kInstanceKey = kUsbClassKey + u"\\0005";

class ActiveNodes : public LoadedDriver {
protected:
    ACTIVE_NODE_PATH Node(USHORT position) const {
        return ACTIVE_NODE_PATH{&kUsbSetupClass, "{36FC9E60-C465-11CF-8056-444553540000}\\0005", position};
    }
    IoctlResult Clear() { return Ioctl(IOCTL_TINDALOFT_CLR_REGNODES, nullptr, 0, nullptr, 0); }
};

TEST_F(ActiveNodes, ValueLivesUnderTheStacksDriverKeyNamedByPosition) {
    const ACTIVE_NODE_PATH node = Node(3);
    ASSERT_TRUE(WriteActiveNode(&node, 8));
    EXPECT_EQ(RegistryDword(kInstanceKey, u"<03>"), 8u);
    ULONG value = 0;
    ASSERT_TRUE(ReadActiveNode(&node, &value));
    EXPECT_EQ(value, 8u);

    DeleteActiveNode(&node);
    EXPECT_FALSE(RegistryDword(kInstanceKey, u"<03>").has_value());
    EXPECT_FALSE(ReadActiveNode(&node, &value));
}

TEST_F(ActiveNodes, ValueNamesHaveAtLeastTwoDigits) {
    const USHORT positions[] = {0, 12, 100, 65535};
    const char16_t* names[] = {u"<00>", u"<12>", u"<100>", u"<65535>"};
    for (size_t i = 0; i < std::size(positions); ++i) {
        const ACTIVE_NODE_PATH node = Node(positions[i]);
        ASSERT_TRUE(WriteActiveNode(&node, 0));
        EXPECT_EQ(RegistryDword(kInstanceKey, names[i]), 0u) << positions[i];
    }
}

TEST_F(ActiveNodes, StackWithoutClassOrDriverKeyKeepsNothing) {
    const GUID zero{};
    const ACTIVE_NODE_PATH noClass{&zero, "{36FC9E60-C465-11CF-8056-444553540000}\\0005", 0};
    const ACTIVE_NODE_PATH nullClass{nullptr, "{36FC9E60-C465-11CF-8056-444553540000}\\0005", 0};
    const ACTIVE_NODE_PATH noKey{&kUsbSetupClass, nullptr, 0};
    const ACTIVE_NODE_PATH emptyKey{&kUsbSetupClass, "", 0};
    for (const ACTIVE_NODE_PATH* node : {&noClass, &nullClass, &noKey, &emptyKey}) {
        EXPECT_FALSE(WriteActiveNode(node, 8));
        ULONG value = 0;
        EXPECT_FALSE(ReadActiveNode(node, &value));
    }
    EXPECT_FALSE(RegistryKeyExists(kActiveNodesKey));
}

TEST_F(ActiveNodes, ValueOfAnotherTypeCountsAsMissing) {
    RegistrySetString(kInstanceKey, u"<00>", u"8");
    const ACTIVE_NODE_PATH node = Node(0);
    ULONG value = 0;
    EXPECT_FALSE(ReadActiveNode(&node, &value));
    DeleteActiveNode(&node); // cannot be read, so it stays
    EXPECT_EQ(RegistryValueCount(kInstanceKey), 1u);
}

TEST_F(ActiveNodes, ClearLeavesOnlyEmptyClassKeys) {
    const ACTIVE_NODE_PATH first = Node(0);
    const ACTIVE_NODE_PATH second{&kUsbSetupClass, "{36FC9E60-C465-11CF-8056-444553540000}\\0012", 1};
    const GUID hidClass = {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};
    const ACTIVE_NODE_PATH third{&hidClass, "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\\0000", 2};
    ASSERT_TRUE(WriteActiveNode(&first, 8));
    ASSERT_TRUE(WriteActiveNode(&second, 0));
    ASSERT_TRUE(WriteActiveNode(&third, 8));

    const IoctlResult result = Clear();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(RegistrySubkeys(kActiveNodesKey),
              (std::vector<std::u16string>{u"{36FC9E60-C465-11CF-8056-444553540000}",
                                           u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}"}));
    EXPECT_TRUE(RegistrySubkeys(kUsbClassKey).empty());
    ULONG value = 0;
    EXPECT_FALSE(ReadActiveNode(&first, &value));
}

TEST_F(ActiveNodes, ClearCreatesAMissingActiveNodesKey) {
    ASSERT_FALSE(RegistryKeyExists(kActiveNodesKey));
    EXPECT_TRUE(Clear().ok);
    EXPECT_TRUE(RegistryKeyExists(kActiveNodesKey));
}

// A key that cannot be deleted (it has a key below it) ends the clear with its status instead of being
// found first again for ever.
TEST_F(ActiveNodes, ClearStopsAtAKeyItCannotDelete) {
    RegistryCreatePath(kInstanceKey + u"\\Stray");
    RegistryCreatePath(kUsbClassKey + u"\\0009");
    const IoctlResult result = Clear();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, ErrorOf(STATUS_CANNOT_DELETE));
    EXPECT_TRUE(RegistryKeyExists(kInstanceKey));
    EXPECT_TRUE(RegistryKeyExists(kUsbClassKey + u"\\0009")); // after the one that failed
}

} // namespace
} // namespace drivertest
