#include "engine/prepared_evaluation.h"

#include <algorithm>
#include <string>

#include "engine/genotype_code.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// Alleles below this are ranked through a table indexed by allele.
constexpr uint32_t kDenseAlleles = uint32_t{1} << 16;

// Rows beyond this would let a count (at most twice the rows) overflow 32 bits.
constexpr int64_t kMostRows = int64_t{1} << 29;

// Marks a typed contribution until PrepareEvaluation ends.
constexpr uint32_t kTypedContribution = 0x80000000u;

// A code EvaluateFis would refuse; `who` names the row or candidate (0-based `number`).
void CheckCode(int32_t code, int32_t highestAllele, const char* who, std::size_t number,
               int32_t locus) {
  if (IsValidGenotypeCode(code, highestAllele)) return;
  ThrowInternalError(FillMessage("{} {}, locus {}: {}", who, number + 1, locus + 1,
                                 GenotypeCodeProblem(code, highestAllele)));
}

uint32_t FirstAllele(int32_t code) { return static_cast<uint32_t>(code) / 1000; }
uint32_t SecondAllele(int32_t code) { return static_cast<uint32_t>(code) % 1000; }

// What one copy of a genotype adds to the counts of a cell: 1 copy of the allele, and
// 1 heterozygote when it is one.
uint64_t CountUnit(bool heterozygous) { return 1u | (static_cast<uint64_t>(heterozygous) << 32); }

// What PrepareEvaluation reads, and its working storage across loci.
struct Preparation {
  const EngineInput& fixedRows;
  const CandidateGenotypes& candidates;
  std::size_t candidateCount = 0;
  std::vector<bool> hasSlot{};           // per population: whether a slot copies from it
  std::vector<int32_t> rowPopulation{};  // per fixed row

  // The locus being laid out.
  const int32_t* column = nullptr;           // fixed rows' codes
  const int32_t* candidateColumn = nullptr;  // candidates' codes
  std::vector<int32_t> entryOf{};            // population -> its sample-size entry, -1 when untyped
  int32_t entryBase = 0;                     // first sample-size entry of the locus
  std::size_t entryCount = 0;
  std::vector<uint32_t> distinct{};  // the locus's alleles, ascending
  bool dense = true;
  std::vector<int32_t> rankOf = std::vector<int32_t>(kDenseAlleles, -1);
  std::vector<int32_t> cellTable{};  // [rank][entry]: the cell's number, -1 when none

  // A candidate counts only where a slot can copy it.
  bool Copied(std::size_t c) const {
    return hasSlot[static_cast<std::size_t>(candidates.population[c])];
  }

  std::size_t Rank(uint32_t allele) const {
    if (dense) return static_cast<std::size_t>(rankOf[allele]);
    return static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), allele) -
                                    distinct.begin());
  }

  uint32_t CellOf(uint32_t allele, int32_t entry) const {
    return static_cast<uint32_t>(
        cellTable[Rank(allele) * entryCount + static_cast<std::size_t>(entry - entryBase)]);
  }
};

// The inputs fit together: the fixed rows' table, the candidates, and the slots.
void CheckInputs(Preparation& prep, const std::vector<CopySlot>& slots) {
  const EngineInput& fixedRows = prep.fixedRows;
  const CandidateGenotypes& candidates = prep.candidates;
  CheckEngineInput(fixedRows);
  const int32_t populations = fixedRows.populations;
  if (candidates.count < 0 || candidates.population.size() != prep.candidateCount ||
      candidates.codes.size() != static_cast<std::size_t>(fixedRows.loci) * prep.candidateCount) {
    ThrowInternalError("the candidate genotypes do not fit their count");
  }
  for (int32_t p : candidates.population) {
    if (p < 0 || p >= populations) {
      ThrowInternalError(FillMessage("a candidate genotype of population {}", p + 1));
    }
  }
  prep.hasSlot.assign(static_cast<std::size_t>(populations), false);
  int64_t totalRows = fixedRows.individuals;
  for (const CopySlot& slot : slots) {
    if (slot.population < 0 || slot.population >= populations || slot.copies < 0) {
      ThrowInternalError(
          FillMessage("{} copies for population {}", slot.copies, slot.population + 1));
    }
    prep.hasSlot[static_cast<std::size_t>(slot.population)] = true;
    totalRows += slot.copies;
  }
  if (totalRows > kMostRows) {
    ThrowInternalError(FillMessage("{} individuals are too many to count", totalRows));
  }
}

