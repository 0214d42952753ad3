#include "input_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
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

// ----------------------------------------------------------------------------------------------
// Where things are: text offsets and their line numbers, the first failed conversion, short rows
// and text after the values

constexpr std::size_t kBlock = std::size_t{1} << 20;

// Lines of `width`-digit numbers, each its own line number from `first` on, up to at least
// `bytes` bytes.
std::string numberedLines(std::int64_t first, int width, std::size_t bytes,
                          const std::string& lineEnd = "\n") {
  std::string text;
  for (std::int64_t n = first; text.size() < bytes; ++n) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", width, static_cast<long long>(n));
    text.append(digits).append(lineEnd);
  }
  return text;
}

// "1\n" lines, `bytes` bytes of them.
std::string ones(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) {
    text += "1\n";
  }
  return text;
}

// The line numbers of `offsets` in `bytes`, found by a reader of their own.
std::vector<std::int64_t> linesAt(const std::string& bytes, std::vector<std::int64_t> offsets) {
  InputReader reader(ByteSource::ofBytes(bytes));
  return reader.lineNumbersAt(std::move(offsets));
}

std::int64_t lineAt(const std::string& bytes, std::int64_t offset) {
  const std::vector<std::int64_t> lines = linesAt(bytes, {offset});
  return lines.size() == 1 ? lines[0] : -1;
}

TEST(InputReaderLineNumbers, CountLineFeedsOfTheTranslatedText) {
  struct Case {
    std::string bytes;
    std::vector<std::int64_t> offsets;
    std::vector<std::int64_t> lines;
  };
  const Case cases[] = {
      // A line end belongs to its line; the end of the text to the line after the last line end.
      {"a\nb\nc", {0, 1, 2, 3, 4, 5}, {1, 1, 2, 2, 3, 3}},
      {"a\nb\n", {4}, {3}},
      {"a\nb\n", {99}, {3}},              // beyond the end: the last line
      {"a\nb\nc", {4, 0, 2}, {1, 2, 3}},  // in ascending order of the offsets
      {"a\nb\nc", {2, 2}, {2, 2}},
      // Offsets count CR LF as one byte.
      {"a\r\nb\r\n\r\nc", {0, 1, 2, 4, 5}, {1, 1, 2, 3, 4}},
      {"a\rb\rc\n", {4, 6}, {1, 2}},     // a CR alone ends no line
      {"a\n\x1A\nb\n", {2, 5}, {2, 2}},  // Ctrl-Z ends the text
      {"", {0}, {1}},
      {"a\n", {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linesAt(c.bytes, c.offsets), c.lines) << c.bytes;
  }
}

// Reads the numbers of `bytes` after its first `skip` lines, each of which holds its own line
// number, and checks where the reader stands behind each: at offset `offsetBehind(line)`, in
// that line.
void expectEachNumberInItsLine(const std::string& bytes, int skip,
                               const std::function<std::int64_t(std::int64_t)>& offsetBehind) {
  InputReader reader(ByteSource::ofBytes(bytes));
  for (int i = 0; i < skip; ++i) {
    reader.skipLine();
  }
  std::vector<std::int64_t> offsets;
  std::int32_t value = 0;
  std::int64_t line = skip;
  while (reader.readInt(value)) {
    ++line;
    ASSERT_EQ(value, line);
    ASSERT_EQ(reader.textOffset(), offsetBehind(line)) << "line " << line;
    offsets.push_back(reader.textOffset());
  }
  ASSERT_FALSE(reader.firstFailure());
  ASSERT_GT(reader.bytesRead(), kBlock);
  const std::vector<std::int64_t> lines = reader.lineNumbersAt(offsets);
  ASSERT_EQ(lines.size(), offsets.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i], skip + 1 + static_cast<std::int64_t>(i)) << "offset " << offsets[i];
  }
}

