// The outcome tables of a Run with many tests:
//   BM_OutcomeTables/<iterations>/<tests>   the summary rewritten after each test and
//   every randomized value appended to the values table, then renamed; 151 tests of
//   10,000 iterations are the large benchmark data's Run with both analyses at N = 10,000.
//   The time should grow with iterations x tests (the values), not with its square.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/outcome_files.h"
#include "io/working_folder.h"

namespace genosieve::bench {
namespace {

void BM_OutcomeTables(benchmark::State& state) {
  const auto iterations = static_cast<size_t>(state.range(0));
  const auto tests = static_cast<int32_t>(state.range(1));
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> fis(-0.5, 0.5);
  TestOutcome outcome;
  outcome.kind = RandomizationKind::kPerLocus;
  outcome.name = "Locus";
  outcome.iterations = static_cast<int32_t>(iterations);
  std::vector<double> values;
  for (size_t i = 0; i < iterations; ++i) values.push_back(fis(random));

  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("genosieve-bench-" + std::to_string(random()));
  std::filesystem::create_directories(path);
  {
    const WorkingFolder folder = OpenWorkingFolder(path.string());
    for (auto _ : state) {
      OutcomeFiles files = StartOutcomeFiles("results.txt", true);
      for (int32_t k = 1; k <= tests; ++k) {
        outcome.index = k;
        AddOutcome(folder, files, outcome, values);
      }
      FinishOutcomeFiles(folder, files);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(iterations) * tests);
  std::filesystem::remove_all(path);
}
BENCHMARK(BM_OutcomeTables)
    ->Args({1000, 151})
    ->Args({10000, 15})
    ->Args({10000, 151})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace genosieve::bench
