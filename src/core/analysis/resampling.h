#pragma once

#include <cstdint>
#include <vector>

#include "analysis/random_generator.h"

namespace genosieve {

// One item of a permutation list: a distinct genotype of a population and its key.
class TBase {
 public:
  int32_t Index = 0;  // 1-based number of the distinct genotype within its population
  double Key = 0.0;   // one draw of the random generator
};

// Three-way comparison of two items by key: positive places `a` after `b`.
int CompareKeys(const TBase& a, const TBase& b);

// Places of the clonal genotypes of one population: draws the `distinct` keys of its
// permutation list (items with Index 1..distinct, one draw each, in that order) with
// `generator`, advanced by exactly `distinct` draws, and writes to places[0..clonal - 1]
// the Index of the first `clonal` items of the list sorted by key. Only the keys that can
// be among the first `clonal` are sorted. `scratch` is working storage reused between
// calls.
void DrawClonalPlaces(RandomGenerator& generator, int32_t distinct, int32_t clonal, int32_t* places,
                      std::vector<uint64_t>& scratch);

}  // namespace genosieve
