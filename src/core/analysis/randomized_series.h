#pragma once

// The randomized Fis values of the randomization tests, worked out on every core.
//
// A test starts its generator from its seed and resamples every population in every
// iteration, so iteration i starts from the seed advanced by (i - 1) × the draws of one
// iteration: blocks of iterations go to worker threads, each starting its generator with
// one jump. The Run's own thread folds each block into each test's tally (engine/tally.h)
// once it and every block before it are done, so a test's tally, its first error and the
// iteration of that error do not depend on the number of threads.
//
// Tests with the same seed draw the same tables: a locus test's table is the overall
// table at that locus, a population test's the overall table's rows of that population
// plus the filler. With a SeriesStore, the first test of a Run makes one pass for itself
// and for the later tests the settings ask for: each iteration resamples once, evaluates
// the overall table locus by locus (engine/prepared_evaluation.h), and gives each locus
// test the value of its locus's own sums (the float sums and errors of a one-locus
// table) and each population test the value of its population's counts with the filler
// (engine/population_evaluation.h). The threads first make the later tests' observed
// evaluations, which their tallies start from.
//
// Memory does not grow with the iterations times the tests: a worker starts a block only
// a few blocks ahead of the fold, and the tests keep their tallies. Only the test the pass
// was started for keeps its values; the others' values and flags, when their p-value
// files or the table of Fis values ask for them, go to a scratch file of the working
// folder as they are folded (analysis/spilled_values.h), and are read back when their
// test is reported.

#include <cstdint>
#include <exception>
#include <memory>

#include "analysis/resampling_plan.h"
#include "analysis/table_variant.h"
#include "engine/tally.h"
#include "extended.h"

namespace genosieve {

struct RandomizationInputs;
struct RunView;
struct SeriesPass;

// The pass of a Run, kept between its tests so that later tests read their tallies from it.
struct SeriesStore {
  std::shared_ptr<SeriesPass> pass;
};

// Threads for a Run: `setting` when positive, else the machine's cores.
int32_t ThreadCount(int32_t setting);

// The pass that gives the tally of test `variant` for `seed`: the store's when it has it,
// else a new one (kept in the store, if any) that starts working at once from `observed`,
// the test's tally after its observed evaluation, whose room for values it takes over
// until TakeTally. When the system refuses to start some of its threads the pass goes on
// with those it has, or on the Run's own thread, and the view is told (ShowNotice).
std::shared_ptr<SeriesPass> SeriesFor(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                                      const TableVariant& variant, uint32_t seed,
                                      TallyState& observed, RunView& view);

// Waits until iteration `iteration` (1-based) of test `variant` is in the test's tally:
// null, or the error that iteration's evaluation raised (rethrow it; the tally then holds
// the iterations before it).
std::exception_ptr AwaitIteration(SeriesPass& pass, const TableVariant& variant, int32_t iteration);

// The iterations 1..n of test `variant` that are in its tally without an error, as far as
// the pass has folded them: AwaitIteration returns null at once for each of them.
int32_t IterationsReady(const SeriesPass& pass, const TableVariant& variant);

// The test's tally as far as it is folded: at least up to the last iteration awaited.
const TallyState& PassTally(const SeriesPass& pass, const TableVariant& variant);

// After the test's last iteration: its tally into `state`, which holds its observed
// evaluation, with the values and flags of its iterations that its files and its report
// need (every one for the test the pass was started for). After a failing iteration: the
// counts and sums of the iterations before it.
void TakeTally(SeriesPass& pass, const TableVariant& variant, TallyState& state);

// The observed evaluation of test `variant` that the pass made on its threads: null when
// it made none for that test, else its value, or its error (rethrow it).
struct IterationValue {
  Extended value = Extended(0);
  std::exception_ptr error;
};
const IterationValue* PassObserved(SeriesPass& pass, const TableVariant& variant);

// Stops the pass's workers at their next iteration; the tallies folded stay.
void StopSeries(SeriesPass& pass);

// For tests: from now on `starts` more worker threads start, and every later start fails
// as the system's does when it cannot make a thread (std::system_error); negative lifts
// the limit.
void LimitThreadStarts(int32_t starts);

}  // namespace genosieve
