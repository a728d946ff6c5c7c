#pragma once

// Steps of the Weir & Cockerham estimate shared by the evaluation of a whole table
// (EvaluateFis) and the evaluations of a prepared randomization test: both must give
// the same bits, so both run exactly this arithmetic.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "extended.h"

namespace genosieve {

// Stores an extended value as float; a value beyond the float range is the overflow
// error rather than an infinity.
float StoreFloat(Extended value);

// The sum S of the sample sizes of one locus, each addition stored as float (a zero
// leaves the sum unchanged, so untyped populations may be included).
float SampleSizeSum(const int32_t* sampleSizes, std::size_t count);

// r (ContributingPops) and n̄ (MeanSampleSize) of one locus.
struct LocusSummary {
  int32_t contributingPops = 0;
  float meanSampleSize = 0.0f;
};

// The form of Weir & Cockerham's estimator a table gets. A table of two or more
// populations gets the one for several samples, whatever populations are typed; a table
// of a single population, which that one can never use, gets the one for one sample, in
// which no variance between samples enters: b = n/(n - 1) [p(1 - p) - (2n - 1) h / (4n)],
// c = h/2, over the loci typed in at least two individuals. Both run the same steps
// (r = 1 leaves out the term of s²).
enum class FisEstimator { kSeveralSamples, kOneSample };

inline FisEstimator EstimatorOfTable(int32_t populations) {
  return populations == 1 ? FisEstimator::kOneSample : FisEstimator::kSeveralSamples;
}

// The summary of a locus from the sample sizes of its populations (untyped ones may be
// included): false when the locus takes no part in the estimate: for several samples
// r <= 1 or S = 0, for one sample fewer than two typed individuals.
bool SummariseLocus(const int32_t* sampleSizes, std::size_t count, LocusSummary& summary,
                    FisEstimator estimator = FisEstimator::kSeveralSamples);

// An extended value kept to be loaded often: the terms below, and the per-population
// tests' remembered variance components. On the x87 a load of 80 bits costs several
// times what two loads of 64 bits cost, and each such value (finite, and zero or of
// magnitude far inside the double range) is the exact sum of its value rounded to double
// and the remainder, which has at most 12 significant bits: loading the pair and adding
// it gives back the same 80 bits.
#if GENOSIEVE_SOFT_EXTENDED
using StoredTerm = Extended;
inline Extended LoadTerm(const StoredTerm& term) { return term; }
#else
struct StoredTerm {
  double high = 0.0;
  double low = 0.0;
};
inline Extended LoadTerm(const StoredTerm& term) {
  return static_cast<Extended>(term.high) + static_cast<Extended>(term.low);
}
#endif

// The stored form of a term; an InternalError when it would not load back to its bits.
StoredTerm StoreTerm(Extended value);

// Per sample size n, the terms of one population computed with the same operations as
// the frequencies themselves: p = count / (2n), h = het / n, then n × p, (p × p) × n,
// n × h. Tabulating them once per n avoids x87 divisions per population and allele.
// Layout of the table of n: for c = 0..2n, n × p at 2c and (p × p) × n at 2c + 1; then
// for h = 0..n, n × h at HetTermsOffset(n) + h.
struct TermsCache {
  std::vector<int32_t> index;  // n -> index into tables, -1 when not built
  std::vector<std::vector<StoredTerm>> tables;
  std::size_t size = 0;  // values held in all tables
};

inline std::size_t HetTermsOffset(int32_t n) { return 2 * (2 * static_cast<std::size_t>(n) + 1); }

// The table of n >= 1, built by MakeTerms on first use. Looked up for every population
// of every locus: the look-up is inline.
const StoredTerm* MakeTerms(TermsCache& cache, int32_t n);
inline const StoredTerm* TermsFor(TermsCache& cache, int32_t n) {
  const auto at = static_cast<std::size_t>(n);
  if (at < cache.index.size() && cache.index[at] >= 0) {
    return cache.tables[static_cast<std::size_t>(cache.index[at])].data();
  }
  return MakeTerms(cache, n);
}

// Drops every table when they hold too many values; call only while no pointer
// returned by TermsFor is in use.
void TrimTerms(TermsCache& cache);

// The exact zeros an untyped population contributes: the terms of count 0, het 0.
extern const StoredTerm kZeroTerms[2];

// For each of `count` populations of a locus, the terms of its sample size
// (populationTerms[q]) and its heterozygote terms (hetTerms[q]); kZeroTerms for an
// untyped population. Trims the cache first, so pointers from earlier calls go stale.
void SetPopulationTerms(TermsCache& cache, const int32_t* sampleSizes, std::size_t count,
                        const StoredTerm** populationTerms, const StoredTerm** hetTerms);

// P1, P2 and H1 of one allele of one locus: sums of n × p, (p × p) × n and n × h over
// the populations in ascending order.
struct AlleleSums {
  Extended p1 = Extended(0);
  Extended p2 = Extended(0);
  Extended h1 = Extended(0);
};

struct LocusSums {
  float sumB = 0.0f;
  float sumBC = 0.0f;
};

// r, n̄ and the values derived from them at one locus. Every operand is extended so
// that every operation rounds to 80 bits.
struct LocusValues {
  Extended r = Extended(0);
  Extended nbar = Extended(0);
  Extended rMinus1 = Extended(0);
  Extended rTimesNbar = Extended(0);
  Extended twoNbarMinus1 = Extended(0);
  Extended nbarMinus1 = Extended(0);
};

LocusValues LocusValuesOf(int32_t contributingPops, float meanSampleSize);

// The variance components b (between individuals within populations) and c (between
// gametes within individuals) of one allele.
struct VarianceComponents {
  Extended b = Extended(0);
  Extended c = Extended(0);
};

// Whether an allele with mean frequency p̄ takes part: 0.001 < p̄ < 0.999.
bool AlleleInBand(Extended meanFreq);

// b and c of a used allele from its locus's values, p̄, s² and h̄, each component of
// absolute value below 1e-20 set to 0. n̄ = 1 throws the division-by-zero error (the
// invalid-operation error when the numerator is 0 too).
VarianceComponents ComponentsOf(const LocusValues& values, Extended meanFreq, Extended freqVariance,
                                Extended meanHet);

// SumB := b + SumB; SumBC := (b + SumBC) + c, each stored as float.
void AddComponents(const VarianceComponents& components, float& sumB, float& sumBC);

// FisOverall := TotalB / TotalBC, with the floating-point errors of the division.
Extended FisFromTotals(Extended totalB, Extended totalBC);

// What one used locus gives an evaluation: its float sums, or the floating-point error
// that ends any evaluation reaching it (n̄ = 1 with a used allele, or an overflow).
struct LocusOutcome {
  float sumB = 0.0f;
  float sumBC = 0.0f;
  const char* error = nullptr;
};

// Working storage of FinishLoci, reused between evaluations.
struct LocusScratch {
  std::vector<AlleleSums> sums;  // filled by the caller, one per allele of the used loci
  std::vector<Extended> meanFreq;
  std::vector<int32_t> usedAllele;
  std::vector<Extended> b;
  std::vector<Extended> c;
  std::vector<LocusValues> values;     // FinishLoci: per locus
  std::vector<uint8_t> state;          // FinishLoci: per allele, unknown / unused / used
  std::vector<int32_t> pending;        // FinishLoci: alleles to work out
  std::vector<int32_t> pendingLocus;   // FinishLoci: the locus of each of them
  std::vector<LocusOutcome> outcomes;  // FinishLoci: per locus
};

// A used locus of an evaluation for FinishLoci: r, n̄, and its alleles' sums
// scratch.sums[alleleBegin..alleleEnd - 1] in ascending allele order.
struct UsedLocus {
  int32_t contributingPops = 0;
  float meanSampleSize = 0.0f;
  std::size_t alleleBegin = 0;
  std::size_t alleleEnd = 0;
};

// Outcomes of alleles worked out by earlier evaluations of one test. The outcome of an
// allele (in the band or not, and its b and c) depends only on r, n̄, P1, P2 and H1, so
// an allele whose five values have the same bits as in an earlier evaluation has the
// same outcome. In a population test, where one population changes and the filler
// never does, nearly every allele repeats one seen before; in the other tests few do,
// and the memo turns itself off.
struct AlleleMemo {
  struct Entry {
    // The key: the significands of P1, P2, H1; their signs and exponents; r and the bits
    // of n̄. An empty entry holds r = 0, which no used locus has.
    uint64_t key[5] = {0, 0, 0, 0, 0};
    uint64_t used = 0;  // in the band
    Extended b = Extended(0);
    Extended c = Extended(0);
  };
  // Direct-mapped by a hash of the key, allocated on first use; only a whole key
  // matches.
  std::vector<Entry> entries;
  bool enabled = true;
  uint64_t windowLookups = 0;
  uint64_t windowHits = 0;
  uint64_t windowEvaluations = 0;
};

// FinishLoci up to the per-locus sums, without throwing: outcomes[l] for every locus l
// of `loci`. The estimate over any subset of the loci follows from them: the first
// error in locus order, else TotalB and TotalBC summed in locus order.
void FinishLociApart(const std::vector<UsedLocus>& loci, LocusScratch& scratch, AlleleMemo* memo,
                     LocusOutcome* outcomes);

// FisOverall from the outcomes of the used loci in locus order: the first error, else
// TotalB / TotalBC.
Extended FisFromOutcomes(const LocusOutcome* outcomes, std::size_t count);

// Whether an allele takes part, and its components: what FinishLoci works out for one
// allele of a locus with values `v`; for a used allele when n̄ = 1, the error it meets
// instead of its components.
struct AlleleOutcome {
  bool used = false;
  Extended b = Extended(0);
  Extended c = Extended(0);
  const char* error = nullptr;
};
AlleleOutcome OutcomeOfAllele(const LocusValues& v, const AlleleSums& sums);

// The allele means and components of every used locus of an evaluation, then the
// overall sums and the estimate: for each locus in order p̄, s², h̄ of its alleles, the
// components of those within 0.001 < p̄ < 0.999 and SumB, SumBC; TotalB and TotalBC
// summed over the loci; FisOverall = TotalB / TotalBC. The alleles of all loci are worked
// on in passes over independent values, so that the long x87 divisions of different
// alleles overlap; every value is computed with the operations, and every sum in the
// order, of the one-allele-at-a-time description, and the first error is that of the
// first locus in order that meets one (n̄ = 1 with a used allele throws the error of
// its first used allele). With a memo, alleles whose outcome is known are not worked
// out again.
Extended FinishLoci(const std::vector<UsedLocus>& loci, LocusScratch& scratch,
                    AlleleMemo* memo = nullptr);

}  // namespace genosieve
