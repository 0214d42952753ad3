// Output file names: how the daily and monthly file names are made from the input name, the two
// small string operations the derivation is built on, and the platform's path conventions.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace skarvel {

// Platform conventions: everything that differs between Windows and POSIX file names and line
// ends lives here.
namespace platform {

// Input is opened untranslated and read as Windows text mode reads it on every platform (CR LF
// as LF, Ctrl-Z as the end), so files written on either platform give the same results.
inline constexpr const char* kReadMode = "rb";

// Outputs are opened in text mode, so "\n" is written as the platform's native line end: CR LF
// on Windows, LF elsewhere.
inline constexpr const char* kWriteMode = "w";

// True for a character that ends the directory part of a path: '/' everywhere, and on Windows
// also '\' and the ':' of a drive letter.
constexpr bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

}  // namespace platform

// Offset of the first occurrence of `pattern` in `text`, or 0 when it does not occur. An
// occurrence at offset 0 also gives 0: the derivation treats a leading '.' like no '.' at all.
std::int32_t positionOf(std::string_view text, std::string_view pattern);

// Keeps only the characters from `start` through `start + lastOffset` (inclusive) of `text`.
// Leaves `text` unchanged when either argument is negative; stops at the end of the text.
void cutSubstring(std::string& text, std::int32_t start, std::int32_t lastOffset);

// A path split into its directory part (with its trailing separator, possibly empty) and its
// file-name component.
struct PathParts {
  std::string_view directory;
  std::string_view fileName;
};
PathParts splitPath(std::string_view path);

// The result of one derivation: the output name, and the base it was built on (directory part
// plus the cut file name), which the console shows when the column count is given.
struct DerivedName {
  std::string name;
  std::string base;
};

// Derives an output name from `inputName` for `letter` ('t' daily, 'm' monthly): the letter
// replaces the first character of the extension, and the base is cut at the first '.' of the
// file-name component. A file-name component without a '.' (or whose first '.' is its first
// character) gets ".$$$" appended to `inputName` first, so a second derivation sees it.
DerivedName deriveOutputName(char letter, std::string& inputName);

// Tells whether a candidate output name denotes the input file.
using DenotesInput = std::function<bool(const std::string& candidate)>;

enum class NameOutcome { derived, wouldOverwriteInput };

struct SafeName {
  NameOutcome outcome = NameOutcome::derived;
  DerivedName derived;
};

// deriveOutputName that never yields the input file itself: when the derived name denotes the
// input, ".$$$" is appended to `inputName` and the name derived again. When that name still
// denotes the input, the outcome is wouldOverwriteInput and `derived.name` holds the offending
// name.
SafeName deriveSafeOutputName(char letter, std::string& inputName,
                              const DenotesInput& denotesInput);

// True when the two paths name the same file: the same text, or the same existing file
// (hard links, symbolic links, different spellings of one path).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace skarvel
