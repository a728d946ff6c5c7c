#include "engine/prepared_test.h"

#include <algorithm>
#include <string>

#include "engine/engine.h"
#include "errors.h"

namespace genosieve {

namespace {

// Alleles below this are ranked through a table indexed by allele.
constexpr uint32_t kDenseAlleles = uint32_t{1} << 16;

// Rows beyond this would let a count (at most twice the rows) overflow 32 bits.
constexpr int64_t kMostRows = int64_t{1} << 29;

[[noreturn]] void ThrowBadPreparation(const std::string& what) {
  throw RunError("Test préparé incorrect pour le calcul de Fis : " + what);
}

void CheckTable(const EngineInput& input) {
  if (input.populations < 0 || input.loci < 0 || input.individuals < 0 || input.highestAllele < 0 ||
      input.populationEnd.size() != static_cast<std::size_t>(input.populations) ||
      input.codes.size() !=
          static_cast<std::size_t>(input.loci) * static_cast<std::size_t>(input.individuals)) {
    throw RunError("Table de génotypes incorrecte pour le calcul de Fis");
  }
  int32_t previous = 0;
  for (int32_t end : input.populationEnd) {
    if (end < previous) throw RunError("Table de génotypes incorrecte pour le calcul de Fis");
    previous = end;
  }
  if (previous != input.individuals) {
    throw RunError("Table de génotypes incorrecte pour le calcul de Fis");
  }
}

// A code EvaluateFis would refuse; `who` names the row or candidate (0-based `number`).
void CheckCode(int32_t code, int32_t highestAllele, const char* who, std::size_t number,
               int32_t locus) {
  if (IsValidGenotypeCode(code, highestAllele)) return;
  throw RunError(who + std::to_string(number + 1) + ", locus " + std::to_string(locus + 1) + " : " +
                 GenotypeCodeProblem(code, highestAllele));
}

uint32_t FirstAllele(int32_t code) { return static_cast<uint32_t>(code) / 1000; }
uint32_t SecondAllele(int32_t code) { return static_cast<uint32_t>(code) % 1000; }

// What one copy of a genotype adds to the counts of a cell: 1 copy of the allele, and
// 1 heterozygote when it is one.
uint64_t CountUnit(bool heterozygous) { return 1u | (static_cast<uint64_t>(heterozygous) << 32); }

}  // namespace

PreparedTest PrepareTest(const EngineInput& fixedRows, const CandidateGenotypes& candidates,
                         const std::vector<CopySlot>& slots) {
  CheckTable(fixedRows);
  const int32_t populations = fixedRows.populations;
  const int32_t loci = fixedRows.loci;
  const int32_t rows = fixedRows.individuals;
  const int32_t highestAllele = fixedRows.highestAllele;
  const auto candidateCount = static_cast<std::size_t>(std::max(candidates.count, 0));
  if (candidates.count < 0 || candidates.population.size() != candidateCount ||
      candidates.codes.size() != static_cast<std::size_t>(loci) * candidateCount) {
    ThrowBadPreparation("génotypes candidats");
  }
  for (int32_t p : candidates.population) {
    if (p < 0 || p >= populations) ThrowBadPreparation("population d'un génotype candidat");
  }
  std::vector<bool> hasSlot(static_cast<std::size_t>(populations), false);
  int64_t totalRows = rows;
  for (const CopySlot& slot : slots) {
    if (slot.population < 0 || slot.population >= populations || slot.copies < 0) {
      ThrowBadPreparation("copies");
    }
    hasSlot[static_cast<std::size_t>(slot.population)] = true;
    totalRows += slot.copies;
  }
  if (totalRows > kMostRows) ThrowBadPreparation("trop d'individus");

  PreparedTest test;
  test.loci = loci;
  test.slots = slots;
  test.candidatePopulation = candidates.population;
  test.contributions.resize(static_cast<std::size_t>(loci) * candidateCount);

  std::vector<int32_t> rowPopulation(static_cast<std::size_t>(rows));
  for (int32_t p = 0, row = 0; p < populations; ++p) {
    for (; row < fixedRows.populationEnd[static_cast<std::size_t>(p)]; ++row) {
      rowPopulation[static_cast<std::size_t>(row)] = p;
    }
  }
  // A candidate counts only where a slot can copy it.
  auto copied = [&](std::size_t c) {
    return hasSlot[static_cast<std::size_t>(candidates.population[c])];
  };

  std::vector<int32_t> entryOf(static_cast<std::size_t>(populations));
  std::vector<uint32_t> distinct;
  std::vector<int32_t> rankOf(kDenseAlleles, -1);
  std::vector<int32_t> cellTable;
  test.populationBegin.push_back(0);
  test.alleleBegin.push_back(0);
  test.cellBegin.push_back(0);
  for (int32_t l = 0; l < loci; ++l) {
    const int32_t* column =
        fixedRows.codes.data() + static_cast<std::size_t>(l) * static_cast<std::size_t>(rows);
    const int32_t* candidateColumn =
        candidates.codes.data() + static_cast<std::size_t>(l) * candidateCount;
    // The populations that can be typed at the locus, and their sample-size entries.
    std::vector<bool> typed(static_cast<std::size_t>(populations), false);
    for (int32_t row = 0; row < rows; ++row) {
      const int32_t code = column[row];
      if (code == 0) continue;
      CheckCode(code, highestAllele, "Individu ", static_cast<std::size_t>(row), l);
      typed[static_cast<std::size_t>(rowPopulation[static_cast<std::size_t>(row)])] = true;
    }
    for (std::size_t c = 0; c < candidateCount; ++c) {
      const int32_t code = candidateColumn[c];
      if (code == 0) continue;
      CheckCode(code, highestAllele, "Génotype candidat ", c, l);
      if (copied(c)) typed[static_cast<std::size_t>(candidates.population[c])] = true;
    }
    int32_t entries = test.populationBegin.back();
    for (int32_t p = 0; p < populations; ++p) {
      entryOf[static_cast<std::size_t>(p)] = typed[static_cast<std::size_t>(p)] ? entries++ : -1;
    }
    test.populationBegin.push_back(entries);

    // The alleles of the locus in ascending order, each with its rank: through a table
    // indexed by allele when the alleles are small enough, else by binary search.
    uint32_t largest = 0;
    for (int32_t row = 0; row < rows; ++row) {
      largest = std::max({largest, FirstAllele(column[row]), SecondAllele(column[row])});
    }
    for (std::size_t c = 0; c < candidateCount; ++c) {
      if (!copied(c)) continue;
      largest =
          std::max({largest, FirstAllele(candidateColumn[c]), SecondAllele(candidateColumn[c])});
    }
    const bool dense = largest < kDenseAlleles;
    distinct.clear();
    auto see = [&](int32_t code) {
      if (code == 0) return;
      for (uint32_t allele : {FirstAllele(code), SecondAllele(code)}) {
        if (!dense) {
          distinct.push_back(allele);
        } else if (rankOf[allele] < 0) {
          rankOf[allele] = 0;
          distinct.push_back(allele);
        }
      }
    };
    for (int32_t row = 0; row < rows; ++row) see(column[row]);
    for (std::size_t c = 0; c < candidateCount; ++c) {
      if (copied(c)) see(candidateColumn[c]);
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (dense) {
      for (std::size_t r = 0; r < distinct.size(); ++r)
        rankOf[distinct[r]] = static_cast<int32_t>(r);
    }
    auto rank = [&](uint32_t allele) {
      if (dense) return static_cast<std::size_t>(rankOf[allele]);
      return static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), allele) -
                                      distinct.begin());
    };

