// The run driver: command line, order of phases, console messages and exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace skarvel {

// Process exit statuses.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitUsage = 1;        // no file argument
inline constexpr int ExitNoDataRow = 1;    // the input has no line that starts with a number
inline constexpr int ExitInputError = 2;   // the input cannot be opened or read
inline constexpr int ExitOutputError = 3;  // an output cannot be created or written, or would
                                           // overwrite the input

// Reads a command-line integer as base-10 string-to-long conversion does: leading white space
// and a sign allowed, stops at the first non-digit, no digits gives 0. Clamped to 32 bits.
std::int32_t readIntegerArgument(std::string_view text);

// Runs the tool on the argument vector (program name first), writing console text to `console`.
// Returns the process exit status.
int runSkarvel(const std::vector<std::string>& args, std::FILE* console);

}  // namespace skarvel
