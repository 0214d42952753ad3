// The console: the tool's own texts and where each kind of text goes.
#pragma once

#include <string_view>
#include <vector>

#include "byte_stream.hpp"
#include "exit_status.hpp"
#include "run_report.hpp"
#include "text_writer.hpp"

namespace skarvel {

inline constexpr std::string_view kBanner =
    "skarvel: daily and monthly average values from Varno-output-files \n";
inline constexpr std::string_view kUsage =
    "usage: skarvel <filename> [<headrows{def=auto}>] [<number of value columns(without leading "
    "dates){def=auto}>]\n\n";
inline constexpr std::string_view kNoDataRow =
    "no valid row for column analyzing found \n(at least one row in the file has to start with a "
    "number)\n";
inline constexpr std::string_view kDone = "fertig..\n";
// The reason of a read error when the input was cut short or rewritten while it was read.
inline constexpr std::string_view kInputChanged = "the input changed while it was read";

// Where a run's texts go. Messages (the banner, counts, progress marks, "fertig..") go to
// standard output unless --quiet silences them; error messages go to standard output always;
// the system's reasons of errors, the warnings and the --progress line go to standard error.
struct Console {
  TextWriter& messages;
  TextWriter& errorMessages;
  TextWriter& standardError;
};

// Reports a failed operation on a file: "<what><name>" on standard output, and the same with
// the system's reason for `errorNumber` on standard error. Gives `status`.
ExitStatus reportFileFailure(const Console& console, std::string_view what, std::string_view name,
                             int errorNumber, ExitStatus status);
// The same with a reason of the tool's own.
ExitStatus reportFileFailure(const Console& console, std::string_view what, std::string_view name,
                             std::string_view reason, ExitStatus status);

// "error reading file <name>" with the reason of `error`; gives ExitStatus::inputError.
ExitStatus reportReadFailure(const Console& console, std::string_view name, const ReadError& error);

// Prints each warning on standard error; true when one of them makes the results incomplete.
bool printWarnings(const std::vector<Warning>& warnings, const Console& console);

}  // namespace skarvel
