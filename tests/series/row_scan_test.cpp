// scanDataRow of every kind against a reading of the row by its definition: split at blanks and
// tabs up to the first '\n', each token converted alone by scanInt32 or scanDouble, a value one
// finite number whole. Hand-written rows at every shape boundary, at every offset from a 64-byte
// boundary, and seeded random rows.
#include "row_scan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "number_scan.hpp"
#include "platform.hpp"
#include "seeded_random.hpp"

namespace skarvel {
namespace {

using Random = testing::SeededRandom;

struct RowReading {
  std::size_t consumed = 0;  // bytes up to and with the '\n'
  std::array<std::int32_t, 4> stamp{};
  std::vector<double> values;
};

// Converts the whole token with `scan`, from a copy of its own: false when the scan fails or
// stops inside the token.
template <typename Number, typename Scan>
bool convertsWhole(std::string_view token, Number& value, Scan scan) {
  const std::string copy(token);
  const NumberScan scanned = scan(copy.c_str(), value);
  return scanned.ok && scanned.next == copy.c_str() + copy.size();
}

// The row at the start of `text` read by the plain-row rule; nothing when it is not plain.
std::optional<RowReading> readByDefinition(std::string_view text, std::size_t columns) {
  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string_view::npos) {
    return std::nullopt;
  }
  std::vector<std::string_view> tokens;
  const std::string_view line = text.substr(0, lineEnd);
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) {
      break;
    }
    const std::size_t stop = std::min(line.find_first_of(" \t", start), line.size());
    tokens.push_back(line.substr(start, stop - start));
    at = stop;
  }
  if (tokens.size() != 4 + columns) {
    return std::nullopt;
  }
  RowReading reading;
  reading.consumed = lineEnd + 1;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!convertsWhole(tokens[i], reading.stamp[i], scanInt32)) {
      return std::nullopt;
    }
  }
  reading.values.resize(columns);
  for (std::size_t i = 0; i < columns; ++i) {
    // One number whole: no exponent without digits, and within the double range.
    const std::string_view token = tokens[4 + i];
    if (!convertsWhole(token, reading.values[i], scanDouble) ||
        token.find_last_of("eE+-") == token.size() - 1 || std::isinf(reading.values[i])) {
      return std::nullopt;
    }
  }
  return reading;
}

// The text as the reader holds it: a NUL at its end, then exactly kReadPadding readable bytes
// (the NUL among them) that look like more rows. `offset` places the text that many bytes past
// a 64-byte boundary; kFlush places it flush with the end of its allocation, so a read past
// the padding is caught by the address sanitizer.
constexpr std::size_t kFlush = 64;

class BufferedText {
 public:
  BufferedText(std::string_view text, std::size_t offset) {
    const std::size_t slack = offset != kFlush ? 64 : 0;
    bytes_.resize(slack + text.size() + kReadPadding);
    std::size_t start = 0;
    if (offset != kFlush) {
      const auto address = reinterpret_cast<std::uintptr_t>(bytes_.data());
      start = (offset + 64 - address % 64) % 64;
    }
    std::memcpy(bytes_.data() + start, text.data(), text.size());
    text_ = bytes_.data() + start;
    end_ = text_ + text.size();
    const std::string_view lookalike = "1 2 3 4 5 6 7 8\n";
    for (std::size_t i = 0; i + 1 < kReadPadding; ++i) {
      end_[1 + i] = lookalike[i % lookalike.size()];
    }
    *end_ = '\0';
  }

  const char* text() const { return text_; }
  const char* end() const { return end_; }

 private:
  std::vector<char> bytes_;
  char* text_ = nullptr;
  char* end_ = nullptr;
};

std::vector<RowScanKind> availableKinds() {
  std::vector<RowScanKind> kinds;
  for (const RowScanKind kind : {RowScanKind::scalar, RowScanKind::avx2}) {
    if (rowScanKindAvailable(kind)) {
      kinds.push_back(kind);
    }
  }
  return kinds;
}

const char* kindName(RowScanKind kind) {
  return kind == RowScanKind::scalar ? "scalar" : "avx2";
}

// Checks one kind on one placement of the text against the definition; gives a failure
// description, or an empty text when they agree.
std::string disagreement(std::string_view text, std::size_t columns, RowScanKind kind,
                         std::size_t offset) {
  const std::optional<RowReading> expected = readByDefinition(text, columns);
  const BufferedText buffered(text, offset);
  std::array<std::int32_t, 4> stamp{};
  std::vector<double> values(columns, -1.0);
  const char* next = scanDataRow(buffered.text(), buffered.end(), stamp, values, kind);
  if (!expected) {
    return next == nullptr ? "" : "read as plain";
  }
  if (next == nullptr) {
    return "read as not plain";
  }
  if (next != buffered.text() + expected->consumed) {
    return "ends at " + std::to_string(next - buffered.text());
  }
  if (stamp != expected->stamp) {
    return "stamp differs";
  }
  for (std::size_t i = 0; i < columns; ++i) {
    if (std::bit_cast<std::uint64_t>(values[i]) !=
        std::bit_cast<std::uint64_t>(expected->values[i])) {
      return "value " + std::to_string(i) + " differs";
    }
  }
  return "";
}

