#include "number_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include "reference_number_format.hpp"
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

// Exact midpoints between two six-digit numbers go to the even one, as they always have.
TEST(FormatNumber, RoundsExactMidpointsToEven) {
  const std::pair<double, std::string> cases[] = {
      {1234565.0, "1.23456e+006"},   {1234575.0, "1.23458e+006"},   {-1234565.0, "-1.23456e+006"},
      {123456.5, "123456"},          {123457.5, "123458"},          {12345.75, "12345.8"},
      {1234.625, "1234.62"},         {0.0009765625, "0.000976562"}, {0.001953125, "0.00195312"},
      {9999985.0, "9.99998e+006"},   {9999995.0, "1e+007"},         {1.234565e17, "1.23456e+017"},
      {1.234575e17, "1.23458e+017"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(format(value), expected) << value;
  }
}

TEST(FormatNumber, SwitchesBetweenFixedAndExponentForm) {
  const std::pair<double, std::string> cases[] = {
      {0.0001, "0.0001"},
      {std::nextafter(0.0001, 0.0), "0.0001"},
      {0.000099999949999, "9.99999e-005"},
      {0.00001, "1e-005"},
      {0.0000099999951, "1e-005"},
      {999999.49999, "999999"},
      {std::nextafter(999999.5, 0.0), "999999"},
      {std::nextafter(1e6, 0.0), "1e+006"},
      {1e6, "1e+006"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(format(value), expected) << value;
  }
}

// ---- The text against the reference conversion, over families of doubles

std::string referenceText(double value) {
  char text[kMaxNumberText];
  return std::string(text, testing::referenceFormatNumber(text, value));
}

std::string bitsOf(double value) {
  char text[17];
  const auto bits = std::bit_cast<std::uint64_t>(value);
  return std::string(text, std::to_chars(text, text + sizeof text, bits, 16).ptr);
}

// Compares the text of each value checked with the reference and keeps the first mismatches.
class FormatComparison {
 public:
  void check(double value) {
    ++compared_;
    const std::string expected = referenceText(value);
    const std::string got = format(value);
    if (got != expected && ++mismatches_ <= 20) {
      ADD_FAILURE() << "bits " << bitsOf(value) << ": got " << got << ", expected " << expected;
    }
  }

  // The value, one ulp to each side, and the same negated.
  void checkAround(double value) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double v : {std::nextafter(value, -inf), value, std::nextafter(value, inf)}) {
      check(v);
      check(-v);
    }
  }

  long compared() const { return compared_; }
  long mismatches() const { return mismatches_; }

 private:
  long compared_ = 0;
  long mismatches_ = 0;
};

using Random = testing::SeededRandom;

// A number from 0 to 2^53 - 1.
std::uint64_t below53Bits(Random& random) {
  return random.next() >> 11;
}

// Any bit pattern: every binary exponent, subnormals, infinities and not-a-numbers.
void checkBitPatterns(FormatComparison& comparison, Random& random, long count) {
  for (long i = 0; i < count; ++i) {
    comparison.check(std::bit_cast<double>(random.next()));
  }
}

// A random double whose leading bit is 2^exponent, -1074 <= exponent <= 1023.
double insideBinade(int exponent, Random& random) {
  if (exponent >= -1022) {
    const auto biased = static_cast<std::uint64_t>(exponent + 1023);
    return std::bit_cast<double>((biased << 52) | (random.next() >> 12));
  }
  const int bitsBelow = exponent + 1074;  // a subnormal: bits below the leading one
  const std::uint64_t lower = bitsBelow == 0 ? 0 : random.next() >> (64 - bitsBelow);
  return std::bit_cast<double>((std::uint64_t{1} << bitsBelow) | lower);
}

// Both ends of every binade, 2^-1074 to 2^1023, and `perBinade` values inside each.
void checkEveryBinade(FormatComparison& comparison, Random& random, int perBinade) {
  for (int exponent = -1074; exponent <= 1023; ++exponent) {
    comparison.checkAround(std::ldexp(1.0, exponent));
    for (int i = 0; i < perBinade; ++i) {
      const double inside = insideBinade(exponent, random);
      comparison.check(random.below(2) == 0 ? inside : -inside);
    }
  }
  comparison.checkAround(std::numeric_limits<double>::max());
}

// The double nearest to a decimal text, or nothing beyond the largest finite one.
bool parse(const std::string& text, double& value) {
  return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc{};
}

// For every decimal exponent from -324 to 308, the doubles beside midpoints between two six-digit
// numbers ("d.ddddd5e+k"): random ones, the lowest (1.000005) and the one that carries into the
// next power of ten (9.999995), and beside the power of ten itself.
void checkBesideMidpoints(FormatComparison& comparison, Random& random, int perExponent) {
  for (int exponent = -324; exponent <= 308; ++exponent) {
    const auto checkText = [&comparison](const std::string& text) {
      double value = 0.0;
      if (parse(text, value) && std::not_equal_to<>{}(value, 0.0)) {  // not underflowed to zero
        comparison.checkAround(value);
      }
    };
    const std::string scale = "e" + std::to_string(exponent - 6);
    checkText("1000005" + scale);
    checkText("9999995" + scale);
    checkText("1e" + std::to_string(exponent));
    for (int i = 0; i < perExponent; ++i) {
      checkText(std::to_string(100000 + random.below(900000)) + "5" + scale);
    }
  }
}

