#pragma once

#include <cstdint>
#include <vector>

#include "extended.h"

namespace genosieve {

// TestTally rows: 0 observed Fis, 1 running sum (later the mean, "Expected"), 2 the
// value 1, i + 2 the count (later the running P-value) after i randomized evaluations.
using TestTally = std::vector<Extended>;

// The state through which the engine and the randomization tests meet; it outlives
// every evaluation of a Run.
struct TestState {
  TestTally testTally;         // iterations + 3 rows
  bool observedFlag = false;   // ObservedFlag
  int32_t iterationIndex = 0;  // IterationIndex
  int32_t iterations = 0;      // I
};

// A zero-filled tally for `iterations` (>= 0) iterations.
TestState MakeTestState(int32_t iterations);

// The estimator's tally update: the observed update when observedFlag is set (and then
// cleared), else the randomized update for iterationIndex.
void UpdateTally(TestState& state, Extended fis);

// After a test's iterations: row 1 /= I + 1, row r /= r - 1 for r = 3..I + 2.
void NormaliseTally(TestState& state);

}  // namespace genosieve
