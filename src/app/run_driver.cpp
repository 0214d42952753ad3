#include <algorithm>
#include <limits>

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

  const std::size_t argc = args.size();
  if (argc >= 2 && (args[1] == "--help" || args[1] == "-h")) {
    console.write(kUsage);
    return ExitSuccess;
  }
  if (argc >= 2 && args[1] == "--version") {
    console.write("skarvel " SKARVEL_VERSION "\n");
    return ExitSuccess;
  }
  if (argc < 2) {
    console.write(kUsage);
    return ExitUsage;
  }

  RunState state;
  state.headrows = argc >= 3 ? readIntegerArgument(args[2]) : -1;
  state.nameBuffer = args[1];
  const std::string& inputPath = args[1];

  FileHandle inputFile = openForReading(inputPath);
  if (!inputFile) {
    report(console, "error opening file ", state.nameBuffer);
    return ExitInputError;
  }

  // Both names are settled before either file is created, so a refusal truncates nothing.
  const DenotesInput denotesInput = [&](const std::string& candidate) {
    return sameFile(candidate, inputPath);
  };
  for (const char letter : {'t', 'm'}) {
    SafeName output = deriveSafeOutputName(letter, state.nameBuffer, denotesInput);
    if (output.outcome == NameOutcome::wouldOverwriteInput) {
      console.write("error: output file ");
      console.write(output.derived.name);
      console.write(" would overwrite the input file\n");
      return ExitOutputError;
    }
    (letter == 't' ? state.dailyName : state.monthlyName) = std::move(output.derived.name);
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
  TextWriter daily(dailyFile.release(), true);
  TextWriter monthly(monthlyFile.release(), true);

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

  state.valueColumns = argc == 4 ? readIntegerArgument(args[3])
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
  copyHeaders(input, state.headrows, state.nameBuffer, daily, monthly);
  runRecordLoop(input, loop, RunOutputs{daily, monthly, console});
  if (input.failed()) {
    report(console, "error reading file ", inputPath);
    return ExitInputError;
  }
  writeFinalRows(daily, monthly, loop.columns);

  inputFile.reset();
  if (!daily.close()) {
    report(console, "error writing file ", state.dailyName);
    return ExitOutputError;
  }
  if (!monthly.close()) {
    report(console, "error writing file ", state.monthlyName);
    return ExitOutputError;
  }
  console.write(kDone);
  return ExitSuccess;
}

}  // namespace skarvel
