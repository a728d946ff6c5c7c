#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "analysis/random_generator.h"

namespace genosieve {
namespace {

TEST(RandomGenerator, StatesFromSeedZero) {
  RandomGenerator generator{0};
  const uint32_t expected[] = {1u, 134775814u, 3698175007u, 870078620u};
  for (uint32_t state : expected) {
    const double value = DrawRandom(generator);
    EXPECT_EQ(generator.seed, state);
    EXPECT_EQ(value, static_cast<double>(state) / 4294967296.0);
  }
}

TEST(RandomGenerator, DrawsAreExactFractionsInUnitInterval) {
  RandomGenerator generator{0xFFFFFFFFu};
  for (int i = 0; i < 1000; ++i) {
    const double value = DrawRandom(generator);
    EXPECT_GE(value, 0.0);
    EXPECT_LT(value, 1.0);
    EXPECT_EQ(value * 4294967296.0, static_cast<double>(generator.seed));
  }
}

TEST(RandomGenerator, FixedSeedOrClock) {
  EXPECT_EQ(SeedForTest(12345u).seed, 12345u);
  EXPECT_LT(SeedForTest(std::nullopt).seed, 86'400'000u);
  EXPECT_LT(ClockSeed(), 86'400'000u);
}

TEST(RandomGenerator, GeneratorsDrawIndependently) {
  // Two generators never share state: drawing from one leaves the other where it was.
  RandomGenerator first{7};
  RandomGenerator second{7};
  for (int i = 0; i < 5; ++i) DrawRandom(first);
  EXPECT_EQ(second.seed, 7u);
  EXPECT_EQ(first.seed, ApplyJump(RandomJumpAhead(5), 7u));
}

TEST(RandomJump, EqualsRepeatedDraws) {
  std::mt19937 pick(7);
  const uint64_t counts[] = {0, 1, 2, 3, 4, 5, 17, 64, 1000, 4097, 123457};
  for (uint64_t count : counts) {
    const uint32_t start = static_cast<uint32_t>(pick());
    RandomGenerator generator{start};
    for (uint64_t i = 0; i < count; ++i) DrawRandom(generator);
    EXPECT_EQ(ApplyJump(RandomJumpAhead(count), start), generator.seed) << count << " draws";
    uint32_t stepped = start;
    for (uint64_t i = 0; i < count; ++i) stepped = NextSeed(stepped);
    EXPECT_EQ(stepped, generator.seed);
  }
}

TEST(RandomJump, FullPeriodReturnsToStartAndComposes) {
  EXPECT_EQ(ApplyJump(RandomJumpAhead(uint64_t{1} << 32), 987654u), 987654u);
  EXPECT_NE(ApplyJump(RandomJumpAhead((uint64_t{1} << 31)), 987654u), 987654u);
  const RandomJump both = ComposeJumps(RandomJumpAhead(1234), RandomJumpAhead(99));
  EXPECT_EQ(ApplyJump(both, 42u), ApplyJump(RandomJumpAhead(1333), 42u));
}

}  // namespace
}  // namespace genosieve
