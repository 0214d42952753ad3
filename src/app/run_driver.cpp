#include "run_driver.hpp"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "analysis.hpp"
#include "averages_file.hpp"
#include "averaging.hpp"
#include "chunked_loop.hpp"
#include "close_writer.hpp"
#include "command_line.hpp"
#include "input_reader.hpp"
#include "naming.hpp"
#include "platform.hpp"
#include "progress.hpp"
#include "read_settings.hpp"
#include "run_report.hpp"
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
    "  --stat=mean|sum|min|max|count\n"
    "                           the value per column and period (default mean); count: the\n"
    "                           number of valid values\n"
    "  --yearly                 also write the yearly file (letter y)\n"
    "  --year-start=M           first month of the year, 1 to 12 (default 1); implies --yearly\n"
    "  --min-coverage=P         show a column's value for a period only when at least P percent\n"
    "                           of the period's rows have a valid value in it (default 0)\n"
    "  --day-ends=H             the row with hour H, 0 to 24, closes the day (default 24);\n"
    "                           --day-ends=23 for hours 0..23\n"
    "  --missing=TEXT[,TEXT...] tokens that are missing values, like -9999: --missing=NA,nan\n"
    "  --format=classic|csv     the files to write: the classic files (default), or instead\n"
    "                           comma-separated files: flow.dat gives flow_daily.csv,\n"
    "                           flow_monthly.csv (and flow_yearly.csv)\n"
    "  --threads=N              read the input with N threads (default: one per processor, at\n"
    "                           most 4); --threads=1 reads it on one thread\n"
    "  --quiet                  nothing on standard output but error messages\n"
    "  --progress               a status line and a summary on standard error instead of the\n"
    "                           progress marks\n"
    "  --help, -h               this text\n"
    "  --version                the version\n";
constexpr std::string_view kNoDataRow =
    "no valid row for column analyzing found \n(at least one row in the file has to start with a "
    "number)\n";
constexpr std::string_view kDone = "fertig..\n";

// A step that may end the run gives its exit status; nothing means: go on.
using StepResult = std::optional<ExitStatus>;

// Where the run's texts go: messages (the banner, counts, progress marks, "fertig..") and error
// messages to standard output, unless --quiet silences the messages; the reasons of errors, the
// warnings and the --progress line to standard error.
struct Console {
  TextWriter& messages;
  TextWriter& errors;
  TextWriter& diagnostics;
};

// The run's working state: names, the first data row and the counts the analysis fixes.
struct RunState {
  std::string inputPath;  // as given; every message names the input so
  std::string labelName;  // the input name in the header labels; may gain ".$$$"
  std::string firstDataRow;
  std::int64_t firstDataRowOffset = 0;  // where the first data row starts in the input text
  std::string columnNote;      // shown after the column count: a base name, or the rest of the row
  std::int32_t headrows = -1;  // negative: detect
  std::int32_t valueColumns = 0;
};

// An output whose name is derived but whose file is not created yet.
struct PlannedOutput {
  AveragesKind kind;
  std::string name;
  FileLayout layout;
};

// Reports a failed operation on a file: its message on standard output, the system's reason
// on standard error.
ExitStatus report(const Console& console, std::string_view what, std::string_view name,
                  int errorNumber, ExitStatus status) {
  console.errors.write(what);
  console.errors.write(platform::nameInText(name));
  console.errors.put('\n');
  console.errors.flush();
  console.diagnostics.write("skarvel: ");
  console.diagnostics.write(what);
  console.diagnostics.write(platform::nameInText(name));
  console.diagnostics.write(": ");
  console.diagnostics.write(platform::errorText(errorNumber));
  console.diagnostics.put('\n');
  return status;
}

// Writes the rows of every close to the files of that period and the progress marks to the
// console: "." per day, "month/year" per month. Takes the rows and marks of committed chunks too.
class RunOutputs final : public ChunkSink {
 public:
  RunOutputs(std::span<AveragesFile> files, TextWriter& marks, const SummaryRules& rules)
      : files_(files), marks_(marks), closes_(files, marks, rules) {}

