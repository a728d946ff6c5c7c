#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/tally.h"
#include "errors.h"

namespace genosieve {
namespace {

// A tally after the observed value and then `values` in iteration order.
TallyState TallyOf(Extended observed, const std::vector<Extended>& values, bool keepValues) {
  TallyState state = MakeTallyState(static_cast<int32_t>(values.size()));
  state.keepValues = keepValues;
  state.observedFlag = true;
  UpdateTally(state, observed);
  for (Extended value : values) {
    ++state.iterationIndex;
    UpdateTally(state, value);
  }
  return state;
}

TEST(TestTally, ObservedUpdateInitialisesAndClearsTheFlag) {
  TallyState state = TallyOf(0.5_ext, {0.75_ext, 0.25_ext, 0.5_ext}, true);
  // A new observed update starts the test again.
  state.observedFlag = true;
  UpdateTally(state, 0.25_ext);
  EXPECT_FALSE(state.observedFlag);
  EXPECT_EQ(state.observed(), 0.25_ext);
  EXPECT_EQ(state.sum(), 0.25_ext);
  EXPECT_EQ(state.notAbove, 1);
  EXPECT_EQ(state.notBelow, 1);
  EXPECT_EQ(state.randomized, 0);
  EXPECT_TRUE(state.values.empty());
  EXPECT_TRUE(state.notAboveFlags.empty());

  // With I = 0 the P-values are 1 and the expected value is the observed one.
  TallyState none = TallyOf(-0.5_ext, {}, false);
  NormaliseTally(none);
  EXPECT_EQ(none.sum(), -0.5_ext);
  EXPECT_EQ(none.pValue(), Extended(1));
  EXPECT_EQ(none.upperPValue(), Extended(1));
  EXPECT_TRUE(std::isnan(RangeOf(none.range).low));
}

TEST(TestTally, RandomizedUpdatesCountTiesAndLowerValues) {
  // Above, tie, below, above.
  TallyState state = TallyOf(0.25_ext, {0.5_ext, 0.25_ext, 0.125_ext, 0.375_ext}, true);
  EXPECT_EQ(state.sum(), 0.25_ext + 0.5_ext + 0.25_ext + 0.125_ext + 0.375_ext);
  EXPECT_EQ(state.notAbove, 3);  // the observed value, the tie and the one below
  EXPECT_EQ(state.notBelow, 4);  // the observed value, the tie and the two above
  EXPECT_EQ(state.values, (std::vector<double>{0.5, 0.25, 0.125, 0.375}));
  EXPECT_EQ(state.notAboveFlags, (std::vector<bool>{false, true, true, false}));
  NormaliseTally(state);
  // The rows of the normalised tally: the mean, and count / (I + 1) for the P-values.
  EXPECT_EQ(state.sum(), 1.5_ext / 5.0_ext);
  EXPECT_EQ(state.pValue(), 3.0_ext / 5.0_ext);
  EXPECT_EQ(state.upperPValue(), 4.0_ext / 5.0_ext);
  EXPECT_EQ(RunningPValue(2, 2), 2.0_ext / 3.0_ext);
  EXPECT_THROW(NormaliseTally(state), InternalError);  // only once

  // Without keepValues only the counts are kept, the same.
  const TallyState counts = TallyOf(0.25_ext, {0.5_ext, 0.25_ext, 0.125_ext, 0.375_ext}, false);
  EXPECT_TRUE(counts.values.empty());
  EXPECT_EQ(counts.notAbove, 3);
  EXPECT_EQ(counts.notBelow, 4);
}

TEST(TestTally, OutOfOrderOrIncompleteIterationsAreRefused) {
  TallyState state = TallyOf(0.1_ext, {}, false);
  state.iterations = 2;
  state.iterationIndex = 3;
  EXPECT_THROW(UpdateTally(state, Extended(0)), InternalError);
  state.iterationIndex = 0;
  EXPECT_THROW(UpdateTally(state, Extended(0)), InternalError);
  state.iterationIndex = 2;  // iteration 1 comes first
  EXPECT_THROW(UpdateTally(state, Extended(0)), InternalError);
  EXPECT_EQ(state.randomized, 0);
  EXPECT_EQ(state.sum(), 0.1_ext);
  EXPECT_THROW(MakeTallyState(-1), InternalError);
  state.iterationIndex = 1;
  UpdateTally(state, Extended(0));
  EXPECT_THROW(NormaliseTally(state), InternalError);  // one iteration of two
}

TEST(TestTally, RangeIsTheKthSmallestAndLargestOfAnyStream) {
  std::mt19937 random(5);
  for (int32_t count : {1, 2, 39, 40, 41, 100, 1000, 4001}) {
    SCOPED_TRACE(count);
    std::vector<Extended> values;
    // Few distinct values, so that ties fall on the k-th place too.
    for (int32_t i = 0; i < count; ++i)
      values.push_back(Extended(static_cast<int32_t>(random() % 17)) / Extended(16) - 0.5_ext);
    const TallyState state = TallyOf(Extended(0), values, false);
    std::vector<Extended> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const auto k = static_cast<size_t>((count + 39) / 40);
    const RandomizedRange range = RangeOf(state.range);
    EXPECT_EQ(range.low, static_cast<double>(sorted[k - 1]));
    EXPECT_EQ(range.high, static_cast<double>(sorted[static_cast<size_t>(count) - k]));
    EXPECT_LE(state.range.smallest.size(), k);
    EXPECT_LE(state.range.largest.size(), k);
  }
}

}  // namespace
}  // namespace genosieve
