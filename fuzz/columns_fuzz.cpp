// The column count of a first data row against a plain implementation of the same cutting
// rules (four stamp tokens, a tab appended, then number tokens until the first other one).
#include <cstdint>
#include <string>

#include "analysis.hpp"
#include "reference.hpp"

using namespace skarvel;
using namespace skarvel::fuzzing;

namespace {

// Cuts the leading token: at the first blank or tab, then over all blanks and tabs.
bool referenceCut(std::string& text, bool needSeparator) {
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ' || text[i] == '\t') {
      cut = i;
      break;
    }
  }
  if (cut == std::string::npos) {
    if (needSeparator) {
      return false;
    }
    cut = 0;
  }
  while (cut < text.size() && (text[cut] == ' ' || text[cut] == '\t')) {
    ++cut;
  }
  text.erase(0, cut);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::string rest;
  const std::int32_t columns = countColumns(line, rest);

  std::string text = line;
  std::int32_t expected = 0;
  bool stamp = true;
  for (int field = 0; field < 4 && stamp; ++field) {
    stamp = referenceCut(text, true);
  }
  if (!stamp) {
    text.clear();
  } else {
    text += '\t';
    int result = 0;
    do {
      result = referenceConversion(text.c_str());
      referenceCut(text, false);
      if (result > 0) {
        ++expected;
      }
    } while (result == 1);
  }
  require(columns == expected, "column count");
  require(rest == text, "text behind the count");
  return 0;
}
