#include "chunked_loop.hpp"

#include <cstring>
#include <deque>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chunk_reader.hpp"
#include "chunk_workers.hpp"
#include "close_writer.hpp"
#include "line_ends.hpp"
#include "text_writer.hpp"

namespace skarvel {

namespace {

// Chunks beyond one per worker: one being read and one being committed while the workers read.
constexpr std::size_t kSpareChunks = 2;

struct ClosedMonth {
  RecordStamp stamp;
  PeriodValues values;
};

// What a worker made of a chunk. The month that is open when a chunk begins started in an
// earlier chunk, so the worker keeps the sums of each day up to that month's close: the
// committing thread adds them to the month one by one, in the order the record loop adds them.
// Months that begin and end in the chunk are the worker's own.
struct ChunkResult {
  // True when the chunk read exactly as the record loop would read it: every row whole and
  // plain, the last one closing a day, and nothing for a warning (the one-thread reading finds
  // it again: its line numbers are of the input).
  bool plain = false;
  std::vector<TextWriter> rows;  // per output: the rows of the closes the worker wrote
  TextWriter marks = TextWriter::collecting();
  std::size_t marksBeforeFirstMonth = 0;
  std::vector<PeriodValues> daysBeforeFirstMonth;
  std::optional<RecordStamp> firstMonthClose;
  std::vector<ClosedMonth> laterMonths;
  PeriodValues openMonth;  // the month open at the chunk's end, when it began in the chunk
  LoopCounts counts;
  std::int64_t lineEnds = 0;  // in the chunk's text

  void reset(std::size_t outputs) {
    plain = false;
    while (rows.size() < outputs) {
      rows.push_back(TextWriter::collecting());
    }
    for (TextWriter& writer : rows) {
      writer.clearCollected();
    }
    marks.clearCollected();
    marksBeforeFirstMonth = 0;
    daysBeforeFirstMonth.clear();
    firstMonthClose.reset();
    laterMonths.clear();
    openMonth = {};
    counts = {};
    lineEnds = 0;
  }
};

struct Chunk {
  ChunkText text;
  ChunkResult result;
};

// The outputs of the workers' rows: output number i into writers[i].
std::vector<RowOutput> rowOutputsOf(std::span<const ChunkOutput> outputs,
                                    std::vector<TextWriter>& writers) {
  std::vector<RowOutput> rowOutputs;
  rowOutputs.reserve(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    rowOutputs.push_back({outputs[i].period, outputs[i].layout, writers[i]});
  }
  return rowOutputs;
}

// The record loop's closes inside a chunk, written into the chunk's result.
class ChunkRecorder final : public CloseListener {
 public:
  ChunkRecorder(ChunkResult& result, std::span<const ChunkOutput> outputs,
                const SummaryRules& rules)
      : result_(result), closes_(rowOutputsOf(outputs, result.rows), result.marks, rules) {}

  void periodClosed(Period period, const RecordStamp& stamp,
                    const Accumulators& accumulators) override {
    if (period == Period::year) {
      return;  // years are closed by the committing thread
    }
    if (period == Period::month && !result_.firstMonthClose) {
      // The month began before the chunk: the committing thread finishes it.
      result_.firstMonthClose = stamp;
      result_.marksBeforeFirstMonth = result_.marks.collected().size();
      return;
    }
    closes_.write(period, stamp, accumulators);
    if (period == Period::day && !result_.firstMonthClose) {
      result_.daysBeforeFirstMonth.push_back(accumulators.period(Period::day));
    } else if (period == Period::month) {
      result_.laterMonths.push_back({stamp, accumulators.period(Period::month)});
    }
  }

  bool healthy() const override { return true; }

 private:
  ChunkResult& result_;
  CloseWriter closes_;
};

// Passes on only the year closes: the rows of a chunk's later months are the worker's.
class YearClosesOf final : public CloseListener {
 public:
  explicit YearClosesOf(CloseListener& listener) : listener_(listener) {}

  void periodClosed(Period period, const RecordStamp& stamp,
                    const Accumulators& accumulators) override {
    if (period == Period::year) {
      listener_.periodClosed(period, stamp, accumulators);
    }
  }
  bool healthy() const override { return listener_.healthy(); }

