#include "analysis/randomization_tests.h"

#include <string>
#include <vector>

#include "analysis/random_generator.h"
#include "analysis/resampled_tables.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "reports/results_file.h"

namespace genosieve {

namespace {

void WriteRandomizedFile(const std::array<int32_t, 4>& header, const GenotypeTable& lines) {
  WriteGenotypeFile(kRandomizedFileName, header, header[1], lines);
}

// Iterations 1..N of one test, the tally advanced by each randomized evaluation. The
// generator is seeded and the progress range set here, after the observed evaluation.
void RunIterations(const TestInputs& inputs, const ResamplingPlan& plan, const TestVariant& variant,
                   TestState& state, RunView& view) {
  const int32_t iterations = inputs.iterations;
  const GenotypeTable& cloneFree = inputs.clones.cloneFree;
  const std::array<int32_t, 4> header = VariantHeader(plan.header, variant);

  if (inputs.path == TestPath::kPlain) {
    ResamplingTable table = SetUpResamplingTable(plan, cloneFree);
    SeedRandomForTest(inputs.settings.seed);
    view.SetProgressRange(0, iterations + 1);
    if (iterations <= 0) return;
    state.iterationIndex = 1;
    for (int32_t i = 1; i <= iterations; ++i) {
      view.SetProgressPosition(i);
      ResampleAllPopulations(table, plan);
      WriteRandomizedFile(header, ResampledLines(table, plan, variant));
      RunEvaluation(false, state);
      ++state.iterationIndex;
    }
    return;
  }

  FastResampler fast = MakeFastResampler(plan, cloneFree, variant);
  SeedRandomForTest(inputs.settings.seed);
  view.SetProgressRange(0, iterations + 1);
  if (iterations <= 0) return;
  uint32_t seed = RandomSeed();
  state.iterationIndex = 1;
  // When no population's written rows can change, every iteration evaluates the same
  // table: one evaluation gives every iteration's value.
  const bool constantTable = fast.steps.empty();
  Extended fis = 0.0L;
  for (int32_t i = 1; i <= iterations; ++i) {
    view.SetProgressPosition(i);
    ResampleFast(fast, plan, seed);
    try {
      if (!constantTable || i == 1) fis = EvaluateFastIteration(fast);
    } catch (const RunError&) {
      // Leave the table that failed in "temp.txt", as if it had been written first.
      SeedRandom(seed);
      WriteRandomizedFile(header, FastResampledLines(fast, plan, cloneFree));
      throw;
    }
    UpdateTally(state, fis);
    ++state.iterationIndex;
  }
  SeedRandom(seed);
  // "temp.txt" holds the last iteration's table, as if written in every iteration.
  WriteRandomizedFile(header, FastResampledLines(fast, plan, cloneFree));
}

ResamplingPlan PlanOf(const TestInputs& inputs) {
  return MakeResamplingPlan(inputs.data, inputs.index, inputs.clones, inputs.summary);
}

// The observed evaluation that starts a per-locus or per-population test.
void EvaluateObserved(const TestInputs& inputs, const TestVariant& variant, TestState& state) {
  const std::array<int32_t, 4> header = VariantHeader(inputs.data.header, variant);
  WriteGenotypeFile(kObservedFileName, header, header[1],
                    ObservedLines(inputs.data, inputs.index, variant));
  RunEvaluation(true, state);
}

// One test per locus or per population (1..count): observed evaluation, iterations,
// normalisation, the optional p-value file, then the test's section of the results file.
void RunSingleTests(const TestInputs& inputs, TestKind kind, int32_t count,
                    std::string (*pValueFileName)(const std::string&, int32_t),
                    void (*writeSection)(const std::string&, const TestState&, int32_t, char),
                    TestState& state, RunView& view) {
  const ResamplingPlan plan = PlanOf(inputs);
  const RunSettings& settings = inputs.settings;
  for (int32_t k = 1; k <= count; ++k) {
    const TestVariant variant{kind, k};
    EvaluateObserved(inputs, variant, state);
    RunIterations(inputs, plan, variant, state, view);
    NormaliseTally(state);
    if (settings.createPValueFiles) {
      WritePValueFile(pValueFileName(settings.resultName, k), state, settings.decimalSeparator);
    }
    writeSection(settings.resultName, state, k, settings.decimalSeparator);
  }
}

}  // namespace

void RunOverallTest(const TestInputs& inputs, TestState& state, RunView& view) {
  const ResamplingPlan plan = PlanOf(inputs);
  RunIterations(inputs, plan, TestVariant{TestKind::kOverall, 0}, state, view);
  NormaliseTally(state);

  view.ClearChart();
  const RunSettings& settings = inputs.settings;
  if (settings.createPValueFiles) {
    WritePValueFile(OverallPValueFileName(settings.resultName), state, settings.decimalSeparator);
  }
  std::vector<double> points;
  points.reserve(static_cast<size_t>(inputs.iterations));
  for (int32_t i = 1; i <= inputs.iterations; ++i) {
    points.push_back(static_cast<double>(state.testTally[static_cast<size_t>(i) + 2]));
  }
  if (!points.empty()) view.AddChartPoints(points);
  view.ShowChartSeries();
}

void RunPerLocusAnalysis(const TestInputs& inputs, TestState& state, RunView& view) {
  RunSingleTests(inputs, TestKind::kPerLocus, inputs.data.header.loci, LocusPValueFileName,
                 WritePerLocusSection, state, view);
}

void RunPerPopulationAnalysis(const TestInputs& inputs, TestState& state, RunView& view) {
  RunSingleTests(inputs, TestKind::kPerPopulation, inputs.data.header.populations,
                 PopulationPValueFileName, WritePerPopulationSection, state, view);
}

}  // namespace genosieve
