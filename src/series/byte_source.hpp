// Where the input's bytes come from: an open file or bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace skarvel {

// An open file (not owned), or bytes in memory, which tests feed as literal text.
class ByteSource {
 public:
  static ByteSource ofFile(std::FILE* file) { return ByteSource(file, {}); }
  static ByteSource ofBytes(std::string_view bytes) { return ByteSource(nullptr, bytes); }

  // Reads up to `capacity` bytes into `into`; fewer only at the end or on an error.
  std::size_t read(char* into, std::size_t capacity);
  // Repositions to the first byte. False when the source cannot be repositioned.
  bool rewind();
  // Repositions to byte `offset` from the start. False when the source cannot be repositioned.
  bool seek(std::int64_t offset);
  // True after a read error (not at a plain end).
  bool failed() const { return failed_; }
  // The system's error number of the read error.
  int errorNumber() const { return errorNumber_; }
  // Bytes read so far.
  std::uint64_t bytesRead() const { return bytesRead_; }

 private:
  ByteSource(std::FILE* file, std::string_view bytes) : file_(file), bytes_(bytes) {}

  std::FILE* file_;
  std::string_view bytes_;
  std::size_t offset_ = 0;
  std::uint64_t bytesRead_ = 0;
  bool failed_ = false;
  int errorNumber_ = 0;
};

}  // namespace skarvel
