#include "engine/fis_steps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// Bounds held as extended values: the comparisons are made in 80 bits.
constexpr Extended kLowFreq = 0.001_ext;
constexpr Extended kHighFreq = 0.999_ext;
constexpr Extended kNegligible = 1e-20_ext;

// Term tables kept across evaluations are dropped beyond this many values.
constexpr std::size_t kTermsBudget = std::size_t{1} << 18;

// Partial sums below this are integers a float holds exactly.
constexpr int64_t kExactFloatIntegers = int64_t{1} << 24;

Extended MeanFreqOf(const LocusValues& v, const AlleleSums& sums) {
  return (sums.p1 / v.r) / v.nbar;
}

Extended FreqVarianceOf(const LocusValues& v, const AlleleSums& sums, Extended meanFreq) {
  // One sample (r = 1): no variance between samples, and no term of it in b.
  if (v.rMinus1 == Extended(0)) return Extended(0);
  const Extended freqVariance = sums.p2 - (meanFreq * meanFreq) * v.rTimesNbar;
  return (freqVariance / v.rMinus1) / v.nbar;
}

Extended MeanHetOf(const LocusValues& v, const AlleleSums& sums) {
  return (sums.h1 / v.r) / v.nbar;
}

// b's numerator u × n̄.
Extended NumeratorOf(const LocusValues& v, Extended meanFreq, Extended freqVariance,
                     Extended meanHet) {
  Extended u = (Extended(1) - meanFreq) * meanFreq;
  u = u - (v.rMinus1 * freqVariance) / v.r;
  const Extended w = v.twoNbarMinus1 * meanHet;
  u = u - (w / Extended(4)) / v.nbar;
  return u * v.nbar;
}

Extended Negligible(Extended value) { return Abs(value) < kNegligible ? Extended(0) : value; }

// The error of a division of `numerator` by a zero n̄ - 1.
const char* ZeroDenominatorMessage(Extended numerator) {
  return numerator == Extended(0) || IsNan(numerator) ? kInvalidOperationMessage
                                                      : kDivisionByZeroMessage;
}

// Kept out of line, so that the formula around it stays small enough to inline.
[[noreturn]] void ThrowZeroDenominator(Extended numerator) {
  throw RunError(ZeroDenominatorMessage(numerator));
}

// The b/c formula (ComponentsOf), inline for the estimate's passes over the alleles.
inline VarianceComponents Components(const LocusValues& v, Extended meanFreq, Extended freqVariance,
                                     Extended meanHet) {
  const Extended numerator = NumeratorOf(v, meanFreq, freqVariance, meanHet);
  if (v.nbarMinus1 == Extended(0)) ThrowZeroDenominator(numerator);
  return {Negligible(numerator / v.nbarMinus1), Negligible(meanHet / Extended(2))};
}

// The components of an allele from its sums.
inline VarianceComponents ComponentsFromSums(const LocusValues& v, const AlleleSums& sums,
                                             Extended meanFreq) {
  return Components(v, meanFreq, FreqVarianceOf(v, sums, meanFreq), MeanHetOf(v, sums));
}

}  // namespace

LocusValues LocusValuesOf(int32_t contributingPops, float meanSampleSize) {
  LocusValues values;
  values.r = static_cast<Extended>(contributingPops);
  values.nbar = static_cast<Extended>(meanSampleSize);
  values.rMinus1 = values.r - Extended(1);
  values.rTimesNbar = values.r * values.nbar;
  values.twoNbarMinus1 = Extended(2) * values.nbar - Extended(1);
  values.nbarMinus1 = values.nbar - Extended(1);
  return values;
}

const StoredTerm kZeroTerms[2] = {};

StoredTerm StoreTerm(Extended value) {
#if GENOSIEVE_SOFT_EXTENDED
  return value;
#else
  const auto high = static_cast<double>(value);
  const StoredTerm term{high, static_cast<double>(value - static_cast<Extended>(high))};
  const ExtendedBits wanted = BitsOf(value);
  const ExtendedBits loaded = BitsOf(LoadTerm(term));
  if (loaded.significand != wanted.significand || loaded.signExponent != wanted.signExponent) {
    ThrowInternalError("a term that does not split into two doubles");
  }
  return term;
#endif
}

