#include "compressed_input.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "decoded_stream.hpp"
#include "member_decoder.hpp"
#include "platform.hpp"

namespace skarvel {

namespace {

struct Format {
  Compression compression;
  std::string_view name;
  std::string_view suffix;
  std::string_view magic;
  // The library that decodes it, and its Debian package; for Windows the MinGW-w64 one, empty
  // where there is none.
  std::string_view library;
  std::string_view windowsLibrary;

  std::string_view libraryHere() const {
    return platform::kWindowsBuild ? windowsLibrary : library;
  }
};

constexpr std::array kFormats{
    Format{Compression::gzip, "gzip", ".gz", kGzipMagic,
           "ISA-L or zlib (package libisal-dev or zlib1g-dev)",
           "zlib (package libz-mingw-w64-dev)"},
    Format{Compression::zstd, "zstd", ".zst", kZstdMagic, "libzstd (package libzstd-dev)", ""},
    Format{Compression::xz, "xz", ".xz", kXzMagic, "liblzma (package liblzma-dev)", ""},
    Format{Compression::bzip2, "bzip2", ".bz2", kBzip2Magic, "libbz2 (package libbz2-dev)", ""},
};

// Of a compression other than none.
const Format& formatOf(Compression compression) {
  return *std::find_if(kFormats.begin(), kFormats.end(),
                       [&](const Format& format) { return format.compression == compression; });
}

bool beginsWith(const Format& format, std::string_view start) {
  if (format.compression == Compression::bzip2) {  // "BZh" and the block size, '1' to '9'
    return start.size() > format.magic.size() && start.starts_with(format.magic) &&
           start[format.magic.size()] >= '1' && start[format.magic.size()] <= '9';
  }
  return start.starts_with(format.magic);
}

}  // namespace

Compression compressionOf(std::string_view start) {
  for (const Format& format : kFormats) {
    if (beginsWith(format, start)) {
      return format.compression;
    }
  }
  return Compression::none;
}

std::string_view compressionName(Compression compression) {
  return compression == Compression::none ? "none" : formatOf(compression).name;
}

std::string_view compressionSuffix(Compression compression) {
  return compression == Compression::none ? "" : formatOf(compression).suffix;
}

std::unique_ptr<MemberDecoder> memberDecoder(Compression compression) {
  switch (compression) {
#if defined(SKARVEL_HAVE_ISAL) || defined(SKARVEL_HAVE_ZLIB)
    case Compression::gzip:
      return gzipDecoder();
#endif
#ifdef SKARVEL_HAVE_ZSTD
    case Compression::zstd:
      return zstdDecoder();
#endif
#ifdef SKARVEL_HAVE_LZMA
    case Compression::xz:
      return xzDecoder();
#endif
#ifdef SKARVEL_HAVE_BZIP2
    case Compression::bzip2:
      return bzip2Decoder();
#endif
    default:
      return nullptr;
  }
}

std::optional<std::string> missingDecoder(Compression compression) {
  if (compression == Compression::none || memberDecoder(compression)) {
    return std::nullopt;
  }
  const Format& format = formatOf(compression);
  if (format.libraryHere().empty()) {
    return std::string(format.name) + " input is not supported by the Windows build";
  }
  return std::string(format.name) + " input needs skarvel built with " +
         std::string(format.libraryHere());
}

std::unique_ptr<ByteStream> decompressed(std::unique_ptr<ByteStream> compressed,
                                         Compression compression) {
  if (compression == Compression::none) {
    return compressed;
  }
  std::unique_ptr<MemberDecoder> decoder = memberDecoder(compression);
  if (!decoder) {
    return failedStream(ReadError{0, *missingDecoder(compression)}, compressed->sourceBytes());
  }
  return decodedStream(std::move(compressed), std::move(decoder), compression);
}

}  // namespace skarvel
