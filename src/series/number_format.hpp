// Number text of the averages files: six significant digits, written the way they have always
// been written ("%lg" with three exponent digits).
#pragma once

#include <cstddef>

namespace skarvel {

// Longest text formatNumber writes.
inline constexpr std::size_t kMaxNumberText = 32;

// Writes `value` with six significant digits the way the averages files always show numbers:
// trailing zeros and a trailing point dropped, exponent form below 1e-4 and from 1e6 on with a
// sign and at least three exponent digits ("1.23457e+006", "1e-005"), infinity as "1.#INF" and
// "-1.#INF", not-a-number as "-1.#IND". Returns the end of the text written.
char* formatNumber(char* out, double value);

}  // namespace skarvel