  void periodClosed(Period period, const RecordStamp& stamp,
                    const Accumulators& accumulators) override {
    closes_.write(period, stamp, accumulators);
    if (period == Period::month) {
      marks_.flush();  // a line of progress per month, as on an interactive console
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

  void writeRows(std::size_t output, std::string_view rows) override {
    files_[output].writer.write(rows);
  }
  void writeMarks(std::string_view marks) override { marks_.write(marks); }
  void chunkCommitted() override {
    marks_.flush();
    if (onChunk) {
      onChunk();
    }
  }

  // Called after each committed chunk.
  std::function<void()> onChunk;

 private:
  std::span<AveragesFile> files_;
  TextWriter& marks_;
  CloseWriter closes_;
};

// The threads that read the input: as given, else one per processor, at most kDefaultThreads.
unsigned readingThreads(const Options& options) {
  constexpr unsigned kDefaultThreads = 4;
  return options.threads != 0 ? options.threads
                              : std::min(platform::processorCount(), kDefaultThreads);
}

// How the input is read. SKARVEL_TEST_CHUNK_BYTES sets another chunk size, for tests that cut
// small inputs into many chunks; SKARVEL_ROW_SCAN (for tests and benchmarks) another row scan.
ReadSettings readSettings() {
  return readSettingsFrom(std::getenv("SKARVEL_TEST_CHUNK_BYTES"), std::getenv("SKARVEL_ROW_SCAN"));
}

// Reads the data rows: on several threads as far as the input allows, then on this one up to the
// end, where the record loop applies the end-of-input rules.
void readDataRows(InputReader& input, RecordLoopState& loop, const Options& options,
                  const ReadSettings& settings, std::span<AveragesFile> files,
                  RunOutputs& outputs) {
  const unsigned threads = readingThreads(options);
  const std::optional<std::int64_t> start = input.plainOffset();
  if (threads > 1 && start && loop.accumulators.columnCount() > 0 && input.seekTo(*start)) {
    std::vector<ChunkOutput> chunkOutputs;
    chunkOutputs.reserve(files.size());
    for (const AveragesFile& file : files) {
      chunkOutputs.push_back({file.kind.period, file.layout});
    }
    const std::int64_t resume = runChunkedLoop(input, *start, loop, options.rules, chunkOutputs,
                                               outputs, threads, settings);
    if (input.failed() || !outputs.healthy() || !input.seekTo(resume)) {
      return;
    }
  }
  runRecordLoop(input, loop, options.rules, outputs);
}

std::vector<PlannedOutput> plannedOutputs(const Options& options) {
  std::vector<PlannedOutput> outputs = {{kDailyFile, {}, options.layout},
                                        {kMonthlyFile, {}, options.layout}};
  if (options.yearly) {
    outputs.push_back({kYearlyFile, {}, options.layout});
  }
  return outputs;
}

// Derives every output name, in order, before any file is created, so that a refusal truncates
// nothing.
StepResult deriveOutputNames(RunState& state, std::vector<PlannedOutput>& outputs,
                             const Console& console) {
  const DenotesInput denotesInput = [&](const std::string& candidate) {
    return platform::sameFile(candidate, state.inputPath);
  };
  for (PlannedOutput& output : outputs) {
    SafeName derived =
        output.layout == FileLayout::csv
            ? deriveCsvOutputName(output.kind.csvSuffix, state.inputPath, denotesInput)
            : deriveSafeOutputName(output.kind.letter, state.labelName, denotesInput);
    if (derived.outcome == NameOutcome::wouldOverwriteInput) {
      console.errors.write("error: output file ");
      console.errors.write(platform::nameInText(derived.derived.name));
      console.errors.write(" would overwrite the input file\n");
      return ExitStatus::outputError;
    }
    output.name = std::move(derived.derived.name);
    state.columnNote = platform::nameInText(derived.derived.base);
    if (output.layout == FileLayout::csv) {
      // The console shows what it shows for the classic files.
      std::string labelName = state.labelName;
      state.columnNote = platform::nameInText(deriveOutputName(kDailyFile.letter, labelName).base);
    }
  }
  return std::nullopt;
}

// Refuses outputs that would write one file, by name or through links, before any is created.
StepResult refuseAliasedOutputs(const std::vector<PlannedOutput>& outputs, const Console& console) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (platform::sameTarget(outputs[i].name, outputs[j].name)) {
        console.errors.write("error: output files ");
        console.errors.write(platform::nameInText(outputs[i].name));
        console.errors.write(" and ");
        console.errors.write(platform::nameInText(outputs[j].name));
        console.errors.write(" are the same file\n");
        return ExitStatus::outputError;
      }
    }
  }
  return std::nullopt;
}

