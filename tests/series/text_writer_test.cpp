#include "text_writer.hpp"

#include <gtest/gtest.h>

#include <string>

#include "temp_input.hpp"

namespace skarvel {
namespace {

TEST(TextWriter, WritesThroughItsBuffer) {
  platform::FileHandle file = testing::scratchFile();
  {
    TextWriter writer = TextWriter::borrowing(file.get());
    writer.write("a\t");
    writer.writeInt(-42);
    writer.put('\t');
    writer.writeNumber(1234567.0);
    writer.write(std::string(3'000'000, 'z'));
    writer.put('\n');
    EXPECT_TRUE(writer.close());
  }
  const std::string content = testing::contentOf(file.get());
  EXPECT_EQ(content.substr(0, 18), "a\t-42\t1.23457e+006");
  EXPECT_EQ(content.size(), 18u + 3'000'000u + 1u);
}

}  // namespace
}  // namespace skarvel
