#include "text_writer.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "number_format.hpp"

namespace skarvel {

namespace {

constexpr std::size_t kWriteBlock = std::size_t{1} << 20;
constexpr std::size_t kCollectStart = std::size_t{64} << 10;
// Text written nowhere needs only room for the longest single item.
constexpr std::size_t kDiscardBlock = std::size_t{4} << 10;

}  // namespace

void TextBuffer::grow(std::size_t size, std::size_t kept) {
  std::unique_ptr<char[]> larger(new char[size]);
  std::memcpy(larger.get(), bytes_.get(), kept);
  bytes_ = std::move(larger);
  size_ = size;
}

TextWriter::TextWriter(platform::FileHandle owned, std::FILE* file, std::size_t bufferSize)
    : owned_(std::move(owned)), file_(file), buffer_(bufferSize) {}

TextWriter::TextWriter(platform::FileHandle file)
    : TextWriter(std::move(file), nullptr, kWriteBlock) {
  file_ = owned_.get();
}

TextWriter TextWriter::borrowing(std::FILE* file) {
  return TextWriter(nullptr, file, kWriteBlock);
}

TextWriter TextWriter::discarding() {
  return TextWriter(nullptr, nullptr, kDiscardBlock);
}

TextWriter TextWriter::collecting() {
  TextWriter writer(nullptr, nullptr, kCollectStart);
  writer.collecting_ = true;
  return writer;
}

void TextWriter::makeRoom(std::size_t size) {
  if (!collecting_) {
    flush();
    return;
  }
  std::size_t capacity = buffer_.size();
  while (capacity - used_ < size) {
    capacity *= 2;
  }
  buffer_.grow(capacity, used_);
}

void TextWriter::fail() {
  if (!failed_) {
    failed_ = true;
    errorNumber_ = errno;
  }
}

TextWriter::TextWriter(TextWriter&& other) noexcept
    : owned_(std::move(other.owned_)),
      file_(std::exchange(other.file_, nullptr)),
      failed_(other.failed_),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)),
      collecting_(other.collecting_),
      lastFlushed_(other.lastFlushed_) {}

TextWriter::~TextWriter() {
  if (file_ != nullptr) {
    flush();
  }
}

char* TextWriter::reserve(std::size_t size) {
  if (buffer_.size() - used_ < size) {
    makeRoom(size);
  }
  return buffer_.data() + used_;
}

void TextWriter::write(std::string_view text) {
  if (text.size() > buffer_.size() - used_) {
    makeRoom(text.size());
    if (text.size() > buffer_.size() - used_) {
      writeDirectly(text);
      return;
    }
  }
  std::memcpy(buffer_.data() + used_, text.data(), text.size());
  used_ += text.size();
}

void TextWriter::writeDirectly(std::string_view text) {
  if (!text.empty()) {
    lastFlushed_ = text.back();
  }
  if (!failed_ && file_ != nullptr &&
      std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    fail();
  }
}

void TextWriter::put(char c) {
  if (used_ == buffer_.size()) {
    makeRoom(1);
  }
  buffer_[used_++] = c;
}

void TextWriter::writeInt(std::int64_t value) {
  char* out = reserve(24);
  used_ = static_cast<std::size_t>(std::to_chars(out, out + 24, value).ptr - buffer_.data());
}

void TextWriter::writeNumber(double value) {
  char* out = reserve(kMaxNumberText);
  used_ = static_cast<std::size_t>(formatNumber(out, value) - buffer_.data());
}

void TextWriter::writeShortestNumber(double value) {
  if (std::isnan(value)) {
    write("nan");  // never "-nan"
    return;
  }
  constexpr std::size_t kLongest = 32;
  char* out = reserve(kLongest);
  used_ = static_cast<std::size_t>(std::to_chars(out, out + kLongest, value).ptr - buffer_.data());
}

bool TextWriter::flush() {
  if (collecting_) {
    return true;
  }
  if (used_ > 0) {
    lastFlushed_ = buffer_.data()[used_ - 1];
  }
  if (file_ == nullptr) {
    used_ = 0;
    return !failed_;
  }
  if (!failed_ && used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
    fail();
  }
  used_ = 0;
  if (!failed_ && std::fflush(file_) != 0) {
    fail();
  }
  return !failed_;
}

bool TextWriter::close() {
  flush();
  if (owned_ && std::fclose(owned_.release()) != 0) {
    fail();
  }
  file_ = nullptr;
  return !failed_;
}

}  // namespace skarvel