// Starts the outputs in order, each under a temporary name; when one cannot be created, the ones
// started before it are removed with `files`, and no output name changes.
StepResult createOutputs(std::vector<PlannedOutput>& planned, std::vector<AveragesFile>& files,
                         const Console& console) {
  files.reserve(planned.size());
  for (PlannedOutput& output : planned) {
    // Comma-separated files end their lines in LF on every platform.
    platform::AtomicOutput atomic =
        platform::AtomicOutput::create(output.name, output.layout == FileLayout::classic);
    if (!atomic.isOpen()) {
      return report(console, "error creating file ", output.name, platform::lastOpenError(),
                    ExitStatus::outputError);
    }
    std::FILE* file = atomic.file();
    files.push_back({output.kind, std::move(output.name), std::move(atomic),
                     TextWriter::borrowing(file), output.layout});
  }
  return std::nullopt;
}

// Closes every output with its data on the disk, then puts each in place of its name. Until the
// last is closed, a failure leaves every name as it was.
StepResult putOutputsInPlace(std::vector<AveragesFile>& files, const Console& console) {
  for (AveragesFile& file : files) {
    const bool written = file.writer.close();
    const int writeError = file.writer.errorNumber();
    if ((file.output && !file.output->finish()) || !written) {
      return report(console, "error writing file ", file.name,
                    written ? platform::lastOpenError() : writeError, ExitStatus::outputError);
    }
  }
  for (AveragesFile& file : files) {
    if (file.output && !file.output->commit()) {
      return report(console, "error writing file ", file.name, platform::lastOpenError(),
                    ExitStatus::outputError);
    }
  }
  return std::nullopt;
}

// Finds the header rows and the value columns and reports them. Without a data row, the empty
// outputs are the result and are put in place.
StepResult analyseInput(InputReader& input, RunState& state, const CommandLine& commandLine,
                        std::vector<AveragesFile>& files, const Console& console) {
  const std::optional<std::int32_t> givenColumns = commandLine.valueColumns;
  if (!scanHeader(input, state.headrows, state.firstDataRow)) {
    if (input.failed()) {
      return report(console, "error reading file ", state.inputPath, input.errorNumber(),
                    ExitStatus::inputError);
    }
    console.errors.write(kNoDataRow);
    if (const StepResult failed = putOutputsInPlace(files, console)) {
      return failed;
    }
    return ExitStatus::noDataRow;
  }
  state.firstDataRowOffset =
      input.textOffset() - static_cast<std::int64_t>(state.firstDataRow.size());
  if (state.headrows == 0) {
    console.messages.write("0 Kopfzeilen..\n\n");
  }
  state.valueColumns = givenColumns ? *givenColumns
                                    : countColumns(state.firstDataRow, state.columnNote,
                                                   commandLine.options.missingTexts);
  console.messages.writeInt(state.valueColumns);
  console.messages.write(" columns ");
  console.messages.write(state.columnNote);
  console.messages.put('\n');
  return std::nullopt;
}

// The line numbers the warnings name: the input is read again up to the last of them, so only
// when there is one to name.
void resolveLineNumbers(InputReader& input, RunFacts& facts, std::int64_t firstDataRowOffset,
                        std::int64_t endOffset) {
  std::vector<std::int64_t*> lines;
  std::vector<std::int64_t> offsets;
  const auto need = [&](std::int64_t& line, std::int64_t offset) {
    lines.push_back(&line);
    offsets.push_back(offset);
  };
  if (facts.columnsDetected && facts.valueColumns == 0) {
    need(facts.firstDataRowLine, firstDataRowOffset);
  }
  if (facts.failure) {
    need(facts.failureLine, facts.failure->offset);
  }
  if (facts.endedInsideValues) {
    need(facts.endLine, endOffset);
  }
  if (facts.linesCrossed.count > 0) {
    need(facts.linesCrossedLine, facts.linesCrossed.firstOffset);
  }
  if (facts.extraText.count > 0) {
    need(facts.extraTextLine, facts.extraText.firstOffset);
  }
  if (offsets.empty()) {
    return;
  }
  std::vector<std::int64_t> sorted = offsets;
  std::sort(sorted.begin(), sorted.end());
  const std::vector<std::int64_t> numbers = input.lineNumbersAt(sorted);
  for (std::size_t i = 0; i < offsets.size() && numbers.size() == sorted.size(); ++i) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), offsets[i]) - sorted.begin();
    *lines[i] = numbers[static_cast<std::size_t>(at)];
  }
}

