// How a run reads its input: the settings the reader, the record loop and the chunked loop are
// given by their caller.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "row_scan.hpp"

namespace skarvel {

inline constexpr std::size_t kDefaultBlockBytes = std::size_t{1} << 20;
inline constexpr std::size_t kDefaultChunkBytes = std::size_t{1} << 20;

struct ReadSettings {
  // How plain rows are read.
  RowScanKind rowScan = bestRowScanKind();
  // The usual size of a chunk of the threaded reading; a chunk holds the input up to its last
  // closing row.
  std::size_t chunkBytes = kDefaultChunkBytes;
  // The size of the blocks the reader takes from its source (it grows for a longer token).
  std::size_t blockBytes = kDefaultBlockBytes;
  // The texts that mark a missing value in place of a number (such as "NA"). Looked at only
  // where a conversion fails.
  std::vector<std::string> missingTexts;
};

// The settings that two texts of the environment give; either may be null. `chunkBytesText`, a
// positive decimal number, is the chunk size (for tests that cut small inputs into many chunks);
// `rowScanText` names a row scan kind that this build and CPU have, "scalar" or "avx2" (for
// tests and benchmarks). Anything else keeps the default.
ReadSettings readSettingsFrom(const char* chunkBytesText, const char* rowScanText);

}  // namespace skarvel
