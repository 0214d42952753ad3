#include "chunk_reader.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "input_reader.hpp"

namespace skarvel {
namespace {

// Rows of 14 bytes: a closing row, a row before it.
const std::string kOpen = "2001 1 1 12 5\n";
const std::string kClose = "2001 1 1 24 6\n";

// Each chunk the reader gives: its offset and its text.
using Chunks = std::vector<std::pair<std::int64_t, std::string>>;

Chunks chunksOf(const std::string& text, std::size_t chunkBytes, std::int32_t closeHour) {
  InputReader input(ByteSource::ofBytes(text));
  ChunkReader reader(input, 0, chunkBytes, closeHour);
  Chunks chunks;
  ChunkText chunk;
  while (reader.fill(chunk)) {
    chunks.emplace_back(chunk.offset, std::string(chunk.bytes.data(), chunk.size));
  }
  return chunks;
}

TEST(ChunkReader, CutsBehindTheLastClosingRow) {
  const std::string day = kOpen + kClose;
  struct Case {
    const char* what;
    std::string text;
    std::size_t chunkBytes;
    std::int32_t closeHour;
    Chunks chunks;
  };
  const Case cases[] = {
      {"the rest of a chunk is carried",
       day + day + day + kOpen,
       64,
       24,
       {{0, day + day}, {56, day}}},
      {"the text behind the last closing row is no chunk", day + kOpen + kOpen, 64, 24, {{0, day}}},
      {"another close hour",
       "2001 1 1 22 5\n2001 1 1 23 6\n" + kClose,
       64,
       23,
       {{0, "2001 1 1 22 5\n2001 1 1 23 6\n"}}},
      {"an hour that is no whole integer closes nothing",
       day + "2001 1 2 24.0 6\n",
       64,
       24,
       {{0, day}}},
      {"a day longer than half a chunk ends the chunks",
       kClose + kOpen + kOpen + kOpen + day,
       64,
       24,
       {{0, kClose}}},
      {"no closing row in a chunk", kOpen + kOpen + kOpen + kOpen + kOpen + day, 64, 24, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chunksOf(c.text, c.chunkBytes, c.closeHour), c.chunks) << c.what;
  }
}

}  // namespace
}  // namespace skarvel
