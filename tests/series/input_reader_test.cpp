#include "input_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "temp_input.hpp"

namespace skarvel {
namespace {

std::vector<std::string> linesOf(const std::string& bytes) {
  InputReader reader(ByteSource::ofBytes(bytes));
  std::vector<std::string> lines;
  std::string line;
  while (reader.readLine(line)) {
    lines.push_back(line);
  }
  return lines;
}

TEST(InputReader, ReadsWholeLinesWithTheirLineEnds) {
  EXPECT_EQ(linesOf("a\nb\n"), (std::vector<std::string>{"a\n", "b\n"}));
  EXPECT_EQ(linesOf("a\nlast"), (std::vector<std::string>{"a\n", "last"}));
  EXPECT_EQ(linesOf(""), std::vector<std::string>{});
  EXPECT_EQ(linesOf("\n\n"), (std::vector<std::string>{"\n", "\n"}));
}

TEST(InputReader, ReadsTextModeLikeWindows) {
  EXPECT_EQ(linesOf("a\r\nb\r\n"), (std::vector<std::string>{"a\n", "b\n"}));
  EXPECT_EQ(linesOf("a\rb\n"), (std::vector<std::string>{"a\rb\n"}));
  EXPECT_EQ(linesOf("a\r\r\nb"), (std::vector<std::string>{"a\r\n", "b"}));
  EXPECT_EQ(linesOf("a\nb\x1A"
                    "c\nd\n"),
            (std::vector<std::string>{"a\n", "b"}));
  EXPECT_EQ(linesOf("end\r"), (std::vector<std::string>{"end\r"}));
}

TEST(InputReader, JoinsCrLfSplitAcrossBlocks) {
  // The first block ends between CR and LF.
  const std::string first((std::size_t{1} << 20) - 1, 'x');
  const auto lines = linesOf(first + "\r\nnext\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], first + "\n");
  EXPECT_EQ(lines[1], "next\n");
}

TEST(InputReader, ReadsLinesLongerThanItsBlocks) {
  const std::string huge(3'000'000, '7');
  EXPECT_EQ(linesOf(huge + "\nx\n"), (std::vector<std::string>{huge + "\n", "x\n"}));
}

TEST(InputReader, ReadsTokensAcrossLinesAndBlocks) {
  std::string text;
  double expectedSum = 0.0;
  for (int i = 0; i < 200000; ++i) {
    text += std::to_string(i) + ".25 ";
    expectedSum += i + 0.25;
    if (i % 7 == 0) {
      text += "\r\n";
    }
  }
  const std::string bytes = text;
  InputReader reader(ByteSource::ofBytes(bytes));
  double sum = 0.0;
  double value = 0.0;
  int count = 0;
  while (reader.readDouble(value)) {
    sum += value;
    ++count;
  }
  EXPECT_EQ(count, 200000);
  EXPECT_EQ(sum, expectedSum);
}

TEST(InputReader, ReadsATokenLongerThanItsBuffer) {
  const std::string digits = "1" + std::string(3'000'000, '0');
  const std::string bytes = "  " + digits + " 2";
  InputReader reader(ByteSource::ofBytes(bytes));
  double value = 0.0;
  ASSERT_TRUE(reader.readDouble(value));
  EXPECT_TRUE(std::isinf(value));
  ASSERT_TRUE(reader.readDouble(value));
  EXPECT_EQ(value, 2.0);
}

TEST(InputReader, LeavesWhatAFailedConversionDidNotConsume) {
  const std::string bytes = "1 x 2\n- 3\n";
  InputReader reader(ByteSource::ofBytes(bytes));
  double value = 0.0;
  EXPECT_TRUE(reader.readDouble(value));
  EXPECT_FALSE(reader.readDouble(value));  // "x" stays
  EXPECT_FALSE(reader.readDouble(value));
  reader.skipLine();
  EXPECT_FALSE(reader.readDouble(value));  // "-" is consumed
  ASSERT_TRUE(reader.readDouble(value));
  EXPECT_EQ(value, 3.0);
  EXPECT_FALSE(reader.readDouble(value));
}

TEST(InputReader, ReadsStampIntegers) {
  const std::string bytes = "2001\t1 31\r\n24 7.5";
  InputReader reader(ByteSource::ofBytes(bytes));
  std::int32_t year = 0, month = 0, day = 0, hour = 0, next = 0;
  EXPECT_TRUE(reader.readInt(year) && reader.readInt(month) && reader.readInt(day) &&
              reader.readInt(hour));
  EXPECT_EQ(year, 2001);
  EXPECT_EQ(hour, 24);
  EXPECT_TRUE(reader.readInt(next));
  EXPECT_EQ(next, 7);
  EXPECT_FALSE(reader.readInt(next));  // ".5" is no integer
}

TEST(InputReader, RewindsToTheStart) {
  const std::string bytes = "first\r\nsecond\n";
  InputReader reader(ByteSource::ofBytes(bytes));
  std::string line;
  ASSERT_TRUE(reader.readLine(line));
  ASSERT_TRUE(reader.readLine(line));
  EXPECT_FALSE(reader.readLine(line));
  ASSERT_TRUE(reader.rewind());
  ASSERT_TRUE(reader.readLine(line));
  EXPECT_EQ(line, "first\n");
  EXPECT_FALSE(reader.failed());
}

// Everything a run asks of its reader, as text: every line, then after a rewind every token
// (a failed one skips the rest of its line), then after another rewind the first line again.
std::vector<std::string> everythingRead(InputReader& reader) {
  std::vector<std::string> seen;
  std::string line;
  while (reader.readLine(line)) {
    seen.push_back("line " + line);
  }
  EXPECT_TRUE(reader.rewind());
  int tokens = 0;
  for (;;) {
    double value = 0.0;
    if (reader.readDouble(value)) {
      seen.push_back("number " + std::to_string(value));
      ++tokens;
      continue;
    }
    if (!reader.readLine(line)) {
      break;
    }
    seen.push_back("rest " + line);
  }
  EXPECT_GT(tokens, 0);
  EXPECT_TRUE(reader.rewind());
  seen.push_back(reader.readLine(line) ? "first " + line : "no first line");
  EXPECT_FALSE(reader.failed());
  return seen;
}

TEST(InputReader, ReadsAFileAsItReadsTheSameBytesInMemory) {
  // A header, rows in LF and CR LF, a CR LF split between the first two blocks, a lone CR,
  // a row without values, and a Ctrl-Z before bytes that are never read.
  std::string bytes = "title line\r\nyear month day hour q\n";
  for (int i = 0; bytes.size() < (std::size_t{1} << 20) - 40; ++i) {
    bytes += "2001 1 " + std::to_string(i % 28 + 1) + " " + std::to_string(i % 24 + 1) + " " +
             std::to_string(i) + ".5" + (i % 3 == 0 ? "\r\n" : "\n");
  }
  const std::size_t blanks = (std::size_t{1} << 20) - 1 - bytes.size();
  bytes.append(blanks, ' ');
  bytes +=
      "\r\n2001 2 1 24 -9999\rx 7\n2001 2 2 24\n2001 2 3 24 1e3 oops\r\n\x1A"
      "2001 2 4 24 5\n";
  ASSERT_EQ(bytes[(std::size_t{1} << 20) - 1], '\r');

  InputReader inMemory(ByteSource::ofBytes(bytes));
  const std::vector<std::string> fromMemory = everythingRead(inMemory);
  const platform::FileHandle file = testing::fileWith(bytes);
  InputReader fromFileReader(ByteSource::ofFile(file.get()));
  const std::vector<std::string> fromFile = everythingRead(fromFileReader);

  EXPECT_EQ(fromFile, fromMemory);
  ASSERT_GE(fromMemory.size(), 4u);
  EXPECT_EQ(fromMemory.front(), "line title line\n");
  EXPECT_EQ(fromMemory.back(), "first title line\n");
  const auto seen = [&](const std::string& text) {
    return std::find(fromMemory.begin(), fromMemory.end(), text) != fromMemory.end();
  };
  EXPECT_TRUE(seen("line " + std::string(blanks, ' ') + "\n"));
  EXPECT_TRUE(seen("line 2001 2 1 24 -9999\rx 7\n"));
  EXPECT_TRUE(seen("line 2001 2 3 24 1e3 oops\n"));
  EXPECT_FALSE(seen("line 2001 2 4 24 5\n"));
  EXPECT_TRUE(seen("rest oops\n"));
  EXPECT_TRUE(seen("rest x 7\n"));
}

}  // namespace
}  // namespace skarvel
