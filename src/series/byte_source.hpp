// Where the input's bytes come from: a stream read once, front to back. The bytes read since the
// start are kept until the reading no longer needs to go back to the start, so an input that
// cannot be sought (a pipe, a decoded stream) is read only once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "byte_stream.hpp"

namespace skarvel {

class ByteSource {
 public:
  // The bytes kept for going back to the start at most; beyond them the start is lost.
  static constexpr std::size_t kKeepLimit = std::size_t{64} << 20;

  static ByteSource ofStream(std::unique_ptr<ByteStream> stream) {
    return ByteSource(std::move(stream));
  }
  // An open file (not owned), from where it stands.
  static ByteSource ofFile(std::FILE* file) { return ofStream(fileStream(file)); }
  // Bytes in memory, which outlive the source; tests feed them as literal text.
  static ByteSource ofBytes(std::string_view bytes) { return ofStream(memoryStream(bytes)); }

  // Reads up to `capacity` bytes into `into`; fewer only at the end or on an error.
  std::size_t read(char* into, std::size_t capacity);
  // Goes back to the first byte, which is read again from the kept bytes. False, with an error,
  // once the start is lost: kept no longer, or more than kKeepLimit bytes read.
  bool rewind();
  // Keeps no more bytes: the source is read on from where it stands, never from the start again.
  void forgetStart();
  // Puts `bytes`, the last ones read, back in front of what is left to read. Only once the start
  // is forgotten.
  void unread(std::string_view bytes);

  // The error that ended the reading, if any.
  const std::optional<ReadError>& error() const { return error_; }
  // Bytes read so far, less the bytes put back: the offset of the next byte.
  std::uint64_t bytesRead() const { return bytesRead_; }
  // Bytes taken from the file or memory underneath (the encoded bytes of a decoded stream).
  std::uint64_t sourceBytes() const { return stream_->sourceBytes(); }

 private:
  explicit ByteSource(std::unique_ptr<ByteStream> stream) : stream_(std::move(stream)) {}
  std::size_t readStream(char* into, std::size_t capacity);

  std::unique_ptr<ByteStream> stream_;
  // Bytes read before: kept from the start, or put back. The next ones come from heldAt_ on.
  std::vector<char> held_;
  std::size_t heldAt_ = 0;
  bool keeping_ = true;
  std::uint64_t bytesRead_ = 0;
  std::optional<ReadError> error_;
};

}  // namespace skarvel
