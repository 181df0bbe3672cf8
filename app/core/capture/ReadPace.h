// CReadPace: when the capture thread reads the driver's capture log next, from what its last reads brought.
//
// The driver hands over one block per read, oldest first, and gives the reader its newest block even while
// the writers are still filling it (they then start a fresh one). Only an empty read shows that the log is
// drained: a short block may as well be an older one that a large record after it left short. So:
// - a read that brought records: the next one at once;
// - a read that brought nothing: a wait for the writers to fill a block at the rate the last few
//   milliseconds of reads show, no longer than a short wait that doubles while the log stays empty, up to
//   the pause of a quiet log (in background logging, which has no pause of its own) or the loop's own pause
//   (outside it). A busy log is so read block by block with about one block filling between two drains,
//   rather than taken from the writers a few records at a time, and a quiet log's records reach the document
//   at most a quiet pause late.
// Waits are in performance-counter counts (QueryPerformanceCounter, 10 MHz); the capture thread waits whole
// milliseconds on its stop event and spins through a wait shorter than one. A busy log is not slept through a
// millisecond at a time, even where its rate says that a millisecond fills well under its 31 blocks: copying
// files, the writers fill those blocks in 2 to 4 ms, in bursts faster than the rate shows, and a thread
// that wakes late from a sleep (or that yields its processor to whatever else is ready) finds the log
// overflowed far more often than one that keeps its processor.
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

    // dwPause: the loop's own pause in milliseconds (250), or 0 in background logging.
    explicit CReadPace(DWORD dwPause) : m_dwPause(dwPause) {}

    // The counts to wait before the next read (0: at once), after a read at llNow that brought dwBytes.
    LONGLONG Next(DWORD dwBytes, LONGLONG llNow);

private:
    DWORD m_dwPause;
    DWORD m_dwIdleWait = FirstIdleWait;
    LONGLONG m_llLastRead = 0; // when the previous read came back; 0 before the first
    // Bytes read and time they took, over about the last RateSpan.
    double m_dBytes = 0;
    double m_dCounts = 0;
};
