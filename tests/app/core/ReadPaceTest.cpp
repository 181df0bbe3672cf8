// The capture thread's pace: reads follow each other while they bring records; a drained log is read again
// once the writers have filled about a block at the rate the last reads show, never later than a short wait
// that doubles while the log stays empty, up to a quiet log's pause.
#include "app/core/capture/ReadPace.h"

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

TEST(ReadPace, ReadsWhileRecordsComeAndWaitsAboutABlockOnceDrained) {
    const Case cases[] = {
        {"blocks, short or full, follow each other at once",
         0,
         {{kFull, 0, 0}, {kTenth, kMs / 10, 0}, {kFull, kMs, 0}, {kTenth, kMs, 0}}},
        {"three blocks, then empty, in 0.4 ms: a block in 0.13 ms",
         0,
         {{kFull, 0, 0}, {kFull, kMs / 10, 0}, {kFull, kMs / 10, 0}, {0, 2 * kMs / 10, 1333}}},
        {"an empty log from the start: 1 ms, then 2 at most",
         0,
         {{0, 0, kMs}, {0, kMs, 2 * kMs}, {0, 2 * kMs, 2 * kMs}}},
        {"a tenth of a block every 2 ms: a block in 20 ms, so the waits grow to 2 ms",
         0,
         {{kTenth, 0, 0}, {0, 0, kMs}, {kTenth, kMs, 0}, {0, 0, 2 * kMs}, {kTenth, 2 * kMs, 0}, {0, 0, 2 * kMs}}},
        {"a busy log after a quiet spell: back to a block's time",
         0,
         {{0, 0, kMs},
          {0, kMs, 2 * kMs},
          {kFull, 2 * kMs, 0},
          {kFull, kMs / 10, 0},
          {kFull, kMs / 10, 0},
          {kFull, kMs / 10, 0},
          {0, kMs / 10, 8500}}},
        {"a busy stretch long past: its rate has faded, the quiet waits hold",
         0,
         {{kFull, 0, 0},
          {0, kMs / 10, kMs / 10},
          {0, 10'000 * kMs, kMs},
          {0, 2'000'000 * kMs, 2 * kMs},
          {0, 2 * kMs, 2 * kMs}}},
        {"foreground: records at once, an empty log every 250 ms",
         250,
         {{kFull, 0, 0}, {kTenth, 0, 0}, {0, 0, 250 * kMs}, {0, 250 * kMs, 250 * kMs}, {kFull, 250 * kMs, 0}}},
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
