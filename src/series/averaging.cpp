#include "averaging.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <stdexcept>
#include <tuple>

#include "platform.hpp"
#include "row_scan.hpp"

namespace skarvel {

namespace {

bool isLeapYear(std::int32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// A day close on the last day of a known month also closes the month. Month 0 has length 0,
// so a day close with month 0 and day 0 closes it; months outside 0..12 never close.
bool closesMonth(const RecordStamp& stamp) {
  return stamp.month >= 0 && stamp.month <= 12 && stamp.day == DaysInMonth(stamp.month, stamp.year);
}

// Notes the stamp just read, out of range, in the line that holds the reading position less
// `back` bytes. Out of the reading loop's way, which only tests the stamp.
[[gnu::cold, gnu::noinline]] void noteStampOutOfRange(RecordLoopState& state,
                                                      const InputReader& input, std::int64_t back) {
  if (state.stampsOutOfRange.note(input.textOffset() - back)) {
    state.stampsOutOfRange.firstLine = input.lineNumberAt(input.textOffset() - back);
    state.firstOutOfRange = state.stamp;
  }
}

void checkStamp(RecordLoopState& state, const InputReader& input, std::int64_t back) {
  if (stampOutOfRange(state.stamp)) [[unlikely]] {
    noteStampOutOfRange(state, input, back);
  }
}

bool needsExtremes(Statistic statistic) {
  return statistic == Statistic::min || statistic == Statistic::max;
}

// Reads one value per column into the open day. A failed conversion marks the row unreadable
// and adds nothing; the remaining columns are still read.
template <bool kTrackExtremes>
void readValues(InputReader& input, RecordLoopState& state) {
  PeriodValues& day = state.accumulators.period(Period::day);
  for (std::size_t c = 0; c < day.sums.size(); ++c) {
    double value = 0.0;
    if (!input.readValue(value)) {
      state.rowUnreadable = true;
      continue;
    }
    if (value > MissingThreshold) {
      day.sums[c] += value;
      ++day.counts[c];
      if constexpr (kTrackExtremes) {
        day.extremes[c].add(value);
      }
    }
  }
}

bool readStamp(InputReader& input, RecordStamp& stamp) {
  // Like "%d%d%d%d": stops at the first field that cannot be read; later fields keep their
  // previous values. A stream reading, so unlike scanStamp's its fields may lie apart across
  // line ends and blocks.
  return input.readInt(stamp.year) && input.readInt(stamp.month) && input.readInt(stamp.day) &&
         input.readInt(stamp.hour);
}

// Reads the next row field by field: the stamp, then the values, then the rest of the line. Marks
// the row unreadable when a field cannot be read; the rest of the line is then skipped.
void readRowByFields(InputReader& input, RecordLoopState& state) {
  if (readStamp(input, state.stamp)) {
    state.accumulators.countRow();
    ++state.rowsRead;
    checkStamp(state, input, 0);
  } else {
    state.rowUnreadable = true;
  }
  if (state.rowUnreadable) {
    input.skipLine();
    return;
  }
  const std::int64_t crossedBefore = input.linesCrossed().count;
  if (state.accumulators.tracksExtremes()) {
    readValues<true>(input, state);
  } else {
    readValues<false>(input, state);
  }
  if (!state.rowUnreadable && input.linesCrossed().count == crossedBefore) {
    input.skipRowEnd();
  } else {
    state.endedInsideValues = state.rowUnreadable && !input.firstFailure() && !input.failed();
    input.skipLine();
  }
}

// Adds the accepted values to the sums and counts. A value that is not accepted adds +0.0 and no
// count: a sum that starts at +0.0 never becomes -0.0, so adding +0.0 leaves it as it is, and
// the loop runs without a branch per value.
[[gnu::always_inline]] inline void addAccepted(double* sums, std::int64_t* counts,
                                               std::span<const double> values) {
  for (std::size_t c = 0; c < values.size(); ++c) {
    const bool accepted = values[c] > MissingThreshold;
    sums[c] += accepted ? values[c] : 0.0;
    counts[c] += accepted ? 1 : 0;
  }
}

#if SKARVEL_PLATFORM_AVX2
// The same loop, four columns at a time: 8% of a wide run. Each column's sum takes its values in
// the same order.
[[gnu::target("avx2")]] void addAcceptedAvx2(double* sums, std::int64_t* counts,
                                             std::span<const double> values) {
  addAccepted(sums, counts, values);
}
#endif

// Adds a row's accepted values to the open day.
void addRowToDay(PeriodValues& day, std::span<const double> values) {
#if SKARVEL_PLATFORM_AVX2
  static const bool avx2 = rowScanKindAvailable(RowScanKind::avx2);
  if (avx2) {
    addAcceptedAvx2(day.sums.data(), day.counts.data(), values);
  } else {
    addAccepted(day.sums.data(), day.counts.data(), values);
  }
#else
  addAccepted(day.sums.data(), day.counts.data(), values);
#endif
  for (std::size_t c = 0; c < day.extremes.size(); ++c) {
    if (values[c] > MissingThreshold) {
      day.extremes[c].add(values[c]);
    }
  }
}

// Reads the next row in one call when it is a plain row in the buffered text.
bool readPlainRow(InputReader& input, RecordLoopState& state, std::span<double> values) {
  std::array<std::int32_t, 4> fields{};
  if (!input.readPlainRow(fields, values)) {
    return false;
  }
  state.stamp = {fields[0], fields[1], fields[2], fields[3]};
  state.accumulators.countRow();
  ++state.rowsRead;
  checkStamp(state, input, 1);  // behind the row's line end
  addRowToDay(state.accumulators.period(Period::day), values);
  return true;
}

// Accepted values of the open day, over every column: counted per day, not per value.
std::int64_t acceptedInDay(const Accumulators& sums) {
  const std::vector<std::int64_t>& counts = sums.period(Period::day).counts;
  return std::accumulate(counts.begin(), counts.end(), std::int64_t{0});
}

void closePeriod(Period period, RecordLoopState& state, CloseListener& listener) {
  ++state.closes[static_cast<std::size_t>(period)];
  listener.periodClosed(period, state.stamp, state.accumulators);
  state.accumulators.clear(period);
}

// The day closes into its month; on the month's last day the month closes into the totals and
// its year, and a month that ends the year closes the year.
void closeDay(RecordLoopState& state, const SummaryRules& rules, CloseListener& listener) {
  Accumulators& sums = state.accumulators;
  state.valuesAccepted += acceptedInDay(sums);
  sums.merge(Period::day, Period::month);
  closePeriod(Period::day, state, listener);
  ++state.daysSinceMonthClose;
  if (closesMonth(state.stamp)) {
    closeMonth(state, rules, listener);
  }
}

}  // namespace

void closeMonth(RecordLoopState& state, const SummaryRules& rules, CloseListener& listener) {
  Accumulators& sums = state.accumulators;
  state.daysSinceMonthClose = 0;
  sums.merge(Period::month, Period::total);
  sums.merge(Period::month, Period::year);
  closePeriod(Period::month, state, listener);
  if (state.stamp.month == rules.yearLastMonth) {
    closePeriod(Period::year, state, listener);
  }
}

bool comesAfter(const RecordStamp& later, const RecordStamp& earlier) {
  return std::tie(later.year, later.month, later.day) >
         std::tie(earlier.year, earlier.month, earlier.day);
}

void CloseOrder::take(const RecordStamp& stamp, std::int64_t offset, const InputReader& input) {
  if (stamp.month == 0 || stamp.day == 0) {
    return;
  }
  if (!last) {
    first = stamp;
  } else if (!comesAfter(stamp, *last) && !comesAfter(*last, stamp)) {
    if (!lastRepeated && repeatedDays.note(offset)) {
      repeatedDays.firstLine = input.lineNumberAt(offset);
      firstRepeated = stamp;
    }
    lastRepeated = true;
  } else {
    lastRepeated = false;
    if (comesAfter(*last, stamp) && datesBack.note(offset)) {
      datesBack.firstLine = input.lineNumberAt(offset);
      backFrom = *last;
      backTo = stamp;
    }
  }
  last = stamp;
}

std::int32_t DaysInMonth(std::int32_t month, std::int32_t year) {
  constexpr std::int32_t kLengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 0 || month > 12) {
    return -1;
  }
  if (month == 2 && isLeapYear(year)) {
    return 29;
  }
  return kLengths[month];
}

void Extremes::add(double value) {
  min = std::min(min, value);
  max = std::max(max, value);
}

void Extremes::merge(const Extremes& other) {
  min = std::min(min, other.min);
  max = std::max(max, other.max);
}

std::optional<Accumulators> Accumulators::create(std::int32_t columns, Statistic statistic) {
  Accumulators result;
  if (columns <= 0) {
    return result;
  }
  const auto count = static_cast<std::size_t>(columns);
  // One allocation of the whole size first, untouched and given back at once: the arrays below
  // are allocated one by one and zeroed, and a system that overcommits memory would grant each
  // of them and end the process while zeroing a column count far beyond its memory.
  const std::size_t perColumn =
      kPeriodCount * (sizeof(double) + sizeof(std::int64_t) +
                      (needsExtremes(statistic) ? sizeof(Extremes) : std::size_t{0}));
  if (count > std::numeric_limits<std::size_t>::max() / perColumn ||
      !std::unique_ptr<char[]>(new (std::nothrow) char[count * perColumn])) {
    return std::nullopt;
  }
  try {
    for (PeriodValues& values : result.periods_) {
      values.sums.resize(count);
      values.counts.resize(count);
      if (needsExtremes(statistic)) {
        values.extremes.resize(count);
      }
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
  return result;
}

double Accumulators::statisticOf(std::size_t column, Period which, Statistic statistic) const {
  const PeriodValues& values = period(which);
  switch (statistic) {
    case Statistic::sum:
      return values.sums[column];
    case Statistic::min:
      return values.extremes[column].min;
    case Statistic::max:
      return values.extremes[column].max;
    case Statistic::count:
      return static_cast<double>(values.counts[column]);
    case Statistic::mean:
      break;
  }
  return values.sums[column] / static_cast<double>(values.counts[column]);
}

void Accumulators::addToDay(std::size_t column, double value) {
  PeriodValues& day = period(Period::day);
  day.sums[column] += value;
  ++day.counts[column];
  if (!day.extremes.empty()) {
    day.extremes[column].add(value);
  }
}

void PeriodValues::merge(const PeriodValues& other) {
  for (std::size_t c = 0; c < sums.size(); ++c) {
    sums[c] += other.sums[c];
    counts[c] += other.counts[c];
  }
  for (std::size_t c = 0; c < extremes.size(); ++c) {
    extremes[c].merge(other.extremes[c]);
  }
  rows += other.rows;
}

void PeriodValues::clear() {
  std::fill(sums.begin(), sums.end(), 0.0);
  std::fill(counts.begin(), counts.end(), 0);
  std::fill(extremes.begin(), extremes.end(), Extremes{});
  rows = 0;
}

void runRecordLoop(InputReader& input, RecordLoopState& state, const SummaryRules& rules,
                   CloseListener& listener) {
  std::vector<double> values(state.accumulators.columnCount());
  RecordStamp& stamp = state.stamp;
  for (;;) {
    if (!readPlainRow(input, state, values)) {
      readRowByFields(input, state);
    }
    if (stamp.hour == rules.closeHour) {
      if (state.rowUnreadable) {
        return;  // a day with unreadable values is dropped, with its open month
      }
      // The reader stands behind the row's line end (or at the end of the input).
      state.closeOrder.take(stamp, input.textOffset() - 1, input);
      closeDay(state, rules, listener);
      if (!listener.healthy()) {
        return;
      }
    }
    if (state.rowUnreadable) {
      state.valuesAccepted += acceptedInDay(state.accumulators);
      if (stamp.hour < rules.closeHour) {
        // The loop stopped inside a day: the open day and month count for the totals.
        state.accumulators.merge(Period::day, Period::month);
        state.accumulators.merge(Period::month, Period::total);
      }
      return;
    }
  }
}

}  // namespace skarvel
