#include "row_scan.hpp"

#include <bit>
#include <cstddef>

#include "number_scan.hpp"

// The AVX2 kind: x86-64 with GCC or clang, whose target attribute builds AVX2 functions in a
// unit compiled for the baseline CPU. Not on Windows: there GCC does not align the stack for
// 32-byte vector spills.
#include "platform.hpp"

#if SKARVEL_PLATFORM_AVX2
#include <immintrin.h>
#endif

namespace skarvel {

namespace {

constexpr bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// True for the bytes that end a token: blank, tab and the line end.
constexpr bool endsToken(char c) {
  return isBlank(c) || c == '\n';
}

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) {
    ++p;
  }
  return p;
}

// Reads the token at `p` with `scan`. Gives the position behind the blanks that follow it, or
// nullptr when the scan fails or stops inside the token.
template <typename Number, typename Scan>
const char* scanToken(const char* p, Number& value, Scan scan) {
  const NumberScan scanned = scan(p, value);
  if (!scanned.ok || !endsToken(*scanned.next)) {
    return nullptr;
  }
  return skipBlanks(scanned.next);
}

// The position behind the '\n' at `p`, or nullptr when the row goes on at `p`.
const char* behindLineEnd(const char* p) {
  return *p == '\n' ? p + 1 : nullptr;
}

// scanStamp, for the row scans to inline: a call per row would cost as much as a field.
inline const char* readStamp(const char* text, std::array<std::int32_t, 4>& stamp) {
  const char* p = skipBlanks(text);
  for (std::int32_t& field : stamp) {
    p = scanToken(p, field, scanInt32);
    if (p == nullptr) {
      return nullptr;
    }
  }
  return p;
}

// Every scan stops at the NUL at the end of the text, and a NUL is no part of a plain row, so
// the text's end needs no check of its own.
const char* scanRowScalar(const char* text, std::array<std::int32_t, 4>& stamp,
                          std::span<double> values) {
  const char* p = readStamp(text, stamp);
  if (p == nullptr) {
    return nullptr;
  }
  for (double& value : values) {
    p = scanToken(p, value, scanDoubleTokenPadded);
    if (p == nullptr) {
      return nullptr;
    }
  }
  return behindLineEnd(p);
}

#if SKARVEL_PLATFORM_AVX2

// The instructions the AVX2 kind uses; the CPU check in rowScanKindAvailable asks for each.
#define SKARVEL_AVX2 [[gnu::target("avx2,bmi,bmi2")]]

// Shuffle controls that move the first n bytes of a register to its high end, the bytes below
// zero: loaded from kAlignRight + n.
alignas(32) constexpr std::int8_t kAlignRight[32] = {
    -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128,
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15};

// The longest token read from one 16-byte register; longer ones go to the general scans.
constexpr int kShortToken = 15;

SKARVEL_AVX2 inline std::uint32_t byteMask(__m256i bytes) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
}

SKARVEL_AVX2 inline std::uint32_t byteMask(__m128i bytes) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(bytes));
}

// The token starts and line ends of a row, found 32 bytes at a time, in order. Where a token
// starts does not depend on reading the one before it, so the readings of successive tokens
// overlap in the CPU.
class TokenWalk {
 public:
  SKARVEL_AVX2 explicit TokenWalk(const char* text) : block_(text - 32) {}

  // The next token start or line end; atLineEnd tells which. Loads stop at the NUL at the
  // text's end, which starts a token.
  SKARVEL_AVX2 const char* next() {
    while (events_ == 0) {
      loadNextBlock();
    }
    const int at = std::countr_zero(events_);
    atLineEnd_ = ((lineEnds_ >> at) & 1) != 0;
    events_ &= events_ - 1;
    return block_ + at;
  }

  bool atLineEnd() const { return atLineEnd_; }

