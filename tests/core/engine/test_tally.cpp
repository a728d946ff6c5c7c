#include <gtest/gtest.h>

#include "engine/tally.h"
#include "errors.h"

namespace genosieve {
namespace {

TEST(TestTally, ObservedUpdateInitialisesAndClearsTheFlag) {
  TallyState state = MakeTallyState(3);
  ASSERT_EQ(state.testTally.size(), 6u);
  state.testTally = {Extended(9), Extended(9), Extended(9), Extended(9), Extended(9), Extended(9)};
  state.observedFlag = true;
  UpdateTally(state, 0.25_ext);
  EXPECT_FALSE(state.observedFlag);
  EXPECT_EQ(state.testTally,
            (TestTally{0.25_ext, 0.25_ext, Extended(1), Extended(0), Extended(0), Extended(0)}));

  // With I = 0 rows 0 to 2 are written and no row is cleared.
  TallyState none = MakeTallyState(0);
  ASSERT_EQ(none.testTally.size(), 3u);
  none.observedFlag = true;
  UpdateTally(none, -0.5_ext);
  EXPECT_EQ(none.testTally, (TestTally{-0.5_ext, -0.5_ext, Extended(1)}));
  NormaliseTally(none);
  EXPECT_EQ(none.testTally, (TestTally{-0.5_ext, -0.5_ext, Extended(1)}));
}

TEST(TestTally, RandomizedUpdatesCountTiesAndLowerValues) {
  TallyState state = MakeTallyState(4);
  state.observedFlag = true;
  UpdateTally(state, 0.25_ext);
  const Extended values[] = {0.5_ext, 0.25_ext, 0.125_ext, 0.375_ext};  // above, tie, below, above
  for (int32_t i = 1; i <= 4; ++i) {
    state.iterationIndex = i;
    UpdateTally(state, values[i - 1]);
  }
  EXPECT_EQ(state.testTally,
            (TestTally{0.25_ext, 0.25_ext + 0.5_ext + 0.25_ext + 0.125_ext + 0.375_ext, Extended(1),
                       Extended(1), Extended(2), Extended(3), Extended(3)}));
  // Each value is kept in iteration order; the next observed update clears them.
  EXPECT_EQ(state.randomizedFis, (std::vector<Extended>{0.5_ext, 0.25_ext, 0.125_ext, 0.375_ext}));
  NormaliseTally(state);
  EXPECT_EQ(state.randomizedFis.size(), 4u);
  const TestTally expected = {0.25_ext,
                              1.5_ext / Extended(5),
                              Extended(1),
                              Extended(1) / Extended(2),
                              Extended(2) / Extended(3),
                              Extended(3) / Extended(4),
                              Extended(3) / Extended(5)};
  EXPECT_EQ(state.testTally, expected);
  state.observedFlag = true;
  UpdateTally(state, 0.5_ext);
  EXPECT_EQ(state.randomizedFis, (std::vector<Extended>(4, Extended(0))));
}

TEST(TestTally, BadIterationIndexLeavesTheTallyUntouched) {
  TallyState state = MakeTallyState(2);
  state.observedFlag = true;
  UpdateTally(state, 0.1_ext);
  const TestTally before = state.testTally;
  state.iterationIndex = 3;
  EXPECT_THROW(UpdateTally(state, Extended(0)), InternalError);
  state.iterationIndex = 0;
  EXPECT_THROW(UpdateTally(state, Extended(0)), InternalError);
  EXPECT_EQ(state.testTally, before);
  EXPECT_THROW(MakeTallyState(-1), InternalError);
  state.testTally.pop_back();
  EXPECT_THROW(NormaliseTally(state), InternalError);
}

TEST(TestTally, AccessorsNameTheRows) {
  TallyState state = MakeTallyState(2);
  state.testTally = {0.5_ext, 1.5_ext, Extended(1), Extended(2), Extended(3)};
  EXPECT_EQ(state.observed(), 0.5_ext);
  EXPECT_EQ(state.sum(), 1.5_ext);
  EXPECT_EQ(state.runningP(0), Extended(1));
  EXPECT_EQ(state.runningP(1), Extended(2));
  EXPECT_EQ(state.runningP(2), Extended(3));
  EXPECT_EQ(state.pValue(), Extended(3));
  state.runningP(1) = Extended(4);
  EXPECT_EQ(state.testTally[3], Extended(4));
}

}  // namespace
}  // namespace genosieve
