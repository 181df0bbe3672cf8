#include "app/core/capture/ReadPace.h"

#include <algorithm>

LONGLONG CReadPace::Next(DWORD dwBytes, LONGLONG llNow) {
    const LONGLONG llElapsed = m_llLastRead != 0 ? std::max<LONGLONG>(llNow - m_llLastRead, 0) : 0;
    m_llLastRead = llNow;
    m_dBytes += dwBytes;
    m_dCounts += static_cast<double>(llElapsed);
    if (m_dCounts > RateSpan) {
        // Older reads weigh less and less: the sums shrink back to the span, keeping the rate they give.
        m_dBytes *= RateSpan / m_dCounts;
        m_dCounts = RateSpan;
    }
    if (dwBytes != 0)
        return 0;
    if (m_dwPause != 0)
        return static_cast<LONGLONG>(m_dwPause) * CountsPerMillisecond;
    const LONGLONG llIdle = static_cast<LONGLONG>(m_dwIdleWait) * CountsPerMillisecond;
    m_dwIdleWait = std::min(m_dwIdleWait * 2, QuietWait);
    if (m_dBytes <= 0 || m_dCounts <= 0)
        return llIdle;
    // The time the writers take to fill a whole block at the rate of the last reads (a rate that has faded
    // almost to nothing gives a time far beyond any wait).
    const double dFill = static_cast<double>(LOG_BLOCK_DATA_SIZE) * m_dCounts / m_dBytes;
    if (dFill >= static_cast<double>(llIdle))
        return llIdle;
    m_dwIdleWait = FirstIdleWait; // a busy log: the next empty read starts short again
    return static_cast<LONGLONG>(dFill);
}
