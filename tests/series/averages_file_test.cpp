// The averages files' text: header copy with its label, period rows with the coverage rule,
// and the final rows, compared byte for byte.
#include "averages_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "temp_input.hpp"

namespace skarvel {
namespace {

// Accumulators whose `period` holds `rows` data rows and, per column, the given accepted values.
Accumulators filled(Period period, std::int64_t rows,
                    const std::vector<std::vector<double>>& values,
                    Statistic statistic = Statistic::max) {
  std::optional<Accumulators> created =
      Accumulators::create(static_cast<std::int32_t>(values.size()), statistic);
  Accumulators accumulators = std::move(*created);
  for (std::int64_t r = 0; r < rows; ++r) {
    accumulators.countRow();
  }
  for (std::size_t c = 0; c < values.size(); ++c) {
    for (const double value : values[c]) {
      accumulators.addToDay(c, value);
    }
  }
  if (period != Period::day) {
    accumulators.merge(Period::day, period);
    accumulators.clear(Period::day);
  }
  return accumulators;
}

// Text written through a TextWriter into a temporary file.
class WrittenText {
 public:
  WrittenText() : file_(testing::scratchFile()), writer_(TextWriter::borrowing(file_.get())) {}

  TextWriter& writer() { return writer_; }
  std::string text() {
    EXPECT_TRUE(writer_.flush());
    return testing::contentOf(file_.get());
  }

