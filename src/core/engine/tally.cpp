#include "engine/tally.h"

#include "errors.h"
#include "messages.h"

namespace genosieve {

void CheckTallyRows(const TallyState& state) {
  if (state.iterations < 0 ||
      state.testTally.size() != static_cast<std::size_t>(state.iterations) + 3) {
    ThrowInternalError(FillMessage("the test tally holds {} rows for {} iterations",
                                   state.testTally.size(), state.iterations));
  }
}

TallyState MakeTallyState(int32_t iterations) {
  if (iterations < 0) {
    ThrowInternalError(FillMessage("a test tally for {} iterations", iterations));
  }
  TallyState state;
  state.iterations = iterations;
  state.testTally.assign(static_cast<std::size_t>(iterations) + 3, Extended(0));
  state.randomizedFis.assign(static_cast<std::size_t>(iterations), Extended(0));
  return state;
}

void UpdateTally(TallyState& state, Extended fis) {
  CheckTallyRows(state);
  if (state.observedFlag) {
    state.observed() = fis;
    state.sum() = fis;
    state.runningP(0) = Extended(1);
    for (int32_t i = 1; i <= state.iterations; ++i) state.runningP(i) = Extended(0);
    state.randomizedFis.assign(static_cast<std::size_t>(state.iterations), Extended(0));
    state.observedFlag = false;
    return;
  }
  const int32_t i = state.iterationIndex;
  if (i < 1 || i > state.iterations) {
    ThrowInternalError(FillMessage("iteration {} outside 1..{}", i, state.iterations));
  }
  if (state.randomizedFis.size() != static_cast<std::size_t>(state.iterations)) {
    ThrowInternalError(FillMessage("{} randomized values kept for {} iterations",
                                   state.randomizedFis.size(), state.iterations));
  }
  state.randomizedFis[static_cast<std::size_t>(i) - 1] = fis;
  state.sum() += fis;
  // A randomized value equal to or below the observed one counts.
  state.runningP(i) = state.runningP(i - 1) + (state.observed() < fis ? Extended(0) : Extended(1));
}

void NormaliseTally(TallyState& state) {
  CheckTallyRows(state);
  state.sum() = state.sum() / (static_cast<Extended>(state.iterations) + Extended(1));
  for (int32_t i = 1; i <= state.iterations; ++i) {
    state.runningP(i) = state.runningP(i) / static_cast<Extended>(i + 1);
  }
}

}  // namespace genosieve
