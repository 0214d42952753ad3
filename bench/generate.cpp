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

#include "model_values.hpp"

namespace {

using skarvel::bench::appendInt;
using skarvel::bench::appendValue;
using skarvel::bench::columnStyle;
using skarvel::bench::Random;

bool isLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysIn(int month, int year) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kLengths[month - 1];
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
            appendValue(block, random, columnStyle(static_cast<std::size_t>(c)));
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
