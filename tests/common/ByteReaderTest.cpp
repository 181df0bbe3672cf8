#include "common/ByteReader.h"

#include <array>
#include <vector>

#include <gtest/gtest.h>

#include "common/DriverInfo.h"

namespace {

using tdl::ByteReader;
using tdl::ByteWriter;

TEST(ByteReader, ReadsLittleEndianAtAnyAlignment) {
    const uint8_t bytes[] = {0xAA, 0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD};
    ByteReader reader(bytes, sizeof bytes);
    uint8_t first = 0;
    uint32_t word = 0;
    uint16_t half = 0;
    ASSERT_TRUE(reader.Read(first));
    ASSERT_TRUE(reader.Read(word)); // starts at an odd address
    ASSERT_TRUE(reader.Read(half));
    EXPECT_EQ(word, 0x12345678u);
    EXPECT_EQ(half, 0xCDEFu);
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_FALSE(reader.Failed());
}

TEST(ByteReader, RefusesReadsPastTheEndAndKeepsItsPlace) {
    const uint8_t bytes[] = {1, 2, 3};
    ByteReader reader(bytes, sizeof bytes);
    uint32_t word = 0xDEADBEEF;
    EXPECT_FALSE(reader.Read(word));
    EXPECT_EQ(word, 0xDEADBEEFu); // untouched
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Position(), 0u);

    uint16_t half = 0;
    EXPECT_TRUE(reader.Read(half));
    std::span<const uint8_t> taken;
    EXPECT_FALSE(reader.Take(2, taken));
    EXPECT_TRUE(reader.Take(1, taken));
    EXPECT_EQ(taken[0], 3);
    EXPECT_FALSE(reader.Skip(1));
    EXPECT_FALSE(reader.Seek(4));
    EXPECT_TRUE(reader.Seek(3));
}

TEST(ByteReader, AbsoluteReadsAreBounded) {
    const uint8_t bytes[8] = {0, 0, 0, 0, 4, 3, 2, 1};
    ByteReader reader(bytes, sizeof bytes);
    uint32_t word = 0;
    EXPECT_TRUE(reader.ReadAt(4, word));
    EXPECT_EQ(word, 0x01020304u);
    EXPECT_FALSE(reader.ReadAt(5, word));
    EXPECT_FALSE(reader.ReadAt(SIZE_MAX - 1, word)); // no wrap of offset + size
    EXPECT_FALSE(tdl::LoadAt(bytes, 3, 0, word));
}

TEST(ByteWriter, RefusesWritesPastTheEnd) {
    std::array<uint8_t, 6> area{};
    ByteWriter writer(area.data(), area.size());
    EXPECT_TRUE(writer.Write<uint8_t>(0x11));
    EXPECT_TRUE(writer.Write<uint32_t>(0x44332211));
    EXPECT_FALSE(writer.Write<uint16_t>(0xFFFF));
    EXPECT_TRUE(writer.Failed());
    EXPECT_FALSE(writer.WriteAt<uint32_t>(3, 0xFFFFFFFF));
    EXPECT_FALSE(writer.Fill(0xEE, 2));
    EXPECT_TRUE(writer.Fill(0xEE, 1));
    EXPECT_EQ(area, (std::array<uint8_t, 6>{0x11, 0x11, 0x22, 0x33, 0x44, 0xEE}));
}

TEST(WireStruct, CopiesOnlyWholeStructures) {
    DRIVER_INFO info{};
    info.Build = 627;
    info.LogBlockSize = 66560;
    std::vector<uint8_t> buffer(19);
    ASSERT_TRUE(tdl::WriteStruct(std::span<uint8_t>(buffer), info));
    // The block size is an unaligned u32 at offset 6.
    EXPECT_EQ(buffer[6], 0x00);
    EXPECT_EQ(buffer[7], 0x04);
    EXPECT_EQ(buffer[8], 0x01);

    DRIVER_INFO back{};
    EXPECT_FALSE(tdl::ReadStruct(std::span<const uint8_t>(buffer).first(18), back));
    ASSERT_TRUE(tdl::ReadStruct(std::span<const uint8_t>(buffer), back));
    EXPECT_EQ(ULONG{back.LogBlockSize}, 66560u);
    EXPECT_EQ(USHORT{back.Build}, 627);
    EXPECT_FALSE(tdl::WriteStruct(std::span<uint8_t>(buffer).first(18), info));
}

} // namespace
