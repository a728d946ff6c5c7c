// Engine benchmarks: one evaluation from an in-memory table, the intermediate file
// round trip and the whole file-based evaluation, and the prepared evaluations of the
// randomization tests, on the shared benchmark data.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "analysis/fast_resampler.h"
#include "analysis/resampling_plan.h"
#include "analysis/table_variant.h"
#include "bench_data.h"
#include "data/clones.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "engine/population_evaluation.h"
#include "engine/prepared_evaluation.h"
#include "io/working_folder.h"
#include "support/reference_engine.h"

namespace genosieve::bench {
namespace {

std::array<int32_t, 4> HeaderValues(const DataFile& data) {
  return {data.header.populations, data.header.loci, data.header.highestAllele,
          data.header.codeWidth};
}

EngineInput InputOf(const DataFile& data) {
  return MakeEngineInput(data.table, data.header.populations, data.header.highestAllele);
}

std::filesystem::path ScratchFile(const char* name) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("genosieve-bench-engine-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder / name;
}

void Evaluate(benchmark::State& state, const DataFile& data) {
  const EngineInput input = InputOf(data);
  EngineWorkspace workspace;
  for (auto _ : state) benchmark::DoNotOptimize(EvaluateFis(input, workspace));
}

// Counting and estimate of the large data with a reused workspace (as the
// randomization tests call it).
void BM_EvaluateLarge(benchmark::State& state) { Evaluate(state, LargeBenchData()); }
BENCHMARK(BM_EvaluateLarge)->Unit(benchmark::kMicrosecond);

// The same with a fresh workspace every time (the simple overload).
void BM_EvaluateLargeFreshWorkspace(benchmark::State& state) {
  const EngineInput input = InputOf(LargeBenchData());
  for (auto _ : state) benchmark::DoNotOptimize(EvaluateFis(input));
}
BENCHMARK(BM_EvaluateLargeFreshWorkspace)->Unit(benchmark::kMicrosecond);

void BM_EvaluateTypical(benchmark::State& state) { Evaluate(state, TypicalBenchData()); }
BENCHMARK(BM_EvaluateTypical)->Unit(benchmark::kMicrosecond);

// Same alleles (all <= 300), header A = 300 or 999: the cost must not depend on A.
void BM_EvaluateLargeHighestAllele(benchmark::State& state) {
  BenchDataOptions options = LargeOptions();
  options.largestAlleleUsed = 300;
  options.highestAllele = static_cast<int32_t>(state.range(0));
  Evaluate(state, MakeBenchData(options));
}
BENCHMARK(BM_EvaluateLargeHighestAllele)->Arg(300)->Arg(999)->Unit(benchmark::kMicrosecond);

// Building the engine input from a table in memory (what replaces the file round trip
// when a test evaluates in memory).
void BM_MakeEngineInputLarge(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  for (auto _ : state) benchmark::DoNotOptimize(InputOf(data));
}
BENCHMARK(BM_MakeEngineInputLarge)->Unit(benchmark::kMicrosecond);

void BM_WriteLargeFile(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  const std::filesystem::path file = ScratchFile("temp.txt");
  {
    const WorkingFolder folder = OpenWorkingFolder(file.parent_path().string());
    for (auto _ : state) {
      WriteGenotypeFile(folder, kRandomizedFileName, HeaderValues(data), data.header.loci,
                        data.table);
    }
  }
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_WriteLargeFile)->Unit(benchmark::kMillisecond);

void BM_LoadLargeFile(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  const std::filesystem::path file = ScratchFile("temp.txt");
  {
    const WorkingFolder folder = OpenWorkingFolder(file.parent_path().string());
    WriteGenotypeFile(folder, kRandomizedFileName, HeaderValues(data), data.header.loci,
                      data.table);
    for (auto _ : state) {
      benchmark::DoNotOptimize(LoadGenotypeFile(folder, EvaluationKind::kRandomized));
    }
  }
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_LoadLargeFile)->Unit(benchmark::kMillisecond);

// Writing and loading back the large overall file, together.
void BM_WriteAndLoadLargeFile(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  const std::filesystem::path file = ScratchFile("temp.txt");
  {
    const WorkingFolder folder = OpenWorkingFolder(file.parent_path().string());
    for (auto _ : state) {
      WriteGenotypeFile(folder, kRandomizedFileName, HeaderValues(data), data.header.loci,
                        data.table);
      benchmark::DoNotOptimize(LoadGenotypeFile(folder, EvaluationKind::kRandomized));
    }
  }
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_WriteAndLoadLargeFile)->Unit(benchmark::kMillisecond);

// One whole randomized evaluation through "temp.txt": write, load, count, estimate,
// tally update.
void BM_RunEvaluationLarge(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  const auto path = ScratchFile("temp.txt").parent_path();
  {
    const WorkingFolder folder = OpenWorkingFolder(path.string());
    TallyState tally = MakeTallyState(1);
    for (auto _ : state) {
      WriteGenotypeFile(folder, kRandomizedFileName, HeaderValues(data), data.header.loci,
                        data.table);
      // Every pass is iteration 1 again.
      tally.randomized = 0;
      tally.iterationIndex = 1;
      RunEvaluation(folder, EvaluationKind::kRandomized, tally);
    }
  }
  std::filesystem::remove_all(path);
}
BENCHMARK(BM_RunEvaluationLarge)->Unit(benchmark::kMillisecond);

// ---- Prepared evaluations of the randomization tests (engine/prepared_evaluation.h) ----

// One randomized evaluation of a prepared test on the large data: draws, chosen copies,
// counts and estimate, as every iteration of the fast path does them. Arg: 0 overall
// test, 1 locus test (locus 1), 2 population test (population 1).
void BM_PreparedIterationLarge(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  const PopulationIndex index = MakeBenchPopulationIndex(data);
  const CloneDetection clones = DetectClones(data.table, index);
  const CloneSummary summary = SummariseClones(clones, index);
  const ResamplingPlan plan = MakeResamplingPlan(data, index, clones, summary);
  const RandomizationKind kinds[] = {RandomizationKind::kOverall, RandomizationKind::kPerLocus,
                                     RandomizationKind::kPerPopulation};
  const TableVariant variant{kinds[state.range(0)], state.range(0) == 0 ? 0 : 1};
  FastResampler fast = MakeFastResampler(plan, clones.cloneFree, variant);
  RandomGenerator generator{12345u};
  for (auto _ : state) {
    ResampleFast(fast, plan, generator);
    benchmark::DoNotOptimize(EvaluateFastIteration(fast));
  }
  state.counters["alleles"] = static_cast<double>(fast.evaluation->cellBegin.size() - 1);
  state.counters["cells"] = static_cast<double>(fast.evaluation->cellEntry.size());
  state.counters["slots"] = static_cast<double>(fast.evaluation->slots.size());
  state.counters["memo"] = fast.work.memo.enabled ? 1.0 : 0.0;  // still on at the end
}
BENCHMARK(BM_PreparedIterationLarge)
    ->ArgName("overall_0_locus_1_population_2")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

// One iteration of the pass shared by a Run's tests, on the large (data 0) or SNP-like
// (data 1) data: draws, counts and the overall evaluation (with every locus test's value),
// then (part 1) every population's test from the same counts.
void BM_SharedIteration(benchmark::State& state) {
  const DataFile data = MakeBenchData(state.range(0) == 0 ? LargeOptions() : SnpOptions());
  const PopulationIndex index = MakeBenchPopulationIndex(data);
  const CloneDetection clones = DetectClones(data.table, index);
  const CloneSummary summary = SummariseClones(clones, index);
  const ResamplingPlan plan = MakeResamplingPlan(data, index, clones, summary);
  FastResampler fast =
      MakeFastResampler(plan, clones.cloneFree, TableVariant{RandomizationKind::kOverall, 0});
  PopulationWorkspace workspace;
  RandomGenerator generator{12345u};
  for (auto _ : state) {
    ResampleFast(fast, plan, generator);
    EvaluatePreparedLoci(*fast.evaluation, fast.work, fast.chosen.data());
    if (state.range(1) == 0) continue;
    for (int32_t p = 0; p < data.header.populations; ++p) {
      benchmark::DoNotOptimize(EvaluatePopulation(*fast.evaluation, fast.work.lanes.data(), p,
                                                  plan.size[static_cast<std::size_t>(p)],
                                                  workspace));
    }
  }
}
BENCHMARK(BM_SharedIteration)
    ->ArgNames({"large_0_snp_1", "populations"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

// Preparing a test on the large data (once per test).
void BM_PrepareTestLarge(benchmark::State& state) {
  const DataFile data = LargeBenchData();
  const PopulationIndex index = MakeBenchPopulationIndex(data);
  const CloneDetection clones = DetectClones(data.table, index);
  const CloneSummary summary = SummariseClones(clones, index);
  const ResamplingPlan plan = MakeResamplingPlan(data, index, clones, summary);
  const RandomizationKind kinds[] = {RandomizationKind::kOverall, RandomizationKind::kPerLocus,
                                     RandomizationKind::kPerPopulation};
  const TableVariant variant{kinds[state.range(0)], state.range(0) == 0 ? 0 : 1};
  for (auto _ : state) {
    benchmark::DoNotOptimize(MakeFastResampler(plan, clones.cloneFree, variant));
  }
}
BENCHMARK(BM_PrepareTestLarge)
    ->ArgName("overall_0_locus_1_population_2")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace genosieve::bench
