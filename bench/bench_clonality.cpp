// The clonality and psex tables of one large population, and the binomial tail behind
// psex. Run one benchmark at a time under /usr/bin/time -v (--benchmark_filter) for the
// peak resident memory; table_MB is the genotype table's own size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/clonality.h"
#include "data/binomial_tail.h"
#include "data/clones.h"
#include "data/genotype_probability.h"
#include "data/genotype_table.h"

namespace genosieve {
namespace {

// `individuals` rows of one population drawn from `distinct` random multilocus genotypes
// with alleles 100..119: many genotypes repeated a few times.
DataFile MakePopulation(int32_t individuals, int32_t loci, int32_t distinct) {
  std::mt19937 random(2026);
  std::uniform_int_distribution<int32_t> allele(100, 119);
  std::vector<AllelePair> pool(static_cast<std::size_t>(distinct) * static_cast<std::size_t>(loci));
  for (AllelePair& pair : pool) pair = PairOf(allele(random), allele(random));
  std::uniform_int_distribution<int32_t> pick(0, distinct - 1);
  DataFile data;
  data.header = {1, loci, 119, 3};
  data.locusNames.assign(static_cast<std::size_t>(loci), "L");
  data.table.loci = loci;
  data.table.population.assign(static_cast<std::size_t>(individuals), 1);
  data.table.cells.reserve(static_cast<std::size_t>(individuals) * static_cast<std::size_t>(loci));
  for (int32_t row = 0; row < individuals; ++row) {
    const auto source = static_cast<std::size_t>(pick(random)) * static_cast<std::size_t>(loci);
    data.table.cells.insert(data.table.cells.end(),
                            pool.begin() + static_cast<std::ptrdiff_t>(source),
                            pool.begin() + static_cast<std::ptrdiff_t>(source) + loci);
  }
  return data;
}

void Counters(benchmark::State& state, const DataFile& data, std::size_t repeated) {
  state.counters["repeated_MLGs"] = static_cast<double>(repeated);
  state.counters["table_MB"] =
      static_cast<double>(data.table.cells.size() * sizeof(AllelePair)) / (1024.0 * 1024.0);
}

// Round robin, pgen and psex of every repeated genotype of one population.
void ProbabilitiesBenchmark(benchmark::State& state, int32_t individuals, int32_t loci,
                            int32_t distinct) {
  const DataFile data = MakePopulation(individuals, loci, distinct);
  const PopulationIndex index{0, data.table.rows()};
  const CloneDetection clones = DetectClones(data.table, index);
  std::size_t repeated = 0;
  for (auto _ : state) {
    const std::vector<GenotypeProbability> p =
        RepeatedGenotypeProbabilities(data.table, index, clones);
    repeated = p.size();
    benchmark::DoNotOptimize(p.data());
  }
  Counters(state, data, repeated);
}

// A million ramets, 10 loci, about 300 000 genotypes repeated.
void BM_RepeatedGenotypeProbabilities_Million(benchmark::State& state) {
  ProbabilitiesBenchmark(state, 1000000, 10, 600000);
}
BENCHMARK(BM_RepeatedGenotypeProbabilities_Million)->Unit(benchmark::kMillisecond);

// 500 loci: pgen far below the range of a double.
void BM_RepeatedGenotypeProbabilities_ManyLoci(benchmark::State& state) {
  ProbabilitiesBenchmark(state, 20000, 500, 12000);
}
BENCHMARK(BM_RepeatedGenotypeProbabilities_ManyLoci)->Unit(benchmark::kMillisecond);

// The whole of both tables (with the Fis of ramets and genets) for a million ramets.
void BM_DescribeClonality_Million(benchmark::State& state) {
  const DataFile data = MakePopulation(1000000, 10, 600000);
  const PopulationIndex index{0, data.table.rows()};
  const CloneDetection clones = DetectClones(data.table, index);
  const CloneSummary summary = SummariseClones(clones, index);
  std::size_t repeated = 0;
  for (auto _ : state) {
    const ClonalityResults results = DescribeClonality(data, index, clones, summary);
    repeated = results.psex.size();
    benchmark::DoNotOptimize(results.rows.data());
  }
  Counters(state, data, repeated);
}
BENCHMARK(BM_DescribeClonality_Million)->Unit(benchmark::kMillisecond);

// One tail of a million trials: two copies (closed form), a clone far above the mean, and
// the slowest case, a clone size at the mean of a large N p.
void BM_LogBinomialUpperTail(benchmark::State& state) {
  const int64_t atLeast = state.range(0);
  const double logP = std::log(0.3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(LogBinomialUpperTail(1000000, atLeast, logP));
  }
}
BENCHMARK(BM_LogBinomialUpperTail)->Arg(1)->Arg(400000)->Arg(300000)->Arg(300001);

}  // namespace
}  // namespace genosieve
