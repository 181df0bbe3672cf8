#include "app/core/ReadPace.h"

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
    const LONGLONG llLongest = static_cast<LONGLONG>(m_dwPause != 0 ? m_dwPause : QuietWait) * CountsPerMillisecond;
    if (dwBytes == 0) {
        if (m_dwPause != 0)
            return llLongest;
        const DWORD dwWait = m_dwIdleWait;
        m_dwIdleWait = std::min(m_dwIdleWait * 2, QuietWait);
        return static_cast<LONGLONG>(dwWait) * CountsPerMillisecond;
    }
    m_dwIdleWait = FirstIdleWait;
    if (dwBytes >= FullBlock || m_dCounts == 0)
        return 0;
    // The time the writers take to fill a whole block at that rate.
    const double dFill = static_cast<double>(LOG_BLOCK_DATA_SIZE) * m_dCounts / m_dBytes;
    return std::min(static_cast<LONGLONG>(dFill), llLongest);
}
