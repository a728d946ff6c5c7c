#include "engine/population_evaluation.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

constexpr std::size_t kMemoEntries = std::size_t{1} << 16;
constexpr std::size_t kLocusMemoEntries = std::size_t{1} << 16;
// How many loci ahead the locus tables' entries are fetched.
constexpr std::size_t kAhead = 8;

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

// Dense tables are made for sample sizes up to this, and while a workspace's tables hold
// at most kTableBudget entries (about 8 MB).
constexpr int32_t kDenseN = 128;
constexpr std::size_t kTableBudget = std::size_t{200000};

std::size_t TableEntries(int32_t n) { return 2 * (2 * Size(n) + 1) * (Size(n) + 1); }

// Locus tables are made for sample sizes up to this, within kLocusTableBudget entries
// (about 8 MB).
constexpr int32_t kDenseLocusN = 256;
constexpr std::size_t kLocusTableBudget = std::size_t{700000};

// A locus of two alleles has het <= min(count, 2n - count): its (count, het) lie in a
// triangle of (n + 1)^2 places, at LocusTable::countBegin[count] + het.
std::size_t LocusTableEntries(int32_t n) { return (Size(n) + 1) * (Size(n) + 1); }

// Where the entries of each count begin, count 0 to 2n.
std::vector<uint32_t> LocusCountBegins(int32_t n) {
  std::vector<uint32_t> begins(2 * Size(n) + 1);
  uint32_t begin = 0;
  for (std::size_t count = 0; count <= 2 * Size(n); ++count) {
    begins[count] = begin;
    begin += static_cast<uint32_t>(std::min(count, 2 * Size(n) - count)) + 1;
  }
  return begins;
}

// The table of `key` with `entries` entries, made on first need; nullptr when it would
// take the tables beyond `budget` entries.
template <typename Table>
Table* TableOf(DenseTables<Table>& tables, uint64_t key, std::size_t entries, std::size_t budget) {
  const auto at = std::lower_bound(tables.keys.begin(), tables.keys.end(), key);
  const auto index = static_cast<std::size_t>(at - tables.keys.begin());
  if (at != tables.keys.end() && *at == key) return tables.tables[index].get();
  if (tables.entries + entries > budget) return nullptr;
  tables.keys.insert(at, key);
  auto table = std::make_unique<Table>();
  table->entries.resize(entries);
  tables.entries += entries;
  return tables.tables
      .insert(tables.tables.begin() + static_cast<std::ptrdiff_t>(index), std::move(table))
      ->get();
}

// Shapes of one allele: every typed individual is homozygous for it, so their table has
// the one entry of (2n, 0).
bool OneAllele(std::size_t shape) { return shape < 3; }

// The locus table of (n, size, shape); nullptr beyond the limits.
LocusTable* LocusTableFor(LocusTables& tables, int32_t n, int32_t size, int32_t shape) {
  if (n < 1 || n > kDenseLocusN || size < 0) return nullptr;
  const uint64_t key = static_cast<uint64_t>(n) << 40 | static_cast<uint64_t>(size) << 8 |
                       static_cast<uint64_t>(shape);
  const bool one = OneAllele(Size(shape));
  LocusTable* table = TableOf(tables, key, one ? 1 : LocusTableEntries(n), kLocusTableBudget);
  if (table != nullptr && !one && table->countBegin.empty()) {
    table->countBegin = LocusCountBegins(n);
  }
  return table;
}

LocusOutcome OutcomeOfEntry(const LocusTables& tables, const LocusTable::Entry& entry) {
  LocusOutcome outcome;
  outcome.sumB = entry.sumB;
  outcome.sumBC = entry.sumBC;
  if (entry.state >= 2) outcome.error = tables.errors[entry.state - 2];
  return outcome;
}

void RememberInEntry(LocusTables& tables, LocusTable::Entry& entry, const LocusOutcome& outcome) {
  entry.sumB = outcome.sumB;
  entry.sumBC = outcome.sumBC;
  entry.state = 1;
  if (outcome.error == nullptr) return;
  const auto known = std::find(tables.errors.begin(), tables.errors.end(), outcome.error);
  entry.state = static_cast<uint32_t>(known - tables.errors.begin()) + 2;
  if (known == tables.errors.end()) tables.errors.push_back(outcome.error);
}

