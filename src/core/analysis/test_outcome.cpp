#include "analysis/test_outcome.h"

namespace genosieve {

std::vector<double> RunningPValues(const TestOutcome& outcome) {
  std::vector<double> running;
  running.reserve(outcome.notAboveObserved.size());
  // The tally's count and division, so that the values equal the chart's.
  int64_t notAbove = 1;
  for (std::size_t i = 0; i < outcome.notAboveObserved.size(); ++i) {
    if (outcome.notAboveObserved[i]) ++notAbove;
    running.push_back(static_cast<double>(RunningPValue(notAbove, static_cast<int32_t>(i + 1))));
  }
  return running;
}

RandomizedRange CentralRange(const std::vector<Extended>& randomized) {
  RangeSelection range = MakeRangeSelection(static_cast<int32_t>(randomized.size()));
  for (Extended value : randomized) AddToRange(range, static_cast<double>(value));
  return RangeOf(range);
}

}  // namespace genosieve
