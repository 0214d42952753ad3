#include "ensemble.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "platform.hpp"
#include "progress.hpp"
#include "text_writer.hpp"

namespace skarvel {

namespace {

// An input at least this large is read in chunks on the whole thread budget; smaller ones are
// read one per thread.
constexpr std::uint64_t kLargeInput = std::uint64_t{64} << 20;

int severity(ExitStatus status) {
  switch (status) {
    case ExitStatus::outputError:
      return 4;
    case ExitStatus::inputError:
      return 3;
    case ExitStatus::usage:
      return 2;
    case ExitStatus::incomplete:
      return 1;
    case ExitStatus::success:
      break;
  }
  return 0;
}

// The names of the inputs: the arguments, then the lines of the list. False, with the message,
// when the list cannot be read.
bool gatherInputs(const CommandLine& commandLine, std::vector<std::string>& inputs,
                  const Console& console) {
  inputs = commandLine.positional;
  const std::string& list = commandLine.options.filesFrom;
  if (list.empty()) {
    return true;
  }
  platform::Opened opened;
  std::FILE* file = platform::standardInputBytes();
  if (list != kStandardInput) {
    opened = platform::openForReading(list);
    file = opened.file.get();
  }
  if (file == nullptr) {
    reportFileFailure(console, "error opening file ", list, opened.errorNumber,
                      ExitStatus::inputError);
    return false;
  }
  std::string line;
  for (int c = 0; (c = std::fgetc(file)) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    if (!line.empty()) {
      inputs.push_back(std::move(line));
    }
    line.clear();
  }
  if (std::ferror(file) != 0) {
    reportFileFailure(console, "error reading file ", list, errno, ExitStatus::inputError);
    return false;
  }
  if (!line.empty()) {
    inputs.push_back(std::move(line));
  }
  return true;
}

// Threads handed out to the inputs in the order given: an input waits for its turn and for the
// threads it needs, so a large input is never passed over by small ones.
class ThreadBudget {
 public:
  explicit ThreadBudget(unsigned threads) : free_(threads) {}

  void take(std::size_t input, unsigned threads) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return turn_ == input && free_ >= threads; });
    free_ -= threads;
    ++turn_;
    changed_.notify_all();
  }
  void give(unsigned threads) {
    const std::lock_guard lock(mutex_);
    free_ += threads;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned free_;
  std::size_t turn_ = 0;
};

// The output names claimed by the inputs, in the order given: a later input whose outputs an
// earlier one writes is refused, whatever order their runs reach here in.
class OutputClaims {
 public:
  // The outputs `names` of an input before the first one run, claimed before any run. Such a
  // name is compared with a claim only when its file name is the claim's (a key without
  // letter case), so that the inputs before a shard cost no look-up on the file system.
  void claimBefore(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      before_.emplace(fileKeyOf(name), name);
    }
  }
  // Called once per input, in any order, each with its outputs, or with none when the run ended
  // before it named them. False when an earlier input claimed one of them.
  bool claim(std::size_t input, const std::vector<PlannedOutput>& outputs) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return turn_ == input; });
    ++turn_;
    changed_.notify_all();
    const bool free = std::none_of(outputs.begin(), outputs.end(), [&](const PlannedOutput& o) {
      const std::string key = keyOf(o.name);
      const auto [first, last] = before_.equal_range(fileKeyOf(o.name));
      return claimed_.contains(key) || std::any_of(first, last, [&](const auto& earlier) {
               return keyOf(earlier.second) == key;
             });
    });
    if (free) {
      for (const PlannedOutput& output : outputs) {
        claimed_.insert(keyOf(output.name));
      }
    }
    return free;
  }

 private:
  static std::string keyOf(const std::string& name) { return platform::comparableName(name); }
  static std::string fileKeyOf(const std::string& name) {
    const auto separator = std::find_if(name.rbegin(), name.rend(), platform::isPathSeparator);
    std::string key(separator.base(), name.end());
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t turn_ = 0;
  std::set<std::string> claimed_;
  std::multimap<std::string, std::string> before_;  // file key, name
};