// Midpoints that are doubles: a seven-digit N ending in 5 times 10^j, exact when N = odd * 5^t
// with t >= -j and odd * 5^(t + j) < 2^53 (the power of two 2^j is then exact too).
void checkExactMidpoints(FormatComparison& comparison, Random& random, int perScale) {
  constexpr std::uint64_t kExact = std::uint64_t{1} << 53;
  for (int t = 1; t <= 10; ++t) {
    std::uint64_t fivePower = 1;
    for (int i = 0; i < t; ++i) {
      fivePower *= 5;
    }
    // Odd factors that make N seven digits long.
    const std::uint64_t first = (1000000 + fivePower - 1) / fivePower;
    const std::uint64_t last = 9999999 / fivePower;
    for (int j = -t; j <= 16; ++j) {
      for (int i = 0; i < perScale; ++i) {
        std::uint64_t odd = first + random.next() % (last - first + 1);
        odd |= 1;
        if (odd > last) {
          continue;
        }
        std::uint64_t exact = odd;
        for (int k = 0; k < t + j && exact < kExact; ++k) {
          exact *= 5;
        }
        if (exact < kExact) {
          comparison.checkAround(std::ldexp(static_cast<double>(exact), j));
        }
      }
    }
  }
}

// Short decimals (up to eight digits) of every decimal magnitude: they often fall on a midpoint
// or carry into the next power of ten.
void checkShortDecimals(FormatComparison& comparison, Random& random, long count) {
  for (long i = 0; i < count; ++i) {
    const std::string text =
        std::to_string(random.below(100000000)) + "e" + std::to_string(random.below(640) - 330);
    double value = 0.0;
    if (parse(text, value)) {
      comparison.check(random.below(2) == 0 ? value : -value);
    }
  }
}

// What the averages files mostly hold: means from 1e-3 to 1e4 with all 17 digits.
void checkModelMagnitudes(FormatComparison& comparison, Random& random, long count) {
  for (long i = 0; i < count; ++i) {
    const double fraction = std::ldexp(static_cast<double>(below53Bits(random)), -53);
    const double value = std::pow(10.0, -3.0 + 7.0 * fraction);
    comparison.check(random.below(4) == 0 ? -value : value);
  }
}

// Walks of ulps across the switches between fixed and exponent form and the carry into seven
// digits.
void checkFormSwitches(FormatComparison& comparison, int ulps) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const double centre : {0.00001, 0.000009999995, 0.0001, 0.00009999995, 999999.5, 1e6}) {
    double below = centre;
    double above = centre;
    for (int i = 0; i < ulps; ++i) {
      comparison.checkAround(below);
      comparison.checkAround(above);
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, inf);
    }
  }
}

// The comparisons with the former conversion: each a family of doubles, its own seed.
struct ReferenceSweep {
  const char* name;
  std::uint64_t seed;
  std::function<void(FormatComparison&, Random&)> check;
};

class FormatNumberSweep : public ::testing::TestWithParam<ReferenceSweep> {};

TEST_P(FormatNumberSweep, WritesTheSameTextAsTheFormerConversion) {
  FormatComparison comparison;
  Random random(GetParam().seed);
  GetParam().check(comparison, random);
  EXPECT_EQ(comparison.mismatches(), 0) << "of " << comparison.compared();
}

INSTANTIATE_TEST_SUITE_P(
    AgainstReference, FormatNumberSweep,
    ::testing::Values(
        ReferenceSweep{"AnyBitPattern", 1,
                       [](FormatComparison& c, Random& r) { checkBitPatterns(c, r, 600000); }},
        ReferenceSweep{"EveryBinade", 2,
                       [](FormatComparison& c, Random& r) { checkEveryBinade(c, r, 100); }},
        ReferenceSweep{"BesideMidpointsOfEveryDecimalExponent", 3,
                       [](FormatComparison& c, Random& r) { checkBesideMidpoints(c, r, 150); }},
        ReferenceSweep{"ExactMidpoints", 4,
                       [](FormatComparison& c, Random& r) { checkExactMidpoints(c, r, 400); }},
        ReferenceSweep{"ShortDecimalsOfEveryMagnitude", 5,
                       [](FormatComparison& c, Random& r) { checkShortDecimals(c, r, 300000); }},
        ReferenceSweep{"ModelOutputMagnitudes", 6,
                       [](FormatComparison& c, Random& r) { checkModelMagnitudes(c, r, 300000); }},
        ReferenceSweep{"AcrossTheFormSwitches", 7,
                       [](FormatComparison& c, Random&) { checkFormSwitches(c, 2000); }}),
    [](const ::testing::TestParamInfo<ReferenceSweep>& sweep) { return sweep.param.name; });

// Every family again, SKARVEL_FORMAT_SWEEP times as many values and with other seeds:
// SKARVEL_FORMAT_SWEEP=20 gives some 60 million values.
TEST(FormatNumberAgainstReference, LongSweep) {
  const char* factorText = std::getenv("SKARVEL_FORMAT_SWEEP");
  const int factor = factorText == nullptr ? 0 : std::atoi(factorText);
  if (factor <= 0) {
    GTEST_SKIP() << "set SKARVEL_FORMAT_SWEEP to a factor to run it";
  }
  FormatComparison comparison;
  Random random(static_cast<std::uint64_t>(factor) * 7919);
  checkBitPatterns(comparison, random, 600000L * factor);
  checkEveryBinade(comparison, random, 100 * factor);
  checkBesideMidpoints(comparison, random, 150 * factor);
  checkExactMidpoints(comparison, random, 400 * factor);
  checkShortDecimals(comparison, random, 300000L * factor);
  checkModelMagnitudes(comparison, random, 300000L * factor);
  checkFormSwitches(comparison, 2000 * factor);
  std::printf("%ld values compared\n", comparison.compared());
  EXPECT_EQ(comparison.mismatches(), 0) << "of " << comparison.compared();
}

}  // namespace
}  // namespace skarvel
