#include "engine/test_tally.h"

#include <cstddef>

namespace genosieve {

TestState MakeTestState(int32_t iterations) {
  TestState state;
  state.iterations = iterations;
  state.testTally.assign(static_cast<std::size_t>(iterations) + 3, 0.0L);
  return state;
}

void UpdateTally(TestState& state, Extended fis) {
  (void)state;
  (void)fis;
}

void NormaliseTally(TestState& state) { (void)state; }

}  // namespace genosieve