TEST(InputReaderLineNumbers, OffsetsAcrossBlocks) {
  // 9-byte lines: the line 116509 holds the first block's end.
  expectEachNumberInItsLine(numberedLines(1, 8, kBlock + 1000), 0,
                            [](std::int64_t line) { return 9 * (line - 1) + 8; });
  // 9-byte CR LF lines behind a 5-byte one: the first block ends between a CR and its LF.
  const std::string crLf = "abc\r\n" + numberedLines(2, 7, kBlock + 1000, "\r\n");
  ASSERT_EQ(crLf.substr(kBlock - 1, 2), "\r\n");
  expectEachNumberInItsLine(crLf, 1, [](std::int64_t line) { return 4 + 8 * (line - 2) + 7; });
  // Lines longer than a block.
  const auto blanks = static_cast<std::int64_t>(3 * kBlock);
  const std::string longLines =
      "1" + std::string(3 * kBlock, ' ') + "\n2\n" + std::string(3 * kBlock, ' ') + "3\n";
  expectEachNumberInItsLine(longLines, 0, [&](std::int64_t line) {
    return line == 1 ? 1 : line == 2 ? blanks + 3 : 2 * blanks + 5;
  });
}

struct ExpectedFailure {
  std::int64_t line;
  std::string text;
  bool lineStartsWithNumber;
};

struct FailureCase {
  const char* what;
  std::string bytes;
  std::optional<ExpectedFailure> failure;
};

// Reads numbers to the end as the record loop reads them, going on to the next line at a
// failure.
void expectFailure(const FailureCase& c) {
  InputReader reader(ByteSource::ofBytes(c.bytes));
  double value = 0.0;
  while (!reader.atEnd()) {
    if (!reader.readDouble(value)) {
      reader.skipLine();
    }
  }
  const std::optional<FailedToken> failure = reader.firstFailure();
  ASSERT_EQ(failure.has_value(), c.failure.has_value()) << c.what;
  if (failure) {
    EXPECT_EQ(lineAt(c.bytes, failure->offset), c.failure->line) << c.what;
    EXPECT_EQ(failure->text, c.failure->text) << c.what;
    EXPECT_EQ(failure->lineStartsWithNumber, c.failure->lineStartsWithNumber) << c.what;
  }
}

TEST(InputReaderFirstFailure, NamesLineTokenAndWhetherTheLineIsADataRow) {
  const FailureCase cases[] = {
      {"the end of the input is no failure", "1 2\n3 4\n", std::nullopt},
      {"an empty input", "", std::nullopt},
      {"NA in a data row", "1 2\n3 NA 4\n", ExpectedFailure{2, "NA", true}},
      {"a footer", "1\r\n2\r\nend of data\r\n", ExpectedFailure{3, "end", false}},
      {"only the first failure is kept", "1 x\n2 y\n", ExpectedFailure{1, "x", true}},
      {"a data row behind blanks", "1\n  \t7 ?\n", ExpectedFailure{2, "?", true}},
      {"a lone minus, consumed", "1 -\n", ExpectedFailure{1, "-", true}},
      {"a decimal comma", "5 1,5\n", ExpectedFailure{1, ",5", true}},
      {"control bytes", "1\n\x01\xff junk\n", ExpectedFailure{2, "\x01\xff", false}},
      {"ISO date and time", "2001-01-01T01:00 1.5\n", ExpectedFailure{1, "T01:00", true}},
      {"after blank lines", "1\n\n\n\nNaN\n", ExpectedFailure{5, "NaN", false}},
  };
  for (const FailureCase& c : cases) {
    expectFailure(c);
  }
}

TEST(InputReaderFirstFailure, InALineThatBeganInAnEarlierBlock) {
  const std::string row = "2001 1 1 12 NA\n3\n";
  const auto lineAfter = [](std::size_t ones) { return static_cast<std::int64_t>(ones / 2) + 1; };
  // The first block ends inside the row's first number.
  const std::string inNumber = ones(kBlock - 2) + row;
  ASSERT_EQ(inNumber.substr(kBlock - 2, 4), "2001");
  expectFailure({"first block ends in the first number", inNumber,
                 ExpectedFailure{lineAfter(kBlock - 2), "NA", true}});
  // The first block ends with the blank before the token.
  const std::string beforeToken = ones(kBlock - 12) + row;
  ASSERT_EQ(beforeToken.substr(kBlock - 1, 3), " NA");
  expectFailure({"first block ends before the token", beforeToken,
                 ExpectedFailure{lineAfter(kBlock - 12), "NA", true}});
  // A footer line that starts the second block.
  expectFailure({"a footer at the block start", ones(kBlock) + "end\n",
                 ExpectedFailure{lineAfter(kBlock), "end", false}});
}

