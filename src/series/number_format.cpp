#include "number_format.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace skarvel {

namespace {

char* copyText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

}  // namespace

char* formatNumber(char* out, double value) {
  if (std::isnan(value)) {
    return copyText(out, "-1.#IND");
  }
  if (std::isinf(value)) {
    return copyText(out, value > 0 ? "1.#INF" : "-1.#INF");
  }

  // Six significant digits, rounded once: "d.ddddde+XX".
  std::array<char, kMaxNumberText> scientific{};
  const auto converted = std::to_chars(scientific.data(), scientific.data() + scientific.size(),
                                       value, std::chars_format::scientific, 5);
  const char* p = scientific.data();
  if (*p == '-') {
    *out++ = '-';
    ++p;
  }
  std::array<char, 6> digits{};
  digits[0] = *p;
  std::memcpy(&digits[1], p + 2, 5);
  int exponent = 0;
  std::from_chars(p + 8 + (p[8] == '+' ? 1 : 0), converted.ptr, exponent);

  int kept = 6;  // significant digits left after dropping trailing zeros
  while (kept > 1 && digits[static_cast<std::size_t>(kept - 1)] == '0') {
    --kept;
  }
  const auto digit = [&](int i) { return digits[static_cast<std::size_t>(i)]; };

  if (exponent < -4 || exponent >= 6) {
    *out++ = digit(0);
    if (kept > 1) {
      *out++ = '.';
      for (int i = 1; i < kept; ++i) {
        *out++ = digit(i);
      }
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 100) {
      *out++ = '0';
    }
    if (magnitude < 10) {
      *out++ = '0';
    }
    return std::to_chars(out, out + 4, magnitude).ptr;
  }
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int i = exponent; i < -1; ++i) {
      *out++ = '0';
    }
    for (int i = 0; i < kept; ++i) {
      *out++ = digit(i);
    }
    return out;
  }
  for (int i = 0; i <= exponent; ++i) {
    *out++ = digit(i);
  }
  if (kept > exponent + 1) {
    *out++ = '.';
    for (int i = exponent + 1; i < kept; ++i) {
      *out++ = digit(i);
    }
  }
  return out;
}

}  // namespace skarvel
