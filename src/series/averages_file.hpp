// The averages files: the input's header lines with the first one labelled, one row of per-column
// values per closed period, and a final row over the whole run.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "averaging.hpp"
#include "input_reader.hpp"
#include "text_writer.hpp"

namespace skarvel {

// What kind of averages file an output is: the period of its rows, the letter its name carries
// and the label of its first line, and the end of its comma-separated file's name.
struct AveragesKind {
  Period period;
  char letter;
  std::string_view label;
  std::string_view csvSuffix;
};

inline constexpr AveragesKind kDailyFile{Period::day, 't', "daily_sums_from_", "_daily.csv"};
inline constexpr AveragesKind kMonthlyFile{Period::month, 'm', "monthly_sums_from_",
                                           "_monthly.csv"};
inline constexpr AveragesKind kYearlyFile{Period::year, 'y', "yearly_sums_from_", "_yearly.csv"};

// What ends the input name in a classic file's label line: "daily_sums_from_flow.dat_:_...".
inline constexpr std::string_view kLabelSeparator = "_:_";

// How a file is laid out: the classic tab-separated file with the header lines and a final row,
// or a comma-separated file (RFC 4180) with one header row, ISO dates and no final row.
enum class FileLayout { classic, csv };

// One averages file of a run, written through its own writer into its atomic output (declared
// first, so the writer is gone before the output is).
struct AveragesFile {
  AveragesKind kind;
  std::string name;
  std::optional<platform::AtomicOutput> output;  // nothing: the writer's file is someone else's
  TextWriter writer;
  FileLayout layout;
};

// What copyHeaders read.
struct HeaderCopy {
  std::string lastLine;       // its line end included (empty when none)
  std::int64_t dataRows = 0;  // lines from line `dataFrom` on that start with a number
};

// Copies the first `headrows` lines of the input to every classic file; the first line is
// labelled with the file's label and `labelName`. Stops early at the end of the input. Counts
// the lines copied from line `dataFrom` on (the first data row, as scanHeader finds it) that
// read as data rows.
HeaderCopy copyHeaders(InputReader& input, std::int32_t headrows, std::string_view labelName,
                       std::span<AveragesFile> files,
                       std::int64_t dataFrom = std::numeric_limits<std::int64_t>::max());

// The column names of a comma-separated file: the last `columns` words of `headerLine` when it
// holds exactly 4 + `columns` white-space separated words, else "v1".."vN".
std::vector<std::string> csvColumnNames(std::string_view headerLine, std::int32_t columns);

// The header row of a comma-separated file: "date", then the names, quoted where RFC 4180
// needs it.
void writeCsvHeader(TextWriter& out, const std::vector<std::string>& names);

// The row of a closed period in a comma-separated file: the stamp's date as YYYY-MM-DD, then per
// column the statistic in its shortest round-trip text (an integer for the count), or an empty
// cell where writePeriodRow writes MissingMarker.
void writeCsvRow(TextWriter& out, const RecordStamp& stamp, const Accumulators& accumulators,
                 Period period, const SummaryRules& rules);

// The row of a closed period: the stamp, then per column the statistic, or MissingMarker when
// the column has no accepted value or too little coverage of the period's data rows.
void writePeriodRow(TextWriter& out, const RecordStamp& stamp, const Accumulators& accumulators,
                    Period period, const SummaryRules& rules);

// The row of a closed period in the given layout: writePeriodRow or writeCsvRow.
void writeRowIn(FileLayout layout, TextWriter& out, const RecordStamp& stamp,
                const Accumulators& accumulators, Period period, const SummaryRules& rules);

// The console's progress mark of a close: "." for a day, "month/year" and a line end for a
// month, nothing for a year.
void writeProgressMark(TextWriter& out, Period period, const RecordStamp& stamp);

// The final row, "0 0 0 0" and the statistic over the run's totals ("0" for a column without
// any accepted value), to every classic file.
void writeFinalRows(std::span<AveragesFile> files, const Accumulators& accumulators,
                    Statistic statistic);

}  // namespace skarvel
