// The run report: one JSON object per input, written as JSON Lines when the run ends, for scripts
// and workflow engines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exit_status.hpp"
#include "run_report.hpp"

namespace skarvel {

// What one input's run gave.
struct InputReport {
  std::string input;                 // as named on the command line or in the list
  std::vector<std::string> outputs;  // the output names, once derived
  ExitStatus status = ExitStatus::success;
  std::int32_t headerRows = -1;  // -1: not known (the run ended before)
  std::int32_t columns = -1;
  std::int64_t rows = 0;
  std::int64_t days = 0;
  std::int64_t months = 0;
  std::int64_t years = 0;
  std::int64_t valuesAccepted = 0;
  std::int64_t valuesMissing = 0;
  std::vector<Warning> warnings;
  std::string error;            // the error message of a failed run, one line
  std::uint64_t bytesRead = 0;  // of the file itself (compressed bytes for a compressed one)
  std::string compression = "none";
  double seconds = 0.0;
};

// One line of the report: a JSON object without the line end. Names that are not valid UTF-8
// keep their valid parts; each invalid byte reads as U+FFFD.
std::string reportLine(const InputReport& report);

// Writes the report of every input to `name`, replacing it atomically; 0, or the error number.
int writeReportFile(const std::string& name, const std::vector<InputReport>& reports);

}  // namespace skarvel