void FindRowPopulations(Preparation& prep) {
  const EngineInput& fixedRows = prep.fixedRows;
  prep.rowPopulation.resize(static_cast<std::size_t>(fixedRows.individuals));
  for (int32_t p = 0, row = 0; p < fixedRows.populations; ++p) {
    for (; row < fixedRows.populationEnd[static_cast<std::size_t>(p)]; ++row) {
      prep.rowPopulation[static_cast<std::size_t>(row)] = p;
    }
  }
}

// The populations that can be typed at locus l, and their sample-size entries.
void NumberTypedPopulations(Preparation& prep, int32_t l, PreparedEvaluation& test) {
  const int32_t rows = prep.fixedRows.individuals;
  const int32_t populations = prep.fixedRows.populations;
  const int32_t highestAllele = prep.fixedRows.highestAllele;
  std::vector<bool> typed(static_cast<std::size_t>(populations), false);
  for (int32_t row = 0; row < rows; ++row) {
    const int32_t code = prep.column[row];
    if (code == 0) continue;
    CheckCode(code, highestAllele, "individual", static_cast<std::size_t>(row), l);
    typed[static_cast<std::size_t>(prep.rowPopulation[static_cast<std::size_t>(row)])] = true;
  }
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    const int32_t code = prep.candidateColumn[c];
    if (code == 0) continue;
    CheckCode(code, highestAllele, "candidate genotype", c, l);
    if (prep.Copied(c)) typed[static_cast<std::size_t>(prep.candidates.population[c])] = true;
  }
  prep.entryBase = test.populationBegin.back();
  int32_t entries = prep.entryBase;
  prep.entryOf.resize(static_cast<std::size_t>(populations));
  for (int32_t p = 0; p < populations; ++p) {
    prep.entryOf[static_cast<std::size_t>(p)] = typed[static_cast<std::size_t>(p)] ? entries++ : -1;
  }
  prep.entryCount = static_cast<std::size_t>(entries - prep.entryBase);
  test.populationBegin.push_back(entries);
  for (int32_t p = 0; p < populations; ++p) {
    if (typed[static_cast<std::size_t>(p)]) test.entryPopulation.push_back(p);
  }
}

// The alleles of the locus in ascending order, each with its rank: through a table
// indexed by allele when the alleles are small enough, else by binary search.
void RankAlleles(Preparation& prep, PreparedEvaluation& test) {
  const int32_t rows = prep.fixedRows.individuals;
  uint32_t largest = 0;
  for (int32_t row = 0; row < rows; ++row) {
    largest = std::max({largest, FirstAllele(prep.column[row]), SecondAllele(prep.column[row])});
  }
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    if (!prep.Copied(c)) continue;
    largest = std::max(
        {largest, FirstAllele(prep.candidateColumn[c]), SecondAllele(prep.candidateColumn[c])});
  }
  prep.dense = largest < kDenseAlleles;
  prep.distinct.clear();
  auto see = [&prep](int32_t code) {
    if (code == 0) return;
    for (uint32_t allele : {FirstAllele(code), SecondAllele(code)}) {
      if (!prep.dense) {
        prep.distinct.push_back(allele);
      } else if (prep.rankOf[allele] < 0) {
        prep.rankOf[allele] = 0;
        prep.distinct.push_back(allele);
      }
    }
  };
  for (int32_t row = 0; row < rows; ++row) see(prep.column[row]);
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    if (prep.Copied(c)) see(prep.candidateColumn[c]);
  }
  std::vector<uint32_t>& distinct = prep.distinct;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  if (prep.dense) {
    for (std::size_t r = 0; r < distinct.size(); ++r) {
      prep.rankOf[distinct[r]] = static_cast<int32_t>(r);
    }
  }
  test.alleleBegin.push_back(test.alleleBegin.back() + static_cast<int32_t>(distinct.size()));
  test.alleleNumber.insert(test.alleleNumber.end(), distinct.begin(), distinct.end());
}

