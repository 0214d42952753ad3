#include "output_plan.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <utility>

#include "compressed_input.hpp"
#include "output_name.hpp"
#include "platform.hpp"

namespace skarvel {

std::vector<PlannedOutput> plannedOutputs(FileLayout layout, bool yearly) {
  std::vector<PlannedOutput> outputs = {{kDailyFile, {}, layout}, {kMonthlyFile, {}, layout}};
  if (yearly) {
    outputs.push_back({kYearlyFile, {}, layout});
  }
  return outputs;
}

namespace {

ExitStatus deriveNames(const std::string& namingPath, const DenotesInput& denotesInput,
                       std::vector<PlannedOutput>& outputs, OutputNames& names,
                       const Console& console) {
  std::string base = namingPath;  // may gain ".$$$"
  for (PlannedOutput& output : outputs) {
    if (output.layout == FileLayout::classic && names.inputAsOutputName.empty()) {
      std::string unchanged = namingPath;
      const std::string usual = deriveOutputName(output.kind.letter, unchanged).name;
      if (denotesInput(usual)) {
        names.inputAsOutputName = platform::nameInText(usual);
      }
    }
    SafeName derived = output.layout == FileLayout::csv
                           ? deriveCsvOutputName(output.kind.csvSuffix, namingPath, denotesInput)
                           : deriveSafeOutputName(output.kind.letter, base, denotesInput);
    if (derived.outcome == NameOutcome::wouldOverwriteInput) {
      console.errorMessages.write("error: output file ");
      console.errorMessages.write(platform::nameInText(derived.derived.name));
      console.errorMessages.write(" would overwrite the input file\n");
      return ExitStatus::outputError;
    }
    output.name = std::move(derived.derived.name);
    names.columnNote = platform::nameInText(derived.derived.base);
    if (output.layout == FileLayout::csv) {
      // The console shows what it shows for the classic files.
      std::string classicBase = base;
      names.columnNote =
          platform::nameInText(deriveOutputName(kDailyFile.letter, classicBase).base);
    }
  }
  if (names.labelName == namingPath) {
    names.labelName = base;
  }
  return ExitStatus::success;
}

}  // namespace

ExitStatus deriveOutputNames(const std::string& inputPath, const std::string& namingPath,
                             std::vector<PlannedOutput>& outputs, OutputNames& names,
                             const Console& console) {
  return deriveNames(
      namingPath,
      [&](const std::string& candidate) { return platform::sameFile(candidate, inputPath); },
      outputs, names, console);
}

std::vector<std::string> outputNamesByName(const std::string& path, FileLayout layout,
                                           bool yearly) {
  std::string namingPath = path;
  for (const Compression compression :
       {Compression::gzip, Compression::zstd, Compression::xz, Compression::bzip2}) {
    const std::string_view suffix = compressionSuffix(compression);
    if (path.size() > suffix.size() && path.ends_with(suffix)) {
      namingPath.resize(path.size() - suffix.size());
    }
  }
  std::vector<PlannedOutput> outputs = plannedOutputs(layout, yearly);
  OutputNames names;
  TextWriter silent = TextWriter::discarding();
  const Console console{silent, silent, silent};
  std::vector<std::string> claimed;
  if (deriveNames(
          namingPath, [&](const std::string& candidate) { return candidate == path; }, outputs,
          names, console) == ExitStatus::success) {
    for (PlannedOutput& output : outputs) {
      claimed.push_back(std::move(output.name));
    }
  }
  return claimed;
}

ExitStatus refuseAliasedOutputs(const std::vector<PlannedOutput>& outputs, const Console& console) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (platform::sameTarget(outputs[i].name, outputs[j].name)) {
        console.errorMessages.write("error: output files ");
        console.errorMessages.write(platform::nameInText(outputs[i].name));
        console.errorMessages.write(" and ");
        console.errorMessages.write(platform::nameInText(outputs[j].name));
        console.errorMessages.write(" are the same file\n");
        return ExitStatus::outputError;
      }
    }
  }
  return ExitStatus::success;
}

std::string inputIdentity(std::string_view labelName) {
  const auto separator =
      std::find_if(labelName.rbegin(), labelName.rend(), platform::isPathSeparator);
  std::string_view name = labelName.substr(static_cast<std::size_t>(labelName.rend() - separator));
  constexpr std::string_view kDroppedSuffixes[] = {".$$$", ".gz", ".zst", ".xz", ".bz2"};
  for (bool dropped = true; dropped;) {
    dropped = false;
    for (const std::string_view suffix : kDroppedSuffixes) {
      if (name.size() > suffix.size() && name.ends_with(suffix)) {
        name.remove_suffix(suffix.size());
        dropped = true;
      }
    }
  }
  return std::string(name);
}

