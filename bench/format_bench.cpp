// Nanoseconds per value of formatNumber and of the conversion it replaced (std::to_chars to
// "d.ddddde+XX" and the exponent read back; the tests' reference), on two sets of values:
//   model     daily means of model output: 1e-3 to 1e4 with all their digits, about 2% -9999,
//             2% zeros and 2% large or small magnitudes (1e5 to 1e12, 1e-9 to 1e-4)
//   uniform   finite doubles of every binary exponent, equally often (1e-308 to 1e308 and the
//             subnormals)
// The two run alternately, each set formatted whole per run; the median of the runs is shown.
// It also checks that both write the same bytes.
//
//   skarvel_format_bench [<runs>]
#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "number_format.hpp"
#include "reference_number_format.hpp"
#include "seeded_random.hpp"

namespace {

using Random = skarvel::testing::SeededRandom;
using Formatter = char* (*)(char*, double);

constexpr int kValues = 200000;

double unitFraction(Random& random) {
  return std::ldexp(static_cast<double>(random.next() >> 11), -53);
}

double magnitudeBetween(Random& random, double lowestPower, double highestPower) {
  return std::pow(10.0, lowestPower + (highestPower - lowestPower) * unitFraction(random));
}

std::vector<double> modelValues(Random& random) {
  std::vector<double> values;
  values.reserve(kValues);
  for (int i = 0; i < kValues; ++i) {
    const int kind = random.below(100);
    if (kind < 2) {
      values.push_back(-9999.0);
    } else if (kind < 4) {
      values.push_back(0.0);
    } else if (kind < 5) {
      values.push_back(magnitudeBetween(random, 5.0, 12.0));
    } else if (kind < 6) {
      values.push_back(magnitudeBetween(random, -9.0, -4.0));
    } else {
      const double mean = magnitudeBetween(random, -3.0, 4.0);
      values.push_back(kind < 16 ? -mean : mean);
    }
  }
  return values;
}

std::vector<double> uniformValues(Random& random) {
  std::vector<double> values;
  values.reserve(kValues);
  while (values.size() < kValues) {
    const double value = std::bit_cast<double>(random.next());
    if (std::isfinite(value)) {
      values.push_back(value);
    }
  }
  return values;
}

// The text of every value, one after the other, and the seconds it took.
struct Run {
  std::vector<char> text;
  double seconds = 0.0;
};

Run formatAll(const std::vector<double>& values, Formatter format) {
  Run run;
  run.text.resize(values.size() * skarvel::kMaxNumberText);
  const auto start = std::chrono::steady_clock::now();
  char* out = run.text.data();
  for (const double value : values) {
    out = format(out, value);
  }
  const auto stop = std::chrono::steady_clock::now();
  run.text.resize(static_cast<std::size_t>(out - run.text.data()));
  run.seconds = std::chrono::duration<double>(stop - start).count();
  return run;
}

double median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// Prints one line; false when the two texts differ.
bool measure(const char* name, const std::vector<double>& values, int runs) {
  std::vector<double> reference;
  std::vector<double> fast;
  bool same = true;
  for (int i = 0; i < runs; ++i) {
    const Run before = formatAll(values, skarvel::testing::referenceFormatNumber);
    const Run after = formatAll(values, skarvel::formatNumber);
    same = same && before.text == after.text;
    reference.push_back(before.seconds);
    fast.push_back(after.seconds);
  }
  const double perValue = 1e9 / static_cast<double>(values.size());
  const double referenceNs = median(reference) * perValue;
  const double fastNs = median(fast) * perValue;
  std::printf("%-8s %8zu %14.1f %16.1f %9.1f  %s\n", name, values.size(), referenceNs, fastNs,
              referenceNs / fastNs, same ? "yes" : "NO");
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  Random random(19900101);
  const std::vector<double> model = modelValues(random);
  const std::vector<double> uniform = uniformValues(random);
  std::printf("%-8s %8s %14s %16s %9s  %s\n", "values", "count", "reference ns", "formatNumber ns",
              "speed-up", "same text");
  const bool modelSame = measure("model", model, runs);
  const bool uniformSame = measure("uniform", uniform, runs);
  return modelSame && uniformSame ? 0 : 1;
}
