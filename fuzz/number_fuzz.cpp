// The number reader against the number grammar: what each scan consumed, whether it found a
// number, and its value bit for bit.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "number_format.hpp"
#include "number_scan.hpp"
#include "reference.hpp"
#include "reference_number_format.hpp"

using namespace skarvel;
using namespace skarvel::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string padded = text + std::string(kReadPadding, '\0');
  const ReferenceScan expected = referenceNumberScan(text.c_str());

  double plain = 0.0;
  const NumberScan plainScan = scanDouble(text.c_str(), plain);
  require(static_cast<std::size_t>(plainScan.next - text.c_str()) == expected.consumed,
          "scanDouble consumes what a stream conversion consumes");
  require(plainScan.ok == (expected.numberLength > 0), "scanDouble finds the number");

  double fast = 0.0;
  const NumberScan fastScan = scanDoublePadded(padded.c_str(), fast);
  require(fastScan.next - padded.c_str() == plainScan.next - text.c_str(),
          "scanDoublePadded stops where scanDouble stops");
  require(fastScan.ok == plainScan.ok, "scanDoublePadded succeeds where scanDouble does");

  if (plainScan.ok) {
    const double value = referenceValue(std::string_view(text).substr(0, expected.numberLength));
    require(std::bit_cast<std::uint64_t>(plain) == std::bit_cast<std::uint64_t>(value),
            "scanDouble gives the correctly rounded value");
    require(std::bit_cast<std::uint64_t>(fast) == std::bit_cast<std::uint64_t>(value),
            "scanDoublePadded gives the correctly rounded value");
  }
  // A token that must be one finite number whole: what scanDouble reads, where it read all it
  // consumed and the value is finite.
  double token = 0.0;
  const NumberScan tokenScan = scanDoubleToken(text.c_str(), token);
  double fastToken = 0.0;
  const NumberScan fastTokenScan = scanDoubleTokenPadded(padded.c_str(), fastToken);
  const bool whole =
      plainScan.ok && expected.consumed == expected.numberLength && !std::isinf(plain);
  require(tokenScan.next == plainScan.next && tokenScan.ok == whole,
          "scanDoubleToken reads a finite number whole");
  require(fastTokenScan.next - padded.c_str() == tokenScan.next - text.c_str() &&
              fastTokenScan.ok == tokenScan.ok,
          "scanDoubleTokenPadded reads as scanDoubleToken");
  require(
      !whole || (std::bit_cast<std::uint64_t>(token) == std::bit_cast<std::uint64_t>(plain) &&
                 std::bit_cast<std::uint64_t>(fastToken) == std::bit_cast<std::uint64_t>(plain)),
      "scanDoubleToken gives scanDouble's value");

  require(numberConversionResult(text.c_str()) == referenceConversion(text.c_str()),
          "numberConversionResult");

  // Integers: optional sign, digits; a value beyond 32 bits fails with its digits consumed.
  std::size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  const std::size_t digitsStart = i;
  while (digit(text[i])) {
    ++i;
  }
  std::int32_t integer = 0;
  const NumberScan intScan = scanInt32(text.c_str(), integer);
  require(static_cast<std::size_t>(intScan.next - text.c_str()) == i, "scanInt32 consumption");
  if (i > digitsStart) {
    const long double exact = std::strtold(text.substr(0, i).c_str(), nullptr);
    const bool fits = exact >= -2147483648.0L && exact <= 2147483647.0L;
    require(intScan.ok == fits, "scanInt32 fails exactly outside 32 bits");
    require(!fits || integer == static_cast<std::int32_t>(exact), "scanInt32 value");
  } else {
    require(!intScan.ok, "scanInt32 needs a digit");
  }

  // Writing: the bytes of the former conversion through std::to_chars, within kMaxNumberText.
  char written[kMaxNumberText + 1] = {};
  if (plainScan.ok) {
    *formatNumber(written, plain) = '\0';
    require(std::strlen(written) <= kMaxNumberText, "formatNumber length");
    char reference[kMaxNumberText + 1] = {};
    *skarvel::testing::referenceFormatNumber(reference, plain) = '\0';
    require(std::strcmp(written, reference) == 0, "formatNumber writes the reference's text");
  }
  return 0;
}
