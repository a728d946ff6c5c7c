#include "engine/test_tally.h"

#include <cstddef>
#include <string>

#include "errors.h"

namespace genosieve {

namespace {

void CheckRows(const TestState& state) {
  if (state.iterations < 0 ||
      state.testTally.size() != static_cast<std::size_t>(state.iterations) + 3) {
    throw RunError("Tableau des tests incorrect pour " + std::to_string(state.iterations) +
                   " itérations");
  }
}

}  // namespace

TestState MakeTestState(int32_t iterations) {
  if (iterations < 0) {
    throw RunError("Nombre d'itérations négatif : " + std::to_string(iterations));
  }
  TestState state;
  state.iterations = iterations;
  state.testTally.assign(static_cast<std::size_t>(iterations) + 3, 0.0L);
  return state;
}

void UpdateTally(TestState& state, Extended fis) {
  CheckRows(state);
  TestTally& tally = state.testTally;
  if (state.observedFlag) {
    tally[0] = fis;
    tally[1] = fis;
    tally[2] = 1.0L;
    for (std::size_t row = 3; row < tally.size(); ++row) tally[row] = 0.0L;
    state.observedFlag = false;
    return;
  }
  const int32_t i = state.iterationIndex;
  if (i < 1 || i > state.iterations) {
    throw RunError("Itération " + std::to_string(i) + " hors de 1.." +
                   std::to_string(state.iterations));
  }
  const auto row = static_cast<std::size_t>(i) + 2;
  tally[1] += fis;
  // A randomized value equal to or below the observed one counts.
  tally[row] = tally[row - 1] + (tally[0] < fis ? 0.0L : 1.0L);
}

void NormaliseTally(TestState& state) {
  CheckRows(state);
  TestTally& tally = state.testTally;
  tally[1] = tally[1] / (static_cast<Extended>(state.iterations) + 1.0L);
  for (std::size_t row = 3; row < tally.size(); ++row) {
    tally[row] = tally[row] / static_cast<Extended>(row - 1);
  }
}

}  // namespace genosieve
