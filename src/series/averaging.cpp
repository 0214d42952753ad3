#include <algorithm>
#include <new>

#include "series.hpp"

namespace skarvel {

namespace {

constexpr std::int32_t kCloseHour = 24;

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

template <bool kTrackExtremes>
void readValues(InputReader& input, RecordLoopState& state) {
  for (ColumnAccumulator& column : state.columns) {
    double value = 0.0;
    if (!input.readDouble(value)) {
      state.errorFlag = true;  // the remaining columns are still read
      continue;
    }
    if (value > MissingThreshold) {
      column.daySum += value;
      ++column.dayCount;
      if constexpr (kTrackExtremes) {
        column.dayMin = std::min(column.dayMin, value);
        column.dayMax = std::max(column.dayMax, value);
      }
    }
  }
}

void clearPeriod(double& sum, std::int64_t& count, double& minimum, double& maximum) {
  sum = 0.0;
  count = 0;
  minimum = kNoMinimum;
  maximum = kNoMaximum;
}

void mergeDayIntoMonth(ColumnAccumulator& column) {
  column.monthSum += column.daySum;
  column.monthCount += column.dayCount;
  column.monthMin = std::min(column.monthMin, column.dayMin);
  column.monthMax = std::max(column.monthMax, column.dayMax);
}

void mergeMonthIntoTotal(ColumnAccumulator& column) {
  column.totalSum += column.monthSum;
  column.totalCount += column.monthCount;
  column.totalMin = std::min(column.totalMin, column.monthMin);
  column.totalMax = std::max(column.totalMax, column.monthMax);
}

void mergeMonthIntoYear(ColumnAccumulator& column) {
  column.yearSum += column.monthSum;
  column.yearCount += column.monthCount;
  column.yearMin = std::min(column.yearMin, column.monthMin);
  column.yearMax = std::max(column.yearMax, column.monthMax);
}

void closeDay(RecordLoopState& state, const RunOutputs& outputs) {
  for (ColumnAccumulator& column : state.columns) {
    mergeDayIntoMonth(column);
  }
  state.monthRows += state.dayRows;
  writeDailyRow(outputs.daily, state.stamp, state.columns, outputs.summary, state.dayRows);
  outputs.console.put('.');
  for (ColumnAccumulator& c : state.columns) {
    clearPeriod(c.daySum, c.dayCount, c.dayMin, c.dayMax);
  }
  state.dayRows = 0;
}

void closeYear(RecordLoopState& state, const RunOutputs& outputs) {
  if (outputs.yearly != nullptr) {
    writeYearlyRow(*outputs.yearly, state.stamp, state.columns, outputs.summary, state.yearRows);
  }
  for (ColumnAccumulator& c : state.columns) {
    clearPeriod(c.yearSum, c.yearCount, c.yearMin, c.yearMax);
  }
  state.yearRows = 0;
}

void closeMonth(RecordLoopState& state, const RunOutputs& outputs) {
  for (ColumnAccumulator& column : state.columns) {
    mergeMonthIntoTotal(column);
    mergeMonthIntoYear(column);
  }
  state.yearRows += state.monthRows;
  writeMonthlyRow(outputs.monthly, state.stamp, state.columns, outputs.summary, state.monthRows);
  outputs.console.writeInt(state.stamp.month);
  outputs.console.put('/');
  outputs.console.writeInt(state.stamp.year);
  outputs.console.put('\n');
  outputs.console.flush();  // a line of progress per month, as on an interactive console
  for (ColumnAccumulator& c : state.columns) {
    clearPeriod(c.monthSum, c.monthCount, c.monthMin, c.monthMax);
  }
  state.monthRows = 0;
  if (state.stamp.month == outputs.yearLastMonth) {
    closeYear(state, outputs);
  }
}

// At the end of a loop that stopped inside a day, the open day and month count for the totals.
void foldOpenPeriods(RecordLoopState& state) {
  for (ColumnAccumulator& column : state.columns) {
    mergeDayIntoMonth(column);
    mergeMonthIntoTotal(column);
  }
}

bool readStamp(InputReader& input, RecordStamp& stamp) {
  // Like "%d%d%d%d": stops at the first field that cannot be read; later fields keep their
  // previous values.
  return input.readInt(stamp.year) && input.readInt(stamp.month) && input.readInt(stamp.day) &&
         input.readInt(stamp.hour);
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

RecordLoopState::RecordLoopState(std::int32_t valueColumns) {
  if (valueColumns <= 0) {
    return;
  }
  const auto count = static_cast<std::size_t>(valueColumns);
  storage_.reset(new (std::nothrow) ColumnAccumulator[count]());
  allocated_ = storage_ != nullptr;
  if (allocated_) {
    columns = std::span<ColumnAccumulator>(storage_.get(), count);
  }
}

void runRecordLoop(InputReader& input, RecordLoopState& state, const RunOutputs& outputs) {
  const bool trackExtremes = needsExtremes(outputs.summary.statistic);
  RecordStamp& stamp = state.stamp;
  for (;;) {
    if (readStamp(input, stamp)) {
      ++state.dayRows;
    } else {
      state.errorFlag = true;
    }
    if (!state.errorFlag) {
      if (trackExtremes) {
        readValues<true>(input, state);
      } else {
        readValues<false>(input, state);
      }
    }
    input.skipLine();

    if (stamp.hour == kCloseHour) {
      if (state.errorFlag) {
        return;  // a day with unreadable values is dropped, with its open month
      }
      closeDay(state, outputs);
      if (closesMonth(stamp)) {
        closeMonth(state, outputs);
      }
      if (outputs.daily.failed() || outputs.monthly.failed() ||
          (outputs.yearly != nullptr && outputs.yearly->failed())) {
        return;
      }
    }
    if (state.errorFlag) {
      if (stamp.hour < kCloseHour) {
        foldOpenPeriods(state);
      }
      return;
    }
  }
}

}  // namespace skarvel
