// Time-series averaging: reading the input (numbers, lines, tokens), the analysis of its header
// and value columns, the averaging engine, and the layout of the averages files.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skarvel {

// ---------------------------------------------------------------------------------------------
// Number text

// Where a number scan stopped and whether it produced a number. `next` points behind every
// character the scan consumed, which is more than the number when the scan had to look ahead
// ("1e+" consumes three characters and yields 1; "-" consumes one and fails).
struct NumberScan {
  const char* next;
  bool ok;
};

namespace number_detail {

constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The eight bytes at `text`, the first in the lowest byte.
inline std::uint64_t loadWord(const char* text) {
  std::uint64_t word = 0;
  std::memcpy(&word, text, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    std::uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i) {
      swapped = (swapped << 8) | ((word >> (8 * i)) & 0xFF);
    }
    word = swapped;
  }
  return word;
}

// Given a word of characters minus '0' (as `c ^ '0'`), sets the high bit of every byte that is
// no digit: one of 10 or more (its low seven bits plus 0x76 reach 0x80, with no carry into the
// next byte) or with its high bit set.
inline std::uint64_t nonDigitBytes(std::uint64_t offsets) {
  return (((offsets & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | offsets) &
         0x8080808080808080ULL;
}

// Sets the high bit of every zero byte of `word`, exactly (no borrow between bytes).
inline std::uint64_t zeroBytes(std::uint64_t word) {
  const std::uint64_t nonZero = ((word & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | word;
  return ~nonZero & 0x8080808080808080ULL;
}

// The value of eight digits 0..9 held one per byte, the first in the lowest byte: combines
// pairs, quadruples and octets of digits by multiplication.
inline std::uint64_t eightDigitsValue(std::uint64_t digits) {
  digits = (digits * 10) + (digits >> 8);
  digits = (((digits & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
            (((digits >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
           32;
  return static_cast<std::uint32_t>(digits);
}

}  // namespace number_detail

// Scans a decimal number at `text` (no leading white space is skipped): optional sign, digits
// with an optional '.' and more digits or a '.' followed by digits, optional exponent. The text
// must end in a character that cannot continue a number (a NUL terminator does). The value is
// the correctly rounded double; out-of-range magnitudes give infinity or zero. Up to 15
// significant digits with a power of ten within 1e-22..1e22 take one exact IEEE multiply or
// divide; everything else goes through std::from_chars.
NumberScan scanDouble(const char* text, double& value);

// Scans a decimal integer at `text`: optional sign, digits. A value outside the signed 32-bit
// range fails, with its digits consumed.
NumberScan scanInt32(const char* text, std::int32_t& value);

// White space as the C locale's isspace sees it: blank, \t, \n, \v, \f, \r.
constexpr bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// What a formatted "%lf" conversion at the start of `text` gives: 1 when a number was read,
// 0 when the first token does not start a number, -1 when only white space remains. The text
// ends at its first NUL.
int numberConversionResult(const char* text);

// Bytes that must be readable behind the text given to scanDoublePadded (they need not be part
// of it).
inline constexpr std::size_t kReadPadding = 32;

// scanDouble for text followed by at least kReadPadding readable bytes. A number of at most
// seven characters without exponent, the usual shape of model output ("0.523", "-12.75",
// "-9999"), is read from one 8-byte word without a branch per character, and where it ends is
// found with a single bit scan: the reading loop's hot path. Anything else goes to scanDouble.
inline NumberScan scanDoublePadded(const char* text, double& value) {
  using namespace number_detail;
  const std::uint64_t word = loadWord(text);
  const std::uint64_t offsets = word ^ 0x3030303030303030ULL;
  const std::uint64_t points = zeroBytes(word ^ 0x2E2E2E2E2E2E2E2EULL);
  const std::uint64_t first = word & 0xFF;
  const bool negative = first == '-';
  const std::uint64_t sign = (negative || first == '+') ? 0xFF : 0;
  // The number ends at the first byte that is no digit, no point and not the leading sign.
  const std::uint64_t enders = nonDigitBytes(offsets) & ~points & ~(sign & 0x80);
  const int end = std::countr_zero(enders) / 8;  // 8: not within this word
  const std::uint64_t pointsInside = points & ((std::uint64_t{1} << (8 * (end & 7))) - 1);
  const int length = end - (pointsInside != 0 ? 1 : 0) - (sign != 0 ? 1 : 0);
  if (end == 8 || (pointsInside & (pointsInside - 1)) != 0 || length == 0 ||
      (((word >> (8 * end)) & 0xFF) | 0x20) == 'e') {
    return scanDouble(text, value);  // longer, two points, no digit, or an exponent
  }
  // Drop the point byte, zero the sign byte, move the digits to the high end (the bytes below
  // act as leading zeros) and convert them: at most seven digits, so the division rounds
  // correctly.
  const int pointAt = pointsInside != 0 ? std::countr_zero(pointsInside) / 8 : end;
  const int fractionDigits = pointsInside != 0 ? end - pointAt - 1 : 0;
  const std::uint64_t beforePoint = (std::uint64_t{1} << (8 * pointAt)) - 1;
  const std::uint64_t packed = ((offsets & beforePoint) | ((offsets >> 8) & ~beforePoint)) & ~sign;
  const int packedBytes = end - (pointsInside != 0 ? 1 : 0);
  const std::uint64_t mantissa = eightDigitsValue(packed << (64 - 8 * packedBytes));
  const double magnitude =
      static_cast<double>(mantissa) / kExactPowersOfTen[static_cast<std::size_t>(fractionDigits)];
  value = negative ? -magnitude : magnitude;
  return {text + end, true};
}

// Longest text formatNumber writes.
inline constexpr std::size_t kMaxNumberText = 32;

// Writes `value` with six significant digits the way the averages files always show numbers:
// trailing zeros and a trailing point dropped, exponent form below 1e-4 and from 1e6 on with a
// sign and at least three exponent digits ("1.23457e+006", "1e-005"), infinity as "1.#INF" and
// "-1.#INF", not-a-number as "-1.#IND". Returns the end of the text written.
char* formatNumber(char* out, double value);

// ---------------------------------------------------------------------------------------------
// Files

struct FileCloser {
  void operator()(std::FILE* file) const noexcept;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for reading its bytes untranslated; null when that fails or when the
// name denotes a directory.
FileHandle openForReading(const std::string& name);

// Creates or truncates a file for writing text with the platform's native line end; null on
// failure.
FileHandle createForWriting(const std::string& name);

// Reads a file as text the way text mode on Windows reads it, on every platform: CR LF reads as
// LF and a Ctrl-Z byte ends the input. Reads in large blocks; offers whole lines, white-space
// separated number tokens with stream-conversion semantics, and a rewind.
class InputReader {
 public:
  explicit InputReader(std::FILE* file);

  // Reads the next line, line end included, into `line` (replacing its content). False when
  // the input has ended before any character could be read.
  bool readLine(std::string& line);

  // Skips the rest of the current line, its line end included.
  void skipLine();

  // Skips white space, then reads one integer or one decimal number as a formatted stream
  // conversion does. False when the conversion fails or the input has ended; characters the
  // conversion consumed stay consumed.
  bool readInt(std::int32_t& value);
  bool readDouble(double& value);

  // Repositions to the start of the input. False when the input cannot be repositioned.
  bool rewind();

  // True after a read error of the underlying file (not at a plain end of the input).
  bool failed() const { return failed_; }

 private:
  bool skipSpace();
  bool refill();
  // Skips white space and scans one number with `scan`, refilling when it reaches the end of
  // the buffered text.
  template <typename Number, typename Scan>
  bool readNumber(Number& value, Scan scan);
  // Bytes the buffer can hold as text, without the sentinel and padding behind it.
  std::size_t capacity() const { return buffer_.size() - kReadPadding; }
  std::size_t readBlock(char* into, std::size_t capacity);
  std::size_t translateTextMode(char* data, std::size_t size);

  std::FILE* file_;
  std::vector<char> buffer_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool sourceDone_ = false;
  bool heldCarriageReturn_ = false;
  bool failed_ = false;
};

// Buffered text output to a file. Records the first failure to write; writing on after a
// failure does nothing.
class TextWriter {
 public:
  // `file` is closed by close() or the destructor when `owned`.
  TextWriter(std::FILE* file, bool owned);
  TextWriter(TextWriter&& other) noexcept;
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;
  TextWriter& operator=(TextWriter&&) = delete;
  ~TextWriter();

  void write(std::string_view text);
  void put(char c);
  void writeInt(std::int64_t value);
  void writeNumber(double value);

  // Writes the buffer to the file. False when this or an earlier write failed.
  bool flush();
  // Flushes and, for an owned file, closes it. False when any write or the close failed.
  bool close();
  bool failed() const { return failed_; }

 private:
  char* reserve(std::size_t size);

  std::FILE* file_;
  bool owned_;
  bool failed_ = false;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Input analysis

// Reads lines from the current position up to the first that starts with a number, leaving it
// in `line`. A negative `headrows` is replaced by the number of lines before it. False when the
// input holds no such line.
bool scanHeader(InputReader& input, std::int32_t& headrows, std::string& line);

// Counts the value columns of the data row in `line`: the consecutive tokens after the four
// stamp tokens that start with a number. Blanks and tabs separate tokens. `rest` receives the
// text behind the token that ended the count.
std::int32_t countColumns(const std::string& line, std::string& rest);

// ---------------------------------------------------------------------------------------------
// Averaging engine

// The four leading integer fields of a data row. Hour 24 marks the last time step of a day.
struct RecordStamp {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
};

// What a row shows per column and period.
enum class Statistic { mean, sum, min, max };

// How periods are summarised: the statistic, and the share of a period's data rows (percent)
// that must carry an accepted value of a column for that column to show a value.
struct Summary {
  Statistic statistic = Statistic::mean;
  double minCoverage = 0.0;
};

inline constexpr double kNoMinimum = std::numeric_limits<double>::infinity();
inline constexpr double kNoMaximum = -std::numeric_limits<double>::infinity();

// Running sums and counts of one value column for the current day, month and year and for the
// whole run, and the extremes of each, kept when the statistic needs them.
struct ColumnAccumulator {
  double daySum = 0.0;
  double monthSum = 0.0;
  double totalSum = 0.0;
  std::int64_t dayCount = 0;
  std::int64_t monthCount = 0;
  std::int64_t totalCount = 0;
  double yearSum = 0.0;
  std::int64_t yearCount = 0;
  double dayMin = kNoMinimum;
  double dayMax = kNoMaximum;
  double monthMin = kNoMinimum;
  double monthMax = kNoMaximum;
  double yearMin = kNoMinimum;
  double yearMax = kNoMaximum;
  double totalMin = kNoMinimum;
  double totalMax = kNoMaximum;
};

// A value is accepted only when it is strictly greater than this.
inline constexpr double MissingThreshold = -998.0;

// Written for a period without accepted values.
inline constexpr std::string_view MissingMarker = "-9999";

// Length of `month` in `year` (Gregorian); 0 for month 0; -1 for months outside 0..12, which
// therefore never close.
std::int32_t DaysInMonth(std::int32_t month, std::int32_t year);

// The record loop's state for one run.
struct RecordLoopState {
  // Creates `valueColumns` zeroed accumulators (none for a count of 0 or less). Memory may not
  // hold a huge given count: then allocated() is false.
  explicit RecordLoopState(std::int32_t valueColumns);
  bool allocated() const { return allocated_; }

  RecordStamp stamp;
  bool errorFlag = false;
  std::span<ColumnAccumulator> columns;
  // Data rows (time steps) read in the open day, month and year.
  std::int64_t dayRows = 0;
  std::int64_t monthRows = 0;
  std::int64_t yearRows = 0;

 private:
  std::unique_ptr<ColumnAccumulator[]> storage_;
  bool allocated_ = true;
};

// Where and how the record loop writes.
struct RunOutputs {
  TextWriter& daily;
  TextWriter& monthly;
  TextWriter* yearly;  // null: no yearly file
  TextWriter& console;
  Summary summary;
  std::int32_t yearLastMonth = 12;  // a month close of this month also closes the year
};

// Reads data rows from the current position of `input` until the first row that cannot be read
// completely (or the end of the input), closing days, months and years on the way. Returns
// early when an output file has failed.
void runRecordLoop(InputReader& input, RecordLoopState& state, const RunOutputs& outputs);

// ---------------------------------------------------------------------------------------------
// Averages files

// An output file and the label of its first header line.
struct LabelledOutput {
  TextWriter& out;
  std::string_view label;  // "daily_sums_from_", ...
};

// Copies the first `headrows` lines of the input to every output; the first line is labelled
// with the output's label and `inputName`. Stops early at the end of the input.
void copyHeaders(InputReader& input, std::int32_t headrows, const std::string& inputName,
                 std::span<const LabelledOutput> outputs);

// Rows of a closed period: the stamp, then per column the statistic, or MissingMarker when the
// column has no accepted value or too little coverage of the period's `rows` data rows.
void writeDailyRow(TextWriter& out, const RecordStamp& stamp,
                   std::span<const ColumnAccumulator> columns, const Summary& summary,
                   std::int64_t rows);
void writeMonthlyRow(TextWriter& out, const RecordStamp& stamp,
                     std::span<const ColumnAccumulator> columns, const Summary& summary,
                     std::int64_t rows);
void writeYearlyRow(TextWriter& out, const RecordStamp& stamp,
                    std::span<const ColumnAccumulator> columns, const Summary& summary,
                    std::int64_t rows);

// The final row, "0 0 0 0" and the statistic over the run's totals ("0" for a column without
// any accepted value), to every file.
void writeFinalRows(std::span<TextWriter> files, std::span<const ColumnAccumulator> columns,
                    Statistic statistic);

}  // namespace skarvel
