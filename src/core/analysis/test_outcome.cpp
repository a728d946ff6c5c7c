#include "analysis/test_outcome.h"

#include <algorithm>
#include <limits>

namespace genosieve {

Extended UpperTailPValue(Extended observed, const std::vector<Extended>& randomized) {
  // Counted and divided in extended precision, as the lower tail is in the tally.
  Extended count = Extended(1);
  for (Extended value : randomized) {
    if (value >= observed) count += Extended(1);
  }
  return count / (static_cast<Extended>(randomized.size()) + Extended(1));
}

std::vector<double> RunningPValues(const TestOutcome& outcome) {
  std::vector<double> running;
  running.reserve(outcome.randomizedFis.size());
  // The tally's count and division, so that the values equal the chart's.
  Extended notAbove = Extended(1);
  for (size_t i = 0; i < outcome.randomizedFis.size(); ++i) {
    if (!(outcome.observed < outcome.randomizedFis[i])) notAbove += Extended(1);
    running.push_back(static_cast<double>(notAbove / static_cast<Extended>(i + 2)));
  }
  return running;
}

RandomizedRange CentralRange(const std::vector<Extended>& randomized) {
  const size_t n = randomized.size();
  if (n == 0) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
  const size_t k = (n + 39) / 40;  // ceil(n / 40) in integers: 2.5 % is 1/40
  std::vector<Extended> sorted = randomized;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(k - 1),
                   sorted.end());
  const Extended low = sorted[k - 1];
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n - k),
                   sorted.end());
  return {static_cast<double>(low), static_cast<double>(sorted[n - k])};
}

}  // namespace genosieve
