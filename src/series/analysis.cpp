#include "analysis.hpp"

#include <algorithm>
#include <string_view>

#include "number_scan.hpp"

namespace skarvel {

namespace {

constexpr std::string_view kSeparators = " \t";

enum class WhenNoSeparator { fail, cutAtStart };

// Cuts the leading token off `text`: the cut point is the first blank or tab, advanced over all
// following blanks and tabs. Without any blank or tab the cut fails or, by choice, cuts nothing.
bool cutToken(std::string_view& text, WhenNoSeparator rule) {
  std::size_t cut = text.find_first_of(kSeparators);
  if (cut == std::string_view::npos) {
    if (rule == WhenNoSeparator::fail) {
      return false;
    }
    cut = 0;
  }
  cut = std::min(text.find_first_not_of(kSeparators, cut), text.size());
  text.remove_prefix(cut);
  return true;
}

// True when the token at the start of `text` (up to white space) is one of `missingTexts`.
bool isMissingText(std::string_view text, std::span<const std::string> missingTexts) {
  if (missingTexts.empty()) {
    return false;
  }
  const auto length = std::find_if(text.begin(), text.end(), isSpace) - text.begin();
  const std::string_view token = text.substr(0, static_cast<std::size_t>(length));
  return std::find(missingTexts.begin(), missingTexts.end(), token) != missingTexts.end();
}

}  // namespace

bool scanHeader(InputReader& input, std::int32_t& headrows, std::string& line,
                std::int64_t& lineNumber) {
  lineNumber = 0;
  for (;;) {
    ++lineNumber;
    if (!input.readLine(line)) {
      return false;
    }
    if (numberConversionResult(line.c_str()) == 1) {
      break;
    }
  }
  if (headrows < 0) {
    headrows = static_cast<std::int32_t>(std::min<std::int64_t>(lineNumber - 1, INT32_MAX));
  }
  return true;
}

std::int64_t countDataRows(InputReader& input) {
  std::int64_t rows = 0;
  std::string line;
  while (input.readLine(line)) {
    rows += numberConversionResult(line.c_str()) == 1 ? 1 : 0;
  }
  return rows;
}

std::int32_t countColumns(const std::string& line, std::string& rest,
                          std::span<const std::string> missingTexts) {
  std::string_view unread = line;
  // The four stamp tokens. A row with fewer separators has no value columns.
  for (int field = 0; field < 4; ++field) {
    if (!cutToken(unread, WhenNoSeparator::fail)) {
      rest.clear();
      return 0;
    }
  }
  // A tab behind the last token guarantees a separator after it, even when only the line end
  // follows it.
  std::string counted(unread);
  counted += '\t';
  unread = counted;

  std::int32_t columns = 0;
  int result = 0;
  do {
    result = numberConversionResult(unread.data());  // `unread` is a suffix of a C string
    if (result == 0 && isMissingText(unread, missingTexts)) {
      result = 1;
    }
    cutToken(unread, WhenNoSeparator::cutAtStart);
    if (result > 0 && columns < INT32_MAX) {
      ++columns;
    }
  } while (result == 1);
  rest.assign(unread);
  return columns;
}

}  // namespace skarvel