 private:
  platform::FileHandle file_;
  TextWriter writer_;
};

SummaryRules rulesOf(Statistic statistic, double minCoverage = 0.0) {
  SummaryRules rules;
  rules.statistic = statistic;
  rules.minCoverage = minCoverage;
  return rules;
}

struct RowCase {
  const char* name;
  RecordStamp stamp;
  Period period;
  std::int64_t rows;
  std::vector<std::vector<double>> values;
  SummaryRules rules;
  std::string row;
};

TEST(PeriodRow, WritesTheStampAndOneValuePerColumn) {
  const RowCase cases[] = {
      {"mean of a day",
       {2001, 1, 31, 24},
       Period::day,
       2,
       {{1.0, 2.0}},
       {},
       "2001\t1\t31\t24\t1.5\n"},
      {"six significant digits",
       {2001, 2, 28, 24},
       Period::month,
       3,
       {{1.0, 0.0, 0.0}, {1234567.0}, {0.00001}, {-9999.0 + 0.5}, {100000.0}},
       {},
       "2001\t2\t28\t24\t0.333333\t1.23457e+006\t1e-005\t-9998.5\t100000\n"},
      {"a column without values",
       {2001, 1, 1, 24},
       Period::day,
       2,
       {{}, {3.0}, {}},
       {},
       "2001\t1\t1\t24\t-9999\t3\t-9999\n"},
      {"no columns", {1999, 12, 31, 24}, Period::year, 4, {}, {}, "1999\t12\t31\t24\n"},
      {"stamp fields as read",
       {-1, 13, 0, 24},
       Period::day,
       1,
       {{-0.25}},
       {},
       "-1\t13\t0\t24\t-0.25\n"},
      {"sum",
       {2001, 1, 31, 24},
       Period::month,
       3,
       {{1.5, 2.0, -4.0}},
       rulesOf(Statistic::sum),
       "2001\t1\t31\t24\t-0.5\n"},
      {"min",
       {2001, 1, 31, 24},
       Period::year,
       3,
       {{1.5, 2.0, -4.0}},
       rulesOf(Statistic::min),
       "2001\t1\t31\t24\t-4\n"},
      {"max",
       {2001, 1, 31, 24},
       Period::year,
       3,
       {{1.5, 2.0, -4.0}},
       rulesOf(Statistic::max),
       "2001\t1\t31\t24\t2\n"},
      {"max of a column without values",
       {2001, 1, 31, 24},
       Period::day,
       1,
       {{}},
       rulesOf(Statistic::max),
       "2001\t1\t31\t24\t-9999\n"},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Accumulators accumulators = filled(c.period, c.rows, c.values);
    WrittenText out;
    writePeriodRow(out.writer(), c.stamp, accumulators, c.period, c.rules);
    EXPECT_EQ(out.text(), c.row);
  }
}

TEST(PeriodRow, ShowsAValueOnlyFromTheRequiredCoverage) {
  const RecordStamp stamp{2001, 1, 31, 24};
  const std::vector<double> three = {1.0, 2.0, 3.0};
  const RowCase cases[] = {
      {"exactly 75 percent passes",
       stamp,
       Period::day,
       4,
       {three},
       rulesOf(Statistic::mean, 75.0),
       "2001\t1\t31\t24\t2\n"},
      {"just below 75 percent fails",
       stamp,
       Period::day,
       4,
       {three},
       rulesOf(Statistic::mean, std::nextafter(75.0, 100.0)),
       "2001\t1\t31\t24\t-9999\n"},
      {"599 of 800 rows fail 75 percent",
       stamp,
       Period::month,
       800,
       {std::vector<double>(599, 1.0), std::vector<double>(600, 1.0)},
       rulesOf(Statistic::sum, 75.0),
       "2001\t1\t31\t24\t-9999\t600\n"},
      {"five of eight rows pass 62.5 percent",
       stamp,
       Period::year,
       8,
       {{1.0, 2.0, 3.0, 4.0, 5.0}},
       rulesOf(Statistic::mean, 62.5),
       "2001\t1\t31\t24\t3\n"},
      {"five of eight rows fail 62.51 percent",
       stamp,
       Period::year,
       8,
       {{1.0, 2.0, 3.0, 4.0, 5.0}},
       rulesOf(Statistic::mean, 62.51),
       "2001\t1\t31\t24\t-9999\n"},
      {"100 percent needs every row",
       stamp,
       Period::day,
       3,
       {three, {1.0, 2.0}},
       rulesOf(Statistic::max, 100.0),
       "2001\t1\t31\t24\t3\t-9999\n"},
      {"0 percent still needs a value",
       stamp,
       Period::day,
       3,
       {{}, {4.0}},
       rulesOf(Statistic::mean, 0.0),
       "2001\t1\t31\t24\t-9999\t4\n"},
      {"one of two rows passes 50 percent",
       stamp,
       Period::month,
       2,
       {{7.0}},
       rulesOf(Statistic::mean, 50.0),
       "2001\t1\t31\t24\t7\n"},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Accumulators accumulators = filled(c.period, c.rows, c.values);
    WrittenText out;
    writePeriodRow(out.writer(), c.stamp, accumulators, c.period, c.rules);
    EXPECT_EQ(out.text(), c.row);
  }
}

TEST(PeriodRow, CoverageIsThatOfThePeriodWritten) {
  // The month has 4 rows, of which the day holds 1: one value covers the day fully, the month
  // by a quarter.
  std::optional<Accumulators> created = Accumulators::create(1, Statistic::mean);
  Accumulators& accumulators = *created;
  for (int r = 0; r < 3; ++r) {
    accumulators.countRow();
  }
  accumulators.merge(Period::day, Period::month);
  accumulators.clear(Period::day);
  accumulators.countRow();
  accumulators.addToDay(0, 8.0);
  accumulators.merge(Period::day, Period::month);
  const RecordStamp stamp{2001, 1, 31, 24};
  const SummaryRules rules = rulesOf(Statistic::mean, 50.0);
  WrittenText out;
  writePeriodRow(out.writer(), stamp, accumulators, Period::day, rules);
  writePeriodRow(out.writer(), stamp, accumulators, Period::month, rules);
  EXPECT_EQ(out.text(), "2001\t1\t31\t24\t8\n2001\t1\t31\t24\t-9999\n");
}

// The three averages files of a run, each writing into its own temporary file.
class ThreeFiles {
 public:
  ThreeFiles() {
    for (const AveragesKind& kind : {kDailyFile, kMonthlyFile, kYearlyFile}) {
      handles_.push_back(testing::scratchFile());
      files_.push_back({kind, "out", std::nullopt, TextWriter::borrowing(handles_.back().get()),
                        FileLayout::classic});
    }
  }

  std::span<AveragesFile> files() { return files_; }
  std::string text(std::size_t file) {
    EXPECT_TRUE(files_[file].writer.flush());
    return testing::contentOf(handles_[file].get());
  }

