// Header names in UTF-8 whatever their encoding: valid UTF-8 stays, anything else is
// Windows-1252.
#include "text_encoding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace skarvel {
namespace {

TEST(TextEncoding, KeepsValidUtf8AndReadsTheRestAsWindows1252) {
  const std::pair<std::string, std::string> cases[] = {
      {"discharge[m3/s]", "discharge[m3/s]"},
      {"Temperatur[\xC2\xB0"
       "C]",
       "Temperatur[\xC2\xB0"
       "C]"},  // UTF-8 already
      {"Temperatur[\xB0"
       "C]",
       "Temperatur[\xC2\xB0"
       "C]"},                                                // Latin-1 degree sign
      {"\x80 \x9F \x81", "\xE2\x82\xAC \xC5\xB8 \xC2\x81"},  // euro, Y diaeresis, unassigned
      {"\xF0\x9F\x8C\x8A", "\xF0\x9F\x8C\x8A"},              // four bytes
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                      // overlong
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},      // a surrogate
      {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},                  // cut short
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // above U+10FFFF
  };
  for (const auto& [text, utf8] : cases) {
    EXPECT_EQ(utf8Text(text), utf8) << text;
    EXPECT_TRUE(isValidUtf8(utf8Text(text))) << text;
  }
}

}  // namespace
}  // namespace skarvel
