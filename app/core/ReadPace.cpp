#include "app/core/ReadPace.h"

#include <algorithm>

#include "common/LogBlock.h"

namespace {

// Performance-counter counts per millisecond (the counter runs at 10 MHz).
constexpr LONGLONG kCountsPerMillisecond = 10'000;
constexpr LONGLONG kBlockBytes = LOG_BLOCK_DATA_SIZE;

} // namespace

DWORD CReadPace::Next(DWORD dwBytes, LONGLONG llNow) {
    const LONGLONG llElapsed = m_llLastRead != 0 ? std::max<LONGLONG>(llNow - m_llLastRead, 0) : 0;
    m_llLastRead = llNow;
    const DWORD dwLongest = m_dwPause != 0 ? m_dwPause : QuietWait;
    if (dwBytes == 0) {
        if (m_dwPause != 0)
            return m_dwPause;
        const DWORD dwWait = m_dwIdleWait;
        m_dwIdleWait = std::min(m_dwIdleWait * 2, QuietWait);
        return dwWait;
    }
    m_dwIdleWait = FirstIdleWait;
    if (dwBytes >= FullBlock || llElapsed == 0)
        return 0;
    // The time the writers would take to fill a whole block at the rate they filled this part of one.
    const LONGLONG llFill = kBlockBytes * llElapsed / static_cast<LONGLONG>(dwBytes);
    const LONGLONG llMilliseconds = (llFill + kCountsPerMillisecond / 2) / kCountsPerMillisecond;
    return static_cast<DWORD>(std::clamp<LONGLONG>(llMilliseconds, 1, dwLongest));
}
