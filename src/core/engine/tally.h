#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "extended.h"

namespace genosieve {

// The k smallest and the k largest of the values added so far, as doubles: the central
// 95 % of a test's randomized values (k = ceil(N / 40)) without keeping them all. A double
// is the value rounded, and rounding keeps the order, so the k-th smallest double is the
// k-th smallest value rounded.
struct RangeSelection {
  std::size_t k = 0;
  std::vector<double> smallest;  // a max-heap of the k smallest
  std::vector<double> largest;   // a min-heap of the k largest
};

// Starts a selection of the k = ceil(count / 40) smallest and largest of `count` values.
RangeSelection MakeRangeSelection(int32_t count);
void AddToRange(RangeSelection& range, double value);

// The k-th smallest and the k-th largest value added; both NaN before k values.
struct RandomizedRange {
  double low;
  double high;
};
RandomizedRange RangeOf(const RangeSelection& range);

// The state through which the engine and the randomization tests meet; it outlives
// every evaluation of a Run. It holds what a test's results need of its randomized
// values, never all of them: the observed Fis (tally row 0), the running sum (row 1, the
// mean "Expected" once normalised), the counts behind both P-values (row i + 2 after i
// iterations is the count of values not above the observed one) and the bounds of the
// central 95 %. A test that keeps its values (`keepValues`: the overall test for its
// histogram, its chart and its files) has them in iteration order as well.
struct TallyState {
  bool observedFlag = false;   // ObservedFlag
  int32_t iterationIndex = 0;  // IterationIndex: the next randomized evaluation's
  int32_t iterations = 0;      // I
  uint32_t seed = 0;           // the seed the test's random generator started from
  Extended observedFis = Extended(0);
  Extended sumFis = Extended(0);
  int32_t randomized = 0;  // randomized evaluations since the observed one
  int64_t notAbove = 0;    // values not above the observed one, the observed one included
  int64_t notBelow = 0;    // values not below it, the observed one included
  bool normalised = false;
  // The bounds of the central 95 %, when kept: only the figures draw them, and they take
  // 16 B × N / 40 per test (RandomizedRange is NaN without them).
  bool keepRange = true;
  RangeSelection range;
  // Kept by the updates when keepValues is set: each randomized value rounded to a double,
  // and whether it is not above the observed one (compared in extended precision).
  bool keepValues = false;
  std::vector<double> values;
  std::vector<bool> notAboveFlags;

  // Row 0: the observed Fis.
  Extended observed() const { return observedFis; }
  // Row 1: the observed Fis plus every randomized Fis so far; their mean ("Expected")
  // once normalised.
  Extended sum() const { return sumFis; }
  // Row I + 2 once normalised: the P-value of the test, the share of the I + 1 values not
  // above the observed one.
  Extended pValue() const;
  // The other tail: the share of the I + 1 values at least the observed one.
  Extended upperPValue() const;
};

// A zero-filled tally for `iterations` (>= 0) iterations.
TallyState MakeTallyState(int32_t iterations);

// The running P-value after `iteration` iterations with `notAbove` values, the observed
// one included, not above the observed one: tally row iteration + 2 once normalised.
Extended RunningPValue(int64_t notAbove, int32_t iteration);

// The estimator's tally update: the observed update when observedFlag is set (and then
// cleared), else the randomized update of iteration iterationIndex, which must be the
// next one.
void UpdateTally(TallyState& state, Extended fis);

// The randomized update of the next iteration, without the checks: whether `fis` is not
// above the observed value.
bool AddRandomizedFis(TallyState& state, Extended fis);

// After a test's iterations: row 1 /= I + 1; the P-values follow from the counts.
void NormaliseTally(TallyState& state);

// An internal error unless the tally went through all its iterations, and holds the
// values of each or none.
void CheckTallyComplete(const TallyState& state);

}  // namespace genosieve
