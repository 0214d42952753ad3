// One format's library behind compressed input: it decodes one member of the input at a time (a
// gzip member, a zstd frame, an xz or a bzip2 stream), and tells the start of a following member
// from other data. decoded_stream.hpp strings the members together.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <limits>
#include <memory>
#include <span>
#include <string_view>

#include "compressed_input.hpp"

namespace skarvel {

inline constexpr std::string_view kGzipMagic{"\x1f\x8b\x08", 3};
inline constexpr std::string_view kZstdMagic{"\x28\xb5\x2f\xfd", 4};
inline constexpr std::string_view kXzMagic{"\xfd\x37\x7a\x58\x5a\x00", 6};
// Followed by the block size, '1' to '9'.
inline constexpr std::string_view kBzip2Magic{"BZh", 3};

// Whether `next` and `magic` agree over the bytes both have: `next` may begin with `magic`.
inline bool agreesWith(std::string_view magic, std::string_view next) {
  return next.substr(0, magic.size()) == magic.substr(0, next.size());
}

// `size`, or the largest unsigned int where it is larger: the lengths zlib, ISA-L and libbz2 take.
inline unsigned clampedSize(std::size_t size) {
  return static_cast<unsigned>(std::min<std::size_t>(size, std::numeric_limits<unsigned>::max()));
}

class MemberDecoder {
 public:
  enum class Outcome { decoding, memberEnd, corrupt, outOfMemory };
  struct Step {
    std::size_t consumed = 0;
    std::size_t produced = 0;
    Outcome outcome = Outcome::decoding;
  };

  MemberDecoder() = default;
  MemberDecoder(const MemberDecoder&) = delete;
  MemberDecoder& operator=(const MemberDecoder&) = delete;
  virtual ~MemberDecoder() = default;

  // Ready for a member, the one before forgotten; false when memory ran out.
  virtual bool restart() = 0;
  // Decodes what it can of `input` into `output` (which has room). Still decoding with nothing
  // consumed or produced: it needs more input.
  virtual Step decode(std::span<const char> input, std::span<char> output) = 0;
  // Whether `next`, the bytes after a member (kMagicBytes of them, fewer at the end of the
  // input), may begin another member.
  virtual bool beginsMember(std::string_view next) const = 0;
  // Whether zero bytes may follow a member.
  virtual bool takesZeroPadding() const { return false; }
};

// The outcome of a library's status code: `decoding` codes go on, `memberEnd` ends the member,
// `outOfMemory` says so, anything else is corrupt data.
inline MemberDecoder::Outcome outcomeOf(int status, std::initializer_list<int> decoding,
                                        int memberEnd, int outOfMemory) {
  using Outcome = MemberDecoder::Outcome;
  if (std::find(decoding.begin(), decoding.end(), status) != decoding.end()) {
    return Outcome::decoding;
  }
  if (status == memberEnd) {
    return Outcome::memberEnd;
  }
  return status == outOfMemory ? Outcome::outOfMemory : Outcome::corrupt;
}

// The decoders, each built where its library is found (cmake/compression.cmake): gzip through
// ISA-L or zlib, zstd through libzstd, xz through liblzma, bzip2 through libbz2.
std::unique_ptr<MemberDecoder> gzipDecoder();
std::unique_ptr<MemberDecoder> zstdDecoder();
std::unique_ptr<MemberDecoder> xzDecoder();
std::unique_ptr<MemberDecoder> bzip2Decoder();

// The decoder of `compression` in this build; null when it has none.
std::unique_ptr<MemberDecoder> memberDecoder(Compression compression);

}  // namespace skarvel
