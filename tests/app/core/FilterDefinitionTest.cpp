#include "app/core/filters/FilterDefinition.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "common/RecordTags.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::BuildRecord;
using tdl::test::RecordBuilder;
using tdl::test::UrbTransferPart1;

// The registry image is the definition serialized through a memory archive.
using apptest::Load;
using apptest::Store;

FILTER_BLOCK Default() {
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    return block;
}

bool SameBlock(const FILTER_BLOCK& a, const FILTER_BLOCK& b) {
    return std::memcmp(a.Bytes, b.Bytes, sizeof a.Bytes) == 0;
}

TEST(FilterDefinition, DefaultsAndTheDefaultBlockMatchesNothing) {
    CFilterDefinition current;
    EXPECT_EQ(current.GetSchema(), 12u);
    EXPECT_TRUE(SameBlock(current.GetBlock(), Default()));
    CFilterDefinition loaded(9);
    EXPECT_EQ(loaded.GetSchema(), 9u);
    EXPECT_TRUE(SameBlock(loaded.GetBlock(), Default()));
    EXPECT_STREQ(RUNTIME_CLASS(CFilterDefinition)->m_lpszClassName, "CFilterDefinition");

    for (ULONG tag : {LogTag::urbI, LogTag::urbC, LogTag::iCnt, LogTag::cCnt, LogTag::hubI, LogTag::hidC, LogTag::uinR,
                      LogTag::pnpI, LogTag::powC, LogTag::buhI, LogTag::khpC, LogTag::atsL}) {
        for (ULONG status : {0u, 0x80000005u, 0xC0000001u}) {
            const auto record = BuildRecord(tag, 0, status);
            EXPECT_FALSE(current.Match(reinterpret_cast<const _LOGHDR*>(record.data()), 12));
        }
    }
}

TEST(FilterDefinition, MatchFormsAgree) {
    CFilterDefinition definition;
    for (size_t b : {3, 13, 294, 295})
        definition.Enable(b);
    const auto record = RecordBuilder(LogTag::urbC).Function(9).Part1(UrbTransferPart1(9, 0, 0x81, 0)).Build();
    EXPECT_TRUE(definition.Match(reinterpret_cast<const _LOGHDR*>(record.data()), 12));
    EXPECT_TRUE(definition.Match(record.data(), record.size(), 12));
    // Cut before the pipe block, the record no longer says its direction.
    EXPECT_FALSE(definition.Match(record.data(), 64 + 17, 12));
    EXPECT_FALSE(definition.Match(static_cast<const _LOGHDR*>(nullptr), 12));
    definition.Clear();
    EXPECT_FALSE(definition.Match(record.data(), record.size(), 12));
}

TEST(FilterDefinition, Schema12StoresTheBlockAndRoundTrips) {
    CFilterDefinition definition;
    for (size_t b : {2, 4, 56, 57, 60, 98, 180, 205, 244, 281, 286, 292, 293, 296})
        definition.Enable(b);
    const std::vector<BYTE> image = Store(definition);
    ASSERT_EQ(image.size(), 297u);
    EXPECT_EQ(std::memcmp(image.data(), definition.GetBlock().Bytes, 297), 0);

    CFilterDefinition loaded(12);
    EXPECT_EQ(Load(loaded, image), 0);
    EXPECT_TRUE(SameBlock(loaded.GetBlock(), definition.GetBlock()));
}

TEST(FilterDefinition, FlagsAboveOneLoadAsOnAndStoreAsOne) {
    CFilterDefinition definition;
    definition.GetBlock().Bytes[2] = 7;
    definition.GetBlock().Bytes[296] = 0xFF;
    const std::vector<BYTE> image = Store(definition);
    EXPECT_EQ(image[2], 1);
    EXPECT_EQ(image[296], 1);

    std::vector<BYTE> stored(297, 0);
    stored[0] = stored[1] = 2;
    stored[3] = 0x80;
    stored[100] = 2;
    CFilterDefinition loaded;
    ASSERT_EQ(Load(loaded, stored), 0);
    EXPECT_EQ(loaded.GetBlock().Bytes[3], 1);
    EXPECT_EQ(loaded.GetBlock().Bytes[100], 1);
}

// Older layouts: a stream of all-on flags of the schema's length loads whole, and the bytes that layout
// does not carry (the tail of a shorter group) stay off.
TEST(FilterDefinition, OlderSchemasReadTheirGroupSizes) {
    const struct {
        UINT schema;
        size_t length;
        std::initializer_list<size_t> off; // bytes the layout does not carry
    } rows[] = {
        {7, 269, {94,  95,  96,  97,  98,  168, 169, 170, 171, 172, 173, 174, 175, 176,
                  177, 178, 179, 180, 193, 199, 200, 201, 202, 203, 204, 205, 243, 244}},
        {8, 290, {94, 95, 96, 97, 98, 179, 180}},
        {9, 290, {94, 95, 96, 97, 98, 179, 180}},
        {10, 297, {}},
        {11, 297, {}},
    };
    for (const auto& r : rows) {
        std::vector<BYTE> stored(r.length, 1);
        stored[0] = stored[1] = 2;
        CFilterDefinition loaded(r.schema);
        ASSERT_EQ(Load(loaded, stored), 0) << "schema " << r.schema;
        FILTER_BLOCK expected;
        std::memset(expected.Bytes, 1, sizeof expected.Bytes);
        expected.Bytes[0] = expected.Bytes[1] = 2;
        for (size_t b : r.off)
            expected.Bytes[b] = 0;
        for (size_t i = 0; i < FILTER_BLOCK_SIZE; ++i)
            EXPECT_EQ(loaded.GetBlock().Bytes[i], expected.Bytes[i]) << "schema " << r.schema << " byte " << i;

        // One byte short: the load fails and the definition keeps its block.
        CFilterDefinition shortLoad(r.schema);
        stored.pop_back();
        EXPECT_EQ(Load(shortLoad, stored, CArchiveException::endOfFile), -1) << "schema " << r.schema;
        EXPECT_TRUE(SameBlock(shortLoad.GetBlock(), Default()));
    }
}

TEST(FilterDefinition, SchemasBelowSevenAreRefused) {
    CFilterDefinition loaded(6);
    EXPECT_EQ(Load(loaded, std::vector<BYTE>(297, 1), CArchiveException::badSchema), -1);
    EXPECT_TRUE(SameBlock(loaded.GetBlock(), Default()));
}

TEST(FilterDefinition, StoresAndLoadsAsAnObject) {
    CFilterDefinition definition;
    definition.Enable(FilterByte::PnpRequest);
    CMemFile file(16);
    {
        CArchive ar(&file, CArchive::store);
        ar << static_cast<const CObject*>(&definition);
        ar.Close();
    }
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    CFilterDefinition* loaded = nullptr;
    ar >> loaded;
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(SameBlock(loaded->GetBlock(), definition.GetBlock()));
    delete loaded;
}

} // namespace
