#include "read_settings.hpp"

#include <charconv>
#include <string_view>
#include <system_error>

namespace skarvel {

namespace {

std::size_t chunkBytesFrom(std::string_view text) {
  std::size_t bytes = 0;
  const std::from_chars_result result =
      std::from_chars(text.data(), text.data() + text.size(), bytes);
  return result.ec != std::errc() || bytes == 0 ? kDefaultChunkBytes : bytes;
}

}  // namespace

ReadSettings readSettingsFrom(const char* chunkBytesText) {
  ReadSettings settings;
  settings.chunkBytes = chunkBytesFrom(chunkBytesText != nullptr ? chunkBytesText : "");
  return settings;
}

}  // namespace skarvel
