#include "input_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "line_ends.hpp"
#include "temp_input.hpp"

namespace skarvel {
namespace {

// Block sizes that put a block boundary at every place of the small inputs below.
std::vector<std::size_t> smallBlocks(std::size_t largest) {
  std::vector<std::size_t> blocks;
  for (std::size_t bytes = 1; bytes <= largest; ++bytes) {
    blocks.push_back(bytes);
  }
  return blocks;
}

ReadSettings inBlocksOf(std::size_t bytes, std::vector<std::string> missingTexts = {}) {
  ReadSettings settings;
  settings.blockBytes = bytes;
  settings.missingTexts = std::move(missingTexts);
  return settings;
}

std::vector<std::string> linesOf(const std::string& bytes,
                                 std::size_t blockBytes = kDefaultBlockBytes) {
  InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(blockBytes));
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

TEST(InputReader, ReadsAcrossBlocksAsInOne) {
  // CR LF split between blocks, a lone CR at a block's end, lines and a token longer than the
  // buffer (the token reads as infinity).
  const std::string longLine(100, '7');
  const std::string longToken = "1" + std::string(400, '0');
  const std::string bytes = "xxxxx\r\nnext\r\nCR\ralone\n" + longLine + "\n  " + longToken + " 2\n";
  const std::vector<std::string> expected = {"xxxxx\n", "next\n", "CR\ralone\n", longLine + "\n",
                                             "  " + longToken + " 2\n"};
  for (const std::size_t block : smallBlocks(40)) {
    EXPECT_EQ(linesOf(bytes, block), expected) << "blocks of " << block;
    InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(block));
    for (int i = 0; i < 4; ++i) {
      reader.skipLine();
    }
    double value = 0.0;
    ASSERT_TRUE(reader.readDouble(value)) << block;
    EXPECT_TRUE(std::isinf(value)) << block;
    ASSERT_TRUE(reader.readDouble(value)) << block;
    EXPECT_EQ(value, 2.0) << block;
  }
}

TEST(InputReader, ReadsTokensAcrossLinesAndBlocks) {
  std::string bytes;
  double expectedSum = 0.0;
  for (int i = 0; i < 300; ++i) {
    bytes += std::to_string(i) + ".25 ";
    expectedSum += i + 0.25;
    if (i % 7 == 0) {
      bytes += "\r\n";
    }
  }
  for (const std::size_t block :
       {std::size_t{1}, std::size_t{7}, std::size_t{64}, kDefaultBlockBytes}) {
    InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(block));
    double sum = 0.0;
    double value = 0.0;
    int count = 0;
    while (reader.readDouble(value)) {
      sum += value;
      ++count;
    }
    EXPECT_EQ(count, 300) << block;
    EXPECT_EQ(sum, expectedSum) << block;
  }
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

// Every start and length, and runs of line ends longer than a byte lane counts.
TEST(CountNewlines, CountsEachLineEnd) {
  std::string text;
  for (int i = 0; i < 700; ++i) {
    text += (i * 7919) % 5 == 0 ? '\n' : 'x';
  }
  text += std::string(8000, '\n');
  for (std::size_t start = 0; start < 40; ++start) {
    for (std::size_t size = 0; start + size <= text.size(); size += size < 300 ? 1 : 997) {
      const char* first = text.data() + start;
      ASSERT_EQ(countNewlines(first, first + size), std::count(first, first + size, '\n'))
          << start << " " << size;
    }
  }
}

TEST(InputReaderLineNumbers, CountLineFeedsOfTheTranslatedText) {
  struct Case {
    std::string bytes;
    std::int64_t lines;  // one more than the line ends
  };
  const Case cases[] = {
      {"a\nb\nc", 3},
      {"a\r\nb\r\n\r\nc", 4},  // CR LF is one line end
      {"a\rb\rc\n", 2},        // a CR alone ends no line
      {"a\n\x1A\nb\n", 2},     // Ctrl-Z ends the text
      {"", 1},
  };
  for (const Case& c : cases) {
    for (const std::size_t block : {std::size_t{1}, std::size_t{3}, kDefaultBlockBytes}) {
      InputReader reader(ByteSource::ofBytes(c.bytes), inBlocksOf(block));
      std::int64_t line = 1;
      EXPECT_EQ(reader.lineNumberAt(0), 1);
      for (std::string text; reader.readLine(text) && text.ends_with('\n');) {
        const std::int64_t before = reader.textOffset();
        ++line;
        // At the start of the next line, and at the line end before it, which may be dropped.
        EXPECT_EQ(reader.lineNumberAt(before), line) << c.bytes << ", blocks of " << block;
        EXPECT_EQ(reader.lineNumberAt(before - 1), line - 1) << c.bytes << ", blocks of " << block;
      }
      EXPECT_EQ(line, c.lines) << c.bytes;
    }
  }
}

// Reads the numbers of `bytes` after its first `skip` lines, each of which holds its own line
// number, and checks where the reader stands behind each: at offset `offsetBehind(line)`, in
// that line; in blocks of `blockBytes`, fewer than the input has.
void expectEachNumberInItsLine(const std::string& bytes, int skip, std::size_t blockBytes,
                               const std::function<std::int64_t(std::int64_t)>& offsetBehind) {
  InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(blockBytes));
  for (int i = 0; i < skip; ++i) {
    reader.skipLine();
  }
  std::int32_t value = 0;
  std::int64_t line = skip;
  while (reader.readInt(value)) {
    ++line;
    ASSERT_EQ(value, line);
    ASSERT_EQ(reader.textOffset(), offsetBehind(line)) << "line " << line;
    ASSERT_EQ(reader.lineNumberAt(reader.textOffset()), line);
  }
  ASSERT_FALSE(reader.firstFailure());
  ASSERT_GT(reader.bytesRead(), blockBytes);
}

