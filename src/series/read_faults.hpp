// What the warnings of a run need from its reading: the first failed conversion, the rows whose
// values ran into the next line and the rows with text after their values, each where it
// happened, with the line number of each place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skarvel {

// A token at which a number conversion failed before the end of the input.
struct FailedToken {
  std::int64_t offset = 0;  // where it starts in the text read (see InputReader::textOffset)
  std::string text;         // the token, cut to a short quote
  bool lineStartsWithNumber = false;
  std::int64_t line = 0;  // of that place, from 1
};

// The first place where something of a kind happened, and how often it happened.
struct Occurrence {
  std::int64_t firstOffset = 0;  // in the text read (see InputReader::textOffset)
  std::string quote;
  std::int64_t count = 0;
  std::int64_t firstLine = 0;  // of the first place, from 1, set by whoever notes it

  // Counts one more at `offset`; true for the first, whose offset is kept.
  bool note(std::int64_t offset) {
    if (count++ != 0) {
      return false;
    }
    firstOffset = offset;
    return true;
  }
};

// A Ctrl-Z byte that ended the input, and what lies behind it in the source.
struct CtrlZEnd {
  std::int64_t offset = 0;         // where the text read ends (see InputReader::textOffset)
  std::uint64_t sourceOffset = 0;  // of the Ctrl-Z byte in the source
  std::uint64_t bytesBehind = 0;   // bytes of the source behind it, none of them read
  bool dataRowsBehind = false;     // a line behind it starts with a number
  std::int64_t line = 0;           // of the offset, from 1
};

// Everything the reading noted for the warnings.
struct ReadFaults {
  std::optional<FailedToken> firstFailure;  // the end of the input is no failure
  Occurrence linesCrossed;                  // values read across a line end: the line that ended
  Occurrence extraText;                     // rows with text after their values
  Occurrence partTokens;      // numbers read from the start of a token that goes on: the token
  Occurrence infiniteValues;  // values beyond the double range, read as infinity: the token
  std::optional<CtrlZEnd> ctrlZ;
};

// The longest quote of input text a message shows; one more byte is kept, so a message can tell
// that it cut the quote.
inline constexpr std::size_t kQuoteLength = 41;

// A short quote of the text at `text`: up to the next white space or `end`, at most
// kQuoteLength bytes.
std::string quoteAt(const char* text, const char* end);

// The start of the line that holds a reading position, as a few hundred bytes at most: enough to
// judge whether the line starts with a number. Kept across refills, for a line that began in
// text no longer buffered.
class LineHead {
 public:
  // Before the buffered text drops its bytes up to `discardEnd`: keeps the start of the line
  // that holds `discardEnd`, unless it is kept already.
  void keep(std::string_view buffered, const char* discardEnd);
  // The start of the line that holds `position` of the buffered text.
  std::string at(std::string_view buffered, const char* position) const;
  void clear();

 private:
  std::string head_;
  bool kept_ = false;
};

}  // namespace skarvel
