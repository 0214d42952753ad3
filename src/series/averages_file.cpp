#include "averages_file.hpp"

#include <algorithm>

#include "number_scan.hpp"
#include "text_encoding.hpp"

namespace skarvel {

namespace {

// True when a column's accepted values cover at least the required share of the period's rows
// (exactly that share passes).
bool covers(std::int64_t count, std::int64_t rows, double minCoverage) {
  return static_cast<double>(count) * 100.0 >= minCoverage * static_cast<double>(rows);
}

// What a row shows for one column of a closed period.
enum class Cell { count, statistic, missing };

// The count where the statistic is the count (0 for a period without accepted values), else the
// statistic; missing where the column has no accepted value or too little coverage of the
// period's data rows.
Cell cellOf(const Accumulators& accumulators, std::size_t column, Period period,
            const SummaryRules& rules) {
  const std::int64_t count = accumulators.count(column, period);
  if (!covers(count, accumulators.rows(period), rules.minCoverage)) {
    return Cell::missing;
  }
  if (rules.statistic == Statistic::count) {
    return Cell::count;
  }
  return count > 0 ? Cell::statistic : Cell::missing;
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

// A date field with at least `width` digits, zeros in front; a negative one keeps its sign.
void writePadded(TextWriter& out, std::int32_t value, int width) {
  std::int64_t magnitude = value;
  if (magnitude < 0) {
    out.put('-');
    magnitude = -magnitude;
  }
  for (std::int64_t limit = 10; width > 1; --width, limit *= 10) {
    if (magnitude < limit) {
      out.put('0');
    }
  }
  out.writeInt(magnitude);
}

// A field as RFC 4180 writes it: in double quotes, with its quotes doubled, when it holds a
// comma, a quote or a line end.
void writeCsvField(TextWriter& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.write(field);
    return;
  }
  out.put('"');
  for (const char c : field) {
    if (c == '"') {
      out.put('"');
    }
    out.put(c);
  }
  out.put('"');
}

}  // namespace

HeaderCopy copyHeaders(InputReader& input, std::int32_t headrows, std::string_view labelName,
                       std::span<AveragesFile> files, std::int64_t dataFrom) {
  std::string line;
  HeaderCopy copy;
  for (std::int32_t k = 1; k <= headrows; ++k) {
    if (!input.readLine(line)) {
      break;
    }
    if (k >= dataFrom && numberConversionResult(line.c_str()) == 1) {
      ++copy.dataRows;
    }
    copy.lastLine = line;
    for (AveragesFile& file : files) {
      if (file.layout != FileLayout::classic) {
        continue;
      }
      if (k == 1) {
        file.writer.write(file.kind.label);
        file.writer.write(labelName);
        file.writer.write(kLabelSeparator);
      }
      file.writer.write(line);
    }
  }
  return copy;
}

void writePeriodRow(TextWriter& out, const RecordStamp& stamp, const Accumulators& accumulators,
                    Period period, const SummaryRules& rules) {
  writeStamp(out, stamp);
  for (std::size_t c = 0; c < accumulators.columnCount(); ++c) {
    out.put('\t');
    switch (cellOf(accumulators, c, period, rules)) {
      case Cell::count:
        out.writeInt(accumulators.count(c, period));
        break;
      case Cell::statistic:
        out.writeNumber(accumulators.statisticOf(c, period, rules.statistic));
        break;
      case Cell::missing:
        out.write(MissingMarker);
        break;
    }
  }
  out.put('\n');
}

void writeRowIn(FileLayout layout, TextWriter& out, const RecordStamp& stamp,
                const Accumulators& accumulators, Period period, const SummaryRules& rules) {
  if (layout == FileLayout::csv) {
    writeCsvRow(out, stamp, accumulators, period, rules);
  } else {
    writePeriodRow(out, stamp, accumulators, period, rules);
  }
}

void writeProgressMark(TextWriter& out, Period period, const RecordStamp& stamp) {
  if (period == Period::day) {
    out.put('.');
  } else if (period == Period::month) {
    out.writeInt(stamp.month);
    out.put('/');
    out.writeInt(stamp.year);
    out.put('\n');
  }
}

void writeFinalRows(std::span<AveragesFile> files, const Accumulators& accumulators,
                    Statistic statistic) {
  for (AveragesFile& file : files) {
    if (file.layout != FileLayout::classic) {
      continue;
    }
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

namespace skarvel {

std::vector<std::string> csvColumnNames(std::string_view headerLine, std::int32_t columns) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < headerLine.size();) {
    if (isSpace(headerLine[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < headerLine.size() && !isSpace(headerLine[i])) {
      ++i;
    }
    words.push_back(utf8Text(headerLine.substr(start, i - start)));
  }
  const auto count = static_cast<std::size_t>(std::max(columns, 0));
  std::vector<std::string> names;
  if (count > 0 && words.size() == 4 + count) {
    names.assign(words.begin() + 4, words.end());
    return names;
  }
  for (std::size_t c = 1; c <= count; ++c) {
    names.push_back("v" + std::to_string(c));
  }
  return names;
}

void writeCsvHeader(TextWriter& out, const std::vector<std::string>& names) {
  out.write("date");
  for (const std::string& name : names) {
    out.put(',');
    writeCsvField(out, name);
  }
  out.put('\n');
}

void writeCsvRow(TextWriter& out, const RecordStamp& stamp, const Accumulators& accumulators,
                 Period period, const SummaryRules& rules) {
  writePadded(out, stamp.year, 4);
  out.put('-');
  writePadded(out, stamp.month, 2);
  out.put('-');
  writePadded(out, stamp.day, 2);
  for (std::size_t c = 0; c < accumulators.columnCount(); ++c) {
    out.put(',');
    switch (cellOf(accumulators, c, period, rules)) {
      case Cell::count:
        out.writeInt(accumulators.count(c, period));
        break;
      case Cell::statistic:
        out.writeShortestNumber(accumulators.statisticOf(c, period, rules.statistic));
        break;
      case Cell::missing:
        break;  // an empty cell
    }
  }
  out.put('\n');
}

}  // namespace skarvel
