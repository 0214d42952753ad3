#include "input_reader.hpp"

#include <algorithm>
#include <cstring>

namespace skarvel {

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;
constexpr char kCtrlZ = '\x1A';

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
    return got;
  }
  const std::size_t got = std::fread(into, 1, capacity, file_);
  if (got < capacity && std::ferror(file_) != 0) {
    failed_ = true;
  }
  return got;
}

bool ByteSource::rewind() {
  if (file_ == nullptr) {
    offset_ = 0;
    return true;
  }
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    failed_ = true;
    return false;
  }
  std::clearerr(file_);
  return true;
}

InputReader::InputReader(ByteSource source) : source_(source), buffer_(kReadBlock + kReadPadding) {
  clearBuffer();
}

void InputReader::clearBuffer() {
  pos_ = end_ = buffer_.data();
  buffer_[0] = '\0';
  sourceDone_ = false;
  heldCarriageReturn_ = false;
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
  return got;
}

std::size_t InputReader::translateTextMode(char* data, std::size_t size) {
  if (const void* ctrlZ = std::memchr(data, kCtrlZ, size)) {
    size = static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - data);
    sourceDone_ = true;
  }
  char* carriageReturn = static_cast<char*>(std::memchr(data, '\r', size));
  if (carriageReturn == nullptr) {
    return size;
  }
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
bool InputReader::readNumber(Number& value, Scan scan) {
  if (!skipSpace()) {
    return false;
  }
  for (;;) {
    const NumberScan scanned = scan(pos_, value);
    if (scanned.next != end_ || sourceDone_) {
      pos_ = scanned.next;
      return scanned.ok;
    }
    refill();  // the token may go on in the next block: scan it again from its start
  }
}

bool InputReader::readInt(std::int32_t& value) {
  return readNumber(value, scanInt32);
}

bool InputReader::readDouble(double& value) {
  return readNumber(value, scanDoublePadded);
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
