// The fast number paths against std::from_chars, bit for bit, over a million seeded random
// decimal strings of every shape the number grammar allows.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "number_scan.hpp"
#include "seeded_random.hpp"

namespace skarvel {
namespace {

using Random = testing::SeededRandom;

// Digit counts favour the short shapes of model output but reach past every fast-path limit.
int digitCount(Random& random) {
  const int kind = random.below(10);
  return kind < 7 ? random.below(5) : kind < 9 ? random.below(12) : random.below(40);
}

void appendDigits(std::string& text, Random& random, int count) {
  for (int i = 0; i < count; ++i) {
    // Leading and trailing zeros come often enough to matter.
    text += static_cast<char>('0' + (random.below(4) == 0 ? 0 : random.below(10)));
  }
}

std::string randomDecimal(Random& random) {
  std::string text;
  const int sign = random.below(4);
  if (sign == 1) {
    text += '-';
  } else if (sign == 2) {
    text += '+';
  }
  int integerDigits = digitCount(random);
  const bool point = random.below(3) != 0;
  int fractionDigits = point ? digitCount(random) : 0;
  if (integerDigits + fractionDigits == 0) {
    (point ? fractionDigits : integerDigits) = 1;
  }
  appendDigits(text, random, integerDigits);
  if (point) {
    text += '.';
  }
  appendDigits(text, random, fractionDigits);
  if (random.below(5) == 0) {
    text += random.below(2) == 0 ? 'e' : 'E';
    const int exponentSign = random.below(3);
    if (exponentSign == 1) {
      text += '-';
    } else if (exponentSign == 2) {
      text += '+';
    }
    const int magnitude = random.below(4) == 0 ? random.below(400) : random.below(30);
    text += std::to_string(magnitude);
  }
  return text;
}

// What std::from_chars gives for a text of the grammar ('+' is not in its grammar); false when
// the magnitude is out of range.
bool reference(const std::string& text, double& value) {
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const auto result = std::from_chars(first, text.data() + text.size(), value);
  EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
  return result.ec == std::errc();
}

TEST(NumberFastPath, MatchesFromCharsBitForBit) {
  Random random(20260101);
  int checked = 0;
  int outOfRange = 0;
  for (int i = 0; i < 1'000'000; ++i) {
    const std::string text = randomDecimal(random);
    const std::string padded = text + std::string(kReadPadding, ' ');

    double plain = 0.0;
    double fast = 0.0;
    const NumberScan plainScan = scanDouble(padded.c_str(), plain);
    const NumberScan fastScan = scanDoublePadded(padded.c_str(), fast);
    ASSERT_TRUE(plainScan.ok && fastScan.ok) << text;
    ASSERT_EQ(plainScan.next - padded.c_str(), static_cast<std::ptrdiff_t>(text.size())) << text;
    ASSERT_EQ(fastScan.next - padded.c_str(), static_cast<std::ptrdiff_t>(text.size())) << text;

    double expected = 0.0;
    if (!reference(text, expected)) {
      // Out of range: infinity for huge magnitudes, zero for tiny ones, with the text's sign.
      ++outOfRange;
      ASSERT_TRUE(std::isinf(plain) || std::equal_to<>{}(plain, 0.0)) << text;  // exactly zero
      ASSERT_EQ(std::bit_cast<std::uint64_t>(plain), std::bit_cast<std::uint64_t>(fast)) << text;
      continue;
    }
    ASSERT_EQ(std::bit_cast<std::uint64_t>(plain), std::bit_cast<std::uint64_t>(expected)) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(fast), std::bit_cast<std::uint64_t>(expected)) << text;
    ++checked;
  }
  EXPECT_GT(checked, 980'000);
  EXPECT_GT(outOfRange, 0);
}

TEST(NumberFastPath, StopsWhereTheGeneralScanStops) {
  // Shapes at the edges of the one-word path: the sign, eight characters, a point at the end,
  // an exponent or junk right behind the digits.
  const char* const texts[] = {"-1234567 ", "12345678 ", "-123456. ", "1234567.", "-.5 ",
                               ".",         "-",         "+",         "-.",       "1.5e3 ",
                               "1.5E",      "1.5x",      "1.2.3",     "0x10",     "-0 ",
                               "+0.000 ",   "9999999 ",  "-9999999.9"};
  for (const char* text : texts) {
    const std::string padded = std::string(text) + std::string(kReadPadding, '\0');
    double plain = -1.0;
    double fast = -1.0;
    const NumberScan plainScan = scanDouble(padded.c_str(), plain);
    const NumberScan fastScan = scanDoublePadded(padded.c_str(), fast);
    EXPECT_EQ(plainScan.ok, fastScan.ok) << text;
    EXPECT_EQ(plainScan.next, fastScan.next) << text;
    if (plainScan.ok) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(plain), std::bit_cast<std::uint64_t>(fast)) << text;
    }
  }
}

}  // namespace
}  // namespace skarvel
