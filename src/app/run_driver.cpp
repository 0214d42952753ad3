#include "run_driver.hpp"

#include <optional>
#include <string_view>
#include <utility>

#include "analysis.hpp"
#include "averages_file.hpp"
#include "averaging.hpp"
#include "command_line.hpp"
#include "input_reader.hpp"
#include "naming.hpp"
#include "platform.hpp"
#include "text_writer.hpp"

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

// A step that may end the run gives its exit status; nothing means: go on.
using StepResult = std::optional<ExitStatus>;

// The run's working state: names, the first data row and the counts the analysis fixes.
struct RunState {
  std::string inputPath;  // as given; every message names the input so
  std::string labelName;  // the input name in the header labels; may gain ".$$$"
  std::string firstDataRow;
  std::string columnNote;      // shown after the column count: a base name, or the rest of the row
  std::int32_t headrows = -1;  // negative: detect
  std::int32_t valueColumns = 0;
};

// An output whose name is derived but whose file is not created yet.
struct PlannedOutput {
  AveragesKind kind;
  std::string name;
};

// Writes `what` and the file name, a line of its own.
ExitStatus report(TextWriter& console, std::string_view what, std::string_view name,
                  ExitStatus status) {
  console.write(what);
  console.write(platform::nameInText(name));
  console.put('\n');
  return status;
}

// Writes the rows of every close to the files of that period and the progress marks to the
// console: "." per day, "month/year" per month.
class RunOutputs final : public CloseListener {
 public:
  RunOutputs(std::span<AveragesFile> files, TextWriter& console, const SummaryRules& rules)
      : files_(files), console_(console), rules_(rules) {}

  void periodClosed(Period period, const RecordStamp& stamp,
                    const Accumulators& accumulators) override {
    for (AveragesFile& file : files_) {
      if (file.kind.period == period) {
        writePeriodRow(file.writer, stamp, accumulators, period, rules_);
      }
    }
    if (period == Period::day) {
      console_.put('.');
    } else if (period == Period::month) {
      console_.writeInt(stamp.month);
      console_.put('/');
      console_.writeInt(stamp.year);
      console_.put('\n');
      console_.flush();  // a line of progress per month, as on an interactive console
    }
  }

  bool healthy() const override {
    for (const AveragesFile& file : files_) {
      if (file.writer.failed()) {
        return false;
      }
    }
    return true;
  }

 private:
  std::span<AveragesFile> files_;
  TextWriter& console_;
  const SummaryRules& rules_;
};

std::vector<PlannedOutput> plannedOutputs(bool yearly) {
  std::vector<PlannedOutput> outputs = {{kDailyFile, {}}, {kMonthlyFile, {}}};
  if (yearly) {
    outputs.push_back({kYearlyFile, {}});
  }
  return outputs;
}

// Derives every output name, in order, before any file is created, so that a refusal truncates
// nothing.
StepResult deriveOutputNames(RunState& state, std::vector<PlannedOutput>& outputs,
                             TextWriter& console) {
  const DenotesInput denotesInput = [&](const std::string& candidate) {
    return platform::sameFile(candidate, state.inputPath);
  };
  for (PlannedOutput& output : outputs) {
    SafeName derived = deriveSafeOutputName(output.kind.letter, state.labelName, denotesInput);
    if (derived.outcome == NameOutcome::wouldOverwriteInput) {
      console.write("error: output file ");
      console.write(platform::nameInText(derived.derived.name));
      console.write(" would overwrite the input file\n");
      return ExitStatus::outputError;
    }
    output.name = std::move(derived.derived.name);
    state.columnNote = platform::nameInText(derived.derived.base);
  }
  return std::nullopt;
}

// Creates (or truncates) the output files in order; the files created before one that cannot be
// created stay.
StepResult createOutputs(std::vector<PlannedOutput>& planned, std::vector<AveragesFile>& files,
                         TextWriter& console) {
  files.reserve(planned.size());
  for (PlannedOutput& output : planned) {
    platform::FileHandle file = platform::createForWriting(output.name);
    if (!file) {
      return report(console, "error creating file ", output.name, ExitStatus::outputError);
    }
    files.push_back({output.kind, std::move(output.name), TextWriter(std::move(file))});
  }
  return std::nullopt;
}

