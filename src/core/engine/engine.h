#pragma once

#include <cstdint>
#include <vector>

#include "engine/fis_steps.h"
#include "engine/genotype_file.h"
#include "engine/test_tally.h"
#include "extended.h"

namespace genosieve {

inline constexpr const char* kDivisionByZeroMessage = "Division par zéro en virgule flottante";
inline constexpr const char* kInvalidOperationMessage = "Opération en virgule flottante incorrecte";
inline constexpr const char* kOverflowMessage = "Débordement en virgule flottante";

// Reusable storage of the in-memory evaluation. Its content is scratch: nothing in it
// influences a result, so one workspace may serve any sequence of evaluations (the
// randomization tests keep one to avoid allocating in every iteration).
struct EngineWorkspace {
  std::vector<int32_t> occupied;     // populations (0-based) with at least one line
  std::vector<int32_t> sampleSize;   // SampleSize of each occupied population, one locus
  std::vector<int32_t> alleleSlot;   // allele -> offset of its row in the counts below
  int32_t slotHighest = -1;          // the A alleleSlot was built for
  std::vector<int32_t> slotAllele;   // allele of each row, in order of first sight
  std::vector<int32_t> alleleOrder;  // rows in ascending allele order
  // Counts [row][occupied population]: copies as first allele (low 32 bits) and
  // homozygotes (high 32 bits), copies as second allele; AlleleFreq = first + second,
  // HetFreq = that - 2 × homozygotes.
  std::vector<uint64_t> firstCount;
  std::vector<int32_t> secondCount;
  std::vector<const Extended*> populationTerms;     // n × p, (p × p) × n by allele count
  std::vector<const Extended*> populationHetTerms;  // n × h by heterozygote count
  TermsCache terms;
  LocusScratch locus;
};

// Counting and Weir & Cockerham estimate of one loaded genotype table (populations
// 1..P): returns FisOverall. A floating-point error (0/0, x/0, overflow) throws a
// RunError with its French message; an inconsistent table (a code whose alleles are
// not both in 1..A, population ends that do not match the individuals) a RunError.
Extended EvaluateFis(const EngineInput& input);
Extended EvaluateFis(const EngineInput& input, EngineWorkspace& workspace);

// One engine evaluation: sets observedFlag when observed, loads "tempmicrosat.txt" or
// "temp.txt" from the working folder, estimates Fis and updates the tally. On failure
// the tally keeps what it held.
void RunEvaluation(bool observed, TestState& state);

// ---- Steps of the estimate for one allele of one locus, exposed for tests ----------

// The variance components b (between individuals within populations) and c (between
// gametes within individuals) of one allele.
struct VarianceComponents {
  Extended b = 0.0L;
  Extended c = 0.0L;
};

// Whether an allele with mean frequency p̄ takes part: 0.001 < p̄ < 0.999.
bool AlleleInBand(Extended meanFreq);

// b and c of a used allele from r, n̄ (MeanSampleSize), p̄, s² and h̄, each component
// of absolute value below 1e-20 set to 0. n̄ = 1 throws the division-by-zero error
// (the invalid-operation error when the numerator is 0 too).
VarianceComponents ComputeComponents(int32_t contributingPops, float meanSampleSize,
                                     Extended meanFreq, Extended freqVariance, Extended meanHet);

// SumB := b + SumB; SumBC := (b + SumBC) + c, each stored as float.
void AddComponents(const VarianceComponents& components, float& sumB, float& sumBC);

// FisOverall := TotalB / TotalBC, with the floating-point errors of the division.
Extended FisFromTotals(Extended totalB, Extended totalBC);

}  // namespace genosieve