 private:
  std::vector<platform::FileHandle> handles_;
  std::vector<AveragesFile> files_;
};

TEST(FinalRows, WriteTheTotalsToEveryFile) {
  struct Case {
    const char* name;
    std::vector<std::vector<double>> totals;
    Statistic statistic;
    std::string row;
  };
  const Case cases[] = {
      {"mean", {{1.0, 2.0}, {}, {0.5}}, Statistic::mean, "0\t0\t0\t0\t1.5\t0\t0.5\n"},
      {"sum", {{1.0, 2.0}, {}, {1e7}}, Statistic::sum, "0\t0\t0\t0\t3\t0\t1e+007\n"},
      {"min", {{1.0, -2.0}, {}, {0.5}}, Statistic::min, "0\t0\t0\t0\t-2\t0\t0.5\n"},
      {"max", {{-1.0, -2.0}, {}, {0.5}}, Statistic::max, "0\t0\t0\t0\t-1\t0\t0.5\n"},
      {"no columns", {}, Statistic::mean, "0\t0\t0\t0\n"},
      {"no values at all", {{}, {}}, Statistic::max, "0\t0\t0\t0\t0\t0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The final row ignores coverage: one row in the totals is no reason for -9999.
    const Accumulators accumulators = filled(Period::total, 1000, c.totals);
    ThreeFiles out;
    writeFinalRows(out.files(), accumulators, c.statistic);
    for (std::size_t f = 0; f < 3; ++f) {
      EXPECT_EQ(out.text(f), c.row) << "file " << f;
    }
  }
}

TEST(CopyHeaders, CopiesTheHeaderLinesAndLabelsTheFirst) {
  struct Case {
    const char* name;
    std::string input;
    std::int32_t headrows;
    std::string daily;  // the monthly and yearly files differ only in their label
    std::string next;   // the line the input is left at
  };
  const Case cases[] = {
      {"two header lines", "title\nyear month\n2001 1 1 1 5\n", 2,
       "daily_sums_from_flow.dat_:_title\nyear month\n", "2001 1 1 1 5\n"},
      {"one of two", "title\nyear month\n2001\n", 1, "daily_sums_from_flow.dat_:_title\n",
       "year month\n"},
      {"CR LF reads as LF", "title\r\nsecond\r\nrest\r\n", 2,
       "daily_sums_from_flow.dat_:_title\nsecond\n", "rest\n"},
      {"an empty first line", "\nsecond\n", 2, "daily_sums_from_flow.dat_:_\nsecond\n", ""},
      {"a last line without line end", "title\nlast", 2, "daily_sums_from_flow.dat_:_title\nlast",
       ""},
      {"more header lines than the input has", "title\n", 5, "daily_sums_from_flow.dat_:_title\n",
       ""},
      {"headrows 0 writes nothing", "title\n2001\n", 0, "", "title\n"},
      {"negative headrows write nothing", "title\n2001\n", -1, "", "title\n"},
      {"an empty input writes no label", "", 3, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InputReader input(ByteSource::ofBytes(c.input));
    ThreeFiles out;
    copyHeaders(input, c.headrows, "flow.dat", out.files());
    EXPECT_EQ(out.text(0), c.daily);
    const std::string rest = c.daily.empty() ? "" : c.daily.substr(std::string("daily").size());
    EXPECT_EQ(out.text(1), c.daily.empty() ? "" : "monthly" + rest);
    EXPECT_EQ(out.text(2), c.daily.empty() ? "" : "yearly" + rest);
    std::string line;
    EXPECT_EQ(input.readLine(line) ? line : "", c.next);
  }
}

TEST(CopyHeaders, LabelsWithTheNameGiven) {
  const std::string bytes = "a\nb\n";
  InputReader input(ByteSource::ofBytes(bytes));
  ThreeFiles out;
  copyHeaders(input, 2, "run.v2/data.txt.$$$", out.files());
  EXPECT_EQ(out.text(0), "daily_sums_from_run.v2/data.txt.$$$_:_a\nb\n");
  EXPECT_EQ(out.text(1), "monthly_sums_from_run.v2/data.txt.$$$_:_a\nb\n");
  EXPECT_EQ(out.text(2), "yearly_sums_from_run.v2/data.txt.$$$_:_a\nb\n");
}

}  // namespace
}  // namespace skarvel
