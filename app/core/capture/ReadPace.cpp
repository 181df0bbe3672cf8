#include "app/core/capture/ReadPace.h"

#include <algorithm>

LONGLONG CReadPace::Next(DWORD dwBytes, LONGLONG llFirstRecord, LONGLONG llStart, LONGLONG llNow) {
    const LONGLONG llElapsed = m_llLastRead != 0 ? std::max<LONGLONG>(llNow - m_llLastRead, 0) : 0;
    m_llLastRead = llNow;
    m_dBytes += dwBytes;
    m_dCounts += static_cast<double>(llElapsed);
    if (m_dCounts > RateSpan) {
        // Older reads weigh less and less: the sums shrink back to the span, keeping the rate they give.
        m_dBytes *= RateSpan / m_dCounts;
        m_dCounts = RateSpan;
    }
    if (m_bRoundOver) {
        m_llRoundStart = llStart;
        m_bRoundOver = false;
    }
    if (dwBytes != 0) {
        if (llFirstRecord < m_llRoundStart)
            return 0; // a block that was there before this round began: older ones may follow it
        m_bRoundOver = true;
        const LONGLONG llLongest = static_cast<LONGLONG>(m_dwPause != 0 ? m_dwPause : QuietWait) * CountsPerMillisecond;
        return FillTime(BlocksPerRound, llLongest);
    }
    m_bRoundOver = true;
    if (m_dwPause != 0)
        return static_cast<LONGLONG>(m_dwPause) * CountsPerMillisecond;
    const LONGLONG llIdle = static_cast<LONGLONG>(m_dwIdleWait) * CountsPerMillisecond;
    m_dwIdleWait = std::min(m_dwIdleWait * 2, QuietWait);
    const LONGLONG llFill = FillTime(1, llIdle);
    if (llFill < llIdle)
        m_dwIdleWait = FirstIdleWait; // a busy log: the next empty read starts short again
    return llFill;
}

LONGLONG CReadPace::FillTime(int nBlocks, LONGLONG llLongest) const {
    if (m_dBytes <= 0 || m_dCounts <= 0)
        return llLongest;
    const double dFill = static_cast<double>(nBlocks) * LOG_BLOCK_DATA_SIZE * m_dCounts / m_dBytes;
    return dFill >= static_cast<double>(llLongest) ? llLongest : static_cast<LONGLONG>(dFill);
}
