#include "read_settings.hpp"

#include <gtest/gtest.h>

#include <cstddef>

namespace skarvel {
namespace {

TEST(ReadSettings, FromTheEnvironmentTexts) {
  const RowScanKind avx2OrBest =
      rowScanKindAvailable(RowScanKind::avx2) ? RowScanKind::avx2 : bestRowScanKind();
  struct Case {
    const char* chunkBytes;
    const char* rowScan;
    std::size_t expectedChunkBytes;
    RowScanKind expectedRowScan;
  };
  const Case cases[] = {
      {nullptr, nullptr, kDefaultChunkBytes, bestRowScanKind()},
      {"4096", "scalar", 4096, RowScanKind::scalar},
      {"0", "avx2", kDefaultChunkBytes, avx2OrBest},
      {"-5", "AVX2", kDefaultChunkBytes, bestRowScanKind()},
      {"", "", kDefaultChunkBytes, bestRowScanKind()},
      {"many", "vector", kDefaultChunkBytes, bestRowScanKind()},
  };
  for (const Case& c : cases) {
    const ReadSettings settings = readSettingsFrom(c.chunkBytes, c.rowScan);
    const char* what = c.chunkBytes != nullptr ? c.chunkBytes : "null";
    EXPECT_EQ(settings.chunkBytes, c.expectedChunkBytes) << what;
    EXPECT_EQ(settings.rowScan, c.expectedRowScan) << what;
    EXPECT_EQ(settings.blockBytes, kDefaultBlockBytes) << what;
    EXPECT_TRUE(settings.missingTexts.empty()) << what;
  }
}

}  // namespace
}  // namespace skarvel
