#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/data_format.h"

namespace genosieve {

// The four numbers of a data file's header line.
struct HeaderNumbers {
  int32_t populations = 0;    // P
  int32_t loci = 0;           // L
  int32_t highestAllele = 0;  // A
  int32_t codeWidth = 0;      // D, digits per allele
};

// One diploid genotype; allele 0 means missing. Every reader refuses alleles above 999,
// so two bytes hold one: the table of a SNP-scale file is then half the size.
using Allele = int16_t;
inline constexpr int32_t kHighestStorableAllele = 999;

struct AllelePair {
  Allele first = 0;
  Allele second = 0;
  friend bool operator==(const AllelePair&, const AllelePair&) = default;
};

// The pair of two alleles the readers have checked (0 to 999).
constexpr AllelePair PairOf(int32_t first, int32_t second) {
  return {static_cast<Allele>(first), static_cast<Allele>(second)};
}

// Individuals in row order, each with a population number and one allele pair per
// locus, stored row-major: cell (row, locus) is cells[row * loci + locus], 0-based.
struct GenotypeTable {
  int32_t loci = 0;
  std::vector<int32_t> population;  // per row
  std::vector<AllelePair> cells;

  int32_t rows() const { return static_cast<int32_t>(population.size()); }
  const AllelePair& at(int32_t row, int32_t locus) const {
    return cells[static_cast<size_t>(row) * static_cast<size_t>(loci) + static_cast<size_t>(locus)];
  }
  AllelePair& at(int32_t row, int32_t locus) {
    return cells[static_cast<size_t>(row) * static_cast<size_t>(loci) + static_cast<size_t>(locus)];
  }
};

// Everything read from the user's data file.
struct DataFile {
  std::string path;
  HeaderNumbers header;
  int32_t lineCount = 0;
  std::vector<std::string> locusNames;
  GenotypeTable table;
  // The layout the file was read in (never kAuto).
  DataFormat format = DataFormat::kNative;
  // Per population (index k - 1) its name in the file; empty when the layout has none.
  std::vector<std::string> populationNames;
  // Per row, the individual's identifier: its name in the file, or for layouts without
  // names the number of its line in the file.
  std::vector<std::string> identifiers;
};

// Population k's (1-based) name in the data file, or "pop" + k when the file names none.
inline std::string PopulationName(const DataFile& data, size_t k) {
  if (k >= 1 && k <= data.populationNames.size() && !data.populationNames[k - 1].empty()) {
    return data.populationNames[k - 1];
  }
  return "pop" + std::to_string(k);
}

// P + 1 row boundaries: population k (1-based) occupies rows index[k - 1] .. index[k] - 1.
using PopulationIndex = std::vector<int32_t>;

}  // namespace genosieve
