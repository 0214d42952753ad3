#include "number_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "seeded_random.hpp"

namespace skarvel {
namespace {

std::string format(double value) {
  char text[kMaxNumberText];
  return std::string(text, formatNumber(text, value));
}

TEST(FormatNumber, WritesSixSignificantDigits) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, std::string> cases[] = {
      {0.5, "0.5"},
      {12.0, "12"},
      {0.0, "0"},
      {-0.0, "-0"},
      {1234567.0, "1.23457e+006"},
      {0.00001, "1e-005"},
      {0.0001, "0.0001"},
      {0.00012345678, "0.000123457"},
      {999999.0, "999999"},
      {999999.5, "1e+006"},
      {100000.0, "100000"},
      {123456.4, "123456"},
      {-2.5, "-2.5"},
      {1.0 / 3.0, "0.333333"},
      {2.0 / 3.0, "0.666667"},
      {-9999.0, "-9999"},
      {1e100, "1e+100"},
      {1.5e300, "1.5e+300"},
      {-1e-300, "-1e-300"},
      {4.9e-324, "4.94066e-324"},
      {0.000099999951, "0.0001"},
      {2.0000004, "2"},
      {inf, "1.#INF"},
      {-inf, "-1.#INF"},
      {std::numeric_limits<double>::quiet_NaN(), "-1.#IND"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(format(value), expected) << value;
  }
}

TEST(FormatNumber, WritesAtLeastThreeExponentDigits) {
  const std::pair<double, std::string> cases[] = {
      {1e6, "1e+006"},
      {-1e6, "-1e+006"},
      {1e10, "1e+010"},
      {-1e10, "-1e+010"},
      {1.5e-7, "1.5e-007"},
      {1e-10, "1e-010"},
      {1.23456e-5, "1.23456e-005"},
      {9.99999e99, "9.99999e+099"},
      {-9.99999e99, "-9.99999e+099"},
      {9.99999e-99, "9.99999e-099"},
      {9.9999949e99, "9.99999e+099"},
      {9.9999951e99, "1e+100"},
      {1e99, "1e+099"},
      {1e-99, "1e-099"},
      {1e-100, "1e-100"},
      {123456789012.0, "1.23457e+011"},
      {1e15, "1e+015"},
      {4.5e-9, "4.5e-009"},
      {std::numeric_limits<double>::max(), "1.79769e+308"},
      {std::numeric_limits<double>::min(), "2.22507e-308"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(format(value), expected) << value;
  }
}

// "%.6g" with the exponent widened to at least three digits.
std::string printfReference(double value) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%.6g", value);
  std::string printed(text, static_cast<std::size_t>(length));
  const std::size_t e = printed.find('e');
  if (e == std::string::npos) {
    return printed;
  }
  const std::size_t digits = e + 2;  // past the exponent's sign
  const std::size_t count = printed.size() - digits;
  if (count < 3) {
    printed.insert(digits, 3 - count, '0');
  }
  return printed;
}

TEST(FormatNumber, AgreesWithPrintfOverEveryMagnitude) {
  testing::SeededRandom random(20010131);
  int compared = 0;
  int mismatches = 0;
  const auto compare = [&](double value) {
    if (!std::isfinite(value)) {
      return;
    }
    ++compared;
    const std::string expected = printfReference(value);
    const std::string got = format(value);
    if (got != expected && ++mismatches <= 20) {
      ADD_FAILURE() << "value " << printfReference(value) << " (bits " << std::hex
                    << std::bit_cast<std::uint64_t>(value) << std::dec << "): got " << got
                    << ", expected " << expected;
    }
  };
  for (int i = 0; i < 100000; ++i) {
    // Any bit pattern: every exponent, subnormals included.
    compare(std::bit_cast<double>(random.next()));
    // Short decimals of every decimal magnitude, where six digits often round at a tie or a
    // carry into the next power of ten.
    const double mantissa = static_cast<double>(random.below(100000000)) / 1e7;
    const int exponent = random.below(640) - 325;
    const double scaled = mantissa * std::pow(10.0, exponent);
    compare(random.below(2) == 0 ? scaled : -scaled);
    // Values just beside a power of ten and beside the six-digit rounding points.
    const double power = std::pow(10.0, random.below(620) - 310);
    const double beside = power * (1.0 - 5e-7 + static_cast<double>(random.below(1000)) * 1e-9);
    compare(beside);
    compare(std::nextafter(beside, 0.0));
  }
  EXPECT_GT(compared, 390000);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace skarvel
