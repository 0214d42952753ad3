// Reading one whole data row in one call: the four stamp fields, the values and the line end,
// each number exactly what scanInt32 or scanDouble gives for its token. A row of any other
// shape is left to the field-by-field reading.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace skarvel {

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
// behind `end`.
const char* scanDataRow(const char* text, const char* end, std::array<std::int32_t, 4>& stamp,
                        std::span<double> values);

}  // namespace skarvel
