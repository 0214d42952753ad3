// Input analysis: how many header lines precede the data, and how many value columns a data row
// carries.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "input_reader.hpp"

namespace skarvel {

// Reads lines from the current position up to the first that starts with a number, leaving it
// in `line` and its line number (the current line being 1) in `lineNumber`. A negative
// `headrows` is replaced by the number of lines before it. False when the input holds no such
// line.
bool scanHeader(InputReader& input, std::int32_t& headrows, std::string& line,
                std::int64_t& lineNumber);

// Counts the value columns of the data row in `line`: the consecutive tokens after the four
// stamp tokens that start with a number or equal one of `missingTexts`. Blanks and tabs
// separate tokens. `rest` receives the text behind the token that ended the count.
std::int32_t countColumns(const std::string& line, std::string& rest,
                          std::span<const std::string> missingTexts = {});

// Reads the rest of the input and counts its lines that start with a number: the data rows.
std::int64_t countDataRows(InputReader& input);

}  // namespace skarvel
