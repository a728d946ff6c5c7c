#pragma once

#include <cstdint>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

// One item of a permutation list: a distinct genotype of a population and its key.
class TBase {
 public:
  int32_t Index = 0;  // 1-based number of the distinct genotype within its population
  double Key = 0.0;   // one draw of the random generator
};

// Three-way comparison of two items by key: positive places `a` after `b`.
int CompareKeys(const TBase& a, const TBase& b);

// The permutation list of a population with `distinct` genotypes: items with Index
// 1..distinct, each given a new draw of the process generator in that order, then sorted
// by key, ascending. Makes exactly `distinct` draws.
std::vector<TBase> DrawPermutationList(int32_t distinct);

// Clone-size resampling of one population, the plain way. `rows` holds the population's
// rows of the resampling table (at least distinct + sum(extraCopies) rows), rows
// 0..distinct - 1 its distinct genotypes; rows from `distinct` on are rewritten with
// extraCopies[k] copies of the distinct genotype at place k of a new permutation list.
// Only the first `clonal` entries of extraCopies are used.
void ResamplePopulation(GenotypeTable& rows, int32_t distinct, int32_t clonal,
                        const std::vector<int32_t>& extraCopies);

// Writes the extra copies into rows from `distinct` on, place k receiving the distinct
// genotype numbered places[k] (1-based).
void CopyExtraCopies(GenotypeTable& rows, int32_t distinct, int32_t clonal,
                     const std::vector<int32_t>& extraCopies, const int32_t* places);

// The fast equivalent of DrawPermutationList for the places that are read: draws the
// `distinct` keys from `seed` (advanced by exactly `distinct` draws) and writes to
// places[0..clonal - 1] the Index of the first `clonal` items of the sorted list.
// `scratch` is working storage reused between calls.
void DrawClonalPlaces(uint32_t& seed, int32_t distinct, int32_t clonal, int32_t* places,
                      std::vector<uint64_t>& scratch);

}  // namespace genosieve
