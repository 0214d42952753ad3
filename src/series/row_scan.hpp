// Reading one whole data row in one call: the four stamp fields, the values and the line end,
// each number exactly what scanInt32 or scanDouble gives for its token. A row of any other
// shape is left to the field-by-field reading.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace skarvel {

// How scanDataRow reads: the scalar kind, a loop over the 8-byte word path of each token; the
// AVX2 kind (x86-64 only, where the CPU has it), which finds the row's tokens 64 bytes at a time
// and converts their numbers four at a time. Both give the same result for every row.
enum class RowScanKind { scalar, avx2 };

// The AVX2 kind reads rows of fewer values as the scalar kind does: it converts four numbers at a
// time, the stamp as one group, so such rows leave most of a group empty (measured on rows of
// 1, 2 and 3 values: half, a fifth and 1% slower than the scalar kind; a fifth faster at 4).
inline constexpr std::size_t kFewestAvx2Values = 4;

// True when `kind` can run on this build and CPU. The scalar kind always can.
bool rowScanKindAvailable(RowScanKind kind);

// The fastest kind available on this build and CPU.
RowScanKind bestRowScanKind();

// Reads the stamp of the row at `text`: optional blanks or tabs, then four tokens, each consumed
// whole by a successful scanInt32 and followed by blanks or tabs or the line end, as scanDataRow
// reads them. Gives the position behind the blanks or tabs after the fourth, or nullptr when the
// row starts otherwise. The text ends in a byte that ends no digit run (such as a line end or a
// NUL).
const char* scanStamp(const char* text, std::array<std::int32_t, 4>& stamp);

// Reads the data row at `text`: four integer fields, then values.size() numbers, then the line
// end. Gives the position behind the row's '\n', or nullptr when the row is not plain; then the
// stamp and the values hold nothing to rely on, and the caller reads the row field by field.
//
// A plain row: optional blanks or tabs, then 4 + values.size() tokens separated by runs of
// blanks or tabs (a token is a maximal run of bytes other than blank, tab and '\n'), then
// optional blanks or tabs and a '\n' before `end`. The first four tokens are each consumed
// whole by a successful scanInt32, the others each by a successful scanDoubleToken (so a value
// whose exponent has no digits or that is beyond the double range is read field by field).
//
// [text, end) is buffered text with a NUL at `end` and at least kReadPadding readable bytes
// behind `end`. A kind that is not available reads as the scalar kind.
const char* scanDataRow(const char* text, const char* end, std::array<std::int32_t, 4>& stamp,
                        std::span<double> values, RowScanKind kind);

}  // namespace skarvel
