// Buffered text output to an averages file or the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "platform.hpp"

namespace skarvel {

// Memory for text that is not cleared when it is allocated, so pages a writer never fills are
// never touched.
class TextBuffer {
 public:
  explicit TextBuffer(std::size_t size) : bytes_(new char[size]), size_(size) {}
  TextBuffer(TextBuffer&& other) noexcept
      : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)) {}
  TextBuffer& operator=(TextBuffer&& other) noexcept {
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }

  char* data() { return bytes_.get(); }
  const char* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  char& operator[](std::size_t i) { return bytes_[i]; }
  // Grows to `size` bytes, keeping the first `kept`.
  void grow(std::size_t size, std::size_t kept);

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
};

// Buffered text output to a file. Records the first failure to write; writing on after a
// failure does nothing.
class TextWriter {
 public:
  // Writes to a file it owns and closes.
  explicit TextWriter(platform::FileHandle file);
  // Writes to a file that stays open, such as the console.
  static TextWriter borrowing(std::FILE* file);
  // Takes text and writes it nowhere.
  static TextWriter discarding();
  // Keeps all text in memory, growing as needed, until clearCollected().
  static TextWriter collecting();

  TextWriter(TextWriter&& other) noexcept;
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;
  TextWriter& operator=(TextWriter&&) = delete;
  ~TextWriter();

  void write(std::string_view text);
  void put(char c);
  void writeInt(std::int64_t value);
  void writeNumber(double value);
  // The shortest text that reads back as the same double; "inf", "-inf", "nan".
  void writeShortestNumber(double value);

  // Writes the buffer to the file. False when this or an earlier write failed.
  bool flush();
  // Flushes and, for an owned file, closes it; the writer then writes nothing more to the file.
  // False when any write or the close failed.
  bool close();
  bool failed() const { return failed_; }
  // The text a collecting writer holds.
  std::string_view collected() const { return {buffer_.data(), used_}; }
  void clearCollected() { used_ = 0; }
  // True when the last byte written is a line end, or nothing was written.
  bool atLineStart() const {
    return used_ > 0 ? buffer_.data()[used_ - 1] == '\n' : lastFlushed_ == '\n';
  }
  // The system's error number of the first failure.
  int errorNumber() const { return errorNumber_; }

 private:
  TextWriter(platform::FileHandle owned, std::FILE* file, std::size_t bufferSize);
  char* reserve(std::size_t size);
  // Makes room for `size` more bytes: flushes, or grows the buffer of a collecting writer.
  void makeRoom(std::size_t size);
  void fail();
  // Writes text longer than the buffer past it, once the buffer is empty. Kept out of line:
  // inlined into write(), g++ 12 with link-time optimisation reports a false buffer overflow.
  [[gnu::noinline]] void writeDirectly(std::string_view text);

  platform::FileHandle owned_;
  std::FILE* file_;
  bool failed_ = false;
  int errorNumber_ = 0;
  TextBuffer buffer_;
  std::size_t used_ = 0;
  bool collecting_ = false;
  char lastFlushed_ = '\n';  // the last byte that left the buffer
};

}  // namespace skarvel