// Cells: (allele, population) pairs that some row or copied candidate carries, in
// ascending allele order, then ascending population order; cellTable[rank][entry]
// marks them, then holds their numbers.
void LayOutCells(Preparation& prep, PreparedEvaluation& test) {
  const int32_t rows = prep.fixedRows.individuals;
  prep.cellTable.assign(prep.distinct.size() * prep.entryCount, -1);
  auto mark = [&prep](int32_t code, int32_t population) {
    if (code == 0) return;
    const auto entry = static_cast<std::size_t>(prep.entryOf[static_cast<std::size_t>(population)] -
                                                prep.entryBase);
    prep.cellTable[prep.Rank(FirstAllele(code)) * prep.entryCount + entry] = 0;
    prep.cellTable[prep.Rank(SecondAllele(code)) * prep.entryCount + entry] = 0;
  };
  for (int32_t row = 0; row < rows; ++row) {
    mark(prep.column[row], prep.rowPopulation[static_cast<std::size_t>(row)]);
  }
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    if (prep.Copied(c)) mark(prep.candidateColumn[c], prep.candidates.population[c]);
  }
  // cellBegin gets the end of every allele (its last entry is the begin of the first).
  std::size_t cells = static_cast<std::size_t>(test.cellBegin.back());
  for (std::size_t r = 0; r < prep.distinct.size(); ++r) {
    for (std::size_t e = 0; e < prep.entryCount; ++e) {
      int32_t& cell = prep.cellTable[r * prep.entryCount + e];
      if (cell < 0) continue;
      cell = static_cast<int32_t>(cells++);
      test.cellPopulation.push_back(prep.entryBase + static_cast<int32_t>(e));
    }
    test.cellBegin.push_back(static_cast<int32_t>(cells));
  }
  test.fixedSampleSize.resize(static_cast<std::size_t>(test.populationBegin.back()), 0);
  test.fixedCounts.resize(cells, 0);
}

// The sample sizes and cell counts of the fixed rows at the locus.
void CountFixedRows(const Preparation& prep, PreparedEvaluation& test) {
  for (int32_t row = 0; row < prep.fixedRows.individuals; ++row) {
    const int32_t code = prep.column[row];
    if (code == 0) continue;
    const int32_t entry =
        prep.entryOf[static_cast<std::size_t>(prep.rowPopulation[static_cast<std::size_t>(row)])];
    ++test.fixedSampleSize[static_cast<std::size_t>(entry)];
    const uint64_t unit = CountUnit(FirstAllele(code) != SecondAllele(code));
    test.fixedCounts[prep.CellOf(FirstAllele(code), entry)] += unit;
    test.fixedCounts[prep.CellOf(SecondAllele(code), entry)] += unit;
  }
}

// What one copy of each copied candidate adds at locus l; the others are left for
// FinishContributions.
void SetContributions(const Preparation& prep, int32_t l, PreparedEvaluation& test) {
  const auto loci = static_cast<std::size_t>(prep.fixedRows.loci);
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    const int32_t code = prep.candidateColumn[c];
    if (code == 0 || !prep.Copied(c)) continue;
    PreparedEvaluation::Contribution& contribution =
        test.contributions[c * loci + static_cast<std::size_t>(l)];
    const int32_t entry = prep.entryOf[static_cast<std::size_t>(prep.candidates.population[c])];
    contribution.sample = static_cast<uint32_t>(entry);
    contribution.first = prep.CellOf(FirstAllele(code), entry);
    contribution.second = prep.CellOf(SecondAllele(code), entry);
    contribution.het = FirstAllele(code) != SecondAllele(code) ? 1u : 0u;
    contribution.het |= kTypedContribution;
  }
}

