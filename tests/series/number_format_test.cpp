#include "number_format.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

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

}  // namespace
}  // namespace skarvel
