// Number scanning: decimal numbers and integers read from text as formatted stream input reads
// them, each the correctly rounded value, without locale, allocation or exceptions.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace skarvel {

// Where a number scan stopped and whether it produced a number. `next` points behind every
// character the scan consumed, which is more than the number when the scan had to look ahead
// ("1e+" consumes three characters and yields 1; "-" consumes one and fails).
struct NumberScan {
  const char* next;
  bool ok;
};

namespace number_detail {

constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The eight bytes at `text`, the first in the lowest byte.
inline std::uint64_t loadWord(const char* text) {
  std::uint64_t word = 0;
  std::memcpy(&word, text, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    std::uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i) {
      swapped = (swapped << 8) | ((word >> (8 * i)) & 0xFF);
    }
    word = swapped;
  }
  return word;
}

// Given a word of characters minus '0' (as `c ^ '0'`), sets the high bit of every byte that is
// no digit: one of 10 or more (its low seven bits plus 0x76 reach 0x80, with no carry into the
// next byte) or with its high bit set.
inline std::uint64_t nonDigitBytes(std::uint64_t offsets) {
  return (((offsets & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | offsets) &
         0x8080808080808080ULL;
}

// Sets the high bit of every zero byte of `word`, exactly (no borrow between bytes).
inline std::uint64_t zeroBytes(std::uint64_t word) {
  const std::uint64_t nonZero = ((word & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | word;
  return ~nonZero & 0x8080808080808080ULL;
}

// The value of eight digits 0..9 held one per byte, the first in the lowest byte: combines
// pairs, quadruples and octets of digits by multiplication.
inline std::uint64_t eightDigitsValue(std::uint64_t digits) {
  digits = (digits * 10) + (digits >> 8);
  digits = (((digits & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
            (((digits >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
           32;
  return static_cast<std::uint32_t>(digits);
}

}  // namespace number_detail

// Scans a decimal number at `text` (no leading white space is skipped): optional sign, digits
// with an optional '.' and more digits or a '.' followed by digits, optional exponent. The text
// must end in a character that cannot continue a number (a NUL terminator does). The value is
// the correctly rounded double; out-of-range magnitudes give infinity or zero. Up to 15
// significant digits with a power of ten within 1e-22..1e22 take one exact IEEE multiply or
// divide; everything else goes through std::from_chars.
NumberScan scanDouble(const char* text, double& value);

// scanDouble for a token that has to be one number whole, as a plain data row's values are: a
// number whose exponent has no digits ("1e", "2E-") or whose magnitude is beyond the double range
// fails, with what scanDouble would consume. Every other number reads as scanDouble reads it.
NumberScan scanDoubleToken(const char* text, double& value);

// Scans a decimal integer at `text`: optional sign, digits. A value outside the signed 32-bit
// range fails, with its digits consumed.
NumberScan scanInt32(const char* text, std::int32_t& value);

// White space as the C locale's isspace sees it: blank, \t, \n, \v, \f, \r.
constexpr bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// What a formatted "%lf" conversion at the start of `text` gives: 1 when a number was read,
// 0 when the first token does not start a number, -1 when only white space remains. The text
// ends at its first NUL.
int numberConversionResult(const char* text);

// Bytes that must be readable behind the text given to scanDoublePadded (they need not be part
// of it).
inline constexpr std::size_t kReadPadding = 64;

namespace number_detail {

// scanDoublePadded with `kGeneral` for anything but a short plain decimal.
template <NumberScan (*kGeneral)(const char*, double&)>
inline NumberScan scanShortDecimalPadded(const char* text, double& value) {
  const std::uint64_t word = loadWord(text);
  const std::uint64_t offsets = word ^ 0x3030303030303030ULL;
  const std::uint64_t points = zeroBytes(word ^ 0x2E2E2E2E2E2E2E2EULL);
  const std::uint64_t first = word & 0xFF;
  const bool negative = first == '-';
  const std::uint64_t sign = (negative || first == '+') ? 0xFF : 0;
  // The number ends at the first byte that is no digit, no point and not the leading sign.
  const std::uint64_t enders = nonDigitBytes(offsets) & ~points & ~(sign & 0x80);
  const int end = std::countr_zero(enders) / 8;  // 8: not within this word
  const std::uint64_t pointsInside = points & ((std::uint64_t{1} << (8 * (end & 7))) - 1);
  const int length = end - (pointsInside != 0 ? 1 : 0) - (sign != 0 ? 1 : 0);
  if (end == 8 || (pointsInside & (pointsInside - 1)) != 0 || length == 0 ||
      (((word >> (8 * end)) & 0xFF) | 0x20) == 'e') {
    return kGeneral(text, value);  // longer, two points, no digit, or an exponent
  }
  // Drop the point byte, zero the sign byte, move the digits to the high end (the bytes below
  // act as leading zeros) and convert them: at most seven digits, so the division rounds
  // correctly.
  const int pointAt = pointsInside != 0 ? std::countr_zero(pointsInside) / 8 : end;
  const int fractionDigits = pointsInside != 0 ? end - pointAt - 1 : 0;
  const std::uint64_t beforePoint = (std::uint64_t{1} << (8 * pointAt)) - 1;
  const std::uint64_t packed = ((offsets & beforePoint) | ((offsets >> 8) & ~beforePoint)) & ~sign;
  const int packedBytes = end - (pointsInside != 0 ? 1 : 0);
  const std::uint64_t mantissa = eightDigitsValue(packed << (64 - 8 * packedBytes));
  const double magnitude =
      static_cast<double>(mantissa) / kExactPowersOfTen[static_cast<std::size_t>(fractionDigits)];
  value = negative ? -magnitude : magnitude;
  return {text + end, true};
}

}  // namespace number_detail

// scanDouble for text followed by at least kReadPadding readable bytes. A number of at most
// seven characters without exponent, the usual shape of model output ("0.523", "-12.75",
// "-9999"), is read from one 8-byte word without a branch per character, and where it ends is
// found with a single bit scan: the reading loop's hot path. Anything else goes to scanDouble.
inline NumberScan scanDoublePadded(const char* text, double& value) {
  return number_detail::scanShortDecimalPadded<scanDouble>(text, value);
}

// scanDoubleToken for text followed by at least kReadPadding readable bytes, with the word path
// of scanDoublePadded.
inline NumberScan scanDoubleTokenPadded(const char* text, double& value) {
  return number_detail::scanShortDecimalPadded<scanDoubleToken>(text, value);
}

}  // namespace skarvel
