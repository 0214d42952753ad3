// The run's report on standard error: warnings about input that was not averaged as written,
// and whether they make the run's results incomplete (exit status 4).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis.hpp"
#include "averaging.hpp"
#include "input_reader.hpp"
#include "progress.hpp"

namespace skarvel {

// What a run saw, as far as its warnings need it.
struct RunFacts {
  bool columnsDetected = true;
  std::int32_t valueColumns = 0;
  std::int64_t firstDataRowLine = 0;
  std::string firstDataRow;

  std::optional<FailedToken> failure;  // where reading stopped before the end of the input
  std::int64_t failureLine = 0;
  std::int64_t dataRowsUnread = 0;  // data rows from the failed line on
  bool endedInsideValues = false;
  std::int64_t endLine = 0;  // the line the input ended in

  std::int64_t rowsRead = 0;
  std::int64_t daysClosed = 0;
  std::int64_t daysSinceMonthClose = 0;
  std::int64_t openDayRows = 0;
  RecordStamp lastStamp;
  std::int32_t closeHour = kDefaultCloseHour;  // the hour of a day's last row

  Occurrence linesCrossed;  // values read across a line end
  std::int64_t linesCrossedLine = 0;
  Occurrence extraText;  // text after the last value
  std::int64_t extraTextLine = 0;
  Occurrence partTokens;  // numbers read from the start of a token that goes on
  std::int64_t partTokensLine = 0;
  Occurrence infiniteValues;  // values beyond the double range
  std::int64_t infiniteValuesLine = 0;
  std::optional<CtrlZEnd> ctrlZ;  // the Ctrl-Z that ended the input
  std::int64_t ctrlZLine = 0;
  Occurrence stampsOutOfRange;  // rows with a stamp field out of range
  RecordStamp firstOutOfRange;
  std::int64_t stampsOutOfRangeLine = 0;
  CloseOrder closeOrder;  // the dates of the day closes
  std::int64_t repeatedDaysLine = 0;
  std::int64_t datesBackLine = 0;

  std::int32_t headerRowsGiven = -1;  // the header-row count of the command line; -1: detected
  std::int64_t headerDataRows = 0;    // lines copied as header lines that read as data rows
  std::vector<std::string> ignoredArguments;

  std::string inputAsOutputName;  // an output name that was the input, so ".$$$" was appended
  std::vector<std::string> outputNames;
  std::string labelName;
};

struct Warning {
  std::string text;            // one line, without the "skarvel: warning: " prefix
  bool incomplete;             // data rows were not averaged as written: exit status 4
  std::string_view code = {};  // what it is about, for the run report: "reading-stopped"
  std::int64_t line = 0;       // the input line it names; 0 for none
};

// The warnings a run earns, in the order they are printed.
std::vector<Warning> warningsFor(const RunFacts& facts);

// What the analysis of the input found, as far as the facts need it.
struct AnalysedLayout {
  bool columnsDetected = true;
  std::int32_t valueColumns = 0;
  std::string firstDataRow;
  std::int64_t firstDataRowLine = 0;
};

// What the run saw, once the record loop has ended. Reads on to count the data rows that a
// failed conversion left unread, and reads the input again up to the last line a warning names.
RunFacts collectRunFacts(InputReader& input, const RecordLoopState& loop,
                         const AnalysedLayout& layout, std::int32_t closeHour,
                         const std::vector<std::string>& ignoredArguments);

// The counts of the --progress summary.
RunSummary summaryOf(const RecordLoopState& loop, std::int32_t valueColumns);

}  // namespace skarvel
