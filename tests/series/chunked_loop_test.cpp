#include "chunked_loop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "averages_file.hpp"
#include "averaging.hpp"
#include "close_writer.hpp"
#include "input_reader.hpp"
#include "read_settings.hpp"
#include "text_writer.hpp"

namespace skarvel {
namespace {

constexpr std::array kOutputs = {ChunkOutput{Period::day, FileLayout::classic},
                                 ChunkOutput{Period::month, FileLayout::classic},
                                 ChunkOutput{Period::year, FileLayout::csv}};

// The rows of every output and the progress marks, written as the run driver writes them.
class RecordingSink final : public ChunkSink {
 public:
  explicit RecordingSink(const SummaryRules& rules) : closes_(rowOutputs(), marks_, rules) {}

  void periodClosed(Period period, const RecordStamp& stamp,
                    const Accumulators& accumulators) override {
    closes_.write(period, stamp, accumulators);
  }
  bool healthy() const override { return true; }
  void writeRows(std::size_t output, std::string_view rows) override { rows_[output].write(rows); }
  void writeMarks(std::string_view marks) override { marks_.write(marks); }
  void chunkCommitted() override { ++chunks; }

  std::string rows(std::size_t output) const { return std::string(rows_[output].collected()); }
  std::string marks() const { return std::string(marks_.collected()); }

  int chunks = 0;

 private:
  // One collecting writer per output.
  std::vector<RowOutput> rowOutputs() {
    rows_.reserve(kOutputs.size());
    std::vector<RowOutput> outputs;
    for (const ChunkOutput& output : kOutputs) {
      rows_.push_back(TextWriter::collecting());
      outputs.push_back({output.period, output.layout, rows_.back()});
    }
    return outputs;
  }

  std::vector<TextWriter> rows_;
  TextWriter marks_ = TextWriter::collecting();
  CloseWriter closes_;
};

struct Reading {
  RecordLoopState state;
  RecordingSink sink;
  std::int64_t resumedAt = -1;  // where the chunked loop handed over to the record loop

  Reading(std::int32_t columns, const SummaryRules& rules)
      : state{{}, false, *Accumulators::create(columns, rules.statistic)}, sink(rules) {}
};

struct ReadingRules {
  std::int32_t columns = 2;
  SummaryRules rules{};
  std::vector<std::string> missingTexts;

