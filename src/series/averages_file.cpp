#include "series.hpp"

namespace skarvel {

namespace {

constexpr std::string_view kLabelSeparator = "_:_";

enum class Period { day, month, year, total };

// The accumulated values of one column for one period.
struct PeriodValues {
  double sum;
  std::int64_t count;
  double min;
  double max;
};

PeriodValues valuesOf(const ColumnAccumulator& c, Period period) {
  switch (period) {
    case Period::day:
      return {c.daySum, c.dayCount, c.dayMin, c.dayMax};
    case Period::month:
      return {c.monthSum, c.monthCount, c.monthMin, c.monthMax};
    case Period::year:
      return {c.yearSum, c.yearCount, c.yearMin, c.yearMax};
    case Period::total:
      break;
  }
  return {c.totalSum, c.totalCount, c.totalMin, c.totalMax};
}

double statisticOf(const PeriodValues& values, Statistic statistic) {
  switch (statistic) {
    case Statistic::sum:
      return values.sum;
    case Statistic::min:
      return values.min;
    case Statistic::max:
      return values.max;
    case Statistic::mean:
      break;
  }
  return values.sum / static_cast<double>(values.count);
}

// True when a column's accepted values cover at least the required share of the period's rows
// (exactly that share passes).
bool covers(std::int64_t count, std::int64_t rows, double minCoverage) {
  return static_cast<double>(count) * 100.0 >= minCoverage * static_cast<double>(rows);
}

void writeStamp(TextWriter& out, const RecordStamp& stamp) {
  out.writeInt(stamp.year);
  out.put('\t');
  out.writeInt(stamp.month);
  out.put('\t');
  out.writeInt(stamp.day);
  out.put('\t');
  out.writeInt(stamp.hour);
}

void writePeriodRow(TextWriter& out, const RecordStamp& stamp,
                    std::span<const ColumnAccumulator> columns, Period period,
                    const Summary& summary, std::int64_t rows) {
  writeStamp(out, stamp);
  for (const ColumnAccumulator& column : columns) {
    out.put('\t');
    const PeriodValues values = valuesOf(column, period);
    if (values.count > 0 && covers(values.count, rows, summary.minCoverage)) {
      out.writeNumber(statisticOf(values, summary.statistic));
    } else {
      out.write(MissingMarker);
    }
  }
  out.put('\n');
}

}  // namespace

void copyHeaders(InputReader& input, std::int32_t headrows, const std::string& inputName,
                 std::span<const LabelledOutput> outputs) {
  std::string line;
  for (std::int32_t k = 1; k <= headrows; ++k) {
    if (!input.readLine(line)) {
      return;
    }
    for (const LabelledOutput& output : outputs) {
      if (k == 1) {
        output.out.write(output.label);
        output.out.write(inputName);
        output.out.write(kLabelSeparator);
      }
      output.out.write(line);
    }
  }
}

void writeDailyRow(TextWriter& out, const RecordStamp& stamp,
                   std::span<const ColumnAccumulator> columns, const Summary& summary,
                   std::int64_t rows) {
  writePeriodRow(out, stamp, columns, Period::day, summary, rows);
}

void writeMonthlyRow(TextWriter& out, const RecordStamp& stamp,
                     std::span<const ColumnAccumulator> columns, const Summary& summary,
                     std::int64_t rows) {
  writePeriodRow(out, stamp, columns, Period::month, summary, rows);
}

void writeYearlyRow(TextWriter& out, const RecordStamp& stamp,
                    std::span<const ColumnAccumulator> columns, const Summary& summary,
                    std::int64_t rows) {
  writePeriodRow(out, stamp, columns, Period::year, summary, rows);
}

void writeFinalRows(std::span<TextWriter> files, std::span<const ColumnAccumulator> columns,
                    Statistic statistic) {
  for (TextWriter& out : files) {
    writeStamp(out, RecordStamp{});
    for (const ColumnAccumulator& column : columns) {
      out.put('\t');
      const PeriodValues values = valuesOf(column, Period::total);
      if (values.count > 0) {
        out.writeNumber(statisticOf(values, statistic));
      } else {
        out.put('0');
      }
    }
    out.put('\n');
  }
}

}  // namespace skarvel
