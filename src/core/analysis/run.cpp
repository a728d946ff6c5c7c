#include "analysis/run.h"

#include "analysis/random_generator.h"
#include "analysis/randomization_tests.h"
#include "analysis/randomized_series.h"
#include "analysis/table_variant.h"
#include "data/clone_files.h"
#include "data/clones.h"
#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "messages.h"
#include "reports/results_file.h"

namespace genosieve {

int32_t ConvertIterations(const std::string& iterationsText) {
  const int32_t iterations = ConvertInteger(iterationsText);
  if (iterations < 0) throw RunError(messages::IterationsNegative(iterationsText));
  return iterations;
}

void Run(const RunSettings& settings, RunView& view) {
  const std::string& resultName = settings.resultName;

  // 1. Read the data file, in the layout the settings give or the one recognised.
  const DataFile data = ImportDataFile(settings.dataPath, settings.format,
                                       [&view](const std::string& text) { view.ShowNotice(text); });
  const HeaderNumbers& header = data.header;

  // 2. Population index.
  const PopulationIndex index = BuildPopulationIndex(data);

  // 3. Clone detection: clone-free table and extra-copy counts.
  const CloneDetection clones = DetectClones(data.table, index);

  // 4. Iteration count and test tally; nothing has been written yet.
  const int32_t iterations = ConvertIterations(settings.iterationsText);
  TallyState state = MakeTallyState(iterations);

  // 5. Observed evaluation over all loci and populations.
  const TableVariant overall{RandomizationKind::kOverall, 0};
  WriteGenotypeFile(kObservedFileName, VariantHeader(header, overall), header.loci,
                    ObservedLines(data, index, overall));
  RunEvaluation(EvaluationKind::kObserved, state);

  // 6. Clone summary and clone report.
  const CloneSummary summary = SummariseClones(clones, index);
  WriteCloneReport("Clones_" + resultName, summary);
  WriteCloneMembers("Clonemembers_" + resultName, data, index, clones);

  // 7. Clone-free data file.
  WriteCloneFreeFile("Withoutrepeats_" + resultName, header, clones.cloneFree);

  // One seed for every test: the one given, or the clock read once, so that the tests
  // draw the same tables and the Run can be repeated with it.
  RunSettings seeded = settings;
  seeded.seed = SeedForTest(settings.seed).seed;
  view.SeedChosen(*seeded.seed);
  SeriesStore store;
  RandomizationInputs inputs{seeded, data, index, clones, summary, iterations};
  inputs.store = &store;
  view.RunPlanned(1 + (settings.perLocusAnalysis ? header.loci : 0) +
                      (settings.perPopulationAnalysis ? header.populations : 0),
                  iterations);

  // 8-9. Overall test, tally normalisation, chart and overall p-value file.
  RunOverallTest(inputs, state, view);

  // 10. Results file, created afresh with the overall section.
  WriteOverallSection(resultName, state, settings.decimalSeparator);
  view.TestFinished(MakeTestOutcome(inputs, RandomizationKind::kOverall, 1, state));

  // 11. Per-locus analysis.
  if (settings.perLocusAnalysis) RunPerLocusAnalysis(inputs, state, view);

  // 12. Per-population analysis.
  if (settings.perPopulationAnalysis) RunPerPopulationAnalysis(inputs, state, view);

  // 13.
  view.ShowMessage(kDoneMessage);
}

}  // namespace genosieve
