#include "analysis/random_generator.h"

#include <chrono>

namespace genosieve {

uint32_t ClockSeed() {
  using namespace std::chrono;
  constexpr int64_t kMillisecondsPerDay = 86'400'000;
  const int64_t milliseconds =
      duration_cast<std::chrono::milliseconds>(system_clock::now().time_since_epoch()).count();
  int64_t timeOfDay = milliseconds % kMillisecondsPerDay;
  if (timeOfDay < 0) timeOfDay += kMillisecondsPerDay;  // clocks set before 1970
  return static_cast<uint32_t>(timeOfDay);
}

RandomGenerator SeedForTest(const std::optional<uint32_t>& fixedSeed) {
  return RandomGenerator{fixedSeed ? *fixedSeed : ClockSeed()};
}

RandomJump ComposeJumps(const RandomJump& first, const RandomJump& second) {
  // second(first(x)) = m2 (m1 x + c1) + c2
  return {second.multiplier * first.multiplier,
          second.multiplier * first.increment + second.increment};
}

RandomJump RandomJumpAhead(uint64_t draws) {
  RandomJump result;                                      // identity
  RandomJump power{kRandomMultiplier, kRandomIncrement};  // 2^bit draws
  while (draws != 0) {
    if (draws & 1u) result = ComposeJumps(result, power);
    power = ComposeJumps(power, power);
    draws >>= 1u;
  }
  return result;
}

}  // namespace genosieve