// Every available kind at every offset from a 64-byte boundary and flush with its allocation,
// or at a few offsets on either side of the 16- and 32-byte boundaries.
void expectAgreement(std::string_view text, std::size_t columns, bool everyOffset = true) {
  static constexpr std::size_t kSomeOffsets[] = {0, 9, 15, 17, 31, 33, 63, kFlush};
  for (const RowScanKind kind : availableKinds()) {
    for (std::size_t offset = 0; offset <= kFlush; ++offset) {
      if (!everyOffset && std::find(std::begin(kSomeOffsets), std::end(kSomeOffsets), offset) ==
                              std::end(kSomeOffsets)) {
        continue;
      }
      const std::string problem = disagreement(text, columns, kind, offset);
      ASSERT_EQ(problem, "") << kindName(kind) << " at offset " << offset << ", columns " << columns
                             << ": \"" << text << "\"";
    }
  }
}

struct RowCase {
  std::string text;
  std::size_t columns;
  bool plain;
};

// The definition itself on rows whose answer is known; each kind agrees with it.
TEST(ScanDataRow, ReadsExactlyThePlainRows) {
  using namespace std::string_literals;
  const RowCase cases[] = {
      {"1990 1 1 1 0.523 12.75 -3.1\n", 3, true},
      {"1990 1 1 1 0.523 12.75 -3.1\n1990 1 1 2 1 2 3\n", 3, true},
      {" \t 1990\t1  1\t\t1  0.5\t-2 \t \n", 2, true},
      {"1990 1 1 1\n", 0, true},
      {"1990 1 1 1 \t\n", 0, true},
      {"+1990 -1 +0 -0 +5 -0 +.5 5. .5 -0.0\n", 6, true},
      {"1 2 3 4 1e+ 1e 1E- 2e-x\n", 4, false},
      {"1 2 3 4 1e+ 1e5 1E-3 1.5e-3\n", 4, false},
      {"1 2 3 4 1e 1E-\n", 2, false},
      {"1 2 3 4 2-3\n", 1, false},
      {"1 2 3 4 1e5x\n", 1, false},
      {"1 2 3 4 NA\n", 1, false},
      {"1 2 3 4 . \n", 1, false},
      {"1 2 3 4 -\n", 1, false},
      {"1 2 3 4 +\n", 1, false},
      {"1 2 3 4 1.2.3\n", 1, false},
      {"1 2 3 4 0x10\n", 1, false},
      {"1 2 3 4 inf\n", 1, false},
      {"1 2 3 4 --1\n", 1, false},
      {"1 2 3 4 +-1\n", 1, false},
      {"1 2 3 4 1-\n", 1, false},
      {"2147483647 -2147483648 +2147483647 0000000000002147483647 1\n", 1, true},
      {"2147483648 1 1 1 1\n", 1, false},
      {"1 -2147483649 1 1 1\n", 1, false},
      {"1 1 99999999999999999999 1 1\n", 1, false},
      {"1 1 1 1.0 1\n", 1, false},
      {"1 1 1 1e0 1\n", 1, false},
      {"1 1 1 - 1\n", 1, false},
      {"1 1 1 1 1 2\n", 1, false},  // one token too many
      {"1 1 1 1 1 2\n", 3, false},  // one too few
      {"1 1 1\n", 0, false},
      {"\n", 0, false},
      {"\n1 1 1 1 1\n", 1, false},
      {" \n1 1 1 1 1\n", 1, false},
      {"", 0, false},
      {"1990 1 1 1 0.5", 1, false},  // the row goes on behind the text
      {"1990 1 1 1 0.5 ", 1, false},
      {"1990 1 1 1 0.5\t", 1, false},
      {"1990 1 1 1 0.5\r\n", 1, false},
      {"1990 1 1 1 0.5 \r\n", 1, false},
      {"1990 1 1 1\r0.5\n", 1, false},
      {"1990 1 1 1 0.5\v\n", 1, false},
      {"1990 1 1 1 0.5\f 1\n", 2, false},
      {"1990 1 1 1 0.5\x01\n", 1, false},
      {"1990 1 1 1 0.5\x7f\n", 1, false},
      {"1990 1 1 1 0.5\xc2\xa0\n", 1, false},
      {"1990 1 1 1 0.5\0\n"s, 1, false},
      {"1990 1 1 1 0.5 \0\n"s, 1, false},
      {"1990 1\0 1 1 0.5\n"s, 1, false},
      {"-9999 1 1 1 -9999 -9999.0 -9999.000\n", 3, true},
      {"1 1 1 1 1e22 1e23 1e-22 1e-23 1e-400 -1e-400\n", 6, true},
      {"1 1 1 1 1e400\n", 1, false},
      {"1 1 1 1 -1.8e308\n", 1, false},
      {"1 1 1 1 123456789012345 1234567890123456 12345678901234567 1234567890123456789\n", 4, true},
      {"1 1 1 1 .123456789012345 1.23456789012345e5 9007199254740993 0.30000000000000004\n", 4,
       true},
  };
  for (const RowCase& row : cases) {
    EXPECT_EQ(readByDefinition(row.text, row.columns).has_value(), row.plain) << row.text;
    expectAgreement(row.text, row.columns);
  }
}

