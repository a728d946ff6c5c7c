#pragma once

#include <cstdint>
#include <optional>

namespace genosieve {

inline constexpr uint32_t kRandomMultiplier = 134775813u;  // 0x08088405
inline constexpr uint32_t kRandomIncrement = 1u;

// The linear congruential generator of the randomization tests: its whole state is the
// seed, held by whoever draws, so that separate draws never share hidden state.
struct RandomGenerator {
  uint32_t seed = 0;
};

// One step of the generator on a seed.
constexpr uint32_t NextSeed(uint32_t seed) { return seed * kRandomMultiplier + kRandomIncrement; }

// seed := seed * 134775813 + 1 (mod 2^32); returns the new seed / 2^32.
inline double DrawRandom(RandomGenerator& generator) {
  generator.seed = NextSeed(generator.seed);
  // Exact: every 32-bit integer is a double, and 2^32 is a power of two.
  return static_cast<double>(generator.seed) / 4294967296.0;
}

// ((hour * 60 + minute) * 60 + second) * 1000 + millisecond, UTC time of day.
uint32_t ClockSeed();

// The generator at the start of a test: seeded with the fixed seed when one is given (a
// repeatable Run), else from the clock.
RandomGenerator SeedForTest(const std::optional<uint32_t>& fixedSeed);

// The affine map seed -> seed * multiplier + increment (mod 2^32) that a number of
// consecutive draws amounts to; lets a test skip draws whose values nobody reads.
struct RandomJump {
  uint32_t multiplier = 1;
  uint32_t increment = 0;
};

// The map of `draws` consecutive draws, built in O(log draws) steps.
RandomJump RandomJumpAhead(uint64_t draws);
// `second` applied after `first`.
RandomJump ComposeJumps(const RandomJump& first, const RandomJump& second);
constexpr uint32_t ApplyJump(const RandomJump& jump, uint32_t seed) {
  return seed * jump.multiplier + jump.increment;
}

}  // namespace genosieve
