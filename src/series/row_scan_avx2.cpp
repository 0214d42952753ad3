#include "row_scan_avx2.hpp"

#if SKARVEL_PLATFORM_AVX2

#include <immintrin.h>

#include <bit>
#include <cstring>

#include "number_scan.hpp"

// The instructions used here; cpuHasAvx2 asks for each. The helpers are inlined into the one
// loop, where their constants stay in registers.
#define SKARVEL_AVX2 [[gnu::target("avx2,bmi,bmi2,popcnt")]]
#define SKARVEL_AVX2_INLINE [[gnu::target("avx2,bmi,bmi2,popcnt"), gnu::always_inline]] inline

namespace skarvel::detail {

namespace {

constexpr std::uint64_t kZeroDigits = 0x3030303030303030ULL;

// Token bytes (neither blank, tab nor line end) and line ends of 64 bytes of text, bit i for
// byte i.
struct ByteClasses {
  std::uint64_t tokenBytes;
  std::uint64_t lineEnds;
};

SKARVEL_AVX2_INLINE std::uint64_t bitsOf(__m256i low, __m256i high) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
         (std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32);
}

SKARVEL_AVX2_INLINE __m256i separatorBytes(__m256i bytes, __m256i lineEnds) {
  return _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')),
                                         _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\t'))),
                         lineEnds);
}

SKARVEL_AVX2_INLINE ByteClasses classify(const char* text) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + 32));
  const __m256i lowEnds = _mm256_cmpeq_epi8(low, _mm256_set1_epi8('\n'));
  const __m256i highEnds = _mm256_cmpeq_epi8(high, _mm256_set1_epi8('\n'));
  return {~bitsOf(separatorBytes(low, lowEnds), separatorBytes(high, highEnds)),
          bitsOf(lowEnds, highEnds)};
}

// Appends `base` plus the index of every set bit of `bits` to `offsets` from `count` on; gives
// the new count. Writes four at a time, up to three behind the new count.
SKARVEL_AVX2_INLINE int appendOffsets(std::uint32_t* offsets, int count, std::uint64_t bits,
                                      std::uint32_t base) {
  const int total = count + std::popcount(bits);
  for (std::uint32_t* out = offsets + count; out < offsets + total; out += 4) {
    out[0] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
    bits &= bits - 1;
    out[1] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
    bits &= bits - 1;
    out[2] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
    bits &= bits - 1;
    out[3] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
    bits &= bits - 1;
  }
  return total;
}

// The token's bytes at the high end of a word, '0' bytes below them as leading zeros. A token of
// more than eight bytes gives its first eight; its lane goes to the exact scans anyway.
SKARVEL_AVX2_INLINE std::uint64_t alignedWord(const char* token, std::uint32_t length) {
  std::uint64_t word = 0;
  std::memcpy(&word, token, sizeof word);
  const unsigned shift = 8 * (8 - std::min<std::uint32_t>(length, 8));
  return (word << shift) | (kZeroDigits & ((std::uint64_t{1} << shift) - 1));
}

// The length and the aligned word of lane i's token; a lane from `lanes` on holds '0' bytes.
SKARVEL_AVX2_INLINE long long laneLength(const std::uint32_t* starts, const std::uint32_t* ends,
                                         int i, int lanes) {
  return i < lanes ? ends[i] - starts[i] : 1;
}

SKARVEL_AVX2_INLINE long long laneWord(const char* text, const std::uint32_t* starts,
                                       const std::uint32_t* ends, int i, int lanes) {
  return static_cast<long long>(i < lanes ? alignedWord(text + starts[i], ends[i] - starts[i])
                                          : kZeroDigits);
}

// The low halves of four 64-bit lanes.
SKARVEL_AVX2_INLINE __m128i lowHalvesOf(__m256i lanes) {
  return _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
}

