// Speed of reading data rows from text in memory: std::from_chars per token (the yardstick),
// the reader's field-by-field loop (scanInt32 for the stamp, scanDoublePadded per value, the
// rest of the line checked), and scanDataRow of each kind. Rows are shaped like
// skarvel_generate's, with 240 and with 3 value columns. Prints the best of several passes as
// nanoseconds per value (stamp fields not counted) and megabytes of text per second.
//
//   skarvel_row_scan_bench [<megabytes per shape>] [<passes>] [<only the readings named so>]
//                          [<rows of this many columns only>]
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "model_values.hpp"
#include "number_scan.hpp"
#include "row_scan.hpp"

namespace {

using skarvel::bench::appendInt;
using skarvel::bench::appendValue;
using skarvel::bench::columnStyle;
using skarvel::bench::Random;

// Rows of `columns` values up to about `bytes` of text, with a NUL and the read padding behind.
struct Rows {
  std::string text;
  std::size_t rows = 0;
  std::size_t columns = 0;
  std::size_t size() const { return text.size() - skarvel::kReadPadding; }
};

Rows makeRows(std::size_t columns, std::size_t bytes) {
  Random random(1990);
  Rows made;
  made.columns = columns;
  int hour = 0;
  int day = 1;
  while (made.text.size() < bytes) {
    hour = hour % 24 + 1;
    day = hour == 1 ? day % 28 + 1 : day;
    for (const int field : {1990, 1, day, hour}) {
      appendInt(made.text, field);
      made.text += ' ';
    }
    for (std::size_t c = 0; c < columns; ++c) {
      appendValue(made.text, random, columnStyle(c));
      made.text += c + 1 < columns ? ' ' : '\n';
    }
    ++made.rows;
  }
  made.text.append(skarvel::kReadPadding, '\0');
  return made;
}

// The reading named on the command line, or all.
const char* gOnly = nullptr;

bool chosen(const char* name) {
  return gOnly == nullptr || std::strstr(name, gOnly) != nullptr;
}

bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

double sumByFromChars(const Rows& rows) {
  const char* p = rows.text.data();
  const char* end = p + rows.size();
  double sum = 0.0;
  while (p < end) {
    while (p < end && isSeparator(*p)) {
      ++p;
    }
    const char* tokenEnd = p;
    while (tokenEnd < end && !isSeparator(*tokenEnd)) {
      ++tokenEnd;
    }
    double value = 0.0;
    std::from_chars(p, tokenEnd, value);
    sum += value;
    p = tokenEnd;
  }
  return sum;
}

// The record loop's reading of a row without its refills: readInt four times, readValue per
// column, skipRowEnd.
double sumFieldByField(const Rows& rows) {
  const char* p = rows.text.data();
  const char* end = p + rows.size();
  double sum = 0.0;
  std::vector<double> values(rows.columns);
  while (p < end) {
    for (int i = 0; i < 4; ++i) {
      while (skarvel::isSpace(*p)) {
        ++p;
      }
      std::int32_t field = 0;
      const skarvel::NumberScan scanned = skarvel::scanInt32(p, field);
      if (!scanned.ok) {
        std::abort();
      }
      p = scanned.next;
      sum += field;
    }
    for (double& value : values) {
      while (*p == ' ' || *p == '\t') {
        ++p;
      }
      const skarvel::NumberScan scanned = skarvel::scanDoublePadded(p, value);
      if (!scanned.ok || scanned.next == end) {
        std::abort();
      }
      p = scanned.next;
    }
    const auto* lineEnd =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (std::find_if_not(p, lineEnd, skarvel::isSpace) != lineEnd) {
      std::abort();
    }
    p = lineEnd + 1;
    for (const double value : values) {
      sum += value;
    }
  }
  return sum;
}

template <skarvel::RowScanKind kKind>
double sumByRowScan(const Rows& rows) {
  const char* p = rows.text.data();
  const char* end = p + rows.size();
  double sum = 0.0;
  std::array<std::int32_t, 4> stamp{};
  std::vector<double> values(rows.columns);
  while (p < end) {
    p = skarvel::scanDataRow(p, end, stamp, values, kKind);
    if (p == nullptr) {
      std::abort();
    }
    for (const std::int32_t field : stamp) {
      sum += field;
    }
    for (const double value : values) {
      sum += value;
    }
  }
  return sum;
}

template <typename Read>
void measure(const char* name, const Rows& rows, int passes, Read read) {
  if (!chosen(name)) {
    return;
  }
  double best = 1e30;
  double sum = 0.0;
  for (int pass = 0; pass < passes; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    sum = read(rows);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  const double values = static_cast<double>(rows.rows * rows.columns);
  std::printf("  %-22s %7.2f ns/value %8.1f MB/s   (sum %.6g)\n", name, best * 1e9 / values,
              static_cast<double>(rows.size()) / best / 1e6, sum);
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 16.0;
  const int passes = argc > 2 ? std::atoi(argv[2]) : 5;
  gOnly = argc > 3 ? argv[3] : nullptr;
  const auto bytes = static_cast<std::size_t>(megabytes * 1e6);
  std::vector<std::size_t> widths = {240, 40, 12, 3};
  if (argc > 4) {
    widths = {std::strtoul(argv[4], nullptr, 10)};
  }
  for (const std::size_t columns : widths) {
    const Rows rows = makeRows(columns, bytes);
    std::printf("%zu columns, %zu rows, %.1f MB:\n", columns, rows.rows,
                static_cast<double>(rows.size()) / 1e6);
    measure("from_chars per token", rows, passes, sumByFromChars);
    measure("field by field", rows, passes, sumFieldByField);
    measure("scanDataRow, scalar", rows, passes, sumByRowScan<skarvel::RowScanKind::scalar>);
    if (skarvel::rowScanKindAvailable(skarvel::RowScanKind::avx2)) {
      measure("scanDataRow, AVX2", rows, passes, sumByRowScan<skarvel::RowScanKind::avx2>);
    }
  }
  return 0;
}
