#include "WinCrtTime.h"

#include <cerrno>
#include <initializer_list>

#include "WinFailureControl.h"

errno_t _gmtime32_s(struct tm* result, const __time32_t* time) {
    if (result) {
        *result = tm{};
        for (int* field : {&result->tm_sec, &result->tm_min, &result->tm_hour, &result->tm_mday, &result->tm_mon,
                           &result->tm_year, &result->tm_wday, &result->tm_yday, &result->tm_isdst})
            *field = -1;
    }
    if (win32::internal::CallFailsNow("_gmtime32_s"))
        return EINVAL;
    if (!result || !time || *time < 0)
        return EINVAL;
    const time_t wide = *time;
    if (!gmtime_r(&wide, result))
        return EINVAL;
    return 0;
}
