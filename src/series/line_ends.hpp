// Line ends in buffered text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace skarvel {

// The first '\n' in [first, last), or null.
inline const char* nextNewline(const char* first, const char* last) {
  return static_cast<const char*>(std::memchr(first, '\n', static_cast<std::size_t>(last - first)));
}

// The last '\n' in [first, last), or null.
inline const char* lastNewline(const char* first, const char* last) {
  while (last != first) {
    if (*--last == '\n') {
      return last;
    }
  }
  return nullptr;
}

// The number of '\n' in [first, last).
inline std::int64_t countNewlines(const char* first, const char* last) {
  return std::count(first, last, '\n');
}

}  // namespace skarvel
