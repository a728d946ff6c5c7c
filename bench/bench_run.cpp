// Randomization tests and whole Runs on the shared benchmark data, N = 1000:
//   BM_OverallTest/large    the overall test alone (iterations, normalisation, chart);
//   BM_PerLocusAnalysis/large, BM_PerPopulationAnalysis/large   each analysis alone;
//   BM_Run/large, BM_Run/typical   the whole Run with both analyses (151 tests on the
//   large data), from reading the data file to "done ! ";
//   BM_OverallTestPlain/large   the plain path (every table through "temp.txt"), for
//   comparison, with 20 iterations.
//   BM_RunCase/<data>/threads:<T>   whole Runs of the cases with T threads (0:
//   one per core): large at N = 1000 and 10,000, SNP-like (20 x 100, 1000 biallelic
//   loci), SNP scale (the same with 10,000 loci, N = 999), 200 / 400 individuals per
//   population, 200 / 400 loci (all analyses, N = 1000), and 8k / 16k / 32k populations of
//   4 (per-population analysis, N = 100).
// Peak memory: run one benchmark under /usr/bin/time -v with --benchmark_filter, or time
// genosieve-cli on the data files that write_bench_data writes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/randomization_tests.h"
#include "analysis/run.h"
#include "bench_data.h"
#include "data/clones.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "io/working_folder.h"
#include "reports/results_file.h"
#include "support/fake_run_view.h"
#include "support/plain_path.h"