 private:
  SKARVEL_AVX2 void loadNextBlock() {
    block_ += 32;
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block_));
    const __m256i blank = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')),
                                          _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\t')));
    lineEnds_ = byteMask(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')));
    const std::uint32_t tokenBytes = ~(byteMask(blank) | lineEnds_);
    events_ = (tokenBytes & ~((tokenBytes << 1) | tokenCarry_)) | lineEnds_;
    tokenCarry_ = tokenBytes >> 31;
  }

  const char* block_;
  std::uint32_t events_ = 0;      // token starts and line ends not yet given
  std::uint32_t lineEnds_ = 0;    // line ends of the block
  std::uint32_t tokenCarry_ = 0;  // 1 when the last byte of the block is a token byte
  bool atLineEnd_ = false;
};

// The length of the token at `p`, up to 16 (16: longer than kShortToken), and its first 16
// bytes.
struct TokenHead {
  __m128i bytes;
  int length;
};

SKARVEL_AVX2 inline TokenHead tokenHead(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i enders = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                                                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'))),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
  return {bytes, std::countr_zero(byteMask(enders) | 0x10000U)};
}

// The value of 16 digits 0..9 held one per byte, the first in the lowest byte: pairs, groups of
// four and of eight combined by multiply-add.
SKARVEL_AVX2 inline std::uint64_t sixteenDigitsValue(__m128i digits) {
  const __m128i pairs = _mm_maddubs_epi16(
      digits, _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1));
  const __m128i quads = _mm_madd_epi16(pairs, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
  const __m128i narrowed = _mm_packus_epi32(quads, quads);
  const __m128i octets =
      _mm_madd_epi16(narrowed, _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
  const auto high = static_cast<std::uint32_t>(_mm_cvtsi128_si32(octets));
  const auto low = static_cast<std::uint32_t>(_mm_extract_epi32(octets, 1));
  return std::uint64_t{high} * 100000000 + low;
}

// A token of at most kShortToken bytes that is an optional sign, digits and at most one point:
// its digits as an integer and how many of them follow the point.
struct ShortDecimal {
  std::uint64_t mantissa = 0;
  int fractionDigits = 0;
  bool negative = false;
  bool ok = false;
};

SKARVEL_AVX2 inline ShortDecimal readShortDecimal(__m128i head, int length) {
  const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i inToken = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(length)), index);
  const __m128i offsets = _mm_sub_epi8(head, _mm_set1_epi8('0'));
  const __m128i isDigit =
      _mm_and_si128(_mm_cmpeq_epi8(_mm_min_epu8(offsets, _mm_set1_epi8(9)), offsets), inToken);
  const std::uint32_t tokenBits = (1U << length) - 1;
  const std::uint32_t digitBits = byteMask(isDigit);
  const std::uint32_t pointBits = byteMask(_mm_cmpeq_epi8(head, _mm_set1_epi8('.'))) & tokenBits;
  const int first = _mm_cvtsi128_si32(head) & 0xFF;
  const std::uint32_t signBit = first == '-' || first == '+' ? 1 : 0;
  ShortDecimal decimal;
  decimal.ok = digitBits != 0 && (digitBits | pointBits | signBit) == tokenBits &&
               (pointBits & (pointBits - 1)) == 0;
  if (!decimal.ok) {
    return decimal;
  }
  // Close the gap of the point (the bytes before it move up by one), then move the digits to
  // the high end: the bytes below act as leading zeros.
  const int point = pointBits != 0 ? std::countr_zero(pointBits) : -1;
  const __m128i digits = _mm_and_si128(offsets, isDigit);
  const __m128i beforePoint = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(point + 1)), index);
  const __m128i packed = _mm_blendv_epi8(digits, _mm_slli_si128(digits, 1), beforePoint);
  const __m128i aligned = _mm_shuffle_epi8(
      packed, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kAlignRight + length)));
  decimal.mantissa = sixteenDigitsValue(aligned);
  decimal.fractionDigits = point >= 0 ? length - 1 - point : 0;
  decimal.negative = first == '-';
  return decimal;
}

// Gives `magnitude` the sign bit when `negative`, without a branch: signs come at random.
inline double withSign(double magnitude, bool negative) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) |
                               (std::uint64_t{negative} << 63));
}

