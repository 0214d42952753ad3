#include "command_line.hpp"

#include <gtest/gtest.h>

namespace skarvel {
namespace {

TEST(IntegerArgument, ReadsLikeStringToLong) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"3", 3},
      {"0", 0},
      {"-5", -5},
      {"+7", 7},
      {"  \t12", 12},
      {"4x", 4},
      {"auto", 0},
      {"", 0},
      {"-", 0},
      {"1.9", 1},
      {"99999999999999999999", 2147483647},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(readIntegerArgument(text), expected) << text;
  }
}

}  // namespace
}  // namespace skarvel