  ReadSettings settings(std::size_t chunkBytes = kDefaultChunkBytes) const {
    ReadSettings settings;
    settings.chunkBytes = chunkBytes;
    settings.missingTexts = missingTexts;
    return settings;
  }
};

// The record loop alone over `text`.
void readOnOneThread(const std::string& text, const ReadingRules& setup, Reading& reading) {
  InputReader input(ByteSource::ofBytes(text), setup.settings());
  runRecordLoop(input, reading.state, setup.rules, reading.sink);
}

// The chunked loop over `text`, then the record loop from where it stopped, as the run driver
// reads.
void readInChunks(const std::string& text, const ReadingRules& setup, std::size_t chunkBytes,
                  unsigned workers, Reading& reading) {
  const ReadSettings settings = setup.settings(chunkBytes);
  InputReader input(ByteSource::ofBytes(text), settings);
  const ChunkedEnd resumed = runChunkedLoop(input, {}, reading.state, setup.rules, kOutputs,
                                            reading.sink, workers, settings);
  reading.resumedAt = resumed.offset;
  ASSERT_FALSE(input.failed());
  input.resumeAt(resumed.offset, resumed.lineEnds);
  runRecordLoop(input, reading.state, setup.rules, reading.sink);
}

void expectSamePeriod(const PeriodValues& expected, const PeriodValues& actual,
                      const std::string& what) {
  EXPECT_EQ(actual.rows, expected.rows) << what;
  EXPECT_EQ(actual.counts, expected.counts) << what;
  EXPECT_EQ(actual.sums, expected.sums) << what;  // the same additions in the same order
  ASSERT_EQ(actual.extremes.size(), expected.extremes.size()) << what;
  for (std::size_t c = 0; c < expected.extremes.size(); ++c) {
    EXPECT_EQ(actual.extremes[c].min, expected.extremes[c].min) << what << " column " << c;
    EXPECT_EQ(actual.extremes[c].max, expected.extremes[c].max) << what << " column " << c;
  }
}

// What the readings made of the text. `atHandover`: `actual` stopped where the record loop is
// to go on, `expected` at the end of that text, which only marks the row unreadable.
void expectSameReading(const Reading& expected, const Reading& actual, const std::string& what,
                       bool atHandover = false) {
  const RecordLoopState& e = expected.state;
  const RecordLoopState& a = actual.state;
  EXPECT_EQ(a.rowsRead, e.rowsRead) << what;
  EXPECT_EQ(a.valuesAccepted, e.valuesAccepted) << what;
  EXPECT_EQ(a.closes, e.closes) << what;
  EXPECT_EQ(a.daysSinceMonthClose, e.daysSinceMonthClose) << what;
  EXPECT_EQ(a.endedInsideValues, e.endedInsideValues) << what;
  if (!atHandover) {
    EXPECT_EQ(a.rowUnreadable, e.rowUnreadable) << what;
  }
  EXPECT_EQ(a.stamp.year, e.stamp.year) << what;
  EXPECT_EQ(a.stamp.month, e.stamp.month) << what;
  EXPECT_EQ(a.stamp.day, e.stamp.day) << what;
  EXPECT_EQ(a.stamp.hour, e.stamp.hour) << what;
  for (const Period period : {Period::day, Period::month, Period::year, Period::total}) {
    expectSamePeriod(e.accumulators.period(period), a.accumulators.period(period),
                     what + ", period " + std::to_string(static_cast<int>(period)));
  }
  for (std::size_t i = 0; i < kOutputs.size(); ++i) {
    EXPECT_EQ(actual.sink.rows(i), expected.sink.rows(i)) << what << ", output " << i;
  }
  EXPECT_EQ(actual.sink.marks(), expected.sink.marks()) << what;
}

int monthLength(int year, int month) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kLengths[month - 1];
}

// Rows of `hours` hours a day (ending on hour 24) with two values, from 30 November 2003 on for
// `days` days: a month and a year end early on, a leap February later.
std::vector<std::string> rowsOf(int days, int hours) {
  std::vector<std::string> rows;
  int year = 2003;
  int month = 11;
  int day = 30;
  for (int d = 0; d < days; ++d) {
    for (int hour = 25 - hours; hour <= 24; ++hour) {
      const int value = (d * 31 + hour * 7) % 50;
      rows.push_back(std::to_string(year) + " " + std::to_string(month) + " " +
                     std::to_string(day) + " " + std::to_string(hour) + " " +
                     std::to_string(value) + ".25 " + (value % 9 == 0 ? "-9999" : "-3.5"));
    }
    if (++day > monthLength(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
  return rows;
}

std::string textOf(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) {
    text += row + "\n";
  }
  return text;
}

// The byte offset of the start of row `index`.
std::int64_t offsetOfRow(const std::vector<std::string>& rows, std::size_t index) {
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < index; ++i) {
    offset += static_cast<std::int64_t>(rows[i].size() + 1);
  }
  return offset;
}

// The end of the last row with hour `closeHour` before byte `limit`, behind its line end.
std::int64_t lastClosingRowEndBefore(const std::string& text, std::int64_t limit, int closeHour) {
  std::int64_t end = 0;
  std::size_t start = 0;
  while (start < text.size() && static_cast<std::int64_t>(start) < limit) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string::npos) {
      break;
    }
    int fields[4] = {};
    if (std::sscanf(text.c_str() + start, "%d %d %d %d", &fields[0], &fields[1], &fields[2],
                    &fields[3]) == 4 &&
        fields[3] == closeHour && static_cast<std::int64_t>(newline) < limit) {
      end = static_cast<std::int64_t>(newline + 1);
    }
    start = newline + 1;
  }
  return end;
}

