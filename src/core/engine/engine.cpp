#include "engine/engine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "errors.h"

namespace genosieve {

namespace {

// Bounds held as extended values: the comparisons are made in 80 bits.
constexpr Extended kLowFreq = 0.001L;
constexpr Extended kHighFreq = 0.999L;
constexpr Extended kNegligible = 1e-20L;

// Term tables kept across evaluations are dropped beyond this many values.
constexpr std::size_t kTermsBudget = std::size_t{1} << 18;

// alleleSlot marks: an allele without a row at the current locus, and an allele that
// no genotype may carry (0 in a typed genotype, or above A).
constexpr int32_t kAbsentAllele = -1;
constexpr int32_t kRefusedAllele = -2;

[[noreturn]] void ThrowBadTable() {
  throw RunError("Table de génotypes incorrecte pour le calcul de Fis");
}

[[noreturn]] void ThrowBadCode(int32_t locus, int32_t individual, int32_t code,
                               int32_t highestAllele) {
  throw RunError("Individu " + std::to_string(individual + 1) + ", locus " +
                 std::to_string(locus + 1) + " : " + GenotypeCodeProblem(code, highestAllele));
}

// Stores an extended value as float; a value beyond the float range is the overflow
// error rather than an infinity.
float StoreFloat(Extended value) {
  const float stored = static_cast<float>(value);
  if (std::isinf(stored)) throw RunError(kOverflowMessage);
  return stored;
}

void CheckStructure(const EngineInput& input) {
  if (input.populations < 0 || input.loci < 0 || input.individuals < 0 || input.highestAllele < 0 ||
      input.populationEnd.size() != static_cast<std::size_t>(input.populations) ||
      input.codes.size() !=
          static_cast<std::size_t>(input.loci) * static_cast<std::size_t>(input.individuals)) {
    ThrowBadTable();
  }
  int32_t previous = 0;
  for (int32_t end : input.populationEnd) {
    if (end < previous) ThrowBadTable();
    previous = end;
  }
  if (previous != input.individuals) ThrowBadTable();
}

// The terms of every population of sample size n, computed with the same operations as
// the frequencies themselves: p = count / (2n), h = het / n, then n × p, (p × p) × n,
// n × h. Tabulating them once per n avoids x87 divisions per population and allele.
// Layout: for c = 0..2n, n × p at 2c and (p × p) × n at 2c + 1; then for h = 0..n,
// n × h at 2(2n + 1) + h.
const Extended* TermsFor(EngineWorkspace& ws, int32_t n) {
  const auto index = static_cast<std::size_t>(n);
  if (ws.termsIndex.size() <= index) ws.termsIndex.resize(index + 1, -1);
  if (ws.termsIndex[index] >= 0) {
    return ws.terms[static_cast<std::size_t>(ws.termsIndex[index])].data();
  }
  const Extended size = static_cast<Extended>(n);
  const Extended twice = static_cast<Extended>(2 * static_cast<int64_t>(n));
  std::vector<Extended> values(2 * (2 * index + 1) + (index + 1));
  for (std::size_t c = 0; c <= 2 * index; ++c) {
    const Extended p = static_cast<Extended>(c) / twice;
    values[2 * c] = size * p;
    values[2 * c + 1] = (p * p) * size;
  }
  Extended* het = values.data() + 2 * (2 * index + 1);
  for (std::size_t h = 0; h <= index; ++h) {
    het[h] = size * (static_cast<Extended>(h) / size);
  }
  ws.termsSize += values.size();
  ws.termsIndex[index] = static_cast<int32_t>(ws.terms.size());
  ws.terms.push_back(std::move(values));
  return ws.terms.back().data();
}

// Gives `allele` a row of zero counts at the current locus, or refuses it.
void AddAlleleRow(EngineWorkspace& ws, int32_t allele, int32_t locus, int32_t individual,
                  int32_t code, int32_t highestAllele) {
  int32_t& entry = ws.alleleSlot[static_cast<std::size_t>(allele)];
  if (entry == kRefusedAllele) ThrowBadCode(locus, individual, code, highestAllele);
  entry = static_cast<int32_t>(ws.secondCount.size());
  ws.slotAllele.push_back(allele);
  const std::size_t size = ws.secondCount.size() + ws.occupied.size();
  ws.firstCount.resize(size, 0);
  ws.secondCount.resize(size, 0);
}

// CountAlleles for one locus: SampleSize, and the counts of the alleles present at the
// locus, one row per allele (absent alleles hold exact zeros and take no part). The
// copies brought by first and by second alleles go to two tables, so that consecutive
// increments rarely wait on each other, and the first table counts homozygotes in its
// high half; the allele count is first + second and the heterozygote count that minus
// twice the homozygotes. Integer counts convert exactly to the extended counts and frequencies
// derived from them.
void CountAlleles(const EngineInput& input, int32_t locus, EngineWorkspace& ws) {
  const auto occupiedCount = ws.occupied.size();
  const std::size_t n = static_cast<std::size_t>(input.individuals);
  const int32_t* column = input.codes.data() + static_cast<std::size_t>(locus) * n;
  const int32_t* populationEnd = input.populationEnd.data();
  ws.slotAllele.clear();
  ws.firstCount.clear();
  ws.secondCount.clear();
  ws.sampleSize.assign(occupiedCount, 0);
  auto slotCount = static_cast<uint32_t>(ws.alleleSlot.size());
  const int32_t* slot = ws.alleleSlot.data();
  uint64_t* firstCount = ws.firstCount.data();
  int32_t* secondCount = ws.secondCount.data();

  for (std::size_t q = 0; q < occupiedCount; ++q) {
    const auto p = static_cast<std::size_t>(ws.occupied[q]);
    const int32_t begin = p == 0 ? 0 : populationEnd[p - 1];
    const int32_t end = populationEnd[p];
    int32_t missing = 0;
    uint64_t* firstAtQ = firstCount + q;
    int32_t* secondAtQ = secondCount + q;
    for (int32_t i = begin; i < end; ++i) {
      const int32_t g = column[i];
      // Unsigned: a negative code gives a first allele far above any entry.
      const uint32_t code = static_cast<uint32_t>(g);
      const uint32_t first = code / 1000;
      const uint32_t second = code - first * 1000;
      if (first >= slotCount) {
        // First alleles above 999: the table grows with the alleles actually present,
        // never with A alone.
        if (first > static_cast<uint32_t>(input.highestAllele)) {
          ThrowBadCode(locus, i, g, input.highestAllele);
        }
        ws.alleleSlot.resize(first + 1, kAbsentAllele);
        slot = ws.alleleSlot.data();
        slotCount = first + 1;
      }
      int32_t o1 = slot[first];
      int32_t o2 = slot[second];
      if ((o1 | o2) < 0) {
        // Rare cases: a missing genotype (allele 0 is refused), a new allele, an error.
        if (g == 0) {
          ++missing;
          continue;
        }
        if (o1 < 0) AddAlleleRow(ws, static_cast<int32_t>(first), locus, i, g, input.highestAllele);
        if (slot[second] < 0) {
          AddAlleleRow(ws, static_cast<int32_t>(second), locus, i, g, input.highestAllele);
        }
        o1 = slot[first];
        o2 = slot[second];
        firstCount = ws.firstCount.data();
        secondCount = ws.secondCount.data();
        firstAtQ = firstCount + q;
        secondAtQ = secondCount + q;
      }
      // Low half: copies as first allele; high half: homozygotes.
      firstAtQ[o1] += 1 + (static_cast<uint64_t>(o1 == o2) << 32);
      secondAtQ[o2] += 1;
    }
    ws.sampleSize[q] = end - begin - missing;
  }

  // Alleles are summed in ascending order; the slots were given in order of first sight.
  for (int32_t allele : ws.slotAllele) {
    ws.alleleSlot[static_cast<std::size_t>(allele)] = kAbsentAllele;
  }
  ws.alleleOrder.resize(ws.slotAllele.size());
  for (std::size_t s = 0; s < ws.alleleOrder.size(); ++s) {
    ws.alleleOrder[s] = static_cast<int32_t>(s);
  }
  std::sort(ws.alleleOrder.begin(), ws.alleleOrder.end(), [&ws](int32_t a, int32_t b) {
    return ws.slotAllele[static_cast<std::size_t>(a)] < ws.slotAllele[static_cast<std::size_t>(b)];
  });
}

struct LocusSums {
  float sumB = 0.0f;
  float sumBC = 0.0f;
};

// Steps 1 to 5 of the estimate for one counted locus. Returns false when the locus is
// not used (r <= 1 or no typed individual).
bool EstimateLocus(EngineWorkspace& ws, LocusSums& sums) {
  const std::size_t occupiedCount = ws.occupied.size();
  // ContributingPops: populations of the range typed at the locus. The float sum S of
  // the sample sizes skips the others, whose exact zero leaves it unchanged.
  int32_t contributingPops = 0;
  float sampleSum = 0.0f;
  for (std::size_t q = 0; q < occupiedCount; ++q) {
    const int32_t n = ws.sampleSize[q];
    if (n == 0) continue;
    ++contributingPops;
    sampleSum = StoreFloat(static_cast<Extended>(sampleSum) + static_cast<Extended>(n));
  }
  if (contributingPops <= 1 || sampleSum == 0.0f) return false;
  const Extended r = static_cast<Extended>(contributingPops);
  const float meanSampleSize = StoreFloat(static_cast<Extended>(sampleSum) / r);
  const Extended nbar = static_cast<Extended>(meanSampleSize);
  const Extended rTimesNbar = r * nbar;
  const Extended rMinus1 = r - 1.0L;

  if (ws.termsSize > kTermsBudget) {
    ws.terms.clear();
    ws.termsSize = 0;
    std::fill(ws.termsIndex.begin(), ws.termsIndex.end(), -1);
  }
  ws.populationTerms.resize(occupiedCount);
  ws.populationHetTerms.resize(occupiedCount);
  // An untyped population has only zero counts: its terms are the exact zeros of
  // count 0, which leave every sum unchanged.
  static constexpr Extended kZeroTerms[2] = {0.0L, 0.0L};
  for (std::size_t q = 0; q < occupiedCount; ++q) {
    const int32_t n = ws.sampleSize[q];
    const Extended* terms = n == 0 ? kZeroTerms : TermsFor(ws, n);
    ws.populationTerms[q] = terms;
    ws.populationHetTerms[q] =
        n == 0 ? kZeroTerms : terms + 2 * (2 * static_cast<std::size_t>(n) + 1);
  }

  for (int32_t row : ws.alleleOrder) {
    const std::size_t offset = static_cast<std::size_t>(row) * occupiedCount;
    const uint64_t* firsts = ws.firstCount.data() + offset;
    const int32_t* seconds = ws.secondCount.data() + offset;
    // P1, P2, H1 in ascending population order. Populations without a copy of the
    // allele add exact zeros (+0 leaves a sum of non-negative terms unchanged); adding
    // them costs less than a branch that mispredicts.
    Extended p1 = 0.0L;
    Extended p2 = 0.0L;
    Extended h1 = 0.0L;
    const Extended* const* populationTerms = ws.populationTerms.data();
    const Extended* const* populationHetTerms = ws.populationHetTerms.data();
    for (std::size_t q = 0; q < occupiedCount; ++q) {
      const uint64_t firstAndHom = firsts[q];
      const int32_t count = static_cast<int32_t>(firstAndHom & 0xFFFFFFFFu) + seconds[q];
      const int32_t het = count - 2 * static_cast<int32_t>(firstAndHom >> 32);
      const Extended* terms = populationTerms[q] + 2 * count;
      p1 += terms[0];
      p2 += terms[1];
      h1 += populationHetTerms[q][het];
    }
    // MeanFreq, FreqVariance, MeanHet.
    const Extended meanFreq = (p1 / r) / nbar;
    Extended freqVariance = p2 - (meanFreq * meanFreq) * rTimesNbar;
    freqVariance = (freqVariance / rMinus1) / nbar;
    const Extended meanHet = (h1 / r) / nbar;
    if (!AlleleInBand(meanFreq)) continue;
    AddComponents(
        ComputeComponents(contributingPops, meanSampleSize, meanFreq, freqVariance, meanHet),
        sums.sumB, sums.sumBC);
  }
  return true;
}

}  // namespace

bool AlleleInBand(Extended meanFreq) { return kLowFreq < meanFreq && meanFreq < kHighFreq; }

VarianceComponents ComputeComponents(int32_t contributingPops, float meanSampleSize,
                                     Extended meanFreq, Extended freqVariance, Extended meanHet) {
  // Every operand is extended so that every operation rounds to 80 bits.
  const Extended r = static_cast<Extended>(contributingPops);
  const Extended nbar = static_cast<Extended>(meanSampleSize);
  Extended u = (1.0L - meanFreq) * meanFreq;
  u = u - ((r - 1.0L) * freqVariance) / r;
  const Extended v = (2.0L * nbar - 1.0L) * meanHet;
  u = u - (v / 4.0L) / nbar;
  const Extended numerator = u * nbar;
  const Extended denominator = nbar - 1.0L;
  if (denominator == 0.0L) {
    throw RunError(numerator == 0.0L || std::isnan(numerator) ? kInvalidOperationMessage
                                                              : kDivisionByZeroMessage);
  }
  VarianceComponents components;
  components.b = numerator / denominator;
  components.c = meanHet / 2.0L;
  if (std::fabs(components.b) < kNegligible) components.b = 0.0L;
  if (std::fabs(components.c) < kNegligible) components.c = 0.0L;
  return components;
}

void AddComponents(const VarianceComponents& components, float& sumB, float& sumBC) {
  sumB = StoreFloat(components.b + static_cast<Extended>(sumB));
  sumBC = StoreFloat((components.b + static_cast<Extended>(sumBC)) + components.c);
}

Extended FisFromTotals(Extended totalB, Extended totalBC) {
  if (totalBC == 0.0L) {
    throw RunError(totalB == 0.0L ? kInvalidOperationMessage : kDivisionByZeroMessage);
  }
  const Extended fisOverall = totalB / totalBC;
  if (std::isinf(fisOverall)) throw RunError(kOverflowMessage);
  return fisOverall;
}

Extended EvaluateFis(const EngineInput& input, EngineWorkspace& ws) {
  CheckStructure(input);
  ws.occupied.clear();
  for (int32_t p = 0; p < input.populations; ++p) {
    const int32_t begin = p == 0 ? 0 : input.populationEnd[static_cast<std::size_t>(p) - 1];
    if (input.populationEnd[static_cast<std::size_t>(p)] > begin) ws.occupied.push_back(p);
  }
  // Alleles 0..999 have an entry, 0 and those above A refused; first alleles above 999
  // get theirs when they appear. Rebuilt only when A changes.
  if (ws.slotHighest != input.highestAllele || ws.alleleSlot.size() < 1000) {
    ws.alleleSlot.assign(1000, kRefusedAllele);
    std::fill(ws.alleleSlot.begin() + 1,
              ws.alleleSlot.begin() + std::min(input.highestAllele, 999) + 1, kAbsentAllele);
    ws.slotHighest = input.highestAllele;
  }

  // Locus by locus. The sample-size summaries (S, n̄) cannot raise an error (integer
  // sums far below the float range), so interleaving them with the components keeps
  // the first error the one the step order gives.
  Extended totalB = 0.0L;
  Extended totalBC = 0.0L;
  for (int32_t locus = 0; locus < input.loci; ++locus) {
    CountAlleles(input, locus, ws);
    LocusSums sums;
    if (!EstimateLocus(ws, sums)) continue;
    totalB += static_cast<Extended>(sums.sumB);
    totalBC += static_cast<Extended>(sums.sumBC);
  }
  return FisFromTotals(totalB, totalBC);
}

Extended EvaluateFis(const EngineInput& input) {
  EngineWorkspace workspace;
  return EvaluateFis(input, workspace);
}

void RunEvaluation(bool observed, TestState& state) {
  if (observed) state.observedFlag = true;
  // Load and allocate; the storage is released when the evaluation ends, failed or not.
  const EngineInput input = LoadGenotypeFile(state.observedFlag);
  EngineWorkspace workspace;
  const Extended fisOverall = EvaluateFis(input, workspace);
  UpdateTally(state, fisOverall);
}

}  // namespace genosieve
