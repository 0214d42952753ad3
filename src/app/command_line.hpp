// The command line: options before the file name, then the positional arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "averages_file.hpp"
#include "averaging.hpp"

namespace skarvel {

// The settings the options before the file name give.
struct Options {
  SummaryRules rules;
  bool yearly = false;
  bool quiet = false;     // nothing on standard output but error messages
  bool progress = false;  // a status line on standard error instead of the progress marks
  std::vector<std::string> missingTexts;    // tokens that are missing values, such as "NA"
  FileLayout layout = FileLayout::classic;  // --format: the files to write
  unsigned threads = 0;                     // threads that read the input; 0: as many as help
};

// The most threads --threads takes.
inline constexpr unsigned kMaxThreads = 64;

// How a count argument (header rows, value columns) reads.
struct CountArgument {
  enum class Kind { number, detect, invalid };
  Kind kind = Kind::invalid;
  std::int32_t value = 0;
};

enum class Action { run, help, version, usageError };

// The command line taken apart: options first, then the positional arguments (file name, header
// rows, column count), which keep their rules.
struct CommandLine {
  Action action = Action::run;
  Options options;
  std::vector<std::string> positional;
  std::int32_t headrows = -1;                // negative: detect
  std::optional<std::int32_t> valueColumns;  // nothing: detect
  std::vector<std::string> ignored;          // arguments after the column count
  std::string error;                         // what is wrong, for Action::usageError
};

// Options come before the file name, in GNU long form ("--stat=sum" or "--stat sum"); "--" ends
// them, and so does the first argument that does not start with '-' (or is "-" alone).
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Reads a command-line integer as base-10 string-to-long conversion does: leading white space
// and a sign allowed, stops at the first non-digit, no digits gives 0. Clamped to 32 bits.
std::int32_t readIntegerArgument(std::string_view text);

// A count argument: "auto" (any letter case, after white space) asks for detection; text whose
// string-to-long reading finds digits is that reading; anything else is invalid.
CountArgument readCountArgument(std::string_view text);

}  // namespace skarvel
