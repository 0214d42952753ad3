// Number text of the averages files: six significant digits, written the way they have always
// been written ("%lg" with three exponent digits).
#pragma once

#include <cstddef>

namespace skarvel {

// The room formatNumber needs at `out`: the longest text is 13 bytes ("-1.23457e-308"), and the
// bytes after the text, up to this many from `out`, may be overwritten too.
inline constexpr std::size_t kMaxNumberText = 32;

// Writes `value` with six significant digits the way the averages files always show numbers:
// rounded to nearest with ties to even, trailing zeros and a trailing point dropped, exponent
// form below 1e-4 and from 1e6 on with a sign and at least three exponent digits
// ("1.23457e+006", "1e-005"), infinity as "1.#INF" and "-1.#INF", not-a-number as "-1.#IND".
// Returns the end of the text written.
char* formatNumber(char* out, double value);

}  // namespace skarvel
