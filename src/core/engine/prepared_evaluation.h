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
// out the cells once; CountPrepared then adds what the copies add instead of decoding every
// individual, and the evaluations sum only cells that can be non-zero.
//
// The counts live in lanes laid out population by population, so that each population's
// counts are one stretch of memory: the evaluations of the per-population tests, and the
// additions of one population's copies, read and write no other. Where a population
// carries at most two alleles at a locus (biallelic data), the copies are added as
// genotype classes, many loci at a time, and turned into lanes afterwards.
//
// All counts are exact integers, and the estimate runs the same steps as EvaluateFis
// (engine/fis_steps.h), so the evaluations give the bits, or the error, that EvaluateFis
// gives for a table holding the same rows in any order.
//
// A PreparedEvaluation is only read once prepared: threads share it, each with its own
// EvaluationWork.

#include <cstdint>
#include <vector>

#include "engine/engine_input.h"
#include "engine/fis_steps.h"
#include "extended.h"

namespace genosieve {

// Genotypes an iteration may copy: candidate c has the code codes[l * count + c] at
// locus l (as in EngineInput::codes) and belongs to population population[c] (0-based).
// Candidates that are fixed rows as well (the distinct genotypes of a population) may be
// given as those rows instead, fixedRow[c], with no codes of their own.
struct CandidateGenotypes {
  int32_t count = 0;
  std::vector<int32_t> population;
  std::vector<int32_t> codes;
  std::vector<int32_t> fixedRow;
};

// `copies` copies of one candidate of `population` (0-based), chosen per iteration.
struct CopySlot {
  int32_t population = 0;
  int32_t copies = 0;
};

// Everything the evaluations read, built by PrepareEvaluation.
struct PreparedEvaluation {
  int32_t populations = 0;
  int32_t loci = 0;
  int32_t highestAllele = 0;
  std::vector<CopySlot> slots;
  std::vector<int32_t> candidatePopulation;

  // Blocks: per place p * loci + l, the lanes of population p at locus l when it can be
  // typed there: the sample-size lane at blockLane, then blockCells lanes, one per allele
  // it can carry there, in ascending allele order, with the allele count in the low and
  // the heterozygote count in the high 32 bits. blockLane is -1 for a population never
  // typed at the locus. blockHighest is the place among those alleles of the highest
  // allele number, -1 when it is not one of them.
  std::vector<int32_t> blockLane;
  std::vector<int32_t> blockCells;
  std::vector<int32_t> blockHighest;
  std::size_t laneCount = 0;

  // Per locus l: its sample-size entries [populationBegin[l], populationBegin[l + 1]) (the
  // populations that can be typed there, in ascending order) and its alleles
  // [alleleBegin[l], alleleBegin[l + 1]) in ascending order. Per entry, its population
  // (0-based) and lane.
  std::vector<int32_t> populationBegin;
  std::vector<int32_t> entryPopulation;
  std::vector<int32_t> entryLane;
  std::vector<int32_t> alleleBegin;
  std::vector<uint32_t> alleleNumber;
  // Per allele a: its cells [cellBegin[a], cellBegin[a + 1]), one per population that can
  // carry it, in ascending population order: the cell's entry and lane.
  std::vector<int32_t> cellBegin;
  std::vector<int32_t> cellEntry;
  std::vector<int32_t> cellLane;

  // The lanes of the fixed rows.
  std::vector<uint64_t> fixedLanes;

  // What one copy of a candidate adds where it is typed, locus by locus, apart from the
  // class loci below: 1 to the sample-size lane `lane`, 1 copy of the alleles at ranks
  // `first` and `second` of its block (the same rank twice for a homozygote) and, for a
  // heterozygote, 1 heterozygote to both. Candidate c's are
  // [contributionBegin[c], contributionBegin[c + 1]).
  struct Contribution {
    uint32_t lane = 0;
    uint16_t first = 0;
    uint16_t second = 0;
  };
  std::vector<Contribution> contributions;
  std::vector<int64_t> contributionBegin;

  // Class loci: for population p, the classLoci[p] blocks of at most two alleles
  // (classBlock[classBegin[p] + d], d = 0..classLoci[p] - 1, in locus order) at which its
  // copies are counted as genotype classes: homozygotes for the block's first allele, for
  // its second, heterozygotes. Its accumulators are three rows of classLoci[p] 16-bit
  // counts from classBegin[p] * 3. Candidate c of such a population has three rows of 0/1
  // flags from classFlagBegin[c]. Only populations whose copies add up to fewer than
  // 2^16 have class loci.
  std::vector<int32_t> classLoci;
  std::vector<int64_t> classBegin;
  std::vector<int32_t> classBlock;
  std::vector<int64_t> classFlagBegin;
  std::vector<uint8_t> classFlags;
};

// Working storage of the evaluations, one per thread.
struct EvaluationWork {
  std::vector<uint64_t> lanes;  // the counts of the current table (as fixedLanes)
  std::vector<uint16_t> classCounts;
  std::vector<int32_t> sampleSizes;  // one locus's, in entry order
  std::vector<const StoredTerm*> populationTerms;
  std::vector<const StoredTerm*> populationHetTerms;
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
// copies, and tables too large for 32-bit counts. Up to `threads` threads share the work
// on many loci or candidates; the result is the same for any number.
PreparedEvaluation PrepareEvaluation(const EngineInput& fixedRows,
                                     const CandidateGenotypes& candidates,
                                     const std::vector<CopySlot>& slots, int32_t threads = 1);

// FisOverall of the fixed rows plus test.slots[j].copies copies of candidate chosen[j]
// for every slot j; a chosen candidate must belong to its slot's population
// (InternalError otherwise). Floating-point errors as EvaluateFis.
Extended EvaluatePrepared(const PreparedEvaluation& test, EvaluationWork& work,
                          const int32_t* chosen);

// The counts of the same table only, in work.lanes.
void CountPrepared(const PreparedEvaluation& test, EvaluationWork& work, const int32_t* chosen);

// The same evaluation up to the per-locus outcomes, without throwing: work.usedIndex
// tells which loci are used, work.locus.outcomes[work.usedIndex[l]] is locus l's. The
// counts are left as CountPrepared leaves them.
void EvaluatePreparedLoci(const PreparedEvaluation& test, EvaluationWork& work,
                          const int32_t* chosen);

}  // namespace genosieve