// Four tokens, [starts[i], ends[i]) of the row's text, read as short plain numbers: at most
// eight bytes, an optional sign first, digits with at most one point (none for `integers`), at
// least one digit. Gives each one's digits as an integer, the digits behind its point, its sign,
// and the lanes (bit i for token i) that are no such number and need the exact scans. Lanes from
// `lanes` on are ignored.
struct GroupDigits {
  __m128i mantissas;
  __m128i fractionDigits;
  __m128i negative;  // all ones in a lane whose token starts with '-'
  unsigned exactLanes;
};

SKARVEL_AVX2_INLINE GroupDigits readDigits(const char* text, const std::uint32_t* starts,
                                           const std::uint32_t* ends, int lanes, bool integers) {
  // Lanes are built in registers: stores read back as one vector would wait for each other.
  const __m256i zero = _mm256_setzero_si256();
  const __m256i allOnes = _mm256_set1_epi8(-1);
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i eight = _mm256_set1_epi64x(8);
  const __m256i bytes = _mm256_setr_epi64x(
      laneWord(text, starts, ends, 0, lanes), laneWord(text, starts, ends, 1, lanes),
      laneWord(text, starts, ends, 2, lanes), laneWord(text, starts, ends, 3, lanes));
  const __m256i length =
      _mm256_setr_epi64x(laneLength(starts, ends, 0, lanes), laneLength(starts, ends, 1, lanes),
                         laneLength(starts, ends, 2, lanes), laneLength(starts, ends, 3, lanes));

  const __m256i digits = _mm256_sub_epi8(bytes, _mm256_set1_epi8('0'));
  const __m256i isDigit = _mm256_cmpeq_epi8(_mm256_min_epu8(digits, _mm256_set1_epi8(9)), digits);
  const __m256i isPoint = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('.'));
  const __m256i isMinus = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('-'));
  const __m256i isSign = _mm256_or_si256(isMinus, _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('+')));
  // A sign only as the token's first byte, which the shift of alignedWord put at 8 - length.
  const __m256i firstByte = _mm256_sllv_epi64(
      _mm256_set1_epi64x(0xFF),
      _mm256_slli_epi64(_mm256_sub_epi64(eight, _mm256_min_epu32(length, eight)), 3));
  const __m256i allowed = _mm256_or_si256(
      _mm256_or_si256(isDigit, _mm256_and_si256(isSign, firstByte)), integers ? zero : isPoint);
  const __m256i pointCount = _mm256_sad_epu8(_mm256_and_si256(isPoint, ones), zero);
  const __m256i markCount =
      _mm256_sad_epu8(_mm256_and_si256(_mm256_or_si256(isPoint, isSign), ones), zero);
  const __m256i exact = _mm256_or_si256(
      _mm256_or_si256(_mm256_xor_si256(_mm256_cmpeq_epi64(allowed, allOnes), allOnes),
                      _mm256_cmpgt_epi64(pointCount, _mm256_set1_epi64x(1))),
      _mm256_or_si256(_mm256_cmpgt_epi64(length, eight),
                      _mm256_xor_si256(_mm256_cmpgt_epi64(length, markCount), allOnes)));

  // Close the gap of the point: the bytes up to it take the byte before them, and a zero comes
  // in at the low end.
  const __m256i values = _mm256_and_si256(digits, isDigit);
  const __m256i pointBit = _mm256_and_si256(isPoint, ones);
  const __m256i noPoint = _mm256_cmpeq_epi64(pointBit, zero);
  const __m256i throughPoint = _mm256_andnot_si256(
      noPoint, _mm256_sub_epi64(_mm256_slli_epi64(pointBit, 8), _mm256_set1_epi64x(1)));
  const __m256i packed =
      _mm256_or_si256(_mm256_andnot_si256(throughPoint, values),
                      _mm256_and_si256(_mm256_slli_epi64(values, 8), throughPoint));
  // Pairs, fours, then eight digits: the lowest byte holds the most significant digit.
  const __m256i pairs = _mm256_maddubs_epi16(packed, _mm256_set1_epi16(0x010A));
  const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
  const __m256i mantissas = _mm256_add_epi64(_mm256_mul_epu32(fours, _mm256_set1_epi64x(10000)),
                                             _mm256_srli_epi64(fours, 32));
  // Digits behind the point: 8 less the bytes up to it.
  const __m256i fractionDigits = _mm256_andnot_si256(
      noPoint,
      _mm256_sub_epi64(eight, _mm256_sad_epu8(_mm256_and_si256(throughPoint, ones), zero)));
  const unsigned exactLanes =
      static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(exact))) & ((1U << lanes) - 1);
  return {lowHalvesOf(mantissas), lowHalvesOf(fractionDigits),
          lowHalvesOf(_mm256_xor_si256(_mm256_cmpeq_epi64(isMinus, zero), allOnes)), exactLanes};
}

