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

TEST(ByteSource, ReadsOnceKeepingTheStartUntilItIsForgotten) {
  const std::string bytes = "0123456789";
  const platform::FileHandle file = testing::fileWith(bytes);
  for (const bool fromFile : {false, true}) {
    ByteSource source = fromFile ? ByteSource::ofFile(file.get()) : ByteSource::ofBytes(bytes);
    EXPECT_EQ(readFrom(source, 4), "0123");
    ASSERT_TRUE(source.rewind());
    EXPECT_EQ(readFrom(source, 2), "01");
    source.forgetStart();
    EXPECT_EQ(readFrom(source, 3), "234");  // the kept bytes, then the stream
    EXPECT_EQ(source.bytesRead(), 5u);
    source.unread("34");
    EXPECT_EQ(source.bytesRead(), 3u);
    EXPECT_EQ(readFrom(source, 20), "3456789");
    EXPECT_EQ(source.sourceBytes(), 10u);
    EXPECT_FALSE(source.rewind());  // the start is gone
    ASSERT_TRUE(source.error());
  }
}

}  // namespace
}  // namespace skarvel