TEST(InputReaderLineNumbers, OffsetsAcrossBlocks) {
  // 9-byte lines; 9-byte CR LF lines behind a 5-byte one, so blocks end between a CR and its LF;
  // lines longer than a block.
  const std::string crLf = "abc\r\n" + numberedLines(2, 7, 100, "\r\n");
  const std::int64_t blanks = 50;
  const std::string longLines =
      "1" + std::string(blanks, ' ') + "\n2\n" + std::string(blanks, ' ') + "3\n";
  for (const std::size_t block : smallBlocks(20)) {
    SCOPED_TRACE("blocks of " + std::to_string(block));
    expectEachNumberInItsLine(numberedLines(1, 8, 100), 0, block,
                              [](std::int64_t line) { return 9 * (line - 1) + 8; });
    expectEachNumberInItsLine(crLf, 1, block,
                              [](std::int64_t line) { return 4 + 8 * (line - 2) + 7; });
    expectEachNumberInItsLine(longLines, 0, block, [&](std::int64_t line) {
      return line == 1 ? 1 : line == 2 ? blanks + 3 : 2 * blanks + 5;
    });
  }
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
void expectFailure(const FailureCase& c, std::size_t blockBytes = kDefaultBlockBytes) {
  InputReader reader(ByteSource::ofBytes(c.bytes), inBlocksOf(blockBytes));
  double value = 0.0;
  while (!reader.atEnd()) {
    if (!reader.readDouble(value)) {
      reader.skipLine();
    }
  }
  const std::optional<FailedToken> failure = reader.firstFailure();
  ASSERT_EQ(failure.has_value(), c.failure.has_value()) << c.what;
  if (failure) {
    EXPECT_EQ(failure->line, c.failure->line) << c.what;
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

// The line of a failed token began in an earlier block, or the token goes on in the next one:
// the quote is the whole token all the same, and the line start is judged whole.
TEST(InputReaderFirstFailure, AcrossBlockBoundaries) {
  const std::string ones = "1\n1\n1\n1\n1\n";
  const FailureCase cases[] = {
      {"in a data row", ones + "2001 1 1 12 NA\n3\n", ExpectedFailure{6, "NA", true}},
      {"a footer", ones + "end\n", ExpectedFailure{6, "end", false}},
  };
  for (const FailureCase& c : cases) {
    for (const std::size_t block : smallBlocks(40)) {
      SCOPED_TRACE("blocks of " + std::to_string(block));
      expectFailure(c, block);
    }
  }
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

void expectOccurrence(const Occurrence& seen, const OccurrenceCase& c) {
  EXPECT_EQ(seen.count, c.expected.count) << c.what;
  EXPECT_EQ(seen.quote, c.expected.quote) << c.what;
  if (seen.count > 0) {
    EXPECT_EQ(seen.firstLine, c.expected.line) << c.what;
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
    expectOccurrence(readRows(reader, c.columns).linesCrossed(), c);
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
    expectOccurrence(readRows(reader, c.columns).extraText(), c);
  }
}

TEST(InputReaderExtraText, AcrossBlockBoundaries) {
  // Rows of one value, then a row whose blanks behind its value reach into a later block, where
  // "tail" follows.
  const std::string row = "2001 1 1 24 5\n";
  const std::string bytes = row + row + "2001 1 1 24 5" + std::string(20, ' ') + "tail\n" + row;
  for (const std::size_t block : smallBlocks(60)) {
    InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(block));
    expectOccurrence(readRows(reader, 1).extraText(),
                     {"text behind a boundary", bytes, 1, {3, "tail", 1}});
  }
}

// Rows read field by field, tokens cut by every block boundary: numbers read from the start of a
// token that goes on (a sign, a second point, an exponent without digits, an hour with a
// fraction), and values beyond the double range.
TEST(InputReaderUnusualNumbers, NamesTheFirstOfEachKindAndCountsThem) {
  const std::string bytes =
      "2001 1 1 24 1e5 .5 1.\n2001 1 2 24 2-3 1e400\n2001 1 3 24 1.5.5 7\n"
      "2001 1 4 24.9 1e 2E+\n2001 1 5 24 -1e999 1 2\n";
  for (const std::size_t block : smallBlocks(30)) {
    InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(block));
    readRows(reader, 3);
    const std::string what = "blocks of " + std::to_string(block);
    expectOccurrence(reader.partTokens(), {what.c_str(), bytes, 3, {2, "2-3", 5}});
    expectOccurrence(reader.infiniteValues(), {what.c_str(), bytes, 3, {2, "1e400", 2}});
  }
}

TEST(InputReader, SkipsAByteOrderMarkAtTheStartOnly) {
  const std::string mark = "\xEF\xBB\xBF";
  for (const std::size_t block : smallBlocks(8)) {
    EXPECT_EQ(linesOf(mark + "head\n" + mark + "x\n", block),
              (std::vector<std::string>{"head\n", mark + "x\n"}));
    EXPECT_EQ(linesOf(mark, block), std::vector<std::string>{});
    EXPECT_EQ(linesOf("\xEF\xBB\n", block), std::vector<std::string>{"\xEF\xBB\n"});
  }
  // Offsets stay byte offsets, so the threads can start behind the mark.
  const std::string bytes = mark + "2001 1 1 24 5\n";
  InputReader reader(ByteSource::ofBytes(bytes));
  ASSERT_TRUE(reader.rewind());
  EXPECT_EQ(reader.plainOffset(), std::optional<std::int64_t>(3));
  std::int32_t year = 0;
  EXPECT_TRUE(reader.readInt(year));
  EXPECT_EQ(year, 2001);
}

TEST(InputReader, TellsWhatLiesBehindTheCtrlZThatEndedTheInput) {
  struct Case {
    std::string bytes;
    std::optional<CtrlZEnd> ctrlZ;  // offset, source offset, bytes behind, data rows behind
  };
  const Case cases[] = {
      {"2001 1 1 24 5\n", std::nullopt},
      {"2001 1 1 24 5\n\x1A", CtrlZEnd{14, 14, 0, false}},
      {"2001 1 1 24 5\n\x1A\x1A\r\nend\n", CtrlZEnd{14, 14, 7, false}},
      {"2001 1 1 24 5\n\x1A"
       "end\n 2001 1 2 24 6\n",
       CtrlZEnd{14, 14, 19, true}},
      {"2001 1 1\x1A 24 5\n", CtrlZEnd{8, 8, 6, true}},
      {"a\r\nb\x1A-.5", CtrlZEnd{3, 4, 3, true}},
  };
  for (const Case& c : cases) {
    for (const std::size_t block : smallBlocks(24)) {
      InputReader reader(ByteSource::ofBytes(c.bytes), inBlocksOf(block));
      std::string line;
      while (reader.readLine(line)) {
      }
      const auto fields = [](const std::optional<CtrlZEnd>& end) {
        return end ? std::tuple(end->offset, end->sourceOffset, end->bytesBehind,
                                end->dataRowsBehind)
                   : std::tuple(std::int64_t{-1}, std::uint64_t{0}, std::uint64_t{0}, false);
      };
      EXPECT_EQ(fields(reader.ctrlZ()), fields(c.ctrlZ)) << c.bytes << ", blocks of " << block;
    }
  }
}

TEST(InputReaderBlocks, CountsBytesAndTellsEachBlock) {
  constexpr std::size_t kBlock = 64;
  const std::string empty;
  const std::string row = "2001 1 1 24 5\n";
  const std::string small = numberedLines(1, 8, kBlock - 9);
  const std::string large = numberedLines(1, 8, 3 * kBlock + 10);
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
    InputReader reader(ByteSource::ofBytes(c.bytes), inBlocksOf(kBlock));
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
  EXPECT_EQ(reader.bytesRead(), bytes.size());  // counted afresh: the first block, read again
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
  constexpr std::size_t kBlock = 256;
  std::string bytes = "title line\r\nyear month day hour q\n";
  for (int i = 0; bytes.size() < kBlock - 40; ++i) {
    bytes += "2001 1 " + std::to_string(i % 28 + 1) + " " + std::to_string(i % 24 + 1) + " " +
             std::to_string(i) + ".5" + (i % 3 == 0 ? "\r\n" : "\n");
  }
  const std::size_t blanks = kBlock - 1 - bytes.size();
  bytes.append(blanks, ' ');
  bytes +=
      "\r\n2001 2 1 24 -9999\rx 7\n2001 2 2 24\n2001 2 3 24 1e3 oops\r\n\x1A"
      "2001 2 4 24 5\n";
  ASSERT_EQ(bytes[kBlock - 1], '\r');

  InputReader inMemory(ByteSource::ofBytes(bytes), inBlocksOf(kBlock));
  const std::vector<std::string> fromMemory = everythingRead(inMemory);
  const platform::FileHandle file = testing::fileWith(bytes);
  InputReader fromFileReader(ByteSource::ofFile(file.get()), inBlocksOf(kBlock));
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
  InputReader reader(ByteSource::ofBytes(bytes),
                     inBlocksOf(kDefaultBlockBytes, {"NA", "nan", "-"}));
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
    InputReader reader(ByteSource::ofBytes(text), inBlocksOf(kDefaultBlockBytes, {"NA"}));
    double value = 0.0;
    EXPECT_FALSE(reader.readValue(value)) << bytes;
    ASSERT_TRUE(reader.firstFailure()) << bytes;
  }
  // Stamp fields are integers, never missing texts.
  InputReader reader(ByteSource::ofBytes("NA 1"), inBlocksOf(kDefaultBlockBytes, {"NA"}));
  std::int32_t year = 0;
  EXPECT_FALSE(reader.readInt(year));
}

TEST(InputReader, MissingTextAcrossABlockBoundary) {
  const std::string bytes = "1 1 1 1 nan 7";
  const double m = InputReader::kMissingTokenValue;
  for (const std::size_t block : smallBlocks(14)) {
    InputReader reader(ByteSource::ofBytes(bytes), inBlocksOf(block, {"nan"}));
    std::vector<double> values;
    double value = 0.0;
    while (reader.readValue(value)) {
      values.push_back(value);
    }
    EXPECT_FALSE(reader.firstFailure()) << block;
    EXPECT_EQ(values, (std::vector<double>{1, 1, 1, 1, m, 7})) << block;
  }
}

}  // namespace
}  // namespace skarvel
