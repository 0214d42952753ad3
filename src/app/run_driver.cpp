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
  std::string dailyName;
  std::string monthlyName;
  std::string yearlyName;
  std::string lineBuffer;
  std::string scratchBuffer;
  std::int32_t headrows = -1;  // negative: detect
  std::int32_t valueColumns = 0;
};

void report(TextWriter& console, std::string_view what, std::string_view name) {
  console.write(what);
  console.write(name);
  console.put('\n');
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
  const Options& options = commandLine.options;
  const std::vector<std::string>& positional = commandLine.positional;
  const std::size_t argc = positional.size() + 1;  // as if the options were not there
  if (argc < 2) {
    console.write(kUsage);
    return ExitUsage;
  }

  RunState state;
  state.headrows = argc >= 3 ? readIntegerArgument(positional[1]) : -1;
  state.nameBuffer = positional[0];
  const std::string& inputPath = positional[0];

  FileHandle inputFile = openForReading(inputPath);
  if (!inputFile) {
    report(console, "error opening file ", state.nameBuffer);
    return ExitInputError;
  }

  // All names are settled before any file is created, so a refusal truncates nothing.
  const DenotesInput denotesInput = [&](const std::string& candidate) {
    return sameFile(candidate, inputPath);
  };
  const std::pair<char, std::string*> outputNames[] = {
      {'t', &state.dailyName}, {'m', &state.monthlyName}, {'y', &state.yearlyName}};
  for (const auto& [letter, target] : outputNames) {
    if (letter == 'y' && !options.yearly) {
      break;
    }
    SafeName output = deriveSafeOutputName(letter, state.nameBuffer, denotesInput);
    if (output.outcome == NameOutcome::wouldOverwriteInput) {
      console.write("error: output file ");
      console.write(output.derived.name);
      console.write(" would overwrite the input file\n");
      return ExitOutputError;
    }
    *target = std::move(output.derived.name);
    state.scratchBuffer = std::move(output.derived.base);
  }

  FileHandle dailyFile = createForWriting(state.dailyName);
  if (!dailyFile) {
    report(console, "error creating file ", state.dailyName);
    return ExitOutputError;
  }
  FileHandle monthlyFile = createForWriting(state.monthlyName);
  if (!monthlyFile) {
    report(console, "error creating file ", state.monthlyName);
    return ExitOutputError;
  }
  FileHandle yearlyFile;
  if (options.yearly) {
    yearlyFile = createForWriting(state.yearlyName);
    if (!yearlyFile) {
      report(console, "error creating file ", state.yearlyName);
      return ExitOutputError;
    }
  }
  TextWriter daily(dailyFile.release(), true);
  TextWriter monthly(monthlyFile.release(), true);
  std::optional<TextWriter> yearly;
  if (yearlyFile) {
    yearly.emplace(yearlyFile.release(), true);
  }

  InputReader input(inputFile.get());
  if (!scanHeader(input, state.headrows, state.lineBuffer)) {
    if (input.failed()) {
      report(console, "error reading file ", inputPath);
      return ExitInputError;
    }
    console.write(kNoDataRow);
    return ExitNoDataRow;
  }
  if (state.headrows == 0) {
    console.write("0 Kopfzeilen..\n\n");
  }

  state.valueColumns = argc == 4 ? readIntegerArgument(positional[2])
                                 : countColumns(state.lineBuffer, state.scratchBuffer);
  console.writeInt(state.valueColumns);
  console.write(" columns ");
  console.write(state.scratchBuffer);
  console.put('\n');

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

  std::vector<LabelledOutput> labelled = {{daily, "daily_sums_from_"},
                                          {monthly, "monthly_sums_from_"}};
  std::vector<TextWriter*> files = {&daily, &monthly};
  if (yearly) {
    labelled.push_back({*yearly, "yearly_sums_from_"});
    files.push_back(&*yearly);
  }
  copyHeaders(input, state.headrows, state.nameBuffer, labelled);
  const std::int32_t yearLastMonth = options.yearStart == 1 ? 12 : options.yearStart - 1;
  runRecordLoop(input, loop,
                RunOutputs{daily, monthly, yearly ? &*yearly : nullptr, console, options.summary,
                           yearLastMonth});
  if (input.failed()) {
    report(console, "error reading file ", inputPath);
    return ExitInputError;
  }
  writeFinalRows(files, loop.columns, options.summary.statistic);

  inputFile.reset();
  const std::pair<TextWriter*, const std::string*> closing[] = {
      {&daily, &state.dailyName},
      {&monthly, &state.monthlyName},
      {yearly ? &*yearly : nullptr, &state.yearlyName}};
  for (const auto& [file, name] : closing) {
    if (file != nullptr && !file->close()) {
      report(console, "error writing file ", *name);
      return ExitOutputError;
    }
  }
  console.write(kDone);
  return ExitSuccess;
}

}  // namespace skarvel
