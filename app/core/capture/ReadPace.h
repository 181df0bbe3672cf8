// CReadPace: when the capture thread reads the driver's capture log next, from what its last reads brought.
//
// The driver hands over one block per read, oldest first, and gives the reader its newest block even while
// the writers are still filling it (they then start a fresh one). A reader that reads again as soon as a read
// brought anything takes a nearly empty block each time: the writers pay for a new block every few records,
// and they and the reader pull the same cache lines to and fro. The size of a block does not tell a drained
// log: a short block may as well be an older one that a large record after it left short. The time stamp of
// its first record does: a block the writers began after this round of reads began holds records written
// since, so the reader has caught up with them. So:
// - a read whose block was begun before the round began: the next one at once (older blocks may wait);
// - a read that caught up: a wait for the writers to fill about BlocksPerRound blocks at the rate the last
//   few milliseconds of reads show, no longer than a quiet log's pause (in background logging, which has no
//   pause of its own) or the loop's own pause (outside it). A busy log is so read a few whole blocks at a
//   time, and a quiet log's records reach the document at most a quiet pause late;
// - a read that brought nothing: outside background logging, the loop's own pause; in it, a wait for the
//   writers to fill one block, no longer than a short wait that doubles while the log stays empty, up to
//   the quiet log's pause.
// The wait is over a few of the driver's 31 blocks at most, so that a burst faster than the rate still finds
// room. Waits are in performance-counter counts (QueryPerformanceCounter, 10 MHz, the clock the driver
// stamps its records with); the capture thread waits whole milliseconds on its stop event and spins through a
// wait shorter than one. A busy log is not slept through a millisecond at a time, even where its rate says that
// a millisecond fills well under its 31 blocks: copying files, the writers fill those blocks in 2 to 4 ms, in
// bursts faster than the rate shows, and a thread that wakes late from a sleep (or that yields its processor
// to whatever else is ready) finds the log overflowed far more often than one that keeps its processor.
#pragma once

#include "windef.h"

#include "common/LogBlock.h"

class CReadPace {
public:
    static constexpr LONGLONG CountsPerMillisecond = 10'000;
    // The wait after the first empty read in background logging, and the longest one there (milliseconds). A
    // burst after a quiet spell must not fill the driver's 31 blocks (about 2 MB) before the next read: at
    // the highest rates the machine's storage reaches, that takes a few milliseconds.
    static constexpr DWORD FirstIdleWait = 1;
    static constexpr DWORD QuietWait = 2;
    // The span of reads the rate is taken over (counts).
    static constexpr LONGLONG RateSpan = 5 * CountsPerMillisecond;
    // Blocks the writers fill between two rounds of reads of a busy log.
    static constexpr int BlocksPerRound = 2;

    // dwPause: the loop's own pause in milliseconds (250), or 0 in background logging.
    explicit CReadPace(DWORD dwPause) : m_dwPause(dwPause) {}

    // The counts to wait before the next read (0: at once), after a read that began at llStart and came back
    // at llNow with dwBytes; llFirstRecord is the time stamp of the first record they hold (unused without
    // bytes).
    LONGLONG Next(DWORD dwBytes, LONGLONG llFirstRecord, LONGLONG llStart, LONGLONG llNow);

private:
    // The counts the writers take to fill nBlocks blocks at the rate of the last reads, at most llLongest (a
    // rate not known yet, or faded almost to nothing, gives llLongest).
    LONGLONG FillTime(int nBlocks, LONGLONG llLongest) const;

    DWORD m_dwPause;
    DWORD m_dwIdleWait = FirstIdleWait;
    LONGLONG m_llLastRead = 0;   // when the previous read came back; 0 before the first
    LONGLONG m_llRoundStart = 0; // when the first read of this round of reads began
    bool m_bRoundOver = true;    // the next read begins a new round
    // Bytes read and time they took, over about the last RateSpan.
    double m_dBytes = 0;
    double m_dCounts = 0;
};
