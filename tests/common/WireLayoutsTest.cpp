#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "common/NodeEntries.h"

namespace {

TEST(LoggingOptions, SizesLieAtTheirUnalignedOffsets) {
    LOGGING_OPTIONS options{};
    options.CaptureBulk = 1;
    options.BulkMaxSize = 0x11223344;
    options.CtrlMaxSize = 0x55667788;
    options.IsochMaxSize = 0x99AABBCC;
    options.CapturePower = 1;
    options.FilterPresent = 1;
    InitLoggingOptions(options.Filter);
    options.Filter.Bytes[296] = 1;

    uint8_t bytes[325];
    ASSERT_TRUE(tdl::WriteStruct(std::span<uint8_t>(bytes), options));
    EXPECT_EQ(tdl::LoadLe<uint32_t>(bytes + 3), 0x11223344u);
    EXPECT_EQ(tdl::LoadLe<uint32_t>(bytes + 8), 0x55667788u);
    EXPECT_EQ(tdl::LoadLe<uint32_t>(bytes + 13), 0x99AABBCCu);
    EXPECT_EQ(bytes[26], 1);
    EXPECT_EQ(bytes[27], 1);
    EXPECT_EQ(bytes[28], 0x02);
    EXPECT_EQ(bytes[29], 0x02);
    EXPECT_EQ(bytes[324], 1);
}

TEST(ControlCodes, BootflagWordRoundTrips) {
    const ULONG word = MakeBootflagWord(true, false, 0x1FF);
    EXPECT_EQ(word, 0x7FDu);
    EXPECT_EQ(BootflagMemlogFlags(word), 0x1FFu);
    EXPECT_EQ(MakeBootflagWord(false, true, 0x200), BOOTFLAG_ENABLE_MINIPORT_HOOK); // tenth bit dropped
}

TEST(NodeStrings, CopyTruncatesAndPads) {
    CHAR field[16];
    std::memset(field, 'x', sizeof field);
    CopyNodeString(field, "usbhub", 6);
    EXPECT_STREQ(field, "usbhub");
    EXPECT_EQ(field[15], '\0');

    CopyNodeString(field, "a-driver-name-longer-than-fifteen", 40);
    EXPECT_EQ(NodeStringLength(field, sizeof field), 15u);
    EXPECT_EQ(std::string(field), "a-driver-name-l");

    CopyNodeString(field, "stop\0hidden", 11); // stops at the source's NUL
    EXPECT_EQ(NodeStringLength(field, sizeof field), 4u);
    CopyNodeString(field, nullptr, 5);
    EXPECT_EQ(NodeStringLength(field, sizeof field), 0u);

    const CHAR full[4] = {'a', 'b', 'c', 'd'}; // no NUL within the width
    EXPECT_EQ(NodeStringLength(full, sizeof full), 4u);
}

std::vector<uint8_t> Entry(USHORT kind, USHORT length, size_t bodyBytes) {
    std::vector<uint8_t> bytes(4 + bodyBytes, 0xAB);
    tdl::StoreLe<USHORT>(bytes.data(), kind);
    tdl::StoreLe<USHORT>(bytes.data() + 2, length);
    return bytes;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(NodeListReader, WalksEntriesToTheEndEntry) {
    DEVSTK_NODE stack{};
    stack.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
    stack.StackID = 7;
    DEVICE_NODE device{};
    device.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
    device.StackID = 7;
    std::vector<uint8_t> list(DEVSTK_NODE_SIZE + DEVICE_NODE_SIZE + NODE_END_SIZE);
    std::memcpy(list.data(), &stack, sizeof stack);
    std::memcpy(list.data() + DEVSTK_NODE_SIZE, &device, sizeof device);

    NodeListReader reader(list);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    ASSERT_TRUE(reader.Next(kind, entry));
    EXPECT_EQ(kind, NODE_KIND_DEVSTK);
    DEVSTK_NODE readBack{};
    ASSERT_TRUE(tdl::ReadStruct(entry, readBack));
    EXPECT_EQ(USHORT{readBack.StackID}, 7);
    ASSERT_TRUE(reader.Next(kind, entry));
    EXPECT_EQ(kind, NODE_KIND_DEVICE);
    EXPECT_EQ(entry.size(), DEVICE_NODE_SIZE);
    EXPECT_FALSE(reader.Next(kind, entry));
    EXPECT_TRUE(reader.Ended());
    EXPECT_FALSE(reader.Error());
    EXPECT_EQ(reader.Offset(), list.size());
}

TEST(NodeListReader, StopsAtMalformedLists) {
    const struct {
        const char* what;
        std::vector<uint8_t> list;
        int goodEntries;
    } cases[] = {
        {"length below the header", Join({Entry(2, 3, 0), Entry(0, 0, 0)}), 0},
        {"length past the end", Join({Entry(1, 48, 10)}), 0},
        {"no end entry", Join({Entry(1, 8, 4)}), 1},
        {"end entry cut short", Join({Entry(1, 8, 4), {0, 0}}), 1},
        {"empty buffer", {}, 0},
    };
    for (const auto& c : cases) {
        NodeListReader reader(c.list);
        USHORT kind;
        std::span<const uint8_t> entry;
        int n = 0;
        while (reader.Next(kind, entry))
            ++n;
        EXPECT_EQ(n, c.goodEntries) << c.what;
        EXPECT_TRUE(reader.Error()) << c.what;
        EXPECT_FALSE(reader.Ended()) << c.what;
    }
}

} // namespace
