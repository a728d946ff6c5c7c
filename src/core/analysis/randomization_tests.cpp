#include "analysis/randomization_tests.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "analysis/fast_resampler.h"
#include "analysis/outcome_files.h"
#include "analysis/random_generator.h"
#include "analysis/randomized_series.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "errors.h"
#include "reports/results_file.h"

namespace genosieve {

void WriteRandomizedFile(const WorkingFolder& folder, const std::array<int32_t, 4>& header,
                         const GenotypeLines& lines) {
  WriteGenotypeFile(folder, kRandomizedFileName, header, header[1], lines, Replacement::kExchange);
}

namespace {

// "temp.txt" with iteration `iteration` of the test.
void WriteRandomizedTable(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                          const TableVariant& variant, uint32_t seed, int32_t iteration) {
  WriteRandomizedFile(inputs.files.folder, VariantHeader(plan.header, variant),
                      ResampledLinesAt(plan, inputs.clones.cloneFree, variant, seed, iteration));
}

// The same, now or when the series ends.
void LeaveRandomizedTable(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                          const TableVariant& variant, uint32_t seed, int32_t iteration) {
  if (inputs.pending != nullptr) {
    PendingTables& pending = *inputs.pending;
    pending.randomized = true;
    pending.randomizedVariant = variant;
    pending.seed = seed;
    pending.iteration = iteration;
    return;
  }
  WriteRandomizedTable(inputs, plan, variant, seed, iteration);
}

}  // namespace

RunningPValueFeed StartRunningPValues(const TableVariant& variant, int32_t iterations) {
  RunningPValueFeed feed;
  feed.on = variant.kind == RandomizationKind::kOverall && iterations > 0;
  feed.step = std::max(int32_t{1}, (iterations + kRunningPValuePoints - 1) / kRunningPValuePoints);
  feed.batch = feed.step * kRunningPValueBatch;
  feed.iterations = iterations;
  return feed;
}

void FeedRunningPValues(RunningPValueFeed& feed, const std::vector<bool>& notAboveFlags,
                        int32_t iteration, RunView& view) {
  if (!feed.on || (iteration % feed.batch != 0 && iteration != feed.iterations)) return;
  std::vector<RunningPValuePoint> points;
  for (int32_t i = feed.sent + 1; i <= iteration; ++i) {
    if (notAboveFlags[static_cast<size_t>(i) - 1]) ++feed.notAbove;
    if (i % feed.step == 0 || i == feed.iterations) {
      points.push_back({i, static_cast<double>(RunningPValue(feed.notAbove, i))});
    }
  }
  feed.sent = iteration;
  if (!points.empty()) view.RunningPValues(RandomizationKind::kOverall, 1, points);
}

void RunPreparedIterations(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                           const TableVariant& variant, TallyState& state, RunView& view) {
  CheckVariant(plan.header, variant);
  const int32_t iterations = inputs.iterations;
  const uint32_t seed = SeedForTest(inputs.settings.seed).seed;
  state.seed = seed;
  view.SetProgressRange(0, iterations + 1);
  if (iterations <= 0) return;
  const std::shared_ptr<SeriesPass> pass = SeriesFor(inputs, plan, variant, seed, state, view);
  RunningPValueFeed feed = StartRunningPValues(variant, iterations);
  // The later tests of a Run find every iteration folded: they ask the pass once.
  int32_t ready = 0;
  for (int32_t i = 1; i <= iterations; ++i) {
    StopIfRequested(view);
    view.SetProgressPosition(i);
    state.iterationIndex = i;
    if (i <= ready) continue;
    if (const std::exception_ptr error = AwaitIteration(*pass, variant, i)) {
      StopSeries(*pass);
      // The tally holds the iterations before the failing one, as the engine leaves it.
      TakeTally(*pass, variant, state);
      // Leave the table that failed in "temp.txt", as if it had been written first.
      LeaveRandomizedTable(inputs, plan, variant, seed, i);
      std::rethrow_exception(error);
    }
    if (feed.on) {
      FeedRunningPValues(feed, PassTally(*pass, variant).notAboveFlags, i, view);
    } else {
      ready = IterationsReady(*pass, variant);
    }
  }
  TakeTally(*pass, variant, state);
  // "temp.txt" holds the last iteration's table, as if written in every iteration.
  LeaveRandomizedTable(inputs, plan, variant, seed, iterations);
}

std::string SubjectName(const RandomizationInputs& inputs, RandomizationKind kind, int32_t k) {
  if (kind == RandomizationKind::kOverall) return "overall";
  if (kind == RandomizationKind::kPerLocus) {
    const std::vector<std::string>& names = inputs.data.locusNames;
    return static_cast<size_t>(k) <= names.size() ? names[static_cast<size_t>(k) - 1] : "";
  }
  return PopulationName(inputs.data, static_cast<size_t>(k));
}

TestOutcome MakeTestOutcome(const RandomizationInputs& inputs, RandomizationKind kind,
                            int32_t index, TallyState& state) {
  CheckTallyComplete(state);
  TestOutcome outcome;
  outcome.kind = kind;
  outcome.index = index;
  outcome.name = SubjectName(inputs, kind, index);
  const CloneSummary& summary = inputs.summary;
  if (kind == RandomizationKind::kPerPopulation) {
    const auto k = static_cast<size_t>(index) - 1;
    outcome.individuals = summary.size.at(k);
    outcome.distinctGenotypes = summary.ndGenotypes.at(k);
  } else {
    for (int32_t size : summary.size) outcome.individuals += size;
    for (int32_t distinct : summary.ndGenotypes) outcome.distinctGenotypes += distinct;
  }
  outcome.observed = state.observed();
  outcome.expected = state.sum();
  outcome.pLower = state.pValue();
  outcome.pUpper = state.upperPValue();
  outcome.iterations = state.iterations;
  outcome.seed = state.seed;
  outcome.centralRange = RangeOf(state.range);
  if (kind == RandomizationKind::kOverall) {
    outcome.randomizedFis = std::move(state.values);
    outcome.notAboveObserved = std::move(state.notAboveFlags);
  }
  state.values.clear();
  state.notAboveFlags.clear();
  return outcome;
}

void ReportTestOutcome(const RandomizationInputs& inputs, RandomizationKind kind, int32_t index,
                       TallyState& state, RunView& view) {
  // The table of Fis values takes the values from the tally, which the outcome may take over.
  std::vector<double> values;
  if (kind != RandomizationKind::kOverall) values = std::move(state.values);
  const TestOutcome outcome = MakeTestOutcome(inputs, kind, index, state);
  if (inputs.outcomeFiles != nullptr) {
    AddOutcome(inputs.files.folder, *inputs.outcomeFiles, outcome,
               kind == RandomizationKind::kOverall ? outcome.randomizedFis : values);
  }
  view.TestFinished(outcome);
}

namespace {

ResamplingPlan PlanOf(const RandomizationInputs& inputs) {
  return MakeResamplingPlan(inputs.data, inputs.index, inputs.clones, inputs.summary);
}

// The pass's observed evaluation of a test, when the Run's pass made it.
const IterationValue* MadeObserved(const RandomizationInputs& inputs, const TableVariant& variant) {
  if (inputs.store == nullptr || !inputs.store->pass) return nullptr;
  return PassObserved(*inputs.store->pass, variant);
}

// "tempmicrosat.txt" with the observed table of the variant.
void WriteObservedFile(const RandomizationInputs& inputs, const TableVariant& variant) {
  const std::array<int32_t, 4> header = VariantHeader(inputs.data.header, variant);
  WriteGenotypeFile(inputs.files.folder, kObservedFileName, header, header[1],
                    ObservedGenotypeLines(inputs.data, inputs.index, variant),
                    Replacement::kExchange);
}

// The observed evaluation that starts a per-locus or per-population test: the engine's
// evaluation of the table it would load from "tempmicrosat.txt", which is left to write.
void EvaluateObserved(const RandomizationInputs& inputs, const TableVariant& variant,
                      TallyState& state, EngineWorkspace& workspace) {
  if (inputs.pending == nullptr) {
    WriteObservedFile(inputs, variant);
    RunEvaluation(inputs.files.folder, EvaluationKind::kObserved, state);
    return;
  }
  PendingTables& pending = *inputs.pending;
  pending.observed = true;
  pending.observedVariant = variant;
  state.observedFlag = true;
  // The Run's pass made it on its threads, with the same bits or error.
  if (const IterationValue* made = MadeObserved(inputs, variant)) {
    if (made->error) std::rethrow_exception(made->error);
    UpdateTally(state, made->value);
    return;
  }
  const std::array<int32_t, 4> header = VariantHeader(inputs.data.header, variant);
  const EngineInput input =
      LoadedGenotypes(header, ObservedGenotypeLines(inputs.data, inputs.index, variant));
  UpdateTally(state, EvaluateFis(input, workspace));
}

// One test per locus or per population (1..count): observed evaluation, iterations,
// normalisation, the optional p-value file, then the test's section of the results file.
void RunSingleTests(const RandomizationInputs& inputs, RandomizationKind kind, int32_t count,
                    std::string (*pValueFileName)(const std::string&, int32_t),
                    void (*writeSection)(const WorkingFolder&, ResultsFile&, const TallyState&,
                                         int32_t, char),
                    TallyState& state, RunView& view) {
  const ResamplingPlan plan = PlanOf(inputs);
  const RunSettings& settings = inputs.settings;
  RunFiles& files = inputs.files;
  // The Run's, which it writes when it ends, else the series' own.
  PendingTables own;
  const bool owned = inputs.pending == nullptr;
  // Each test keeps its values while it runs, for its files, unless its loop hands them over.
  state.keepValues = true;
  RandomizationInputs series = inputs;
  if (owned) series.pending = inputs.deferTables ? &own : nullptr;
  EngineWorkspace workspace;
  try {
    for (int32_t k = 1; k <= count; ++k) {
      StopIfRequested(view);
      view.TestStarted(kind, k, count, SubjectName(inputs, kind, k));
      const TableVariant variant{kind, k};
      EvaluateObserved(series, variant, state, workspace);
      inputs.runIterations(series, plan, variant, state, view);
      NormaliseTally(state);
      if (settings.createPValueFiles) {
        WritePValueFile(files.folder, pValueFileName(settings.resultName, k), state,
                        settings.decimalSeparator);
      }
      writeSection(files.folder, files.results, state, k, settings.decimalSeparator);
      ReportTestOutcome(inputs, kind, k, state, view);
    }
  } catch (...) {
    // The failure or the stop is what the Run reports, whatever happens to these files.
    try {
      if (owned) WritePendingTables(series);
    } catch (...) {
    }
    throw;
  }
  if (owned) WritePendingTables(series);
}

}  // namespace

void WritePendingTables(const RandomizationInputs& inputs) {
  if (inputs.pending == nullptr) return;
  PendingTables& pending = *inputs.pending;
  if (pending.observed) {
    pending.observed = false;
    WriteObservedFile(inputs, pending.observedVariant);
  }
  if (pending.randomized) {
    pending.randomized = false;
    WriteRandomizedTable(inputs, PlanOf(inputs), pending.randomizedVariant, pending.seed,
                         pending.iteration);
  }
}

void StartRunSeries(const RandomizationInputs& inputs, TallyState& state, RunView& view) {
  if (inputs.store == nullptr || inputs.runIterations != RunPreparedIterations) return;
  try {
    SeriesFor(inputs, PlanOf(inputs), TableVariant{RandomizationKind::kOverall, 0},
              SeedForTest(inputs.settings.seed).seed, state, view);
  } catch (const RunError&) {
    // The overall test starts it again, and meets the failure where a Run always met it.
  } catch (const std::bad_alloc&) {
  }
}

void EvaluateOverallObserved(const RandomizationInputs& inputs, TallyState& state) {
  const TableVariant overall{RandomizationKind::kOverall, 0};
  state.observedFlag = true;
  if (const IterationValue* made = MadeObserved(inputs, overall)) {
    if (made->error) std::rethrow_exception(made->error);
    UpdateTally(state, made->value);
    return;
  }
  EngineWorkspace workspace;
  UpdateTally(
      state, EvaluateFis(LoadedGenotypes(VariantHeader(inputs.data.header, overall),
                                         ObservedGenotypeLines(inputs.data, inputs.index, overall)),
                         workspace));
}

void RunOverallTest(const RandomizationInputs& inputs, TallyState& state, RunView& view) {
  const ResamplingPlan plan = PlanOf(inputs);
  view.TestStarted(RandomizationKind::kOverall, 1, 1,
                   SubjectName(inputs, RandomizationKind::kOverall, 1));
  // Its values stay for its histogram, its chart and its files.
  state.keepValues = true;
  inputs.runIterations(inputs, plan, TableVariant{RandomizationKind::kOverall, 0}, state, view);
  NormaliseTally(state);

  view.ClearChart();
  const RunSettings& settings = inputs.settings;
  if (settings.createPValueFiles) {
    WritePValueFile(inputs.files.folder, OverallPValueFileName(settings.resultName), state,
                    settings.decimalSeparator);
  }
  std::vector<double> points;
  points.reserve(state.notAboveFlags.size());
  int64_t notAbove = 1;
  for (size_t i = 0; i < state.notAboveFlags.size(); ++i) {
    if (state.notAboveFlags[i]) ++notAbove;
    points.push_back(static_cast<double>(RunningPValue(notAbove, static_cast<int32_t>(i + 1))));
  }
  if (!points.empty()) view.AddChartPoints(points);
  view.ShowChartSeries();
}

void RunPerLocusAnalysis(const RandomizationInputs& inputs, TallyState& state, RunView& view) {
  RunSingleTests(inputs, RandomizationKind::kPerLocus, inputs.data.header.loci, LocusPValueFileName,
                 WritePerLocusSection, state, view);
}

void RunPerPopulationAnalysis(const RandomizationInputs& inputs, TallyState& state, RunView& view) {
  RunSingleTests(inputs, RandomizationKind::kPerPopulation, inputs.data.header.populations,
                 PopulationPValueFileName, WritePerPopulationSection, state, view);
}

}  // namespace genosieve