// The allele table of (n, size); nullptr beyond the limits.
AlleleTable* TableFor(AlleleTables& tables, int32_t n, int32_t size) {
  if (n < 1 || n > kDenseN || size < 0) return nullptr;
  const uint64_t key = static_cast<uint64_t>(n) << 32 | static_cast<uint32_t>(size);
  return TableOf(tables, key, TableEntries(n), kTableBudget);
}

std::size_t SlotOf(uint64_t key) {
  uint64_t h = key * 0x9E3779B97F4A7C15u;
  h ^= h >> 31;
  return static_cast<std::size_t>(h >> 17) & (kMemoEntries - 1);
}

// The outcome of an allele of the population under test (`count` copies, `het`
// heterozygotes among its n individuals typed at the locus, terms `terms`) and of the
// filler (`highest`: the allele is the filler's, with 2 × size copies, none
// heterozygous). The sums add the population, then the filler, as EvaluateFis does.
AlleleOutcome WorkOut(const LocusValues& v, int32_t n, const StoredTerm* terms, uint32_t count,
                      uint32_t het, bool highest, int32_t size, const StoredTerm* fillerTerms) {
  AlleleSums sums;
  if (count != 0) {
    sums.p1 += LoadTerm(terms[2 * std::size_t{count}]);
    sums.p2 += LoadTerm(terms[2 * std::size_t{count} + 1]);
    sums.h1 += LoadTerm(terms[HetTermsOffset(n) + het]);
  }
  if (highest) {
    const std::size_t fillerCount = 2 * Size(size);
    sums.p1 += LoadTerm(fillerTerms[2 * fillerCount]);
    sums.p2 += LoadTerm(fillerTerms[2 * fillerCount + 1]);
    sums.h1 += LoadTerm(fillerTerms[HetTermsOffset(size)]);
  }
  return OutcomeOfAllele(v, sums);
}

// One locus's components: SumB := b + SumB, SumBC := (b + SumBC) + c along them.
struct FloatChain {
  const StoredTerm* b = nullptr;
  const StoredTerm* c = nullptr;
  int32_t length = 0;
};

// Step j of a chain. Its sums are float variables of their own: the compiler keeps them
// in memory and adds from there (a float array it would move through integer registers).
inline void Step(const StoredTerm* b, const StoredTerm* c, int32_t j, float& sumB, float& sumBC) {
  const Extended bj = LoadTerm(b[j]);
  sumB = static_cast<float>(bj + static_cast<Extended>(sumB));
  sumBC = static_cast<float>((bj + static_cast<Extended>(sumBC)) + LoadTerm(c[j]));
}

// SumB and SumBC of the pending loci from their used alleles' components, four loci side
// by side so that their float chains overlap; each chain is that of AddComponents, and a
// chain that overflowed once stays infinite (the components are finite).
void SumPendingLoci(PopulationWorkspace& ws) {
  const std::size_t pending = ws.pending.size();
  auto chainOf = [&ws](std::size_t at) {
    const auto locus = Size(ws.pending[at]);
    const int32_t begin = ws.usedBegin[locus];
    return FloatChain{ws.b.data() + begin, ws.c.data() + begin, ws.usedEnd[locus] - begin};
  };
  auto finish = [&ws](std::size_t at, float sumB, float sumBC) {
    LocusOutcome& outcome = ws.outcomes[Size(ws.pending[at])];
    outcome.sumB = sumB;
    outcome.sumBC = sumBC;
    if (std::isinf(sumB) || std::isinf(sumBC)) outcome.error = kOverflowMessage;
  };
  std::size_t group = 0;
  for (; group + 4 <= pending; group += 4) {
    const FloatChain c0 = chainOf(group);
    const FloatChain c1 = chainOf(group + 1);
    const FloatChain c2 = chainOf(group + 2);
    const FloatChain c3 = chainOf(group + 3);
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f, b3 = 0.0f;
    float bc0 = 0.0f, bc1 = 0.0f, bc2 = 0.0f, bc3 = 0.0f;
    const int32_t longest = std::max({c0.length, c1.length, c2.length, c3.length});
    for (int32_t j = 0; j < longest; ++j) {
      if (j < c0.length) Step(c0.b, c0.c, j, b0, bc0);
      if (j < c1.length) Step(c1.b, c1.c, j, b1, bc1);
      if (j < c2.length) Step(c2.b, c2.c, j, b2, bc2);
      if (j < c3.length) Step(c3.b, c3.c, j, b3, bc3);
    }
    finish(group, b0, bc0);
    finish(group + 1, b1, bc1);
    finish(group + 2, b2, bc2);
    finish(group + 3, b3, bc3);
  }
  for (; group < pending; ++group) {
    const FloatChain chain = chainOf(group);
    float sumB = 0.0f;
    float sumBC = 0.0f;
    for (int32_t j = 0; j < chain.length; ++j) Step(chain.b, chain.c, j, sumB, sumBC);
    finish(group, sumB, sumBC);
  }
}

