// Writes a deterministic synthetic model output for benchmarks: three header lines, then hourly
// rows (hours 1..24) from 1990-01-01 over the given number of years, with value columns shaped
// like model output: mostly short decimals, about 2% "-9999", now and then an exponent form.
//
//   skarvel_generate <output file> <years> <columns> [<seed>]
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "seeded_random.hpp"

namespace {

using Random = skarvel::testing::SeededRandom;

bool isLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysIn(int month, int year) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kLengths[month - 1];
}

void appendInt(std::string& out, long value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// One value: "0.523", "12.75", "-3.1", "-9999" or "1.5e-3".
void appendValue(std::string& out, Random& random) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: skarvel_generate <output file> <years> <columns> [<seed>]\n", stderr);
    return 1;
  }
  const int years = std::atoi(argv[2]);
  const int columns = std::atoi(argv[3]);
  Random random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1990);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "error creating file %s\n", argv[1]);
    return 1;
  }
  std::string block = "Varno benchmark series\nrun: synthetic, seeded\nyear month day hour";
  for (int c = 1; c <= columns; ++c) {
    block += " q";
    appendInt(block, c);
  }
  block += '\n';
  for (int year = 1990; year < 1990 + years; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= daysIn(month, year); ++day) {
        for (int hour = 1; hour <= 24; ++hour) {
          for (const int field : {year, month, day, hour}) {
            appendInt(block, field);
            block += ' ';
          }
          for (int c = 0; c < columns; ++c) {
            appendValue(block, random);
            block += c + 1 < columns ? ' ' : '\n';
          }
          if (block.size() > (std::size_t{1} << 20)) {
            std::fwrite(block.data(), 1, block.size(), out);
            block.clear();
          }
        }
      }
    }
  }
  std::fwrite(block.data(), 1, block.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}
