#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "app.hpp"
#include "naming.hpp"
#include "series.hpp"

#ifndef SKARVEL_VERSION
#define SKARVEL_VERSION "unknown"
#endif

namespace skarvel {

namespace {

constexpr std::string_view kBanner =
    "skarvel: daily and monthly average values from Varno-output-files \n";
constexpr std::string_view kUsage =
    "usage: skarvel <filename> [<headrows{def=auto}>] [<number of value columns(without leading "
    "dates){def=auto}>]\n\n";
constexpr std::string_view kOptions =
    "options, before <filename> (\"--\" ends them):\n"
    "  --stat=mean|sum|min|max  the value per column and period (default mean)\n"
    "  --yearly                 also write the yearly file (letter y)\n"
    "  --year-start=M           first month of the year, 1 to 12 (default 1); implies --yearly\n"
    "  --min-coverage=P         show a column's value for a period only when at least P percent\n"
    "                           of the period's rows have a valid value in it (default 0)\n"
    "  --help, -h               this text\n"
    "  --version                the version\n";
constexpr std::string_view kNoDataRow =
    "no valid row for column analyzing found \n(at least one row in the file has to start with a "
    "number)\n";
constexpr std::string_view kDone = "fertig..\n";

// The run's working state: names, the current line and work text, and the counts the analysis
// fixes.
struct RunState {
  std::string nameBuffer;  // the input name; the name derivation may append ".$$$"
  std::string lineBuffer;
  std::string scratchBuffer;
  std::int32_t headrows = -1;  // negative: detect
  std::int32_t valueColumns = 0;
};

// One output file: the letter of its name, the label of its first line, its derived name.
struct OutputFile {
  char letter;
  std::string_view label;
  std::string name;
};

void report(TextWriter& console, std::string_view what, std::string_view name) {
  console.write(what);
  console.write(name);
  console.put('\n');
}

std::vector<OutputFile> plannedOutputs(bool yearly) {
  std::vector<OutputFile> outputs = {{'t', "daily_sums_from_", {}},
                                     {'m', "monthly_sums_from_", {}}};
  if (yearly) {
    outputs.push_back({'y', "yearly_sums_from_", {}});
  }
  return outputs;
}

// Derives every output name, in order, before any file is created, so that a refusal truncates
// nothing. False (reported) when a name would still denote the input.
bool deriveOutputNames(RunState& state, const std::string& inputPath,
                       std::vector<OutputFile>& outputs, TextWriter& console) {
  const DenotesInput denotesInput = [&](const std::string& candidate) {
    return sameFile(candidate, inputPath);
  };
  for (OutputFile& output : outputs) {
    SafeName derived = deriveSafeOutputName(output.letter, state.nameBuffer, denotesInput);
    if (derived.outcome == NameOutcome::wouldOverwriteInput) {
      console.write("error: output file ");
      console.write(derived.derived.name);
      console.write(" would overwrite the input file\n");
      return false;
    }
    output.name = std::move(derived.derived.name);
    state.scratchBuffer = std::move(derived.derived.base);
  }
  return true;
}

// Creates (or truncates) the output files in order. Empty (reported) when one cannot be
// created; the files created before it stay.
std::vector<TextWriter> createOutputs(const std::vector<OutputFile>& outputs, TextWriter& console) {
  std::vector<TextWriter> writers;
  writers.reserve(outputs.size());
  for (const OutputFile& output : outputs) {
    FileHandle file = createForWriting(output.name);
    if (!file) {
      report(console, "error creating file ", output.name);
      return {};
    }
    writers.emplace_back(file.release(), true);
  }
  return writers;
}

// Finds the header rows and the value columns and reports them. Returns the exit status when
// the run cannot go on.
std::optional<int> analyseInput(InputReader& input, RunState& state,
                                const std::vector<std::string>& positional, TextWriter& console) {
  if (!scanHeader(input, state.headrows, state.lineBuffer)) {
    if (input.failed()) {
      report(console, "error reading file ", positional[0]);
      return ExitInputError;
    }
    console.write(kNoDataRow);
    return ExitNoDataRow;
  }
  if (state.headrows == 0) {
    console.write("0 Kopfzeilen..\n\n");
  }
  // The column count is taken only when exactly three arguments follow the options.
  state.valueColumns = positional.size() == 3 ? readIntegerArgument(positional[2])
                                              : countColumns(state.lineBuffer, state.scratchBuffer);
  console.writeInt(state.valueColumns);
  console.write(" columns ");
  console.write(state.scratchBuffer);
  console.put('\n');
  return std::nullopt;
}

// The run on one input file, once the command line is read.
int runOnFile(const Options& options, const std::vector<std::string>& positional,
              TextWriter& console) {
  const std::string& inputPath = positional[0];
  RunState state;
  state.headrows = positional.size() >= 2 ? readIntegerArgument(positional[1]) : -1;
  state.nameBuffer = inputPath;

  FileHandle inputFile = openForReading(inputPath);
  if (!inputFile) {
    report(console, "error opening file ", state.nameBuffer);
    return ExitInputError;
  }
  std::vector<OutputFile> outputs = plannedOutputs(options.yearly);
  if (!deriveOutputNames(state, inputPath, outputs, console)) {
    return ExitOutputError;
  }
  std::vector<TextWriter> writers = createOutputs(outputs, console);
  if (writers.empty()) {
    return ExitOutputError;
  }

  InputReader input(inputFile.get());
  if (const std::optional<int> stop = analyseInput(input, state, positional, console)) {
    return *stop;
  }
  // A given column count may be more than memory holds: that is the user's number to fix.
  RecordLoopState loop(state.valueColumns);
  if (!loop.allocated()) {
    console.write("error: not enough memory for ");
    console.writeInt(state.valueColumns);
    console.write(" value columns\n");
    return ExitUsage;
  }
  if (!input.rewind()) {
    report(console, "error reading file ", inputPath);
    return ExitInputError;
  }

  std::vector<LabelledOutput> labelled;
  for (std::size_t i = 0; i < writers.size(); ++i) {
    labelled.push_back({writers[i], outputs[i].label});
  }
  copyHeaders(input, state.headrows, state.nameBuffer, labelled);
  const std::int32_t yearLastMonth = options.yearStart == 1 ? 12 : options.yearStart - 1;
  runRecordLoop(input, loop,
                RunOutputs{writers[0], writers[1], writers.size() > 2 ? &writers[2] : nullptr,
                           console, options.summary, yearLastMonth});
  if (input.failed()) {
    report(console, "error reading file ", inputPath);
    return ExitInputError;
  }
  writeFinalRows(writers, loop.columns, options.summary.statistic);

  inputFile.reset();
  for (std::size_t i = 0; i < writers.size(); ++i) {
    if (!writers[i].close()) {
      report(console, "error writing file ", outputs[i].name);
      return ExitOutputError;
    }
  }
  console.write(kDone);
  return ExitSuccess;
}

}  // namespace

std::int32_t readIntegerArgument(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr std::int64_t kLimit = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

int runSkarvel(const std::vector<std::string>& args, std::FILE* consoleFile) {
  TextWriter console(consoleFile, false);
  console.write(kBanner);

  const CommandLine commandLine = parseCommandLine(args);
  switch (commandLine.action) {
    case Action::help:
      console.write(kUsage);
      console.write(kOptions);
      return ExitSuccess;
    case Action::version:
      console.write("skarvel " SKARVEL_VERSION "\n");
      return ExitSuccess;
    case Action::usageError:
      console.write("error: ");
      console.write(commandLine.error);
      console.put('\n');
      console.write(kUsage);
      return ExitUsage;
    case Action::run:
      break;
  }
  if (commandLine.positional.empty()) {
    console.write(kUsage);
    return ExitUsage;
  }
  return runOnFile(commandLine.options, commandLine.positional, console);
}

}  // namespace skarvel
