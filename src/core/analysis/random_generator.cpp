#include "analysis/random_generator.h"

namespace genosieve {

namespace {
uint32_t gSeed = 0;
}

void SeedRandom(uint32_t seed) { gSeed = seed; }

uint32_t RandomSeed() { return gSeed; }

double DrawRandom() {
  gSeed = gSeed * 134775813u + 1u;
  return static_cast<double>(gSeed) / 4294967296.0;
}

uint32_t ClockSeed() { return 0; }

}  // namespace genosieve