float StoreFloat(Extended value) {
  const float stored = static_cast<float>(value);
  if (std::isinf(stored)) throw RunError(kOverflowMessage);
  return stored;
}

float SampleSizeSum(const int32_t* sampleSizes, std::size_t count) {
  // Sample sizes are non-negative: while the total stays below 2^24 every partial sum
  // is an integer the float holds exactly, so the float sum is the integer total.
  int64_t total = 0;
  bool exact = true;
  for (std::size_t q = 0; q < count; ++q) {
    exact = exact && sampleSizes[q] >= 0;
    total += sampleSizes[q];
  }
  if (exact && total < kExactFloatIntegers) return static_cast<float>(total);
  float sum = 0.0f;
  for (std::size_t q = 0; q < count; ++q) {
    if (sampleSizes[q] == 0) continue;
    sum = StoreFloat(static_cast<Extended>(sum) + static_cast<Extended>(sampleSizes[q]));
  }
  return sum;
}

bool SummariseLocus(const int32_t* sampleSizes, std::size_t count, LocusSummary& summary,
                    FisEstimator estimator) {
  // ContributingPops: populations of the range typed at the locus. The float sum S of
  // the sample sizes skips the others, whose exact zero leaves it unchanged.
  int32_t contributingPops = 0;
  for (std::size_t q = 0; q < count; ++q) contributingPops += sampleSizes[q] != 0 ? 1 : 0;
  const float sampleSum = SampleSizeSum(sampleSizes, count);
  if (estimator == FisEstimator::kOneSample) {
    // n̄ = n: the locus needs two typed individuals, as n - 1 divides.
    if (contributingPops != 1 || sampleSum < 2.0f) return false;
  } else if (contributingPops <= 1 || sampleSum == 0.0f) {
    return false;
  }
  summary.contributingPops = contributingPops;
  summary.meanSampleSize =
      StoreFloat(static_cast<Extended>(sampleSum) / static_cast<Extended>(contributingPops));
  return true;
}

void SetPopulationTerms(TermsCache& cache, const int32_t* sampleSizes, std::size_t count,
                        const StoredTerm** populationTerms, const StoredTerm** hetTerms) {
  TrimTerms(cache);
  // An untyped population has only zero counts: its terms are the exact zeros of
  // count 0, which leave every sum unchanged.
  for (std::size_t q = 0; q < count; ++q) {
    const int32_t n = sampleSizes[q];
    const StoredTerm* terms = n == 0 ? kZeroTerms : TermsFor(cache, n);
    populationTerms[q] = terms;
    hetTerms[q] = n == 0 ? kZeroTerms : terms + HetTermsOffset(n);
  }
}

const StoredTerm* MakeTerms(TermsCache& cache, int32_t n) {
  const auto at = static_cast<std::size_t>(n);
  if (cache.index.size() <= at) cache.index.resize(at + 1, -1);
  if (cache.index[at] >= 0) return cache.tables[static_cast<std::size_t>(cache.index[at])].data();
  const Extended size = static_cast<Extended>(n);
  const Extended twice = static_cast<Extended>(2 * static_cast<int64_t>(n));
  std::vector<StoredTerm> values(HetTermsOffset(n) + (at + 1));
  for (std::size_t c = 0; c <= 2 * at; ++c) {
    const Extended p = static_cast<Extended>(c) / twice;
    values[2 * c] = StoreTerm(size * p);
    values[2 * c + 1] = StoreTerm((p * p) * size);
  }
  StoredTerm* het = values.data() + HetTermsOffset(n);
  for (std::size_t h = 0; h <= at; ++h)
    het[h] = StoreTerm(size * (static_cast<Extended>(h) / size));
  cache.size += values.size();
  cache.index[at] = static_cast<int32_t>(cache.tables.size());
  cache.tables.push_back(std::move(values));
  return cache.tables.back().data();
}

