#include "engine/tally.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "errors.h"
#include "messages.h"

namespace genosieve {

RangeSelection MakeRangeSelection(int32_t count) {
  RangeSelection range;
  // ceil(count / 40) in integers: 2.5 % is 1/40.
  range.k = count > 0 ? (static_cast<std::size_t>(count) + 39) / 40 : 0;
  // Their room at once: a Run of many tests takes what its estimate says, not up to twice.
  range.smallest.reserve(range.k);
  range.largest.reserve(range.k);
  return range;
}

void AddToRange(RangeSelection& range, double value) {
  if (range.k == 0) return;
  if (range.smallest.size() < range.k) {
    range.smallest.push_back(value);
    std::push_heap(range.smallest.begin(), range.smallest.end());
  } else if (value < range.smallest.front()) {
    std::pop_heap(range.smallest.begin(), range.smallest.end());
    range.smallest.back() = value;
    std::push_heap(range.smallest.begin(), range.smallest.end());
  }
  if (range.largest.size() < range.k) {
    range.largest.push_back(value);
    std::push_heap(range.largest.begin(), range.largest.end(), std::greater<>());
  } else if (value > range.largest.front()) {
    std::pop_heap(range.largest.begin(), range.largest.end(), std::greater<>());
    range.largest.back() = value;
    std::push_heap(range.largest.begin(), range.largest.end(), std::greater<>());
  }
}

RandomizedRange RangeOf(const RangeSelection& range) {
  if (range.k == 0 || range.smallest.size() < range.k) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
  return {range.smallest.front(), range.largest.front()};
}

Extended TallyState::pValue() const { return RunningPValue(notAbove, iterations); }

Extended TallyState::upperPValue() const {
  // Counted and divided in extended precision, as the lower tail is.
  return static_cast<Extended>(notBelow) / (static_cast<Extended>(iterations) + Extended(1));
}

TallyState MakeTallyState(int32_t iterations) {
  if (iterations < 0) {
    ThrowInternalError(FillMessage("a test tally for {} iterations", iterations));
  }
  TallyState state;
  state.iterations = iterations;
  return state;
}

Extended RunningPValue(int64_t notAbove, int32_t iteration) {
  return static_cast<Extended>(notAbove) / static_cast<Extended>(int64_t{iteration} + 1);
}

bool AddRandomizedFis(TallyState& state, Extended fis) {
  state.sumFis += fis;
  // A randomized value equal to or below the observed one counts.
  const bool notAbove = !(state.observedFis < fis);
  state.notAbove += notAbove ? 1 : 0;
  state.notBelow += fis >= state.observedFis ? 1 : 0;
  ++state.randomized;
  AddToRange(state.range, static_cast<double>(fis));
  if (state.keepValues) {
    state.values.push_back(static_cast<double>(fis));
    state.notAboveFlags.push_back(notAbove);
  }
  return notAbove;
}

void UpdateTally(TallyState& state, Extended fis) {
  if (state.iterations < 0) {
    ThrowInternalError(FillMessage("a test tally for {} iterations", state.iterations));
  }
  if (state.observedFlag) {
    state.observedFis = fis;
    state.sumFis = fis;
    state.randomized = 0;
    state.notAbove = 1;
    state.notBelow = 1;
    state.normalised = false;
    state.range = MakeRangeSelection(state.keepRange ? state.iterations : 0);
    // The room for the values stays: the Run makes it once, before its first file.
    state.values.clear();
    state.notAboveFlags.clear();
    state.observedFlag = false;
    return;
  }
  const int32_t i = state.iterationIndex;
  if (i < 1 || i > state.iterations || i != state.randomized + 1 || state.normalised) {
    ThrowInternalError(
        FillMessage("iteration {} after {} of 1..{}", i, state.randomized, state.iterations));
  }
  AddRandomizedFis(state, fis);
}

void CheckTallyComplete(const TallyState& state) {
  // The values, when the tally has them, are those of every iteration.
  auto held = [&state](std::size_t size) {
    return size == 0 || size == static_cast<std::size_t>(state.randomized);
  };
  if (state.iterations < 0 || state.randomized != state.iterations || !held(state.values.size()) ||
      !held(state.notAboveFlags.size())) {
    ThrowInternalError(FillMessage("a tally of {} iterations after {}, with {} values kept",
                                   state.iterations, state.randomized, state.values.size()));
  }
}

void NormaliseTally(TallyState& state) {
  CheckTallyComplete(state);
  if (state.normalised) ThrowInternalError("the tally is normalised twice");
  state.sumFis = state.sumFis / (static_cast<Extended>(state.iterations) + Extended(1));
  state.normalised = true;
}

}  // namespace genosieve
