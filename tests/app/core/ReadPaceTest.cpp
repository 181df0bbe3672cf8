// The capture thread's pace: full blocks are read back to back, part of a block waits for the writers to
// fill another at the rate they went, an empty log waits longer and longer up to a quiet log's pause.
#include "app/core/ReadPace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr LONGLONG kMs = 10'000; // performance-counter counts per millisecond

struct Read {
    DWORD bytes;
    LONGLONG after; // counts since the previous read came back
    DWORD wait;     // milliseconds before the next read
};

struct Case {
    const char* what;
    DWORD pause; // the loop's own: 0 in background logging
    std::vector<Read> reads;
};

TEST(ReadPace, WaitsForFullBlocksAsLongAsTheRateSaysAndNoLongerThanThePause) {
    const DWORD full = LOG_BLOCK_DATA_SIZE;
    const DWORD tenth = LOG_BLOCK_DATA_SIZE / 10;
    const Case cases[] = {
        {"full blocks follow each other at once",
         0,
         {{full, 0, 0}, {full, kMs / 10, 0}, {CReadPace::FullBlock, kMs, 0}}},
        {"a tenth of a block in 2 ms: the rest of the block in 20 ms, but a quiet log waits 10 at most",
         0,
         {{full, 0, 0}, {tenth, 2 * kMs, CReadPace::QuietWait}}},
        {"a tenth of a block in 0.5 ms: 5 ms",
         0,
         {{full, 0, 0}, {tenth, kMs / 2, 5}}},
        {"a tenth in 10 microseconds: under a millisecond is one",
         0,
         {{full, 0, 0}, {tenth, kMs / 100, 1}}},
        {"no time passed between two reads: at once",
         0,
         {{tenth, 0, 0}, {tenth, 0, 0}}},
        {"an empty log: 1, 2, 4, 8, then 10 ms, and records start it over",
         0,
         {{0, 0, 1}, {0, kMs, 2}, {0, 2 * kMs, 4}, {0, 4 * kMs, 8}, {0, 8 * kMs, 10}, {0, 10 * kMs, 10},
          {full, 10 * kMs, 0}, {0, 0, 1}}},
        {"foreground: full blocks at once, an empty log every 250 ms",
         250,
         {{full, 0, 0}, {0, 0, 250}, {0, 250 * kMs, 250}, {full, 250 * kMs, 0}}},
        {"foreground: part of a block waits by the rate, up to 250 ms",
         250,
         {{full, 0, 0}, {tenth, 2 * kMs, 20}, {tenth, 50 * kMs, 250}}},
    };
    for (const Case& c : cases) {
        CReadPace pace(c.pause);
        LONGLONG now = 1000 * kMs;
        for (size_t i = 0; i < c.reads.size(); ++i) {
            now += c.reads[i].after;
            EXPECT_EQ(pace.Next(c.reads[i].bytes, now), c.reads[i].wait) << c.what << ", read " << i;
        }
    }
}

} // namespace
