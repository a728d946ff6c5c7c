#pragma once

#include <cstdint>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "engine/test_tally.h"

namespace genosieve {

// What the three kinds of randomization test read from the Run.
struct TestInputs {
  const RunSettings& settings;
  const DataFile& data;
  const PopulationIndex& index;
  const CloneDetection& clones;
  const CloneSummary& summary;
  int32_t iterations;  // N >= 0
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
