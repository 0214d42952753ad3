// Reading the input: large blocks from a file or from memory, translated as Windows text mode
// reads them, offered as lines and as number tokens with stream-conversion semantics.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "byte_source.hpp"
#include "number_scan.hpp"
#include "read_faults.hpp"
#include "read_settings.hpp"
#include "row_scan.hpp"

namespace skarvel {

// Reads a file as text the way text mode on Windows reads it, on every platform: CR LF reads as
// LF and a Ctrl-Z byte ends the input. A UTF-8 byte-order mark at the start of the input is
// skipped (it stays in the text offsets, which are byte offsets where nothing was translated).
// Reads in large blocks; offers whole lines, white-space separated number tokens with
// stream-conversion semantics, a rewind to the start while the source keeps it, and the line
// number of any place in the buffered text.
class InputReader {
 public:
  // A reader of `source` in blocks of settings.blockBytes (at least one byte),
  // settings.missingTexts taken for missing values.
  explicit InputReader(ByteSource source, ReadSettings settings = {});
  // A reader of text already in memory: the first `size` bytes of `text`, which holds at least
  // kReadPadding bytes more. Reads nothing from anywhere else; releaseText() gives the memory
  // back for the next text.
  static InputReader overText(std::vector<char> text, std::size_t size, ReadSettings settings);
  std::vector<char> releaseText() && { return std::move(buffer_); }

  // Reads the next line, line end included, into `line` (replacing its content). False when
  // the input has ended before any character could be read.
  bool readLine(std::string& line);

  // Skips the rest of the current line, its line end included.
  void skipLine();

  // Skips white space, then reads one integer or one decimal number as a formatted stream
  // conversion does. False when the conversion fails or the input has ended; characters the
  // conversion consumed stay consumed. Notes a number read from the start of a token that goes
  // on (partTokens()) and a value beyond the double range (infiniteValues()).
  bool readInt(std::int32_t& value);
  bool readDouble(double& value);

  // readDouble for the values of a data row: notes each value that had to be read across a
  // line end (linesCrossed()). A token that is no number but equals one of the missing texts
  // is consumed and reads as kMissingTokenValue. The usual value, behind blanks or tabs and
  // followed by white space, is read inline; any other goes through readNumber, which notes it.
  bool readValue(double& value) {
    while (*pos_ == ' ' || *pos_ == '\t') {
      ++pos_;
    }
    const NumberScan scanned = scanDoubleTokenPadded(pos_, value);
    if (scanned.ok && isSpace(*scanned.next)) [[likely]] {
      pos_ = scanned.next;
      return true;
    }
    return readValueSlowly(value);
  }

  // Reads a whole plain data row (see scanDataRow) when it lies in the buffered text: the four
  // stamp fields and one value per element of `values`, then the line end. False when it does
  // not, or the row is of another shape; then nothing is consumed and the row is read field by
  // field.
  bool readPlainRow(std::array<std::int32_t, 4>& stamp, std::span<double> values) {
    const char* next = scanDataRow(pos_, end_, stamp, values, settings_.rowScan);
    if (next == nullptr) {
      return false;
    }
    pos_ = next;
    return true;
  }
  // What readValue gives for a missing text: at or below every missing-value threshold.
  static constexpr double kMissingTokenValue = -9999.0;

  // skipLine for the end of a data row whose values were all read: notes a rest of the line
  // that holds more than white space (extraText()).
  void skipRowEnd();

  // Where the reader stands in the text read so far (after text-mode translation).
  std::int64_t textOffset() const { return textOffsetAt(pos_); }
  // The line number (from 1) of text offset `offset`: one more than the line ends before it.
  // For an offset in the buffered text, or on the line of the last line end dropped from it.
  std::int64_t lineNumberAt(std::int64_t offset) const;
  // The first failed conversion, if any; the end of the input is no failure.
  const std::optional<FailedToken>& firstFailure() const { return faults_.firstFailure; }
  // Values read across a line end: the line that ended too early, and how many times.
  const Occurrence& linesCrossed() const { return faults_.linesCrossed; }
  // Rows with text after their values: the first, and how many.
  const Occurrence& extraText() const { return faults_.extraText; }
  // Numbers read from the start of a token that goes on ("2-3", "1.5.5", "1e", an hour "24.9"):
  // the first token, and how many.
  const Occurrence& partTokens() const { return faults_.partTokens; }
  // Values beyond the double range, read as infinity: the first token, and how many.
  const Occurrence& infiniteValues() const { return faults_.infiniteValues; }
  // The Ctrl-Z that ended the input, once the reading has met it.
  const std::optional<CtrlZEnd>& ctrlZ() const { return faults_.ctrlZ; }
  // True when the input has ended: nothing but what was read is left.
  bool atEnd();
  // True when the rest of the input is all in the buffer: the source has nothing more to give.
  bool restBuffered() const { return sourceDone_; }

  // Bytes of the source read so far.
  std::uint64_t bytesRead() const { return source_.bytesRead(); }
  // Bytes taken from the file underneath (for a compressed input, the compressed bytes).
  std::uint64_t sourceBytes() const { return source_.sourceBytes(); }
  // Called after each block read from the source.
  void onBlock(std::function<void()> observer) { blockObserver_ = std::move(observer); }

