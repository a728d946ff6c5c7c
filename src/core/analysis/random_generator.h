#pragma once

#include <cstdint>
#include <optional>

namespace genosieve {

inline constexpr uint32_t kRandomMultiplier = 134775813u;  // 0x08088405
inline constexpr uint32_t kRandomIncrement = 1u;

// The process-wide linear congruential generator of the randomization tests.
void SeedRandom(uint32_t seed);
uint32_t RandomSeed();
// seed := seed * 134775813 + 1 (mod 2^32); returns the new seed / 2^32.
double DrawRandom();
// ((hour * 60 + minute) * 60 + second) * 1000 + millisecond, UTC time of day.
uint32_t ClockSeed();
// Seeds the generator at the start of a test: with the fixed seed when one is given (a
// repeatable Run), else from the clock.
void SeedRandomForTest(const std::optional<uint32_t>& fixedSeed);

// One step of the generator on a seed held by the caller.
constexpr uint32_t NextSeed(uint32_t seed) { return seed * kRandomMultiplier + kRandomIncrement; }

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