// A failed token, or text after the values, that the first block ends in is quoted only as far
// as that block holds it: the reader quotes from its buffer without refilling it ("N" for "NA",
// "ta" for "tail"), so the warning names a cut token.
TEST(InputReaderQuotes, TokenThatGoesOnInTheNextBlock) {
  const std::string inToken = ones(kBlock - 12) + "2001 1 1 1 NA\n3\n";
  ASSERT_EQ(inToken.substr(kBlock - 1, 2), "NA");
  expectFailure({"first block ends inside the token", inToken,
                 ExpectedFailure{static_cast<std::int64_t>((kBlock - 12) / 2) + 1, "NA", true}});

  std::string tail = "2001 1 1 24 5";
  tail.append(kBlock - 2 - tail.size(), ' ');
  tail += "tail\n";
  InputReader reader(ByteSource::ofBytes(tail));
  std::int32_t field = 0;
  double value = 0.0;
  ASSERT_TRUE(reader.readInt(field) && reader.readInt(field) && reader.readInt(field) &&
              reader.readInt(field) && reader.readValue(value));
  reader.skipRowEnd();
  EXPECT_EQ(reader.extraText().quote, "tail");
}

// Reads data rows as the record loop does: four stamp integers, then `columns` values, then the
// rest of the row.
InputReader& readRows(InputReader& reader, int columns) {
  for (;;) {
    std::int32_t field = 0;
    if (!(reader.readInt(field) && reader.readInt(field) && reader.readInt(field) &&
          reader.readInt(field))) {
      return reader;
    }
    const std::int64_t crossedBefore = reader.linesCrossed().count;
    bool ok = true;
    for (int c = 0; c < columns; ++c) {
      double value = 0.0;
      ok = reader.readValue(value) && ok;
    }
    if (ok && reader.linesCrossed().count == crossedBefore) {
      reader.skipRowEnd();
    } else {
      reader.skipLine();
    }
  }
}

struct ExpectedOccurrence {
  std::int64_t line;  // 0: none
  std::string quote;
  std::int64_t count;
};

struct OccurrenceCase {
  const char* what;
  std::string bytes;
  int columns;
  ExpectedOccurrence expected;
};

void expectOccurrence(const std::string& bytes, const Occurrence& seen, const OccurrenceCase& c) {
  EXPECT_EQ(seen.count, c.expected.count) << c.what;
  EXPECT_EQ(seen.quote, c.expected.quote) << c.what;
  if (seen.count > 0) {
    EXPECT_EQ(lineAt(bytes, seen.firstOffset), c.expected.line) << c.what;
  }
}

TEST(InputReaderLinesCrossed, NamesTheFirstShortRowAndCountsThem) {
  const OccurrenceCase cases[] = {
      {"no short row", "2001 1 1 24 1 2\n2001 1 2 24 3 4\n", 2, {0, "", 0}},
      {"one short row: its value comes from the next line",
       "2001 1 1 24 1 2\n2001 1 2 24 3\n2001 1 3 24 5 6\n2001 1 4 24 7 8\n",
       2,
       {2, "", 1}},
      {"two short rows",
       "2001 1 1 24 1\n2001 1 2 24 3 4\n2001 1 3 24 5 6\n2001 1 4 24 7\n2001 1 5 24 9 9\n",
       2,
       {1, "", 2}},
      {"blank lines between: one crossing", "2001 1 1 24 1\n\n\n2\n", 2, {1, "", 1}},
      {"CR LF", "2001 1 1 24 1 2\r\n2001 1 2 24 3\r\n2001 1 3 24 5 6\r\n", 2, {2, "", 1}},
  };
  for (const OccurrenceCase& c : cases) {
    InputReader reader(ByteSource::ofBytes(c.bytes));
    expectOccurrence(c.bytes, readRows(reader, c.columns).linesCrossed(), c);
  }
}

// A short last row with its line end: no value is read from a next line, the input ends inside
// the row. The reader counts the crossing of that last line end all the same, so the run
// reports "its missing values were read from the next line" and never "the input ended inside
// a row", which it gives only for a last row without a line end.
TEST(InputReaderLinesCrossed, NoCrossingAtTheEndOfTheInput) {
  for (const std::string bytes : {"2001 1 1 24 1 2\n2001 1 2 24 3\n", "2001 1 1 24 3\n\n\n"}) {
    InputReader reader(ByteSource::ofBytes(bytes));
    EXPECT_EQ(readRows(reader, 2).linesCrossed().count, 0) << bytes;
  }
}