// The most bytes from one closing row's end to the next.
std::int64_t longestDay(const std::string& text) {
  std::int64_t longest = 0;
  std::int64_t previous = 0;
  std::int64_t end = lastClosingRowEndBefore(text, static_cast<std::int64_t>(text.size()), 24);
  std::vector<std::int64_t> ends;
  while (end > 0) {
    ends.push_back(end);
    end = lastClosingRowEndBefore(text, end - 1, 24);
  }
  for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
    longest = std::max(longest, *it - previous);
    previous = *it;
  }
  return longest;
}

struct ChunkSize {
  std::size_t bytes;
  unsigned workers;
};

// Chunk sizes from one that holds a single day (a day of daily rows is 22 bytes, of six-hourly
// rows about 140) to several days per chunk.
constexpr std::array kChunkSizes = {ChunkSize{64, 2}, ChunkSize{100, 3}, ChunkSize{333, 2},
                                    ChunkSize{1000, 4}, ChunkSize{4096, 2}};

TEST(ChunkedLoop, ReadsCleanTextAsTheRecordLoopDoes) {
  struct Input {
    std::string name;
    std::string text;
  };
  std::string unfinished = textOf(rowsOf(80, 6));
  unfinished.resize(unfinished.size() - 30);
  std::string noFinalNewline = textOf(rowsOf(70, 1));
  noFinalNewline.pop_back();
  const std::vector<Input> inputs = {
      {"daily rows", textOf(rowsOf(120, 1))},
      {"six-hourly rows", textOf(rowsOf(100, 6))},
      {"an unfinished last day", unfinished},
      {"no final newline", noFinalNewline},
  };
  const ReadingRules setup;
  for (const Input& input : inputs) {
    Reading expected(setup.columns, setup.rules);
    readOnOneThread(input.text, setup, expected);
    ASSERT_GT(expected.state.closes[static_cast<std::size_t>(Period::month)], 2) << input.name;
    for (const ChunkSize size : kChunkSizes) {
      const std::string what = input.name + " in " + std::to_string(size.bytes) + "-byte chunks";
      Reading chunked(setup.columns, setup.rules);
      readInChunks(input.text, setup, size.bytes, size.workers, chunked);
      expectSameReading(expected, chunked, what);
      if (2 * longestDay(input.text) > static_cast<std::int64_t>(size.bytes)) {
        continue;  // days too long for chunks of this size: all read by the record loop
      }
      // Whole chunks as far as the last closing row: the rest has end-of-input rules.
      const std::int64_t lastClose =
          lastClosingRowEndBefore(input.text, static_cast<std::int64_t>(input.text.size()), 24);
      EXPECT_EQ(chunked.resumedAt, lastClose) << what;
      if (input.text.size() > size.bytes) {
        EXPECT_GT(chunked.sink.chunks, 1) << what;
      }
    }
  }
}

TEST(ChunkedLoop, KeepsEveryStatisticAndCloseHour) {
  std::vector<std::string> hours0To23;
  for (const std::string& row : rowsOf(90, 4)) {
    const std::size_t hourEnd = row.find(' ', row.find(' ', row.find(' ') + 1) + 1) + 1;
    const std::size_t valuesStart = row.find(' ', hourEnd);
    const int hour = std::stoi(row.substr(hourEnd, valuesStart - hourEnd));
    hours0To23.push_back(row.substr(0, hourEnd) + std::to_string(hour - 1) +
                         row.substr(valuesStart));
  }
  for (const Statistic statistic :
       {Statistic::mean, Statistic::sum, Statistic::min, Statistic::max, Statistic::count}) {
    for (const int closeHour : {24, 23}) {
      ReadingRules setup;
      setup.rules.statistic = statistic;
      setup.rules.closeHour = closeHour;
      setup.rules.yearLastMonth = 2;
      setup.rules.minCoverage = 50.0;
      const std::string text = textOf(closeHour == 24 ? rowsOf(90, 4) : hours0To23);
      Reading expected(setup.columns, setup.rules);
      readOnOneThread(text, setup, expected);
      Reading chunked(setup.columns, setup.rules);
      readInChunks(text, setup, 200, 3, chunked);
      expectSameReading(expected, chunked,
                        "statistic " + std::to_string(static_cast<int>(statistic)) +
                            ", close hour " + std::to_string(closeHour));
    }
  }
}

