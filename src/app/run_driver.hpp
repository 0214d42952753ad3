// The run driver: the order of the phases of one run, its console messages and its exit status.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.hpp"
#include "console.hpp"
#include "exit_status.hpp"
#include "output_plan.hpp"
#include "report_file.hpp"

namespace skarvel {

// What the environment sets, read once at the start of the process. All are meant for tests
// and benchmarks; empty when unset.
struct EnvironmentSettings {
  std::string chunkBytes;  // SKARVEL_TEST_CHUNK_BYTES: the chunk size of the threaded reading
  std::string rowScan;     // SKARVEL_ROW_SCAN: the row scan kind, "scalar" or "avx2"
  // SKARVEL_TEST_CUT_INPUT_TO: a byte count the input is cut to once its head is analysed,
  // before its data rows are read, as another program could cut it while the tool reads it.
  std::string cutInputTo;
};

// The input name that reads standard input.
inline constexpr std::string_view kStandardInput = "-";

// One input of a run.
struct InputRequest {
  std::string path;  // as given; kStandardInput for standard input
  std::string name;  // --name: what the outputs are named and labelled after; empty: the path
  // Called once the output names are derived, before any is created: ExitStatus::success lets
  // the run go on (by default it does).
  std::function<ExitStatus(const std::vector<PlannedOutput>&, const Console&)> claimOutputs;
};

// The threads a run reads with (for many inputs, the budget they share): as --threads gives,
// else one per processor, at most 4.
unsigned readingThreads(const Options& options);

// The run on one input, with the options of `commandLine`: its messages on `console`, what it
// gave in `report`. Gives its exit status.
ExitStatus runOnInput(const InputRequest& request, const CommandLine& commandLine,
                      const EnvironmentSettings& environment, const Console& console,
                      InputReport& report);

// Runs the tool on the argument vector (program name first), writing console text to `console`
// and the reasons of errors, warnings and progress to `diagnostics`.
ExitStatus runSkarvel(const std::vector<std::string>& args, const EnvironmentSettings& environment,
                      std::FILE* console, std::FILE* diagnostics);

}  // namespace skarvel
