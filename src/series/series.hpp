// Time-series averaging: reading the input (numbers, lines, tokens), the analysis of its header
// and value columns, the averaging engine, and the layout of the averages files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
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

// Scans a decimal number at `text` (no leading white space is skipped): optional sign, digits
// with an optional '.' and more digits or a '.' followed by digits, optional exponent. The text
// must end in a character that cannot continue a number (a NUL terminator does). The value is
// the correctly rounded double; out-of-range magnitudes give infinity or zero.
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
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;
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

// Running sums and counts of one value column.
struct ColumnAccumulator {
  double daySum = 0.0;
  double monthSum = 0.0;
  double totalSum = 0.0;
  std::int64_t dayCount = 0;
  std::int64_t monthCount = 0;
  std::int64_t totalCount = 0;
};

// A value is accepted only when it is strictly greater than this.
inline constexpr double MissingThreshold = -998.0;

// Written for a day or month without accepted values.
inline constexpr std::string_view MissingMarker = "-9999";

// Length of `month` in `year` (Gregorian); 0 for month 0; -1 for months outside 0..12, which
// therefore never close.
std::int32_t DaysInMonth(std::int32_t month, std::int32_t year);

// The record loop's state for one run.
struct RecordLoopState {
  explicit RecordLoopState(std::int32_t valueColumns);

  RecordStamp stamp;
  bool errorFlag = false;
  std::vector<ColumnAccumulator> columns;
};

// The three text outputs the record loop writes to.
struct RunOutputs {
  TextWriter& daily;
  TextWriter& monthly;
  TextWriter& console;
};

// Reads data rows from the current position of `input` until the first row that cannot be read
// completely (or the end of the input), closing days and months on the way. Returns early when
// an output file has failed.
void runRecordLoop(InputReader& input, RecordLoopState& state, const RunOutputs& outputs);

// ---------------------------------------------------------------------------------------------
// Averages files

// Copies the first `headrows` lines of the input to both files; the first line is labelled
// with `inputName`. Stops early at the end of the input.
void copyHeaders(InputReader& input, std::int32_t headrows, const std::string& inputName,
                 TextWriter& daily, TextWriter& monthly);

void writeDailyRow(TextWriter& out, const RecordStamp& stamp,
                   const std::vector<ColumnAccumulator>& columns);
void writeMonthlyRow(TextWriter& out, const RecordStamp& stamp,
                     const std::vector<ColumnAccumulator>& columns);
void writeFinalRows(TextWriter& daily, TextWriter& monthly,
                    const std::vector<ColumnAccumulator>& columns);

}  // namespace skarvel
