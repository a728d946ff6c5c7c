#include "data/clone_membership.h"

#include "errors.h"
#include "messages.h"

namespace genosieve {

int32_t Individuals(const PopulationClones& population) {
  int32_t individuals = 0;
  for (const GenotypeCarriers& genotype : population.genotypes) {
    individuals += static_cast<int32_t>(genotype.individuals.size());
  }
  return individuals;
}

int32_t DistinctGenotypes(const PopulationClones& population) {
  return static_cast<int32_t>(population.genotypes.size());
}

std::vector<int32_t> CloneSizes(const PopulationClones& population) {
  std::vector<int32_t> sizes;
  // The clonal genotypes come first.
  for (const GenotypeCarriers& genotype : population.genotypes) {
    if (genotype.individuals.size() < 2) break;
    sizes.push_back(static_cast<int32_t>(genotype.individuals.size()));
  }
  return sizes;
}

std::vector<PopulationClones> CloneMembership(const DataFile& data, const PopulationIndex& index,
                                              const CloneDetection& detection) {
  const auto rows = static_cast<size_t>(data.table.rows());
  if (detection.genotypeNumber.size() != rows || data.identifiers.size() != rows ||
      index.size() < 2 || index.back() != data.table.rows()) {
    ThrowInternalError("the clone detection does not match the data");
  }
  std::vector<PopulationClones> populations;
  populations.reserve(index.size() - 1);
  for (size_t k = 1; k < index.size(); ++k) {
    PopulationClones& population = populations.emplace_back();
    population.population = static_cast<int32_t>(k);
    population.name = PopulationName(data, k);
    std::vector<GenotypeCarriers>& genotypes = population.genotypes;
    for (auto row = static_cast<size_t>(index[k - 1]); row < static_cast<size_t>(index[k]); ++row) {
      const auto genotype = static_cast<size_t>(detection.genotypeNumber[row]);
      if (genotype < 1 || genotype > rows) {
        ThrowInternalError(FillMessage("row {} has no genotype number", row));
      }
      if (genotype > genotypes.size()) genotypes.resize(genotype);
      genotypes[genotype - 1].individuals.push_back(data.identifiers[row]);
    }
    for (size_t g = 0; g < genotypes.size(); ++g)
      genotypes[g].genotype = static_cast<int32_t>(g + 1);
  }
  return populations;
}

}  // namespace genosieve
