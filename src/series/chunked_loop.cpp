#include "chunked_loop.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "number_scan.hpp"
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
  // plain, the last one closing a day.
  bool plain = false;
  std::vector<TextWriter> rows;  // per output: the rows of the closes the worker wrote
  TextWriter marks = TextWriter::collecting();
  std::size_t marksBeforeFirstMonth = 0;
  std::vector<PeriodValues> daysBeforeFirstMonth;
  std::optional<RecordStamp> firstMonthClose;
  std::vector<ClosedMonth> laterMonths;
  PeriodValues openMonth;  // the month open at the chunk's end, when it began in the chunk
  std::int64_t rowsRead = 0;
  std::int64_t valuesAccepted = 0;
  std::int64_t days = 0;
  std::int64_t daysSinceMonthClose = 0;
  RecordStamp lastStamp;

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
    rowsRead = valuesAccepted = days = daysSinceMonthClose = 0;
    lastStamp = {};
  }
};

struct Chunk {
  std::vector<char> text;  // the chunk's bytes, with kReadPadding readable bytes behind them
  std::size_t size = 0;
  std::int64_t offset = 0;  // of its first byte in the input
  ChunkResult result;
  bool done = false;  // guarded by the workers' mutex
};

// The record loop's closes inside a chunk, written into the chunk's result.
class ChunkRecorder final : public CloseListener {
 public:
  ChunkRecorder(ChunkResult& result, std::span<const ChunkOutput> outputs,
                const SummaryRules& rules)
      : result_(result), outputs_(outputs), rules_(rules) {}

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
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
      if (outputs_[i].period == period) {
        writeRowIn(outputs_[i].layout, result_.rows[i], stamp, accumulators, period, rules_);
      }
    }
    writeProgressMark(result_.marks, period, stamp);
    if (period == Period::day && !result_.firstMonthClose) {
      result_.daysBeforeFirstMonth.push_back(accumulators.period(Period::day));
    } else if (period == Period::month) {
      result_.laterMonths.push_back({stamp, accumulators.period(Period::month)});
    }
  }

  bool healthy() const override { return true; }

 private:
  ChunkResult& result_;
  std::span<const ChunkOutput> outputs_;
  const SummaryRules& rules_;
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
  const std::vector<std::string>& missingTexts;
  RowScanKind rowScanKind;
};

// Reads one chunk with the record loop, as the record loop reads the input.
void readChunk(Chunk& chunk, const ChunkRules& given) {
  ChunkResult& result = chunk.result;
  result.reset(given.outputs.size());
  if (std::memchr(chunk.text.data(), '\r', chunk.size) != nullptr) {
    return;  // text mode reads CR LF as LF: offsets would no longer be byte offsets
  }
  std::optional<Accumulators> accumulators =
      Accumulators::create(static_cast<std::int32_t>(given.columns), given.rules.statistic);
  if (!accumulators) {
    return;
  }
  RecordLoopState loop{{}, false, std::move(*accumulators)};
  InputReader reader = InputReader::overText(std::move(chunk.text), chunk.size);
  reader.setMissingTexts(given.missingTexts);
  reader.setRowScanKind(given.rowScanKind);
  ChunkRecorder recorder(result, given.outputs, given.rules);
  runRecordLoop(reader, loop, given.rules, recorder);
  result.plain = !reader.firstFailure() && reader.linesCrossed().count == 0 &&
                 reader.extraText().count == 0 && !loop.endedInsideValues &&
                 loop.stamp.hour == given.rules.closeHour &&
                 loop.accumulators.rows(Period::day) == 0 && reader.atEnd();
  if (result.firstMonthClose) {
    result.openMonth = std::move(loop.accumulators.period(Period::month));
  }
  result.rowsRead = loop.rowsRead;
  result.valuesAccepted = loop.valuesAccepted;
  result.days = loop.closes[static_cast<std::size_t>(Period::day)];
  result.daysSinceMonthClose = loop.daysSinceMonthClose;
  result.lastStamp = loop.stamp;
  chunk.text = std::move(reader).releaseText();
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
    state.daysSinceMonthClose = result.daysSinceMonthClose;
  } else {
    state.daysSinceMonthClose += result.days;
  }
  sink.writeMarks(marks.substr(result.marksBeforeFirstMonth));
  state.stamp = result.lastStamp;
  state.rowsRead += result.rowsRead;
  state.valuesAccepted += result.valuesAccepted;
  state.closes[static_cast<std::size_t>(Period::day)] += result.days;
  sink.chunkCommitted();
}

// The worker threads: each takes the next submitted chunk and reads it. Stopping drops the
// chunks not yet taken and waits for the ones being read.
class ChunkWorkers {
 public:
  ChunkWorkers(unsigned count, std::function<void(Chunk&)> work) : work_(std::move(work)) {
    for (unsigned i = 0; i < count; ++i) {
      try {
        threads_.emplace_back([this] { serve(); });
      } catch (const std::system_error&) {
        break;  // as many as the system gives
      }
    }
  }
  ChunkWorkers(const ChunkWorkers&) = delete;
  ChunkWorkers& operator=(const ChunkWorkers&) = delete;
  ~ChunkWorkers() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      pending_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
      thread.join();
    }
  }

  std::size_t count() const { return threads_.size(); }

  void submit(Chunk& chunk) {
    {
      const std::lock_guard lock(mutex_);
      chunk.done = false;
      pending_.push_back(&chunk);
    }
    wake_.notify_one();
  }

  void waitFor(const Chunk& chunk) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return chunk.done; });
  }

 private:
  void serve() {
    for (;;) {
      Chunk* chunk = nullptr;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        if (stopping_) {
          return;
        }
        chunk = pending_.front();
        pending_.pop_front();
      }
      try {
        work_(*chunk);
      } catch (...) {
        chunk->result.plain = false;  // out of memory: the record loop reads it instead
      }
      {
        const std::lock_guard lock(mutex_);
        chunk->done = true;
      }
      done_.notify_all();
    }
  }

  std::function<void(Chunk&)> work_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<Chunk*> pending_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// True when the line [text, lineEnd) starts with four integer fields, the last `closeHour`.
