// The status line of --progress on standard error: redrawn in place while the input is read,
// replaced by a one-line summary at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace skarvel {

struct ProgressCounts {
  std::uint64_t bytesRead = 0;
  std::int64_t rows = 0;
  std::int64_t days = 0;
  std::int64_t months = 0;
};

struct RunSummary {
  std::int64_t rows = 0;
  std::int64_t days = 0;
  std::int64_t months = 0;
  std::int64_t valuesAccepted = 0;
  std::int64_t valuesMissing = 0;
};

class ProgressLine {
 public:
  // `terminal`: the status line is drawn (else only the summary is written). `inputSize`: the
  // size of the input, when it is known. `columns`: the width of the terminal, when it is known.
  ProgressLine(std::FILE* out, bool terminal, std::optional<std::uint64_t> inputSize,
               std::optional<std::size_t> columns = std::nullopt);

  // Redraws the status line, at most about four times a second.
  void update(const ProgressCounts& counts);
  // Replaces the status line with the summary.
  void finish(const RunSummary& summary);

  // The texts, for a given elapsed time.
  static std::string statusText(const ProgressCounts& counts,
                                std::optional<std::uint64_t> inputSize, double seconds);
  static std::string summaryText(const RunSummary& summary, double seconds);
  // The status text as a terminal `columns` wide shows it: cut to one column less, so that it
  // never fills the last column, where a terminal wraps to the next line and each redraw would
  // leave a line behind.
  static std::string fitted(std::string text, std::optional<std::size_t> columns);

 private:
  double elapsedSeconds() const;
  void draw(const std::string& text);

  std::FILE* out_;
  bool terminal_;
  std::optional<std::uint64_t> inputSize_;
  std::optional<std::size_t> columns_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  std::size_t drawnLength_ = 0;
};

}  // namespace skarvel
