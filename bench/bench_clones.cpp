// Clone detection on one large population: all individuals distinct, a few large
// clones, and many small clones. A plain copy of the table is the reference for time
// and memory; run one benchmark at a time under /usr/bin/time -v (--benchmark_filter)
// to compare peak resident memory with table_MB.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "bench_data.h"
#include "data/clones.h"
#include "data/genotype_table.h"

namespace genosieve {
namespace {

constexpr int32_t kIndividuals = 50000;
constexpr int32_t kLoci = 50;

// One population of `individuals` rows drawn from `distinct` random multilocus
// genotypes (0 = every row its own genotype); allele orders are swapped at random so
// that the detector must treat 120/124 and 124/120 alike.
GenotypeTable MakeTable(int32_t individuals, int32_t loci, int32_t distinct, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> allele(100, 199);
  std::bernoulli_distribution swap(0.5);
  GenotypeTable table;
  table.loci = loci;
  table.population.assign(static_cast<size_t>(individuals), 1);
  table.cells.resize(static_cast<size_t>(individuals) * static_cast<size_t>(loci));
  std::vector<AllelePair> pool;
  if (distinct > 0) {
    pool.resize(static_cast<size_t>(distinct) * static_cast<size_t>(loci));
    for (AllelePair& pair : pool) pair = PairOf(allele(random), allele(random));
  }
  std::uniform_int_distribution<int32_t> pick(0, distinct > 0 ? distinct - 1 : 0);
  for (int32_t row = 0; row < individuals; ++row) {
    const int32_t source = pick(random);
    for (int32_t locus = 0; locus < loci; ++locus) {
      AllelePair pair = distinct > 0
                            ? pool[static_cast<size_t>(source) * static_cast<size_t>(loci) +
                                   static_cast<size_t>(locus)]
                            : PairOf(allele(random), allele(random));
      if (swap(random)) std::swap(pair.first, pair.second);
      table.at(row, locus) = pair;
    }
  }
  return table;
}

// state.range(0) individuals in one population (kIndividuals is the target size).
void DetectClonesBenchmark(benchmark::State& state, int32_t distinct) {
  const auto individuals = static_cast<int32_t>(state.range(0));
  const GenotypeTable table = MakeTable(individuals, kLoci, distinct, 12345);
  const PopulationIndex index{0, individuals};
  int32_t kept = 0;
  for (auto _ : state) {
    const CloneDetection clones = DetectClones(table, index);
    kept = clones.cloneFree.rows();
    benchmark::DoNotOptimize(clones.cloneFree.cells.data());
  }
  state.SetItemsProcessed(state.iterations() * individuals * kLoci);
  state.SetComplexityN(individuals);
  state.counters["distinct_rows"] = kept;
  state.counters["table_MB"] =
      static_cast<double>(table.cells.size() * sizeof(AllelePair)) / (1024.0 * 1024.0);
}

void BM_DetectClones_AllDistinct(benchmark::State& state) { DetectClonesBenchmark(state, 0); }
void BM_DetectClones_FiveLargeClones(benchmark::State& state) { DetectClonesBenchmark(state, 5); }
void BM_DetectClones_ManySmallClones(benchmark::State& state) {
  DetectClonesBenchmark(state, 10000);
}

// Reference: copying the table, which detection does for the rows it keeps.
void BM_CopyTable(benchmark::State& state) {
  const GenotypeTable table = MakeTable(kIndividuals, kLoci, 0, 12345);
  for (auto _ : state) {
    GenotypeTable copy = table;
    benchmark::DoNotOptimize(copy.cells.data());
  }
  state.SetItemsProcessed(state.iterations() * kIndividuals * kLoci);
}

// The shared data sets: many populations of 50 with 30 % clone copies.
void DetectClonesOnBenchData(benchmark::State& state, const DataFile& data) {
  const PopulationIndex index = bench::MakeBenchPopulationIndex(data);
  int32_t kept = 0;
  for (auto _ : state) {
    const CloneDetection clones = DetectClones(data.table, index);
    kept = clones.cloneFree.rows();
    benchmark::DoNotOptimize(clones.cloneFree.cells.data());
  }
  state.SetItemsProcessed(state.iterations() * data.table.rows() * data.table.loci);
  state.counters["distinct_rows"] = kept;
}

void BM_DetectClones_LargeBenchData(benchmark::State& state) {
  DetectClonesOnBenchData(state, bench::LargeBenchData());
}
void BM_DetectClones_TypicalBenchData(benchmark::State& state) {
  DetectClonesOnBenchData(state, bench::TypicalBenchData());
}

BENCHMARK(BM_DetectClones_LargeBenchData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DetectClones_TypicalBenchData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectClones_AllDistinct)
    ->Arg(kIndividuals / 4)
    ->Arg(kIndividuals / 2)
    ->Arg(kIndividuals)
    ->Arg(kIndividuals * 2)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectClones_FiveLargeClones)
    ->Arg(kIndividuals / 4)
    ->Arg(kIndividuals / 2)
    ->Arg(kIndividuals)
    ->Arg(kIndividuals * 2)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectClones_ManySmallClones)
    ->Arg(kIndividuals / 4)
    ->Arg(kIndividuals / 2)
    ->Arg(kIndividuals)
    ->Arg(kIndividuals * 2)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace genosieve