// What the run saw, once the record loop has ended. Reads on to count the data rows that a
// failed conversion left unread.
RunFacts factsOfRun(InputReader& input, const RunState& state, const RecordLoopState& loop,
                    const CommandLine& commandLine) {
  RunFacts facts;
  facts.columnsDetected = !commandLine.valueColumns;
  facts.valueColumns = state.valueColumns;
  facts.firstDataRow = state.firstDataRow;
  facts.failure = input.firstFailure();
  facts.endedInsideValues = loop.endedInsideValues;
  facts.rowsRead = loop.rowsRead;
  facts.daysClosed = loop.closes[static_cast<std::size_t>(Period::day)];
  facts.daysSinceMonthClose = loop.daysSinceMonthClose;
  facts.openDayRows = loop.accumulators.rows(Period::day);
  facts.lastStamp = loop.stamp;
  facts.closeHour = commandLine.options.rules.closeHour;
  facts.linesCrossed = input.linesCrossed();
  facts.extraText = input.extraText();
  facts.ignoredArguments = commandLine.ignored;
  const std::int64_t endOffset = input.textOffset();
  if (facts.failure) {
    facts.dataRowsUnread = (facts.failure->lineStartsWithNumber ? 1 : 0) + countDataRows(input);
  }
  if (!input.failed()) {
    resolveLineNumbers(input, facts, state.firstDataRowOffset, endOffset);
  }
  return facts;
}

// Prints the warnings on standard error; true when one of them makes the results incomplete.
bool printWarnings(const RunFacts& facts, const Console& console) {
  bool incomplete = false;
  for (const Warning& warning : warningsFor(facts)) {
    console.diagnostics.write("skarvel: warning: ");
    console.diagnostics.write(warning.text);
    console.diagnostics.put('\n');
    incomplete = incomplete || warning.incomplete;
  }
  return incomplete;
}

RunSummary summaryOf(const RecordLoopState& loop, std::int32_t valueColumns) {
  const std::int64_t values = loop.rowsRead * std::max<std::int64_t>(valueColumns, 0);
  return {loop.rowsRead, loop.closes[static_cast<std::size_t>(Period::day)],
          loop.closes[static_cast<std::size_t>(Period::month)], loop.valuesAccepted,
          std::max<std::int64_t>(values - loop.valuesAccepted, 0)};
}

// Header copy, record loop and final rows, then the files closed. Gives the exit status of a
// run that did not fail: success, or incomplete when input rows were not averaged as written.
StepResult averageInput(InputReader& input, const RunState& state, RecordLoopState& loop,
                        const CommandLine& commandLine, const ReadSettings& settings,
                        std::vector<AveragesFile>& files, const Console& console) {
  const Options& options = commandLine.options;
  const std::string lastHeader =
      copyHeaders(input, state.headrows, platform::nameInText(state.labelName), files);
  for (AveragesFile& file : files) {
    if (file.layout == FileLayout::csv) {
      writeCsvHeader(file.writer, csvColumnNames(lastHeader, state.valueColumns));
    }
  }
  TextWriter noMarks = TextWriter::discarding();
  RunOutputs outputs(files, options.progress ? noMarks : console.messages, options.rules);
  std::optional<ProgressLine> progress;
  if (options.progress) {
    console.diagnostics.flush();
    progress.emplace(stderr, platform::isTerminal(stderr),
                     platform::regularFileSize(state.inputPath));
    const auto update = [&] {
      progress->update({input.bytesRead(), loop.rowsRead,
                        loop.closes[static_cast<std::size_t>(Period::day)],
                        loop.closes[static_cast<std::size_t>(Period::month)]});
    };
    input.onBlock(update);
    outputs.onChunk = update;
  }
  readDataRows(input, loop, options, settings, files, outputs);
  input.onBlock(nullptr);
  outputs.onChunk = nullptr;
  const RunFacts facts = factsOfRun(input, state, loop, commandLine);
  if (input.failed()) {
    return report(console, "error reading file ", state.inputPath, input.errorNumber(),
                  ExitStatus::inputError);
  }
  writeFinalRows(files, loop.accumulators, options.rules.statistic);
  if (const StepResult failed = putOutputsInPlace(files, console)) {
    return failed;
  }
  if (progress) {
    progress->finish(summaryOf(loop, state.valueColumns));
  }
  return printWarnings(facts, console) ? ExitStatus::incomplete : ExitStatus::success;
}

