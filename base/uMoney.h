#pragma once
// Rounding of amounts: the one rule for billing and for every amount text.

#include "base/uDateTime.h"

#include <cstdint>

// 10^AExp in extended precision (exact while the power fits the 64-bit mantissa); a negative exponent
// gives the reciprocal. Exponents beyond the range of extended give infinity or 0.
Extended IntPower10(std::int32_t AExp);

// AValue rounded to a whole multiple of 10^APower, an exact half away from zero (commercial rounding:
// 10.5 -> 11, -2.5 -> -3, 0.125 at -2 -> 0.13). Values that cannot be rounded meaningfully (not finite,
// or so large or the step so fine that extended holds no digit to round away) are returned unchanged;
// a step beyond every finite amount rounds everything to 0.
Extended RoundHalfAwayFromZero(Extended AValue, std::int32_t APower);