void TrimTerms(TermsCache& cache) {
  if (cache.size <= kTermsBudget) return;
  cache.tables.clear();
  cache.size = 0;
  std::fill(cache.index.begin(), cache.index.end(), -1);
}

namespace {

constexpr std::size_t kMemoEntries = std::size_t{1} << 13;
// The memo is checked over windows of at least this many alleles and evaluations; below a
// quarter of repeats in a window it is dropped for the rest of the test.
constexpr uint64_t kMemoWindow = 4096;
constexpr uint64_t kMemoWindowEvaluations = 3;

enum : uint8_t { kUnknown = 0, kUnused = 1, kUsed = 2 };

struct MemoKey {
  uint64_t word[5];
};

// Built in registers, compared word by word.
MemoKey KeyOf(const UsedLocus& locus, const AlleleSums& sums) {
  uint32_t meanSampleSizeBits = 0;
  std::memcpy(&meanSampleSizeBits, &locus.meanSampleSize, sizeof meanSampleSizeBits);
  const ExtendedBits p1 = BitsOf(sums.p1);
  const ExtendedBits p2 = BitsOf(sums.p2);
  const ExtendedBits h1 = BitsOf(sums.h1);
  return MemoKey{{p1.significand, p2.significand, h1.significand,
                  uint64_t{p1.signExponent} | uint64_t{p2.signExponent} << 16 |
                      uint64_t{h1.signExponent} << 32,
                  static_cast<uint32_t>(locus.contributingPops) |
                      static_cast<uint64_t>(meanSampleSizeBits) << 32}};
}

std::size_t SlotOf(const MemoKey& key) {
  uint64_t h = key.word[0] * 0x9E3779B97F4A7C15u;
  h ^= (key.word[1] * 0xC2B2AE3D27D4EB4Fu) >> 17;
  h ^= (key.word[2] * 0x165667B19E3779F9u) >> 31;
  h ^= key.word[3] * 0xFF51AFD7ED558CCDu;
  h ^= key.word[4] * 0xD6E8FEB86659FD93u;
  h ^= h >> 29;
  return static_cast<std::size_t>(h) & (kMemoEntries - 1);
}

bool Matches(const AlleleMemo::Entry& entry, const MemoKey& key) {
  return ((entry.key[0] ^ key.word[0]) | (entry.key[1] ^ key.word[1]) |
          (entry.key[2] ^ key.word[2]) | (entry.key[3] ^ key.word[3]) |
          (entry.key[4] ^ key.word[4])) == 0;
}

void Store(AlleleMemo::Entry& entry, const MemoKey& key, bool used, Extended b, Extended c) {
  for (int i = 0; i < 5; ++i) entry.key[i] = key.word[i];
  entry.used = used ? 1u : 0u;
  entry.b = b;
  entry.c = c;
}

}  // namespace