// Missing genotypes (and candidates no slot copies) add to the trailing entries, which
// are never read.
void FinishContributions(PreparedEvaluation& test) {
  const auto trailingSample = static_cast<uint32_t>(test.fixedSampleSize.size());
  const auto trailingCell = static_cast<uint32_t>(test.fixedCounts.size());
  for (PreparedEvaluation::Contribution& contribution : test.contributions) {
    if (contribution.het & kTypedContribution) {
      contribution.het &= 1u;
    } else {
      contribution = {trailingSample, trailingCell, trailingCell, 0u};
    }
  }
  test.fixedSampleSize.push_back(0);
  test.fixedCounts.push_back(0);
}

}  // namespace

PreparedEvaluation PrepareEvaluation(const EngineInput& fixedRows,
                                     const CandidateGenotypes& candidates,
                                     const std::vector<CopySlot>& slots) {
  Preparation prep{fixedRows, candidates};
  prep.candidateCount = static_cast<std::size_t>(std::max(candidates.count, 0));
  CheckInputs(prep, slots);
  FindRowPopulations(prep);

  PreparedEvaluation test;
  const int32_t loci = fixedRows.loci;
  test.loci = loci;
  test.slots = slots;
  test.candidatePopulation = candidates.population;
  test.contributions.resize(static_cast<std::size_t>(loci) * prep.candidateCount);
  test.populationBegin.push_back(0);
  test.alleleBegin.push_back(0);
  test.cellBegin.push_back(0);
  for (int32_t l = 0; l < loci; ++l) {
    prep.column = fixedRows.codes.data() +
                  static_cast<std::size_t>(l) * static_cast<std::size_t>(fixedRows.individuals);
    prep.candidateColumn =
        candidates.codes.data() + static_cast<std::size_t>(l) * prep.candidateCount;
    NumberTypedPopulations(prep, l, test);
    RankAlleles(prep, test);
    LayOutCells(prep, test);
    CountFixedRows(prep, test);
    SetContributions(prep, l, test);
    if (prep.dense) {
      for (uint32_t allele : prep.distinct) prep.rankOf[allele] = -1;
    }
  }
  FinishContributions(test);

  test.sampleSize.resize(test.fixedSampleSize.size());
  test.counts.resize(test.fixedCounts.size());
  test.populationTerms.resize(test.fixedSampleSize.size());
  test.populationHetTerms.resize(test.fixedSampleSize.size());
  return test;
}

namespace {

// The counts of the fixed rows plus the copies of the chosen candidates.
void AddChosenCopies(PreparedEvaluation& test, const int32_t* chosen) {
  std::copy(test.fixedSampleSize.begin(), test.fixedSampleSize.end(), test.sampleSize.begin());
  std::copy(test.fixedCounts.begin(), test.fixedCounts.end(), test.counts.begin());
  int32_t* sampleSize = test.sampleSize.data();
  uint64_t* counts = test.counts.data();
  const auto loci = static_cast<std::size_t>(test.loci);
  const auto candidateCount = test.candidatePopulation.size();
  for (std::size_t j = 0; j < test.slots.size(); ++j) {
    const CopySlot& slot = test.slots[j];
    const auto candidate = static_cast<std::size_t>(chosen[j]);
    if (chosen[j] < 0 || candidate >= candidateCount ||
        test.candidatePopulation[candidate] != slot.population) {
      ThrowInternalError(FillMessage("candidate {} chosen for a slot of population {}", chosen[j],
                                     slot.population + 1));
    }
    const auto copies = static_cast<uint32_t>(slot.copies);
    const PreparedEvaluation::Contribution* contribution =
        test.contributions.data() + candidate * loci;
    for (std::size_t l = 0; l < loci; ++l, ++contribution) {
      sampleSize[contribution->sample] += static_cast<int32_t>(copies);
      const uint64_t added = copies | (static_cast<uint64_t>(copies * contribution->het) << 32);
      counts[contribution->first] += added;
      counts[contribution->second] += added;
    }
  }
}

}  // namespace

