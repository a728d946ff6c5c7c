#pragma once

#include <cstdint>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "engine/test_tally.h"

namespace genosieve {

// How a test gets its randomized evaluations. Fast: only the draws that can change a
// written row are made, the counts common to every iteration are made once per test and
// each iteration adds those of its extra copies (engine/prepared_test.h), and "temp.txt"
// is written once with the last iteration's table (or with the table whose evaluation
// failed). Plain: every key drawn and fully sorted, every table built whole, written to
// "temp.txt" and loaded back by the engine in every iteration. Both give the same tallies,
// the same errors and the same files.
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
