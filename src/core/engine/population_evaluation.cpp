#include "engine/population_evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

constexpr std::size_t kMemoEntries = std::size_t{1} << 16;

// Keys hold n, h and the filler size below 2^12 and c below 2^13 (the engine's tables
// hold at most 5000 individuals); larger counts are not remembered.
constexpr uint32_t kKeyLimit = uint32_t{1} << 12;

uint64_t KeyOf(uint32_t n, uint32_t count, uint32_t het, uint32_t size, bool highest) {
  return (static_cast<uint64_t>(n) | static_cast<uint64_t>(count) << 12 |
          static_cast<uint64_t>(het) << 25 | static_cast<uint64_t>(size) << 37 |
          static_cast<uint64_t>(highest) << 49) +
         1;  // never 0, the empty entry
}

std::size_t Size(int32_t value) { return static_cast<std::size_t>(value); }

std::size_t SlotOf(uint64_t key) {
  uint64_t h = key * 0x9E3779B97F4A7C15u;
  h ^= h >> 31;
  return static_cast<std::size_t>(h >> 17) & (kMemoEntries - 1);
}

// The outcome of an allele of the population under test (`count` copies, `het`
// heterozygotes among its n individuals typed at the locus, terms `terms`) and of the
// filler (`highest`: the allele is the filler's, with 2 × size copies, none
// heterozygous). The sums add the population, then the filler, as EvaluateFis does.
AlleleOutcome WorkOut(const LocusValues& v, int32_t n, const Extended* terms, uint32_t count,
                      uint32_t het, bool highest, int32_t size, const Extended* fillerTerms) {
  AlleleSums sums;
  if (count != 0) {
    sums.p1 += terms[2 * std::size_t{count}];
    sums.p2 += terms[2 * std::size_t{count} + 1];
    sums.h1 += terms[HetTermsOffset(n) + het];
  }
  if (highest) {
    const std::size_t fillerCount = 2 * Size(size);
    sums.p1 += fillerTerms[2 * fillerCount];
    sums.p2 += fillerTerms[2 * fillerCount + 1];
    sums.h1 += fillerTerms[HetTermsOffset(size)];
  }
  return OutcomeOfAllele(v, sums);
}

}  // namespace

PopulationLayout MakePopulationLayout(const PreparedEvaluation& evaluation, int32_t populations,
                                      int32_t highestAllele) {
  PopulationLayout layout;
  layout.populations = populations;
  layout.loci = evaluation.loci;
  const std::size_t loci = Size(evaluation.loci);
  const std::size_t places = Size(populations) * loci;
  layout.entry.assign(places, -1);
  // Cells counted per population and locus, then placed in ascending allele order.
  std::vector<int32_t> cellPlace(evaluation.cellPopulation.size(), 0);
  layout.cellBegin.assign(places + 1, 0);
  for (std::size_t l = 0; l < loci; ++l) {
    for (int32_t e = evaluation.populationBegin[l]; e < evaluation.populationBegin[l + 1]; ++e) {
      const auto p = Size(evaluation.entryPopulation[Size(e)]);
      layout.entry[p * loci + l] = e;
    }
    for (int32_t a = evaluation.alleleBegin[l]; a < evaluation.alleleBegin[l + 1]; ++a) {
      for (int32_t cell = evaluation.cellBegin[Size(a)]; cell < evaluation.cellBegin[Size(a) + 1];
           ++cell) {
        const auto p =
            Size(evaluation.entryPopulation[Size(evaluation.cellPopulation[Size(cell)])]);
        cellPlace[Size(cell)] = static_cast<int32_t>(p * loci + l);
        ++layout.cellBegin[p * loci + l + 1];
      }
    }
  }
  for (std::size_t i = 0; i < places; ++i) layout.cellBegin[i + 1] += layout.cellBegin[i];
  layout.cells.resize(cellPlace.size());
  layout.highest.resize(cellPlace.size());
  std::vector<int32_t> next(layout.cellBegin.begin(), layout.cellBegin.end() - 1);
  for (std::size_t l = 0; l < loci; ++l) {
    for (int32_t a = evaluation.alleleBegin[l]; a < evaluation.alleleBegin[l + 1]; ++a) {
      const bool highest =
          evaluation.alleleNumber[Size(a)] == static_cast<uint32_t>(std::max(highestAllele, 0));
      for (int32_t cell = evaluation.cellBegin[Size(a)]; cell < evaluation.cellBegin[Size(a) + 1];
           ++cell) {
        const auto at = Size(next[Size(cellPlace[Size(cell)])]++);
        layout.cells[at] = cell;
        layout.highest[at] = highest ? 1 : 0;
      }
    }
  }
  return layout;
}