// The key of a locus of at most two alleles: n, the filler size, the number of alleles,
// the place of the highest allele, and each allele's count and heterozygote count; zero
// when they do not fit.
struct LocusKey {
  uint64_t key[2] = {0, 0};
};

LocusKey KeyOfLocus(uint32_t n, uint32_t size, int32_t cells, int32_t highest,
                    const uint64_t* lanes) {
  LocusKey key;
  if (n >= kKeyLimit || size >= kKeyLimit) return key;
  uint64_t alleles = 0;
  for (int32_t j = 0; j < cells; ++j) {
    const uint64_t count = lanes[j] & 0xFFFFFFFFu;
    const uint64_t het = lanes[j] >> 32;
    if (count >= 2 * kKeyLimit || het >= kKeyLimit) return key;
    alleles |= (count | het << 13) << (25 * j);
  }
  key.key[0] = (static_cast<uint64_t>(n) | static_cast<uint64_t>(size) << 12 |
                static_cast<uint64_t>(cells) << 24 | static_cast<uint64_t>(highest + 1) << 26) +
               1;  // never 0, the empty entry
  key.key[1] = alleles;
  return key;
}

std::size_t LocusSlotOf(const LocusKey& key) {
  uint64_t h = (key.key[0] * 0x9E3779B97F4A7C15u) ^ (key.key[1] * 0xC2B2AE3D27D4EB4Fu);
  h ^= h >> 29;
  return static_cast<std::size_t>(h >> 17) & (kLocusMemoEntries - 1);
}

void Remember(LocusMemo& memo, const LocusKey& key, const LocusOutcome& outcome) {
  LocusMemo::Entry& slot = memo.entries[LocusSlotOf(key)];
  slot.key[0] = key.key[0];
  slot.key[1] = key.key[1];
  slot.outcome = outcome;
}

// The alleles of one locus of the population under test, in ascending allele order, then
// the filler's highest allele when the population does not carry it: it is the highest
// of all. `take` receives each one's count, heterozygote count and whether it is the
// highest allele; it returns false to end the locus early.
template <typename Take>
void ForEachAllele(const uint64_t* cells, int32_t cellCount, int32_t highestCell, Take take) {
  for (int32_t j = 0; j <= cellCount; ++j) {
    uint32_t count = 0;
    uint32_t het = 0;
    bool highest = true;
    if (j < cellCount) {
      count = static_cast<uint32_t>(cells[j] & 0xFFFFFFFFu);
      het = static_cast<uint32_t>(cells[j] >> 32);
      highest = j == highestCell;
    } else if (highestCell >= 0) {
      break;
    }
    if (!take(count, het, highest)) return;
  }
}

// The summary of the loci where the population under test has n individuals, made once
// per call (MakeSummary).
SummaryOfSize& MakeSummary(PopulationWorkspace& workspace, int32_t n, int32_t size) {
  if (workspace.summaries.size() <= Size(n)) workspace.summaries.resize(Size(n) + 1);
  SummaryOfSize& known = workspace.summaries[Size(n)];
  known = SummaryOfSize{};
  known.generation = workspace.generation;
  const int32_t sizes[2] = {n, size};
  LocusSummary summary;
  known.used = SummariseLocus(sizes, 2, summary);
  if (known.used) {
    known.values = LocusValuesOf(summary.contributingPops, summary.meanSampleSize);
    known.terms = TermsFor(workspace.terms, n);
  }
  return known;
}

