// The run driver: command line, order of phases, console messages and exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "series.hpp"

namespace skarvel {

// Process exit statuses.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitUsage = 1;        // no file argument
inline constexpr int ExitNoDataRow = 1;    // the input has no line that starts with a number
inline constexpr int ExitInputError = 2;   // the input cannot be opened or read
inline constexpr int ExitOutputError = 3;  // an output cannot be created or written, or would
                                           // overwrite the input

// The settings the options before the file name give.
struct Options {
  Summary summary;
  bool yearly = false;
  std::int32_t yearStart = 1;  // first month of the year, 1..12
};

enum class Action { run, help, version, usageError };

// The command line taken apart: options first, then the positional arguments (file name, header
// rows, column count), which keep their rules.
struct CommandLine {
  Action action = Action::run;
  Options options;
  std::vector<std::string> positional;
  std::string error;  // what is wrong, for Action::usageError
};

// Options come before the file name, in GNU long form ("--stat=sum" or "--stat sum"); "--" ends
// them, and so does the first argument that does not start with '-' (or is "-" alone).
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Reads a command-line integer as base-10 string-to-long conversion does: leading white space
// and a sign allowed, stops at the first non-digit, no digits gives 0. Clamped to 32 bits.
std::int32_t readIntegerArgument(std::string_view text);

// Runs the tool on the argument vector (program name first), writing console text to `console`.
// Returns the process exit status.
int runSkarvel(const std::vector<std::string>& args, std::FILE* console);

}  // namespace skarvel
