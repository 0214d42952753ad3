#include "number_scan.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace skarvel {
namespace {

struct DoubleCase {
  std::string text;
  bool ok;
  std::size_t consumed;
  double value;
};

TEST(ScanDouble, FollowsTheNumberGrammar) {
  const double inf = std::numeric_limits<double>::infinity();
  const DoubleCase cases[] = {
      {"5", true, 1, 5.0},
      {"5.", true, 2, 5.0},
      {".5", true, 2, 0.5},
      {"5.25", true, 4, 5.25},
      {"-3.1 ", true, 4, -3.1},
      {"+2", true, 2, 2.0},
      {"1.2e-3", true, 6, 1.2e-3},
      {"1.5E+2x", true, 6, 150.0},
      {"5.e3", true, 4, 5000.0},
      {"-9999", true, 5, -9999.0},
      {"1,5", true, 1, 1.0},
      {"1.5x", true, 3, 1.5},
      {"0x10", true, 1, 0.0},
      {"1e", true, 2, 1.0},  // the exponent without digits is consumed, not converted
      {"1e+", true, 3, 1.0},
      {"2E-x", true, 3, 2.0},
      {"1e999", true, 5, inf},
      {"-1e999", true, 6, -inf},
      {"1e-999", true, 6, 0.0},
      {"1e99999999999999999999", true, 22, inf},
      {"0e99999", true, 7, 0.0},
      {"0.000000000000000000000000000001", true, 32, 1e-30},
      {"123456789012345678901234567890", true, 30, 1.2345678901234568e29},
      {"0.1000000000000000055511151231257827", true, 36, 0.1},
      {"9007199254740993", true, 16, 9007199254740992.0},
      {"4.9e-324", true, 8, 4.9e-324},
      {"-", false, 1, 0.0},
      {"+", false, 1, 0.0},
      {".", false, 1, 0.0},
      {"-.", false, 2, 0.0},
      {"-.e5", false, 2, 0.0},
      {"--5", false, 1, 0.0},
      {"x", false, 0, 0.0},
      {"inf", false, 0, 0.0},
      {"nan", false, 0, 0.0},
      {"Infiltration", false, 0, 0.0},
      {"", false, 0, 0.0},
  };
  for (const DoubleCase& c : cases) {
    double value = 0.0;
    const NumberScan scan = scanDouble(c.text.c_str(), value);
    EXPECT_EQ(scan.ok, c.ok) << c.text;
    EXPECT_EQ(static_cast<std::size_t>(scan.next - c.text.c_str()), c.consumed) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(ScanDouble, DigitRunsBeyondTheCounterLimitsRoundCorrectly) {
  // Three million digits: far past the limits where the digit and exponent counters saturate.
  constexpr std::size_t kRun = std::size_t{3} << 20;
  const std::string zeros(kRun, '0');
  const std::string nines(kRun, '9');
  const std::string run = std::to_string(kRun);
  const double inf = std::numeric_limits<double>::infinity();
  const DoubleCase cases[] = {
      {"1" + zeros, true, 0, inf},
      {"0." + zeros + "1", true, 0, 0.0},
      {"1" + zeros + "e-" + run, true, 0, 1.0},
      {"0." + zeros + "1e" + std::to_string(kRun + 1), true, 0, 1.0},
      {"-1" + zeros + "e-" + std::to_string(kRun - 2), true, 0, -100.0},
      {nines + "e-" + std::to_string(kRun - 1), true, 0, 10.0},  // 9.99...9 rounds up
      {"0." + nines, true, 0, 1.0},
      {"0.1" + zeros + "1", true, 0, 0.1},
      {"12345678901234567890" + zeros + "e-" + run, true, 0, 12345678901234567890.0},
  };
  for (const DoubleCase& c : cases) {
    double value = 0.0;
    const NumberScan scan = scanDouble(c.text.c_str(), value);
    EXPECT_TRUE(scan.ok) << c.text.substr(0, 24);
    EXPECT_EQ(static_cast<std::size_t>(scan.next - c.text.c_str()), c.text.size())
        << c.text.substr(0, 24);
    EXPECT_EQ(value, c.value) << c.text.substr(0, 24);
  }
}

TEST(ScanDouble, KeepsTheSignOfZero) {
  double value = 0.0;
  ASSERT_TRUE(scanDouble("-0", value).ok);
  EXPECT_TRUE(std::signbit(value));
  ASSERT_TRUE(scanDouble("-1e-999", value).ok);
  EXPECT_TRUE(std::signbit(value));
  EXPECT_EQ(value, 0.0);
}

TEST(ScanInt32, ReadsSignedDecimalIntegers) {
  struct Case {
    std::string text;
    bool ok;
    std::size_t consumed;
    std::int32_t value;
  };
  const Case cases[] = {
      {"2001", true, 4, 2001},
      {"-7 ", true, 2, -7},
      {"+24", true, 3, 24},
      {"12.5", true, 2, 12},
      {"2147483647", true, 10, 2147483647},
      {"-2147483648", true, 11, -2147483647 - 1},
      {"2147483648", false, 10, 0},
      {"-2147483649", false, 11, 0},
      {"20010101011", false, 11, 0},
      {"99999999999999999999999", false, 23, 0},
      {"-", false, 1, 0},
      {"-x", false, 1, 0},
      {"x", false, 0, 0},
      {".5", false, 0, 0},
  };
  for (const Case& c : cases) {
    std::int32_t value = 0;
    const NumberScan scan = scanInt32(c.text.c_str(), value);
    EXPECT_EQ(scan.ok, c.ok) << c.text;
    EXPECT_EQ(static_cast<std::size_t>(scan.next - c.text.c_str()), c.consumed) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(NumberConversionResult, TellsNumberFromTextAndBlankness) {
  EXPECT_EQ(numberConversionResult("  2001 1 1 1\n"), 1);
  EXPECT_EQ(numberConversionResult("1 station\n"), 1);
  EXPECT_EQ(numberConversionResult("\n\t"), -1);
  EXPECT_EQ(numberConversionResult(""), -1);
  EXPECT_EQ(numberConversionResult("year month\n"), 0);
  EXPECT_EQ(numberConversionResult("Infiltration [mm]\n"), 0);
  EXPECT_EQ(numberConversionResult("- 5\n"), 0);
  EXPECT_EQ(numberConversionResult("\v\t7"), 1);
}

}  // namespace
}  // namespace skarvel
