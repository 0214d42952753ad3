#include "output_plan.hpp"

#include <utility>

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

ExitStatus deriveOutputNames(const std::string& inputPath, std::vector<PlannedOutput>& outputs,
                             OutputNames& names, const Console& console) {
  const DenotesInput denotesInput = [&](const std::string& candidate) {
    return platform::sameFile(candidate, inputPath);
  };
  for (PlannedOutput& output : outputs) {
    SafeName derived =
        output.layout == FileLayout::csv
            ? deriveCsvOutputName(output.kind.csvSuffix, inputPath, denotesInput)
            : deriveSafeOutputName(output.kind.letter, names.labelName, denotesInput);
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
      std::string labelName = names.labelName;
      names.columnNote = platform::nameInText(deriveOutputName(kDailyFile.letter, labelName).base);
    }
  }
  return ExitStatus::success;
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

ExitStatus createOutputs(std::vector<PlannedOutput>& planned, std::vector<AveragesFile>& files,
                         const Console& console) {
  files.reserve(planned.size());
  for (PlannedOutput& output : planned) {
    // Comma-separated files end their lines in LF on every platform.
    platform::AtomicOutput atomic =
        platform::AtomicOutput::create(output.name, output.layout == FileLayout::classic);
    if (!atomic.isOpen()) {
      return reportFileFailure(console, "error creating file ", output.name,
                               platform::lastOpenError(), ExitStatus::outputError);
    }
    std::FILE* file = atomic.file();
    files.push_back({output.kind, std::move(output.name), std::move(atomic),
                     TextWriter::borrowing(file), output.layout});
  }
  return ExitStatus::success;
}

ExitStatus putOutputsInPlace(std::vector<AveragesFile>& files, const Console& console) {
  for (AveragesFile& file : files) {
    const bool written = file.writer.close();
    const int writeError = file.writer.errorNumber();
    if ((file.output && !file.output->finish()) || !written) {
      return reportFileFailure(console, "error writing file ", file.name,
                               written ? platform::lastOpenError() : writeError,
                               ExitStatus::outputError);
    }
  }
  for (AveragesFile& file : files) {
    if (file.output && !file.output->commit()) {
      return reportFileFailure(console, "error writing file ", file.name, platform::lastOpenError(),
                               ExitStatus::outputError);
    }
  }
  return ExitStatus::success;
}

}  // namespace skarvel
