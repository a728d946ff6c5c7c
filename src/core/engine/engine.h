#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/engine_input.h"
#include "engine/fis_steps.h"
#include "engine/genotype_file.h"
#include "engine/tally.h"
#include "extended.h"

namespace genosieve {

// Reusable storage of the in-memory evaluation. Its content is scratch: nothing in it
// influences a result, so one workspace may serve any sequence of evaluations.
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
  std::vector<const StoredTerm*> populationTerms;     // n × p, (p × p) × n by allele count
  std::vector<const StoredTerm*> populationHetTerms;  // n × h by heterozygote count
  TermsCache terms;
  LocusScratch locus;
  std::vector<UsedLocus> usedLoci;
};

// Counting and Weir & Cockerham estimate of one loaded genotype table (populations
// 1..P; with P = 1 the estimator for one sample, engine/fis_steps.h): returns FisOverall. A
// floating-point error (0/0, x/0, overflow) throws a RunError with its French message; an
// inconsistent table (a code whose alleles are not both in 1..A, population ends that do not match
// the individuals) an InternalError.
Extended EvaluateFis(const EngineInput& input, EngineWorkspace& workspace);

// The same estimate, bit for bit, of the table `shape` describes with its codes left out:
// `columnOf(locus, codes)` writes the locus's genotype column (one code per individual)
// when the locus is counted, so that a large table is never held as codes whole.
Extended EvaluateFisByColumn(const EngineInput& shape,
                             const std::function<void(int32_t, int32_t*)>& columnOf,
                             EngineWorkspace& workspace);

// One engine evaluation: sets observedFlag for the observed evaluation, loads
// "tempmicrosat.txt" or "temp.txt" from the working folder, estimates Fis and updates
// the tally. On failure the tally keeps what it held.
void RunEvaluation(const WorkingFolder& folder, EvaluationKind kind, TallyState& state);

}  // namespace genosieve
