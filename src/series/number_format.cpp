// The six digits come from integers: the double's 53-bit significand times a 128-bit power of
// ten (a table made at compile time) gives the value scaled to six digits before the point and
// 64 exact-enough bits of fraction after it. Only where those bits cannot tell which side of a
// midpoint between two six-digit numbers the value lies (exact midpoints among them) does the
// standard library's exact conversion decide.
#include "number_format.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
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

// The scale factors 10^(5 - k) for the decimal exponent k of every double's first digit, and of
// its estimate: -324 (4.9e-324) to 308 (1.8e308).
constexpr int kSmallestPower = 5 - 308;
constexpr int kLargestPower = 5 + 324;
constexpr int kPowerCount = kLargestPower - kSmallestPower + 1;

// An unsigned integer of 1248 bits, wide enough for 10^329 * 2^128 and for 2^1200 / 10^303 to
// keep more than 128 significant bits.
class BigNumber {
 public:
  static constexpr int kBits = 1248;

  constexpr explicit BigNumber(int powerOfTwo)
      : used_(static_cast<std::size_t>(powerOfTwo / 32) + 1) {
    limbs_[used_ - 1] = std::uint32_t{1} << (powerOfTwo % 32);
  }

  constexpr void multiplyByTen() {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < used_; ++i) {
      const std::uint64_t product = std::uint64_t{limbs_[i]} * 10 + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) {
      limbs_[used_++] = static_cast<std::uint32_t>(carry);
    }
  }

  // Rounds down: repeated, it gives the quotient by the power of ten exactly.
  constexpr void divideByTen() {
    std::uint64_t remainder = 0;
    for (std::size_t i = used_; i-- > 0;) {
      const std::uint64_t dividend = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(dividend / 10);
      remainder = dividend % 10;
    }
    if (limbs_[used_ - 1] == 0) {
      --used_;
    }
  }

  // The position of the top bit; the number is not zero.
  constexpr int topBit() const {
    return static_cast<int>(used_ - 1) * 32 + static_cast<int>(std::bit_width(limbs_[used_ - 1])) -
           1;
  }

  // The 64 bits from bit `first` (at least 0) up.
  constexpr std::uint64_t bitsFrom(int first) const {
    const auto limb = static_cast<std::size_t>(first / 32);
    const int offset = first % 32;
    const std::uint64_t low = limbAt(limb) | (limbAt(limb + 1) << 32);
    if (offset == 0) {
      return low;
    }
    return (low >> offset) | (limbAt(limb + 2) << (64 - offset));
  }

 private:
  constexpr std::uint64_t limbAt(std::size_t i) const { return i < limbs_.size() ? limbs_[i] : 0; }

  std::array<std::uint32_t, kBits / 32> limbs_{};
  std::size_t used_ = 0;  // the limbs up to the top one that is not zero
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
  constexpr int kLowBits = 128;
  BigNumber positive(kLowBits);  // 10^n * 2^128: 128 significant bits even for 10^0
  for (int power = 0; power <= kLargestPower; ++power) {
    entry(power) = topBitsOf(positive, -kLowBits);
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
// in units of 2^-64, is at least `fraction` and less than `fraction + 2`: the bits cut off add
// less than one unit, the table's truncation less than 2^-38 of one.
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

constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;

// The exact fraction, from `fraction` to below `fraction + 2`, may lie on either side of one half.
bool nearOneHalf(std::uint64_t fraction) {
  return fraction - (kHalf - 1) < 2;
}

constexpr std::uint32_t kSixDigits = 100000;
constexpr std::uint32_t kSevenDigits = 1000000;

// A magnitude rounded to six significant digits: digits * 10^(exponent - 5), digits from 100000
// to 999999; zero is {0, 0}.
struct Decimal {
  std::uint32_t digits = 0;
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
  if (nearOneHalf(scaled.fraction)) {
    return std::nullopt;
  }
  const auto roundedUp = static_cast<std::uint32_t>(scaled.fraction > kHalf ? 1 : 0);
  const Decimal rounded{static_cast<std::uint32_t>(scaled.integer) + roundedUp, exponent};
  if (rounded.digits == kSevenDigits) {
    return Decimal{kSixDigits, exponent + 1};
  }
  return rounded;
}

// By the standard library's exact conversion to "d.ddddde+XX": for the magnitudes next to a
// midpoint.
Decimal roundedByConversion(double magnitude) {
  std::array<char, kMaxNumberText> scientific{};
  const auto converted = std::to_chars(scientific.data(), scientific.data() + scientific.size(),
                                       magnitude, std::chars_format::scientific, 5);
  const char* p = scientific.data();
  Decimal result;
  for (const char digit : {p[0], p[2], p[3], p[4], p[5], p[6]}) {
    result.digits = result.digits * 10 + static_cast<std::uint32_t>(digit - '0');
  }
  std::from_chars(p + 8 + (p[8] == '+' ? 1 : 0), converted.ptr, result.exponent);
  return result;
}

Decimal roundedToSixDigits(double magnitude) {
  if (std::equal_to<>{}(magnitude, 0.0)) {  // exactly zero: no digits to round
    return {};
  }
  if (const std::optional<Decimal> rounded = roundedByTable(magnitude)) {
    return *rounded;
  }
  return roundedByConversion(magnitude);
}

// ---- Text

// The text of each number from 0 to 99 in two digits.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

void copyPair(char* out, std::uint32_t number) {
  std::memcpy(out, &kDigitPairs[std::size_t{2} * number], 2);
}

// The six digits of a Decimal after four zeros ("0000dddddd"), with room to copy sixteen bytes
// from any of them, and how many digits are left without the trailing zeros (at least one).
struct DigitText {
  static constexpr std::size_t kFirst = 4;

  std::array<char, 32> chars{'0', '0', '0', '0'};
  int kept = 6;

  const char* digit(int i) const { return &chars[kFirst + static_cast<std::size_t>(i)]; }
};

DigitText digitTextOf(std::uint32_t digits) {
  DigitText text;
  const std::uint32_t lastFour = digits % 10000;
  copyPair(&text.chars[DigitText::kFirst], digits / 10000);
  copyPair(&text.chars[DigitText::kFirst + 2], lastFour / 100);
  copyPair(&text.chars[DigitText::kFirst + 4], lastFour % 100);
  while (text.kept > 1 && *text.digit(text.kept - 1) == '0') {
    --text.kept;
  }
  return text;
}

char* copyText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// The writers below copy eight digits at a time and return the end of what they mean: the
// bytes after it up to kMaxNumberText are scratch.

// "d.ddddde+XXX": the exponent with its sign and three digits (it is at most 324).
char* writeScientific(char* out, const DigitText& text, int exponent) {
  out[0] = *text.digit(0);
  out[1] = '.';
  std::memcpy(out + 2, text.digit(1), 8);
  out += text.kept > 1 ? text.kept + 1 : 1;
  const auto magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
  out[0] = 'e';
  out[1] = exponent < 0 ? '-' : '+';
  out[2] = static_cast<char>('0' + magnitude / 100);
  copyPair(out + 3, magnitude % 100);
  return out + 5;
}

// "0.000ddd" to "dddddd" for exponents -4 to 5. After the four zeros before the digits, the
// units digit is digit `exponent` for every exponent: the integer part ends there and the
// fraction follows it.
char* writeFixed(char* out, const DigitText& text, int exponent) {
  const int integerDigits = exponent < 0 ? 1 : exponent + 1;
  const int fractionDigits = text.kept - 1 - exponent;  // up to 9, or none
  std::memcpy(out, text.digit(exponent + 1 - integerDigits), 8);
  out += integerDigits;
  if (fractionDigits <= 0) {
    return out;
  }
  *out = '.';
  std::memcpy(out + 1, text.digit(exponent + 1), 16);
  return out + 1 + fractionDigits;
}

}  // namespace

char* formatNumber(char* out, double value) {
  if (std::isnan(value)) {
    return copyText(out, "-1.#IND");
  }
  if (std::isinf(value)) {
    return copyText(out, value > 0 ? "1.#INF" : "-1.#INF");
  }
  if (std::signbit(value)) {
    *out++ = '-';
  }
  const Decimal rounded = roundedToSixDigits(std::fabs(value));
  const DigitText text = digitTextOf(rounded.digits);
  if (rounded.exponent < -4 || rounded.exponent >= 6) {
    return writeScientific(out, text, rounded.exponent);
  }
  return writeFixed(out, text, rounded.exponent);
}

}  // namespace skarvel
