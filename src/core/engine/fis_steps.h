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

// Per sample size n, the terms of one population computed with the same operations as
// the frequencies themselves: p = count / (2n), h = het / n, then n × p, (p × p) × n,
// n × h. Tabulating them once per n avoids x87 divisions per population and allele.
// Layout of the table of n: for c = 0..2n, n × p at 2c and (p × p) × n at 2c + 1; then
// for h = 0..n, n × h at HetTermsOffset(n) + h.
struct TermsCache {
  std::vector<int32_t> index;  // n -> index into tables, -1 when not built
  std::vector<std::vector<Extended>> tables;
  std::size_t size = 0;  // values held in all tables
};

inline std::size_t HetTermsOffset(int32_t n) { return 2 * (2 * static_cast<std::size_t>(n) + 1); }

// The table of n >= 1 (built on first use).
const Extended* TermsFor(TermsCache& cache, int32_t n);

// Drops every table when they hold too many values; call only while no pointer
// returned by TermsFor is in use.
void TrimTerms(TermsCache& cache);

// The exact zeros an untyped population contributes: the terms of count 0, het 0.
extern const Extended kZeroTerms[2];

// P1, P2 and H1 of one allele of one locus: sums of n × p, (p × p) × n and n × h over
// the populations in ascending order.
struct AlleleSums {
  Extended p1 = 0.0L;
  Extended p2 = 0.0L;
  Extended h1 = 0.0L;
};

struct LocusSums {
  float sumB = 0.0f;
  float sumBC = 0.0f;
};

// r, n̄ and the values derived from them at one locus. Every operand is extended so
// that every operation rounds to 80 bits.
struct LocusValues {
  Extended r = 0.0L;
  Extended nbar = 0.0L;
  Extended rMinus1 = 0.0L;
  Extended rTimesNbar = 0.0L;
  Extended twoNbarMinus1 = 0.0L;
  Extended nbarMinus1 = 0.0L;
};

// Working storage of FinishLocus, reused between loci.
struct LocusScratch {
  std::vector<AlleleSums> sums;  // filled by the caller, one per allele
  std::vector<Extended> meanFreq;
  std::vector<int32_t> usedAllele;
  std::vector<Extended> b;
  std::vector<Extended> c;
  std::vector<LocusValues> values;    // FinishLoci: per locus
  std::vector<uint8_t> state;         // FinishLoci: per allele, unknown / unused / used
  std::vector<int32_t> pending;       // FinishLoci: alleles to work out
  std::vector<int32_t> pendingLocus;  // FinishLoci: the locus of each of them
};

// The allele means and the components of one used locus (r > 1, S != 0), from the sums of
// its alleles in ascending allele order (scratch.sums[0..alleles - 1]): p̄, s², h̄, the
// components of the alleles within 0.001 < p̄ < 0.999, and SumB, SumBC. The alleles are
// worked on in passes over independent values so that the long x87 divisions of
// different alleles overlap; every value is computed with the operations, and the
// sums in the order, of the one-allele-at-a-time description. n̄ = 1 throws the error
// of the first used allele.
LocusSums FinishLocus(int32_t contributingPops, float meanSampleSize, std::size_t alleles,
                      LocusScratch& scratch);

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
    Extended b = 0.0L;
    Extended c = 0.0L;
  };
  // Direct-mapped by a hash of the key, allocated on first use; only a whole key
  // matches.
  std::vector<Entry> entries;
  bool enabled = true;
  uint64_t windowLookups = 0;
  uint64_t windowHits = 0;
};

// FinishLocus for every used locus of an evaluation, in locus order, then the overall
// sums and the estimate: TotalB and TotalBC summed over the loci, FisOverall = TotalB /
// TotalBC. The passes run
// over the alleles of all loci at once, which lets more divisions overlap; the first
// error is that of the first locus in order that meets one, as locus by locus. With a
// memo, alleles whose outcome is known are not worked out again.
Extended FinishLoci(const std::vector<UsedLocus>& loci, LocusScratch& scratch,
                    AlleleMemo* memo = nullptr);

}  // namespace genosieve