TEST(ScanDataRow, GivesTheExactValues) {
  const std::string text = "1990 12 31 24 0.523 -12.75 -9999 +.5 -0 1e+2\n";
  for (const RowScanKind kind : availableKinds()) {
    const BufferedText buffered(text, 0);
    std::array<std::int32_t, 4> stamp{};
    std::vector<double> values(6);
    const char* next = scanDataRow(buffered.text(), buffered.end(), stamp, values, kind);
    ASSERT_EQ(next, buffered.end()) << kindName(kind);
    EXPECT_EQ(stamp, (std::array<std::int32_t, 4>{1990, 12, 31, 24}));
    EXPECT_EQ(values, (std::vector<double>{0.523, -12.75, -9999.0, 0.5, -0.0, 100.0}));
    EXPECT_TRUE(std::signbit(values[4]));
  }
}

TEST(ScanDataRow, UnavailableKindReadsAsScalar) {
  EXPECT_TRUE(rowScanKindAvailable(RowScanKind::scalar));
  EXPECT_TRUE(rowScanKindAvailable(bestRowScanKind()));
  const BufferedText buffered("1 2 3 4 5.5\n", 0);
  std::array<std::int32_t, 4> stamp{};
  std::array<double, 1> values{};
  EXPECT_EQ(scanDataRow(buffered.text(), buffered.end(), stamp, values, RowScanKind::avx2),
            buffered.end());
  EXPECT_EQ(values[0], 5.5);
}

TEST(ScanDataRow, Avx2IsAvailableWhereTheCpuHasIt) {
#if SKARVEL_PLATFORM_AVX2
  const bool cpuHasIt = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                        __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
  EXPECT_EQ(rowScanKindAvailable(RowScanKind::avx2), cpuHasIt);
#else
  GTEST_SKIP() << "no AVX2 path on this build";
#endif
}

// Decimal tokens of 1 to 20 characters: digits with the point at every place or none, with
// and without a sign, in each of the first five value places (so each lands on every lane of a
// four-value batch) and after stamps of every width.
TEST(ScanDataRow, ReadsTokensOfEveryLengthAndShape) {
  const std::string digits = "98765432109876543210";
  for (std::size_t length = 1; length <= 20; ++length) {
    for (std::size_t point = 0; point <= length; ++point) {
      for (const char* sign : {"", "-", "+"}) {
        std::string token = sign + digits.substr(0, length);
        if (point < length) {
          token.insert(token.size() - point, ".");
        }
        for (std::size_t place = 0; place < 5; ++place) {
          std::string row = "1990 7 15 " + digits.substr(0, place + 1) + " ";
          for (std::size_t i = 0; i < place; ++i) {
            row += "0.5 ";
          }
          row += token + "\n";
          expectAgreement(row, place + 1, false);
        }
        // The same token as a stamp field.
        expectAgreement(token + " 1 1 1 2.5\n", 1);
      }
    }
  }
}

// Long runs of blanks and tabs, tokens across 32- and 64-byte boundaries, rows longer than
// a window.
TEST(ScanDataRow, ReadsAcrossWindowBoundaries) {
  for (std::size_t run = 1; run <= 70; run += 3) {
    const std::string gap(run, run % 2 == 0 ? ' ' : '\t');
    std::string row = gap + "1990" + gap + "1" + gap + "1" + gap + "1";
    for (int i = 0; i < 9; ++i) {
      row += gap + "-12.345";
    }
    expectAgreement(row + gap + "\n", 9);
    expectAgreement(row + "\n", 9);
    expectAgreement(row + gap, 9);
    expectAgreement(row + gap + "x\n", 9);
  }
}

