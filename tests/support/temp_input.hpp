// An anonymous temporary file holding given bytes, for tests of readers that take an open file.
#pragma once

#include <cstdio>
#include <string>

#include "platform.hpp"

namespace skarvel::testing {

inline platform::FileHandle fileWith(const std::string& bytes) {
  platform::FileHandle file(std::tmpfile());
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::rewind(file.get());
  return file;
}

inline std::string contentOf(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string content;
  char block[4096];
  std::size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
    content.append(block, got);
  }
  return content;
}

}  // namespace skarvel::testing