namespace {

// SumB and SumBC of loci [first, last) from their used alleles' components, four loci
// side by side so that their float chains overlap; each chain is that of AddComponents.
// Returns the first locus whose sums overflowed, or `last`.
std::size_t SumLoci(const PopulationWorkspace& ws, std::size_t first, std::size_t last, float* sumB,
                    float* sumBC) {
  constexpr std::size_t kLanes = 4;
  const Extended* b = ws.b.data();
  const Extended* c = ws.c.data();
  for (std::size_t group = first; group < last; group += kLanes) {
    const std::size_t lanes = std::min(kLanes, last - group);
    float laneB[kLanes] = {0.0f, 0.0f, 0.0f, 0.0f};
    float laneBC[kLanes] = {0.0f, 0.0f, 0.0f, 0.0f};
    int32_t longest = 0;
    for (std::size_t u = 0; u < lanes; ++u) {
      longest = std::max(longest, ws.usedEnd[group + u] - ws.usedBegin[group + u]);
    }
    for (int32_t j = 0; j < longest; ++j) {
      for (std::size_t u = 0; u < lanes; ++u) {
        const int32_t at = ws.usedBegin[group + u] + j;
        if (at >= ws.usedEnd[group + u]) continue;
        laneB[u] = static_cast<float>(b[at] + static_cast<Extended>(laneB[u]));
        laneBC[u] = static_cast<float>((b[at] + static_cast<Extended>(laneBC[u])) + c[at]);
      }
    }
    for (std::size_t u = 0; u < lanes; ++u) {
      sumB[group + u] = laneB[u];
      sumBC[group + u] = laneBC[u];
    }
  }
  // A chain that overflowed once stays infinite: the components are finite.
  for (std::size_t l = first; l < last; ++l) {
    if (std::isinf(sumB[l]) || std::isinf(sumBC[l])) return l;
  }
  return last;
}

}  // namespace

