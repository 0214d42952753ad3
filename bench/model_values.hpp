// The values of the synthetic model output that the benchmarks read: mostly short decimals,
// about 2% "-9999", now and then an exponent form; the same seeded sequence everywhere.
#pragma once

#include <charconv>
#include <string>

#include "seeded_random.hpp"

namespace skarvel::bench {

using Random = skarvel::testing::SeededRandom;

inline void appendInt(std::string& out, long value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// One value: "0.523", "12.75", "-3.1", "-9999" or "1.5e-3".
inline void appendValue(std::string& out, Random& random) {
  const int kind = random.below(1000);
  if (kind < 20) {
    out += "-9999";
    return;
  }
  if (kind < 25) {
    appendInt(out, static_cast<long>(1 + random.below(9)));
    out += '.';
    appendInt(out, static_cast<long>(random.below(10)));
    out += "e-";
    appendInt(out, static_cast<long>(1 + random.below(4)));
    return;
  }
  if (kind < 200) {
    out += '-';
  }
  const int shape = random.below(3);
  if (shape == 0) {  // 0.523
    out += "0.";
    const long fraction = static_cast<long>(random.below(1000));
    if (fraction < 100) {
      out += '0';
    }
    if (fraction < 10) {
      out += '0';
    }
    appendInt(out, fraction);
  } else if (shape == 1) {  // 12.75
    appendInt(out, static_cast<long>(random.below(100)));
    out += '.';
    const long fraction = static_cast<long>(random.below(100));
    if (fraction < 10) {
      out += '0';
    }
    appendInt(out, fraction);
  } else {  // 3.1
    appendInt(out, static_cast<long>(random.below(10)));
    out += '.';
    appendInt(out, static_cast<long>(random.below(10)));
  }
}

}  // namespace skarvel::bench
