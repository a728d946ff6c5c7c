#pragma once

#include <cstdint>
#include <string>

#include "data/genotype_table.h"
#include "messages.h"

namespace genosieve {

// The genotype code the engine holds: first allele × 1000 + second allele, 0 = missing.
inline int32_t GenotypeCode(const AllelePair& genotype) {
  return genotype.first * 1000 + genotype.second;
}

// A genotype code the engine accepts: 0 (missing), or both alleles in 1..highestAllele.
inline bool IsValidGenotypeCode(int32_t code, int32_t highestAllele) {
  if (code == 0) return true;
  if (code < 0) return false;
  const int32_t first = code / 1000;
  const int32_t second = code - first * 1000;
  return first >= 1 && second >= 1 && first <= highestAllele && second <= highestAllele;
}

// Why a code is refused (empty when it is valid), for error messages.
inline std::string GenotypeCodeProblem(int32_t code, int32_t highestAllele) {
  return IsValidGenotypeCode(code, highestAllele) ? std::string()
                                                  : messages::BadGenotypeCode(code, highestAllele);
}

}  // namespace genosieve
