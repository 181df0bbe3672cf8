// CReadPace: when the capture thread reads the driver's capture log next, from what its last reads brought.
//
// The driver hands over one block per read, and gives the reader its newest block even while the writers are
// still filling it (they then start a fresh one). A reader that reads again as soon as a read brought
// anything takes a nearly empty block each time, and the writers pay for a new block every few records. So:
// - a read that brought a full block (the log is busy; older full blocks may wait): the next one at once;
// - a read that brought part of a block (the log is drained, the writers were filling that block): the next
//   one when the writers, at the rate the last few milliseconds of reads show, will have filled another, but
//   no later than the pause;
// - a read that brought nothing: the pause; in background logging (no pause of its own) a short wait that
//   doubles while the log stays empty, up to the pause of a quiet log.
// Waits are in performance-counter counts (QueryPerformanceCounter, 10 MHz); the capture thread waits whole
// milliseconds on its stop event and yields its processor for a wait shorter than one.
#pragma once

#include "windef.h"

#include "common/LogBlock.h"

class CReadPace {
public:
    static constexpr LONGLONG CountsPerMillisecond = 10'000;
    // The wait after the first empty read in background logging, and the longest one there (milliseconds): a
    // quiet log's records reach the document at most this late.
    static constexpr DWORD FirstIdleWait = 1;
    static constexpr DWORD QuietWait = 10;
    // A read at least this large took a full block: the next record that did not fit went to a new one.
    static constexpr DWORD FullBlock = LOG_BLOCK_DATA_SIZE - 4096;
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
