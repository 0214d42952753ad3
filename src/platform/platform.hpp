// Everything that differs between Windows and POSIX: how files are opened, what separates the
// directory part of a path, and when two names denote one file. No other file of the tool holds
// platform conditionals.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace skarvel::platform {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for reading its bytes untranslated (the reader translates text mode
// itself, the same on every platform); null when that fails or when the name denotes a
// directory.
FileHandle openForReading(const std::string& name);

// Creates or truncates a file for writing text, so "\n" is written as the platform's native line
// end: CR LF on Windows, LF elsewhere. Null on failure.
FileHandle createForWriting(const std::string& name);

// True for a character that ends the directory part of a path: '/' everywhere, and on Windows
// also '\' and the ':' of a drive letter.
constexpr bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

// True when the two names denote the same file: the same text, or the same existing file (hard
// links, symbolic links, different spellings of one path).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace skarvel::platform
