#include "input_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

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

TEST(InputReader, ReadsMissingTextsWhereANumberFails) {
  const std::string bytes = "1 NA\t2 nan\n- NA\nNAN";
  InputReader reader(ByteSource::ofBytes(bytes));
  reader.setMissingTexts({"NA", "nan", "-"});
  std::vector<double> values;
  double value = 0.0;
  while (reader.readValue(value)) {
    values.push_back(value);
  }
  const double m = InputReader::kMissingTokenValue;
  EXPECT_EQ(values, (std::vector<double>{1, m, 2, m, m, m}));
  ASSERT_TRUE(reader.firstFailure());  // the texts are matched exactly, letter case included
  EXPECT_EQ(reader.firstFailure()->text, "NAN");
  EXPECT_EQ(reader.firstFailure()->line, 3);
}

TEST(InputReader, MissingTextsMatchWholeTokensOnly) {
  for (const std::string bytes : {"NA,", "-NA", "NAx", "xNA"}) {
    InputReader reader(ByteSource::ofBytes(bytes + " 5"));
    reader.setMissingTexts({"NA"});
    double value = 0.0;
    EXPECT_FALSE(reader.readValue(value)) << bytes;
    ASSERT_TRUE(reader.firstFailure()) << bytes;
  }
  // Stamp fields are integers, never missing texts.
  InputReader reader(ByteSource::ofBytes("NA 1"));
  reader.setMissingTexts({"NA"});
  std::int32_t year = 0;
  EXPECT_FALSE(reader.readInt(year));
}

TEST(InputReader, MissingTextAcrossABlockBoundary) {
  // The first block of 1 MiB ends inside "nan"; the next token is the last of the bytes.
  std::string bytes;
  while (bytes.size() < (std::size_t{1} << 20) - 8) {
    bytes += "1 ";
  }
  bytes.resize((std::size_t{1} << 20) - 2, ' ');
  bytes += "nan 7";
  InputReader reader(ByteSource::ofBytes(bytes));
  reader.setMissingTexts({"nan"});
  std::vector<double> values;
  double value = 0.0;
  while (reader.readValue(value)) {
    values.push_back(value);
  }
  EXPECT_FALSE(reader.firstFailure());
  ASSERT_EQ(values.size(), (std::size_t{1} << 19) - 4 + 2);
  EXPECT_EQ(values[values.size() - 3], 1.0);
  EXPECT_EQ(values[values.size() - 2], InputReader::kMissingTokenValue);
  EXPECT_EQ(values.back(), 7.0);
}

}  // namespace
}  // namespace skarvel
