#include "chunk_reader.hpp"

#include <algorithm>
#include <array>

#include "line_ends.hpp"
#include "row_scan.hpp"

namespace skarvel {

namespace {

// True when the line at `text` starts with a stamp whose hour is `closeHour`.
bool isClosingRow(const char* text, std::int32_t closeHour) {
  std::array<std::int32_t, 4> stamp{};
  return scanStamp(text, stamp) != nullptr && stamp[3] == closeHour;
}

}  // namespace

std::size_t lastClosingRowEnd(const char* text, std::size_t size, std::int32_t closeHour) {
  const char* newline = lastNewline(text, text + size);
  while (newline != nullptr) {
    const char* previous = lastNewline(text, newline);
    const char* lineStart = previous != nullptr ? previous + 1 : text;
    if (isClosingRow(lineStart, closeHour)) {
      return static_cast<std::size_t>(newline + 1 - text);
    }
    newline = previous;
  }
  return 0;
}

bool ChunkReader::fill(ChunkText& chunk) {
  if (finished_) {
    return false;
  }
  if (carry_.size() > chunkBytes_ / 2) {
    finished_ = true;  // days too long for chunks of this size
    return false;
  }
  chunk.bytes.resize(chunkBytes_ + kReadPadding);
  std::copy(carry_.begin(), carry_.end(), chunk.bytes.begin());
  const std::size_t wanted = chunkBytes_ - carry_.size();
  const std::size_t got = input_.readRaw(chunk.bytes.data() + carry_.size(), wanted);
  finished_ = got < wanted;
  const std::size_t size = carry_.size() + got;
  const std::size_t cut = lastClosingRowEnd(chunk.bytes.data(), size, closeHour_);
  if (cut == 0) {
    carry_.assign(chunk.bytes.data(), chunk.bytes.data() + size);  // for carried()
    finished_ = true;
    return false;
  }
  carry_.assign(chunk.bytes.data() + cut, chunk.bytes.data() + size);
  chunk.size = cut;
  chunk.offset = offset_;
  offset_ += static_cast<std::int64_t>(cut);
  return true;
}

}  // namespace skarvel
