// The outputs of a run: which files it writes, under which names, and the rules that keep them
// safe. Every name is derived and checked before any file is created, so a refusal truncates
// nothing; every file is written under a temporary name and put in place only when all of them
// are complete.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "averages_file.hpp"
#include "console.hpp"
#include "exit_status.hpp"

namespace skarvel {

// An output whose name is derived but whose file is not created yet.
struct PlannedOutput {
  AveragesKind kind;
  std::string name;
  FileLayout layout;
};

// The outputs a run writes, in order: daily, monthly and, when asked for, yearly; names empty.
std::vector<PlannedOutput> plannedOutputs(FileLayout layout, bool yearly);

// The names a run derives from its input.
struct OutputNames {
  std::string labelName;          // the input name in the header labels; may have gained ".$$$"
  std::string columnNote;         // shown after a given column count: the base name
  std::string inputAsOutputName;  // a usual output name that is the input: ".$$$" was appended
};

// Derives every output's name from `namingPath` (the input's name, or what stands for it), in
// order; names.labelName is set, and gains ".$$$" with the names when it is that name. An output
// that would be the input `inputPath` is refused: its message on the console,
// ExitStatus::outputError.
ExitStatus deriveOutputNames(const std::string& inputPath, const std::string& namingPath,
                             std::vector<PlannedOutput>& outputs, OutputNames& names,
                             const Console& console);

// The output names a run on `path` derives, from the name alone, without opening anything: the
// name without the suffix of a compression it ends in (".gz", ...) names them, and an output
// name is the input only when it is the same text. Empty when the run would refuse them.
std::vector<std::string> outputNamesByName(const std::string& path, FileLayout layout, bool yearly);

// Refuses outputs that would write one file, by name or through links.
ExitStatus refuseAliasedOutputs(const std::vector<PlannedOutput>& outputs, const Console& console);

// The name that makes two label names one input: the last path component, without a ".$$$"
// the name derivation appended and without a compression suffix (".gz", ".zst", ".xz",
// ".bz2"). A rerun from another folder and "flow.dat.gz" after "flow.dat" are one input.
std::string inputIdentity(std::string_view labelName);

// Refuses to replace an existing classic output whose label line names another input than
// `labelName` (the name this run's labels carry), so that two inputs whose outputs share a
// name never silently replace each other's results. An output without a readable label is
// replaced as before.
ExitStatus refuseOutputsOfOtherInputs(const std::vector<PlannedOutput>& outputs,
                                      std::string_view labelName, const Console& console);

// Starts the outputs in order, each under a temporary name; when one cannot be created, the
// ones started before it are removed with `files`, and no output name changes.
ExitStatus createOutputs(std::vector<PlannedOutput>& planned, std::vector<AveragesFile>& files,
                         const Console& console);

// Closes every output with its data on the disk, then puts each in place of its name, holding
// the lock of the set (platform::OutputSetLock) across the renames. Until the last is closed and
// the lock is taken, a failure leaves every name as it was.
ExitStatus putOutputsInPlace(std::vector<AveragesFile>& files, const Console& console);

}  // namespace skarvel