 private:
  CloseListener& listener_;
};

// What the record loop needs to read a chunk on a worker.
struct ChunkRules {
  std::size_t columns;
  const SummaryRules& rules;
  std::span<const ChunkOutput> outputs;
  const ReadSettings& settings;
};

// Reads one chunk with the record loop, as the record loop reads the input.
void readChunk(Chunk& chunk, const ChunkRules& given) {
  ChunkResult& result = chunk.result;
  result.reset(given.outputs.size());
  if (std::memchr(chunk.text.bytes.data(), '\r', chunk.text.size) != nullptr) {
    return;  // text mode reads CR LF as LF: offsets would no longer be byte offsets
  }
  std::optional<Accumulators> accumulators =
      Accumulators::create(static_cast<std::int32_t>(given.columns), given.rules.statistic);
  if (!accumulators) {
    return;
  }
  result.lineEnds =
      countNewlines(chunk.text.bytes.data(), chunk.text.bytes.data() + chunk.text.size);
  RecordLoopState loop{{}, false, std::move(*accumulators)};
  InputReader reader =
      InputReader::overText(std::move(chunk.text.bytes), chunk.text.size, given.settings);
  ChunkRecorder recorder(result, given.outputs, given.rules);
  try {
    runRecordLoop(reader, loop, given.rules, recorder);
  } catch (...) {
    chunk.text.bytes = std::move(reader).releaseText();  // the one-thread reading reads it again
    throw;
  }
  result.plain = !reader.firstFailure() && reader.linesCrossed().count == 0 &&
                 reader.extraText().count == 0 && reader.partTokens().count == 0 &&
                 reader.infiniteValues().count == 0 && loop.stampsOutOfRange.count == 0 &&
                 loop.closeOrder.inOrder() && !loop.endedInsideValues &&
                 loop.stamp.hour == given.rules.closeHour &&
                 loop.accumulators.rows(Period::day) == 0 && reader.atEnd();
  if (result.firstMonthClose) {
    result.openMonth = std::move(loop.accumulators.period(Period::month));
  }
  result.counts = loop.counts();
  chunk.text.bytes = std::move(reader).releaseText();
}

// True when the chunk's first day close comes after the run's last, as its later closes come
// after its first (else the record loop reads the chunk and warns).
bool continuesCloses(const RecordLoopState& state, const ChunkResult& result) {
  const std::optional<RecordStamp>& last = state.closeOrder.last;
  const std::optional<RecordStamp>& first = result.counts.firstClose;
  return !last || !first || comesAfter(*first, *last);
}

// Puts a chunk's closes into the run in file order: the days before its first month close
// continue the open month, which closes on the committing thread; later months close into the
// year and the totals as the record loop closes them.
void commitChunk(ChunkResult& result, RecordLoopState& state, const SummaryRules& rules,
                 std::span<const ChunkOutput> outputs, ChunkSink& sink) {
  const auto writeRowsOf = [&](Period period) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
      if (outputs[i].period == period) {
        sink.writeRows(i, result.rows[i].collected());
      }
    }
  };
  writeRowsOf(Period::day);
  PeriodValues& month = state.accumulators.period(Period::month);
  for (const PeriodValues& day : result.daysBeforeFirstMonth) {
    month.merge(day);
  }
  const std::string_view marks = result.marks.collected();
  sink.writeMarks(marks.substr(0, result.marksBeforeFirstMonth));
  if (result.firstMonthClose) {
    state.stamp = *result.firstMonthClose;
    closeMonth(state, rules, sink);
    YearClosesOf years(sink);
    for (ClosedMonth& closed : result.laterMonths) {
      std::swap(month, closed.values);
      state.stamp = closed.stamp;
      closeMonth(state, rules, years);
    }
    std::swap(month, result.openMonth);
    writeRowsOf(Period::month);
  }
  sink.writeMarks(marks.substr(result.marksBeforeFirstMonth));
  state.add(result.counts);
  sink.chunkCommitted();
}

}  // namespace

ChunkedEnd runChunkedLoop(InputReader& input, ChunkedEnd start, RecordLoopState& state,
                          const SummaryRules& rules, std::span<const ChunkOutput> outputs,
                          ChunkSink& sink, unsigned workers, const ReadSettings& settings) {
  const ChunkRules chunkRules{state.accumulators.columnCount(), rules, outputs, settings};
  // Declared before the workers, so no worker outlives them.
  std::vector<Chunk> chunks(workers + kSpareChunks);
  std::optional<ChunkWorkers> pool;
  pool.emplace(workers, chunks.size(),
               [&](std::size_t job) { readChunk(chunks[job], chunkRules); });
  if (pool->count() == 0) {
    return start;
  }
  std::vector<std::size_t> free(chunks.size());
  std::iota(free.begin(), free.end(), std::size_t{0});
  ChunkReader reader(input, start.offset, settings.chunkBytes, rules.closeHour);
  std::deque<std::size_t> inFlight;
  ChunkedEnd committed = start;
  for (;;) {
    while (!free.empty() && reader.fill(chunks[free.back()].text)) {
      pool->submit(free.back());
      inFlight.push_back(free.back());
      free.pop_back();
    }
    if (inFlight.empty()) {
      break;
    }
    const std::size_t next = inFlight.front();
    Chunk& chunk = chunks[next];
    if (!pool->waitFor(next) || !chunk.result.plain || !continuesCloses(state, chunk.result)) {
      break;
    }
    commitChunk(chunk.result, state, rules, outputs, sink);
    committed.offset = chunk.text.offset + static_cast<std::int64_t>(chunk.text.size);
    committed.lineEnds += chunk.result.lineEnds;
    inFlight.pop_front();
    free.push_back(next);
    if (!sink.healthy()) {
      break;
    }
  }
  pool.reset();  // every chunk's text is back in its place
  std::string unread;
  for (const std::size_t job : inFlight) {
    unread.append(chunks[job].text.bytes.data(), chunks[job].text.size);
  }
  unread.append(reader.carried());
  input.unreadRaw(unread);
  return committed;
}

}  // namespace skarvel
