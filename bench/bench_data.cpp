#include "bench_data.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace genosieve::bench {

namespace {

// SplitMix64: small, fast and fully specified, so the data never depend on the
// standard library.
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  // Uniform in [0, bound).
  int32_t Below(int32_t bound) { return static_cast<int32_t>(Unit() * static_cast<double>(bound)); }

 private:
  uint64_t state_;
};

int32_t Draw(const std::vector<double>& cumulative, Generator& random) {
  const double x = random.Unit() * cumulative.back();
  const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), x);
  return static_cast<int32_t>(std::min<std::ptrdiff_t>(
      it - cumulative.begin(), static_cast<std::ptrdiff_t>(cumulative.size()) - 1));
}

}  // namespace

BenchDataOptions LargeOptions() { return BenchDataOptions{}; }

BenchDataOptions TypicalOptions() {
  BenchDataOptions options;
  options.populations = 10;
  options.individualsPerPopulation = 50;
  options.loci = 10;
  options.highestAllele = 300;
  options.largestAlleleUsed = 300;
  options.allelesPerLocus = 12;
  return options;
}

BenchDataOptions SnpOptions() {
  BenchDataOptions options;
  options.populations = 20;
  options.individualsPerPopulation = 100;
  options.loci = 1000;
  options.highestAllele = 4;
  options.largestAlleleUsed = 4;
  options.allelesPerLocus = 2;
  return options;
}

BenchDataOptions Snp10kOptions() {
  BenchDataOptions options = SnpOptions();
  options.loci = 10000;
  return options;
}

BenchDataOptions SmallPopulationsOptions(int32_t populations) {
  BenchDataOptions options;
  options.populations = populations;
  options.individualsPerPopulation = 4;
  options.loci = 10;
  options.highestAllele = 20;
  options.largestAlleleUsed = 20;
  options.allelesPerLocus = 4;
  return options;
}

DataFile MakeBenchData(const BenchDataOptions& options) {
  Generator random(options.seed);
  DataFile data;
  data.path = "bench-data";
  data.header = {options.populations, options.loci, options.highestAllele, 3};
  const int32_t loci = options.loci;
  for (int32_t k = 1; k <= loci; ++k) data.locusNames.push_back("Locus " + std::to_string(k));

  // Allele sizes of each locus: base + unit * j, inside 1..largestAlleleUsed.
  const int32_t largest = std::max(1, std::min(options.largestAlleleUsed, 999));
  std::vector<std::vector<int32_t>> sizes(static_cast<std::size_t>(loci));
  for (auto& locusSizes : sizes) {
    int32_t unit = 2 + random.Below(3);
    while (unit > 1 && unit * (options.allelesPerLocus - 1) >= largest) --unit;
    const int32_t span = unit * (options.allelesPerLocus - 1);
    const int32_t room = std::max(1, largest - span);
    const int32_t base = 1 + random.Below(room);
    for (int32_t j = 0; j < options.allelesPerLocus; ++j) {
      locusSizes.push_back(std::min(largest, base + unit * j));
    }
  }

  const int32_t perPopulation = options.individualsPerPopulation;
  const int32_t copies = static_cast<int32_t>(std::lround(options.cloneShare * perPopulation));
  const int32_t distinct = std::max(1, perPopulation - copies);
  data.table.loci = loci;
  for (int32_t p = 1; p <= options.populations; ++p) {
    // Skewed allele frequencies of this population at each locus.
    std::vector<std::vector<double>> cumulative(static_cast<std::size_t>(loci));
    for (auto& weights : cumulative) {
      double total = 0.0;
      for (int32_t j = 0; j < options.allelesPerLocus; ++j) {
        const double u = random.Unit();
        total += u * u * u + 0.002;
        weights.push_back(total);
      }
    }
    std::vector<AllelePair> genotypes;  // distinct multilocus genotypes, row-major
    for (int32_t d = 0; d < distinct; ++d) {
      for (int32_t k = 0; k < loci; ++k) {
        AllelePair pair;
        if (random.Unit() >= options.missingShare) {
          const auto& locusSizes = sizes[static_cast<std::size_t>(k)];
          pair.first = locusSizes[static_cast<std::size_t>(
              Draw(cumulative[static_cast<std::size_t>(k)], random))];
          // Some homozygote excess, as in partly clonal and selfing organisms.
          pair.second = random.Unit() < 0.15
                            ? pair.first
                            : locusSizes[static_cast<std::size_t>(
                                  Draw(cumulative[static_cast<std::size_t>(k)], random))];
        }
        genotypes.push_back(pair);
      }
    }
    // Rows: every distinct genotype once plus `copies` copies of a few of them (clone
    // sizes vary), shuffled within the population.
    std::vector<int32_t> rows;
    for (int32_t d = 0; d < distinct; ++d) rows.push_back(d);
    const int32_t clonal = std::max(1, std::min(distinct, copies / 3 + 1));
    for (int32_t c = 0; c < copies; ++c) rows.push_back(random.Below(clonal));
    for (std::size_t i = rows.size(); i > 1; --i) {
      std::swap(rows[i - 1], rows[static_cast<std::size_t>(random.Below(static_cast<int32_t>(i)))]);
    }
    for (int32_t row : rows) {
      data.table.population.push_back(p);
      const auto begin = genotypes.begin() + static_cast<std::ptrdiff_t>(row) * loci;
      data.table.cells.insert(data.table.cells.end(), begin, begin + loci);
    }
  }
  data.lineCount = 1 + loci + data.table.rows();
  return data;
}

DataFile LargeBenchData() { return MakeBenchData(LargeOptions()); }

DataFile TypicalBenchData() { return MakeBenchData(TypicalOptions()); }

PopulationIndex MakeBenchPopulationIndex(const DataFile& data) {
  PopulationIndex index{0};
  const auto& population = data.table.population;
  for (std::size_t row = 0; row < population.size(); ++row) {
    if (row + 1 == population.size() || population[row + 1] != population[row]) {
      index.push_back(static_cast<int32_t>(row + 1));
    }
  }
  return index;
}

namespace {

std::string ThreeDigits(int32_t allele) {
  std::string text = std::to_string(allele);
  return std::string(text.size() < 3 ? 3 - text.size() : 0, '0') + text;
}

}  // namespace

bool WriteBenchDataFile(const std::string& name, const DataFile& data) {
  std::ofstream out(name, std::ios::binary);
  const HeaderNumbers& h = data.header;
  out << h.populations << ' ' << h.loci << ' ' << h.highestAllele << " 3\r\n";
  for (const std::string& locus : data.locusNames) out << locus << "\r\n";
  for (int32_t row = 0; row < data.table.rows(); ++row) {
    out << data.table.population[static_cast<size_t>(row)];
    for (int32_t l = 0; l < data.table.loci; ++l) {
      out << '\t' << ThreeDigits(data.table.at(row, l).first)
          << ThreeDigits(data.table.at(row, l).second);
    }
    out << "\r\n";
  }
  out.close();
  return static_cast<bool>(out);
}

}  // namespace genosieve::bench
