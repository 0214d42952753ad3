// Line ends in buffered text.
#pragma once

#include <cstddef>
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

}  // namespace skarvel
