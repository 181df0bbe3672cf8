// The capture thread's pace: full blocks are read back to back; part of a block waits for the writers to fill
// another at the rate the last reads show, no longer than a quiet log's pause; an empty log waits longer and
// longer up to that pause.
#include "app/core/ReadPace.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr LONGLONG kMs = CReadPace::CountsPerMillisecond;
constexpr DWORD kFull = LOG_BLOCK_DATA_SIZE;
constexpr DWORD kTenth = LOG_BLOCK_DATA_SIZE / 10;

struct Read {
    DWORD bytes;
    LONGLONG after; // counts since the previous read came back
    LONGLONG wait;  // counts before the next read
};

struct Case {
    const char* what;
    DWORD pause; // the loop's own, in milliseconds: 0 in background logging
    std::vector<Read> reads;
};

TEST(ReadPace, WaitsForFullBlocksAsLongAsTheRateSaysAndNoLongerThanThePause) {
    const Case cases[] = {
        {"full blocks follow each other at once", 0, {{kFull, 0, 0}, {kFull, kMs / 10, 0}, {CReadPace::FullBlock, kMs, 0}}},
        {"a tenth of a block every 2 ms: a block in 20 ms, but a quiet log waits 10 at most",
         0,
         {{kTenth, 0, 0}, {kTenth, 2 * kMs, 10 * kMs}, {kTenth, 2 * kMs, 10 * kMs}}},
        {"two blocks and a tenth in 0.3 ms: the next block in 0.14 ms",
         0,
         {{kFull, 0, 0}, {kFull, 2 * kMs / 10, 0}, {kTenth, kMs / 10, 1428}}},
        {"no time passed between two reads: at once", 0, {{kTenth, 0, 0}, {kTenth, 0, 0}}},
        {"an empty log: 1, 2, 4, 8, then 10 ms, and records start it over",
         0,
         {{0, 0, kMs}, {0, kMs, 2 * kMs}, {0, 2 * kMs, 4 * kMs}, {0, 4 * kMs, 8 * kMs}, {0, 8 * kMs, 10 * kMs},
          {0, 10 * kMs, 10 * kMs}, {kFull, 10 * kMs, 0}, {0, 0, kMs}}},
        {"foreground: full blocks at once, an empty log every 250 ms",
         250,
         {{kFull, 0, 0}, {0, 0, 250 * kMs}, {0, 250 * kMs, 250 * kMs}, {kFull, 250 * kMs, 0}}},
        {"foreground: a trickle of a tenth of a block in 5 ms: a block in 25 ms, then slower: 250 at most",
         250,
         {{kTenth, 0, 0}, {kTenth, 5 * kMs, 250034}, {kTenth, 100 * kMs, 250 * kMs}}},
    };
    for (const Case& c : cases) {
        CReadPace pace(c.pause);
        LONGLONG now = 1000 * kMs;
        for (size_t i = 0; i < c.reads.size(); ++i) {
            now += c.reads[i].after;
            EXPECT_NEAR(static_cast<double>(pace.Next(c.reads[i].bytes, now)), static_cast<double>(c.reads[i].wait), 2)
                << c.what << ", read " << i;
        }
    }
}

} // namespace
