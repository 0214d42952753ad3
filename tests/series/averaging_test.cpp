// The record loop fed from literal text: which periods close on which rows, what each close
// sees, and what ends up in the totals when the input ends.
#include "averaging.hpp"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace skarvel {
namespace {

std::string numberText(double value) {
  std::array<char, 64> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
  return std::string(text.data(), result.ptr);
}

std::string stampText(const RecordStamp& stamp) {
  return std::to_string(stamp.year) + " " + std::to_string(stamp.month) + " " +
         std::to_string(stamp.day) + " " + std::to_string(stamp.hour);
}

// "rows N:" and per column "statistic/count", "-/0" for a column without accepted values.
std::string periodText(const Accumulators& accumulators, Period period, Statistic statistic) {
  std::string text = "rows " + std::to_string(accumulators.rows(period)) + ":";
  for (std::size_t c = 0; c < accumulators.columnCount(); ++c) {
    const std::int64_t count = accumulators.count(c, period);
    text += " ";
    text += count > 0 ? numberText(accumulators.statisticOf(c, period, statistic)) : "-";
    text += "/" + std::to_string(count);
  }
  return text;
}

const char* periodName(Period period) {
  switch (period) {
    case Period::day:
      return "day";
    case Period::month:
      return "month";
    case Period::year:
      return "year";
    case Period::total:
      break;
  }
  return "total";
}

// Records every close as a line "<period> <stamp> rows N: value/count ...". Reports itself
// unhealthy once it has recorded `healthyCloses` closes.
class RecordingListener final : public CloseListener {
 public:
  RecordingListener(Statistic statistic, std::size_t healthyCloses)
      : statistic_(statistic), healthyCloses_(healthyCloses) {}

  void periodClosed(Period period, const RecordStamp& stamp,
                    const Accumulators& accumulators) override {
    closes.push_back(std::string(periodName(period)) + " " + stampText(stamp) + " " +
                     periodText(accumulators, period, statistic_));
  }
  bool healthy() const override { return closes.size() < healthyCloses_; }

  std::vector<std::string> closes;