// One input's run and what it left for the console.
struct InputResult {
  InputReport report;
  ExitStatus status = ExitStatus::success;
  TextWriter errorMessages = TextWriter::collecting();
  TextWriter diagnostics = TextWriter::collecting();
  bool done = false;
};

// The console line of an input: its counts, or its error message on one line.
std::string inputLine(const InputResult& result) {
  const InputReport& report = result.report;
  if (result.status == ExitStatus::success || result.status == ExitStatus::incomplete) {
    return report.input + ": " + std::to_string(report.columns) + " columns, " +
           std::to_string(report.days) + " days, " + std::to_string(report.months) + " months";
  }
  return report.input + ": " + report.error;
}

// The text of the error messages on one line.
std::string oneLine(std::string_view text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n') {
      if (!line.empty() && !line.ends_with(' ')) {
        line.push_back(' ');
      }
    } else {
      line.push_back(c);
    }
  }
  while (line.ends_with(' ')) {
    line.pop_back();
  }
  return line;
}

// Writes an input's standard-error lines, each naming the input: "skarvel: NAME: ...".
void writeDiagnostics(const InputResult& result, const Console& console) {
  constexpr std::string_view kPrefix = "skarvel: ";
  std::string_view text = result.diagnostics.collected();
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.starts_with(kPrefix)) {
      line.remove_prefix(kPrefix.size());
    }
    console.standardError.write(kPrefix);
    console.standardError.write(result.report.input);
    console.standardError.write(": ");
    console.standardError.write(line);
    console.standardError.put('\n');
  }
}

// The whole run's --progress line: inputs done, bytes, rate and time left.
class EnsembleProgress {
 public:
  EnsembleProgress(std::size_t inputs, std::uint64_t totalBytes)
      : inputs_(inputs),
        totalBytes_(totalBytes),
        terminal_(platform::isTerminal(stderr)),
        columns_(platform::terminalColumns(stderr)) {}

  void inputDone(std::uint64_t bytes, bool failed) {
    ++done_;
    failed_ += failed ? 1 : 0;
    bytes_ += bytes;
    if (terminal_) {
      const std::string text = ProgressLine::fitted(statusText(), columns_);
      std::fprintf(stderr, "\r%s\033[K", text.c_str());
      std::fflush(stderr);
    }
  }
  void finish() const {
    std::fprintf(stderr, "%s%zu inputs, %zu failed, %.1f MB in %.1f s\n",
                 terminal_ ? "\r\033[K" : "", done_, failed_, static_cast<double>(bytes_) / 1e6,
                 seconds());
  }

 private:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  std::string statusText() const {
    const double rate = static_cast<double>(bytes_) / 1e6 / std::max(seconds(), 1e-3);
    char text[160];
    std::snprintf(text, sizeof text, "%zu/%zu inputs, %.1f MB, %.1f MB/s", done_, inputs_,
                  static_cast<double>(bytes_) / 1e6, rate);
    std::string status = text;
    if (totalBytes_ > bytes_ && rate > 0.0) {
      const auto left =
          static_cast<long long>(static_cast<double>(totalBytes_ - bytes_) / 1e6 / rate);
      std::snprintf(text, sizeof text, ", %lld:%02lld left", left / 60, left % 60);
      status += text;
    }
    return status;
  }

  std::size_t inputs_;
  std::uint64_t totalBytes_;
  bool terminal_;
  std::optional<std::size_t> columns_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::uint64_t bytes_ = 0;
};