// Reads the value token at `p` as a quotient that gives its value: exact operands, so the
// IEEE division is the correctly rounded value (a divisor of 1 for a value already converted).
SKARVEL_AVX2 inline bool readQuotient(const char* p, double& numerator, double& divisor) {
  const TokenHead head = tokenHead(p);
  if (head.length <= kShortToken) {
    const ShortDecimal decimal = readShortDecimal(head.bytes, head.length);
    if (decimal.ok) {
      // At most 15 digits: below 2^53, so the conversion is exact.
      numerator = withSign(static_cast<double>(decimal.mantissa), decimal.negative);
      divisor = number_detail::kExactPowersOfTen[static_cast<std::size_t>(decimal.fractionDigits)];
      return true;
    }
  }
  divisor = 1.0;
  return scanToken(p, numerator, scanDoubleToken) != nullptr;
}

SKARVEL_AVX2 inline bool readQuotient(TokenWalk& walk, double& numerator, double& divisor) {
  const char* token = walk.next();
  return !walk.atLineEnd() && readQuotient(token, numerator, divisor);
}

// Reads the next `count` (1 to 4) values of the walk, divided in one instruction into
// `group`; false at a line end or a token that is no number. The operands stay in registers.
SKARVEL_AVX2 inline bool readGroup(TokenWalk& walk, std::size_t count, __m256d& group) {
  double n0 = 0.0;
  double n1 = 0.0;
  double n2 = 0.0;
  double n3 = 0.0;
  double d0 = 1.0;
  double d1 = 1.0;
  double d2 = 1.0;
  double d3 = 1.0;
  const bool ok = readQuotient(walk, n0, d0) && (count < 2 || readQuotient(walk, n1, d1)) &&
                  (count < 3 || readQuotient(walk, n2, d2)) &&
                  (count < 4 || readQuotient(walk, n3, d3));
  group = _mm256_div_pd(_mm256_setr_pd(n0, n1, n2, n3), _mm256_setr_pd(d0, d1, d2, d3));
  return ok;
}

// The stamp as scanStamp reads it (faster on narrow rows than reading its fields from the walk),
// then four values at a time, their divisions in one instruction; a last group of fewer is
// divided the same way and stored under a mask.
SKARVEL_AVX2 const char* scanRowAvx2(const char* text, std::array<std::int32_t, 4>& stamp,
                                     std::span<double> values) {
  const char* afterStamp = readStamp(text, stamp);
  if (afterStamp == nullptr) {
    return nullptr;
  }
  TokenWalk walk(afterStamp);
  std::size_t i = 0;
  __m256d group;
  for (; i + 4 <= values.size(); i += 4) {
    if (!readGroup(walk, 4, group)) {
      return nullptr;
    }
    _mm256_storeu_pd(values.data() + i, group);
  }
  const std::size_t rest = values.size() - i;
  if (rest != 0) {
    if (!readGroup(walk, rest, group)) {
      return nullptr;
    }
    const __m256i lanes = _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(rest)),
                                             _mm256_setr_epi64x(0, 1, 2, 3));
    _mm256_maskstore_pd(values.data() + i, lanes, group);
  }
  const char* lineEnd = walk.next();
  return walk.atLineEnd() ? lineEnd + 1 : nullptr;
}

#endif

}  // namespace

const char* scanStamp(const char* text, std::array<std::int32_t, 4>& stamp) {
  return readStamp(text, stamp);
}

bool rowScanKindAvailable(RowScanKind kind) {
  static const bool avx2 = platform::cpuHasAvx2();
  return kind == RowScanKind::scalar || avx2;
}

RowScanKind bestRowScanKind() {
  // Measured side by side on rows of 240 and of 3 columns, the AVX2 kind reads no faster than
  // the scalar one (as fast on wide rows, a quarter slower on narrow ones, and more instructions
  // on both), so it is chosen only by name (SKARVEL_ROW_SCAN=avx2) until it is.
  return RowScanKind::scalar;
}

const char* scanDataRow(const char* text, const char* end, std::array<std::int32_t, 4>& stamp,
                        std::span<double> values, RowScanKind kind) {
  if (text >= end) {
    return nullptr;
  }
#if SKARVEL_PLATFORM_AVX2
  if (kind == RowScanKind::avx2 && rowScanKindAvailable(kind)) {
    return scanRowAvx2(text, stamp, values);
  }
#else
  (void)kind;
#endif
  return scanRowScalar(text, stamp, values);
}

}  // namespace skarvel
