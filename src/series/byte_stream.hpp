// A stream of input bytes: an open file, bytes in memory, or another stream decoded (see
// compressed_input.hpp). Streams are read once, front to back; nothing is sought or rewound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace skarvel {

// Why a read failed: a system error number, or a description where the system gave none.
struct ReadError {
  int errorNumber = 0;
  // Names what is wrong, for "error reading file NAME: <description>"; empty: the system's text
  // for errorNumber.
  std::string description;
};

class ByteStream {
 public:
  ByteStream() = default;
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;
  virtual ~ByteStream() = default;

  // Reads up to `capacity` bytes into `into`; fewer only at the end or on an error.
  virtual std::size_t read(char* into, std::size_t capacity) = 0;
  // The error that ended the stream, once a read has failed.
  virtual std::optional<ReadError> error() const = 0;
  // Bytes taken from the file or memory underneath so far (for a decoded stream: the encoded
  // bytes it has consumed).
  virtual std::uint64_t sourceBytes() const = 0;
};

// The bytes of `file`, which stays open and owned by the caller, from where it stands.
std::unique_ptr<ByteStream> fileStream(std::FILE* file);
// The bytes of `bytes`, which outlive the stream.
std::unique_ptr<ByteStream> memoryStream(std::string_view bytes);
// `prefix` (bytes already taken from `rest`), then the bytes of `rest`.
std::unique_ptr<ByteStream> prefixedStream(std::string prefix, std::unique_ptr<ByteStream> rest);

}  // namespace skarvel