namespace genosieve::bench {
namespace {

constexpr int32_t kIterations = 1000;

// A view that keeps nothing of the many Runs a benchmark makes.
testing::FakeRunView QuietView() {
  testing::FakeRunView view;
  view.recordCalls = false;
  return view;
}

// A fresh folder made the current folder while the benchmark runs.
struct BenchFolder {
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("genosieve-bench-run-" + std::to_string(::getpid()));
  BenchFolder() {
    std::filesystem::create_directories(path);
    std::filesystem::current_path(path);
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
  }
};

DataFile DataOf(int64_t which) { return which == 0 ? LargeBenchData() : TypicalBenchData(); }

RunSettings Settings(bool perLocus, bool perPopulation) {
  RunSettings settings;
  settings.dataPath = "data.txt";
  settings.iterationsText = std::to_string(kIterations);
  settings.resultName = "results.txt";
  settings.createPValueFiles = true;
  settings.perLocusAnalysis = perLocus;
  settings.perPopulationAnalysis = perPopulation;
  settings.seed = 20261208u;
  return settings;
}

void BM_Run(benchmark::State& state) {
  BenchFolder folder;
  WriteBenchDataFile("data.txt", DataOf(state.range(0)));
  const RunSettings settings = Settings(true, true);
  testing::FakeRunView view = QuietView();
  for (auto _ : state) {
    Run(settings, view);
    view.messages.clear();
  }
}
BENCHMARK(BM_Run)->ArgName("large_0_typical_1")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

struct RunCase {
  const char* name;
  BenchDataOptions options;
  int32_t iterations;
  bool perLocus;
};

std::vector<RunCase> RunCases() {
  BenchDataOptions ind200 = LargeOptions();
  ind200.populations = 20;
  ind200.individualsPerPopulation = 200;
  BenchDataOptions ind400 = ind200;
  ind400.individualsPerPopulation = 400;
  BenchDataOptions loci200 = LargeOptions();
  loci200.loci = 200;
  BenchDataOptions loci400 = LargeOptions();
  loci400.loci = 400;
  return {{"large", LargeOptions(), 1000, true},
          {"large_N10000", LargeOptions(), 10000, true},
          {"snp", SnpOptions(), 1000, true},
          {"snp10k", Snp10kOptions(), 999, true},
          {"ind200", ind200, 1000, true},
          {"ind400", ind400, 1000, true},
          {"loci200", loci200, 1000, true},
          {"loci400", loci400, 1000, true},
          {"pops8k", SmallPopulationsOptions(8192), 100, false},
          {"pops16k", SmallPopulationsOptions(16384), 100, false},
          {"pops32k", SmallPopulationsOptions(32768), 100, false}};
}

void BM_RunCase(benchmark::State& state) {
  const RunCase run = RunCases()[static_cast<size_t>(state.range(0))];
  WorkingFolder folder;
  WriteBenchDataFile("data.txt", MakeBenchData(run.options));
  RunSettings settings = Settings(run.perLocus, true);
  settings.iterationsText = std::to_string(run.iterations);
  settings.createPValueFiles = false;
  settings.threads = static_cast<int32_t>(state.range(1));
  testing::FakeRunView view = QuietView();
  for (auto _ : state) {
    Run(settings, view);
    view.messages.clear();
  }
}

void RunCaseArguments(benchmark::internal::Benchmark* benchmark) {
  for (size_t c = 0; c < RunCases().size(); ++c) {
    for (int64_t threads : {1, 2}) benchmark->Args({static_cast<int64_t>(c), threads});
  }
}
BENCHMARK(BM_RunCase)
    ->Apply(RunCaseArguments)
    ->ArgNames({"case", "threads"})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

enum class Analysis { kOverall, kPerLocus, kPerPopulation };

// One analysis on the large data, after the phases of the Run that precede it.
void RunAnalysis(benchmark::State& state, Analysis analysis, IterationLoop loop,
                 int32_t iterations) {
  BenchFolder folder;
  const DataFile data = LargeBenchData();
  const PopulationIndex index = MakeBenchPopulationIndex(data);
  const CloneDetection clones = DetectClones(data.table, index);
  const CloneSummary summary = SummariseClones(clones, index);
  RunSettings settings = Settings(false, false);
  settings.iterationsText = std::to_string(iterations);
  const WorkingFolder here = OpenWorkingFolder(".");
  RunFiles files{here, {settings.resultName, {}, false}};
  const RandomizationInputs inputs{settings, files, data, index, clones, summary, iterations, loop};
  GenotypeTable lines = data.table;
  for (size_t k = 1; k < index.size(); ++k) {
    for (int32_t row = index[k - 1]; row < index[k]; ++row) {
      lines.population[static_cast<size_t>(row)] = static_cast<int32_t>(k);
    }
  }
  const HeaderNumbers& h = data.header;
  WriteGenotypeFile(here, kObservedFileName, {h.populations, h.loci, h.highestAllele, h.codeWidth},
                    h.loci, lines);
  testing::FakeRunView view = QuietView();
  for (auto _ : state) {
    state.PauseTiming();
    TallyState tally = MakeTallyState(iterations);
    RunEvaluation(here, EvaluationKind::kObserved, tally);
    // The analyses add to the results file that the overall section starts (here that of
    // a test without iterations).
    TallyState started = MakeTallyState(0);
    started.observedFlag = true;
    UpdateTally(started, tally.observed());
    NormaliseTally(started);
    WriteOverallSection(here, files.results, started, settings.decimalSeparator);
    state.ResumeTiming();
    switch (analysis) {
      case Analysis::kOverall:
        RunOverallTest(inputs, tally, view);
        break;
      case Analysis::kPerLocus:
        RunPerLocusAnalysis(inputs, tally, view);
        break;
      case Analysis::kPerPopulation:
        RunPerPopulationAnalysis(inputs, tally, view);
        break;
    }
  }
}

void BM_OverallTest(benchmark::State& state) {
  RunAnalysis(state, Analysis::kOverall, RunPreparedIterations, kIterations);
}
BENCHMARK(BM_OverallTest)->Name("BM_OverallTest/large")->Unit(benchmark::kMillisecond);

void BM_PerLocusAnalysis(benchmark::State& state) {
  RunAnalysis(state, Analysis::kPerLocus, RunPreparedIterations, kIterations);
}
BENCHMARK(BM_PerLocusAnalysis)->Name("BM_PerLocusAnalysis/large")->Unit(benchmark::kMillisecond);

void BM_PerPopulationAnalysis(benchmark::State& state) {
  RunAnalysis(state, Analysis::kPerPopulation, RunPreparedIterations, kIterations);
}
BENCHMARK(BM_PerPopulationAnalysis)
    ->Name("BM_PerPopulationAnalysis/large")
    ->Unit(benchmark::kMillisecond);

void BM_OverallTestPlain(benchmark::State& state) {
  RunAnalysis(state, Analysis::kOverall, RunPlainIterations, 20);
}
BENCHMARK(BM_OverallTestPlain)
    ->Name("BM_OverallTestPlain/large/20_iterations")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace genosieve::bench
