// Line ends in buffered text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace skarvel {

// The first '\n' in [first, last), or null.
inline const char* nextNewline(const char* first, const char* last) {
  return static_cast<const char*>(std::memchr(first, '\n', static_cast<std::size_t>(last - first)));
}

// The last '\n' in [first, last), or null.
inline const char* lastNewline(const char* first, const char* last) {
  while (last != first) {
    if (*--last == '\n') {
      return last;
    }
  }
  return nullptr;
}

// The number of '\n' in [first, last). Every byte of the input passes here once, so 16 bytes
// are compared at a time where the processor can (SSE2 on every x86-64).
inline std::int64_t countNewlines(const char* first, const char* last) {
  std::int64_t count = 0;
#if defined(__SSE2__) && defined(__x86_64__)
  constexpr std::ptrdiff_t kWidth = 16;
  constexpr std::ptrdiff_t kBlocksPerSum = 255;  // a byte lane counts up to 255 matches
  const __m128i newline = _mm_set1_epi8('\n');
  while (last - first >= kWidth) {
    const char* end = first + std::min((last - first) / kWidth, kBlocksPerSum) * kWidth;
    __m128i matches = _mm_setzero_si128();
    for (; first != end; first += kWidth) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
      matches = _mm_sub_epi8(matches, _mm_cmpeq_epi8(bytes, newline));
    }
    const __m128i sums = _mm_sad_epu8(matches, _mm_setzero_si128());
    count += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
  }
#endif
  return count + std::count(first, last, '\n');
}

}  // namespace skarvel
