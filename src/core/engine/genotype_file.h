#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

inline constexpr const char* kObservedFileName = "tempmicrosat.txt";
inline constexpr const char* kRandomizedFileName = "temp.txt";

// Writes an intermediate genotype file: the four header values each followed by a
// blank, labelCount lines "A", then one line per row of `lines` (its population
// number, TAB, one six-digit field + TAB per locus), every line ended by CR LF.
// Fails with the Run's I/O error.
void WriteGenotypeFile(const std::string& fileName, const std::array<int32_t, 4>& headerValues,
                       int32_t labelCount, const GenotypeTable& lines);

// What the engine's loader reads from an intermediate genotype file.
struct EngineInput {
  int32_t populations = 0;    // P
  int32_t loci = 0;           // L
  int32_t highestAllele = 0;  // A
  int32_t individuals = 0;    // N, IndividualCount
  // PopulationEnd: cumulative line counts, populationEnd[p - 1] for p = 1..P.
  std::vector<int32_t> populationEnd;
  // GenotypeColumn: code of individual i (0-based) at locus k (0-based) is
  // codes[k * individuals + i]; first allele * 1000 + second allele, 0 = missing.
  std::vector<int32_t> codes;
};

// Reads an intermediate genotype file back.
EngineInput LoadGenotypeFile(const std::string& fileName);

// The engine's loader: "tempmicrosat.txt" when observed, else "temp.txt", in the
// current working folder.
EngineInput LoadGenotypeFile(bool observed);

}  // namespace genosieve
