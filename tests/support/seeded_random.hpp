// A seeded random sequence that is the same on every platform and standard library
// (splitmix64), for generated test and benchmark data.
#pragma once

#include <cstdint>

namespace skarvel::testing {

class SeededRandom {
 public:
  explicit SeededRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // A number from 0 to bound - 1.
  int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }

 private:
  std::uint64_t state_;
};

}  // namespace skarvel::testing
