// Everything that differs between Windows and POSIX: the command line, how files are opened, what
// separates the directory part of a path, when two names denote one file and how a name is
// written into text. No other file of the tool holds platform conditionals.
//
// File names are UTF-8 inside the tool on Windows (converted from and to the wide API at the
// edges, so every name the file system can hold works) and the bytes as given elsewhere.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace skarvel::platform {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The command line, program name first. On Windows it is read from the wide command line and
// converted to UTF-8 (the narrow argv holds only what the ANSI code page can spell, best-fit
// mapped); elsewhere it is argv as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);

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
// links, symbolic links, different spellings of one path, and on Windows different letter case).
bool sameFile(const std::string& a, const std::string& b);

// The bytes that stand for a file name in the text the tool writes (the header labels and the
// console messages). On Windows: the name in the ANSI code page, as a narrow-character program
// there writes it, with '?' for a character the code page cannot spell. Elsewhere: the name as
// given.
std::string nameInText(std::string_view name);

// UTF-8 to UTF-16 and back, as Windows names need it. Exact for every UTF-16 string, also one
// with an unpaired surrogate (which Windows file names may hold): such a surrogate travels as its
// three-byte form (WTF-8). A malformed UTF-8 byte reads as U+FFFD.
std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);

}  // namespace skarvel::platform
