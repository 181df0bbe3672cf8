// Internal to the printf engine (NtFormat.h): the digits of a floating-point conversion as the platform's C
// run-times print them. At most 17 significant digits are real (further digits print as 0), halves round up on
// the decimal digits, and infinities and NaNs print as 1.#INF, 1.#QNAN and -1.#IND.
#pragma once

#include <cstddef>

namespace nt::format {

struct FloatSpec {
    char type = 'f';        // e, E, f, g, G, a or A
    int precision = -1;     // -1: none given
    bool alternate = false; // the # flag: keep the point and, for g, the trailing zeros
    int exponentDigits = 3; // the fewest digits an exponent prints with
};

// Room FloatText needs: the largest precision the run-time accepts (512) after the 309 digits of the largest
// double, and an exponent.
inline constexpr size_t kFloatTextMax = 1024;

// The text of |value| for the conversion: no sign and no padding (the caller adds both). Returns its length.
size_t FloatText(double value, const FloatSpec& spec, char* out);

} // namespace nt::format