 private:
  Statistic statistic_;
  std::size_t healthyCloses_;
};

constexpr std::size_t kAlwaysHealthy = std::numeric_limits<std::size_t>::max();

struct LoopCase {
  const char* name;
  std::string input;
  std::int32_t columns;
  std::vector<std::string> closes;
  std::string totals;      // the total period after the loop
  std::string stamp = "";  // the stamp after the loop, when the case is about it
  SummaryRules rules = {};
  std::size_t healthyCloses = kAlwaysHealthy;
};

void expectLoop(const LoopCase& c) {
  SCOPED_TRACE(c.name);
  std::optional<Accumulators> accumulators = Accumulators::create(c.columns, c.rules.statistic);
  ASSERT_TRUE(accumulators.has_value());
  RecordLoopState state{{}, false, std::move(*accumulators)};
  InputReader input(ByteSource::ofBytes(c.input));
  RecordingListener listener(c.rules.statistic, c.healthyCloses);
  runRecordLoop(input, state, c.rules, listener);
  EXPECT_EQ(listener.closes, c.closes);
  EXPECT_EQ(periodText(state.accumulators, Period::total, c.rules.statistic), c.totals);
  if (!c.stamp.empty()) {
    EXPECT_EQ(stampText(state.stamp), c.stamp);
  }
}

SummaryRules yearEndingIn(std::int32_t month) {
  SummaryRules rules;
  rules.yearLastMonth = month;
  return rules;
}

SummaryRules withStatistic(Statistic statistic) {
  SummaryRules rules;
  rules.statistic = statistic;
  return rules;
}

TEST(DaysInMonth, GivesGregorianLengthsAndMarksUnknownMonths) {
  struct Case {
    std::int32_t month;
    std::int32_t year;
    std::int32_t days;
  };
  const Case cases[] = {
      {1, 2001, 31}, {2, 2001, 28}, {2, 2000, 29},  {2, 1900, 28},  {2, 2004, 29},  {2, 2100, 28},
      {2, 2400, 29}, {2, 0, 29},    {3, 2001, 31},  {4, 2001, 30},  {5, 2001, 31},  {6, 2001, 30},
      {7, 2001, 31}, {8, 2001, 31}, {9, 2001, 30},  {10, 2001, 31}, {11, 2001, 30}, {12, 2001, 31},
      {0, 2001, 0},  {0, 2000, 0},  {13, 2001, -1}, {-1, 2001, -1}, {99, 2000, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DaysInMonth(c.month, c.year), c.days) << c.month << "/" << c.year;
  }
}

TEST(StampOutOfRange, NegativeFieldsAndMonthDayHourAboveTheirRange) {
  const std::pair<RecordStamp, bool> cases[] = {
      {{2001, 12, 31, 24}, false}, {{0, 0, 0, 0}, false},           {{2001, 13, 1, 1}, true},
      {{2001, 1, 32, 1}, true},    {{2001, 1, 1, 25}, true},        {{-1, 1, 1, 1}, true},
      {{2001, -1, 1, 1}, true},    {{2001, 1, 1, INT32_MAX}, true}, {{INT32_MIN, 1, 1, 1}, true},
  };
  for (const auto& [stamp, outOfRange] : cases) {
    EXPECT_EQ(stampOutOfRange(stamp), outOfRange)
        << stamp.year << " " << stamp.month << " " << stamp.day << " " << stamp.hour;
  }
}

// Closes at offsets 0, 10, 20, ..., on lines of 10 bytes: a day closed three times counts once;
// month 0 and day 0 take no part; a close after one that went back is in order again.
TEST(CloseOrder, CountsDaysClosedAgainAndDatesGoingBack) {
  const RecordStamp closes[] = {
      {2001, 1, 1, 24}, {2001, 1, 1, 24}, {2001, 1, 1, 24},   {2001, 1, 2, 24}, {2000, 0, 0, 24},
      {2001, 1, 2, 24}, {2001, 1, 3, 24}, {2000, 12, 31, 24}, {2001, 1, 1, 24}, {1999, 1, 1, 24}};
  std::string lines;
  for (int i = 0; i < 10; ++i) {
    lines += "123456789\n";
  }
  InputReader input(ByteSource::ofBytes(lines));
  ASSERT_FALSE(input.atEnd());  // every line buffered
  CloseOrder order;
  std::int64_t offset = 0;
  for (const RecordStamp& close : closes) {
    order.take(close, offset, input);
    offset += 10;
  }
  EXPECT_EQ(order.repeatedDays.count, 2);
  EXPECT_EQ(order.repeatedDays.firstOffset, 10);
  EXPECT_EQ(order.repeatedDays.firstLine, 2);
  EXPECT_EQ(order.datesBack.firstLine, 8);
  EXPECT_EQ(order.firstRepeated.day, 1);
  EXPECT_EQ(order.datesBack.count, 2);
  EXPECT_EQ(order.datesBack.firstOffset, 70);
  EXPECT_EQ(order.backFrom.day, 3);
  EXPECT_EQ(order.backTo.year, 2000);
  EXPECT_EQ(order.last->year, 1999);
}

TEST(RecordLoop, ClosesDaysAndMonths) {
  const LoopCase cases[] = {
      {"a day closes on its hour-24 row",
       "2001 1 1 23 1\n2001 1 1 24 2\n2001 1 2 1 6\n",
       1,
       {"day 2001 1 1 24 rows 2: 1.5/2"},
       "rows 3: 3/3"},
      {"hours other than 24 close nothing",
       "2001 1 31 1 1\n2001 1 31 23 2\n2001 1 31 0 3\n2001 1 31 25 4\n",
       1,
       {},
       "rows 0: -/0"},
      {"the last day of January closes the month",
       "2001 1 30 24 1\n2001 1 31 24 5\n",
       1,
       {"day 2001 1 30 24 rows 1: 1/1", "day 2001 1 31 24 rows 1: 5/1",
        "month 2001 1 31 24 rows 2: 3/2"},
       "rows 2: 3/2"},
      {"a month runs on until the close of its last day",
       "2001 1 31 23 2\n2001 2 5 24 4\n2001 2 28 24 6\n",
       1,
       {"day 2001 2 5 24 rows 2: 3/2", "day 2001 2 28 24 rows 1: 6/1",
        "month 2001 2 28 24 rows 3: 4/3"},
       "rows 3: 4/3"},
      {"the close of the last day ends the month, not a later hour",
       "2001 4 30 24 2\n2001 4 30 1 4\n",
       1,
       {"day 2001 4 30 24 rows 1: 2/1", "month 2001 4 30 24 rows 1: 2/1"},
       "rows 2: 3/2"},
      {"2000-02-29 closes February",
       "2000 2 29 24 7\n",
       1,
       {"day 2000 2 29 24 rows 1: 7/1", "month 2000 2 29 24 rows 1: 7/1"},
       "rows 1: 7/1"},
      {"2000-02-28 does not",
       "2000 2 28 24 7\n",
       1,
       {"day 2000 2 28 24 rows 1: 7/1"},
       "rows 0: -/0"},
      {"1900-02-28 closes February",
       "1900 2 28 24 7\n",
       1,
       {"day 1900 2 28 24 rows 1: 7/1", "month 1900 2 28 24 rows 1: 7/1"},
       "rows 1: 7/1"},
      {"1900-02-29 does not",
       "1900 2 29 24 7\n",
       1,
       {"day 1900 2 29 24 rows 1: 7/1"},
       "rows 0: -/0"},
      {"2004-02-28 does not close February",
       "2004 2 28 24 7\n",
       1,
       {"day 2004 2 28 24 rows 1: 7/1"},
       "rows 0: -/0"},
      {"2004-02-29 does",
       "2004 2 29 24 7\n",
       1,
       {"day 2004 2 29 24 rows 1: 7/1", "month 2004 2 29 24 rows 1: 7/1"},
       "rows 1: 7/1"},
      {"month 0 day 0 closes a month",
       "2001 0 0 24 3\n",
       1,
       {"day 2001 0 0 24 rows 1: 3/1", "month 2001 0 0 24 rows 1: 3/1"},
       "rows 1: 3/1"},
      {"month 0 with another day does not",
       "2001 0 1 24 3\n2001 0 31 24 5\n",
       1,
       {"day 2001 0 1 24 rows 1: 3/1", "day 2001 0 31 24 rows 1: 5/1"},
       "rows 0: -/0"},
      {"months outside 0..12 never close",
       "2001 13 31 24 1\n2001 13 -1 24 2\n2001 -1 -1 24 3\n2001 -1 0 24 4\n2001 99 0 24 5\n",
       1,
       {"day 2001 13 31 24 rows 1: 1/1", "day 2001 13 -1 24 rows 1: 2/1",
        "day 2001 -1 -1 24 rows 1: 3/1", "day 2001 -1 0 24 rows 1: 4/1",
        "day 2001 99 0 24 rows 1: 5/1"},
       "rows 0: -/0"},
      {"a closed month starts afresh",
       "2001 1 31 24 2\n2001 2 28 24 4\n",
       1,
       {"day 2001 1 31 24 rows 1: 2/1", "month 2001 1 31 24 rows 1: 2/1",
        "day 2001 2 28 24 rows 1: 4/1", "month 2001 2 28 24 rows 1: 4/1"},
       "rows 2: 3/2"},
      {"no value columns",
       "2001 1 31 24\n2001 2 1 1\n",
       0,
       {"day 2001 1 31 24 rows 1:", "month 2001 1 31 24 rows 1:"},
       "rows 2:"},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

TEST(RecordLoop, ClosesYearsWithTheirLastMonth) {
  const LoopCase cases[] = {
      {"December closes the calendar year",
       "2001 11 30 24 2\n2001 12 31 24 4\n",
       1,
       {"day 2001 11 30 24 rows 1: 2/1", "month 2001 11 30 24 rows 1: 2/1",
        "day 2001 12 31 24 rows 1: 4/1", "month 2001 12 31 24 rows 1: 4/1",
        "year 2001 12 31 24 rows 2: 3/2"},
       "rows 2: 3/2"},
      {"a closed year starts afresh",
       "2001 12 31 24 4\n2002 12 31 24 8\n",
       1,
       {"day 2001 12 31 24 rows 1: 4/1", "month 2001 12 31 24 rows 1: 4/1",
        "year 2001 12 31 24 rows 1: 4/1", "day 2002 12 31 24 rows 1: 8/1",
        "month 2002 12 31 24 rows 1: 8/1", "year 2002 12 31 24 rows 1: 8/1"},
       "rows 2: 6/2"},
      {"a December day that is not the last closes no year",
       "2001 12 30 24 4\n",
       1,
       {"day 2001 12 30 24 rows 1: 4/1"},
       "rows 0: -/0"},
      {"a year from November closes with October",
       "2000 11 30 24 1\n2000 12 31 24 2\n2001 10 31 24 6\n",
       1,
       {"day 2000 11 30 24 rows 1: 1/1", "month 2000 11 30 24 rows 1: 1/1",
        "day 2000 12 31 24 rows 1: 2/1", "month 2000 12 31 24 rows 1: 2/1",
        "day 2001 10 31 24 rows 1: 6/1", "month 2001 10 31 24 rows 1: 6/1",
        "year 2001 10 31 24 rows 3: 3/3"},
       "rows 3: 3/3",
       "",
       yearEndingIn(10)},
      {"a year ending in October closes no year in December",
       "2001 12 31 24 4\n",
       1,
       {"day 2001 12 31 24 rows 1: 4/1", "month 2001 12 31 24 rows 1: 4/1"},
       "rows 1: 4/1",
       "",
       yearEndingIn(10)},
      {"month 0 never closes a year",
       "2001 0 0 24 4\n",
       1,
       {"day 2001 0 0 24 rows 1: 4/1", "month 2001 0 0 24 rows 1: 4/1"},
       "rows 1: 4/1",
       "",
       yearEndingIn(12)},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

TEST(RecordLoop, FoldsWhatIsOpenAtTheEndOfTheInputOnlyInsideADay) {
  const LoopCase cases[] = {
      {"after an hour below 24 the open day and month go into the totals",
       "2001 1 1 24 2\n2001 1 2 1 4\n2001 1 2 2 6\n",
       1,
       {"day 2001 1 1 24 rows 1: 2/1"},
       "rows 3: 4/3",
       "2001 1 2 2"},
      {"after hour 0 as well", "2001 1 1 0 5\n", 1, {}, "rows 1: 5/1"},
      {"after an hour-24 row the unfinished month stays out",
       "2001 1 1 24 2\n2001 1 2 24 4\n",
       1,
       {"day 2001 1 1 24 rows 1: 2/1", "day 2001 1 2 24 rows 1: 4/1"},
       "rows 0: -/0",
       "2001 1 2 24"},
      {"after a month close only the closed months count",
       "2001 1 31 24 2\n2001 2 1 24 4\n",
       1,
       {"day 2001 1 31 24 rows 1: 2/1", "month 2001 1 31 24 rows 1: 2/1",
        "day 2001 2 1 24 rows 1: 4/1"},
       "rows 1: 2/1"},
      {"after an hour above 24 nothing is folded",
       "2001 1 31 24 2\n2001 2 1 1 4\n2001 2 1 25 6\n",
       1,
       {"day 2001 1 31 24 rows 1: 2/1", "month 2001 1 31 24 rows 1: 2/1"},
       "rows 1: 2/1",
       "2001 2 1 25"},
      {"an empty input", "", 1, {}, "rows 0: -/0", "0 0 0 0"},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

TEST(RecordLoop, StopsAtTheFirstRowThatCannotBeRead) {
  const LoopCase cases[] = {
      {"an unreadable value on an hour-24 row drops the day and its open month",
       "2001 1 30 24 1 1\n2001 1 31 23 2 2\n2001 1 31 24 x 3\n2001 2 1 1 5 5\n",
       2,
       {"day 2001 1 30 24 rows 1: 1/1 1/1"},
       "rows 0: -/0 -/0",
       "2001 1 31 24"},
      {"an unreadable last value on an hour-24 row as well",
       "2001 1 31 23 2 2\n2001 1 31 24 3 -\n",
       2,
       {},
       "rows 0: -/0 -/0"},
      {"an unreadable value below hour 24 folds the open day with its row",
       "2001 1 1 1 1\n2001 1 1 2 x\n2001 1 1 24 3\n",
       1,
       {},
       "rows 2: 1/1",
       "2001 1 1 2"},
      {"a non-numeric year ends the loop keeping the previous stamp",
       "2001 1 1 5 2\nend 2002 2 2 6 4\n2001 1 1 24 8\n",
       1,
       {},
       "rows 1: 2/1",
       "2001 1 1 5"},
      {"a non-numeric year after an hour-24 row folds nothing",
       "2001 1 1 23 2\n2001 1 1 24 4\n# 2001 1 2 2 6\n",
       1,
       {"day 2001 1 1 24 rows 2: 3/2"},
       "rows 0: -/0",
       "2001 1 1 24"},
      {"a stamp cut short keeps the fields it read",
       "2001 1 1 24 2\n2002 3 x 1 4\n",
       1,
       {"day 2001 1 1 24 rows 1: 2/1"},
       "rows 0: -/0",
       "2002 3 1 24"},
      {"a short row takes its missing value from the next line",
       "2001 1 1 1 5\n2001 1 1 2 6 7\n2001 1 1 24 1 1\n",
       2,
       {"day 2001 1 1 24 rows 2: 3/2 1001/2"},
       "rows 0: -/0 -/0"},
      {"extra columns are skipped",
       "2001 1 1 1 5 99 x\n2001 1 1 24 7 -9999 99\n",
       1,
       {"day 2001 1 1 24 rows 2: 6/2"},
       "rows 0: -/0"},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

TEST(RecordLoop, SkipsMissingValuesButCountsTheirRows) {
  const LoopCase cases[] = {
      {"-998 and -9999 are missing, -997.5 is a value",
       "2001 1 31 1 -998 -9999\n2001 1 31 2 -9999 -998.0\n2001 1 31 3 -997.5 -1e6\n"
       "2001 1 31 24 2.5 -998\n",
       2,
       {"day 2001 1 31 24 rows 4: -497.5/2 -/0", "month 2001 1 31 24 rows 4: -497.5/2 -/0"},
       "rows 4: -497.5/2 -/0"},
      {"rows count per period",
       "2001 1 30 1 -9999\n2001 1 30 24 -9999\n2001 1 31 24 4\n2001 2 1 24 -9999\n"
       "2001 2 28 24 6\n2001 3 1 1 8\n",
       1,
       {"day 2001 1 30 24 rows 2: -/0", "day 2001 1 31 24 rows 1: 4/1",
        "month 2001 1 31 24 rows 3: 4/1", "day 2001 2 1 24 rows 1: -/0",
        "day 2001 2 28 24 rows 1: 6/1", "month 2001 2 28 24 rows 2: 6/1"},
       "rows 6: 6/3"},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

TEST(RecordLoop, StopsAfterTheCloseThatFindsTheListenerUnhealthy) {
  const LoopCase cases[] = {
      {"the month closed with the day is still told",
       "2001 1 31 24 1\n2001 2 1 24 2\n2001 2 2 24 3\n",
       1,
       {"day 2001 1 31 24 rows 1: 1/1", "month 2001 1 31 24 rows 1: 1/1"},
       "rows 1: 1/1",
       "2001 1 31 24",
       {},
       1},
      {"the loop stops before the next row",
       "2001 1 1 23 1\n2001 1 1 24 2\n2001 1 2 1 3\n2001 1 2 24 4\n",
       1,
       {"day 2001 1 1 24 rows 2: 1.5/2"},
       "rows 0: -/0",
       "2001 1 1 24",
       {},
       1},
      {"healthy for two closes",
       "2001 1 1 24 1\n2001 1 2 24 2\n2001 1 3 24 3\n",
       1,
       {"day 2001 1 1 24 rows 1: 1/1", "day 2001 1 2 24 rows 1: 2/1"},
       "rows 0: -/0",
       "2001 1 2 24",
       {},
       2},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

// Two days in November, the last day of December (closing the year), and an open day in
// January folded at the end. November 29: 7; November 30: 4, -2; December 31: 10, 6;
// January 1: missing, 11. The year's extremes (-2 and 10) differ from the largest monthly
// minimum (6) and the smallest monthly maximum (7), so a year built from the wrong monthly
// extreme shows.
const std::string kStatisticsInput =
    "2001 11 29 24 7\n2001 11 30 1 4\n2001 11 30 24 -2\n"
    "2001 12 31 3 10\n2001 12 31 24 6\n"
    "2002 1 1 1 -9999\n2002 1 1 2 11\n";

TEST(RecordLoop, GivesEachStatisticPerPeriod) {
  const LoopCase cases[] = {
      {"mean",
       kStatisticsInput,
       1,
       {"day 2001 11 29 24 rows 1: 7/1", "day 2001 11 30 24 rows 2: 1/2",
        "month 2001 11 30 24 rows 3: 3/3", "day 2001 12 31 24 rows 2: 8/2",
        "month 2001 12 31 24 rows 2: 8/2", "year 2001 12 31 24 rows 5: 5/5"},
       "rows 7: 6/6",
       "",
       withStatistic(Statistic::mean)},
      {"sum",
       kStatisticsInput,
       1,
       {"day 2001 11 29 24 rows 1: 7/1", "day 2001 11 30 24 rows 2: 2/2",
        "month 2001 11 30 24 rows 3: 9/3", "day 2001 12 31 24 rows 2: 16/2",
        "month 2001 12 31 24 rows 2: 16/2", "year 2001 12 31 24 rows 5: 25/5"},
       "rows 7: 36/6",
       "",
       withStatistic(Statistic::sum)},
      {"min",
       kStatisticsInput,
       1,
       {"day 2001 11 29 24 rows 1: 7/1", "day 2001 11 30 24 rows 2: -2/2",
        "month 2001 11 30 24 rows 3: -2/3", "day 2001 12 31 24 rows 2: 6/2",
        "month 2001 12 31 24 rows 2: 6/2", "year 2001 12 31 24 rows 5: -2/5"},
       "rows 7: -2/6",
       "",
       withStatistic(Statistic::min)},
      {"max",
       kStatisticsInput,
       1,
       {"day 2001 11 29 24 rows 1: 7/1", "day 2001 11 30 24 rows 2: 4/2",
        "month 2001 11 30 24 rows 3: 7/3", "day 2001 12 31 24 rows 2: 10/2",
        "month 2001 12 31 24 rows 2: 10/2", "year 2001 12 31 24 rows 5: 10/5"},
       "rows 7: 11/6",
       "",
       withStatistic(Statistic::max)},
      {"min of positive and max of negative values, from a fresh start each period",
       "2001 1 31 1 -5 3\n2001 1 31 24 -3 5\n2001 2 28 24 -8 9\n",
       2,
       {"day 2001 1 31 24 rows 2: -5/2 3/2", "month 2001 1 31 24 rows 2: -5/2 3/2",
        "day 2001 2 28 24 rows 1: -8/1 9/1", "month 2001 2 28 24 rows 1: -8/1 9/1"},
       "rows 3: -8/3 3/3",
       "",
       withStatistic(Statistic::min)},
      {"max of negative values",
       "2001 1 31 1 -5 3\n2001 1 31 24 -3 5\n2001 2 28 24 -8 9\n",
       2,
       {"day 2001 1 31 24 rows 2: -3/2 5/2", "month 2001 1 31 24 rows 2: -3/2 5/2",
        "day 2001 2 28 24 rows 1: -8/1 9/1", "month 2001 2 28 24 rows 1: -8/1 9/1"},
       "rows 3: -3/3 9/3",
       "",
       withStatistic(Statistic::max)},
      {"missing values are no extremes",
       "2001 1 31 1 -9999 -998\n2001 1 31 24 -997 -9999\n",
       2,
       {"day 2001 1 31 24 rows 2: -997/1 -/0", "month 2001 1 31 24 rows 2: -997/1 -/0"},
       "rows 2: -997/1 -/0",
       "",
       withStatistic(Statistic::max)},
  };
  for (const LoopCase& c : cases) {
    expectLoop(c);
  }
}

}  // namespace
}  // namespace skarvel
