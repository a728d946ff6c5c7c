#pragma once

#include <cstdint>
#include <vector>

namespace genosieve {

// One genotype table as the engine evaluates it: what its loader reads from an
// intermediate genotype file.
struct EngineInput {
  // GenotypeColumn: code of individual i (0-based) at locus k (0-based) is
  // codes[k * individuals + i]; first allele * 1000 + second allele, 0 = missing.
  std::vector<int32_t> codes;
  // PopulationEnd: cumulative line counts, populationEnd[p - 1] for p = 1..P.
  std::vector<int32_t> populationEnd;
  int32_t populations = 0;    // P
  int32_t loci = 0;           // L
  int32_t highestAllele = 0;  // A
  int32_t individuals = 0;    // N, IndividualCount
};

// PopulationEnd from the line count of each population.
std::vector<int32_t> PopulationEnds(const std::vector<int32_t>& lineCounts);

// Checks that the dimensions, the population ends and the genotype columns fit together
// (an internal error otherwise: every table the engine gets is built to fit).
void CheckEngineInput(const EngineInput& input);

// The same checks without the genotype columns, for a table given a column at a time.
void CheckEngineShape(const EngineInput& input);

}  // namespace genosieve