    // Cells: (allele, population) pairs that some row or copied candidate carries, in
    // ascending allele order, then ascending population order; cellTable[rank][entry]
    // marks them, then holds their numbers.
    const std::size_t entryCount =
        static_cast<std::size_t>(entries - test.populationBegin[static_cast<std::size_t>(l)]);
    const int32_t entryBase = test.populationBegin[static_cast<std::size_t>(l)];
    cellTable.assign(distinct.size() * entryCount, -1);
    auto mark = [&](int32_t code, int32_t population) {
      if (code == 0) return;
      const auto entry =
          static_cast<std::size_t>(entryOf[static_cast<std::size_t>(population)] - entryBase);
      cellTable[rank(FirstAllele(code)) * entryCount + entry] = 0;
      cellTable[rank(SecondAllele(code)) * entryCount + entry] = 0;
    };
    for (int32_t row = 0; row < rows; ++row)
      mark(column[row], rowPopulation[static_cast<std::size_t>(row)]);
    for (std::size_t c = 0; c < candidateCount; ++c) {
      if (copied(c)) mark(candidateColumn[c], candidates.population[c]);
    }
    // cellBegin gets the end of every allele (its last entry is the begin of the first).
    const auto firstCell = static_cast<std::size_t>(test.cellBegin.back());
    std::size_t cells = firstCell;
    for (std::size_t r = 0; r < distinct.size(); ++r) {
      for (std::size_t e = 0; e < entryCount; ++e) {
        int32_t& cell = cellTable[r * entryCount + e];
        if (cell < 0) continue;
        cell = static_cast<int32_t>(cells++);
        test.cellPopulation.push_back(entryBase + static_cast<int32_t>(e));
      }
      test.cellBegin.push_back(static_cast<int32_t>(cells));
    }
    test.alleleBegin.push_back(test.alleleBegin.back() + static_cast<int32_t>(distinct.size()));

