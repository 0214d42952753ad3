// Plain reference implementations the fuzz targets hold the tool's code against, written
// independently of it: slow, obvious, character by character.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace skarvel::fuzzing {

// Ends the process with a message when a property does not hold: libFuzzer keeps the input.
inline void require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

inline bool digit(char c) {
  return c >= '0' && c <= '9';
}

// How a stream conversion of a decimal number reads `text` (which ends in a NUL): `consumed`
// characters are taken, of which the first `numberLength` form the number (0: no number).
struct ReferenceScan {
  std::size_t consumed = 0;
  std::size_t numberLength = 0;
};

inline ReferenceScan referenceNumberScan(const char* text) {
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') {
    ++i;
  }
  std::size_t mantissaDigits = 0;
  while (digit(text[i])) {
    ++i;
    ++mantissaDigits;
  }
  if (text[i] == '.') {
    ++i;
    while (digit(text[i])) {
      ++i;
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) {
    return {i, 0};
  }
  std::size_t numberEnd = i;
  if (text[i] == 'e' || text[i] == 'E') {
    std::size_t j = i + 1;
    if (text[j] == '+' || text[j] == '-') {
      ++j;
    }
    if (digit(text[j])) {
      while (digit(text[j])) {
        ++j;
      }
      numberEnd = j;
    }
    i = j;
  }
  return {i, numberEnd};
}

// The correctly rounded value of a number text as the C library's strtod gives it in the "C"
// locale (which every program starts in); infinity and zero where the magnitude is out of range.
inline double referenceValue(std::string_view number) {
  const std::string text(number);
  return std::strtod(text.c_str(), nullptr);
}

// A "%lf" conversion at the start of a C string: 1 number, 0 no number, -1 only white space.
inline int referenceConversion(const char* text) {
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
         *text == '\r') {
    ++text;
  }
  if (*text == '\0') {
    return -1;
  }
  return referenceNumberScan(text).numberLength > 0 ? 1 : 0;
}

}  // namespace skarvel::fuzzing