bool isClosingRow(const char* text, const char* lineEnd, std::int32_t closeHour) {
  std::int32_t field = 0;
  for (int i = 0; i < 4; ++i) {
    while (text != lineEnd && (*text == ' ' || *text == '\t')) {
      ++text;
    }
    if (text == lineEnd) {
      return false;
    }
    const NumberScan scanned = scanInt32(text, field);
    if (!scanned.ok) {
      return false;
    }
    text = scanned.next;
  }
  return field == closeHour;
}

// The last '\n' in [first, last), or null.
const char* lastNewlineIn(const char* first, const char* last) {
  while (last != first) {
    if (*--last == '\n') {
      return last;
    }
  }
  return nullptr;
}

// The end of the last closing row in text[0, size), behind its line end; 0 when there is none.
std::size_t lastClosingRowEnd(const char* text, std::size_t size, std::int32_t closeHour) {
  const char* newline = lastNewlineIn(text, text + size);
  while (newline != nullptr) {
    const char* previous = lastNewlineIn(text, newline);
    const char* lineStart = previous != nullptr ? previous + 1 : text;
    if (isClosingRow(lineStart, newline, closeHour)) {
      return static_cast<std::size_t>(newline + 1 - text);
    }
    newline = previous;
  }
  return 0;
}

// Reads the input into chunks that end behind a closing row; the text behind the last one is
// carried into the next chunk.
class ChunkReader {
 public:
  ChunkReader(InputReader& input, std::int64_t offset, std::size_t chunkBytes,
              std::int32_t closeHour)
      : input_(input), offset_(offset), chunkBytes_(chunkBytes), closeHour_(closeHour) {}

  // Fills `chunk` with the next chunk; false when there is none: the input has ended, failed,
  // or has no closing row within a chunk's size.
  bool fill(Chunk& chunk) {
    if (finished_) {
      return false;
    }
    if (carry_.size() > chunkBytes_ / 2) {
      finished_ = true;  // days too long for chunks of this size
      return false;
    }
    chunk.text.resize(chunkBytes_ + kReadPadding);
    std::copy(carry_.begin(), carry_.end(), chunk.text.begin());
    const std::size_t wanted = chunkBytes_ - carry_.size();
    const std::size_t got = input_.readRaw(chunk.text.data() + carry_.size(), wanted);
    finished_ = got < wanted;
    const std::size_t size = carry_.size() + got;
    const std::size_t cut = lastClosingRowEnd(chunk.text.data(), size, closeHour_);
    if (cut == 0) {
      finished_ = true;
      return false;
    }
    carry_.assign(chunk.text.data() + cut, chunk.text.data() + size);
    chunk.size = cut;
    chunk.offset = offset_;
    offset_ += static_cast<std::int64_t>(cut);
    return true;
  }

 private:
  InputReader& input_;
  std::int64_t offset_;
  std::size_t chunkBytes_;
  std::int32_t closeHour_;
  std::vector<char> carry_;
  bool finished_ = false;
};

}  // namespace

std::int64_t runChunkedLoop(InputReader& input, std::int64_t offset, RecordLoopState& state,
                            const SummaryRules& rules, std::span<const ChunkOutput> outputs,
                            ChunkSink& sink, const ChunkedLoopSettings& settings) {
  const std::vector<std::string> missingTexts = input.missingTexts();
  const ChunkRules chunkRules{state.accumulators.columnCount(), rules, outputs, missingTexts,
                              input.rowScanKind()};
  // Declared before the workers, so no worker outlives them.
  std::vector<Chunk> chunks(settings.workers + kSpareChunks);
  ChunkWorkers workers(settings.workers, [&](Chunk& chunk) { readChunk(chunk, chunkRules); });
  if (workers.count() == 0) {
    return offset;
  }
  std::vector<Chunk*> free;
  free.reserve(chunks.size());
  for (Chunk& chunk : chunks) {
    free.push_back(&chunk);
  }
  ChunkReader reader(input, offset, settings.chunkBytes, rules.closeHour);
  std::deque<Chunk*> inFlight;
  std::int64_t committedEnd = offset;
  for (;;) {
    while (!free.empty() && reader.fill(*free.back())) {
      workers.submit(*free.back());
      inFlight.push_back(free.back());
      free.pop_back();
    }
    if (inFlight.empty()) {
      break;
    }
    Chunk& chunk = *inFlight.front();
    workers.waitFor(chunk);
    if (!chunk.result.plain) {
      break;
    }
    commitChunk(chunk.result, state, rules, outputs, sink);
    committedEnd = chunk.offset + static_cast<std::int64_t>(chunk.size);
    inFlight.pop_front();
    free.push_back(&chunk);
    if (!sink.healthy()) {
      break;
    }
  }
  return committedEnd;
}

}  // namespace skarvel
