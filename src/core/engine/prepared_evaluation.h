#pragma once

// Evaluations of a randomization test prepared once per test.
//
// In every iteration of a test the table holds the same fixed rows (the distinct
// genotypes of every population, the filler population) plus extra copies: for each
// clonal genotype, its count of copies of one distinct genotype of the same population,
// chosen anew in each iteration. The counts of an iteration are therefore the counts of
// the fixed rows plus, per copy slot, copies × the counts of the chosen genotype; and
// the alleles present at each locus, with the (population, allele) cells that can hold
// a copy, are the same in every iteration. PrepareEvaluation counts the fixed rows and lays
// out the cells once; EvaluatePrepared then does C × L integer additions (C slots, L
// loci) instead of decoding every individual, and sums only cells that can be non-zero.
//
// All counts are exact integers, and the estimate runs the same steps as EvaluateFis
// (engine/fis_steps.h), so EvaluatePrepared gives the bits, or the error, that
// EvaluateFis gives for a table holding the same rows in any order.

#include <cstdint>
#include <vector>

#include "engine/engine_input.h"
#include "engine/fis_steps.h"
#include "extended.h"

namespace genosieve {

// Genotypes an iteration may copy: candidate c has the code codes[l * count + c] at
// locus l (as in EngineInput::codes) and belongs to population population[c] (0-based).
struct CandidateGenotypes {
  int32_t count = 0;
  std::vector<int32_t> population;
  std::vector<int32_t> codes;
};

// `copies` copies of one candidate of `population` (0-based), chosen per iteration.
struct CopySlot {
  int32_t population = 0;
  int32_t copies = 0;
};

// Everything EvaluatePrepared reads, built by PrepareEvaluation, plus its working
// storage.
struct PreparedEvaluation {
  int32_t loci = 0;
  std::vector<CopySlot> slots;
  std::vector<int32_t> candidatePopulation;

  // Per locus l: its populations [populationBegin[l], populationBegin[l + 1]) of the
  // sample-size entries (the populations that can be typed there, in ascending order),
  // and its alleles [alleleBegin[l], alleleBegin[l + 1]) in ascending order.
  std::vector<int32_t> populationBegin;
  std::vector<int32_t> alleleBegin;
  // Per allele a: its cells [cellBegin[a], cellBegin[a + 1]), one per population that
  // can carry it, in ascending population order; cellPopulation gives the sample-size
  // entry of each cell.
  std::vector<int32_t> cellBegin;
  std::vector<int32_t> cellPopulation;
  // The allele number of each allele, and the population (0-based) of each sample-size
  // entry.
  std::vector<uint32_t> alleleNumber;
  std::vector<int32_t> entryPopulation;

  // Counts of the fixed rows: sample sizes per entry, and per cell the allele count in
  // the low and the heterozygote count in the high 32 bits. Each has one trailing
  // entry that takes the additions of missing genotypes and is never read.
  std::vector<int32_t> fixedSampleSize;
  std::vector<uint64_t> fixedCounts;

  // What one copy of a candidate adds at a locus: 1 to sample-size entry `sample` (the
  // trailing entry when missing), 1 to the allele count of cells `first` and `second`
  // (the same cell twice for a homozygote), and `het` (0 or 1) to their heterozygote
  // counts. Indexed [candidate * loci + locus].
  struct Contribution {
    uint32_t sample = 0;
    uint32_t first = 0;
    uint32_t second = 0;
    uint32_t het = 0;
  };
  std::vector<Contribution> contributions;

  // Working storage of the evaluations.
  std::vector<int32_t> sampleSize;
  std::vector<uint64_t> counts;
  std::vector<const Extended*> populationTerms;
  std::vector<const Extended*> populationHetTerms;
  TermsCache terms;
  LocusScratch locus;
  std::vector<UsedLocus> usedLoci;
  std::vector<int32_t> usedIndex;  // per locus: its entry in usedLoci, -1 when not used
  AlleleMemo memo;
};

// Prepares the evaluations of the tables made of `fixedRows` (populations 1..P) plus,
// for every slot, slot.copies copies of one candidate of the slot's population. Refuses
// with an InternalError what EvaluateFis refuses (inconsistent table, a code whose
// alleles are not both in 1..A), a candidate or slot outside the populations, negative
// copies, and tables too large for 32-bit counts.
PreparedEvaluation PrepareEvaluation(const EngineInput& fixedRows,
                                     const CandidateGenotypes& candidates,
                                     const std::vector<CopySlot>& slots);

// FisOverall of the fixed rows plus test.slots[j].copies copies of candidate chosen[j]
// for every slot j; a chosen candidate must belong to its slot's population
// (InternalError otherwise). Floating-point errors as EvaluateFis.
Extended EvaluatePrepared(PreparedEvaluation& test, const int32_t* chosen);

// The counts of the same table only: test.sampleSize per sample-size entry, test.counts
// per cell (allele count in the low, heterozygote count in the high 32 bits).
void CountPrepared(PreparedEvaluation& test, const int32_t* chosen);

// The same evaluation up to the per-locus outcomes, without throwing: test.usedIndex
// tells which loci are used, test.locus.outcomes[test.usedIndex[l]] is locus l's. The
// counts are left as CountPrepared leaves them.
void EvaluatePreparedLoci(PreparedEvaluation& test, const int32_t* chosen);

}  // namespace genosieve
