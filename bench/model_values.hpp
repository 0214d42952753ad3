// The values of the synthetic model output that the benchmarks read, written the way model
// outputs write them: each column in one style (fixed decimals with their trailing zeros such as
// "0.00" and "-10.50", whole numbers such as "0", exponent forms of small fluxes such as
// "8.1e-4", or a constant), about 2% "-9999" gaps; the same seeded sequence everywhere.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>

#include "seeded_random.hpp"

namespace skarvel::bench {

using Random = skarvel::testing::SeededRandom;

inline void appendInt(std::string& out, long value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// How a column writes its values.
enum class ColumnStyle { twoDecimals, threeDecimals, wholeNumbers, smallFluxes, constant };

// The style of column `column` (from 0): half of them two decimals, then three decimals, whole
// numbers, exponent forms and a constant column in every ten.
inline ColumnStyle columnStyle(std::size_t column) {
  static constexpr ColumnStyle kStyles[10] = {
      ColumnStyle::twoDecimals, ColumnStyle::twoDecimals,   ColumnStyle::threeDecimals,
      ColumnStyle::twoDecimals, ColumnStyle::wholeNumbers,  ColumnStyle::twoDecimals,
      ColumnStyle::smallFluxes, ColumnStyle::threeDecimals, ColumnStyle::twoDecimals,
      ColumnStyle::constant};
  return kStyles[column % 10];
}

// A fixed-point number with `decimals` decimals, its trailing zeros written: -10.50, 0.00.
inline void appendFixed(std::string& out, long scaled, int decimals) {
  if (scaled < 0) {
    out += '-';
    scaled = -scaled;
  }
  long unit = 1;
  for (int i = 0; i < decimals; ++i) {
    unit *= 10;
  }
  appendInt(out, scaled / unit);
  out += '.';
  const std::size_t start = out.size();
  appendInt(out, scaled % unit);
  out.insert(start, static_cast<std::size_t>(decimals) - (out.size() - start), '0');
}

// One value of a column of style `style`.
inline void appendValue(std::string& out, Random& random, ColumnStyle style) {
  if (style == ColumnStyle::constant) {
    out += "0.00";
    return;
  }
  if (random.below(1000) < 20) {
    out += "-9999";
    return;
  }
  const bool negative = random.below(10) == 0;
  switch (style) {
    case ColumnStyle::twoDecimals: {
      const long magnitude = random.below(4) == 0 ? 0 : static_cast<long>(random.below(5000));
      appendFixed(out, negative ? -magnitude : magnitude, 2);
      return;
    }
    case ColumnStyle::threeDecimals:
      appendFixed(out, static_cast<long>(random.below(100000)), 3);
      return;
    case ColumnStyle::wholeNumbers:
      appendInt(out, random.below(3) == 0 ? 0 : static_cast<long>(random.below(400)));
      return;
    case ColumnStyle::smallFluxes:
      appendInt(out, static_cast<long>(1 + random.below(9)));
      out += '.';
      appendInt(out, static_cast<long>(random.below(10)));
      out += "e-";
      appendInt(out, static_cast<long>(3 + random.below(4)));
      return;
    case ColumnStyle::constant:
      break;
  }
}

}  // namespace skarvel::bench
