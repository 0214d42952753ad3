// An anonymous temporary file holding given bytes, for tests of readers that take an open file.
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "platform.hpp"

namespace skarvel::testing {

// An empty scratch file open for update. std::tmpfile() where it works; under Wine it can fail
// after a few files (it makes them in the root of the drive), so a file of a unique name in the
// system's temporary folder is used then; it is left there for the system to clean up.
inline platform::FileHandle scratchFile() {
  if (std::FILE* file = std::tmpfile()) {
    return platform::FileHandle(file);
  }
  static int counter = 0;
  const std::filesystem::path name = std::filesystem::temp_directory_path() /
                                     ("skarvel-scratch-" + std::to_string(std::random_device{}()) +
                                      "-" + std::to_string(++counter));
  return platform::FileHandle(std::fopen(name.string().c_str(), "w+b"));
}

inline platform::FileHandle fileWith(const std::string& bytes) {
  platform::FileHandle file = scratchFile();
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
