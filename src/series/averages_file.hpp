// The averages files: the input's header lines with the first one labelled, one row of per-column
// values per closed period, and a final row over the whole run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "averaging.hpp"
#include "input_reader.hpp"
#include "text_writer.hpp"

namespace skarvel {

// What kind of averages file an output is: the period of its rows, the letter its name carries
// and the label of its first line.
struct AveragesKind {
  Period period;
  char letter;
  std::string_view label;
};

inline constexpr AveragesKind kDailyFile{Period::day, 't', "daily_sums_from_"};
inline constexpr AveragesKind kMonthlyFile{Period::month, 'm', "monthly_sums_from_"};
inline constexpr AveragesKind kYearlyFile{Period::year, 'y', "yearly_sums_from_"};

// One averages file of a run, written through its own writer into its atomic output (declared
// first, so the writer is gone before the output is).
struct AveragesFile {
  AveragesKind kind;
  std::string name;
  std::optional<platform::AtomicOutput> output;  // nothing: the writer's file is someone else's
  TextWriter writer;
};

// Copies the first `headrows` lines of the input to every file; the first line is labelled
// with the file's label and `labelName`. Stops early at the end of the input.
void copyHeaders(InputReader& input, std::int32_t headrows, std::string_view labelName,
                 std::span<AveragesFile> files);

// The row of a closed period: the stamp, then per column the statistic, or MissingMarker when
// the column has no accepted value or too little coverage of the period's data rows.
void writePeriodRow(TextWriter& out, const RecordStamp& stamp, const Accumulators& accumulators,
                    Period period, const SummaryRules& rules);

// The final row, "0 0 0 0" and the statistic over the run's totals ("0" for a column without
// any accepted value), to every file.
void writeFinalRows(std::span<AveragesFile> files, const Accumulators& accumulators,
                    Statistic statistic);

}  // namespace skarvel
