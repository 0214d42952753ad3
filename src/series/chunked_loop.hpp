// The record loop on several threads: the input is cut into chunks that end on a day's closing
// row; worker threads read the chunks, average their days and months and write their rows into
// memory; the calling thread reads the input and commits the chunks in file order, so every file
// gets the bytes the record loop alone would write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "averages_file.hpp"
#include "averaging.hpp"
#include "input_reader.hpp"
#include "read_settings.hpp"

namespace skarvel {

// One output as the workers see it: the period of its rows and its layout.
struct ChunkOutput {
  Period period;
  FileLayout layout;
};

// Where committed chunks go, in file order. The closes that only the committing thread can make
// (a chunk's first month close, every year close) reach periodClosed as in the record loop.
class ChunkSink : public CloseListener {
 public:
  // Rows of closes that a worker wrote for output number `output`.
  virtual void writeRows(std::size_t output, std::string_view rows) = 0;
  // The progress marks of the closes a worker made.
  virtual void writeMarks(std::string_view marks) = 0;
  // A chunk is committed.
  virtual void chunkCommitted() = 0;
};

// A place in the input: a byte offset and the line ends before it.
struct ChunkedEnd {
  std::int64_t offset = 0;
  std::int64_t lineEnds = 0;
};

// Reads data rows as runRecordLoop does, from `start` of `input` on (the input is plain up to
// there: see InputReader::plainOffset; input.readRaw reads from there), into `state` and `sink`, on
// `workers` threads in chunks of about settings.chunkBytes, read as `settings` says (as `input`
// reads). Stops at the first chunk that it cannot prove to read exactly as runRecordLoop would (a
// failed conversion, a short or long row, a CR, a chunk without a closing row) or that holds what a
// warning names (a number read in part, an infinite value, a stamp field out of range, a day close
// that is not later than the one before, also across chunks), and before the text behind the
// input's last closing row; gives the place where runRecordLoop goes on, where the bytes read but
// not committed are put back into `input`. A read error stops it too: input.failed() then tells.
ChunkedEnd runChunkedLoop(InputReader& input, ChunkedEnd start, RecordLoopState& state,
                          const SummaryRules& rules, std::span<const ChunkOutput> outputs,
                          ChunkSink& sink, unsigned workers, const ReadSettings& settings);

}  // namespace skarvel
