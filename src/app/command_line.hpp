// The command line: options before the file name, then the positional arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "averages_file.hpp"
#include "averaging.hpp"

namespace skarvel {

// --shard=I/N: the I-th of N contiguous slices of the inputs of many, in their order.
struct Shard {
  std::uint32_t index = 1;  // 1 to count
  std::uint32_t count = 1;

  // The inputs [first, second) of `inputs` that the shard takes: from floor((I-1)*M/N) to
  // floor(I*M/N), so the sizes of the slices differ by at most one.
  std::pair<std::size_t, std::size_t> range(std::size_t inputs) const;
};

// The settings the options before the file name give.
struct Options {
  SummaryRules rules;
  bool yearly = false;
  bool quiet = false;     // nothing on standard output but error messages
  bool progress = false;  // a status line on standard error instead of the progress marks
  std::vector<std::string> missingTexts;    // tokens that are missing values, such as "NA"
  FileLayout layout = FileLayout::classic;  // --format: the files to write
  unsigned threads = 0;                     // threads that read the input; 0: as many as help
  std::string name;       // --name: the input name the outputs are named and labelled after
  bool each = false;      // --each: every argument after the options is an input
  std::string filesFrom;  // --files-from: a list of inputs, one per line ("-": standard input)
  std::string report;     // --report: the JSON Lines file of the run report
  std::int32_t headerRows = -1;         // --header-rows; negative: detect
  std::optional<std::int32_t> columns;  // --columns; nothing: detect
  std::optional<Shard> shard;           // --shard; nothing: every input

  // True when the run reads many inputs (--each, --files-from).
  bool manyInputs() const { return each || !filesFrom.empty(); }
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

// How an option is written: with a value ("--stat=sum" or "--stat sum"), alone, or as one of
// the two requests that end the parsing.
enum class OptionKind { value, flag, help, version };

// One option: its names, how it is written, how it is applied and its help line. The parser,
// the help text and the tests all read the one table of these.
struct OptionRow {
  std::string_view name;   // "--stat"
  std::string_view alias;  // a short name ("-h"), or empty
  OptionKind kind;
  std::string_view valueSyntax;  // shown after the name in the help text: "=mean|sum|..."
  // Applies the option with its value (empty for a flag); false, with the error text set,
  // when the value is not valid. Null for help and version.
  bool (*apply)(std::string_view value, Options& options, std::string& error);
  std::string_view help;  // the help text, lines separated by '\n'
};

// Every option, in the order of the help text.
std::span<const OptionRow> optionTable();

// The option part of the help text, made from the option table.
std::string optionsHelp();

// Options come before the file name, in GNU long form ("--stat=sum" or "--stat sum"); "--" ends
// them, and so does the first argument that does not start with '-' (or is "-" alone).
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Reads a command-line integer as base-10 string-to-long conversion does: leading white space
// and a sign allowed, stops at the first non-digit, no digits gives 0. Clamped to 32 bits.
std::int32_t readIntegerArgument(std::string_view text);

// A count argument: "auto" (any letter case) asks for detection; a whole number (an optional
// sign and digits) is that number, clamped to 32 bits; blanks around either are allowed.
// Anything else, "3x" or a second file name, is invalid.
CountArgument readCountArgument(std::string_view text);

}  // namespace skarvel
