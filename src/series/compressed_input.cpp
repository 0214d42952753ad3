#include "compressed_input.hpp"

namespace skarvel {

// Placeholder until the decoders land: nothing is taken as compressed.
Compression compressionOf(std::string_view /*start*/) {
  return Compression::none;
}
std::string_view compressionName(Compression /*compression*/) {
  return "none";
}
std::string_view compressionSuffix(Compression /*compression*/) {
  return {};
}
std::optional<std::string> missingDecoder(Compression compression) {
  if (compression == Compression::none) {
    return std::nullopt;
  }
  return "not built with decoders";
}
std::unique_ptr<ByteStream> decompressed(std::unique_ptr<ByteStream> compressed,
                                         Compression /*compression*/) {
  return compressed;
}

}  // namespace skarvel
