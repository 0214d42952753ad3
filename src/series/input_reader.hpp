// Reading the input: large blocks from a file or from memory, translated as Windows text mode
// reads them, offered as lines and as number tokens with stream-conversion semantics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "number_scan.hpp"

namespace skarvel {

// Where the input's bytes come from: an open file (not owned), or bytes in memory, which tests
// feed as literal text.
class ByteSource {
 public:
  static ByteSource ofFile(std::FILE* file) { return ByteSource(file, {}); }
  static ByteSource ofBytes(std::string_view bytes) { return ByteSource(nullptr, bytes); }

  // Reads up to `capacity` bytes into `into`; fewer only at the end or on an error.
  std::size_t read(char* into, std::size_t capacity);
  // Repositions to the first byte. False when the source cannot be repositioned.
  bool rewind();
  // True after a read error (not at a plain end).
  bool failed() const { return failed_; }

 private:
  ByteSource(std::FILE* file, std::string_view bytes) : file_(file), bytes_(bytes) {}

  std::FILE* file_;
  std::string_view bytes_;
  std::size_t offset_ = 0;
  bool failed_ = false;
};

// Reads a file as text the way text mode on Windows reads it, on every platform: CR LF reads as
// LF and a Ctrl-Z byte ends the input. Reads in large blocks; offers whole lines, white-space
// separated number tokens with stream-conversion semantics, and a rewind.
class InputReader {
 public:
  explicit InputReader(ByteSource source);

  // Reads the next line, line end included, into `line` (replacing its content). False when
  // the input has ended before any character could be read.
  bool readLine(std::string& line);

  // Skips the rest of the current line, its line end included.
  void skipLine();

  // Skips white space, then reads one integer or one decimal number as a formatted stream
  // conversion does. False when the conversion fails or the input has ended; characters the
  // conversion consumed stay consumed.
  bool readInt(std::int32_t& value);
  bool readDouble(double& value);

  // Repositions to the start of the input. False when the input cannot be repositioned.
  bool rewind();

  // True after a read error of the source (not at a plain end of the input).
  bool failed() const { return source_.failed(); }

 private:
  bool skipSpace();
  bool refill();
  // Skips white space and scans one number with `scan`, refilling when it reaches the end of
  // the buffered text.
  template <typename Number, typename Scan>
  bool readNumber(Number& value, Scan scan);
  // Bytes the buffer can hold as text, without the sentinel and padding behind it.
  std::size_t capacity() const { return buffer_.size() - kReadPadding; }
  std::size_t readBlock(char* into, std::size_t size);
  std::size_t translateTextMode(char* data, std::size_t size);
  void clearBuffer();

  ByteSource source_;
  std::vector<char> buffer_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool sourceDone_ = false;
  bool heldCarriageReturn_ = false;
};

}  // namespace skarvel
