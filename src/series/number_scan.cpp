#include "number_scan.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
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
std::int64_t leadingDigitExponent(const char* first, const char* last) {
  std::int64_t leading = 0;
  std::int64_t position = (std::find_if_not(first, last, isDigit) - first) - 1;
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
  std::int64_t exponent = 0;
  if (p != last) {  // 'e' or 'E', optional sign, digits
    ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
      ++p;
    }
    for (; p != last; ++p) {
      exponent = std::min<std::int64_t>(exponent * 10 + (*p - '0'), kExponentLimit);
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

// The first 19 significant digits of a number's mantissa and the decimal exponent that applies
// to them. The counters saturate, so a digit run of any length is safe: beyond the limits only
// the exact conversion of the whole text is used.
struct DecimalDigits {
  std::uint64_t mantissa = 0;
  int significant = 0;
  int exponent = 0;
  bool anyDigit = false;
};

constexpr int kMantissaDigits = 19;
constexpr int kCounterLimit = 1000000;

void countSignificantDigit(DecimalDigits& digits, char c, bool afterPoint) {
  if (digits.significant < kMantissaDigits) {
    digits.mantissa = digits.mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    digits.exponent -= afterPoint ? 1 : 0;
  } else if (!afterPoint) {
    digits.exponent = std::min(digits.exponent + 1, kCounterLimit);
  }
  digits.significant = std::min(digits.significant + 1, kCounterLimit);
}

// Scans digits with an optional '.' and more digits; returns the end.
const char* scanMantissa(const char* p, DecimalDigits& digits) {
  for (; isDigit(*p); ++p) {
    digits.anyDigit = true;
    if (digits.mantissa != 0 || *p != '0') {
      countSignificantDigit(digits, *p, false);
    }
  }
  if (*p != '.') {
    return p;
  }
  for (++p; isDigit(*p); ++p) {
    digits.anyDigit = true;
    if (digits.mantissa != 0 || *p != '0') {
      countSignificantDigit(digits, *p, true);
    } else {
      digits.exponent = std::max(digits.exponent - 1, -kCounterLimit);
    }
  }
  return p;
}

// Scans an optional exponent at `p` into `digits`; returns the end of what it consumed and moves
// `numberEnd` behind the exponent when it has digits. An exponent without digits ("1e", "2E-")
// is consumed but is not part of the number.
const char* scanExponent(const char* p, DecimalDigits& digits, const char*& numberEnd) {
  if (*p != 'e' && *p != 'E') {
    return p;
  }
  const char* q = p + 1;
  bool negativeExponent = false;
  if (*q == '+' || *q == '-') {
    negativeExponent = *q == '-';
    ++q;
  }
  if (isDigit(*q)) {
    int explicitExponent = 0;
    for (; isDigit(*q); ++q) {
      explicitExponent = std::min(explicitExponent * 10 + (*q - '0'), kExponentLimit);
    }
    digits.exponent += negativeExponent ? -explicitExponent : explicitExponent;
    numberEnd = q;
  }
  return q;
}

// scanDouble, and with `kWholeToken` scanDoubleToken.
template <bool kWholeToken>
NumberScan scanNumber(const char* text, double& value) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  const char* mantissaStart = p;
  DecimalDigits digits;
  p = scanMantissa(p, digits);
  if (!digits.anyDigit) {
    return {p, false};
  }
  const char* numberEnd = p;
  p = scanExponent(p, digits, numberEnd);
  if constexpr (kWholeToken) {
    if (numberEnd != p) {
      return {p, false};  // an exponent without digits
    }
  }

  double magnitude = 0.0;
  if (digits.mantissa == 0) {
    magnitude = 0.0;
  } else if (digits.significant <= kFastPathDigits && digits.exponent >= -22 &&
             digits.exponent <= 22) {
    // Both operands are exact, so one IEEE operation gives the correctly rounded result.
    const auto exact = static_cast<double>(digits.mantissa);
    const auto power =
        static_cast<std::size_t>(digits.exponent < 0 ? -digits.exponent : digits.exponent);
    magnitude =
        digits.exponent >= 0 ? exact * kExactPowersOfTen[power] : exact / kExactPowersOfTen[power];
  } else {
    magnitude = convertExactly(mantissaStart, numberEnd);
    if constexpr (kWholeToken) {
      if (std::isinf(magnitude)) {
        return {p, false};
      }
    }
  }
  value = negative ? -magnitude : magnitude;
  return {p, true};
}

}  // namespace

NumberScan scanDouble(const char* text, double& value) {
  return scanNumber<false>(text, value);
}

NumberScan scanDoubleToken(const char* text, double& value) {
  return scanNumber<true>(text, value);
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