inline SummaryOfSize& SummaryFor(PopulationWorkspace& workspace, int32_t n, int32_t size) {
  if (Size(n) < workspace.summaries.size()) {
    SummaryOfSize& known = workspace.summaries[Size(n)];
    if (known.generation == workspace.generation) return known;
  }
  return MakeSummary(workspace, n, size);
}

// The entry of a locus of at most two alleles in its locus table, nullptr when it has none.
LocusTable::Entry* LocusEntryFor(PopulationWorkspace& workspace, int32_t n, int32_t size,
                                 int32_t cells, int32_t highest, const uint64_t* lanes) {
  SummaryOfSize& known = SummaryFor(workspace, n, size);
  if (!known.used) return nullptr;
  const auto shape = Size(3 * (cells - 1) + highest + 1);
  if (!known.tried[shape]) {
    known.tried[shape] = true;
    known.locusTables[shape] =
        LocusTableFor(workspace.locusTables, n, size, static_cast<int32_t>(shape));
  }
  LocusTable* table = known.locusTables[shape];
  const uint64_t count = lanes[0] & 0xFFFFFFFFu;
  const uint64_t het = lanes[0] >> 32;
  if (table == nullptr || count > 2 * Size(n) || het > std::min(count, 2 * Size(n) - count)) {
    return nullptr;
  }
  if (OneAllele(shape)) return count == 2 * Size(n) && het == 0 ? &table->entries[0] : nullptr;
  // Every typed individual carries the block's alleles only: the second's counts follow.
  if (cells == 2 && lanes[1] != ((2 * Size(n) - count) | het << 32)) return nullptr;
  return &table->entries[table->countBegin[count] + het];
}

}  // namespace

uint64_t PopulationWorkspaceBytesAtMost(int32_t largest, int32_t populations) {
  uint64_t bytes =
      kMemoEntries * sizeof(PopulationMemo::Entry) + kLocusMemoEntries * sizeof(LocusMemo::Entry);
  const auto many = static_cast<std::size_t>(std::max(populations, 1));
  // Tables of several sample sizes per population, for loci of each shape: the budgets bound
  // them.
  if (largest >= 1 && largest <= kDenseLocusN) {
    // Each entry's share of its table's countBegin is below 4 bytes.
    bytes += std::min(kLocusTableBudget, 3 * many * (LocusTableEntries(largest) + 1)) *
             (sizeof(LocusTable::Entry) + sizeof(uint32_t));
  }
  if (largest >= 1 && largest <= kDenseN) {
    bytes += std::min(kTableBudget, many * TableEntries(largest)) * sizeof(AlleleTable::Entry);
  }
  return bytes;
}