    auto cellOf = [&](uint32_t allele, int32_t entry) {
      return static_cast<uint32_t>(
          cellTable[rank(allele) * entryCount + static_cast<std::size_t>(entry - entryBase)]);
    };
    test.fixedSampleSize.resize(static_cast<std::size_t>(test.populationBegin.back()), 0);
    test.fixedCounts.resize(cells, 0);
    for (int32_t row = 0; row < rows; ++row) {
      const int32_t code = column[row];
      if (code == 0) continue;
      const int32_t entry =
          entryOf[static_cast<std::size_t>(rowPopulation[static_cast<std::size_t>(row)])];
      ++test.fixedSampleSize[static_cast<std::size_t>(entry)];
      const uint64_t unit = CountUnit(FirstAllele(code) != SecondAllele(code));
      test.fixedCounts[cellOf(FirstAllele(code), entry)] += unit;
      test.fixedCounts[cellOf(SecondAllele(code), entry)] += unit;
    }
    for (std::size_t c = 0; c < candidateCount; ++c) {
      PreparedTest::Contribution& contribution =
          test.contributions[c * static_cast<std::size_t>(loci) + static_cast<std::size_t>(l)];
      const int32_t code = candidateColumn[c];
      if (code == 0 || !copied(c)) continue;  // trailing entries, filled in below
      const int32_t entry = entryOf[static_cast<std::size_t>(candidates.population[c])];
      contribution.sample = static_cast<uint32_t>(entry);
      contribution.first = cellOf(FirstAllele(code), entry);
      contribution.second = cellOf(SecondAllele(code), entry);
      contribution.het = FirstAllele(code) != SecondAllele(code) ? 1u : 0u;
      contribution.het |= 0x80000000u;  // marks a typed contribution until the end
    }
    if (dense) {
      for (uint32_t allele : distinct) rankOf[allele] = -1;
    }
  }
  // Missing genotypes (and candidates no slot copies) add to the trailing entries.
  const auto trailingSample = static_cast<uint32_t>(test.fixedSampleSize.size());
  const auto trailingCell = static_cast<uint32_t>(test.fixedCounts.size());
  for (PreparedTest::Contribution& contribution : test.contributions) {
    if (contribution.het & 0x80000000u) {
      contribution.het &= 1u;
    } else {
      contribution = {trailingSample, trailingCell, trailingCell, 0u};
    }
  }
  test.fixedSampleSize.push_back(0);
  test.fixedCounts.push_back(0);
  test.sampleSize.resize(test.fixedSampleSize.size());
  test.counts.resize(test.fixedCounts.size());
  test.populationTerms.resize(test.fixedSampleSize.size());
  test.populationHetTerms.resize(test.fixedSampleSize.size());
  return test;
}

Extended EvaluatePrepared(PreparedTest& test, const int32_t* chosen) {
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
      ThrowBadPreparation("génotype choisi");
    }
    const auto copies = static_cast<uint32_t>(slot.copies);
    const PreparedTest::Contribution* contribution = test.contributions.data() + candidate * loci;
    for (std::size_t l = 0; l < loci; ++l, ++contribution) {
      sampleSize[contribution->sample] += static_cast<int32_t>(copies);
      const uint64_t added = copies | (static_cast<uint64_t>(copies * contribution->het) << 32);
      counts[contribution->first] += added;
      counts[contribution->second] += added;
    }
  }

  // Sums of every allele of every used locus, then the estimate over all of them.
  test.usedLoci.clear();
  std::size_t alleleSums = 0;
  const int32_t* cellBegin = test.cellBegin.data();
  const int32_t* cellPopulation = test.cellPopulation.data();
  for (std::size_t l = 0; l < loci; ++l) {
    const auto first = static_cast<std::size_t>(test.populationBegin[l]);
    const auto last = static_cast<std::size_t>(test.populationBegin[l + 1]);
    int32_t contributingPops = 0;
    for (std::size_t q = first; q < last; ++q) contributingPops += sampleSize[q] != 0 ? 1 : 0;
    const float sampleSum = SampleSizeSum(sampleSize + first, last - first);
    if (contributingPops <= 1 || sampleSum == 0.0f) continue;
    const float meanSampleSize =
        StoreFloat(static_cast<Extended>(sampleSum) / static_cast<Extended>(contributingPops));

    TrimTerms(test.terms);
    for (std::size_t q = first; q < last; ++q) {
      const int32_t n = sampleSize[q];
      const Extended* terms = n == 0 ? kZeroTerms : TermsFor(test.terms, n);
      test.populationTerms[q] = terms;
      test.populationHetTerms[q] = n == 0 ? kZeroTerms : terms + HetTermsOffset(n);
    }
    const Extended* const* populationTerms = test.populationTerms.data();
    const Extended* const* populationHetTerms = test.populationHetTerms.data();

    const auto alleleFirst = static_cast<std::size_t>(test.alleleBegin[l]);
    const auto alleles = static_cast<std::size_t>(test.alleleBegin[l + 1]) - alleleFirst;
    test.usedLoci.push_back({contributingPops, meanSampleSize, alleleSums, alleleSums + alleles});
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
  return FinishLoci(test.usedLoci, test.locus, &test.memo);
}

}  // namespace genosieve
