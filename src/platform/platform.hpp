// Everything that differs between Windows and POSIX: how files are opened, what separates the
// directory part of a path, and when two names denote one file. No other file of the tool holds
// platform conditionals.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
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

// Creates or truncates a file for writing bytes untranslated, so "\n" is LF on every platform.
// Null on failure.
FileHandle createForWritingBytes(const std::string& name);

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

// The system's text for an error number ("No such file or directory").
std::string errorText(int errorNumber);

// The error number of the last failed open: openForReading reports a directory as such.
int lastOpenError();

// True when the stream is an interactive terminal.
bool isTerminal(std::FILE* stream);

// The size in bytes of a regular file; nothing for other files (a pipe, a device).
std::optional<std::uint64_t> regularFileSize(const std::string& name);

}  // namespace skarvel::platform
