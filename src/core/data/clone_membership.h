#pragma once

// Which individuals carry each distinct multilocus genotype of each population: what
// the clone members file lists, as plain data for a view.

#include <cstdint>
#include <string>
#include <vector>

#include "data/clones.h"
#include "data/genotype_table.h"

namespace genosieve {

// One distinct genotype of a population and the identifiers of its carriers, in data
// order; a clone when it has two carriers or more.
struct GenotypeCarriers {
  int32_t genotype = 0;  // its number within the population, as CloneDetection gives it
  std::vector<std::string> individuals;
};

struct PopulationClones {
  int32_t population = 0;  // k, from 1
  std::string name;        // from the data file, else "pop" + k
  // Numbered from 1: the clonal genotypes first, in the order of the clone report's
  // repeat counts, then the genotypes carried once, in data order.
  std::vector<GenotypeCarriers> genotypes;
};

// The clone report's numbers of a population: its individuals, its distinct genotypes,
// its clones (genotypes with two carriers or more) and their sizes in report order.
int32_t Individuals(const PopulationClones& population);
int32_t DistinctGenotypes(const PopulationClones& population);
std::vector<int32_t> CloneSizes(const PopulationClones& population);

// Every population's genotypes and their carriers. Fails with an InternalError when the
// detection does not match the data.
std::vector<PopulationClones> CloneMembership(const DataFile& data, const PopulationIndex& index,
                                              const CloneDetection& detection);

}  // namespace genosieve
