#pragma once

// The randomized Fis values of the randomization tests, worked out on every core.
//
// A test starts its generator from its seed and resamples every population in every
// iteration, so iteration i starts from the seed advanced by (i - 1) × the draws of one
// iteration: blocks of iterations go to worker threads, each starting its generator with
// one jump, and every value lands at its iteration's place. The tests then read the
// values in iteration order (AwaitValue), so a test's tally, its first error and the
// iteration of that error do not depend on the number of threads.
//
// Tests with the same seed draw the same tables: a locus test's table is the overall
// table at that locus, a population test's the overall table's rows of that population
// plus the filler. With a SeriesStore, the first test of a Run makes one pass for itself
// and for the later tests the settings ask for: each iteration resamples once, evaluates
// the overall table locus by locus (engine/prepared_evaluation.h), and gives each locus
// test the value of its locus's own sums (the float sums and errors of a one-locus
// table) and each population test the value of its population's counts with the filler
// (engine/population_evaluation.h).

#include <cstdint>
#include <exception>
#include <memory>

#include "analysis/resampling_plan.h"
#include "analysis/table_variant.h"
#include "extended.h"

namespace genosieve {

struct RandomizationInputs;
struct SeriesPass;

// The pass of a Run, kept between its tests so that later tests read their values from it.
struct SeriesStore {
  std::shared_ptr<SeriesPass> pass;
};

// Threads for a Run: `setting` when positive, else the machine's cores.
int32_t ThreadCount(int32_t setting);

// The pass that gives the values of test `variant` for `seed`: the store's when it has
// them, else a new one (kept in the store, if any) that starts working at once.
std::shared_ptr<SeriesPass> SeriesFor(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                                      const TableVariant& variant, uint32_t seed);

// The randomized Fis of iteration `iteration` (1-based) of test `variant`, once known:
// null `error` and the value, or the error its evaluation raised (rethrow it).
struct IterationValue {
  Extended value = Extended(0);
  std::exception_ptr error;
};
IterationValue AwaitValue(SeriesPass& pass, const TableVariant& variant, int32_t iteration);

// Stops the pass's workers at their next iteration; the values known stay.
void StopSeries(SeriesPass& pass);

}  // namespace genosieve
