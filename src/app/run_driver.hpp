// The run driver: the order of the phases of one run, its console messages and its exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "exit_status.hpp"

namespace skarvel {

// What the environment sets, read once at the start of the process. All are meant for tests
// and benchmarks; empty when unset.
struct EnvironmentSettings {
  std::string chunkBytes;  // SKARVEL_TEST_CHUNK_BYTES: the chunk size of the threaded reading
  std::string rowScan;     // SKARVEL_ROW_SCAN: "scalar" or "avx2", how plain rows are read
  // SKARVEL_TEST_CUT_INPUT_TO: a byte count the input is cut to once its head is analysed,
  // before its data rows are read, as another program could cut it while the tool reads it.
  std::string cutInputTo;
};

// Runs the tool on the argument vector (program name first), writing console text to `console`
// and the reasons of errors, warnings and progress to `diagnostics`.
ExitStatus runSkarvel(const std::vector<std::string>& args, const EnvironmentSettings& environment,
                      std::FILE* console, std::FILE* diagnostics);

}  // namespace skarvel
