#include "run_driver.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
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
#include "compressed_input.hpp"
#include "console.hpp"
#include "ensemble.hpp"
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

// The input as it was opened, to tell once it is read whether it changed meanwhile.
struct InputWatch {
  std::FILE* file = nullptr;                  // the open input, not owned
  std::optional<platform::FileState> opened;  // nothing for a pipe or a device
};

// The run's working state: names, the first data row and the counts the analysis fixes.
struct RunState {
  std::string inputPath;   // as given; every message names the input so
  std::string namingPath;  // the name the outputs are named after
  OutputNames names;       // the label name and the note after the column count
  AnalysedLayout layout;
  std::int32_t headrows = -1;  // negative: detect
  InputWatch watch;
  Compression compression = Compression::none;
  InputReport& report;
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

// The byte count a setting gives; nothing when it gives none.
std::optional<std::uint64_t> byteCount(const std::string& given) {
  std::uint64_t bytes = 0;
  if (std::from_chars(given.data(), given.data() + given.size(), bytes).ec != std::errc()) {
    return std::nullopt;
  }
  return bytes;
}

// Takes the state of the input just opened, for confirmInputUnchanged.
ExitStatus watchInput(std::FILE* file, RunState& state, const Console& console) {
  const platform::Observed observed = platform::observeFile(file);
  if (observed.errorNumber != 0) {
    return reportFileFailure(console, "error reading file ", state.inputPath, observed.errorNumber,
                             ExitStatus::inputError);
  }
  state.watch = {file, observed.state};
  return ExitStatus::success;
}

// Refuses what was read from an input that changed while it was read (cut short, appended to,
// rewritten): its rows need not be those of any one version of the file. A pipe is not looked at.
ExitStatus confirmInputUnchanged(const RunState& state, const Console& console) {
  if (!state.watch.opened) {
    return ExitStatus::success;
  }
  const platform::Observed now = platform::observeFile(state.watch.file);
  if (now.errorNumber != 0) {
    return reportFileFailure(console, "error reading file ", state.inputPath, now.errorNumber,
                             ExitStatus::inputError);
  }
  if (now.state != state.watch.opened) {
    return reportFileFailure(console, "error reading file ", state.inputPath, kInputChanged,
                             ExitStatus::inputError);
  }
  return ExitStatus::success;
}

// SKARVEL_TEST_CUT_INPUT_TO, for the tests of an input that changes while it is read: cuts the
// input to that many bytes.
ExitStatus cutInputForTest(const EnvironmentSettings& environment, const RunState& state,
                           const Console& console) {
  const std::optional<std::uint64_t> size = byteCount(environment.cutInputTo);
  if (!size) {
    return ExitStatus::success;
  }
  if (const int error = platform::resizeFile(state.inputPath, *size); error != 0) {
    return reportFileFailure(console, "error writing file ", state.inputPath, error,
                             ExitStatus::inputError);
  }
  return ExitStatus::success;
}

// How the input is read: SKARVEL_TEST_CHUNK_BYTES sets another chunk size, for tests that cut
// small inputs into many chunks; SKARVEL_ROW_SCAN (for tests and benchmarks) another row scan.
ReadSettings readSettings(const EnvironmentSettings& environment, const Options& options) {
  ReadSettings settings =
      readSettingsFrom(environment.chunkBytes.c_str(), environment.rowScan.c_str());
  settings.missingTexts = options.missingTexts;
  return settings;
}

// True when the data rows from byte `start` on fill at least two chunks, so that chunks can be
// read side by side: a file of known size, or a stream whose rest is not all buffered. One chunk
// keeps one worker busy while the reading thread waits: one thread reads it faster.
bool worthChunking(const InputReader& input, std::int64_t start,
                   std::optional<std::uint64_t> plainSize, const ReadSettings& settings) {
  if (input.restBuffered()) {
    return false;
  }
  return !plainSize || *plainSize >= static_cast<std::uint64_t>(start) + 2 * settings.chunkBytes;
}

// The chunks of an input of known size: a sixteenth of it, at least 256 KiB and at most the
// setting, so that an input of a few megabytes still gives each thread several chunks (an 8 MB
// input reads 10% faster so).
ReadSettings chunkSettings(const ReadSettings& settings, std::optional<std::uint64_t> plainSize) {
  constexpr std::uint64_t kSmallestChunk = std::uint64_t{256} << 10;
  ReadSettings chunked = settings;
  if (plainSize) {
    chunked.chunkBytes = static_cast<std::size_t>(
        std::min<std::uint64_t>(settings.chunkBytes, std::max(*plainSize / 16, kSmallestChunk)));
  }
  return chunked;
}

// Reads the data rows: on several threads as far as the input allows, then on this one up to the
// end, where the record loop applies the end-of-input rules. `plainSize`: the size of an input
// read as it is stored, when it is known.
void readDataRows(InputReader& input, RecordLoopState& loop, const Options& options,
                  const ReadSettings& settings, std::optional<std::uint64_t> plainSize,
                  std::span<AveragesFile> files, RunOutputs& outputs) {
  const unsigned threads = readingThreads(options);
  const std::optional<std::int64_t> start = input.plainOffset();
  if (threads > 1 && start && loop.accumulators.columnCount() > 0 &&
      worthChunking(input, *start, plainSize, settings)) {
    std::vector<ChunkOutput> chunkOutputs;
    chunkOutputs.reserve(files.size());
    for (const AveragesFile& file : files) {
      chunkOutputs.push_back({file.kind.period, file.layout});
    }
    const ChunkedEnd begin{*start, input.handBackBuffered()};
    const ChunkedEnd resume = runChunkedLoop(input, begin, loop, options.rules, chunkOutputs,
                                             outputs, threads, chunkSettings(settings, plainSize));
    if (input.failed() || !outputs.healthy()) {
      return;
    }
    input.resumeAt(resume.offset, resume.lineEnds);
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
      return reportReadFailure(console, state.inputPath, *input.readError());
    }
    if (const ExitStatus unchanged = confirmInputUnchanged(state, console);
        unchanged != ExitStatus::success) {
      return unchanged;
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
  state.report.headerRows = state.headrows;
  state.report.columns = layout.valueColumns;
  console.messages.writeInt(layout.valueColumns);
  console.messages.write(" columns ");
  console.messages.write(state.names.columnNote);
  console.messages.put('\n');
  return ExitStatus::success;
}

void recordCounts(InputReport& report, const RunSummary& summary, const RecordLoopState& loop) {
  report.rows = summary.rows;
  report.days = summary.days;
  report.months = summary.months;
  report.years = loop.closes[static_cast<std::size_t>(Period::year)];
  report.valuesAccepted = summary.valuesAccepted;
  report.valuesMissing = summary.valuesMissing;
}

// Header copy, record loop and final rows, then the files closed. Gives the exit status of the
// run: success, incomplete when input rows were not averaged as written, or the failure.
ExitStatus averageInput(InputReader& input, RunState& state, RecordLoopState& loop,
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
                     platform::regularFileSize(state.inputPath), platform::terminalColumns(stderr));
    const auto update = [&] {
      progress->update({input.sourceBytes(), loop.rowsRead,
                        loop.closes[static_cast<std::size_t>(Period::day)],
                        loop.closes[static_cast<std::size_t>(Period::month)]});
    };
    input.onBlock(update);
    outputs.onChunk = update;
  }
  const std::optional<std::uint64_t> plainSize = state.compression == Compression::none
                                                     ? platform::regularFileSize(state.inputPath)
                                                     : std::nullopt;
  readDataRows(input, loop, options, settings, plainSize, files, outputs);
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
    return reportReadFailure(console, state.inputPath, *input.readError());
  }
  if (const ExitStatus unchanged = confirmInputUnchanged(state, console);
      unchanged != ExitStatus::success) {
    return unchanged;
  }
  writeFinalRows(files, loop.accumulators, options.rules.statistic);
  if (const ExitStatus written = putOutputsInPlace(files, console);
      written != ExitStatus::success) {
    return written;
  }
  console.messages.flush();  // standard output before the summary and warnings
  const RunSummary summary = summaryOf(loop, valueColumns);
  if (progress) {
    progress->finish(summary);
  }
  recordCounts(state.report, summary, loop);
  state.report.warnings = warningsFor(facts);
  return printWarnings(state.report.warnings, console) ? ExitStatus::incomplete
                                                       : ExitStatus::success;
}