void FinishLociApart(const std::vector<UsedLocus>& loci, LocusScratch& scratch, AlleleMemo* memo,
                     LocusOutcome* outcomes) {
  std::size_t alleles = 0;
  for (const UsedLocus& locus : loci) alleles = std::max(alleles, locus.alleleEnd);
  scratch.meanFreq.resize(alleles);
  scratch.usedAllele.resize(alleles);
  scratch.b.resize(alleles);
  scratch.c.resize(alleles);
  scratch.state.assign(alleles, kUnknown);
  scratch.pending.resize(alleles);
  scratch.pendingLocus.resize(alleles);
  const AlleleSums* sums = scratch.sums.data();
  Extended* meanFreq = scratch.meanFreq.data();
  int32_t* usedAllele = scratch.usedAllele.data();
  Extended* b = scratch.b.data();
  Extended* c = scratch.c.data();
  uint8_t* state = scratch.state.data();

  // A window spans several evaluations, so that the cold misses of the first one (which
  // alone may hold more than a window of alleles) never decide.
  if (memo != nullptr && memo->enabled && memo->windowLookups >= kMemoWindow &&
      memo->windowEvaluations >= kMemoWindowEvaluations) {
    if (memo->windowHits * 4 < memo->windowLookups) {
      memo->enabled = false;
      memo->entries = {};
    }
    memo->windowLookups = 0;
    memo->windowHits = 0;
    memo->windowEvaluations = 0;
  }
  const bool useMemo = memo != nullptr && memo->enabled;
  if (useMemo) ++memo->windowEvaluations;
  if (useMemo && memo->entries.empty()) memo->entries.resize(kMemoEntries);

  // The outcomes the memo knows; the other alleles are worked out below. A locus with
  // n̄ = 1 never uses the memo: its alleles end in an error or in nothing.
  std::vector<LocusValues>& values = scratch.values;
  values.resize(loci.size());
  int32_t* pending = scratch.pending.data();
  int32_t* pendingLocus = scratch.pendingLocus.data();
  std::size_t pendingCount = 0;
  for (std::size_t l = 0; l < loci.size(); ++l) {
    values[l] = LocusValuesOf(loci[l].contributingPops, loci[l].meanSampleSize);
    const bool lookUp = useMemo && values[l].nbarMinus1 != Extended(0);
    for (std::size_t a = loci[l].alleleBegin; a < loci[l].alleleEnd; ++a) {
      if (lookUp) {
        const MemoKey key = KeyOf(loci[l], sums[a]);
        const AlleleMemo::Entry& entry = memo->entries[SlotOf(key)];
        ++memo->windowLookups;
        if (Matches(entry, key)) {
          ++memo->windowHits;
          state[a] = entry.used != 0 ? kUsed : kUnused;
          b[a] = entry.b;
          c[a] = entry.c;
          continue;
        }
      }
      pending[pendingCount] = static_cast<int32_t>(a);
      pendingLocus[pendingCount] = static_cast<int32_t>(l);
      ++pendingCount;
    }
  }

  // p̄ of every pending allele, then the list of those in the band (made apart, so that
  // no division waits on the band test of the allele before), then their components
  // unless n̄ = 1.
  for (std::size_t i = 0; i < pendingCount; ++i) {
    meanFreq[pending[i]] =
        MeanFreqOf(values[static_cast<std::size_t>(pendingLocus[i])], sums[pending[i]]);
  }
  std::size_t used = 0;
  for (std::size_t i = 0; i < pendingCount; ++i) {
    const bool inBand = AlleleInBand(meanFreq[pending[i]]);
    state[pending[i]] = inBand ? kUsed : kUnused;
    b[pending[i]] = Extended(0);
    c[pending[i]] = Extended(0);
    usedAllele[used] = static_cast<int32_t>(i);
    used += inBand ? 1 : 0;
  }
  for (std::size_t j = 0; j < used; ++j) {
    const auto i = static_cast<std::size_t>(usedAllele[j]);
    const LocusValues& v = values[static_cast<std::size_t>(pendingLocus[i])];
    if (v.nbarMinus1 == Extended(0)) continue;
    const auto a = static_cast<std::size_t>(pending[i]);
    const VarianceComponents components = ComponentsFromSums(v, sums[a], meanFreq[a]);
    b[a] = components.b;
    c[a] = components.c;
  }
  if (useMemo) {
    for (std::size_t i = 0; i < pendingCount; ++i) {
      const UsedLocus& locus = loci[static_cast<std::size_t>(pendingLocus[i])];
      if (values[static_cast<std::size_t>(pendingLocus[i])].nbarMinus1 == Extended(0)) continue;
      const auto a = static_cast<std::size_t>(pending[i]);
      const MemoKey key = KeyOf(locus, sums[a]);
      Store(memo->entries[SlotOf(key)], key, state[a] == kUsed, b[a], c[a]);
    }
  }

  // Per locus in order: the sums of its used alleles' components, in ascending allele
  // order; a locus with n̄ = 1 and a used allele stops at the error of its first used
  // allele.
  for (std::size_t l = 0; l < loci.size(); ++l) {
    const LocusValues& v = values[l];
    std::size_t count = 0;
    for (std::size_t a = loci[l].alleleBegin; a < loci[l].alleleEnd; ++a) {
      usedAllele[count] = static_cast<int32_t>(a);
      count += state[a] == kUsed ? 1 : 0;
    }
    LocusOutcome& outcome = outcomes[l];
    outcome = LocusOutcome{};
    if (count != 0 && v.nbarMinus1 == Extended(0)) {
      // n̄ = 1: the first used allele divides by zero.
      outcome.error = ZeroDenominatorMessage(
          NumeratorOf(v, meanFreq[usedAllele[0]],
                      FreqVarianceOf(v, sums[usedAllele[0]], meanFreq[usedAllele[0]]),
                      MeanHetOf(v, sums[usedAllele[0]])));
      continue;
    }
    try {
      for (std::size_t j = 0; j < count; ++j) {
        const auto a = static_cast<std::size_t>(usedAllele[j]);
        AddComponents(VarianceComponents{b[a], c[a]}, outcome.sumB, outcome.sumBC);
      }
    } catch (const RunError&) {
      outcome.error = kOverflowMessage;
    }
  }
}