Extended EvaluatePopulation(const PopulationLayout& layout, const PreparedEvaluation& evaluation,
                            int32_t p, int32_t size, PopulationWorkspace& workspace) {
  TrimTerms(workspace.terms);
  PopulationMemo& memo = workspace.memo;
  if (memo.entries.empty()) memo.entries.resize(kMemoEntries);
  const Extended* fillerTerms = TermsFor(workspace.terms, size);
  const std::size_t loci = Size(layout.loci);
  const int32_t* sampleSize = evaluation.sampleSize.data();
  const uint64_t* counts = evaluation.counts.data();
  workspace.usedBegin.resize(loci);
  workspace.usedEnd.resize(loci);
  workspace.locusUsed.assign(loci, 0);
  workspace.sumB.resize(loci);
  workspace.sumBC.resize(loci);
  std::size_t needed = 0;
  for (std::size_t l = 0; l < loci; ++l) {
    const std::size_t place = Size(p) * loci + l;
    needed += Size(layout.cellBegin[place + 1] - layout.cellBegin[place]) + 1;
  }
  if (workspace.b.size() < needed) {
    workspace.b.resize(needed);
    workspace.c.resize(needed);
  }

  // The components of the used alleles, locus by locus in order. A locus with n̄ = 1
  // ends the evaluation at its first used allele, unless an earlier locus overflows.
  std::size_t stop = loci;
  std::exception_ptr stopError;
  int32_t used = 0;
  for (std::size_t l = 0; l < loci && stop == loci; ++l) {
    const std::size_t place = Size(p) * loci + l;
    const int32_t entry = layout.entry[place];
    const int32_t sizes[2] = {entry < 0 ? 0 : sampleSize[entry], size};
    workspace.usedBegin[l] = used;
    workspace.usedEnd[l] = used;
    LocusSummary summary;
    if (!SummariseLocus(sizes, 2, summary)) continue;
    workspace.locusUsed[l] = 1;
    const int32_t n = sizes[0];
    const LocusValues v = LocusValuesOf(summary.contributingPops, summary.meanSampleSize);
    const Extended* terms = TermsFor(workspace.terms, n);
    // n̄ = 1 ends in the error of the first used allele: nothing to remember.
    const bool remember = v.nbarMinus1 != 0.0L && Size(n) < kKeyLimit && Size(size) < kKeyLimit;

    bool sawHighest = false;
    const int32_t last = layout.cellBegin[place + 1];
    // The population's alleles in ascending order, then the filler's highest allele when
    // the population does not carry it: it is the highest of all.
    try {
      for (int32_t j = layout.cellBegin[place]; j <= last; ++j) {
        uint32_t count = 0;
        uint32_t het = 0;
        bool highest = true;
        if (j < last) {
          const uint64_t value = counts[layout.cells[Size(j)]];
          count = static_cast<uint32_t>(value & 0xFFFFFFFFu);
          het = static_cast<uint32_t>(value >> 32);
          highest = layout.highest[Size(j)] != 0;
          sawHighest = sawHighest || highest;
        } else if (sawHighest) {
          break;
        }
        if (remember && count < 2 * kKeyLimit && het < kKeyLimit) {
          const uint64_t key =
              KeyOf(static_cast<uint32_t>(n), count, het, static_cast<uint32_t>(size), highest);
          PopulationMemo::Entry& slot = memo.entries[SlotOf(key)];
          if (slot.key != key) {
            const AlleleOutcome outcome =
                WorkOut(v, n, terms, count, het, highest, size, fillerTerms);
            slot.key = key;
            slot.used = outcome.used ? 1 : 0;
            std::memcpy(slot.b, &outcome.b, sizeof slot.b);
            std::memcpy(slot.c, &outcome.c, sizeof slot.c);
          }
          if (slot.used == 0) continue;
          // The 80 bits as they were stored.
          std::memcpy(&workspace.b[Size(used)], slot.b, sizeof slot.b);
          std::memcpy(&workspace.c[Size(used)], slot.c, sizeof slot.c);
          ++used;
          continue;
        }
        const AlleleOutcome outcome = WorkOut(v, n, terms, count, het, highest, size, fillerTerms);
        if (!outcome.used) continue;
        workspace.b[Size(used)] = outcome.b;
        workspace.c[Size(used)] = outcome.c;
        ++used;
      }
    } catch (const RunError&) {
      stop = l;
      stopError = std::current_exception();
    }
    workspace.usedEnd[l] = used;
  }

  const std::size_t overflow =
      SumLoci(workspace, 0, stop, workspace.sumB.data(), workspace.sumBC.data());
  if (overflow < stop) throw RunError(kOverflowMessage);
  if (stopError) std::rethrow_exception(stopError);
  Extended totalB = 0.0L;
  Extended totalBC = 0.0L;
  for (std::size_t l = 0; l < loci; ++l) {
    if (workspace.locusUsed[l] == 0) continue;
    totalB += static_cast<Extended>(workspace.sumB[l]);
    totalBC += static_cast<Extended>(workspace.sumBC[l]);
  }
  return FisFromTotals(totalB, totalBC);
}

}  // namespace genosieve