Extended EvaluatePopulation(const PreparedEvaluation& evaluation, const uint64_t* lanes, int32_t p,
                            int32_t size, PopulationWorkspace& workspace) {
  TrimTerms(workspace.terms);
  PopulationMemo& memo = workspace.memo;
  if (memo.entries.empty()) memo.entries.resize(kMemoEntries);
  LocusMemo& locusMemo = workspace.locusMemo;
  const StoredTerm* fillerTerms = TermsFor(workspace.terms, size);
  // Summaries of earlier calls may point to trimmed terms and were made for another size.
  if (++workspace.generation == 0) {
    workspace.summaries.assign(workspace.summaries.size(), SummaryOfSize{});
    workspace.generation = 1;
  }
  const std::size_t loci = Size(evaluation.loci);
  const std::size_t firstPlace = Size(p) * loci;
  workspace.usedBegin.resize(loci);
  workspace.usedEnd.resize(loci);
  workspace.locusUsed.assign(loci, 0);
  workspace.outcomes.resize(loci);
  workspace.pending.clear();
  workspace.pendingKey.clear();
  workspace.pendingEntry.clear();
  std::size_t needed = 0;
  for (std::size_t l = 0; l < loci; ++l) needed += Size(evaluation.blockCells[firstPlace + l]) + 1;
  if (workspace.b.size() < needed) {
    workspace.b.resize(needed);
    workspace.c.resize(needed);
  }

  // The keys of the loci of at most two alleles first, their entries fetched ahead: the
  // look-ups below then rarely wait for memory.
  workspace.locusKeys.assign(2 * loci, 0);
  workspace.locusEntries.assign(loci, nullptr);
  for (std::size_t l = 0; l < loci; ++l) {
    const std::size_t place = firstPlace + l;
    const int32_t lane = evaluation.blockLane[place];
    // A population not typed at the locus leaves it unused.
    if (lane < 0 || evaluation.blockCells[place] > 2) continue;
    const auto n = static_cast<int32_t>(static_cast<uint32_t>(lanes[lane]));
    LocusTable::Entry* entry = LocusEntryFor(workspace, n, size, evaluation.blockCells[place],
                                             evaluation.blockHighest[place], lanes + lane + 1);
    if (entry != nullptr) {
      workspace.locusEntries[l] = entry;
      continue;
    }
    // Made on first need: data with many alleles per population never use it.
    if (locusMemo.entries.empty()) locusMemo.entries.resize(kLocusMemoEntries);
    const LocusKey key =
        KeyOfLocus(static_cast<uint32_t>(n), static_cast<uint32_t>(size),
                   evaluation.blockCells[place], evaluation.blockHighest[place], lanes + lane + 1);
    if (key.key[0] == 0) continue;
    workspace.locusKeys[2 * l] = key.key[0];
    workspace.locusKeys[2 * l + 1] = key.key[1];
    __builtin_prefetch(&locusMemo.entries[LocusSlotOf(key)]);
  }

  // Locus by locus in order, up to the first whose alleles meet an error (n̄ = 1): the
  // whole outcome of a remembered locus, else its used alleles' components, summed below.
  int32_t used = 0;
  // The summary of a locus depends on n alone (the filler's size is the test's): loci
  // typed in as many individuals as the one before share it.
  int32_t summarisedN = -1;
  const SummaryOfSize* known = nullptr;
  AlleleTable* table = nullptr;
  for (std::size_t l = 0; l < loci; ++l) {
    const std::size_t place = firstPlace + l;
    const int32_t lane = evaluation.blockLane[place];
    const int32_t n = lane < 0 ? 0 : static_cast<int32_t>(static_cast<uint32_t>(lanes[lane]));
    workspace.usedBegin[l] = used;
    workspace.usedEnd[l] = used;
    // The entries a few loci ahead fetched while this one is worked on.
    if (l + kAhead < loci && workspace.locusEntries[l + kAhead] != nullptr) {
      __builtin_prefetch(workspace.locusEntries[l + kAhead]);
    }
    if (n != summarisedN) {
      summarisedN = n;
      // Stays in place: summaries grow only for a new n, and then this is looked up again.
      known = &SummaryFor(workspace, n, size);
      table = nullptr;
    }
    if (!known->used) continue;
    const LocusValues& v = known->values;
    const StoredTerm* terms = known->terms;
    workspace.locusUsed[l] = 1;
    const int32_t cellCount = lane < 0 ? 0 : evaluation.blockCells[place];
    const int32_t highestCell = lane < 0 ? -1 : evaluation.blockHighest[place];
    const uint64_t* cells = lane < 0 ? nullptr : lanes + lane + 1;
    LocusOutcome& outcome = workspace.outcomes[l];

    // A locus of at most two alleles seen before is one look-up; one not seen before is
    // worked out as the others, and remembered once its sums are known.
    LocusTable::Entry* entry = workspace.locusEntries[l];
    if (entry != nullptr && entry->state != 0) {
      outcome = OutcomeOfEntry(workspace.locusTables, *entry);
      if (outcome.error != nullptr) break;
      continue;
    }
    const LocusKey key{{workspace.locusKeys[2 * l], workspace.locusKeys[2 * l + 1]}};
    if (key.key[0] != 0) {
      const LocusMemo::Entry& slot = locusMemo.entries[LocusSlotOf(key)];
      if (slot.key[0] == key.key[0] && slot.key[1] == key.key[1]) {
        outcome = slot.outcome;
        // The first error in locus order decides: later loci do not matter.
        if (outcome.error != nullptr) break;
        continue;
      }
    }

    // n̄ = 1 ends in the error of the first used allele: nothing to remember.
    const bool remember =
        v.nbarMinus1 != Extended(0) && Size(n) < kKeyLimit && Size(size) < kKeyLimit;
    outcome = LocusOutcome{};
    // An allele table for the loci of more than two alleles (the others have theirs
    // remembered whole), made on first need.
    if (table == nullptr && remember && cellCount > 2) {
      SummaryOfSize& summary = SummaryFor(workspace, n, size);
      if (!summary.tableTried) {
        summary.tableTried = true;
        summary.table = TableFor(workspace.alleleTables, n, size);
      }
      table = summary.table;
    }
    // A remembered outcome: worked out on first sight, then its components taken when
    // the allele is used (state 2).
    auto take = [&](auto& entry, uint32_t count, uint32_t het, bool highest, bool known) {
      if (!known) {
        const AlleleOutcome allele = WorkOut(v, n, terms, count, het, highest, size, fillerTerms);
        entry.state = allele.used ? 2 : 1;
        entry.b = StoreTerm(allele.b);
        entry.c = StoreTerm(allele.c);
      }
      if (entry.state != 2) return;
      workspace.b[Size(used)] = entry.b;
      workspace.c[Size(used)] = entry.c;
      ++used;
    };
    ForEachAllele(cells, cellCount, highestCell, [&](uint32_t count, uint32_t het, bool highest) {
      if (table != nullptr && count <= 2 * Size(n) && het <= Size(n)) {
        AlleleTable::Entry& entry =
            table->entries[((highest ? 2 * Size(n) + 1 : 0) + count) * (Size(n) + 1) + het];
        take(entry, count, het, highest, entry.state != 0);
        return true;
      }
      if (remember && count < 2 * kKeyLimit && het < kKeyLimit) {
        const uint64_t key =
            KeyOf(static_cast<uint32_t>(n), count, het, static_cast<uint32_t>(size), highest);
        PopulationMemo::Entry& slot = memo.entries[SlotOf(key)];
        const bool known = slot.key == key;
        slot.key = key;
        take(slot, count, het, highest, known);
        return true;
      }
      const AlleleOutcome allele = WorkOut(v, n, terms, count, het, highest, size, fillerTerms);
      if (!allele.used) return true;
      if (allele.error != nullptr) {
        outcome.error = allele.error;
        return false;
      }
      workspace.b[Size(used)] = StoreTerm(allele.b);
      workspace.c[Size(used)] = StoreTerm(allele.c);
      ++used;
      return true;
    });
    workspace.usedEnd[l] = used;
    if (outcome.error != nullptr) {
      if (entry != nullptr) RememberInEntry(workspace.locusTables, *entry, outcome);
      if (key.key[0] != 0) Remember(locusMemo, key, outcome);
      break;
    }
    workspace.pending.push_back(static_cast<int32_t>(l));
    workspace.pendingKey.push_back(key.key[0]);
    workspace.pendingKey.push_back(key.key[1]);
    workspace.pendingEntry.push_back(entry);
  }
  SumPendingLoci(workspace);
  for (std::size_t j = 0; j < workspace.pending.size(); ++j) {
    const LocusKey key{{workspace.pendingKey[2 * j], workspace.pendingKey[2 * j + 1]}};
    const LocusOutcome& outcome = workspace.outcomes[Size(workspace.pending[j])];
    if (workspace.pendingEntry[j] != nullptr) {
      RememberInEntry(workspace.locusTables, *workspace.pendingEntry[j], outcome);
    }
    if (key.key[0] != 0) Remember(locusMemo, key, outcome);
  }

  // The first error in locus order, else the totals over the used loci in order; loci
  // after an error were not looked at.
  Extended totalB = Extended(0);
  Extended totalBC = Extended(0);
  for (std::size_t l = 0; l < loci; ++l) {
    if (workspace.locusUsed[l] == 0) continue;
    const LocusOutcome& outcome = workspace.outcomes[l];
    if (outcome.error != nullptr) throw RunError(outcome.error);
    totalB += static_cast<Extended>(outcome.sumB);
    totalBC += static_cast<Extended>(outcome.sumBC);
  }
  return FisFromTotals(totalB, totalBC);
}

}  // namespace genosieve
