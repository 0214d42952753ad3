#include "input_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "line_ends.hpp"

namespace skarvel {

namespace {

constexpr char kCtrlZ = '\x1A';

// Looks for a line that starts with a number, as countDataRows judges lines, in text given in
// pieces: only the first bytes of each line behind its white space are looked at.
class DataRowSearch {
 public:
  void feed(const char* text, const char* end) {
    while (text != end && !found_) {
      if (*text == '\n') {
        judgeLine();
        ++text;
      } else if (head_.size() == kHeadLength) {
        const char* lineEnd = nextNewline(text, end);
        text = lineEnd != nullptr ? lineEnd : end;
      } else {
        if (!head_.empty() || !isSpace(*text)) {
          head_ += *text;
        }
        ++text;
      }
    }
  }
  bool found() {
    judgeLine();
    return found_;
  }

 private:
  // Enough for a sign, a point and a digit.
  static constexpr std::size_t kHeadLength = 3;

  void judgeLine() {
    found_ = found_ || numberConversionResult(head_.c_str()) == 1;
    head_.clear();
  }

  std::string head_;
  bool found_ = false;
};

}  // namespace

// The unread text is [pos_, end_) of buffer_, and *end_ is always a NUL sentinel, so scans stop
// at the end of the buffered text without a bounds check per character. Behind the sentinel
// the buffer keeps kReadPadding bytes, so number scans may load whole words past it. A scan that
// stops at the sentinel while the file has more to give refills and scans again from the token's
// start.

InputReader::InputReader(ByteSource source, ReadSettings settings)
    : source_(std::move(source)), settings_(std::move(settings)) {
  buffer_.resize(std::max<std::size_t>(settings_.blockBytes, 1) + kReadPadding);
  clearBuffer();
}

InputReader::InputReader(ByteSource source, std::vector<char> buffer, ReadSettings settings)
    : source_(std::move(source)), buffer_(std::move(buffer)), settings_(std::move(settings)) {}

InputReader InputReader::overText(std::vector<char> text, std::size_t size, ReadSettings settings) {
  InputReader reader(ByteSource::ofBytes({}), std::move(text), std::move(settings));
  reader.pos_ = reader.buffer_.data();
  reader.end_ = reader.buffer_.data() + size;
  reader.buffer_[size] = '\0';
  reader.sourceDone_ = true;
  return reader;
}

std::int64_t InputReader::handBackBuffered() {
  // Plain text holds no CR, so none is held back either.
  source_.unread({pos_, static_cast<std::size_t>(end_ - pos_)});
  const std::int64_t lineEnds = lineNumberAt(textOffset()) - 1;
  resumeAt(textOffset(), lineEnds);
  return lineEnds;
}

void InputReader::resumeAt(std::int64_t offset, std::int64_t lineEnds) {
  pos_ = end_ = buffer_.data();
  buffer_[0] = '\0';
  sourceDone_ = false;
  heldCarriageReturn_ = false;
  atInputStart_ = false;
  textBefore_ = offset;
  lineEndsBefore_ = lineEnds;
  lastLineEndBefore_ = -1;
  lineHead_.clear();
}

std::int64_t InputReader::lineNumberAt(std::int64_t offset) const {
  if (offset < textBefore_) {
    return lineEndsBefore_ + (offset > lastLineEndBefore_ ? 1 : 0);
  }
  const char* at = std::min(buffer_.data() + (offset - textBefore_), end_);
  return lineEndsBefore_ + countNewlines(buffer_.data(), at) + 1;
}

void InputReader::dropReadText() {
  lineHead_.keep(buffered(), pos_);
  if (const char* last = lastNewline(buffer_.data(), pos_)) {
    lineEndsBefore_ += countNewlines(buffer_.data(), pos_);
    lastLineEndBefore_ = textOffsetAt(last);
  }
  textBefore_ += pos_ - buffer_.data();
}

void InputReader::clearBuffer() {
  pos_ = end_ = buffer_.data();
  buffer_[0] = '\0';
  sourceDone_ = false;
  heldCarriageReturn_ = false;
  translated_ = false;
  atInputStart_ = true;
  textBefore_ = 0;
  lineEndsBefore_ = 0;
  lastLineEndBefore_ = -1;
  lineHead_.clear();
  faults_ = {};
}

bool InputReader::rewind() {
  if (!source_.rewind()) {
    return false;
  }
  clearBuffer();
  // The first block at once: a byte-order mark is behind the reading position from the start,
  // and so from the first plainOffset() on.
  refill();
  return true;
}

std::size_t InputReader::readBlock(char* into, std::size_t size) {
  const std::size_t got = source_.read(into, size);
  if (got < size) {
    sourceDone_ = true;
  }
  if (blockObserver_) {
    blockObserver_();
  }
  return got;
}

std::size_t InputReader::endAtCtrlZ(char* data, std::size_t size) {
  const char* ctrlZ = static_cast<const char*>(std::memchr(data, kCtrlZ, size));
  if (ctrlZ == nullptr) {
    return size;
  }
  sourceDone_ = true;
  translated_ = true;
  const char* behind = ctrlZ + 1;
  const auto behindInBlock = static_cast<std::uint64_t>(data + size - behind);
  const std::uint64_t sourceOffset = source_.bytesRead() - behindInBlock - 1;
  if (!ctrlZMet_ || ctrlZMet_->sourceOffset != sourceOffset) {
    // Read the rest of the source once: whether any line of it holds data, and its size.
    CtrlZEnd met;
    met.sourceOffset = sourceOffset;
    met.bytesBehind = behindInBlock;
    DataRowSearch search;
    search.feed(behind, data + size);
    std::vector<char> rest(std::size_t{1} << 16);
    for (std::size_t got = 0; (got = source_.read(rest.data(), rest.size())) != 0;) {
      met.bytesBehind += got;
      search.feed(rest.data(), rest.data() + got);
    }
    met.dataRowsBehind = search.found();
    ctrlZMet_ = met;
  }
  faults_.ctrlZ = ctrlZMet_;
  return static_cast<std::size_t>(ctrlZ - data);
}

std::size_t InputReader::translateTextMode(char* data, std::size_t size) {
  char* carriageReturn = static_cast<char*>(std::memchr(data, '\r', size));
  if (carriageReturn == nullptr) {
    return size;
  }
  translated_ = true;
  const char* read = carriageReturn;
  const char* end = data + size;
  char* write = carriageReturn;
  while (read != end) {
    if (*read == '\r') {
      if (read + 1 == end && !sourceDone_) {
        heldCarriageReturn_ = true;  // its LF, if any, is in the next block
        break;
      }
      if (read + 1 != end && read[1] == '\n') {
        ++read;
        continue;
      }
    }
    *write++ = *read++;
  }
  return static_cast<std::size_t>(write - data);
}

bool InputReader::refill() {
  const auto kept = static_cast<std::size_t>(end_ - pos_);
  while (!sourceDone_ && (static_cast<std::size_t>(end_ - pos_) == kept || awaitingStart())) {
    const auto rest = static_cast<std::size_t>(end_ - pos_);
    dropReadText();
    if (capacity() - rest < refillRoom()) {
      // A single token longer than the buffer: make room for it.
      std::vector<char> larger(capacity() * 2 + kReadPadding);
      std::memcpy(larger.data(), pos_, rest);
      buffer_.swap(larger);
    } else {
      std::memmove(buffer_.data(), pos_, rest);
    }
    char* data = buffer_.data();
    std::size_t size = rest;
    if (heldCarriageReturn_) {
      data[size++] = '\r';
      heldCarriageReturn_ = false;
    }
    const std::size_t fresh = rest;  // translation starts at the held CR, if any
    size += readBlock(data + size, capacity() - size);
    const std::size_t beforeCtrlZ = endAtCtrlZ(data + fresh, size - fresh);
    const bool endedAtCtrlZ = beforeCtrlZ != size - fresh;
    size = fresh + translateTextMode(data + fresh, beforeCtrlZ);
    pos_ = data;
    end_ = data + size;
    buffer_[size] = '\0';
    if (endedAtCtrlZ) {
      faults_.ctrlZ->offset = textOffsetAt(end_);
      faults_.ctrlZ->line = lineNumberAt(faults_.ctrlZ->offset);
    }
    skipByteOrderMark();  // when the block held nothing more, the loop reads on
  }
  return static_cast<std::size_t>(end_ - pos_) > kept;
}

void InputReader::skipByteOrderMark() {
  if (!atInputStart_ || (awaitingStart() && !sourceDone_)) {
    return;
  }
  atInputStart_ = false;
  if (buffered().starts_with(kByteOrderMark)) {
    pos_ += kByteOrderMark.size();
  }
}

bool InputReader::skipSpace() {
  for (;;) {
    while (isSpace(*pos_)) {
      ++pos_;
    }
    if (pos_ != end_) {
      return true;
    }
    if (!refill()) {
      return false;
    }
  }
}

template <typename Number, typename Scan>
bool InputReader::readNumber(Number& value, Scan scan, bool missingAllowed) {
  if (!skipSpace()) {
    return false;
  }
  for (;;) {
    const NumberScan scanned = scan(pos_, value);
    if (scanned.next != end_ || sourceDone_) {
      if (!scanned.ok && missingAllowed) {
        const MissingText missing = takeMissingText();
        if (missing == MissingText::taken) {
          value = static_cast<Number>(kMissingTokenValue);
          return true;
        }
        if (missing == MissingText::refilled) {
          continue;  // the buffer moved: scan the token again
        }
      }
      const std::ptrdiff_t consumed = scanned.next - pos_;
      if (!scanned.ok && !faults_.firstFailure) {
        noteFailure(pos_);  // may move the buffered text
      }
      if (scanned.ok) {
        noteUnusualNumber(scanned.next, value);  // may move the buffered text
      }
      pos_ += consumed;
      return scanned.ok;
    }
    refill();  // the token may go on in the next block: scan it again from its start
  }
}

InputReader::MissingText InputReader::takeMissingText() {
  const std::vector<std::string>& missingTexts = settings_.missingTexts;
  if (missingTexts.empty()) {
    return MissingText::notTaken;
  }
  const char* tokenEnd = std::find_if(pos_, static_cast<const char*>(end_), isSpace);
  if (tokenEnd == end_ && !sourceDone_) {
    refill();  // moves the buffered text even when nothing is added
    return MissingText::refilled;
  }
  const std::string_view token(pos_, static_cast<std::size_t>(tokenEnd - pos_));
  if (std::find(missingTexts.begin(), missingTexts.end(), token) == missingTexts.end()) {
    return MissingText::notTaken;
  }
  pos_ = tokenEnd;
  return MissingText::taken;
}

bool InputReader::readInt(std::int32_t& value) {
  return readNumber(value, scanInt32);
}

bool InputReader::readDouble(double& value) {
  return readNumber(value, scanDoublePadded);
}

bool InputReader::readValueSlowly(double& value) {
  for (;;) {
    while (*pos_ == ' ' || *pos_ == '\t') {
      ++pos_;
    }
    if (pos_ != end_ && !isSpace(*pos_)) {
      // A token that goes on in the next block, or one that is no number.
      return readNumber(value, scanDoublePadded, true);
    }
    if (!skipSpaceAcrossLines()) {
      return false;
    }
  }
}

bool InputReader::skipSpaceAcrossLines() {
  std::optional<std::int64_t> crossedAt;
  std::int64_t crossedLine = 0;
  for (;;) {
    for (; isSpace(*pos_); ++pos_) {
      if (*pos_ == '\n' && !crossedAt) {
        crossedAt = textOffsetAt(pos_);
        if (faults_.linesCrossed.count == 0) {
          crossedLine = lineNumberAt(*crossedAt);  // only the first is named
        }
      }
    }
    if (pos_ != end_) {
      break;
    }
    if (!refill()) {
      return false;  // the input ended inside the row: no value came from another line
    }
  }
  if (crossedAt && faults_.linesCrossed.note(*crossedAt)) {
    faults_.linesCrossed.firstLine = crossedLine;
  }
  return true;
}

std::string InputReader::quoteAhead(std::ptrdiff_t ahead) {
  // A token cut by the end of the buffered text goes on in the next block.
  const auto bufferedPart = [&] {
    const char* text = pos_ + ahead;
    return std::find_if(text, end_, isSpace) - text;
  };
  while (static_cast<std::size_t>(bufferedPart()) < kQuoteLength &&
         pos_ + ahead + bufferedPart() == end_ && refill()) {
  }
  return quoteAt(pos_ + ahead, end_);
}

void InputReader::skipRowEnd() {
  bool noted = false;
  for (;;) {
    if (pos_ == end_ && !refill()) {
      return;
    }
    const char* lineEnd = nextNewline(pos_, end_);
    const char* restEnd = lineEnd != nullptr ? lineEnd : end_;
    const char* text = std::find_if_not(pos_, restEnd, isSpace);
    if (text != restEnd && !noted) {
      noted = true;
      Occurrence& extraText = faults_.extraText;
      if (extraText.note(textOffsetAt(text))) {
        extraText.firstLine = lineNumberAt(textOffsetAt(text));
        if (lineEnd != nullptr) {
          extraText.quote = quoteAt(text, restEnd);
        } else {
          const std::ptrdiff_t ahead = text - pos_;
          extraText.quote = quoteAhead(ahead);
          continue;  // the buffer may have moved: look for the line end again
        }
      }
    }
    if (lineEnd != nullptr) {
      pos_ = lineEnd + 1;
      return;
    }
    pos_ = end_;
  }
}

bool InputReader::atEnd() {
  return !skipSpace();
}

template <typename Number>
void InputReader::noteUnusualNumber(const char* next, Number value) {
  const char last = next[-1];
  const bool goesOn =
      (next != end_ && !isSpace(*next)) || last == 'e' || last == 'E' || last == '+' || last == '-';
  bool infinite = false;
  if constexpr (std::is_floating_point_v<Number>) {
    infinite = std::isinf(value);
  }
  const std::int64_t offset = textOffset();
  for (const auto& [noted, occurrence] :
       {std::pair{goesOn, &faults_.partTokens}, std::pair{infinite, &faults_.infiniteValues}}) {
    if (noted && occurrence->note(offset)) {
      occurrence->firstLine = lineNumberAt(offset);
      occurrence->quote = quoteAhead(0);  // may read on
    }
  }
}

void InputReader::noteFailure(const char* token) {
  FailedToken failure;
  failure.offset = textOffsetAt(token);
  failure.line = lineNumberAt(failure.offset);
  failure.lineStartsWithNumber =
      numberConversionResult(lineHead_.at(buffered(), token).c_str()) == 1;
  failure.text = quoteAhead(token - pos_);  // may read on: `token` is not used after it
  faults_.firstFailure = std::move(failure);
}

bool InputReader::readLine(std::string& line) {
  line.clear();
  for (;;) {
    if (pos_ == end_ && !refill()) {
      return !line.empty();
    }
    const char* lineEnd = nextNewline(pos_, end_);
    if (lineEnd != nullptr) {
      line.append(pos_, lineEnd + 1);
      pos_ = lineEnd + 1;
      return true;
    }
    line.append(pos_, end_);
    pos_ = end_;
  }
}

void InputReader::skipLine() {
  skipPastLineEnd();
}

std::optional<std::int64_t> InputReader::skipPastLineEnd() {
  for (;;) {
    if (pos_ == end_ && !refill()) {
      return std::nullopt;
    }
    if (const char* lineEnd = nextNewline(pos_, end_)) {
      pos_ = lineEnd + 1;
      return textOffsetAt(lineEnd);
    }
    pos_ = end_;
  }
}

}  // namespace skarvel
