#include "setup/ArchiveSource.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(ArchiveSourceTest, ReadsWithinTheBlockAndRefusesMovesOutsideIt) {
    const std::string bytes = "0123456789";
    ArchiveSource source(bytes.data(), static_cast<uint32_t>(bytes.size()));
    char buffer[16] = {};

    // Whole elements are counted: 7 bytes left of 3-byte elements copy 7 bytes and count 2.
    EXPECT_EQ(source.Read(buffer, 1, 3), 3u);
    EXPECT_EQ(source.Read(buffer, 3, 4), 2u);
    EXPECT_EQ(std::string(buffer, 7), "3456789");
    EXPECT_EQ(source.Tell(), 10);
    buffer[0] = 'x';
    EXPECT_EQ(source.Read(buffer, 1, 4), 0u) << "nothing is copied at the end";
    EXPECT_EQ(buffer[0], 'x');

    struct Move {
        int64_t distance;
        int origin;
        long result;
        long position;
    };
    const Move moves[] = {
        {4, FILE_BEGIN, 0, 4},
        {-1, FILE_BEGIN, -1, 4},
        {11, FILE_BEGIN, -1, 4},
        {2, FILE_CURRENT, 0, 6},
        {-7, FILE_CURRENT, -1, 6},
        {0, FILE_END, 0, 10},
        {-10, FILE_END, 0, 0},
        {1, FILE_END, -1, 0},
        {3, 7, -1, 0} /* no such origin */,
        {int64_t{1} << 40, FILE_CURRENT, -1, 0},
        {INT64_MIN, FILE_END, -1, 0},
    };
    for (const Move& move : moves) {
        SCOPED_TRACE(testing::Message() << move.distance << " from " << move.origin);
        EXPECT_EQ(source.Seek(move.distance, move.origin), move.result);
        EXPECT_EQ(source.Tell(), move.position);
    }
    EXPECT_EQ(source.Read(buffer, SIZE_MAX, SIZE_MAX), 0u) << "no whole element fits";
    EXPECT_FALSE(source.Error());
}

} // namespace
