#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/randomized_series.h"
#include "analysis/resampling_plan.h"
#include "analysis/run_files.h"
#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "analysis/table_variant.h"
#include "analysis/test_outcome.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "engine/tally.h"

namespace genosieve {

struct RandomizationInputs;
struct OutcomeFiles;

// The intermediate genotype files that the tests have left to write: every test would
// replace the previous test's, so only the last versions are written, when the Run (or a
// series outside a Run) ends, fails or stops, and the folder then holds what it would hold
// had every test written its own.
struct PendingTables {
  bool observed = false;  // "tempmicrosat.txt": the observed table of observedVariant
  TableVariant observedVariant;
  bool randomized = false;  // "temp.txt": iteration `iteration` of randomizedVariant
  TableVariant randomizedVariant;
  uint32_t seed = 0;
  int32_t iteration = 0;
};

// Iterations 1..N of one test after its observed evaluation: seeds the generator, sets
// the progress range, and brings the tally through one randomized evaluation per
// iteration, with the values and flags of every iteration when the tally keeps them
// (TallyState::keepValues), feeding the overall test's running P-value to the view as it
// goes (FeedRunningPValues); "temp.txt" is left with the last iteration's table (or with
// the table whose evaluation failed).
using IterationLoop = void (*)(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                               const TableVariant& variant, TallyState& state, RunView& view);

// The overall test's running P-value as its iterations go (RunView::RunningPValues): the
// point of every step-th iteration and of the last, at most kRunningPValuePoints in all,
// handed over kRunningPValueBatch at a time, in iteration order. The steps depend on N
// alone, so that the points are the same whatever the threads.
inline constexpr int32_t kRunningPValuePoints = 2000;
inline constexpr int32_t kRunningPValueBatch = 50;
struct RunningPValueFeed {
  bool on = false;  // only the overall test's is drawn while it runs
  int32_t step = 1;
  int32_t batch = 1;  // iterations between two hand-overs
  int32_t iterations = 0;
  int32_t sent = 0;  // the iterations handed over
  int64_t notAbove = 1;
};
RunningPValueFeed StartRunningPValues(const TableVariant& variant, int32_t iterations);
// After iteration `iteration`, with the flags of the test's values so far
// (TallyState::notAboveFlags).
void FeedRunningPValues(RunningPValueFeed& feed, const std::vector<bool>& notAboveFlags,
                        int32_t iteration, RunView& view);

// The Run's loop: the values come from a pass over the iterations on every core
// (analysis/randomized_series.h), shared with the later tests of the Run through the
// inputs' store; only the draws that can change a written row are made, the counts
// common to every iteration are made once (analysis/fast_resampler.h), and "temp.txt" is
// written once, at the end (or at the failing iteration), with the table of that
// iteration.
void RunPreparedIterations(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                           const TableVariant& variant, TallyState& state, RunView& view);

// What the three kinds of randomization test read from the Run.
struct RandomizationInputs {
  const RunSettings& settings;
  RunFiles& files;
  const DataFile& data;
  const PopulationIndex& index;
  const CloneDetection& clones;
  const CloneSummary& summary;
  int32_t iterations;  // N >= 0
  // Another loop giving the same tallies, errors and files may stand in for the Run's
  // own (the tests compare it with a plain one).
  IterationLoop runIterations = RunPreparedIterations;
  // Where the Run's loop keeps the values it works out for later tests; without it each
  // test works out its own.
  SeriesStore* store = nullptr;
  // The Run's tables of finished tests; none when the tests run outside a Run.
  OutcomeFiles* outcomeFiles = nullptr;
  // Whether the per-locus and per-population tests leave their intermediate files to be
  // written later (see PendingTables); else each test writes its own
  // and the engine loads them (the tests compare the two ways).
  bool deferTables = true;
  // Where the tests leave them: the Run's, for all its tests (it writes them when it ends,
  // fails or stops), else a series' own.
  PendingTables* pending = nullptr;
};

// Writes the intermediate files the tests left in the inputs' PendingTables, if any.
void WritePendingTables(const RandomizationInputs& inputs);

// The randomized evaluation's file: the test's variant of `lines` as "temp.txt".
void WriteRandomizedFile(const WorkingFolder& folder, const std::array<int32_t, 4>& header,
                         const GenotypeLines& lines);

// The name of the subject of test k of a kind: "overall", the locus name from the data
// file, or the population's name (data/genotype_table.h).
std::string SubjectName(const RandomizationInputs& inputs, RandomizationKind kind, int32_t k);

// The finished test k of a kind, from its normalised tally, whose values and flags it takes
// (the overall test's become the outcome's).
TestOutcome MakeTestOutcome(const RandomizationInputs& inputs, RandomizationKind kind,
                            int32_t index, TallyState& state);

// Reports finished test k of a kind, once its section of the results file is written: a
// row of the outcome tables (and the test's rows of the table of Fis values, from the
// tally's values), then the view's TestFinished.
void ReportTestOutcome(const RandomizationInputs& inputs, RandomizationKind kind, int32_t index,
                       TallyState& state, RunView& view);

// Starts the pass of every test of the Run (analysis/randomized_series.h) before the
// files of phases 5 to 7 are written, so that its threads make the observed evaluations
// and the first iterations meanwhile. A pass that cannot start then is started again by
// the overall test, which meets the same failure where a Run always met it.
void StartRunSeries(const RandomizationInputs& inputs, TallyState& state, RunView& view);

// The overall observed evaluation: the pass's when it made it, else the engine's
// evaluation of the table it would load from "tempmicrosat.txt".
void EvaluateOverallObserved(const RandomizationInputs& inputs, TallyState& state);

// Overall test and its reporting up to the chart: iterations, tally normalisation,
// chart points and the optional "overall p-values_" file. The tally holds the
// observed evaluation's values on entry and the normalised values on return.
void RunOverallTest(const RandomizationInputs& inputs, TallyState& state, RunView& view);

// One test per locus, each adding its section to the results file.
void RunPerLocusAnalysis(const RandomizationInputs& inputs, TallyState& state, RunView& view);

// One test per population, each adding its section to the results file.
void RunPerPopulationAnalysis(const RandomizationInputs& inputs, TallyState& state, RunView& view);

}  // namespace genosieve
