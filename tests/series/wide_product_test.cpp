#include "wide_product.hpp"

#include <gtest/gtest.h>

#include <cstdint>

#include "seeded_random.hpp"

namespace skarvel {
namespace {

struct ProductCase {
  std::uint64_t a;
  std::uint64_t b;
  WideProduct product;
};

constexpr std::uint64_t kMax = ~std::uint64_t{0};

// Carries out of each 32-bit half, and the largest product.
constexpr ProductCase kCases[] = {
    {0, kMax, {0, 0}},
    {1, kMax, {0, kMax}},
    {kMax, kMax, {kMax - 1, 1}},
    {0xFFFFFFFFU, 0xFFFFFFFFU, {0, 0xFFFFFFFE00000001U}},
    {0x100000000U, 0x100000000U, {1, 0}},
    {kMax, 2, {1, kMax - 1}},
    {0x8000000000000000U, 0x8000000000000000U, {0x4000000000000000U, 0}},
    {0x123456789ABCDEF0U, 0x0FEDCBA987654321U, {0x0121FA00AD77D742U, 0x2236D88FE5618CF0U}},
    {0xFFFFFFFF00000000U, 0x00000000FFFFFFFFU, {0xFFFFFFFEU, 0x0000000100000000U}},
};

TEST(WideProduct, MultipliesExactly) {
  for (const ProductCase& c : kCases) {
    EXPECT_EQ(multiplyWide(c.a, c.b), c.product) << c.a << " * " << c.b;
    EXPECT_EQ(multiplyWidePortable(c.a, c.b), c.product) << c.a << " * " << c.b;
  }
}

TEST(WideProduct, PortableAgreesWithTheCompilersProduct) {
  testing::SeededRandom random(128);
  for (int i = 0; i < 200000; ++i) {
    // Random halves of all sizes, so that some partial products carry and some are zero.
    const std::uint64_t a = random.next() >> random.below(64);
    const std::uint64_t b = random.next() << random.below(64);
    ASSERT_EQ(multiplyWidePortable(a, b), multiplyWide(a, b)) << a << " * " << b;
  }
}

}  // namespace
}  // namespace skarvel