// The values of four tokens read by readDigits: digits over a power of ten, exact operands, so
// the IEEE division is the correctly rounded value.
SKARVEL_AVX2_INLINE __m256d valuesOf(const GroupDigits& group) {
  const __m128i divisors = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
      _mm256_setr_epi32(1, 10, 100, 1000, 10000, 100000, 1000000, 10000000),
      _mm256_castsi128_si256(group.fractionDigits)));
  const __m256d magnitudes =
      _mm256_div_pd(_mm256_cvtepi32_pd(group.mantissas), _mm256_cvtepi32_pd(divisors));
  const __m256d signs = _mm256_and_pd(_mm256_castsi256_pd(_mm256_cvtepi32_epi64(group.negative)),
                                      _mm256_set1_pd(-0.0));
  return _mm256_xor_pd(magnitudes, signs);
}

SKARVEL_AVX2_INLINE __m128i integersOf(const GroupDigits& group) {
  return _mm_sub_epi32(_mm_xor_si128(group.mantissas, group.negative), group.negative);
}

// Reads the lanes of `exactLanes` with the exact scans into `into`, each token consumed whole.
template <typename Number, typename Scan>
bool scanExactLanes(const char* text, const std::uint32_t* starts, const std::uint32_t* ends,
                    unsigned exactLanes, Number* into, Scan scan) {
  for (; exactLanes != 0; exactLanes &= exactLanes - 1) {
    const int lane = std::countr_zero(exactLanes);
    const NumberScan scanned = scan(text + starts[lane], into[lane]);
    if (!scanned.ok || scanned.next != text + ends[lane]) {
      return false;
    }
  }
  return true;
}

// Stores the first `lanes` (1 to 4) of four values. Plain stores: the values are read back at
// once, and loads wait for a masked store to finish.
SKARVEL_AVX2_INLINE void storeLanes(double* into, __m256d converted, int lanes) {
  if (lanes == 4) {
    _mm256_storeu_pd(into, converted);
    return;
  }
  __m128d pair = _mm256_castpd256_pd128(converted);
  if ((lanes & 2) != 0) {
    _mm_storeu_pd(into, pair);
    pair = _mm256_extractf128_pd(converted, 1);
  }
  if ((lanes & 1) != 0) {
    _mm_store_sd(into + (lanes & 2), pair);
  }
}

// Converts the `lanes` tokens from token `first` of the row on: the stamp for the first four,
// else values.
SKARVEL_AVX2_INLINE bool readGroup(const char* text, const std::uint32_t* starts,
                                   const std::uint32_t* ends, int lanes, std::size_t first,
                                   std::array<std::int32_t, 4>& stamp, std::span<double> values) {
  if (first == 0) {
    const GroupDigits group = readDigits(text, starts, ends, 4, true);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(stamp.data()), integersOf(group));
    return scanExactLanes(text, starts, ends, group.exactLanes, stamp.data(), scanInt32);
  }
  double* into = values.data() + (first - 4);
  const GroupDigits group = readDigits(text, starts, ends, lanes, false);
  storeLanes(into, valuesOf(group), lanes);
  return scanExactLanes(text, starts, ends, group.exactLanes, into, scanDoubleToken);
}

