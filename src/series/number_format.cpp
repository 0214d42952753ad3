#include "number_format.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "wide_product.hpp"

namespace skarvel {

namespace {

// ---- Powers of ten, made at compile time

// 10^power = (high:low + f) * 2^binaryExponent with 0 <= f < 1: the 128-bit significand has its
// top bit set and is truncated, never rounded up.
struct PowerOfTen {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  int binaryExponent = 0;
};

// The scale factors 10^(5 - k) for every decimal exponent k of a double (4.9e-324 to 1.8e308),
// with one below the smallest for a first estimate that is one too small.
constexpr int kSmallestPower = 5 - 308;
constexpr int kLargestPower = 5 + 324;
constexpr int kPowerCount = kLargestPower - kSmallestPower + 1;

// An unsigned integer of 1216 bits, wide enough for 10^329 and for 2^1200 / 10^303 to keep
// more than 128 significant bits.
class BigNumber {
 public:
  static constexpr int kBits = 1216;

  constexpr explicit BigNumber(int powerOfTwo) {
    limbs_[static_cast<std::size_t>(powerOfTwo / 32)] = std::uint32_t{1} << (powerOfTwo % 32);
  }

  constexpr void multiplyByTen() {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = std::uint64_t{limb} * 10 + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
  }

  // Rounds down: repeated, it gives the quotient by the power of ten exactly.
  constexpr void divideByTen() {
    std::uint64_t remainder = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) {
      const std::uint64_t dividend = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(dividend / 10);
      remainder = dividend % 10;
    }
  }

  constexpr int topBit() const {
    for (std::size_t i = limbs_.size(); i-- > 0;) {
      if (limbs_[i] != 0) {
        return static_cast<int>(i) * 32 + static_cast<int>(std::bit_width(limbs_[i])) - 1;
      }
    }
    return -1;
  }

  // The 64 bits from `first` up; bits below 0 are zeros.
  constexpr std::uint64_t bitsFrom(int first) const {
    std::uint64_t bits = 0;
    for (int i = 63; i >= 0; --i) {
      bits = (bits << 1) | bit(first + i);
    }
    return bits;
  }

 private:
  constexpr std::uint64_t bit(int position) const {
    if (position < 0) {
      return 0;
    }
    return (limbs_[static_cast<std::size_t>(position / 32)] >> (position % 32)) & 1U;
  }

  std::array<std::uint32_t, kBits / 32> limbs_{};
};

// The top 128 bits of `number`, which stands for number * 2^scale.
constexpr PowerOfTen topBitsOf(const BigNumber& number, int scale) {
  const int top = number.topBit();
  return {number.bitsFrom(top - 63), number.bitsFrom(top - 127), top - 127 + scale};
}

constexpr std::array<PowerOfTen, kPowerCount> makePowersOfTen() {
  std::array<PowerOfTen, kPowerCount> table{};
  const auto entry = [&table](int power) -> PowerOfTen& {
    return table[static_cast<std::size_t>(power - kSmallestPower)];
  };
  BigNumber positive(0);
  for (int power = 0; power <= kLargestPower; ++power) {
    entry(power) = topBitsOf(positive, 0);
    positive.multiplyByTen();
  }
  constexpr int kFractionBits = 1200;
  BigNumber negative(kFractionBits);  // 2^1200 / 10^n, rounded down
  for (int power = -1; power >= kSmallestPower; --power) {
    negative.divideByTen();
    entry(power) = topBitsOf(negative, -kFractionBits);
  }
  return table;
}

constexpr std::array<PowerOfTen, kPowerCount> kPowersOfTen = makePowersOfTen();

constexpr const PowerOfTen& powerOfTen(int power) {
  return kPowersOfTen[static_cast<std::size_t>(power - kSmallestPower)];
}

static_assert(powerOfTen(0).high == 0x8000000000000000U && powerOfTen(0).low == 0 &&
              powerOfTen(0).binaryExponent == -127);
static_assert(powerOfTen(-1).high == 0xCCCCCCCCCCCCCCCCU &&
              powerOfTen(-1).low == 0xCCCCCCCCCCCCCCCCU && powerOfTen(-1).binaryExponent == -131);
static_assert(powerOfTen(27).high == 0xCECB8F27F4200F3AU && powerOfTen(27).low == 0 &&
              powerOfTen(27).binaryExponent == -38);

// ---- Six significant digits by the table

// A finite, non-zero magnitude as significand * 2^exponent, the significand of 53 bits
// (subnormals shifted up to it).
struct BinaryValue {
  std::uint64_t significand = 0;
  int exponent = 0;

