#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "extended.h"

namespace genosieve {

// TestTally rows: 0 observed Fis, 1 running sum (later the mean, "Expected"), 2 the
// value 1, i + 2 the count (later the running P-value) after i randomized evaluations.
using TestTally = std::vector<Extended>;

// The state through which the engine and the randomization tests meet; it outlives
// every evaluation of a Run. The accessors name the tally's rows.
struct TallyState {
  TestTally testTally;         // iterations + 3 rows
  bool observedFlag = false;   // ObservedFlag
  int32_t iterationIndex = 0;  // IterationIndex
  int32_t iterations = 0;      // I
  // Each randomized evaluation's Fis in iteration order (iteration i at [i - 1]), for the
  // reports that need more than the counts; the observed update clears it.
  std::vector<Extended> randomizedFis;
  // The seed the test's random generator started from, set by the iteration loop.
  uint32_t seed = 0;

  // Row 0: the observed Fis.
  Extended& observed() { return testTally[0]; }
  Extended observed() const { return testTally[0]; }
  // Row 1: the observed Fis plus every randomized Fis so far; their mean ("Expected")
  // once normalised.
  Extended& sum() { return testTally[1]; }
  Extended sum() const { return testTally[1]; }
  // Row i + 2, i = 0..I: the count of values not above the observed one after i
  // randomized evaluations; the running P-value once normalised.
  Extended& runningP(int32_t i) { return testTally[static_cast<std::size_t>(i) + 2]; }
  Extended runningP(int32_t i) const { return testTally[static_cast<std::size_t>(i) + 2]; }
  // Row I + 2: the P-value of the test once normalised.
  Extended pValue() const { return runningP(iterations); }
};

// A zero-filled tally for `iterations` (>= 0) iterations.
TallyState MakeTallyState(int32_t iterations);

// The estimator's tally update: the observed update when observedFlag is set (and then
// cleared), else the randomized update for iterationIndex, which also keeps the value.
void UpdateTally(TallyState& state, Extended fis);

// After a test's iterations: row 1 /= I + 1, row r /= r - 1 for r = 3..I + 2.
void NormaliseTally(TallyState& state);

// An internal error unless the tally has the rows of its iterations.
void CheckTallyRows(const TallyState& state);

}  // namespace genosieve