TEST(InputReaderExtraText, NamesTheFirstRowWithTextAfterItsValues) {
  const OccurrenceCase cases[] = {
      {"blanks, tabs and CR LF are no text",
       "2001 1 1 24 5 \t \r\n2001 1 2 24 6\n2001 1 3 24 7   ",
       1,
       {0, "", 0}},
      {"words after the values",
       "2001 1 1 24 5\n2001 1 2 24 5 ok flag\n2001 1 3 24 6   \n2001 1 4 24 7\tx\r\n"
       "2001 1 5 24 8\n2001 1 6 24 9 end",
       1,
       {2, "ok", 3}},
      {"a further number counts as text", "2001 1 1 24 5 6 7\n", 2, {1, "7", 1}},
      {"control bytes", "2001 1 1 24 5 \x01\x02 z\n", 1, {1, "\x01\x02", 1}},
  };
  for (const OccurrenceCase& c : cases) {
    InputReader reader(ByteSource::ofBytes(c.bytes));
    expectOccurrence(c.bytes, readRows(reader, c.columns).extraText(), c);
  }
}

TEST(InputReaderExtraText, BehindABlockBoundary) {
  // Rows of one value, then a row whose blanks behind its value reach into the second block,
  // where "tail" follows.
  const std::string row = "2001 1 1 24 5\n";
  std::string bytes;
  std::int64_t line = 1;
  while (bytes.size() + 2 * row.size() < kBlock) {
    bytes += row;
    ++line;
  }
  bytes += "2001 1 1 24 5";
  bytes.append(kBlock + 2 - bytes.size(), ' ');
  bytes += "tail\n" + row;
  InputReader reader(ByteSource::ofBytes(bytes));
  expectOccurrence(bytes, readRows(reader, 1).extraText(),
                   {"text behind the boundary", bytes, 1, {line, "tail", 1}});
}

TEST(InputReaderBlocks, CountsBytesAndTellsEachBlock) {
  const std::string empty;
  const std::string row = "2001 1 1 24 5\n";
  const std::string small = numberedLines(1, 8, kBlock - 9);
  const std::string large = numberedLines(1, 8, 3 * kBlock + 100);
  struct Case {
    const std::string& bytes;
    std::vector<std::uint64_t> seen;  // bytesRead() at each block
  };
  const Case cases[] = {
      {empty, {0}},
      {row, {row.size()}},
      {small, {small.size()}},
      {large, {kBlock, 2 * kBlock, 3 * kBlock, large.size()}},
  };
  for (const Case& c : cases) {
    InputReader reader(ByteSource::ofBytes(c.bytes));
    std::vector<std::uint64_t> seen;
    reader.onBlock([&] { seen.push_back(reader.bytesRead()); });
    EXPECT_EQ(reader.bytesRead(), 0u);
    std::string line;
    while (reader.readLine(line)) {
    }
    EXPECT_EQ(reader.bytesRead(), c.bytes.size());
    EXPECT_EQ(seen, c.seen) << c.bytes.size();
  }
}

TEST(InputReaderBlocks, RewindStartsTheCountAfresh) {
  const std::string bytes = "2001 1 1 24 5\n2001 1 2 24 6\n";
  InputReader reader(ByteSource::ofBytes(bytes));
  int blocks = 0;
  reader.onBlock([&] { ++blocks; });
  double value = 0.0;
  ASSERT_TRUE(reader.readDouble(value));
  EXPECT_EQ(reader.bytesRead(), bytes.size());
  ASSERT_TRUE(reader.rewind());
  EXPECT_EQ(reader.bytesRead(), 0u);
  EXPECT_EQ(reader.textOffset(), 0);
  reader.skipLine();
  EXPECT_EQ(reader.textOffset(), 14);
  EXPECT_EQ(blocks, 2);
  reader.onBlock(nullptr);
  ASSERT_TRUE(reader.rewind());
  reader.skipLine();
  EXPECT_EQ(blocks, 2);
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
  EXPECT_EQ(reader.firstFailure()->offset, 16);
}

TEST(InputReader, MissingTextsMatchWholeTokensOnly) {
  for (const std::string bytes : {"NA,", "-NA", "NAx", "xNA"}) {
    const std::string text = bytes + " 5";  // the source only views its bytes
    InputReader reader(ByteSource::ofBytes(text));
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