void CountPrepared(PreparedEvaluation& test, const int32_t* chosen) {
  AddChosenCopies(test, chosen);
}

void EvaluatePreparedLoci(PreparedEvaluation& test, const int32_t* chosen) {
  AddChosenCopies(test, chosen);

  // Sums of every allele of every used locus, then the outcomes of those loci.
  test.usedLoci.clear();
  test.usedIndex.assign(static_cast<std::size_t>(test.loci), -1);
  std::size_t alleleSums = 0;
  const int32_t* sampleSize = test.sampleSize.data();
  const uint64_t* counts = test.counts.data();
  const int32_t* cellBegin = test.cellBegin.data();
  const int32_t* cellPopulation = test.cellPopulation.data();
  for (std::size_t l = 0; l < static_cast<std::size_t>(test.loci); ++l) {
    const auto first = static_cast<std::size_t>(test.populationBegin[l]);
    const auto last = static_cast<std::size_t>(test.populationBegin[l + 1]);
    LocusSummary summary;
    if (!SummariseLocus(sampleSize + first, last - first, summary)) continue;
    test.usedIndex[l] = static_cast<int32_t>(test.usedLoci.size());
    SetPopulationTerms(test.terms, sampleSize + first, last - first,
                       test.populationTerms.data() + first, test.populationHetTerms.data() + first);
    const Extended* const* populationTerms = test.populationTerms.data();
    const Extended* const* populationHetTerms = test.populationHetTerms.data();

    const auto alleleFirst = static_cast<std::size_t>(test.alleleBegin[l]);
    const auto alleles = static_cast<std::size_t>(test.alleleBegin[l + 1]) - alleleFirst;
    test.usedLoci.push_back(
        {summary.contributingPops, summary.meanSampleSize, alleleSums, alleleSums + alleles});
    if (test.locus.sums.size() < alleleSums + alleles) test.locus.sums.resize(alleleSums + alleles);
    AlleleSums* sums = test.locus.sums.data() + alleleSums;
    alleleSums += alleles;
    for (std::size_t a = 0; a < alleles; ++a) {
      // P1, P2, H1 in ascending population order over the populations that can carry
      // the allele; the others would add exact zeros, which leave the sums unchanged.
      Extended p1 = 0.0L;
      Extended p2 = 0.0L;
      Extended h1 = 0.0L;
      const int32_t end = cellBegin[alleleFirst + a + 1];
      for (int32_t cell = cellBegin[alleleFirst + a]; cell < end; ++cell) {
        const auto q = static_cast<std::size_t>(cellPopulation[cell]);
        const uint64_t value = counts[cell];
        const Extended* terms = populationTerms[q] + 2 * (value & 0xFFFFFFFFu);
        p1 += terms[0];
        p2 += terms[1];
        h1 += populationHetTerms[q][value >> 32];
      }
      sums[a] = AlleleSums{p1, p2, h1};
    }
  }
  test.locus.outcomes.resize(test.usedLoci.size());
  FinishLociApart(test.usedLoci, test.locus, &test.memo, test.locus.outcomes.data());
}

Extended EvaluatePrepared(PreparedEvaluation& test, const int32_t* chosen) {
  EvaluatePreparedLoci(test, chosen);
  return FisFromOutcomes(test.locus.outcomes.data(), test.usedLoci.size());
}

}  // namespace genosieve