  // Goes back to the start of the input, read again from the bytes the source kept, and reads
  // its first block (a read error shows in failed()). False when the start is lost.
  bool rewind();
  // Never goes back to the start again: the source keeps no more bytes.
  void forgetStart() { source_.forgetStart(); }

  // The reading position as a byte offset of the input, while every byte read so far was taken
  // as it stands (no CR LF translated, no Ctrl-Z met); nothing otherwise.
  std::optional<std::int64_t> plainOffset() const {
    return translated_ ? std::nullopt : std::optional<std::int64_t>(textOffset());
  }
  // While plainOffset() holds, after forgetStart(): puts the buffered bytes not yet read back
  // into the source, so readRaw reads on from the reading position. Holds no text until resumeAt.
  // Gives the line ends before the reading position.
  std::int64_t handBackBuffered();
  // Reads up to `size` bytes of the input as they stand from where the source stands; fewer
  // only at the end or on an error.
  std::size_t readRaw(char* into, std::size_t size) { return source_.read(into, size); }
  // Puts bytes read with readRaw back in front of the rest of the input.
  void unreadRaw(std::string_view bytes) { source_.unread(bytes); }
  // Reads text again from where the source stands: byte `offset` of an input that plainOffset()
  // showed plain up to there, so text offsets stay byte offsets, with `lineEnds` line ends before
  // it. What was noted stays noted.
  void resumeAt(std::int64_t offset, std::int64_t lineEnds);

  // True after a read error of the source (not at a plain end of the input).
  bool failed() const { return source_.error().has_value(); }
  const std::optional<ReadError>& readError() const { return source_.error(); }

 private:
  bool skipSpace();
  bool refill();
  // Skips to behind the next line end; gives its text offset, or nothing at the end of the
  // input.
  std::optional<std::int64_t> skipPastLineEnd();
  // Skips white space and scans one number with `scan`, refilling when it reaches the end of
  // the buffered text. With `missingAllowed`, a failed token that is a missing text is taken.
  template <typename Number, typename Scan>
  bool readNumber(Number& value, Scan scan, bool missingAllowed = false);
  enum class MissingText { taken, notTaken, refilled };
  // Consumes the white-space delimited token at the reading position when it equals a missing
  // text; `refilled` when the buffer had to be refilled to see the whole token first.
  MissingText takeMissingText();
  // Bytes the buffer can hold as text, without the sentinel and padding behind it.
  std::size_t capacity() const { return buffer_.size() - kReadPadding; }
  // The room a refill leaves behind the text it keeps, or else grows the buffer for: half a
  // block, and at least a held CR and one byte more.
  std::size_t refillRoom() const { return std::max<std::size_t>(settings_.blockBytes / 2, 2); }
  // The buffered text, from the buffer's first byte.
  std::string_view buffered() const {
    return {buffer_.data(), static_cast<std::size_t>(end_ - buffer_.data())};
  }
  std::size_t readBlock(char* into, std::size_t size);
  // Ends the freshly read text [data, data + size) at its first Ctrl-Z, if any, and notes what
  // the source holds behind it; gives the size of the text before it.
  std::size_t endAtCtrlZ(char* data, std::size_t size);
  std::size_t translateTextMode(char* data, std::size_t size);
  // At the start of the input, once its first three bytes are buffered (or the input is shorter):
  // skips a UTF-8 byte-order mark.
  void skipByteOrderMark();
  bool awaitingStart() const {
    return atInputStart_ && static_cast<std::size_t>(end_ - pos_) < kByteOrderMark.size();
  }
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  void clearBuffer();
  // Skips white space, counting a value that crosses a line end.
  bool skipSpaceAcrossLines();
  void noteFailure(const char* token);
  // After a number conversion of the token at the reading position that consumed up to `next`:
  // notes a token that goes on behind what was read as a number, and an infinite value.
  template <typename Number>
  void noteUnusualNumber(const char* next, Number value);
  // A short quote of the token `ahead` bytes behind the reader's position, reading on when the
  // token goes on in the next block.
  std::string quoteAhead(std::ptrdiff_t ahead);
  bool readValueSlowly(double& value);
  std::int64_t textOffsetAt(const char* position) const {
    return textBefore_ + (position - buffer_.data());
  }

  InputReader(ByteSource source, std::vector<char> buffer, ReadSettings settings);
  // Moves the buffer's start to the reading position, counting the line ends of the text dropped.
  void dropReadText();

  ByteSource source_;
  std::vector<char> buffer_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool sourceDone_ = false;
  bool heldCarriageReturn_ = false;
  bool translated_ = false;    // a CR LF was read as LF, or a Ctrl-Z ended the input
  bool atInputStart_ = false;  // nothing is buffered yet but the input's first bytes
  // The Ctrl-Z met before, kept across rewinds: a reading that meets it again looks no further.
  std::optional<CtrlZEnd> ctrlZMet_;
  // Text read before the buffer's first byte, the line ends in it, and the offset of the last.
  std::int64_t textBefore_ = 0;
  std::int64_t lineEndsBefore_ = 0;
  std::int64_t lastLineEndBefore_ = -1;
  LineHead lineHead_;
  ReadFaults faults_;
  std::function<void()> blockObserver_;
  ReadSettings settings_;
};

}  // namespace skarvel