// A value of one of the shapes model output has, or of the edges of the number grammar.
std::string randomToken(Random& random, bool stamp) {
  static const char* const kOdd[] = {"-9999",
                                     "1e+",
                                     "1e",
                                     "1.5e-3",
                                     "2E+10",
                                     "+.5",
                                     "5.",
                                     "-0",
                                     ".",
                                     "-",
                                     "+",
                                     "NA",
                                     "1e5x",
                                     "1.2.3",
                                     "\r",
                                     "\v",
                                     "\x01",
                                     "inf",
                                     "-.",
                                     "2147483647",
                                     "-2147483648",
                                     "2147483648",
                                     "-2147483649",
                                     "1234567890123456",
                                     "12345678901234567890",
                                     "0.30000000000000004",
                                     "\xc3\xa9",
                                     "1e400",
                                     "1e-400",
                                     "007"};
  const int kind = random.below(20);
  if (kind == 0) {
    return kOdd[random.below(static_cast<int>(std::size(kOdd)))];
  }
  std::string token;
  if (random.below(5) == 0) {
    token += random.below(4) == 0 ? '+' : '-';
  }
  const int whole = random.below(stamp ? 6 : 5);
  const int fraction = stamp ? (random.below(20) == 0 ? 1 : -1)
                             : (random.below(8) == 0 ? -1 : random.below(kind < 3 ? 17 : 5));
  for (int i = 0; i < whole; ++i) {
    token += static_cast<char>('0' + random.below(10));
  }
  if (fraction >= 0) {
    token += '.';
    for (int i = 0; i < fraction; ++i) {
      token += static_cast<char>('0' + random.below(10));
    }
  }
  if (token.empty() || token == "-" || token == "+") {
    token += static_cast<char>('0' + random.below(10));
  }
  return token;
}

std::string randomGap(Random& random) {
  const int kind = random.below(10);
  if (kind < 6) {
    return " ";
  }
  if (kind < 8) {
    return random.below(2) == 0 ? "\t" : "  ";
  }
  std::string gap;
  const int length = 1 + random.below(kind == 9 ? 40 : 4);
  for (int i = 0; i < length; ++i) {
    gap += random.below(3) == 0 ? '\t' : ' ';
  }
  return gap;
}

// A row of `columns` values, now and then spoilt: a token off, a byte changed, the line end
// lost or the text cut short.
std::string randomRow(Random& random, std::size_t columns) {
  std::string row = random.below(8) == 0 ? randomGap(random) : "";
  std::size_t tokens = 4 + columns;
  if (random.below(30) == 0) {
    tokens = random.below(2) == 0 ? tokens + 1 : tokens - 1;
  }
  for (std::size_t i = 0; i < tokens; ++i) {
    row += randomToken(random, i < 4);
    row += i + 1 < tokens ? randomGap(random) : (random.below(6) == 0 ? randomGap(random) : "");
  }
  row += '\n';
  const int spoil = random.below(40);
  if (spoil == 0) {
    row[static_cast<std::size_t>(random.below(static_cast<int>(row.size())))] =
        static_cast<char>(random.below(33));
  } else if (spoil == 1) {
    row.resize(static_cast<std::size_t>(random.below(static_cast<int>(row.size()))));
  } else if (spoil == 2) {
    row.pop_back();
  }
  if (random.below(2) == 0) {
    row += "1990 1 1 1 2 3\n";  // the next row
  }
  return row;
}

TEST(ScanDataRow, AgreesWithTheDefinitionOnRandomRows) {
  const std::vector<RowScanKind> kinds = availableKinds();
  Random random(19900101);
  int plain = 0;
  int notPlain = 0;
  constexpr int kRows = 120'000;
  for (int i = 0; i < kRows; ++i) {
    const int shape = random.below(10);
    const auto columns = static_cast<std::size_t>(shape < 4   ? random.below(4)
                                                  : shape < 8 ? 4 + random.below(9)
                                                              : 13 + random.below(40));
    const std::string row = randomRow(random, columns);
    const std::size_t offset = static_cast<std::size_t>(random.below(64));
    (readByDefinition(row, columns) ? plain : notPlain) += 1;
    for (const RowScanKind kind : kinds) {
      ASSERT_EQ(disagreement(row, columns, kind, offset), "")
          << kindName(kind) << " at offset " << offset << ", columns " << columns << ", row " << i
          << ": \"" << row << "\"";
    }
  }
  // Both kinds of row come often.
  EXPECT_GT(plain, kRows / 10);
  EXPECT_GT(notPlain, kRows / 10);
}

}  // namespace
}  // namespace skarvel
