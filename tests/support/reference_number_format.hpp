// The averages files' number text as the tool first wrote it, through std::to_chars: the
// reference the fast formatNumber is held to, byte for byte, and the benchmark's baseline.
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "number_format.hpp"

namespace skarvel::testing {

namespace reference_format {

inline char* copyText(char* out, std::string_view text) {
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

inline SignificantDigits significantDigitsOf(double value) {
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
  while (result.kept > 1 && result[result.kept - 1] == '0') {
    --result.kept;
  }
  return result;
}

inline char* writeDigits(char* out, const SignificantDigits& d, int first, int last) {
  for (int i = first; i < last; ++i) {
    *out++ = d[i];
  }
  return out;
}

// "d.ddddde+XXX": the exponent with its sign and at least three digits.
inline char* writeScientific(char* out, const SignificantDigits& d) {
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
inline char* writeFixed(char* out, const SignificantDigits& d) {
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

}  // namespace reference_format

// What formatNumber writes, by one std::to_chars conversion to "d.ddddde+XX" per value.
inline char* referenceFormatNumber(char* out, double value) {
  using namespace reference_format;
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

}  // namespace skarvel::testing
