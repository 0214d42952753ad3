#include "input_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform.hpp"

namespace skarvel {

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;
constexpr char kCtrlZ = '\x1A';
// Longest quote of input text a message shows (one more byte is kept, so a message can tell
// that it cut the quote), and the most of a line start kept to judge it.
constexpr std::size_t kQuoteLength = 41;
constexpr std::size_t kLineHeadLength = 256;

// The last line end in [first, last), or null.
const char* lastNewline(const char* first, const char* last) {
  while (last != first) {
    if (*--last == '\n') {
      return last;
    }
  }
  return nullptr;
}

// A short quote of the text at `text`: up to the next white space, at most kQuoteLength bytes.
std::string quoteAt(const char* text, const char* end) {
  const char* stop = text;
  while (stop != end && !isSpace(*stop) && static_cast<std::size_t>(stop - text) < kQuoteLength) {
    ++stop;
  }
  return std::string(text, stop);
}

}  // namespace

// The unread text is [pos_, end_) of buffer_, and *end_ is always a NUL sentinel, so scans stop
// at the end of the buffered text without a bounds check per character. Behind the sentinel
// the buffer keeps kReadPadding bytes, so number scans may load whole words past it. A scan that
// stops at the sentinel while the file has more to give refills and scans again from the token's
// start.

std::size_t ByteSource::read(char* into, std::size_t capacity) {
  if (file_ == nullptr) {
    const std::size_t got = std::min(capacity, bytes_.size() - offset_);
    std::memcpy(into, bytes_.data() + offset_, got);
    offset_ += got;
    bytesRead_ += got;
    return got;
  }
  errno = 0;
  const std::size_t got = std::fread(into, 1, capacity, file_);
  if (got < capacity && std::ferror(file_) != 0) {
    failed_ = true;
    errorNumber_ = errno;
  }
  bytesRead_ += got;
  return got;
}

bool ByteSource::rewind() {
  if (file_ == nullptr) {
    offset_ = 0;
    bytesRead_ = 0;
    return true;
  }
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    failed_ = true;
    errorNumber_ = errno;
    return false;
  }
  std::clearerr(file_);
  bytesRead_ = 0;
  return true;
}

bool ByteSource::seek(std::int64_t offset) {
  if (file_ == nullptr) {
    offset_ = std::min(static_cast<std::size_t>(offset), bytes_.size());
  } else if (const int error = platform::seekFile(file_, offset); error != 0) {
    failed_ = true;
    errorNumber_ = error;
    return false;
  } else {
    std::clearerr(file_);
  }
  bytesRead_ = static_cast<std::uint64_t>(offset);
  return true;
}

InputReader::InputReader(ByteSource source)
    : InputReader(source, std::vector<char>(kReadBlock + kReadPadding)) {
  clearBuffer();
}

InputReader::InputReader(ByteSource source, std::vector<char> buffer)
    : source_(source), buffer_(std::move(buffer)) {}

InputReader InputReader::overText(std::vector<char> text, std::size_t size) {
  InputReader reader(ByteSource::ofBytes({}), std::move(text));
  reader.pos_ = reader.buffer_.data();
  reader.end_ = reader.buffer_.data() + size;
  reader.buffer_[size] = '\0';
  reader.sourceDone_ = true;
  return reader;
}

bool InputReader::seekTo(std::int64_t offset) {
  if (!source_.seek(offset)) {
    return false;
  }
  pos_ = end_ = buffer_.data();
  buffer_[0] = '\0';
  sourceDone_ = false;
  heldCarriageReturn_ = false;
  textBefore_ = offset;
  lineHead_.clear();
  lineHeadKept_ = false;
  return true;
}

void InputReader::clearBuffer() {
  pos_ = end_ = buffer_.data();
  buffer_[0] = '\0';
  sourceDone_ = false;
  heldCarriageReturn_ = false;
  translated_ = false;
  textBefore_ = 0;
  lineHead_.clear();
  lineHeadKept_ = false;
  firstFailure_.reset();
  linesCrossed_ = {};
  extraText_ = {};
}

bool InputReader::rewind() {
  if (!source_.rewind()) {
    return false;
  }
  clearBuffer();
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

std::size_t InputReader::translateTextMode(char* data, std::size_t size) {
  if (const void* ctrlZ = std::memchr(data, kCtrlZ, size)) {
    size = static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - data);
    sourceDone_ = true;
    translated_ = true;
  }
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
  const auto rest = static_cast<std::size_t>(end_ - pos_);
  bool added = false;
  while (!added && !sourceDone_) {
    keepLineHead(pos_);
    textBefore_ += pos_ - buffer_.data();
    if (capacity() - rest < kReadBlock / 2) {
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
    size = fresh + translateTextMode(data + fresh, size - fresh);
    pos_ = data;
    end_ = data + size;
    buffer_[size] = '\0';
    added = size > rest;
  }
  return added;
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
      if (!scanned.ok && !firstFailure_) {
        noteFailure(pos_);  // may move the buffered text
      }
      pos_ += consumed;
      return scanned.ok;
    }
    refill();  // the token may go on in the next block: scan it again from its start
  }
}

