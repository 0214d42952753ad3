#include "read_faults.hpp"

#include <algorithm>

#include "line_ends.hpp"
#include "number_scan.hpp"

namespace skarvel {

namespace {

constexpr std::size_t kLineHeadLength = 256;

// The line start of [start, buffered end), at most kLineHeadLength bytes.
std::string headFrom(std::string_view buffered, const char* start) {
  const auto rest = static_cast<std::size_t>(buffered.data() + buffered.size() - start);
  return std::string(start, std::min(kLineHeadLength, rest));
}

}  // namespace

std::string quoteAt(const char* text, const char* end) {
  const char* stop = text;
  while (stop != end && !isSpace(*stop) && static_cast<std::size_t>(stop - text) < kQuoteLength) {
    ++stop;
  }
  return std::string(text, stop);
}

void LineHead::keep(std::string_view buffered, const char* discardEnd) {
  const char* newline = lastNewline(buffered.data(), discardEnd);
  const char* start = newline != nullptr ? newline + 1 : buffered.data();
  if (newline == nullptr && kept_) {
    return;  // the line began before this buffer; its head is kept already
  }
  kept_ = start != discardEnd;
  if (kept_) {
    head_ = headFrom(buffered, start);
  }
}

std::string LineHead::at(std::string_view buffered, const char* position) const {
  const char* newline = lastNewline(buffered.data(), position);
  if (newline == nullptr && kept_) {
    return head_;
  }
  return headFrom(buffered, newline != nullptr ? newline + 1 : buffered.data());
}

void LineHead::clear() {
  head_.clear();
  kept_ = false;
}

}  // namespace skarvel
