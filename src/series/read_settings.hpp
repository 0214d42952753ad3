// How a run reads its input: the settings the reader, the record loop and the chunked loop are
// given by their caller.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace skarvel {

inline constexpr std::size_t kDefaultBlockBytes = std::size_t{1} << 20;
inline constexpr std::size_t kDefaultChunkBytes = std::size_t{1} << 20;

struct ReadSettings {
  // The usual size of a chunk of the threaded reading; a chunk holds the input up to its last
  // closing row.
  std::size_t chunkBytes = kDefaultChunkBytes;
  // The size of the blocks the reader takes from its source (it grows for a longer token).
  std::size_t blockBytes = kDefaultBlockBytes;
  // The texts that mark a missing value in place of a number (such as "NA"). Looked at only
  // where a conversion fails.
  std::vector<std::string> missingTexts;
};

// The settings a text of the environment gives; it may be null. `chunkBytesText`, a positive
// decimal number, is the chunk size (for tests that cut small inputs into many chunks); anything
// else keeps the default.
ReadSettings readSettingsFrom(const char* chunkBytesText);

}  // namespace skarvel