Extended FisFromOutcomes(const LocusOutcome* outcomes, std::size_t count) {
  Extended totalB = Extended(0);
  Extended totalBC = Extended(0);
  for (std::size_t l = 0; l < count; ++l) {
    if (outcomes[l].error != nullptr) throw RunError(outcomes[l].error);
    totalB += static_cast<Extended>(outcomes[l].sumB);
    totalBC += static_cast<Extended>(outcomes[l].sumBC);
  }
  return FisFromTotals(totalB, totalBC);
}

Extended FinishLoci(const std::vector<UsedLocus>& loci, LocusScratch& scratch, AlleleMemo* memo) {
  scratch.outcomes.resize(loci.size());
  FinishLociApart(loci, scratch, memo, scratch.outcomes.data());
  return FisFromOutcomes(scratch.outcomes.data(), loci.size());
}

AlleleOutcome OutcomeOfAllele(const LocusValues& v, const AlleleSums& sums) {
  const Extended meanFreq = MeanFreqOf(v, sums);
  if (!AlleleInBand(meanFreq)) return AlleleOutcome{};
  const Extended freqVariance = FreqVarianceOf(v, sums, meanFreq);
  const Extended meanHet = MeanHetOf(v, sums);
  if (v.nbarMinus1 == Extended(0)) {
    return AlleleOutcome{true, Extended(0), Extended(0),
                         ZeroDenominatorMessage(NumeratorOf(v, meanFreq, freqVariance, meanHet))};
  }
  const VarianceComponents components = Components(v, meanFreq, freqVariance, meanHet);
  return AlleleOutcome{true, components.b, components.c, nullptr};
}

bool AlleleInBand(Extended meanFreq) { return kLowFreq < meanFreq && meanFreq < kHighFreq; }

VarianceComponents ComponentsOf(const LocusValues& v, Extended meanFreq, Extended freqVariance,
                                Extended meanHet) {
  return Components(v, meanFreq, freqVariance, meanHet);
}

void AddComponents(const VarianceComponents& components, float& sumB, float& sumBC) {
  sumB = StoreFloat(components.b + static_cast<Extended>(sumB));
  sumBC = StoreFloat((components.b + static_cast<Extended>(sumBC)) + components.c);
}

Extended FisFromTotals(Extended totalB, Extended totalBC) {
  if (totalBC == Extended(0)) {
    throw RunError(totalB == Extended(0) ? kInvalidOperationMessage : kDivisionByZeroMessage);
  }
  const Extended fisOverall = totalB / totalBC;
  if (IsInf(fisOverall)) throw RunError(kOverflowMessage);
  return fisOverall;
}

}  // namespace genosieve
