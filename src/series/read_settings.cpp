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

RowScanKind rowScanFrom(std::string_view name) {
  if (name == "scalar") {
    return RowScanKind::scalar;
  }
  if (name == "avx2" && rowScanKindAvailable(RowScanKind::avx2)) {
    return RowScanKind::avx2;
  }
  return bestRowScanKind();
}

}  // namespace

ReadSettings readSettingsFrom(const char* chunkBytesText, const char* rowScanText) {
  ReadSettings settings;
  settings.chunkBytes = chunkBytesFrom(chunkBytesText != nullptr ? chunkBytesText : "");
  settings.rowScan = rowScanFrom(rowScanText != nullptr ? rowScanText : "");
  return settings;
}

}  // namespace skarvel