namespace {

// The first bytes of an existing file; empty when it cannot be read.
std::string startOf(const std::string& name) {
  constexpr std::size_t kLabelBytes = 8192;  // a label, a long input name and "_:_"
  std::string start(kLabelBytes, '\0');
  const platform::FileHandle file = platform::openForReading(name).file;
  const std::size_t got = file ? std::fread(start.data(), 1, start.size(), file.get()) : 0;
  start.resize(got);
  return start;
}

// The input an existing output's label line names, when it names another input than
// `labelName`; nothing otherwise. A name may hold "_:_" itself, so each place where the label's
// separator could end the name is tried.
std::optional<std::string> otherLabelledInput(const std::string& output, std::string_view label,
                                              std::string_view labelName) {
  const std::string start = startOf(output);
  if (!start.starts_with(label)) {
    return std::nullopt;
  }
  const std::string_view line = std::string_view(start).substr(0, start.find('\n'));
  const std::string identity = inputIdentity(labelName);
  std::optional<std::string> other;
  for (std::size_t end = line.find(kLabelSeparator, label.size()); end != std::string_view::npos;
       end = line.find(kLabelSeparator, end + 1)) {
    const std::string_view named = line.substr(label.size(), end - label.size());
    if (inputIdentity(named) == identity) {
      return std::nullopt;
    }
    if (!other) {
      other = std::string(named);
    }
  }
  return other;
}

}  // namespace

ExitStatus refuseOutputsOfOtherInputs(const std::vector<PlannedOutput>& outputs,
                                      std::string_view labelName, const Console& console) {
  for (const PlannedOutput& output : outputs) {
    if (output.layout != FileLayout::classic) {
      continue;
    }
    if (const std::optional<std::string> other =
            otherLabelledInput(output.name, output.kind.label, labelName)) {
      console.errorMessages.write("error: ");
      console.errorMessages.write(platform::nameInText(output.name));
      console.errorMessages.write(" holds the results of ");
      console.errorMessages.write(*other);
      console.errorMessages.write(", not of ");
      console.errorMessages.write(labelName);
      console.errorMessages.put('\n');
      return ExitStatus::outputError;
    }
  }
  return ExitStatus::success;
}

ExitStatus createOutputs(std::vector<PlannedOutput>& planned, std::vector<AveragesFile>& files,
                         const Console& console) {
  files.reserve(planned.size());
  for (PlannedOutput& output : planned) {
    // Comma-separated files end their lines in LF on every platform.
    platform::AtomicOutput atomic =
        platform::AtomicOutput::create(output.name, output.layout == FileLayout::classic);
    if (!atomic.isOpen()) {
      return reportFileFailure(console, "error creating file ", output.name, atomic.errorNumber(),
                               ExitStatus::outputError);
    }
    std::FILE* file = atomic.file();
    files.push_back({output.kind, std::move(output.name), std::move(atomic),
                     TextWriter::borrowing(file), output.layout});
  }
  return ExitStatus::success;
}

namespace {

// Why the lock of a run's outputs could not be taken, reported as a failure to write `name`, the
// output it was taken for.
ExitStatus reportLockFailure(const Console& console, const std::string& name,
                             const platform::OutputSetLock& lock) {
  if (lock.errorNumber() != EBUSY) {
    return reportFileFailure(console, "error writing file ", name, lock.errorNumber(),
                             ExitStatus::outputError);
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(platform::OutputSetLock::kPatience);
  const std::string reason = "another run held " + platform::nameInText(lock.name()) + " for " +
                             std::to_string(seconds.count()) + " s";
  return reportFileFailure(console, "error writing file ", name, reason, ExitStatus::outputError);
}

}  // namespace

ExitStatus putOutputsInPlace(std::vector<AveragesFile>& files, const Console& console) {
  for (AveragesFile& file : files) {
    const bool written = file.writer.close();
    const int writeError = file.writer.errorNumber();
    if ((file.output && !file.output->finish()) || !written) {
      return reportFileFailure(console, "error writing file ", file.name,
                               written ? file.output->errorNumber() : writeError,
                               ExitStatus::outputError);
    }
  }
  // The renames of one run are one step for every other run: a run on the same outputs puts its
  // files in place before or after them, never in between.
  const auto renamed = std::find_if(files.begin(), files.end(), [](const AveragesFile& file) {
    return file.output && file.output->replacesOnCommit();
  });
  if (renamed == files.end()) {
    return ExitStatus::success;  // every output was written in place
  }
  const platform::OutputSetLock lock = platform::OutputSetLock::take(renamed->name);
  if (!lock.isHeld()) {
    return reportLockFailure(console, renamed->name, lock);
  }
  for (AveragesFile& file : files) {
    if (file.output && !file.output->commit()) {
      return reportFileFailure(console, "error writing file ", file.name,
                               file.output->errorNumber(), ExitStatus::outputError);
    }
  }
  return ExitStatus::success;
}

}  // namespace skarvel
