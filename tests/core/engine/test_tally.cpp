#include <gtest/gtest.h>

#include "engine/tally.h"
#include "errors.h"

namespace genosieve {
namespace {

TEST(TestTally, ObservedUpdateInitialisesAndClearsTheFlag) {
  TallyState state = MakeTallyState(3);
  ASSERT_EQ(state.testTally.size(), 6u);
  state.testTally = {9.0L, 9.0L, 9.0L, 9.0L, 9.0L, 9.0L};
  state.observedFlag = true;
  UpdateTally(state, 0.25L);
  EXPECT_FALSE(state.observedFlag);
  EXPECT_EQ(state.testTally, (TestTally{0.25L, 0.25L, 1.0L, 0.0L, 0.0L, 0.0L}));

  // With I = 0 rows 0 to 2 are written and no row is cleared.
  TallyState none = MakeTallyState(0);
  ASSERT_EQ(none.testTally.size(), 3u);
  none.observedFlag = true;
  UpdateTally(none, -0.5L);
  EXPECT_EQ(none.testTally, (TestTally{-0.5L, -0.5L, 1.0L}));
  NormaliseTally(none);
  EXPECT_EQ(none.testTally, (TestTally{-0.5L, -0.5L, 1.0L}));
}

TEST(TestTally, RandomizedUpdatesCountTiesAndLowerValues) {
  TallyState state = MakeTallyState(4);
  state.observedFlag = true;
  UpdateTally(state, 0.25L);
  const Extended values[] = {0.5L, 0.25L, 0.125L, 0.375L};  // above, tie, below, above
  for (int32_t i = 1; i <= 4; ++i) {
    state.iterationIndex = i;
    UpdateTally(state, values[i - 1]);
  }
  EXPECT_EQ(state.testTally, (TestTally{0.25L, 0.25L + 0.5L + 0.25L + 0.125L + 0.375L, 1.0L, 1.0L,
                                        2.0L, 3.0L, 3.0L}));
  // Each value is kept in iteration order; the next observed update clears them.
  EXPECT_EQ(state.randomizedFis, (std::vector<Extended>{0.5L, 0.25L, 0.125L, 0.375L}));
  NormaliseTally(state);
  EXPECT_EQ(state.randomizedFis.size(), 4u);
  const TestTally expected = {0.25L,       1.5L / 5.0L, 1.0L,       1.0L / 2.0L,
                              2.0L / 3.0L, 3.0L / 4.0L, 3.0L / 5.0L};
  EXPECT_EQ(state.testTally, expected);
  state.observedFlag = true;
  UpdateTally(state, 0.5L);
  EXPECT_EQ(state.randomizedFis, (std::vector<Extended>(4, 0.0L)));
}

TEST(TestTally, BadIterationIndexLeavesTheTallyUntouched) {
  TallyState state = MakeTallyState(2);
  state.observedFlag = true;
  UpdateTally(state, 0.1L);
  const TestTally before = state.testTally;
  state.iterationIndex = 3;
  EXPECT_THROW(UpdateTally(state, 0.0L), InternalError);
  state.iterationIndex = 0;
  EXPECT_THROW(UpdateTally(state, 0.0L), InternalError);
  EXPECT_EQ(state.testTally, before);
  EXPECT_THROW(MakeTallyState(-1), InternalError);
  state.testTally.pop_back();
  EXPECT_THROW(NormaliseTally(state), InternalError);
}

TEST(TestTally, AccessorsNameTheRows) {
  TallyState state = MakeTallyState(2);
  state.testTally = {0.5L, 1.5L, 1.0L, 2.0L, 3.0L};
  EXPECT_EQ(state.observed(), 0.5L);
  EXPECT_EQ(state.sum(), 1.5L);
  EXPECT_EQ(state.runningP(0), 1.0L);
  EXPECT_EQ(state.runningP(1), 2.0L);
  EXPECT_EQ(state.runningP(2), 3.0L);
  EXPECT_EQ(state.pValue(), 3.0L);
  state.runningP(1) = 4.0L;
  EXPECT_EQ(state.testTally[3], 4.0L);
}

}  // namespace
}  // namespace genosieve
