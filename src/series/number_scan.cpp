#include "number_scan.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

namespace skarvel {

namespace {

using number_detail::isDigit;
using number_detail::kExactPowersOfTen;

// A mantissa of at most this many significant digits is below 2^53 and so exact in a double.
constexpr int kFastPathDigits = 15;
constexpr int kExponentLimit = 100000;

// The decimal exponent of the leading significant digit of the number text [first, last)
// (digits, optional point, digits, optional exponent; no sign). Only called for a magnitude out
// of range, which has a nonzero digit: a positive result means overflow, otherwise underflow.
long leadingDigitExponent(const char* first, const char* last) {
  long leading = 0;
  long position = static_cast<long>(std::find_if_not(first, last, isDigit) - first) - 1;
  bool found = false;
  const char* p = first;
  for (; p != last && (isDigit(*p) || *p == '.'); ++p) {
    if (*p == '.') {
      continue;
    }
    if (!found && *p != '0') {
      leading = position;
      found = true;
    }
    --position;
  }
  long exponent = 0;
  if (p != last) {  // 'e' or 'E', optional sign, digits
    ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
      ++p;
    }
    for (; p != last; ++p) {
      exponent = std::min<long>(exponent * 10 + (*p - '0'), kExponentLimit);
    }
    exponent = negative ? -exponent : exponent;
  }
  return leading + exponent;
}

// Converts the valid number text [first, last) (no sign) with full precision.
double convertExactly(const char* first, const char* last) {
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    return leadingDigitExponent(first, last) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

}  // namespace

NumberScan scanDouble(const char* text, double& value) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  const char* mantissaStart = p;

  std::uint64_t mantissa = 0;
  int significantDigits = 0;
  int exponent = 0;  // decimal exponent that applies to `mantissa`
  bool anyDigit = false;

  while (isDigit(*p)) {
    anyDigit = true;
    if (mantissa != 0 || *p != '0') {
      if (significantDigits < 19) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
      } else {
        ++exponent;
      }
      ++significantDigits;
    }
    ++p;
  }
  if (*p == '.') {
    ++p;
    while (isDigit(*p)) {
      anyDigit = true;
      if (mantissa != 0 || *p != '0') {
        if (significantDigits < 19) {
          mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
          --exponent;
        }
        ++significantDigits;
      } else {
        --exponent;
      }
      ++p;
    }
  }
  if (!anyDigit) {
    return {p, false};
  }

  const char* numberEnd = p;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    bool negativeExponent = false;
    if (*q == '+' || *q == '-') {
      negativeExponent = *q == '-';
      ++q;
    }
    if (isDigit(*q)) {
      int explicitExponent = 0;
      while (isDigit(*q)) {
        explicitExponent = std::min(explicitExponent * 10 + (*q - '0'), kExponentLimit);
        ++q;
      }
      exponent += negativeExponent ? -explicitExponent : explicitExponent;
      numberEnd = q;
    }
    p = q;  // an exponent without digits is consumed but is not part of the number
  }

  double magnitude = 0.0;
  if (mantissa == 0) {
    magnitude = 0.0;
  } else if (significantDigits <= kFastPathDigits && exponent >= -22 && exponent <= 22) {
    // Both operands are exact, so one IEEE operation gives the correctly rounded result.
    const auto exact = static_cast<double>(mantissa);
    magnitude = exponent >= 0 ? exact * kExactPowersOfTen[static_cast<std::size_t>(exponent)]
                              : exact / kExactPowersOfTen[static_cast<std::size_t>(-exponent)];
  } else {
    magnitude = convertExactly(mantissaStart, numberEnd);
  }
  value = negative ? -magnitude : magnitude;
  return {p, true};
}

NumberScan scanInt32(const char* text, std::int32_t& value) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (!isDigit(*p)) {
    return {p, false};
  }
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  bool overflow = false;
  while (isDigit(*p)) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kLimit) {
      overflow = true;
      magnitude = kLimit + 1;
    }
    ++p;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (overflow || signedValue > std::numeric_limits<std::int32_t>::max() ||
      signedValue < std::numeric_limits<std::int32_t>::min()) {
    return {p, false};
  }
  value = static_cast<std::int32_t>(signedValue);
  return {p, true};
}

int numberConversionResult(const char* text) {
  const char* p = text;
  while (isSpace(*p)) {
    ++p;
  }
  if (*p == '\0') {
    return -1;
  }
  double ignored = 0.0;
  return scanDouble(p, ignored).ok ? 1 : 0;
}

}  // namespace skarvel