// Names, checks and starts the outputs of a run, before the input is read.
ExitStatus startOutputs(RunState& state, const InputRequest& request, const Options& options,
                        std::vector<AveragesFile>& files, const Console& console) {
  std::vector<PlannedOutput> planned = plannedOutputs(options.layout, options.yearly);
  ExitStatus status =
      deriveOutputNames(state.inputPath, state.namingPath, planned, state.names, console);
  if (status == ExitStatus::success) {
    for (const PlannedOutput& output : planned) {
      state.report.outputs.push_back(platform::nameInText(output.name));
    }
    status = refuseAliasedOutputs(planned, console);
  }
  if (status == ExitStatus::success && request.claimOutputs) {
    status = request.claimOutputs(planned, console);
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

// The sums of every column; nothing, with the message, when memory cannot hold them.
std::optional<Accumulators> createAccumulators(std::int32_t valueColumns, Statistic statistic,
                                               const Console& console) {
  std::optional<Accumulators> accumulators = Accumulators::create(valueColumns, statistic);
  if (!accumulators) {
    console.errorMessages.write("error: not enough memory for ");
    console.errorMessages.writeInt(valueColumns);
    console.errorMessages.write(" value columns\n");
  }
  return accumulators;
}

// Refuses an input that has no name to name outputs after (standard input, a pipe, a device)
// unless --name gives one.
ExitStatus refuseUnnamedInput(const InputRequest& request, const Console& console) {
  if (!request.name.empty()) {
    return ExitStatus::success;
  }
  std::string what;
  if (request.path == kStandardInput) {
    what = "standard input";
  } else if (const auto kind = platform::unnameableInput(request.path)) {
    what = std::string(*kind) + " " + platform::nameInText(request.path);
  } else {
    return ExitStatus::success;
  }
  console.errorMessages.write("error: reading " + what +
                              " needs --name=NAME to name the outputs\n");
  return ExitStatus::usage;
}

// The bytes of the open input: decoded when its first bytes show a compression.
struct InputStream {
  std::unique_ptr<ByteStream> stream;
  Compression compression = Compression::none;
};

InputStream openStream(std::FILE* file) {
  std::unique_ptr<ByteStream> raw = fileStream(file);
  std::string start(kMagicBytes, '\0');
  std::size_t got = 0;
  for (std::size_t read = 1; got < start.size() && read != 0; got += read) {
    read = raw->read(start.data() + got, start.size() - got);
  }
  start.resize(got);
  const Compression compression = compressionOf(start);
  std::unique_ptr<ByteStream> stream = prefixedStream(std::move(start), std::move(raw));
  if (compression != Compression::none) {
    stream = decompressed(std::move(stream), compression);
  }
  return {std::move(stream), compression};
}

// The name the outputs are named after: --name, or the input's name without the suffix of its
// compression ("flow.dat.gz" names "flow.tat").
std::string namingPathOf(const InputRequest& request, Compression compression) {
  if (!request.name.empty()) {
    return request.name;
  }
  const std::string_view suffix = compressionSuffix(compression);
  if (!suffix.empty() && request.path.size() > suffix.size() && request.path.ends_with(suffix)) {
    return request.path.substr(0, request.path.size() - suffix.size());
  }
  return request.path;
}

// The run on one input, once it is open: outputs started, the input analysed, read and averaged.
ExitStatus runOnStream(InputStream input, RunState& state, const InputRequest& request,
                       const CommandLine& commandLine, const EnvironmentSettings& environment,
                       const Console& console) {
  state.compression = input.compression;
  state.report.compression = compressionName(input.compression);
  if (const std::optional<std::string> missing = missingDecoder(input.compression)) {
    return reportReadFailure(console, state.inputPath, ReadError{0, *missing});
  }
  state.namingPath = namingPathOf(request, input.compression);
  std::vector<AveragesFile> files;
  if (const ExitStatus started = startOutputs(state, request, commandLine.options, files, console);
      started != ExitStatus::success) {
    return started;
  }
  const ReadSettings settings = readSettings(environment, commandLine.options);
  InputReader reader(ByteSource::ofStream(std::move(input.stream)), settings);
  const auto countBytes = [&] { state.report.bytesRead = reader.sourceBytes(); };
  if (const ExitStatus analysed = analyseInput(reader, state, commandLine, files, console);
      analysed != ExitStatus::success) {
    countBytes();
    return analysed;
  }
  std::optional<Accumulators> accumulators =
      createAccumulators(state.layout.valueColumns, commandLine.options.rules.statistic, console);
  if (!accumulators) {
    return ExitStatus::outOfMemory;
  }
  if (const ExitStatus cut = cutInputForTest(environment, state, console);
      cut != ExitStatus::success) {
    return cut;
  }
  // The start again, from the bytes kept of it: the input is read once.
  if (!reader.rewind()) {
    return reportReadFailure(console, state.inputPath, *reader.readError());
  }
  reader.forgetStart();
  RecordLoopState loop{{}, false, std::move(*accumulators)};
  const ExitStatus status =
      averageInput(reader, state, loop, commandLine, settings, files, console);
  countBytes();
  return status;
}

}  // namespace

unsigned readingThreads(const Options& options) {
  constexpr unsigned kDefaultThreads = 4;
  return options.threads != 0 ? options.threads
                              : std::min(platform::processorCount(), kDefaultThreads);
}

ExitStatus runOnInput(const InputRequest& request, const CommandLine& commandLine,
                      const EnvironmentSettings& environment, const Console& console,
                      InputReport& report) {
  const auto started = std::chrono::steady_clock::now();
  RunState state{request.path, {}, {}, {}, commandLine.headrows, {}, Compression::none, report};
  state.names.labelName = request.name.empty() ? request.path : request.name;
  report.input = platform::nameInText(request.path);
  ExitStatus status = refuseUnnamedInput(request, console);
  if (status == ExitStatus::success) {
    console.messages.flush();  // the banner shows while the open waits, as on a FIFO
    platform::Opened opened;
    std::FILE* file = platform::standardInputBytes();
    if (request.path != kStandardInput) {
      opened = platform::openForReading(request.path);
      file = opened.file.get();
    }
    if (file == nullptr) {
      status = reportFileFailure(console, "error opening file ", request.path, opened.errorNumber,
                                 ExitStatus::inputError);
    } else {
      status = watchInput(file, state, console);
      if (status == ExitStatus::success) {
        status = runOnStream(openStream(file), state, request, commandLine, environment, console);
      }
    }
  }
  report.status = status;
  report.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return status;
}

namespace {

// The run on the one input of the command line, with its "fertig.." and its report.
ExitStatus runOnFile(const CommandLine& commandLine, const EnvironmentSettings& environment,
                     const Console& console) {
  const Options& options = commandLine.options;
  InputReport report;
  const ExitStatus status = runOnInput({commandLine.positional[0], options.name, {}}, commandLine,
                                       environment, console, report);
  if (status == ExitStatus::success || status == ExitStatus::incomplete) {
    console.messages.write(kDone);
  }
  if (!options.report.empty()) {
    console.messages.flush();
    if (const int error = writeReportFile(options.report, {report}); error != 0) {
      return reportFileFailure(console, "error writing file ", options.report, error,
                               ExitStatus::outputError);
    }
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
  if (commandLine.options.manyInputs()) {
    return runEnsemble(commandLine, environment, console);
  }
  if (commandLine.positional.empty()) {
    console.errorMessages.write(kUsage);
    return ExitStatus::usage;
  }
  return runOnFile(commandLine, environment, console);
}

}  // namespace skarvel
