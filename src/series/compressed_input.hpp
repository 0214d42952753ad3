// Compressed input, told by its first bytes: gzip (several members too), zstd (several frames
// too), xz and bzip2, each decoded by its library where the build has it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "byte_stream.hpp"

namespace skarvel {

enum class Compression { none, gzip, zstd, xz, bzip2 };

// Bytes compressionOf needs to tell every format.
inline constexpr std::size_t kMagicBytes = 6;

// The format whose magic number `start` (the input's first kMagicBytes, fewer when it is
// shorter) begins with; none for anything else.
Compression compressionOf(std::string_view start);
// "gzip", "zstd", "xz", "bzip2"; "none".
std::string_view compressionName(Compression compression);
// The file name suffix of the format: ".gz", ".zst", ".xz", ".bz2"; empty for none.
std::string_view compressionSuffix(Compression compression);
// Nothing when this build decodes `compression`; else why not, naming the library's package.
std::optional<std::string> missingDecoder(Compression compression);
// The decoded bytes of `compressed`, decoded on a thread of its own ahead of the reads; for none,
// `compressed` itself. Members, frames or streams one after another decode as one stream. A
// corrupt one, one cut short, or other data after the last one (zero bytes after gzip and xz
// aside) ends the stream with an error that names the compressed byte, counted from the start of
// `compressed`: "corrupt gzip data at compressed byte 1234", "gzip data ends early at compressed
// byte 5678", "unexpected data after the gzip data at compressed byte 910". An error of
// `compressed` is passed on as it is; a format without its decoder fails at once with
// missingDecoder's text.
std::unique_ptr<ByteStream> decompressed(std::unique_ptr<ByteStream> compressed,
                                         Compression compression);

}  // namespace skarvel