InputReader::MissingText InputReader::takeMissingText() {
  if (missingTexts_.empty()) {
    return MissingText::notTaken;
  }
  const char* tokenEnd = std::find_if(pos_, static_cast<const char*>(end_), isSpace);
  if (tokenEnd == end_ && !sourceDone_) {
    refill();  // moves the buffered text even when nothing is added
    return MissingText::refilled;
  }
  const std::string_view token(pos_, static_cast<std::size_t>(tokenEnd - pos_));
  if (std::find(missingTexts_.begin(), missingTexts_.end(), token) == missingTexts_.end()) {
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
  for (;;) {
    for (; isSpace(*pos_); ++pos_) {
      if (*pos_ == '\n' && !crossedAt) {
        crossedAt = textOffsetAt(pos_);
      }
    }
    if (pos_ != end_) {
      break;
    }
    if (!refill()) {
      return false;  // the input ended inside the row: no value came from another line
    }
  }
  if (crossedAt && linesCrossed_.count++ == 0) {
    linesCrossed_.firstOffset = *crossedAt;
  }
  return true;
}

std::string InputReader::quoteAhead(std::ptrdiff_t ahead) {
  // A token cut by the end of the buffered text goes on in the next block.
  const auto buffered = [&] {
    const char* text = pos_ + ahead;
    return std::find_if(text, end_, isSpace) - text;
  };
  while (static_cast<std::size_t>(buffered()) < kQuoteLength && pos_ + ahead + buffered() == end_ &&
         refill()) {
  }
  return quoteAt(pos_ + ahead, end_);
}

void InputReader::skipRowEnd() {
  bool noted = false;
  for (;;) {
    if (pos_ == end_ && !refill()) {
      return;
    }
    const auto* lineEnd =
        static_cast<const char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
    const char* restEnd = lineEnd != nullptr ? lineEnd : end_;
    const char* text = std::find_if_not(pos_, restEnd, isSpace);
    if (text != restEnd && !noted) {
      noted = true;
      if (extraText_.count++ == 0) {
        extraText_.firstOffset = textOffsetAt(text);
        if (lineEnd != nullptr) {
          extraText_.quote = quoteAt(text, restEnd);
        } else {
          const std::ptrdiff_t ahead = text - pos_;
          extraText_.quote = quoteAhead(ahead);
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

std::vector<std::int64_t> InputReader::lineNumbersAt(std::vector<std::int64_t> offsets) {
  std::sort(offsets.begin(), offsets.end());
  std::vector<std::int64_t> lines;
  lines.reserve(offsets.size());
  if (!rewind()) {
    return lines;
  }
  // Walks the lines; a line ends at the offset behind its line end.
  std::int64_t line = 1;
  for (const std::int64_t offset : offsets) {
    while (textOffset() <= offset && !(pos_ == end_ && !refill())) {
      const auto* lineEnd =
          static_cast<const char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
      if (lineEnd == nullptr) {
        pos_ = end_;
      } else if (textOffsetAt(lineEnd) < offset) {
        pos_ = lineEnd + 1;
        ++line;
      } else {
        break;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

void InputReader::keepLineHead(const char* discardEnd) {
  const char* newline = lastNewline(buffer_.data(), discardEnd);
  const char* start = newline != nullptr ? newline + 1 : buffer_.data();
  if (newline == nullptr && lineHeadKept_) {
    return;  // the line began before this buffer; its head is kept already
  }
  lineHeadKept_ = start != discardEnd;
  if (lineHeadKept_) {
    lineHead_.assign(start, std::min(kLineHeadLength, static_cast<std::size_t>(end_ - start)));
  }
}

std::string InputReader::lineHeadAt(const char* position) const {
  const char* newline = lastNewline(buffer_.data(), position);
  if (newline == nullptr && lineHeadKept_) {
    return lineHead_;
  }
  const char* start = newline != nullptr ? newline + 1 : buffer_.data();
  return std::string(start, std::min(kLineHeadLength, static_cast<std::size_t>(end_ - start)));
}

void InputReader::noteFailure(const char* token) {
  FailedToken failure;
  failure.offset = textOffsetAt(token);
  failure.lineStartsWithNumber = numberConversionResult(lineHeadAt(token).c_str()) == 1;
  failure.text = quoteAhead(token - pos_);  // may read on: `token` is not used after it
  firstFailure_ = std::move(failure);
}

bool InputReader::readLine(std::string& line) {
  line.clear();
  for (;;) {
    if (pos_ == end_ && !refill()) {
      return !line.empty();
    }
    const auto* lineEnd =
        static_cast<const char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
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
  for (;;) {
    if (pos_ == end_ && !refill()) {
      return;
    }
    const auto* lineEnd =
        static_cast<const char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
    if (lineEnd != nullptr) {
      pos_ = lineEnd + 1;
      return;
    }
    pos_ = end_;
  }
}

}  // namespace skarvel
