// Output file names: how the daily and monthly file names are made from the input name, and the
// two small string operations the derivation is built on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace skarvel {

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

// The name of a comma-separated output: the input name without the last extension of its file
// name, then `suffix` ("_daily.csv"); the directory is kept. "flow.dat" gives "flow_daily.csv".
// The outcome is wouldOverwriteInput when that name denotes the input.
SafeName deriveCsvOutputName(std::string_view suffix, const std::string& inputName,
                             const DenotesInput& denotesInput);

}  // namespace skarvel