  int leadingBitExponent() const { return exponent + 52; }
};

BinaryValue binaryValueOf(double magnitude) {
  constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const std::uint64_t fraction = bits & kFractionMask;
  const int biasedExponent = static_cast<int>(bits >> 52);
  if (biasedExponent == 0) {
    const int width = static_cast<int>(std::bit_width(fraction));
    return {fraction << (53 - width), width - 1074 - 53};
  }
  return {fraction | (kFractionMask + 1), biasedExponent - 1075};
}

// floor(log10(2^e)), exact for |e| up to 2620; 2^e <= the magnitude < 2^(e+1) gives the
// decimal exponent of its first digit or one less.
constexpr int decimalExponentEstimate(int e) {
  return (e * 315653) >> 20;
}

// value * 10^power: the integer part and the first 64 bits of the fraction. The exact fraction,
// in units of 2^-64, is at least `fraction` and less than `fraction + 2` (the bits cut off and the
// table's truncation, which is less than 2^-33 of a unit here).
struct ScaledValue {
  std::uint64_t integer = 0;
  std::uint64_t fraction = 0;
};

ScaledValue scaleByPowerOfTen(BinaryValue value, int power) {
  const PowerOfTen& ten = powerOfTen(power);
  // The top two words of the 192-bit product significand * ten.
  const WideProduct upper = multiplyWide(value.significand, ten.high);
  const WideProduct lower = multiplyWide(value.significand, ten.low);
  const std::uint64_t middle = upper.low + lower.high;
  const std::uint64_t high = upper.high + (middle < upper.low ? 1 : 0);
  // The product's binary point: the integer part (up to 10^7) lies in `high`, 28 to 37 bits
  // below its top.
  const int shift = -(value.exponent + ten.binaryExponent) - 128;
  return {high >> shift, (high << (64 - shift)) | (middle >> shift)};
}

enum class Rounding { kDown, kUp, kUndecided };

// The fraction against one half: undecided when the exact value may lie on either side of it.
Rounding roundingOf(std::uint64_t fraction) {
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
  if (fraction > kHalf) {
    return Rounding::kUp;
  }
  if (fraction < kHalf - 1) {
    return Rounding::kDown;
  }
  return Rounding::kUndecided;
}

constexpr std::uint64_t kSixDigits = 100000;
constexpr std::uint64_t kSevenDigits = 1000000;

// The magnitude rounded to six significant digits: digits * 10^(exponent - 5), digits from
// 100000 to 999999.
struct Decimal {
  std::uint64_t digits = 0;
  int exponent = 0;
};

// Nothing when the magnitude lies so close to a midpoint between two six-digit numbers that
// the table cannot tell the side (exact midpoints always do).
std::optional<Decimal> roundedByTable(double magnitude) {
  const BinaryValue value = binaryValueOf(magnitude);
  int exponent = decimalExponentEstimate(value.leadingBitExponent());
  ScaledValue scaled = scaleByPowerOfTen(value, 5 - exponent);
  if (scaled.integer >= kSevenDigits) {  // the estimate was one too small
    ++exponent;
    scaled = scaleByPowerOfTen(value, 5 - exponent);
  }
  const Rounding rounding = roundingOf(scaled.fraction);
  if (rounding == Rounding::kUndecided) {
    return std::nullopt;
  }
  Decimal rounded{scaled.integer, exponent};
  if (rounding == Rounding::kUp && ++rounded.digits == kSevenDigits) {
    rounded = {kSixDigits, exponent + 1};
  }
  return rounded;
}

// ---- Text

char* copyText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// The six significant digits of a finite value, rounded once, without trailing zeros, and the
// decimal exponent of the first.
struct SignificantDigits {
  std::array<char, 6> digits{};
  int kept = 6;
  int exponent = 0;
  bool negative = false;

