#include "read_settings.hpp"

#include <gtest/gtest.h>

#include <cstddef>

namespace skarvel {
namespace {

TEST(ReadSettings, FromTheEnvironmentTexts) {
  struct Case {
    const char* chunkBytes;
    std::size_t expectedChunkBytes;
  };
  const Case cases[] = {
      {nullptr, kDefaultChunkBytes}, {"4096", 4096},           {"0", kDefaultChunkBytes},
      {"-5", kDefaultChunkBytes},    {"", kDefaultChunkBytes}, {"many", kDefaultChunkBytes},
  };
  for (const Case& c : cases) {
    const ReadSettings settings = readSettingsFrom(c.chunkBytes);
    const char* what = c.chunkBytes != nullptr ? c.chunkBytes : "null";
    EXPECT_EQ(settings.chunkBytes, c.expectedChunkBytes) << what;
    EXPECT_EQ(settings.blockBytes, kDefaultBlockBytes) << what;
    EXPECT_TRUE(settings.missingTexts.empty()) << what;
  }
}

}  // namespace
}  // namespace skarvel
