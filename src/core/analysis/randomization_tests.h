#pragma once

#include <cstdint>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "engine/test_tally.h"

namespace genosieve {

// How a test gets its randomized evaluations. Fast: resampled tables evaluated in memory,
// only the draws and rows that can change are done, and "temp.txt" is written once with
// the last iteration's table. Plain: every key drawn and fully sorted, every table built
// whole, written to "temp.txt" and loaded back by the engine in every iteration. Both give
// the same tallies and the same files.
enum class TestPath { kFast, kPlain };

// What the three kinds of randomization test read from the Run.
struct TestInputs {
  const RunSettings& settings;
  const DataFile& data;
  const PopulationIndex& index;
  const CloneDetection& clones;
  const CloneSummary& summary;
  int32_t iterations;  // N >= 0
  TestPath path = TestPath::kFast;
};

// Overall test and its reporting up to the chart: iterations, tally normalisation,
// chart points and the optional "overall p-values_" file. The tally holds the
// observed evaluation's values on entry and the normalised values on return.
void RunOverallTest(const TestInputs& inputs, TestState& state, RunView& view);

// One test per locus, each appending its section to the results file.
void RunPerLocusAnalysis(const TestInputs& inputs, TestState& state, RunView& view);

// One test per population, each appending its section to the results file.
void RunPerPopulationAnalysis(const TestInputs& inputs, TestState& state, RunView& view);

}  // namespace genosieve
