// The averaging engine: reads data rows, adds every accepted value to its column's running sums,
// and closes days, months and years on the way, keeping totals over the whole run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "input_reader.hpp"

namespace skarvel {

// The four leading integer fields of a data row. Hour 24 (SummaryRules::closeHour) marks the
// last time step of a day.
struct RecordStamp {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
};

// A value is accepted only when it is strictly greater than this.
inline constexpr double MissingThreshold = -998.0;

// Written for a period without accepted values.
inline constexpr std::string_view MissingMarker = "-9999";

// Length of `month` in `year` (Gregorian); 0 for month 0; -1 for months outside 0..12, which
// therefore never close.
std::int32_t DaysInMonth(std::int32_t month, std::int32_t year);

// The periods the engine keeps for every column. A day closes on its close-hour row, a month on the
// close of its last day, a year on the close of its last month; the total spans the run.
enum class Period : std::uint8_t { day, month, year, total };
inline constexpr std::size_t kPeriodCount = 4;

// What a row shows per column and period.
enum class Statistic { mean, sum, min, max, count };

// The hour of the row that closes a day, unless the options say otherwise.
inline constexpr std::int32_t kDefaultCloseHour = 24;

// The rules of one run, fixed when the options are read.
struct SummaryRules {
  Statistic statistic = Statistic::mean;
  // Percent of a period's data rows that must carry an accepted value of a column for the
  // column to show a value for that period.
  double minCoverage = 0.0;
  // A month close of this month also closes the year.
  std::int32_t yearLastMonth = 12;
  // The hour of a day's last row: that row closes the day. 23 reads hours labelled 0..23.
  std::int32_t closeHour = kDefaultCloseHour;
};

inline constexpr double kNoMinimum = std::numeric_limits<double>::infinity();
inline constexpr double kNoMaximum = -std::numeric_limits<double>::infinity();

// The smallest and largest accepted value of one column in one period.
struct Extremes {
  double min = kNoMinimum;
  double max = kNoMaximum;

  void add(double value);
  void merge(const Extremes& other);
};

// What one period holds for every value column, each kind in one dense array (the per-value work
// touches only the day's sums and counts: 240 columns take under 4 KiB), and the data rows (time
// steps) the period has seen.
struct PeriodValues {
  std::vector<double> sums;
  std::vector<std::int64_t> counts;
  std::vector<Extremes> extremes;  // empty unless the statistic needs them
  std::int64_t rows = 0;

  // Adds the values and rows of `other`, a period of the same columns.
  void merge(const PeriodValues& other);
  // Starts afresh: no rows, no values.
  void clear();
};

// The values of every value column, one PeriodValues per period.
class Accumulators {
 public:
  // Zeroed accumulators for `columns` value columns (none for 0 or less), with extremes when
  // `statistic` needs them. Nothing when memory cannot hold them: a given column count may be
  // any number.
  static std::optional<Accumulators> create(std::int32_t columns, Statistic statistic);

  std::size_t columnCount() const { return period(Period::day).sums.size(); }
  bool tracksExtremes() const { return !period(Period::day).extremes.empty(); }

  PeriodValues& period(Period which) { return periods_[static_cast<std::size_t>(which)]; }
  const PeriodValues& period(Period which) const {
    return periods_[static_cast<std::size_t>(which)];
  }
  std::int64_t count(std::size_t column, Period which) const {
    return period(which).counts[column];
  }
  std::int64_t rows(Period which) const { return period(which).rows; }
  // The statistic of one column over one period; meaningful when its count is above 0. For
  // Statistic::count it is the count itself, which writers show as an integer.
  double statisticOf(std::size_t column, Period which, Statistic statistic) const;

  void countRow() { ++period(Period::day).rows; }
  // Adds an accepted value of `column` to the open day.
  void addToDay(std::size_t column, double value);
  // Adds the values and rows of period `from` into period `into`, for every column.
  void merge(Period from, Period into) { period(into).merge(period(from)); }
  // Starts `which` afresh, for every column.
  void clear(Period which) { period(which).clear(); }

 private:
  Accumulators() = default;

