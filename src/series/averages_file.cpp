#include "averages_file.hpp"

namespace skarvel {

namespace {

constexpr std::string_view kLabelSeparator = "_:_";

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

}  // namespace

void copyHeaders(InputReader& input, std::int32_t headrows, std::string_view labelName,
                 std::span<AveragesFile> files) {
  std::string line;
  for (std::int32_t k = 1; k <= headrows; ++k) {
    if (!input.readLine(line)) {
      return;
    }
    for (AveragesFile& file : files) {
      if (k == 1) {
        file.writer.write(file.kind.label);
        file.writer.write(labelName);
        file.writer.write(kLabelSeparator);
      }
      file.writer.write(line);
    }
  }
}

void writePeriodRow(TextWriter& out, const RecordStamp& stamp, const Accumulators& accumulators,
                    Period period, const SummaryRules& rules) {
  writeStamp(out, stamp);
  const std::int64_t rows = accumulators.rows(period);
  for (std::size_t c = 0; c < accumulators.columnCount(); ++c) {
    out.put('\t');
    const std::int64_t count = accumulators.count(c, period);
    if (rules.statistic == Statistic::count && covers(count, rows, rules.minCoverage)) {
      out.writeInt(count);  // 0 for a period without accepted values
    } else if (count > 0 && covers(count, rows, rules.minCoverage)) {
      out.writeNumber(accumulators.statisticOf(c, period, rules.statistic));
    } else {
      out.write(MissingMarker);
    }
  }
  out.put('\n');
}

void writeFinalRows(std::span<AveragesFile> files, const Accumulators& accumulators,
                    Statistic statistic) {
  for (AveragesFile& file : files) {
    writeStamp(file.writer, RecordStamp{});
    for (std::size_t c = 0; c < accumulators.columnCount(); ++c) {
      file.writer.put('\t');
      if (statistic == Statistic::count) {
        file.writer.writeInt(accumulators.count(c, Period::total));
      } else if (accumulators.count(c, Period::total) > 0) {
        file.writer.writeNumber(accumulators.statisticOf(c, Period::total, statistic));
      } else {
        file.writer.put('0');
      }
    }
    file.writer.put('\n');
  }
}

}  // namespace skarvel
