// The C runtime's time routines that programs built for the platform call: breaking a time down as UTC, and
// writing it as text the way the runtime's strftime does, which differs from the host's (the "#" flag, the
// "C" locale's date and time forms).
#pragma once

#include <clocale>
#include <ctime>

#include "windef.h"

typedef int32_t __time32_t;
typedef int64_t __time64_t;
typedef int errno_t;

// Breaks a time down as UTC into `result`. Fails with EINVAL (and `result` filled with -1) for null pointers
// and negative times, as the runtime does; fails on request (WinFailureControl.h, name "_gmtime32_s").
errno_t _gmtime32_s(struct tm* result, const __time32_t* time);
// The same for 64-bit times, which the runtime takes up to 23:59:59 on 31 December 3000 (_MAX__TIME64_T); a
// later time fails with EINVAL too. Fails on request (name "_gmtime64_s").
errno_t _gmtime64_s(struct tm* result, const __time64_t* time);
constexpr __time64_t _MAX__TIME64_T = 32535215999LL;

// A locale of the runtime. Only the "C" locale is there: _create_locale gives it for the name "C" (any
// category) and null for any other name.
struct localeinfo_struct;
typedef localeinfo_struct* _locale_t;
_locale_t _create_locale(int category, const char* locale);
void _free_locale(_locale_t locale);

// strftime of the runtime in a locale (null: the current one, which is "C"): the directives a A b B c d H I j
// m M p S U w W x X y Y and %%, in the "C" locale's forms (%x "03/14/95", %X "13:04:05", %c both). The "#" flag
// gives the long date in %#x ("Tuesday, March 14, 1995") and %#c, drops leading zeros of the numbers, and is
// ignored elsewhere. Returns the characters written without the terminating zero; 0 with the buffer emptied
// when the text does not fit (errno ERANGE), and 0 with errno EINVAL for a null argument, a tm field outside
// its range, or a directive the runtime does not know (time-zone names are not kept here either).
size_t _strftime_l(char* buffer, size_t size, const char* format, const struct tm* time, _locale_t locale);
