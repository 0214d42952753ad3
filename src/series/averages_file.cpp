#include "series.hpp"

namespace skarvel {

namespace {

constexpr std::string_view kDailyLabel = "daily_sums_from_";
constexpr std::string_view kMonthlyLabel = "monthly_sums_from_";
constexpr std::string_view kLabelSeparator = "_:_";

void writeLabelledLine(TextWriter& out, std::string_view label, const std::string& inputName,
                       const std::string& line) {
  out.write(label);
  out.write(inputName);
  out.write(kLabelSeparator);
  out.write(line);
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

template <typename SumOf, typename CountOf>
void writeMeans(TextWriter& out, std::span<const ColumnAccumulator> columns, SumOf sumOf,
                CountOf countOf, std::string_view whenEmpty) {
  for (const ColumnAccumulator& column : columns) {
    out.put('\t');
    const std::int64_t count = countOf(column);
    if (count > 0) {
      out.writeNumber(sumOf(column) / static_cast<double>(count));
    } else {
      out.write(whenEmpty);
    }
  }
  out.put('\n');
}

}  // namespace

void copyHeaders(InputReader& input, std::int32_t headrows, const std::string& inputName,
                 TextWriter& daily, TextWriter& monthly) {
  std::string line;
  for (std::int32_t k = 1; k <= headrows; ++k) {
    if (!input.readLine(line)) {
      return;
    }
    if (k == 1) {
      writeLabelledLine(daily, kDailyLabel, inputName, line);
      writeLabelledLine(monthly, kMonthlyLabel, inputName, line);
    } else {
      daily.write(line);
      monthly.write(line);
    }
  }
}

void writeDailyRow(TextWriter& out, const RecordStamp& stamp,
                   std::span<const ColumnAccumulator> columns) {
  writeStamp(out, stamp);
  writeMeans(
      out, columns, [](const ColumnAccumulator& c) { return c.daySum; },
      [](const ColumnAccumulator& c) { return c.dayCount; }, MissingMarker);
}

void writeMonthlyRow(TextWriter& out, const RecordStamp& stamp,
                     std::span<const ColumnAccumulator> columns) {
  writeStamp(out, stamp);
  writeMeans(
      out, columns, [](const ColumnAccumulator& c) { return c.monthSum; },
      [](const ColumnAccumulator& c) { return c.monthCount; }, MissingMarker);
}

void writeFinalRows(TextWriter& daily, TextWriter& monthly,
                    std::span<const ColumnAccumulator> columns) {
  for (TextWriter* out : {&daily, &monthly}) {
    writeStamp(*out, RecordStamp{});
    writeMeans(
        *out, columns, [](const ColumnAccumulator& c) { return c.totalSum; },
        [](const ColumnAccumulator& c) { return c.totalCount; }, "0");
  }
}

}  // namespace skarvel
