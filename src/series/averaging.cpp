#include "averaging.hpp"

#include <algorithm>
#include <new>

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

bool needsExtremes(Statistic statistic) {
  return statistic == Statistic::min || statistic == Statistic::max;
}

// Zeroed elements, or null when memory cannot hold them.
template <typename Element>
std::unique_ptr<Element[]> allocateZeroed(std::size_t count) {
  return std::unique_ptr<Element[]>(new (std::nothrow) Element[count]());
}

// Reads one value per column into the open day. A failed conversion sets the error flag and
// adds nothing; the remaining columns are still read.
template <bool kTrackExtremes>
void readValues(InputReader& input, RecordLoopState& state) {
  const std::span<ColumnAccumulator> columns = state.accumulators.columns();
  const std::span<ColumnExtremes> extremes = state.accumulators.extremes();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    double value = 0.0;
    if (!input.readValue(value)) {
      state.errorFlag = true;
      continue;
    }
    if (value > MissingThreshold) {
      columns[c][Period::day].add(value);
      if constexpr (kTrackExtremes) {
        extremes[c][Period::day].add(value);
      }
    }
  }
}

bool readStamp(InputReader& input, RecordStamp& stamp) {
  // Like "%d%d%d%d": stops at the first field that cannot be read; later fields keep their
  // previous values.
  return input.readInt(stamp.year) && input.readInt(stamp.month) && input.readInt(stamp.day) &&
         input.readInt(stamp.hour);
}

// Accepted values of the open day, over every column: counted per day, not per value.
std::int64_t acceptedInDay(const Accumulators& sums) {
  std::int64_t accepted = 0;
  for (std::size_t c = 0; c < sums.columnCount(); ++c) {
    accepted += sums.count(c, Period::day);
  }
  return accepted;
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
  if (!closesMonth(state.stamp)) {
    return;
  }
  state.daysSinceMonthClose = 0;
  sums.merge(Period::month, Period::total);
  sums.merge(Period::month, Period::year);
  closePeriod(Period::month, state, listener);
  if (state.stamp.month == rules.yearLastMonth) {
    closePeriod(Period::year, state, listener);
  }
}

}  // namespace

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
  result.columnStorage_ = allocateZeroed<ColumnAccumulator>(count);
  if (!result.columnStorage_) {
    return std::nullopt;
  }
  result.columns_ = {result.columnStorage_.get(), count};
  if (needsExtremes(statistic)) {
    result.extremesStorage_ = allocateZeroed<ColumnExtremes>(count);
    if (!result.extremesStorage_) {
      return std::nullopt;
    }
    result.extremes_ = {result.extremesStorage_.get(), count};
  }
  return result;
}

double Accumulators::statisticOf(std::size_t column, Period period, Statistic statistic) const {
  switch (statistic) {
    case Statistic::sum:
      return columns_[column][period].sum;
    case Statistic::min:
      return extremes_[column][period].min;
    case Statistic::max:
      return extremes_[column][period].max;
    case Statistic::count:
      return static_cast<double>(columns_[column][period].count);
    case Statistic::mean:
      break;
  }
  const RunningSum& values = columns_[column][period];
  return values.sum / static_cast<double>(values.count);
}

void Accumulators::merge(Period from, Period into) {
  for (ColumnAccumulator& column : columns_) {
    column[into].merge(column[from]);
  }
  for (ColumnExtremes& column : extremes_) {
    column[into].merge(column[from]);
  }
  rows_[static_cast<std::size_t>(into)] += rows_[static_cast<std::size_t>(from)];
}

void Accumulators::clear(Period period) {
  for (ColumnAccumulator& column : columns_) {
    column[period] = {};
  }
  for (ColumnExtremes& column : extremes_) {
    column[period] = {};
  }
  rows_[static_cast<std::size_t>(period)] = 0;
}

void runRecordLoop(InputReader& input, RecordLoopState& state, const SummaryRules& rules,
                   CloseListener& listener) {
  const bool trackExtremes = state.accumulators.tracksExtremes();
  RecordStamp& stamp = state.stamp;
  for (;;) {
    if (readStamp(input, stamp)) {
      state.accumulators.countRow();
      ++state.rowsRead;
    } else {
      state.errorFlag = true;
    }
    if (!state.errorFlag) {
      const std::int64_t crossedBefore = input.linesCrossed().count;
      if (trackExtremes) {
        readValues<true>(input, state);
      } else {
        readValues<false>(input, state);
      }
      if (!state.errorFlag && input.linesCrossed().count == crossedBefore) {
        input.skipRowEnd();
      } else {
        state.endedInsideValues = state.errorFlag && !input.firstFailure() && !input.failed();
        input.skipLine();
      }
    } else {
      input.skipLine();
    }

    if (stamp.hour == rules.closeHour) {
      if (state.errorFlag) {
        return;  // a day with unreadable values is dropped, with its open month
      }
      closeDay(state, rules, listener);
      if (!listener.healthy()) {
        return;
      }
    }
    if (state.errorFlag) {
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
