// CReadPace: when the capture thread reads the driver's capture log next, from what its last read brought.
//
// The driver hands over one block per read, and gives the reader its newest block even while the writers are
// still filling it (they then start a fresh one). A reader that reads again as soon as a read brought
// anything takes a nearly empty block each time, and the writers pay for a new block every few records. So:
// - a read that brought a full block (the log is busy; older full blocks may wait): the next one at once;
// - a read that brought part of a block (the log is drained, the writers were filling that block): the next
//   one when the writers, at the rate they filled it, will have filled another, but no later than the pause;
// - a read that brought nothing: the pause; in background logging (no pause of its own) a short wait that
//   doubles while the log stays empty, up to the pause of a quiet log.
// A wait is whole milliseconds; less than one is one, except when no time passed at all between two reads.
// Times are performance-counter values (QueryPerformanceCounter).
#pragma once

#include "windef.h"

#include "common/LogBlock.h"

class CReadPace {
public:
    // The wait after the first empty read in background logging, and the longest one there: a quiet log's
    // records reach the document at most this late.
    static constexpr DWORD FirstIdleWait = 1;
    static constexpr DWORD QuietWait = 10;
    // A read at least this large took a full block: the next record that did not fit went to a new one.
    static constexpr DWORD FullBlock = LOG_BLOCK_DATA_SIZE - 4096;

    // dwPause: the loop's own pause (250 ms), or 0 in background logging.
    explicit CReadPace(DWORD dwPause) : m_dwPause(dwPause), m_dwIdleWait(FirstIdleWait), m_llLastRead(0) {}

    // The milliseconds to wait before the next read (0: at once), after a read at llNow that brought dwBytes.
    DWORD Next(DWORD dwBytes, LONGLONG llNow);

private:
    DWORD m_dwPause;
    DWORD m_dwIdleWait;
    LONGLONG m_llLastRead; // when the previous read came back; 0 before the first
};
