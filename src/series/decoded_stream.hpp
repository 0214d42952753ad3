// The decoded bytes of an encoded stream, made on a thread of its own ahead of the reader: the
// thread reads the encoded stream a block at a time, decodes it member after member, and hands
// the decoded bytes over in a few buffers it reuses, so the memory taken does not grow with the
// input. A member's end is followed by the end of the input, by another member, or (where the
// format allows) by zero bytes; anything else is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "byte_stream.hpp"
#include "compressed_input.hpp"
#include "member_decoder.hpp"

namespace skarvel {

struct DecodeBuffers {
  std::size_t readBytes = std::size_t{1} << 20;    // one read of the encoded stream
  std::size_t bufferBytes = std::size_t{1} << 20;  // one buffer of decoded bytes
  std::size_t bufferCount = 4;                     // buffers decoded ahead of the reader
};

// The bytes `decoder` decodes from `encoded`, a stream of `compression`. The errors name the
// encoded byte where it went wrong, counted from the start of `encoded`; an error of `encoded` is
// passed on as it is.
std::unique_ptr<ByteStream> decodedStream(std::unique_ptr<ByteStream> encoded,
                                          std::unique_ptr<MemberDecoder> decoder,
                                          Compression compression, DecodeBuffers buffers = {});
// A stream that has failed with `error` before giving any byte.
std::unique_ptr<ByteStream> failedStream(ReadError error, std::uint64_t sourceBytes);

}  // namespace skarvel
