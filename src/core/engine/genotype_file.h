#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

inline constexpr const char* kObservedFileName = "tempmicrosat.txt";
inline constexpr const char* kRandomizedFileName = "temp.txt";

// Writes an intermediate genotype file: the four header values each followed by a
// blank, labelCount lines "A", then one line per row of `lines` (its population
// number, TAB, one six-digit field + TAB per locus), every line ended by CR LF.
// Fails with the Run's I/O error; an allele outside 0..999 (which three digits cannot
// hold) is refused with a RunError before the file is created.
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

// Reads an intermediate genotype file back. A number that does not convert is I/O
// error 106; a population number outside 1..P, a genotype with one allele missing or
// an allele above A, or a header the file cannot hold is a RunError naming the line.
EngineInput LoadGenotypeFile(const std::string& fileName);

// The loader's reading of a file's bytes already in memory; fileName only names the
// file in error messages.
EngineInput ParseGenotypeFile(std::string_view content, const std::string& fileName);

// The engine's loader: "tempmicrosat.txt" when observed, else "temp.txt", in the
// current working folder.
EngineInput LoadGenotypeFile(bool observed);

// Without it a string literal would convert to bool and pick the overload above.
inline EngineInput LoadGenotypeFile(const char* fileName) {
  return LoadGenotypeFile(std::string(fileName));
}

// In-memory equivalent of writing `lines` as an intermediate file with header
// populations / lines.loci / highestAllele and loading it back (same checks).
EngineInput MakeEngineInput(const GenotypeTable& lines, int32_t populations, int32_t highestAllele);

// A genotype code the engine accepts: 0 (missing), or both alleles in 1..highestAllele.
inline bool IsValidGenotypeCode(int32_t code, int32_t highestAllele) {
  if (code == 0) return true;
  if (code < 0) return false;
  const int32_t first = code / 1000;
  const int32_t second = code - first * 1000;
  return first >= 1 && second >= 1 && first <= highestAllele && second <= highestAllele;
}

// Why a code is refused (empty when it is valid), for error messages.
std::string GenotypeCodeProblem(int32_t code, int32_t highestAllele);

}  // namespace genosieve