// Finds the header rows and the value columns and reports them.
StepResult analyseInput(InputReader& input, RunState& state,
                        const std::vector<std::string>& positional, TextWriter& console) {
  if (!scanHeader(input, state.headrows, state.firstDataRow)) {
    if (input.failed()) {
      return report(console, "error reading file ", state.inputPath, ExitStatus::inputError);
    }
    console.write(kNoDataRow);
    return ExitStatus::noDataRow;
  }
  if (state.headrows == 0) {
    console.write("0 Kopfzeilen..\n\n");
  }
  // The column count is taken only when exactly three arguments follow the options.
  state.valueColumns = positional.size() == 3 ? readIntegerArgument(positional[2])
                                              : countColumns(state.firstDataRow, state.columnNote);
  console.writeInt(state.valueColumns);
  console.write(" columns ");
  console.write(state.columnNote);
  console.put('\n');
  return std::nullopt;
}

// Header copy, record loop and final rows, then the files closed.
StepResult averageInput(InputReader& input, const RunState& state, RecordLoopState& loop,
                        const SummaryRules& rules, std::vector<AveragesFile>& files,
                        TextWriter& console) {
  copyHeaders(input, state.headrows, platform::nameInText(state.labelName), files);
  RunOutputs outputs(files, console, rules);
  runRecordLoop(input, loop, rules, outputs);
  if (input.failed()) {
    return report(console, "error reading file ", state.inputPath, ExitStatus::inputError);
  }
  writeFinalRows(files, loop.accumulators, rules.statistic);
  for (AveragesFile& file : files) {
    if (!file.writer.close()) {
      return report(console, "error writing file ", file.name, ExitStatus::outputError);
    }
  }
  return std::nullopt;
}

// The run on one input file, once the command line is read.
ExitStatus runOnFile(const Options& options, const std::vector<std::string>& positional,
                     TextWriter& console) {
  RunState state;
  state.inputPath = positional[0];
  state.labelName = positional[0];
  state.headrows = positional.size() >= 2 ? readIntegerArgument(positional[1]) : -1;

  platform::FileHandle inputFile = platform::openForReading(state.inputPath);
  if (!inputFile) {
    return report(console, "error opening file ", state.inputPath, ExitStatus::inputError);
  }
  std::vector<PlannedOutput> planned = plannedOutputs(options.yearly);
  std::vector<AveragesFile> files;
  InputReader input(ByteSource::ofFile(inputFile.get()));
  if (const StepResult stop = deriveOutputNames(state, planned, console)) {
    return *stop;
  }
  if (const StepResult stop = createOutputs(planned, files, console)) {
    return *stop;
  }
  if (const StepResult stop = analyseInput(input, state, positional, console)) {
    return *stop;
  }
  std::optional<Accumulators> accumulators =
      Accumulators::create(state.valueColumns, options.rules.statistic);
  if (!accumulators) {
    console.write("error: not enough memory for ");
    console.writeInt(state.valueColumns);
    console.write(" value columns\n");
    return ExitStatus::outOfMemory;
  }
  if (!input.rewind()) {
    return report(console, "error reading file ", state.inputPath, ExitStatus::inputError);
  }
  RecordLoopState loop{{}, false, std::move(*accumulators)};
  if (const StepResult stop = averageInput(input, state, loop, options.rules, files, console)) {
    return *stop;
  }
  console.write(kDone);
  return ExitStatus::success;
}

}  // namespace

ExitStatus runSkarvel(const std::vector<std::string>& args, std::FILE* consoleFile) {
  TextWriter console = TextWriter::borrowing(consoleFile);
  console.write(kBanner);

  const CommandLine commandLine = parseCommandLine(args);
  switch (commandLine.action) {
    case Action::help:
      console.write(kUsage);
      console.write(kOptions);
      return ExitStatus::success;
    case Action::version:
      console.write("skarvel " SKARVEL_VERSION "\n");
      return ExitStatus::success;
    case Action::usageError:
      console.write("error: ");
      console.write(commandLine.error);
      console.put('\n');
      console.write(kUsage);
      return ExitStatus::usage;
    case Action::run:
      break;
  }
  if (commandLine.positional.empty()) {
    console.write(kUsage);
    return ExitStatus::usage;
  }
  return runOnFile(commandLine.options, commandLine.positional, console);
}

}  // namespace skarvel
