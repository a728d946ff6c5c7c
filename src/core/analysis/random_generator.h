#pragma once

#include <cstdint>

namespace genosieve {

// The process-wide linear congruential generator of the randomization tests.
void SeedRandom(uint32_t seed);
uint32_t RandomSeed();
// seed := seed * 134775813 + 1 (mod 2^32); returns the new seed / 2^32.
double DrawRandom();
// ((hour * 60 + minute) * 60 + second) * 1000 + millisecond, UTC time of day.
uint32_t ClockSeed();

}  // namespace genosieve
