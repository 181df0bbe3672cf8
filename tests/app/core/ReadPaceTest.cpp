// The capture thread's pace: within a round of reads, blocks the writers began before the round began are read
// one after the other at once; a block begun since shows that the reader has caught up with the writers, and
// the next round comes once they have filled about two blocks at the rate the last reads show, never later
// than a quiet log's pause; an empty log is read again after a short wait that doubles while it stays empty.
#include "app/core/capture/ReadPace.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr LONGLONG kMs = CReadPace::CountsPerMillisecond;
constexpr DWORD kFull = LOG_BLOCK_DATA_SIZE;
constexpr DWORD kTenth = LOG_BLOCK_DATA_SIZE / 10;

struct Read {
    DWORD bytes;
    LONGLONG after; // counts from the previous read's return to this read (which takes no time)
    LONGLONG begun; // when the block's first record was written, in counts from this read (negative: before)
    LONGLONG wait;  // counts before the next read
};

struct Case {
    const char* what;
    DWORD pause; // the loop's own, in milliseconds: 0 in background logging
    std::vector<Read> reads;
};

TEST(ReadPace, ReadsRoundsOfWholeBlocksAndWaitsOnceCaughtUp) {
    const Case cases[] = {
        {"a backlog: blocks begun before the round, short or full, follow each other at once",
         0,
         {{kFull, 0, -10 * kMs, 0}, {kTenth, kMs / 10, -5 * kMs, 0}, {kFull, kMs, -2 * kMs, 0}}},
        {"three blocks in 0.2 ms, the third begun within the round: two blocks take 0.13 ms",
         0,
         {{kFull, 0, -10 * kMs, 0}, {kFull, kMs / 10, -kMs / 10 - kMs / 20, 0}, {kFull, kMs / 10, -kMs / 20, 1333}}},
        {"the next round begins at its first read: a block begun during the wait is read at once",
         0,
         {{kFull, 0, -10 * kMs, 0},
          {kFull, kMs / 10, -kMs / 10 - kMs / 20, 0},
          {kFull, kMs / 10, -kMs / 20, 1333},
          {kFull, 1333, -kMs / 10, 0},
          {kTenth, kMs / 20, -kMs / 40, 1870}}},
        {"an empty log from the start: 1 ms, then 2 at most",
         0,
         {{0, 0, 0, kMs}, {0, kMs, 0, 2 * kMs}, {0, 2 * kMs, 0, 2 * kMs}}},
        {"a tenth of a block every 2 ms: a block in 20 ms, so the waits are the quiet ones",
         0,
         {{kTenth, 0, -kMs, 0},
          {0, 0, 0, kMs},
          {kTenth, kMs, -kMs / 2, 0},
          {0, 0, 0, 2 * kMs},
          {kTenth, 2 * kMs, kMs / 100, 2 * kMs},
          {0, 2 * kMs, 0, 2 * kMs}}},
        {"a busy log after a quiet spell: back to a block's time once empty",
         0,
         {{0, 0, 0, kMs},
          {0, kMs, 0, 2 * kMs},
          {kFull, 2 * kMs, -kMs, 0},
          {kFull, kMs / 10, -kMs, 0},
          {kFull, kMs / 10, -kMs, 0},
          {kFull, kMs / 10, -kMs, 0},
          {0, kMs / 10, 0, 8500}}},
        {"a busy stretch long past: its rate has faded, the quiet waits hold",
         0,
         {{kFull, 0, -kMs, 0},
          {0, kMs / 10, 0, kMs / 10},
          {0, 10'000 * kMs, 0, kMs},
          {0, 2'000'000 * kMs, 0, 2 * kMs},
          {kTenth, 2 * kMs, kMs / 100, 2 * kMs}}},
        {"foreground: a backlog at once, an empty log every 250 ms, a caught-up read at most 250 ms",
         250,
         {{kFull, 0, -1000 * kMs, 0},
          {kTenth, 0, -500 * kMs, 0},
          {0, 0, 0, 250 * kMs},
          {kFull, 250 * kMs, -100 * kMs, 0},
          {kTenth, kMs, kMs / 100 - kMs, 845'152},
          {kTenth, 845'152, kMs / 100, 250 * kMs}}},
    };
    for (const Case& c : cases) {
        CReadPace pace(c.pause);
        LONGLONG now = 100'000 * kMs;
        for (size_t i = 0; i < c.reads.size(); ++i) {
            const Read& read = c.reads[i];
            now += read.after;
            EXPECT_NEAR(static_cast<double>(pace.Next(read.bytes, now + read.begun, now, now)),
                        static_cast<double>(read.wait), 2)
                << c.what << ", read " << i;
        }
    }
}

} // namespace
