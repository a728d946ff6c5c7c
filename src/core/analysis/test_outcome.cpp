#include "analysis/test_outcome.h"

namespace genosieve {

Extended UpperTailPValue(Extended observed, const std::vector<Extended>& randomized) {
  // Counted and divided in extended precision, as the lower tail is in the tally.
  Extended count = 1.0L;
  for (Extended value : randomized) {
    if (value >= observed) count += 1.0L;
  }
  return count / (static_cast<Extended>(randomized.size()) + 1.0L);
}

}  // namespace genosieve
