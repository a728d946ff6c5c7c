#include "engine/engine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/genotype_code.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// alleleSlot marks: an allele without a row at the current locus, and an allele that
// no genotype may carry (0 in a typed genotype, or above A).
constexpr int32_t kAbsentAllele = -1;
constexpr int32_t kRefusedAllele = -2;

// The loader refuses such codes; one reaching the count is a fault of the program.
[[noreturn]] void ThrowBadCode(int32_t locus, int32_t individual, int32_t code,
                               int32_t highestAllele) {
  ThrowInternalError(FillMessage("individual {}, locus {}: {}", individual + 1, locus + 1,
                                 GenotypeCodeProblem(code, highestAllele)));
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
void CountAlleles(const EngineInput& input, int32_t locus, const int32_t* column,
                  EngineWorkspace& ws) {
  const auto occupiedCount = ws.occupied.size();
  const int32_t* populationEnd = input.populationEnd.data();
  ws.slotAllele.clear();
  ws.firstCount.clear();
  ws.secondCount.clear();
  ws.sampleSize.assign(occupiedCount, 0);
  // A fresh workspace has no count storage yet: offsets from its null data() are undefined.
  ws.firstCount.reserve(occupiedCount);
  ws.secondCount.reserve(occupiedCount);
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

// Steps 1 to 4 of the estimate for one counted locus: r, n̄, and P1, P2, H1 of its
// alleles in ascending allele order, appended to the workspace's allele sums. Returns
// false when the locus is not used (SummariseLocus).
bool SumLocus(EngineWorkspace& ws, UsedLocus& used, FisEstimator estimator) {
  const std::size_t occupiedCount = ws.occupied.size();
  LocusSummary summary;
  if (!SummariseLocus(ws.sampleSize.data(), occupiedCount, summary, estimator)) return false;
  ws.populationTerms.resize(occupiedCount);
  ws.populationHetTerms.resize(occupiedCount);
  SetPopulationTerms(ws.terms, ws.sampleSize.data(), occupiedCount, ws.populationTerms.data(),
                     ws.populationHetTerms.data());

  used.contributingPops = summary.contributingPops;
  used.meanSampleSize = summary.meanSampleSize;
  used.alleleBegin = used.alleleEnd;
  used.alleleEnd = used.alleleBegin + ws.alleleOrder.size();
  if (ws.locus.sums.size() < used.alleleEnd) ws.locus.sums.resize(used.alleleEnd);
  AlleleSums* alleleSums = ws.locus.sums.data() + used.alleleBegin;
  const StoredTerm* const* populationTerms = ws.populationTerms.data();
  const StoredTerm* const* populationHetTerms = ws.populationHetTerms.data();
  for (int32_t row : ws.alleleOrder) {
    const std::size_t offset = static_cast<std::size_t>(row) * occupiedCount;
    const uint64_t* firsts = ws.firstCount.data() + offset;
    const int32_t* seconds = ws.secondCount.data() + offset;
    // P1, P2, H1 in ascending population order. Populations without a copy of the
    // allele add exact zeros (+0 leaves a sum of non-negative terms unchanged); adding
    // them costs less than a branch that mispredicts.
    Extended p1 = Extended(0);
    Extended p2 = Extended(0);
    Extended h1 = Extended(0);
    for (std::size_t q = 0; q < occupiedCount; ++q) {
      const uint64_t firstAndHom = firsts[q];
      const int32_t count = static_cast<int32_t>(firstAndHom & 0xFFFFFFFFu) + seconds[q];
      const int32_t het = count - 2 * static_cast<int32_t>(firstAndHom >> 32);
      const StoredTerm* terms = populationTerms[q] + 2 * count;
      p1 += LoadTerm(terms[0]);
      p2 += LoadTerm(terms[1]);
      h1 += LoadTerm(populationHetTerms[q][het]);
    }
    *alleleSums++ = AlleleSums{p1, p2, h1};
  }
  return true;
}

// EvaluateFis with the genotype column of each locus from `columnOf(locus)`.
template <typename ColumnOf>
Extended EvaluateColumns(const EngineInput& input, EngineWorkspace& ws, ColumnOf columnOf) {
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

  // Locus by locus, the counts and the sums of the used loci; then the estimate over
  // all of them, whose first error is that of the first locus in order that meets one
  // (the sample-size summaries cannot raise one: integer sums far below the float range).
  ws.usedLoci.clear();
  UsedLocus used;
  const FisEstimator estimator = EstimatorOfTable(input.populations);
  for (int32_t locus = 0; locus < input.loci; ++locus) {
    CountAlleles(input, locus, columnOf(locus), ws);
    if (SumLocus(ws, used, estimator)) ws.usedLoci.push_back(used);
  }
  return FinishLoci(ws.usedLoci, ws.locus);
}

}  // namespace

Extended EvaluateFis(const EngineInput& input, EngineWorkspace& ws) {
  CheckEngineInput(input);
  const std::size_t n = static_cast<std::size_t>(input.individuals);
  return EvaluateColumns(input, ws, [&input, n](int32_t locus) {
    return input.codes.data() + static_cast<std::size_t>(locus) * n;
  });
}

Extended EvaluateFisByColumn(const EngineInput& shape,
                             const std::function<void(int32_t, int32_t*)>& columnOf,
                             EngineWorkspace& ws) {
  CheckEngineShape(shape);
  std::vector<int32_t> column(static_cast<std::size_t>(shape.individuals));
  return EvaluateColumns(shape, ws, [&column, &columnOf](int32_t locus) {
    columnOf(locus, column.data());
    return static_cast<const int32_t*>(column.data());
  });
}

void RunEvaluation(const WorkingFolder& folder, EvaluationKind kind, TallyState& state) {
  if (kind == EvaluationKind::kObserved) state.observedFlag = true;
  // Load and allocate; the storage is released when the evaluation ends, failed or not.
  const EngineInput input = LoadGenotypeFile(
      folder, state.observedFlag ? EvaluationKind::kObserved : EvaluationKind::kRandomized);
  EngineWorkspace workspace;
  const Extended fisOverall = EvaluateFis(input, workspace);
  UpdateTally(state, fisOverall);
}

}  // namespace genosieve
