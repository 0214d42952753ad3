#include "progress.hpp"

#include <cmath>

namespace skarvel {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

std::string fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* out, bool terminal, std::optional<std::uint64_t> inputSize,
                           std::optional<std::size_t> columns)
    : out_(out),
      terminal_(terminal),
      inputSize_(inputSize),
      columns_(columns),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

double ProgressLine::elapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string ProgressLine::statusText(const ProgressCounts& counts,
                                     std::optional<std::uint64_t> inputSize, double seconds) {
  const double megabytes = static_cast<double>(counts.bytesRead) / 1e6;
  const double rate = seconds > 0.0 ? megabytes / seconds : 0.0;
  std::string text = "skarvel: ";
  if (inputSize && *inputSize > 0) {
    const double share = static_cast<double>(counts.bytesRead) / static_cast<double>(*inputSize);
    text += fixed(std::min(share, 1.0) * 100.0, 0) + "% read, ";
  } else {
    text += fixed(megabytes, 1) + " MB read, ";
  }
  text += std::to_string(counts.rows) + " rows, " + std::to_string(counts.days) + " days, " +
          std::to_string(counts.months) + " months, " + fixed(rate, 0) + " MB/s";
  if (inputSize && rate > 0.0 && *inputSize >= counts.bytesRead) {
    const double left = static_cast<double>(*inputSize - counts.bytesRead) / 1e6 / rate;
    text += ", " + fixed(std::ceil(left), 0) + " s left";
  }
  return text;
}

std::string ProgressLine::summaryText(const RunSummary& summary, double seconds) {
  return "skarvel: " + std::to_string(summary.rows) + " rows read, " +
         std::to_string(summary.days) + " days, " + std::to_string(summary.months) + " months, " +
         std::to_string(summary.valuesAccepted) + " values accepted, " +
         std::to_string(summary.valuesMissing) + " missing, " + fixed(seconds, 2) + " s";
}

std::string ProgressLine::fitted(std::string text, std::optional<std::size_t> columns) {
  if (columns && *columns > 0 && text.size() >= *columns) {
    text.resize(*columns - 1);  // the text is ASCII: one column per byte
  }
  return text;
}

void ProgressLine::draw(const std::string& text) {
  std::string line = "\r" + text;
  if (text.size() < drawnLength_) {
    line.append(drawnLength_ - text.size(), ' ');
  }
  drawnLength_ = text.size();
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

void ProgressLine::update(const ProgressCounts& counts) {
  if (!terminal_) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedrawInterval) {
    return;
  }
  lastDraw_ = now;
  draw(fitted(statusText(counts, inputSize_, elapsedSeconds()), columns_));
}

void ProgressLine::finish(const RunSummary& summary) {
  const std::string text = summaryText(summary, elapsedSeconds());
  if (terminal_ && drawnLength_ > 0) {
    draw(text);
    std::fputs("\n", out_);
  } else {
    std::fputs((text + "\n").c_str(), out_);
  }
  std::fflush(out_);
}

}  // namespace skarvel