  std::array<PeriodValues, kPeriodCount> periods_;
};

// A stamp field out of range: a negative field, a month above 12, a day above 31 or an hour
// above 24. Month 0 and day 0 are in range.
inline bool stampOutOfRange(const RecordStamp& stamp) {
  // A field outside 0..limit has the sign bit set in itself or in limit - field (as unsigned
  // 32-bit numbers), so one test of the sign bits of them all decides: a test per row, and no
  // branch per field.
  const auto bits = [](std::int32_t field) { return static_cast<std::uint32_t>(field); };
  const std::uint32_t signs = bits(stamp.year) | bits(stamp.month) | bits(stamp.day) |
                              bits(stamp.hour) | (12U - bits(stamp.month)) |
                              (31U - bits(stamp.day)) | (24U - bits(stamp.hour));
  return (signs >> 31) != 0;
}

// True when a day close on `later` comes after one on `earlier` in the calendar: a later
// (year, month, day).
bool comesAfter(const RecordStamp& later, const RecordStamp& earlier);

// The dates of the day closes in the order they came, for the warnings: a close on the date of
// the close before it (a day closed more than once), and a close on an earlier date. Closes with
// month 0 or day 0 take no part.
struct CloseOrder {
  std::optional<RecordStamp> first;
  std::optional<RecordStamp> last;
  bool lastRepeated = false;  // the last close was on the date of the one before it
  Occurrence repeatedDays;    // days closed more than once: the first close again, and how many
  RecordStamp firstRepeated;
  Occurrence datesBack;  // closes on an earlier date than the close before: the first, how many
  RecordStamp backFrom;
  RecordStamp backTo;

  // Takes the close on `stamp`, at `offset` in the text `input` read (which names its line).
  void take(const RecordStamp& stamp, std::int64_t offset, const InputReader& input);
  bool inOrder() const { return repeatedDays.count == 0 && datesBack.count == 0; }
};

// What the record loop counts over rows read apart from the rest of the run (a chunk read on a
// worker thread), for the run's counts.
struct LoopCounts {
  std::int64_t rowsRead = 0;
  std::int64_t valuesAccepted = 0;
  std::int64_t daysClosed = 0;
  std::int64_t daysSinceMonthClose = 0;
  RecordStamp lastStamp;
  std::optional<RecordStamp> firstClose;  // the first and last that take part in CloseOrder
  std::optional<RecordStamp> lastClose;
};

// The record loop's state for one run.
struct RecordLoopState {
  RecordStamp stamp;
  // A field of the last row could not be read (or the input ended): the loop stops at that row.
  bool rowUnreadable = false;
  Accumulators accumulators;

  // What the loop saw, for the run's report.
  std::int64_t rowsRead = 0;  // rows whose four stamp fields were read
  std::int64_t valuesAccepted = 0;
  bool endedInsideValues = false;  // the input ended before a row's values were all read
  std::array<std::int64_t, kPeriodCount> closes{};  // closes made, per period
  std::int64_t daysSinceMonthClose = 0;
  Occurrence stampsOutOfRange{};  // rows with a stamp field out of range: the first, how many
  RecordStamp firstOutOfRange{};
  CloseOrder closeOrder{};

  // What the loop has counted, as rows read apart give it.
  LoopCounts counts() const {
    return {rowsRead,
            valuesAccepted,
            closes[static_cast<std::size_t>(Period::day)],
            daysSinceMonthClose,
            stamp,
            closeOrder.first,
            closeOrder.last};
  }
  // Goes on behind rows read apart, whose month closes (if any) this state has made already,
  // and whose closes came in order, after the last close here: adds their counts, and takes the
  // stamp of their last row and their last close.
  void add(const LoopCounts& apart) {
    stamp = apart.lastStamp;
    rowsRead += apart.rowsRead;
    valuesAccepted += apart.valuesAccepted;
    closes[static_cast<std::size_t>(Period::day)] += apart.daysClosed;
    daysSinceMonthClose += apart.daysSinceMonthClose;
    if (apart.lastClose) {
      closeOrder.first = closeOrder.first ? closeOrder.first : apart.firstClose;
      closeOrder.last = apart.lastClose;
      closeOrder.lastRepeated = false;
    }
  }
};

// Told of every close the record loop makes.
class CloseListener {
 public:
  virtual ~CloseListener() = default;
  // `period` has closed on the row `stamp`; its values are still in `accumulators`.
  virtual void periodClosed(Period period, const RecordStamp& stamp,
                            const Accumulators& accumulators) = 0;
  // False once an output has failed: the loop then stops early.
  virtual bool healthy() const = 0;
};

// Closes the open month on the row `state.stamp`: its values go into the year and the totals, and
// a month that ends the year closes the year. The record loop does this on a month's last day.
void closeMonth(RecordLoopState& state, const SummaryRules& rules, CloseListener& listener);

// Reads data rows from the current position of `input` until the first row that cannot be read
// completely (or the end of the input), closing days, months and years on the way.
void runRecordLoop(InputReader& input, RecordLoopState& state, const SummaryRules& rules,
                   CloseListener& listener);

}  // namespace skarvel