// A row put into clean text: one that the chunks cannot prove to read as the record loop does,
// or one that they can (`handsOver` false).
struct Fault {
  std::string name;
  std::string row;             // replaces the row, "" leaves it
  std::string insertedBefore;  // text put at the row's start
  std::vector<std::string> missingTexts;
  bool handsOver = true;
};

TEST(ChunkedLoop, HandsTheChunkOfAFaultToTheRecordLoop) {
  const std::vector<Fault> faults = {
      {"a failed conversion", "2004 1 3 18 NA 2", "", {}},
      {"a missing text", "2004 1 3 18 NA 2", "", {"NA"}, false},
      {"a short row", "2004 1 3 18 7.5\n2", "", {}},
      {"a long row", "2004 1 3 18 7.5 2 3", "", {}},
      {"CR LF", "2004 1 3 18 7.5 2\r", "", {}},
      {"a Ctrl-Z", "", "\x1A", {}},
      {"a NUL", "", std::string(1, '\0'), {}},
      {"a long number", "2004 1 3 18 7." + std::string(700, '5') + " 2", "", {}, false},
      {"a number read from part of its token", "2004 1 3 18 1e 2", "", {}},
      {"an infinite value", "2004 1 3 18 1e400 2", "", {}},
      {"a month out of range", "2004 13 3 18 7.5 2", "", {}},
  };
  const std::vector<std::string> clean = rowsOf(80, 6);
  for (const Fault& fault : faults) {
    for (const std::size_t at : {std::size_t{3}, clean.size() / 2, clean.size() - 3}) {
      std::vector<std::string> rows = clean;
      if (!fault.row.empty()) {
        rows[at] = fault.row;
      }
      rows[at].insert(0, fault.insertedBefore);
      const std::string text = textOf(rows);
      const std::int64_t faultOffset = offsetOfRow(rows, at);
      ReadingRules setup;
      setup.missingTexts = fault.missingTexts;
      Reading expected(setup.columns, setup.rules);
      readOnOneThread(text, setup, expected);
      for (const ChunkSize size : kChunkSizes) {
        const std::string what = fault.name + " in row " + std::to_string(at) + ", " +
                                 std::to_string(size.bytes) + "-byte chunks";
        Reading chunked(setup.columns, setup.rules);
        readInChunks(text, setup, size.bytes, size.workers, chunked);
        expectSameReading(expected, chunked, what);
        const bool daysFit = 2 * longestDay(text) <= static_cast<std::int64_t>(size.bytes);
        if (!fault.handsOver) {
          if (daysFit) {
            EXPECT_EQ(chunked.resumedAt,
                      lastClosingRowEndBefore(text, static_cast<std::int64_t>(text.size()), 24))
                << what;
          }
          continue;
        }
        // The record loop takes over at the start of the chunk that holds the fault: behind a
        // closing row, before the fault, and, where days fit in chunks, less than a chunk
        // before it.
        EXPECT_EQ(chunked.resumedAt, lastClosingRowEndBefore(text, chunked.resumedAt + 1, 24))
            << what;
        EXPECT_LE(chunked.resumedAt, faultOffset) << what;
        if (daysFit) {
          EXPECT_GT(chunked.resumedAt + static_cast<std::int64_t>(size.bytes), faultOffset) << what;
        }

        // What the chunks committed is what the record loop makes of the text up to there.
        const ReadSettings settings = setup.settings(size.bytes);
        InputReader input(ByteSource::ofBytes(text), settings);
        Reading committed(setup.columns, setup.rules);
        committed.resumedAt = runChunkedLoop(input, {}, committed.state, setup.rules, kOutputs,
                                             committed.sink, size.workers, settings)
                                  .offset;
        Reading prefix(setup.columns, setup.rules);
        readOnOneThread(text.substr(0, static_cast<std::size_t>(committed.resumedAt)), setup,
                        prefix);
        expectSameReading(prefix, committed, what + ", up to the fault's chunk", true);
      }
    }
  }
}

}  // namespace
}  // namespace skarvel
