// Text encodings of header lines: model outputs come from editors and exporters that write
// UTF-8 or Windows-1252 (Latin-1 with the printer's quotes); files for other tools want UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace skarvel {

// True when `text` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// `text` as UTF-8: unchanged when it is valid UTF-8, else read as Windows-1252 (its five
// unassigned bytes as the C1 controls of the same value).
std::string utf8Text(std::string_view text);

}  // namespace skarvel