// Runs input `index` alone, as a run on it would, on the threads the budget gives it.
void runInput(std::size_t index, const std::string& path, const CommandLine& commandLine,
              const EnvironmentSettings& environment, ThreadBudget& budget, OutputClaims& claims,
              InputResult& result) {
  const unsigned budgetThreads = readingThreads(commandLine.options);
  const unsigned threads =
      platform::regularFileSize(path).value_or(0) >= kLargeInput ? budgetThreads : 1;
  budget.take(index, threads);
  CommandLine own = commandLine;
  own.options.threads = threads;
  TextWriter silent = TextWriter::discarding();
  const Console console{silent, result.errorMessages, result.diagnostics};
  bool claimed = false;
  InputRequest request{path, {}, [&](const std::vector<PlannedOutput>& outputs, const Console& c) {
                         claimed = true;
                         if (claims.claim(index, outputs)) {
                           return ExitStatus::success;
                         }
                         c.errorMessages.write("error: the outputs of " +
                                               platform::nameInText(path) +
                                               " are those of an input before it\n");
                         return ExitStatus::outputError;
                       }};
  result.status = runOnInput(request, own, environment, console, result.report);
  if (!claimed) {
    claims.claim(index, {});  // its turn passes
  }
  budget.give(threads);
  result.errorMessages.flush();
  result.report.error = oneLine(result.errorMessages.collected());
}

}  // namespace

ExitStatus worseStatus(ExitStatus a, ExitStatus b) {
  return severity(a) >= severity(b) ? a : b;
}

ExitStatus runEnsemble(const CommandLine& commandLine, const EnvironmentSettings& environment,
                       const Console& console) {
  std::vector<std::string> inputs;
  if (!gatherInputs(commandLine, inputs, console)) {
    return ExitStatus::inputError;
  }
  if (inputs.empty()) {
    console.errorMessages.write("error: --each and --files-from name no input\n");
    return ExitStatus::usage;
  }
  const Options& options = commandLine.options;
  OutputClaims claims;
  if (options.shard) {
    // The inputs before the shard claim their outputs as a run over the whole list would
    // before it reaches the shard.
    const auto [first, last] = options.shard->range(inputs.size());
    for (std::size_t i = 0; i < first; ++i) {
      claims.claimBefore(outputNamesByName(inputs[i], options.layout, options.yearly));
    }
    inputs.erase(inputs.begin() + static_cast<std::ptrdiff_t>(last), inputs.end());
    inputs.erase(inputs.begin(), inputs.begin() + static_cast<std::ptrdiff_t>(first));
  }
  std::vector<InputResult> results(inputs.size());
  ThreadBudget budget(readingThreads(options));
  std::mutex mutex;
  std::condition_variable finished;
  std::size_t next = 0;
  const auto work = [&] {
    for (;;) {
      std::size_t index = 0;
      {
        const std::lock_guard lock(mutex);
        if (next == inputs.size()) {
          return;
        }
        index = next++;
      }
      runInput(index, inputs[index], commandLine, environment, budget, claims, results[index]);
      const std::lock_guard lock(mutex);
      results[index].done = true;
      finished.notify_all();
    }
  };
  std::uint64_t totalBytes = 0;
  for (const std::string& input : inputs) {
    totalBytes += platform::regularFileSize(input).value_or(0);
  }
  std::optional<EnsembleProgress> progress;
  if (options.progress) {
    console.messages.flush();
    progress.emplace(inputs.size(), totalBytes);
  }
  std::vector<std::thread> workers;
  const std::size_t workerCount = std::min<std::size_t>(readingThreads(options), inputs.size());
  for (std::size_t i = 0; i < workerCount; ++i) {
    workers.emplace_back(work);
  }
  ExitStatus worst = ExitStatus::success;
  for (InputResult& result : results) {
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return result.done; });
    }
    const bool ran =
        result.status == ExitStatus::success || result.status == ExitStatus::incomplete;
    (ran ? console.messages : console.errorMessages).write(inputLine(result) + "\n");
    (ran ? console.messages : console.errorMessages).flush();
    writeDiagnostics(result, console);
    console.standardError.flush();
    if (progress) {
      progress->inputDone(result.report.bytesRead, !ran);
    }
    worst = worseStatus(worst, result.status);
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  if (progress) {
    progress->finish();
  }
  if (!options.report.empty()) {
    std::vector<InputReport> reports;
    reports.reserve(results.size());
    for (InputResult& result : results) {
      reports.push_back(std::move(result.report));
    }
    if (const int error = writeReportFile(options.report, reports); error != 0) {
      return worseStatus(worst, reportFileFailure(console, "error writing file ", options.report,
                                                  error, ExitStatus::outputError));
    }
  }
  return worst;
}

}  // namespace skarvel