// The run on one input file, once the command line is read.
ExitStatus runOnFile(const CommandLine& commandLine, const Console& console) {
  RunState state;
  state.inputPath = commandLine.positional[0];
  state.labelName = commandLine.positional[0];
  state.headrows = commandLine.headrows;

  console.messages.flush();  // the banner shows while the open waits, as on a FIFO
  platform::FileHandle inputFile = platform::openForReading(state.inputPath);
  if (!inputFile) {
    return report(console, "error opening file ", state.inputPath, platform::lastOpenError(),
                  ExitStatus::inputError);
  }
  std::vector<PlannedOutput> planned = plannedOutputs(commandLine.options);
  std::vector<AveragesFile> files;
  ReadSettings settings = readSettings();
  settings.missingTexts = commandLine.options.missingTexts;
  InputReader input(ByteSource::ofFile(inputFile.get()), settings);
  if (const StepResult stop = deriveOutputNames(state, planned, console)) {
    return *stop;
  }
  if (const StepResult stop = refuseAliasedOutputs(planned, console)) {
    return *stop;
  }
  if (const StepResult stop = createOutputs(planned, files, console)) {
    return *stop;
  }
  if (const StepResult stop = analyseInput(input, state, commandLine, files, console)) {
    return *stop;
  }
  std::optional<Accumulators> accumulators =
      Accumulators::create(state.valueColumns, commandLine.options.rules.statistic);
  if (!accumulators) {
    console.errors.write("error: not enough memory for ");
    console.errors.writeInt(state.valueColumns);
    console.errors.write(" value columns\n");
    return ExitStatus::outOfMemory;
  }
  if (!input.rewind()) {
    return report(console, "error reading file ", state.inputPath, input.errorNumber(),
                  ExitStatus::inputError);
  }
  RecordLoopState loop{{}, false, std::move(*accumulators)};
  const StepResult status = averageInput(input, state, loop, commandLine, settings, files, console);
  if (status == ExitStatus::success || status == ExitStatus::incomplete) {
    console.messages.write(kDone);
  }
  return *status;
}

}  // namespace

ExitStatus runSkarvel(const std::vector<std::string>& args, std::FILE* consoleFile,
                      std::FILE* diagnosticsFile) {
  const CommandLine commandLine = parseCommandLine(args);
  TextWriter standardOutput = TextWriter::borrowing(consoleFile);
  TextWriter silent = TextWriter::discarding();
  TextWriter diagnostics = TextWriter::borrowing(diagnosticsFile);
  const bool quiet = commandLine.options.quiet;
  const bool silenced =
      quiet && commandLine.action != Action::help && commandLine.action != Action::version;
  const Console console{silenced ? silent : standardOutput, standardOutput, diagnostics};
  console.messages.write(kBanner);

  switch (commandLine.action) {
    case Action::help:
      console.messages.write(kUsage);
      console.messages.write(kOptions);
      return ExitStatus::success;
    case Action::version:
      console.messages.write("skarvel " SKARVEL_VERSION "\n");
      return ExitStatus::success;
    case Action::usageError:
      console.errors.write("error: ");
      console.errors.write(commandLine.error);
      console.errors.put('\n');
      console.errors.write(kUsage);
      return ExitStatus::usage;
    case Action::run:
      break;
  }
  if (commandLine.positional.empty()) {
    console.errors.write(kUsage);
    return ExitStatus::usage;
  }
  return runOnFile(commandLine, console);
}

}  // namespace skarvel