// The token starts and ends of 64 bytes of text, and its line ends, none at or behind `end`.
struct PieceBits {
  std::uint64_t starts;
  std::uint64_t ends;  // the separator behind each token
  std::uint64_t lineEnds;
};

// Walks text 64 bytes at a time.
class PieceWalk {
 public:
  SKARVEL_AVX2_INLINE PieceBits bitsAt(const char* piece, const char* end) {
    const ByteClasses classes = classify(piece);
    PieceBits bits{classes.tokenBytes & ((~classes.tokenBytes << 1) | separatorBefore_),
                   ~classes.tokenBytes & ((classes.tokenBytes << 1) | tokenBefore_),
                   classes.lineEnds};
    separatorBefore_ = ~classes.tokenBytes >> 63;
    tokenBefore_ = classes.tokenBytes >> 63;
    if (end - piece < 64) {
      const std::uint64_t inText = (std::uint64_t{1} << (end - piece)) - 1;
      bits.starts &= inText;
      bits.ends &= inText;
      bits.lineEnds &= inText;
    }
    return bits;
  }

 private:
  std::uint64_t separatorBefore_ = 1;  // the text starts a token
  std::uint64_t tokenBefore_ = 0;
};

// The token starts and ends found and not yet converted, as offsets from the text's start:
// fewer than four left over, at most 32 more from each 64 bytes, up to three written ahead.
struct TokenQueue {
  std::uint32_t starts[52];
  std::uint32_t ends[52];
  int startCount = 0;
  int endCount = 0;

  SKARVEL_AVX2_INLINE void add(const PieceBits& bits, std::uint32_t offset) {
    startCount = appendOffsets(starts, startCount, bits.starts, offset);
    endCount = appendOffsets(ends, endCount, bits.ends, offset);
  }
  // Drops the first `done` tokens.
  SKARVEL_AVX2_INLINE void drop(int done) {
    for (int i = done; i < startCount; ++i) {
      starts[i - done] = starts[i];
    }
    for (int i = done; i < endCount; ++i) {
      ends[i - done] = ends[i];
    }
    startCount -= done;
    endCount -= done;
  }
};

// Rows longer than this are left to the other readings: offsets are 32-bit.
constexpr std::uint32_t kLongestRow = std::uint32_t{1} << 31;

}  // namespace

SKARVEL_AVX2 const char* scanRowAvx2(const char* text, const char* end,
                                     std::array<std::int32_t, 4>& stamp, std::span<double> values) {
  const std::size_t tokens = 4 + values.size();
  TokenQueue queue;
  PieceWalk walk;
  std::size_t started = 0;
  std::size_t converted = 0;
  for (std::uint32_t offset = 0; offset < kLongestRow; offset += 64) {
    const char* piece = text + offset;
    if (piece >= end) {
      return nullptr;
    }
    PieceBits bits = walk.bitsAt(piece, end);
    if (bits.lineEnds != 0) {
      const std::uint64_t throughLineEnd = bits.lineEnds ^ (bits.lineEnds - 1);
      bits.starts &= throughLineEnd >> 1;
      bits.ends &= throughLineEnd;
    }
    started += static_cast<std::size_t>(std::popcount(bits.starts));
    if (started > tokens) {
      return nullptr;
    }
    queue.add(bits, offset);
    int done = 0;
    for (; queue.endCount - done >= 4; done += 4, converted += 4) {
      if (!readGroup(text, queue.starts + done, queue.ends + done, 4, converted, stamp, values)) {
        return nullptr;
      }
    }
    queue.drop(done);
    if (bits.lineEnds != 0) {
      if (started != tokens) {
        return nullptr;
      }
      if (queue.endCount != 0 &&
          !readGroup(text, queue.starts, queue.ends, queue.endCount, converted, stamp, values)) {
        return nullptr;
      }
      return piece + std::countr_zero(bits.lineEnds) + 1;
    }
  }
  return nullptr;
}

bool cpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}

}  // namespace skarvel::detail

#endif
