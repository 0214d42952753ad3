#include "run_driver.hpp"

#include <algorithm>
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
#include "console.hpp"
#include "input_reader.hpp"
#include "output_plan.hpp"
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

// The run's working state: names, the first data row and the counts the analysis fixes.
struct RunState {
  std::string inputPath;  // as given; every message names the input so
  OutputNames names;      // the label name and the note after the column count
  AnalysedLayout layout;
  std::int32_t headrows = -1;  // negative: detect
};

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

// How the input is read: SKARVEL_TEST_CHUNK_BYTES sets another chunk size, for tests that cut
// small inputs into many chunks; SKARVEL_ROW_SCAN (for tests and benchmarks) another row scan.
ReadSettings readSettings(const EnvironmentSettings& environment, const Options& options) {
  ReadSettings settings =
      readSettingsFrom(environment.chunkBytes.c_str(), environment.rowScan.c_str());
  settings.missingTexts = options.missingTexts;
  return settings;
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

// Finds the header rows and the value columns and reports them. Without a data row, the empty
// outputs are the result and are put in place.
ExitStatus analyseInput(InputReader& input, RunState& state, const CommandLine& commandLine,
                        std::vector<AveragesFile>& files, const Console& console) {
  AnalysedLayout& layout = state.layout;
  if (!scanHeader(input, state.headrows, layout.firstDataRow, layout.firstDataRowLine)) {
    if (input.failed()) {
      return reportFileFailure(console, "error reading file ", state.inputPath, input.errorNumber(),
                               ExitStatus::inputError);
    }
    console.errorMessages.write(kNoDataRow);
    const ExitStatus written = putOutputsInPlace(files, console);
    return written != ExitStatus::success ? written : ExitStatus::noDataRow;
  }
  if (state.headrows == 0) {
    console.messages.write("0 Kopfzeilen..\n\n");
  }
  layout.columnsDetected = !commandLine.valueColumns;
  layout.valueColumns = commandLine.valueColumns
                            ? *commandLine.valueColumns
                            : countColumns(layout.firstDataRow, state.names.columnNote,
                                           commandLine.options.missingTexts);
  console.messages.writeInt(layout.valueColumns);
  console.messages.write(" columns ");
  console.messages.write(state.names.columnNote);
  console.messages.put('\n');
  return ExitStatus::success;
}

// Header copy, record loop and final rows, then the files closed. Gives the exit status of the
// run: success, incomplete when input rows were not averaged as written, or the failure.
ExitStatus averageInput(InputReader& input, const RunState& state, RecordLoopState& loop,
                        const CommandLine& commandLine, const ReadSettings& settings,
                        std::vector<AveragesFile>& files, const Console& console) {
  const Options& options = commandLine.options;
  const std::int32_t valueColumns = state.layout.valueColumns;
  const HeaderCopy header =
      copyHeaders(input, state.headrows, platform::nameInText(state.names.labelName), files,
                  state.layout.firstDataRowLine);
  for (AveragesFile& file : files) {
    if (file.layout == FileLayout::csv) {
      writeCsvHeader(file.writer, csvColumnNames(header.lastLine, valueColumns));
    }
  }
  TextWriter noMarks = TextWriter::discarding();
  RunOutputs outputs(files, options.progress ? noMarks : console.messages, options.rules);
  std::optional<ProgressLine> progress;
  if (options.progress) {
    console.messages.flush();  // the counts before the status line
    console.standardError.flush();
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
  RunFacts facts =
      collectRunFacts(input, loop, state.layout, options.rules.closeHour, commandLine.ignored);
  facts.headerRowsGiven = commandLine.headrows;
  facts.headerDataRows = header.dataRows;
  facts.inputAsOutputName = state.names.inputAsOutputName;
  facts.labelName = platform::nameInText(state.names.labelName);
  for (const AveragesFile& file : files) {
    facts.outputNames.push_back(platform::nameInText(file.name));
  }
  if (input.failed()) {
    return reportFileFailure(console, "error reading file ", state.inputPath, input.errorNumber(),
                             ExitStatus::inputError);
  }
  writeFinalRows(files, loop.accumulators, options.rules.statistic);
  if (const ExitStatus written = putOutputsInPlace(files, console);
      written != ExitStatus::success) {
    return written;
  }
  console.messages.flush();  // standard output before the summary and warnings
  if (progress) {
    progress->finish(summaryOf(loop, valueColumns));
  }
  return printWarnings(warningsFor(facts), console) ? ExitStatus::incomplete : ExitStatus::success;
}

// Names, checks and starts the outputs of a run, before the input is read.
ExitStatus startOutputs(RunState& state, const Options& options, std::vector<AveragesFile>& files,
                        const Console& console) {
  std::vector<PlannedOutput> planned = plannedOutputs(options.layout, options.yearly);
  ExitStatus status = deriveOutputNames(state.inputPath, planned, state.names, console);
  if (status == ExitStatus::success) {
    status = refuseAliasedOutputs(planned, console);
  }
  if (status == ExitStatus::success) {
    status =
        refuseOutputsOfOtherInputs(planned, platform::nameInText(state.names.labelName), console);
  }
  if (status == ExitStatus::success) {
    status = createOutputs(planned, files, console);
  }
  return status;
}

// The run on one input file, once the command line is read.
ExitStatus runOnFile(const CommandLine& commandLine, const EnvironmentSettings& environment,
                     const Console& console) {
  RunState state;
  state.inputPath = commandLine.positional[0];
  state.names.labelName = commandLine.positional[0];
  state.headrows = commandLine.headrows;

  console.messages.flush();  // the banner shows while the open waits, as on a FIFO
  auto [inputFile, openError] = platform::openForReading(state.inputPath);
  if (!inputFile) {
    return reportFileFailure(console, "error opening file ", state.inputPath, openError,
                             ExitStatus::inputError);
  }
  std::vector<AveragesFile> files;
  if (const ExitStatus started = startOutputs(state, commandLine.options, files, console);
      started != ExitStatus::success) {
    return started;
  }
  const ReadSettings settings = readSettings(environment, commandLine.options);
  InputReader input(ByteSource::ofFile(inputFile.get()), settings);
  if (const ExitStatus analysed = analyseInput(input, state, commandLine, files, console);
      analysed != ExitStatus::success) {
    return analysed;
  }
  std::optional<Accumulators> accumulators =
      Accumulators::create(state.layout.valueColumns, commandLine.options.rules.statistic);
  if (!accumulators) {
    console.errorMessages.write("error: not enough memory for ");
    console.errorMessages.writeInt(state.layout.valueColumns);
    console.errorMessages.write(" value columns\n");
    return ExitStatus::outOfMemory;
  }
  if (!input.rewind()) {
    return reportFileFailure(console, "error reading file ", state.inputPath, input.errorNumber(),
                             ExitStatus::inputError);
  }
  RecordLoopState loop{{}, false, std::move(*accumulators)};
  const ExitStatus status = averageInput(input, state, loop, commandLine, settings, files, console);
  if (status == ExitStatus::success || status == ExitStatus::incomplete) {
    console.messages.write(kDone);
  }
  return status;
}

}  // namespace

ExitStatus runSkarvel(const std::vector<std::string>& args, const EnvironmentSettings& environment,
                      std::FILE* consoleFile, std::FILE* diagnosticsFile) {
  const CommandLine commandLine = parseCommandLine(args);
  TextWriter standardOutput = TextWriter::borrowing(consoleFile);
  TextWriter silent = TextWriter::discarding();
  TextWriter standardError = TextWriter::borrowing(diagnosticsFile);
  const bool quiet = commandLine.options.quiet;
  const bool silenced =
      quiet && commandLine.action != Action::help && commandLine.action != Action::version;
  const Console console{silenced ? silent : standardOutput, standardOutput, standardError};
  console.messages.write(kBanner);

  switch (commandLine.action) {
    case Action::help:
      console.messages.write(kUsage);
      console.messages.write(optionsHelp());
      return ExitStatus::success;
    case Action::version:
      console.messages.write("skarvel " SKARVEL_VERSION "\n");
      return ExitStatus::success;
    case Action::usageError:
      console.errorMessages.write("error: ");
      console.errorMessages.write(commandLine.error);
      console.errorMessages.put('\n');
      console.errorMessages.write(kUsage);
      return ExitStatus::usage;
    case Action::run:
      break;
  }
  if (commandLine.positional.empty()) {
    console.errorMessages.write(kUsage);
    return ExitStatus::usage;
  }
  return runOnFile(commandLine, environment, console);
}

}  // namespace skarvel
