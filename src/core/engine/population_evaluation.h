#pragma once

// The table of a per-population test evaluated from the counts of a table of every
// population. A per-population test hands the engine two populations: the population
// under test and a filler population of as many individuals, each homozygous for the
// highest allele at every locus. The counts of the population under test are those it
// has in the table of every population (engine/prepared_evaluation.h), and the filler's
// are fixed, so the test's estimate follows from them without building its table.
//
// Within such a table the outcome of an allele (in the band or not, b and c) depends only
// on integers: the population's sample size n at the locus, the allele's count c and
// heterozygote count h there, the filler's size, and whether the allele is the highest
// one. Outcomes are remembered under those integers, so that an allele seen before costs
// one look-up. Every value that is worked out runs the arithmetic of EvaluateFis, so the
// result has the bits, or the error, of the evaluation of the test's file.

#include <cstdint>
#include <vector>

#include "engine/fis_steps.h"
#include "engine/prepared_evaluation.h"
#include "extended.h"

namespace genosieve {

// Where the counts of each population and locus stand in a PreparedEvaluation.
struct PopulationLayout {
  int32_t populations = 0;
  int32_t loci = 0;
  // [p * loci + l]: the sample-size entry of population p at locus l, -1 when it is never
  // typed there; its cells are cells[cellBegin[p * loci + l] .. cellBegin[p * loci + l + 1]),
  // in ascending allele order, and highest[] tells the cell of the highest allele.
  std::vector<int32_t> entry;
  std::vector<int32_t> cellBegin;
  std::vector<int32_t> cells;
  std::vector<uint8_t> highest;
};

// The layout of `evaluation`, prepared for a table of `populations` populations whose
// highest allele number is `highestAllele`.
PopulationLayout MakePopulationLayout(const PreparedEvaluation& evaluation, int32_t populations,
                                      int32_t highestAllele);

// Outcomes of alleles keyed on their integers, direct-mapped; never turned off. b and c
// are kept as their 80 bits.
struct PopulationMemo {
  struct Entry {
    uint64_t key = 0;  // n, c, h, filler size, highest allele; 0 = empty
    unsigned char b[10] = {};
    unsigned char c[10] = {};
    uint8_t used = 0;
  };
  std::vector<Entry> entries;
};

// Working storage of EvaluatePopulation; one per thread.
struct PopulationWorkspace {
  TermsCache terms;
  PopulationMemo memo;
  // One evaluation: the components of the used alleles, [usedBegin[l], usedEnd[l]) for
  // locus l, which loci are used, and their sums.
  std::vector<Extended> b;
  std::vector<Extended> c;
  std::vector<int32_t> usedBegin;
  std::vector<int32_t> usedEnd;
  std::vector<uint8_t> locusUsed;
  std::vector<float> sumB;
  std::vector<float> sumBC;
};

// FisOverall of the per-population test of population p (0-based), of `size`
// individuals, on the counts that `evaluation` holds (CountPrepared or
// EvaluatePreparedLoci). Floating-point errors as EvaluateFis.
Extended EvaluatePopulation(const PopulationLayout& layout, const PreparedEvaluation& evaluation,
                            int32_t p, int32_t size, PopulationWorkspace& workspace);

}  // namespace genosieve
