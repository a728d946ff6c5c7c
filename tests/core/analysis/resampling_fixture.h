#pragma once

// Random data sets with known clones for the randomization tests: every population gets
// distinct multilocus genotypes, some of them repeated, so that the clone summary is known
// without running clone detection.

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/clones.h"
#include "data/genotype_table.h"

namespace genosieve::testing {

struct PopulationShape {
  int32_t distinct = 1;              // D_p
  std::vector<int32_t> extraCopies;  // one count per clonal genotype
  bool sameAtFirstLocus = false;     // all distinct genotypes equal at locus 1
};

struct ClonalData {
  DataFile data;
  PopulationIndex index;
  CloneDetection clones;
  CloneSummary summary;
};

inline ClonalData MakeClonalData(const std::vector<PopulationShape>& shapes, int32_t loci,
                                 int32_t highestAllele, uint32_t seed) {
  std::mt19937 random(seed);
  auto allele = [&] {
    return 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(highestAllele));
  };
  ClonalData set;
  set.data.header = {static_cast<int32_t>(shapes.size()), loci, highestAllele, 3};
  set.data.table.loci = loci;
  set.clones.cloneFree.loci = loci;
  set.index.push_back(0);
  set.summary.distinctOffset.push_back(0);
  const int32_t labels[] = {7, 3, 9, 3, 12, 5};  // population numbers as a data file may have
  for (size_t p = 0; p < shapes.size(); ++p) {
    const PopulationShape& shape = shapes[p];
    std::set<std::vector<int32_t>> seen;
    std::vector<std::vector<AllelePair>> genotypes;
    const AllelePair shared = PairOf(allele(), allele());
    for (int attempt = 0; static_cast<int32_t>(genotypes.size()) < shape.distinct; ++attempt) {
      if (attempt > 100000) throw std::logic_error("too few possible genotypes for the shape");
      std::vector<AllelePair> genotype;
      std::vector<int32_t> key;
      for (int32_t l = 0; l < loci; ++l) {
        AllelePair pair = PairOf(allele(), allele());
        if (random() % 10 == 0) pair = {0, 0};  // missing
        if (l == 0 && shape.sameAtFirstLocus) pair = shared;
        genotype.push_back(pair);
        key.push_back(std::min(pair.first, pair.second) * 1000 + std::max(pair.first, pair.second));
      }
      if (seen.insert(key).second) genotypes.push_back(genotype);
    }
    // Rows: each distinct genotype once, the clonal ones (the first C) repeated, shuffled
    // with the distinct genotypes standing in the clone-free table in last-occurrence order.
    std::vector<int32_t> rows;
    for (int32_t g = 0; g < shape.distinct; ++g) rows.push_back(g);
    for (size_t k = 0; k < shape.extraCopies.size(); ++k) {
      rows.insert(rows.end(), static_cast<size_t>(shape.extraCopies[k]), static_cast<int32_t>(k));
    }
    std::shuffle(rows.begin(), rows.end(), random);
    std::vector<int32_t> lastOrder;
    for (size_t r = rows.size(); r-- > 0;) {
      if (std::find(lastOrder.begin(), lastOrder.end(), rows[r]) == lastOrder.end()) {
        lastOrder.insert(lastOrder.begin(), rows[r]);
      }
    }
    for (int32_t g : rows) {
      set.data.table.population.push_back(labels[p % 6]);
      for (const AllelePair& pair : genotypes[static_cast<size_t>(g)])
        set.data.table.cells.push_back(pair);
    }
    for (int32_t g : lastOrder) {
      set.clones.cloneFree.population.push_back(static_cast<int32_t>(p + 1));
      for (const AllelePair& pair : genotypes[static_cast<size_t>(g)]) {
        set.clones.cloneFree.cells.push_back(pair);
      }
    }
    set.index.push_back(set.data.table.rows());
    set.clones.extraCopies.push_back(shape.extraCopies);
    const int32_t size = static_cast<int32_t>(rows.size());
    int32_t total = 0;
    for (int32_t e : shape.extraCopies) total += e;
    std::vector<int32_t> row = shape.extraCopies;
    row.resize(static_cast<size_t>(size / 2 + 1), 0);
    set.summary.size.push_back(size);
    set.summary.extraCopies.push_back(row);
    set.summary.nbClones.push_back(static_cast<int32_t>(shape.extraCopies.size()));
    set.summary.totalExtraCopies.push_back(total);
    set.summary.ndGenotypes.push_back(shape.distinct);
    set.summary.distinctOffset.push_back(set.summary.distinctOffset.back() + shape.distinct);
  }
  set.data.lineCount = 1 + loci + set.data.table.rows();
  set.data.locusNames.assign(static_cast<size_t>(loci), "locus");
  return set;
}

}  // namespace genosieve::testing