  char operator[](int i) const { return digits[static_cast<std::size_t>(i)]; }
};

void dropTrailingZeros(SignificantDigits& d) {
  while (d.kept > 1 && d[d.kept - 1] == '0') {
    --d.kept;
  }
}

// By the standard library's exact conversion: the values next to a midpoint.
SignificantDigits significantDigitsByConversion(double value) {
  // "d.ddddde+XX", the sign first when negative.
  std::array<char, kMaxNumberText> scientific{};
  const auto converted = std::to_chars(scientific.data(), scientific.data() + scientific.size(),
                                       value, std::chars_format::scientific, 5);
  const char* p = scientific.data();
  SignificantDigits result;
  if (*p == '-') {
    result.negative = true;
    ++p;
  }
  result.digits[0] = *p;
  std::memcpy(&result.digits[1], p + 2, 5);
  std::from_chars(p + 8 + (p[8] == '+' ? 1 : 0), converted.ptr, result.exponent);
  dropTrailingZeros(result);
  return result;
}

SignificantDigits significantDigitsOf(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    SignificantDigits zero;
    zero.digits[0] = '0';
    zero.kept = 1;
    zero.negative = std::signbit(value);
    return zero;
  }
  const std::optional<Decimal> rounded = roundedByTable(magnitude);
  if (!rounded) {
    return significantDigitsByConversion(value);
  }
  SignificantDigits result;
  result.exponent = rounded->exponent;
  result.negative = std::signbit(value);
  std::uint64_t rest = rounded->digits;
  for (std::size_t i = result.digits.size(); i-- > 0;) {
    result.digits[i] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  dropTrailingZeros(result);
  return result;
}

char* writeDigits(char* out, const SignificantDigits& d, int first, int last) {
  for (int i = first; i < last; ++i) {
    *out++ = d[i];
  }
  return out;
}

// "d.ddddde+XXX": the exponent with its sign and at least three digits.
char* writeScientific(char* out, const SignificantDigits& d) {
  *out++ = d[0];
  if (d.kept > 1) {
    *out++ = '.';
    out = writeDigits(out, d, 1, d.kept);
  }
  *out++ = 'e';
  *out++ = d.exponent < 0 ? '-' : '+';
  const int magnitude = d.exponent < 0 ? -d.exponent : d.exponent;
  if (magnitude < 100) {
    *out++ = '0';
  }
  if (magnitude < 10) {
    *out++ = '0';
  }
  return std::to_chars(out, out + 4, magnitude).ptr;
}

// "0.000ddd" for exponents -4..-1, "ddd.ddd" for 0..5.
char* writeFixed(char* out, const SignificantDigits& d) {
  if (d.exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int i = d.exponent; i < -1; ++i) {
      *out++ = '0';
    }
    return writeDigits(out, d, 0, d.kept);
  }
  out = writeDigits(out, d, 0, d.exponent + 1);
  if (d.kept > d.exponent + 1) {
    *out++ = '.';
    out = writeDigits(out, d, d.exponent + 1, d.kept);
  }
  return out;
}

}  // namespace

char* formatNumber(char* out, double value) {
  if (std::isnan(value)) {
    return copyText(out, "-1.#IND");
  }
  if (std::isinf(value)) {
    return copyText(out, value > 0 ? "1.#INF" : "-1.#INF");
  }
  const SignificantDigits digits = significantDigitsOf(value);
  if (digits.negative) {
    *out++ = '-';
  }
  if (digits.exponent < -4 || digits.exponent >= 6) {
    return writeScientific(out, digits);
  }
  return writeFixed(out, digits);
}

}  // namespace skarvel
