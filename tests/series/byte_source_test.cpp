#include "byte_source.hpp"

#include <gtest/gtest.h>

#include <string>

#include "temp_input.hpp"

namespace skarvel {
namespace {

// Reads up to `count` bytes of `source`.
std::string readFrom(ByteSource& source, std::size_t count) {
  std::string bytes(count, '\0');
  bytes.resize(source.read(bytes.data(), count));
  return bytes;
}

TEST(ByteSource, ReadsSeeksAndRewindsFilesAsBytesInMemory) {
  const std::string bytes = "0123456789";
  const platform::FileHandle file = testing::fileWith(bytes);
  for (ByteSource source : {ByteSource::ofBytes(bytes), ByteSource::ofFile(file.get())}) {
    EXPECT_EQ(readFrom(source, 4), "0123");
    EXPECT_EQ(source.bytesRead(), 4u);
    ASSERT_TRUE(source.seek(7));
    EXPECT_EQ(readFrom(source, 4), "789");  // fewer at the end
    EXPECT_EQ(source.bytesRead(), 10u);
    EXPECT_EQ(readFrom(source, 4), "");
    ASSERT_TRUE(source.rewind());
    EXPECT_EQ(source.bytesRead(), 0u);
    EXPECT_EQ(readFrom(source, 2), "01");
    EXPECT_FALSE(source.failed());
  }
}

}  // namespace
}  // namespace skarvel
