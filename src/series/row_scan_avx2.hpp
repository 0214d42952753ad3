// The AVX2 kind of the row scan: 64 bytes of text classified at a time into token and line-end
// bits, then the row's numbers converted four at a time, each as the scalar kind reads it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

// x86-64 with GCC or clang, whose target attribute builds AVX2 functions in a unit compiled for
// the baseline CPU.
#include "platform.hpp"

namespace skarvel::detail {

#if SKARVEL_PLATFORM_AVX2

// scanDataRow of the AVX2 kind, for a CPU where cpuHasAvx2() holds. Reads up to 64 bytes behind
// any byte before `end`.
const char* scanRowAvx2(const char* text, const char* end, std::array<std::int32_t, 4>& stamp,
                        std::span<double> values);

// True when the processor has the instructions scanRowAvx2 uses.
bool cpuHasAvx2();

#endif

}  // namespace skarvel::detail
