#include "row_scan.hpp"

#include <bit>
#include <cstddef>

#include "number_scan.hpp"
#include "row_scan_avx2.hpp"

namespace skarvel {

namespace {

constexpr bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// True for the bytes that end a token: blank, tab and the line end.
constexpr bool endsToken(char c) {
  return isBlank(c) || c == '\n';
}

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) {
    ++p;
  }
  return p;
}

// Reads the token at `p` with `scan`. Gives the position behind the blanks that follow it, or
// nullptr when the scan fails or stops inside the token.
template <typename Number, typename Scan>
const char* scanToken(const char* p, Number& value, Scan scan) {
  const NumberScan scanned = scan(p, value);
  if (!scanned.ok || !endsToken(*scanned.next)) {
    return nullptr;
  }
  return skipBlanks(scanned.next);
}

// The position behind the '\n' at `p`, or nullptr when the row goes on at `p`.
const char* behindLineEnd(const char* p) {
  return *p == '\n' ? p + 1 : nullptr;
}

// scanStamp, for the row scan to inline: a call per row would cost as much as a field.
inline const char* readStamp(const char* text, std::array<std::int32_t, 4>& stamp) {
  const char* p = skipBlanks(text);
  for (std::int32_t& field : stamp) {
    p = scanToken(p, field, scanInt32);
    if (p == nullptr) {
      return nullptr;
    }
  }
  return p;
}

// Every scan stops at the NUL at the end of the text, and a NUL is no part of a plain row, so
// the text's end needs no check of its own.
const char* scanRowScalar(const char* text, std::array<std::int32_t, 4>& stamp,
                          std::span<double> values) {
  const char* p = readStamp(text, stamp);
  if (p == nullptr) {
    return nullptr;
  }
  for (double& value : values) {
    p = scanToken(p, value, scanDoubleTokenPadded);
    if (p == nullptr) {
      return nullptr;
    }
  }
  return behindLineEnd(p);
}

}  // namespace

const char* scanStamp(const char* text, std::array<std::int32_t, 4>& stamp) {
  return readStamp(text, stamp);
}

bool rowScanKindAvailable(RowScanKind kind) {
#if SKARVEL_PLATFORM_AVX2
  static const bool avx2 = detail::cpuHasAvx2();
  return kind == RowScanKind::scalar || avx2;
#else
  return kind == RowScanKind::scalar;
#endif
}

RowScanKind bestRowScanKind() {
  return rowScanKindAvailable(RowScanKind::avx2) ? RowScanKind::avx2 : RowScanKind::scalar;
}

const char* scanDataRow(const char* text, const char* end, std::array<std::int32_t, 4>& stamp,
                        std::span<double> values, RowScanKind kind) {
  if (text >= end) {
    return nullptr;
  }
#if SKARVEL_PLATFORM_AVX2
  if (kind == RowScanKind::avx2 && values.size() >= kFewestAvx2Values &&
      rowScanKindAvailable(kind)) {
    return detail::scanRowAvx2(text, end, stamp, values);
  }
#else
  (void)kind;
#endif
  return scanRowScalar(text, stamp, values);
}

}  // namespace skarvel
