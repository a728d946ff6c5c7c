#pragma once

#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

// What clone detection finds (run phase 3).
struct CloneDetection {
  // Every multilocus genotype of each population once, populations in order, each
  // group of clones represented by its last member (order of last occurrence). The
  // population number of a row is the population's position k (1..P).
  GenotypeTable cloneFree;
  // Per population (index k - 1): the extra-copy count (repeat count - 1) of each
  // clonal genotype, in order of the clonal genotype's first occurrence.
  std::vector<std::vector<int32_t>> extraCopies;
  // Per row of the genotype table, the number (from 1, within its population) of the
  // distinct genotype it carries: the clonal genotypes first, numbered in the order of
  // the extra-copy row, then the genotypes carried once, in data order.
  std::vector<int32_t> genotypeNumber;
};

// Per-population totals (run phase 6); vectors are indexed by population k - 1 except
// distinctOffset, which has P + 1 entries.
struct CloneSummary {
  std::vector<int32_t> size;
  std::vector<std::vector<int32_t>> extraCopies;
  std::vector<int32_t> nbClones;  // NbClones
  std::vector<int32_t> totalExtraCopies;
  std::vector<int32_t> ndGenotypes;     // NDGenotypes
  std::vector<int32_t> distinctOffset;  // rows of population k: [k - 1] .. [k] - 1
};

// Individuals of one population are clones when every locus holds the same unordered
// allele pair (missing = 0). Time grows linearly with individuals x loci (a hash table
// of the genotypes of each population) and memory with the table; the rows' hashes and the
// clone-free table are made on `threads` threads when the table is large. Fails with a
// RunError when the index does not fit the table.
CloneDetection DetectClones(const GenotypeTable& table, const PopulationIndex& index,
                            int threads = 1);

CloneSummary SummariseClones(const CloneDetection& detection, const PopulationIndex& index);

}  // namespace genosieve
