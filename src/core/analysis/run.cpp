#include "analysis/run.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/outcome_files.h"
#include "analysis/random_generator.h"
#include "analysis/randomization_tests.h"
#include "analysis/randomized_series.h"
#include "analysis/resource_estimate.h"
#include "analysis/run_files.h"
#include "analysis/table_variant.h"
#include "data/clone_files.h"
#include "data/clones.h"
#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "io/folder_lock.h"
#include "io/output_file.h"
#include "io/stop_check.h"
#include "io/working_folder.h"
#include "messages.h"
#include "reports/results_file.h"

namespace genosieve {

namespace {

// Sections after the overall one reach a results file of this size at most this often
// while the Run goes on (io/rewrite_schedule.h); a smaller one takes each at once.
constexpr std::chrono::milliseconds kResultsRewriteInterval{250};
constexpr std::size_t kResultsSmallSize = std::size_t{4} << 10;

// The files the view made of the finished tests (its figures), written with the Run's
// other outputs; their names were checked with those.
void WriteViewFiles(const RunSettings& settings, RunView& view, const WorkingFolder& folder,
                    const std::function<bool()>& stopRequested) {
  if (!settings.drawFigures) return;
  const std::vector<std::string> expected = FigureFileNames(
      settings.resultName, settings.perLocusAnalysis, settings.perPopulationAnalysis);
  for (const ViewFile& file : view.FilesToWrite(stopRequested)) {
    if (std::find(expected.begin(), expected.end(), file.name) == expected.end()) {
      ThrowInternalError(FillMessage("the view made the unlisted file \"{}\"", file.name));
    }
    WriteWholeFile(folder, file.name, file.bytes);
  }
}

// Whether some locus is typed (holds a genotype that is not missing) in at least two
// populations, or, in data of one population, in at least two individuals: without one the
// estimator has nothing to compare.
bool SomeLocusTypedTwice(const DataFile& data, const PopulationIndex& index, bool onePopulation) {
  const GenotypeTable& table = data.table;
  for (int32_t locus = 0; locus < table.loci; ++locus) {
    int32_t typed = 0;
    for (std::size_t k = 1; k < index.size() && typed < 2; ++k) {
      for (int32_t row = index[k - 1]; row < index[k] && typed < 2; ++row) {
        if (table.at(row, locus).first != 0) {
          ++typed;
          if (!onePopulation) break;
        }
      }
    }
    if (typed >= 2) return true;
  }
  return false;
}

// After a stop or a failure, the figures of the tests that finished, as far as they can be
// drawn and written: the Run ends with its own stop or failure whatever happens here.
// After a stop, the drawing goes on to the end (a second signal ends the command line at
// once); after a failure, a stop ends it.
void WriteViewFilesOfFinishedTests(const RunSettings& settings, RunView& view,
                                   const WorkingFolder& folder, bool stopped) noexcept {
  try {
    WriteViewFiles(settings, view, folder,
                   [&view, stopped] { return !stopped && view.StopRequested(); });
  } catch (...) {
    // The files written stay, each complete; the Run's own ending is reported.
  }
}

// Phases 5 to 13 of RunAnalysis, with the tests' pass started.
void RunPhases(const RunSettings& settings, RunView& view, const RandomizationInputs& inputs,
               TallyState& state, OutcomeFiles& outcomeFiles,
               std::future<ClonalityResults>& clonalityMeanwhile) {
  const std::string& resultName = settings.resultName;
  const DataFile& data = inputs.data;
  const PopulationIndex& index = inputs.index;
  const CloneDetection& clones = inputs.clones;
  const CloneSummary& summary = inputs.summary;
  const HeaderNumbers& header = data.header;
  RunFiles& files = inputs.files;
  const WorkingFolder& folder = files.folder;
  const bool onePopulation = header.populations == 1;
  const int32_t iterations = inputs.iterations;
  // 5. Observed evaluation over all loci and populations: "tempmicrosat.txt" is written,
  // and the evaluation is of the table the engine would load from it.
  const TableVariant overall{RandomizationKind::kOverall, 0};
  try {
    Allocating("observed evaluation", [&] {
      WriteGenotypeFile(folder, kObservedFileName, VariantHeader(header, overall), header.loci,
                        ObservedGenotypeLines(data, index, overall), Replacement::kExchange);
      EvaluateOverallObserved(inputs, state);
    });
  } catch (const RunError& error) {
    // The system's message stays as it is; the line under it says why.
    if (std::string_view(error.what()) != kInvalidOperationMessage ||
        SomeLocusTypedTwice(data, index, onePopulation)) {
      throw;
    }
    throw RunError(std::string(kInvalidOperationMessage) + "\n" +
                   (onePopulation ? messages::NoLocusInTwoIndividuals()
                                  : messages::NoLocusInTwoPopulations()));
  }

  // 6. Clone report.
  WriteCloneReport(folder, "Clones_" + resultName, summary);
  {
    const std::vector<PopulationClones> membership = CloneMembership(data, index, clones);
    WriteCloneMembers(folder, "Clonemembers_" + resultName, membership);
    view.ClonesFound(membership);
  }

  // 7. Clone-free data file.
  WriteCloneFreeFile(folder, "Withoutrepeats_" + resultName, header, clones.cloneFree);

  // Clonal richness and diversity, and whether each repeated genotype is one genet.
  StopIfRequested(view);
  const ClonalityResults clonality = Allocating("clonality and psex tables", [&] {
    const auto overallFis = static_cast<double>(state.observed());
    if (!clonalityMeanwhile.valid()) {
      return DescribeClonality(data, index, clones, summary, overallFis);
    }
    ClonalityResults results = clonalityMeanwhile.get();
    GiveOverallFis(results, overallFis);
    return results;
  });
  WriteClonalityFiles(folder, resultName, clonality);
  view.ClonalityFound(clonality);

  view.SeedChosen(*inputs.settings.seed);
  view.RunPlanned(1 + (settings.perLocusAnalysis ? header.loci : 0) +
                      (settings.perPopulationAnalysis ? header.populations : 0),
                  iterations);

  try {
    // 8-9. Overall test, tally normalisation, chart and overall p-value file.
    StopIfRequested(view);
    Allocating(FillMessage("overall test, N = {}", iterations),
               [&] { RunOverallTest(inputs, state, view); });

    // 10. Results file, started afresh with the overall section.
    WriteOverallSection(folder, files.results, state, settings.decimalSeparator,
                        onePopulation ? messages::kOneSampleEstimatorLine : std::string_view{});
    ReportTestOutcome(inputs, RandomizationKind::kOverall, 1, state, view);

    // 11. Per-locus analysis.
    if (settings.perLocusAnalysis) {
      Allocating(FillMessage("per-locus tests, N = {}", iterations),
                 [&] { RunPerLocusAnalysis(inputs, state, view); });
    }

    // 12. Per-population analysis.
    if (settings.perPopulationAnalysis) {
      Allocating(FillMessage("per-population tests, N = {}", iterations),
                 [&] { RunPerPopulationAnalysis(inputs, state, view); });
    }
    StopIfRequested(view);
  } catch (const RunStopped&) {
    // The finished tests' values stay, as their sections of the results file do, and so
    // do their figures.
    SalvageOutcomeFiles(folder, outcomeFiles);
    WriteViewFilesOfFinishedTests(settings, view, folder, true);
    throw;
  } catch (...) {
    SalvageOutcomeFiles(folder, outcomeFiles);
    WriteViewFilesOfFinishedTests(settings, view, folder, false);
    throw;
  }
  FinishOutcomeFiles(folder, outcomeFiles);
  if (settings.drawFigures) {
    // A stop while the figures are drawn ends the Run with those drawn until then.
    WriteViewFiles(settings, view, folder, [&view] { return view.StopRequested(); });
    StopIfRequested(view);
  }
}

// Phases 5 to 13, once the data are read and every output is known to be writable.
void RunAnalysis(const RunSettings& settings, RunView& view, const DataFile& data,
                 const PopulationIndex& index, const CloneDetection& clones, int32_t iterations,
                 RunFiles& files) {
  const std::string& resultName = settings.resultName;
  const HeaderNumbers& header = data.header;
  // With the room for the overall test's values, the one test whose values stay.
  TallyState state = Allocating(FillMessage("test tally for N = {}", iterations), [&] {
    TallyState tally = MakeTallyState(iterations);
    tally.keepValues = true;
    tally.keepRange = settings.drawFigures || settings.keepCentralRanges;
    tally.values.reserve(static_cast<std::size_t>(iterations));
    tally.notAboveFlags.reserve(static_cast<std::size_t>(iterations));
    return tally;
  });
  // One population: the overall and per-locus tests take the estimator for one sample.
  const bool onePopulation = header.populations == 1;
  if (onePopulation) {
    view.ShowNotice(
        Located({"Data file", settings.dataPath, 0, 0, {}}, messages::OneSampleEstimator()));
  }

  // One seed for every test: the one given, or the clock read once, so that the tests
  // draw the same tables and the Run can be repeated with it.
  RunSettings seeded = settings;
  seeded.seed = SeedForTest(settings.seed).seed;
  const CloneSummary summary = SummariseClones(clones, index);
  // With several threads the clonality tables are worked out on one of their own from
  // now on, while the tests' threads are prepared.
  std::future<ClonalityResults> clonalityMeanwhile;
  if (ThreadCount(settings.threads) >= 2) {
    try {
      clonalityMeanwhile = std::async(std::launch::async, [&data, &index, &clones, &summary] {
        return DescribeClonalityWithoutOverallFis(data, index, clones, summary);
      });
    } catch (const std::system_error&) {
      // No thread: worked out in turn below.
    }
  }
  SeriesStore store;
  // The summary table grows with the tests, as the results file does: the same schedule.
  OutcomeFiles outcomeFiles = StartOutcomeFiles(resultName, settings.writeFisValues,
                                                {kResultsRewriteInterval, kResultsSmallSize});
  RandomizationInputs inputs{seeded, files, data, index, clones, summary, iterations};
  inputs.store = &store;
  inputs.outcomeFiles = &outcomeFiles;
  // After phase 5, "tempmicrosat.txt" and "temp.txt" are written when the Run ends, fails
  // or stops, with the tables the last test left: every test would replace the previous
  // test's (the overall test's "temp.txt" alone is as large as the data).
  PendingTables pending;
  inputs.pending = &pending;
  // The tests' threads start now, and work while this thread writes the files of phases
  // 5 to 7.
  StartRunSeries(inputs, state, view);
  try {
    RunPhases(settings, view, inputs, state, outcomeFiles, clonalityMeanwhile);
  } catch (...) {
    // The failure or the stop is what the Run reports, whatever happens to these files.
    try {
      WritePendingTables(inputs);
    } catch (...) {
    }
    throw;
  }
  WritePendingTables(inputs);
}

// Phases 1 to 12, with the working folder locked.
void RunInFolder(const RunSettings& settings, RunView& view) {
  // The folder, the result name and the lock come first: a Run that cannot write its
  // results fails before it reads or writes anything, and a second Run in the same
  // folder at once.
  const WorkingFolder folder = OpenWorkingFolder(settings.workingFolder);
  CheckOutputName(folder, settings.resultName);
  const FolderLock lock = LockWorkingFolder(folder);
  // The other folders the outputs go to are locked as the working folder is: those the
  // result name gives at once, those of the per-test files once the data give P and L.
  OutputFolderLocks outputFolders;
  {
    std::vector<std::string> names;
    for (const RunOutput& output : RunOutputs(settings, 0, 0, 0)) {
      CheckOutputName(folder, output.name);
      names.push_back(output.name);
    }
    LockOutputFolders(folder, names, outputFolders);
  }

  // 1. Read the data file, in the layout the settings give or the one recognised; a stop
  // asked for meanwhile ends the reading.
  const std::string dataFile = FillMessage("data file \"{}\"", settings.dataPath);
  const DataFile data = Allocating("genotype table of " + dataFile, [&] {
    const StopReadingWhen stop([&view] { return view.StopRequested(); });
    return ImportDataFile(
        settings.dataPath, settings.format,
        [&view](const std::string& text) { view.ShowNotice(text); }, ThreadCount(settings.threads));
  });
  const HeaderNumbers& header = data.header;
  StopIfRequested(view);

  // 2. Population index.
  const PopulationIndex index = BuildPopulationIndex(data);

  // 3. Clone detection: clone-free table and extra-copy counts.
  const CloneDetection clones = Allocating("clone detection of " + dataFile, [&] {
    return DetectClones(data.table, index, ThreadCount(settings.threads));
  });

  // 4. Iteration count; every file the Run will write is now known, and checked before
  // the first is written.
  const int32_t iterations = ConvertIterations(settings.iterationsText);
  const std::vector<RunOutput> outputs =
      RunOutputs(settings, header.populations, header.loci, iterations);
  CheckRunOutputs(folder, settings.dataPath, settings.resultName, outputs);
  {
    std::vector<std::string> names;
    for (const RunOutput& output : outputs) names.push_back(output.name);
    LockOutputFolders(folder, names, outputFolders);
  }
  // Before the first test: the memory and disk the Run will take.
  CheckRunResources(folder, settings, ShapeOfRun(settings, data, index, iterations), view);
  StopIfRequested(view);

  RunFiles files{folder, {}};
  files.results.name = settings.resultName;
  files.results.schedule.interval = kResultsRewriteInterval;
  files.results.schedule.smallSize = kResultsSmallSize;
  try {
    RunAnalysis(settings, view, data, index, clones, iterations, files);
  } catch (const RunStopped&) {
    // The results file this Run started says that it is incomplete.
    WriteInterruptedLine(folder, files.results);
    throw;
  } catch (...) {
    // The sections of the tests finished before the failure stay, as if each had been
    // written at once; the failure itself is what the Run reports.
    try {
      PublishResults(folder, files.results);
    } catch (...) {
      // The file keeps the sections it held; the Run's own failure is reported.
    }
    throw;
  }
  PublishResults(folder, files.results);
}

}  // namespace

int32_t ConvertIterations(const std::string& iterationsText) {
  const int32_t iterations = ConvertInteger(iterationsText);
  if (iterations < 0) throw RunError(messages::IterationsNegative(iterationsText));
  return iterations;
}

void Run(const RunSettings& settings, RunView& view) {
  RunInFolder(settings, view);
  // 13. Every file is in place and the folder free for another Run.
  view.ShowMessage(kDoneMessage);
}

}  // namespace genosieve
