#include "read_faults.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace skarvel {
namespace {

TEST(LineNumbers, ALineHoldsItsLineEnd) {
  struct Case {
    std::vector<std::int64_t> lineEnds;
    std::vector<std::int64_t> offsets;  // ascending
    std::vector<std::int64_t> lines;
    std::size_t lineEndsAsked;
  };
  // "a\nb\nc": line ends at 1 and 3.
  const Case cases[] = {
      {{1, 3}, {0, 1, 2, 3, 4, 5}, {1, 1, 2, 2, 3, 3}, 3},
      {{1, 3}, {99}, {3}, 3},  // beyond the end: the last line
      {{1, 3}, {2, 2}, {2, 2}, 2},
      {{}, {0}, {1}, 1},
      {{1, 3}, {}, {}, 0},
      {{1, 3, 5, 7, 9}, {2}, {2}, 2},  // read only as far as the offsets need
  };
  for (const Case& c : cases) {
    std::size_t asked = 0;
    const auto nextLineEnd = [&]() -> std::optional<std::int64_t> {
      if (++asked > c.lineEnds.size()) {
        return std::nullopt;
      }
      return c.lineEnds[asked - 1];
    };
    EXPECT_EQ(lineNumbersFrom(c.offsets, nextLineEnd), c.lines) << c.lines.size();
    EXPECT_EQ(asked, c.lineEndsAsked) << c.lines.size();
  }
}

}  // namespace
}  // namespace skarvel
