// The full 128-bit product of two 64-bit numbers, which the number formatting scales with.
#pragma once

#include <cstdint>

namespace skarvel {

struct WideProduct {
  std::uint64_t high = 0;
  std::uint64_t low = 0;

  friend bool operator==(const WideProduct&, const WideProduct&) = default;
};

// From the four products of the 32-bit halves: any compiler, any target.
constexpr WideProduct multiplyWidePortable(std::uint64_t a, std::uint64_t b) {
  constexpr std::uint64_t kHalf = 0xFFFFFFFFU;
  const std::uint64_t lowLow = (a & kHalf) * (b & kHalf);
  const std::uint64_t lowHigh = (a & kHalf) * (b >> 32);
  const std::uint64_t highLow = (a >> 32) * (b & kHalf);
  const std::uint64_t highHigh = (a >> 32) * (b >> 32);
  // At most three 32-bit numbers: no overflow.
  const std::uint64_t middle = (lowLow >> 32) + (lowHigh & kHalf) + (highLow & kHalf);
  return {highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
          (middle << 32) | (lowLow & kHalf)};
}

// One multiplication where the compiler has a 128-bit integer (GCC and Clang on 64-bit targets,
// MinGW-w64 included).
constexpr WideProduct multiplyWide(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
  __extension__ using Wide = unsigned __int128;
  const Wide product = static_cast<Wide>(a) * b;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
  return multiplyWidePortable(a, b);
#endif
}

}  // namespace skarvel
