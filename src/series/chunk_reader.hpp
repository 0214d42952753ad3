// Cutting the input into chunks for the chunked loop: runs of whole rows that end behind a
// closing row (a row whose hour closes the day).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "input_reader.hpp"

namespace skarvel {

// The bytes of one chunk, with kReadPadding readable bytes behind them.
struct ChunkText {
  std::vector<char> bytes;
  std::size_t size = 0;
  std::int64_t offset = 0;  // of its first byte in the input
};

// The end of the last closing row (its stamp's hour `closeHour`) in text[0, size), behind its
// line end; 0 when there is none.
std::size_t lastClosingRowEnd(const char* text, std::size_t size, std::int32_t closeHour);

// Reads the input as it stands into chunks of about `chunkBytes` bytes that end behind a closing
// row; the text behind the last one is carried into the next chunk.
class ChunkReader {
 public:
  // Reads from byte `offset` of `input`, where input.readRaw stands.
  ChunkReader(InputReader& input, std::int64_t offset, std::size_t chunkBytes,
              std::int32_t closeHour)
      : input_(input), offset_(offset), chunkBytes_(chunkBytes), closeHour_(closeHour) {}

  // Fills `chunk` with the next chunk; false when there is none: the input has ended, failed,
  // or has no closing row within a chunk's size.
  bool fill(ChunkText& chunk);
  // The bytes read behind the last chunk filled.
  std::string_view carried() const { return {carry_.data(), carry_.size()}; }

 private:
  InputReader& input_;
  std::int64_t offset_;
  std::size_t chunkBytes_;
  std::int32_t closeHour_;
  std::vector<char> carry_;
  bool finished_ = false;
};

}  // namespace skarvel
