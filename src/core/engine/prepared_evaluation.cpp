#include "engine/prepared_evaluation.h"

#include <algorithm>
#include <string>

#include "engine/genotype_code.h"
#include "errors.h"
#include "for_chunks.h"
#include "messages.h"

namespace genosieve {

namespace {

// Alleles below this are ranked through a table indexed by allele.
constexpr uint32_t kDenseAlleles = uint32_t{1} << 16;

// Rows beyond this would let a count (at most twice the rows) overflow 32 bits.
constexpr int64_t kMostRows = int64_t{1} << 29;

// Class counts are 16-bit: a population whose copies add up to more counts its copies
// lane by lane.
constexpr int64_t kMostClassCopies = 0xFFFF;

std::size_t Size(int32_t value) { return static_cast<std::size_t>(value); }

// Work split in chunks of at least this many genotypes (loci times rows and candidates, or
// candidates times loci).
constexpr std::size_t kLeastChunk = std::size_t{1} << 16;

// A code EvaluateFis would refuse; `who` names the row or candidate (0-based `number`).
void CheckCode(int32_t code, int32_t highestAllele, const char* who, std::size_t number,
               int32_t locus) {
  if (IsValidGenotypeCode(code, highestAllele)) return;
  ThrowInternalError(FillMessage("{} {}, locus {}: {}", who, number + 1, locus + 1,
                                 GenotypeCodeProblem(code, highestAllele)));
}

uint32_t FirstAllele(int32_t code) { return static_cast<uint32_t>(code) / 1000; }
uint32_t SecondAllele(int32_t code) { return static_cast<uint32_t>(code) % 1000; }

// What `copies` copies of a genotype add to the lane of one of its alleles: the copies of
// the allele, and as many heterozygotes when it is one.
uint64_t CountUnit(uint64_t copies, bool heterozygous) {
  return copies | (heterozygous ? copies << 32 : 0);
}

// What PrepareEvaluation reads, and its working storage across loci.
struct Preparation {
  const EngineInput& fixedRows;
  const CandidateGenotypes& candidates;
  std::size_t candidateCount = 0;
  std::vector<bool> hasSlot{};           // per population: whether a slot copies from it
  std::vector<int64_t> slotCopies{};     // per population: the copies its slots add
  std::vector<int32_t> rowPopulation{};  // per fixed row

  // The locus being laid out.
  const int32_t* column = nullptr;           // fixed rows' codes
  const int32_t* candidateColumn = nullptr;  // candidates' codes
  std::vector<int32_t> candidateBuffer{};    // those codes when the candidates are fixed rows
  std::vector<int32_t> entryOf{};            // population -> its sample-size entry, -1 when untyped
  int32_t entryBase = 0;                     // first sample-size entry of the locus
  std::size_t entryCount = 0;
  std::vector<uint32_t> distinct{};  // the locus's alleles, ascending
  bool dense = true;
  std::vector<int32_t> rankOf = std::vector<int32_t>(kDenseAlleles, -1);
  std::vector<bool> cellTable{};  // [rank][entry]: whether the cell exists

  // Across loci: the allele number of every lane (0 for sample-size lanes).
  std::vector<uint32_t> laneAllele{};

  // A candidate counts only where a slot can copy it.
  bool Copied(std::size_t c) const {
    return hasSlot[static_cast<std::size_t>(candidates.population[c])];
  }

  std::size_t Rank(uint32_t allele) const {
    if (dense) return static_cast<std::size_t>(rankOf[allele]);
    return static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), allele) -
                                    distinct.begin());
  }
};

// The inputs fit together: the fixed rows' table, the candidates, and the slots.
void CheckInputs(Preparation& prep, const std::vector<CopySlot>& slots) {
  const EngineInput& fixedRows = prep.fixedRows;
  const CandidateGenotypes& candidates = prep.candidates;
  CheckEngineInput(fixedRows);
  const int32_t populations = fixedRows.populations;
  const bool asRows = !candidates.fixedRow.empty();
  if (candidates.count < 0 || candidates.population.size() != prep.candidateCount ||
      (asRows ? candidates.fixedRow.size() != prep.candidateCount || !candidates.codes.empty()
              : candidates.codes.size() !=
                    static_cast<std::size_t>(fixedRows.loci) * prep.candidateCount)) {
    ThrowInternalError("the candidate genotypes do not fit their count");
  }
  for (int32_t row : candidates.fixedRow) {
    if (row < 0 || row >= fixedRows.individuals) {
      ThrowInternalError(FillMessage("a candidate genotype of fixed row {}", row + 1));
    }
  }
  for (int32_t p : candidates.population) {
    if (p < 0 || p >= populations) {
      ThrowInternalError(FillMessage("a candidate genotype of population {}", p + 1));
    }
  }
  prep.hasSlot.assign(Size(populations), false);
  prep.slotCopies.assign(Size(populations), 0);
  int64_t totalRows = fixedRows.individuals;
  for (const CopySlot& slot : slots) {
    if (slot.population < 0 || slot.population >= populations || slot.copies < 0) {
      ThrowInternalError(
          FillMessage("{} copies for population {}", slot.copies, slot.population + 1));
    }
    prep.hasSlot[Size(slot.population)] = true;
    prep.slotCopies[Size(slot.population)] += slot.copies;
    totalRows += slot.copies;
  }
  if (totalRows > kMostRows) {
    ThrowInternalError(FillMessage("{} individuals are too many to count", totalRows));
  }
}

void FindRowPopulations(Preparation& prep) {
  const EngineInput& fixedRows = prep.fixedRows;
  prep.rowPopulation.resize(Size(fixedRows.individuals));
  for (int32_t p = 0, row = 0; p < fixedRows.populations; ++p) {
    for (; row < fixedRows.populationEnd[Size(p)]; ++row) prep.rowPopulation[Size(row)] = p;
  }
}

// The populations that can be typed at locus l, and their sample-size entries.
void NumberTypedPopulations(Preparation& prep, int32_t l, PreparedEvaluation& test) {
  const int32_t rows = prep.fixedRows.individuals;
  const int32_t populations = prep.fixedRows.populations;
  const int32_t highestAllele = prep.fixedRows.highestAllele;
  std::vector<bool> typed(Size(populations), false);
  for (int32_t row = 0; row < rows; ++row) {
    const int32_t code = prep.column[row];
    if (code == 0) continue;
    CheckCode(code, highestAllele, "individual", Size(row), l);
    typed[Size(prep.rowPopulation[Size(row)])] = true;
  }
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    const int32_t code = prep.candidateColumn[c];
    if (code == 0) continue;
    CheckCode(code, highestAllele, "candidate genotype", c, l);
    if (prep.Copied(c)) typed[Size(prep.candidates.population[c])] = true;
  }
  prep.entryBase = test.populationBegin.back();
  int32_t entries = prep.entryBase;
  prep.entryOf.resize(Size(populations));
  for (int32_t p = 0; p < populations; ++p) {
    prep.entryOf[Size(p)] = typed[Size(p)] ? entries++ : -1;
  }
  prep.entryCount = Size(entries - prep.entryBase);
  test.populationBegin.push_back(entries);
  for (int32_t p = 0; p < populations; ++p) {
    if (typed[Size(p)]) test.entryPopulation.push_back(p);
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
// ascending allele order, then ascending population order.
void LayOutCells(Preparation& prep, PreparedEvaluation& test) {
  const int32_t rows = prep.fixedRows.individuals;
  prep.cellTable.assign(prep.distinct.size() * prep.entryCount, false);
  auto mark = [&prep](int32_t code, int32_t population) {
    if (code == 0) return;
    const auto entry = Size(prep.entryOf[Size(population)] - prep.entryBase);
    prep.cellTable[prep.Rank(FirstAllele(code)) * prep.entryCount + entry] = true;
    prep.cellTable[prep.Rank(SecondAllele(code)) * prep.entryCount + entry] = true;
  };
  for (int32_t row = 0; row < rows; ++row) mark(prep.column[row], prep.rowPopulation[Size(row)]);
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    if (prep.Copied(c)) mark(prep.candidateColumn[c], prep.candidates.population[c]);
  }
  for (std::size_t r = 0; r < prep.distinct.size(); ++r) {
    for (std::size_t e = 0; e < prep.entryCount; ++e) {
      if (prep.cellTable[r * prep.entryCount + e]) {
        test.cellEntry.push_back(prep.entryBase + static_cast<int32_t>(e));
      }
    }
    test.cellBegin.push_back(static_cast<int32_t>(test.cellEntry.size()));
  }
}

// Loci [first, end) laid out in `part` as if they were the only ones: sample-size entries,
// alleles and cells numbered from 0.
void LayOutLoci(Preparation& prep, int32_t first, int32_t end, PreparedEvaluation& part) {
  const EngineInput& fixedRows = prep.fixedRows;
  const CandidateGenotypes& candidates = prep.candidates;
  part.populationBegin.assign(1, 0);
  part.alleleBegin.assign(1, 0);
  part.cellBegin.assign(1, 0);
  for (int32_t l = first; l < end; ++l) {
    prep.column = fixedRows.codes.data() + Size(l) * Size(fixedRows.individuals);
    if (candidates.fixedRow.empty()) {
      prep.candidateColumn = candidates.codes.data() + Size(l) * prep.candidateCount;
    } else {
      prep.candidateBuffer.resize(prep.candidateCount);
      for (std::size_t c = 0; c < prep.candidateCount; ++c) {
        prep.candidateBuffer[c] = prep.column[Size(candidates.fixedRow[c])];
      }
      prep.candidateColumn = prep.candidateBuffer.data();
    }
    NumberTypedPopulations(prep, l, part);
    RankAlleles(prep, part);
    LayOutCells(prep, part);
    if (prep.dense) {
      for (uint32_t allele : prep.distinct) prep.rankOf[allele] = -1;
    }
  }
}

// The loci of `part` after those of `test`, their numbers moved past test's.
void AppendLoci(const PreparedEvaluation& part, PreparedEvaluation& test) {
  const int32_t entries = test.populationBegin.back();
  const int32_t alleles = test.alleleBegin.back();
  const int32_t cells = test.cellBegin.back();
  for (std::size_t i = 1; i < part.populationBegin.size(); ++i) {
    test.populationBegin.push_back(part.populationBegin[i] + entries);
  }
  test.entryPopulation.insert(test.entryPopulation.end(), part.entryPopulation.begin(),
                              part.entryPopulation.end());
  for (std::size_t i = 1; i < part.alleleBegin.size(); ++i) {
    test.alleleBegin.push_back(part.alleleBegin[i] + alleles);
  }
  test.alleleNumber.insert(test.alleleNumber.end(), part.alleleNumber.begin(),
                           part.alleleNumber.end());
  for (std::size_t i = 1; i < part.cellBegin.size(); ++i) {
    test.cellBegin.push_back(part.cellBegin[i] + cells);
  }
  for (int32_t entry : part.cellEntry) test.cellEntry.push_back(entry + entries);
}

// The lanes, population by population and within a population locus by locus: each
// block's sample-size lane, then its cells in ascending allele order.
void AssignLanes(Preparation& prep, PreparedEvaluation& test) {
  const auto loci = Size(test.loci);
  const std::size_t places = Size(test.populations) * loci;
  test.blockLane.assign(places, -1);
  test.blockCells.assign(places, 0);
  test.blockHighest.assign(places, -1);
  auto placeOf = [&](int32_t entry, std::size_t l) {
    return Size(test.entryPopulation[Size(entry)]) * loci + l;
  };
  for (std::size_t l = 0; l < loci; ++l) {
    for (int32_t e = test.populationBegin[l]; e < test.populationBegin[l + 1]; ++e) {
      test.blockLane[placeOf(e, l)] = 0;
    }
    for (int32_t j = test.cellBegin[Size(test.alleleBegin[l])];
         j < test.cellBegin[Size(test.alleleBegin[l + 1])]; ++j) {
      ++test.blockCells[placeOf(test.cellEntry[Size(j)], l)];
    }
  }
  int32_t lanes = 0;
  for (std::size_t place = 0; place < places; ++place) {
    if (test.blockLane[place] < 0) continue;
    test.blockLane[place] = lanes;
    lanes += 1 + test.blockCells[place];
  }
  test.laneCount = Size(lanes);
  prep.laneAllele.assign(test.laneCount, 0);
  test.entryLane.resize(test.entryPopulation.size());
  test.cellLane.resize(test.cellEntry.size());
  std::vector<int32_t> next(places, 0);  // cells of each block placed so far
  for (std::size_t l = 0; l < loci; ++l) {
    for (int32_t e = test.populationBegin[l]; e < test.populationBegin[l + 1]; ++e) {
      const int32_t lane = test.blockLane[placeOf(e, l)];
      test.entryLane[Size(e)] = lane;
    }
    for (int32_t a = test.alleleBegin[l]; a < test.alleleBegin[l + 1]; ++a) {
      const uint32_t allele = test.alleleNumber[Size(a)];
      for (int32_t j = test.cellBegin[Size(a)]; j < test.cellBegin[Size(a) + 1]; ++j) {
        const std::size_t place = placeOf(test.cellEntry[Size(j)], l);
        const int32_t rank = next[place]++;
        const int32_t lane = test.blockLane[place] + 1 + rank;
        test.cellLane[Size(j)] = lane;
        prep.laneAllele[Size(lane)] = allele;
        if (allele == static_cast<uint32_t>(std::max(test.highestAllele, 0))) {
          test.blockHighest[place] = rank;
        }
      }
    }
  }
}

// The rank of `allele` among the cells of the block at `place`.
uint16_t RankInBlock(const Preparation& prep, const PreparedEvaluation& test, std::size_t place,
                     uint32_t allele) {
  const auto first = prep.laneAllele.begin() + test.blockLane[place] + 1;
  return static_cast<uint16_t>(std::lower_bound(first, first + test.blockCells[place], allele) -
                               first);
}

// The lanes of the fixed rows at loci [locusBegin, locusEnd): each locus writes only its
// own blocks' lanes.
void CountFixedRows(const Preparation& prep, PreparedEvaluation& test, std::size_t locusBegin,
                    std::size_t locusEnd) {
  const EngineInput& fixedRows = prep.fixedRows;
  const auto loci = Size(test.loci);
  for (std::size_t l = locusBegin; l < locusEnd; ++l) {
    const int32_t* column = fixedRows.codes.data() + l * Size(fixedRows.individuals);
    for (int32_t row = 0; row < fixedRows.individuals; ++row) {
      const int32_t code = column[row];
      if (code == 0) continue;
      const std::size_t place = Size(prep.rowPopulation[Size(row)]) * loci + l;
      const auto lane = Size(test.blockLane[place]);
      const uint16_t first = RankInBlock(prep, test, place, FirstAllele(code));
      const uint16_t second = RankInBlock(prep, test, place, SecondAllele(code));
      const uint64_t unit = CountUnit(1, first != second);
      ++test.fixedLanes[lane];
      test.fixedLanes[lane + 1 + first] += unit;
      test.fixedLanes[lane + 1 + second] += unit;
    }
  }
}

// The class loci of each population that a slot copies from, with copies that 16-bit
// counts hold: its blocks of at most two alleles.
void ChooseClassLoci(const Preparation& prep, PreparedEvaluation& test) {
  const auto loci = Size(test.loci);
  test.classLoci.assign(Size(test.populations), 0);
  test.classBegin.assign(Size(test.populations) + 1, 0);
  for (std::size_t p = 0; p < Size(test.populations); ++p) {
    test.classBegin[p] = static_cast<int64_t>(test.classBlock.size());
    if (!prep.hasSlot[p] || prep.slotCopies[p] > kMostClassCopies) continue;
    for (std::size_t l = 0; l < loci; ++l) {
      const std::size_t place = p * loci + l;
      if (test.blockLane[place] < 0 || test.blockCells[place] > 2) continue;
      test.classBlock.push_back(static_cast<int32_t>(place));
      ++test.classLoci[p];
    }
  }
  test.classBegin.back() = static_cast<int64_t>(test.classBlock.size());
}

// What one copy of each copied candidate adds: class flags at its population's class
// loci, lane contributions elsewhere; nothing where it is missing.
void SetContributions(const Preparation& prep, PreparedEvaluation& test, int32_t threads) {
  const auto loci = Size(test.loci);
  std::vector<int32_t> classIndex(Size(test.populations) * loci, -1);
  for (std::size_t p = 0; p < Size(test.populations); ++p) {
    for (int32_t d = 0; d < test.classLoci[p]; ++d) {
      classIndex[Size(test.classBlock[Size(test.classBegin[p]) + Size(d)])] = d;
    }
  }
  auto codeOf = [&prep](std::size_t c, std::size_t l) {
    return prep.candidates.fixedRow.empty()
               ? prep.candidates.codes[l * prep.candidateCount + c]
               : prep.fixedRows.codes[l * Size(prep.fixedRows.individuals) +
                                      Size(prep.candidates.fixedRow[c])];
  };
  const std::size_t chunks = ChunkCount(threads, prep.candidateCount, loci, kLeastChunk);
  // The sizes first: the tables are made once, at their size, which for many loci is
  // most of the evaluation's memory; then each candidate fills its own stretch.
  test.contributionBegin.assign(prep.candidateCount + 1, 0);
  test.classFlagBegin.assign(prep.candidateCount, 0);
  ForChunks(chunks, prep.candidateCount, [&](std::size_t, std::size_t begin, std::size_t end) {
    for (std::size_t c = begin; c < end; ++c) {
      if (!prep.Copied(c)) continue;
      const auto p = Size(prep.candidates.population[c]);
      int64_t count = 0;
      for (std::size_t l = 0; l < loci; ++l) {
        if (codeOf(c, l) != 0 && classIndex[p * loci + l] < 0) ++count;
      }
      test.contributionBegin[c + 1] = count;
    }
  });
  int64_t flagCount = 0;
  for (std::size_t c = 0; c < prep.candidateCount; ++c) {
    test.contributionBegin[c + 1] += test.contributionBegin[c];
    if (!prep.Copied(c)) continue;
    test.classFlagBegin[c] = flagCount;
    flagCount += 3 * int64_t{test.classLoci[Size(prep.candidates.population[c])]};
  }
  test.contributions.resize(static_cast<std::size_t>(test.contributionBegin.back()));
  test.classFlags.assign(static_cast<std::size_t>(flagCount), 0);
  ForChunks(chunks, prep.candidateCount, [&](std::size_t, std::size_t begin, std::size_t end) {
    for (std::size_t c = begin; c < end; ++c) {
      if (!prep.Copied(c)) continue;
      const auto p = Size(prep.candidates.population[c]);
      const auto classes = Size(test.classLoci[p]);
      uint8_t* flags = test.classFlags.data() + test.classFlagBegin[c];
      PreparedEvaluation::Contribution* next =
          test.contributions.data() + test.contributionBegin[c];
      for (std::size_t l = 0; l < loci; ++l) {
        const int32_t code = codeOf(c, l);
        if (code == 0) continue;
        const std::size_t place = p * loci + l;
        const uint16_t first = RankInBlock(prep, test, place, FirstAllele(code));
        const uint16_t second = RankInBlock(prep, test, place, SecondAllele(code));
        const int32_t d = classIndex[place];
        if (d >= 0) {
          // Homozygotes for the first allele, for the second, heterozygotes.
          const std::size_t row = first != second ? 2 : first;
          flags[row * classes + Size(d)] = 1;
          continue;
        }
        *next++ = {static_cast<uint32_t>(test.blockLane[place]), first, second};
      }
    }
  });
}

}  // namespace

PreparedEvaluation PrepareEvaluation(const EngineInput& fixedRows,
                                     const CandidateGenotypes& candidates,
                                     const std::vector<CopySlot>& slots, int32_t threads) {
  Preparation prep{fixedRows, candidates};
  prep.candidateCount = Size(std::max(candidates.count, 0));
  CheckInputs(prep, slots);
  FindRowPopulations(prep);

  PreparedEvaluation test;
  test.populations = fixedRows.populations;
  test.loci = fixedRows.loci;
  test.highestAllele = fixedRows.highestAllele;
  test.slots = slots;
  test.candidatePopulation = candidates.population;
  test.populationBegin.push_back(0);
  test.alleleBegin.push_back(0);
  test.cellBegin.push_back(0);
  // The loci in chunks, each laid out as if it came first, then put end to end.
  const std::size_t chunks = ChunkCount(
      threads, Size(test.loci), Size(fixedRows.individuals) + prep.candidateCount, kLeastChunk);
  std::vector<PreparedEvaluation> parts(chunks);
  ForChunks(chunks, Size(test.loci), [&](std::size_t k, std::size_t begin, std::size_t end) {
    Preparation own = prep;
    LayOutLoci(own, static_cast<int32_t>(begin), static_cast<int32_t>(end), parts[k]);
  });
  for (PreparedEvaluation& part : parts) AppendLoci(part, test);
  AssignLanes(prep, test);
  test.fixedLanes.assign(test.laneCount, 0);
  ForChunks(chunks, Size(test.loci), [&](std::size_t, std::size_t begin, std::size_t end) {
    CountFixedRows(prep, test, begin, end);
  });
  ChooseClassLoci(prep, test);
  SetContributions(prep, test, threads);
  return test;
}

namespace {

// The lanes of the fixed rows plus the copies of the chosen candidates.
void AddChosenCopies(const PreparedEvaluation& test, EvaluationWork& work, const int32_t* chosen) {
  work.lanes.assign(test.fixedLanes.begin(), test.fixedLanes.end());
  work.classCounts.assign(3 * test.classBlock.size(), 0);
  uint64_t* lanes = work.lanes.data();
  const PreparedEvaluation::Contribution* contributions = test.contributions.data();
  const auto candidateCount = test.candidatePopulation.size();
  for (std::size_t j = 0; j < test.slots.size(); ++j) {
    const CopySlot& slot = test.slots[j];
    const auto candidate = static_cast<std::size_t>(chosen[j]);
    if (chosen[j] < 0 || candidate >= candidateCount ||
        test.candidatePopulation[candidate] != slot.population) {
      ThrowInternalError(FillMessage("candidate {} chosen for a slot of population {}", chosen[j],
                                     slot.population + 1));
    }
    const auto copies = static_cast<uint64_t>(slot.copies);
    const int64_t end = test.contributionBegin[candidate + 1];
    for (int64_t i = test.contributionBegin[candidate]; i < end; ++i) {
      const PreparedEvaluation::Contribution& contribution = contributions[i];
      uint64_t* block = lanes + contribution.lane;
      const uint64_t unit = CountUnit(copies, contribution.first != contribution.second);
      block[0] += copies;
      block[1 + contribution.first] += unit;
      block[1 + contribution.second] += unit;
    }
    // Genotype classes at the class loci, many loci per instruction.
    const auto p = Size(slot.population);
    const std::size_t count = 3 * Size(test.classLoci[p]);
    uint16_t* counts = work.classCounts.data() + 3 * test.classBegin[p];
    const uint8_t* flags = test.classFlags.data() + test.classFlagBegin[candidate];
    const auto classCopies = static_cast<uint16_t>(slot.copies);
    for (std::size_t i = 0; i < count; ++i) {
      counts[i] = static_cast<uint16_t>(counts[i] + flags[i] * classCopies);
    }
  }
  // The classes' counts into the lanes of their blocks.
  for (std::size_t p = 0; p < Size(test.populations); ++p) {
    const auto classes = Size(test.classLoci[p]);
    if (classes == 0) continue;
    const uint16_t* counts = work.classCounts.data() + 3 * test.classBegin[p];
    const int32_t* blocks = test.classBlock.data() + test.classBegin[p];
    for (std::size_t d = 0; d < classes; ++d) {
      const uint64_t first = counts[d];
      const uint64_t second = counts[classes + d];
      const uint64_t both = counts[2 * classes + d];
      const auto place = Size(blocks[d]);
      uint64_t* block = lanes + test.blockLane[place];
      block[0] += first + second + both;
      block[1] += (2 * first + both) | (both << 32);
      if (test.blockCells[place] == 2) block[2] += (2 * second + both) | (both << 32);
    }
  }
}

}  // namespace

void CountPrepared(const PreparedEvaluation& test, EvaluationWork& work, const int32_t* chosen) {
  AddChosenCopies(test, work, chosen);
}

void EvaluatePreparedLoci(const PreparedEvaluation& test, EvaluationWork& work,
                          const int32_t* chosen) {
  AddChosenCopies(test, work, chosen);

  // Sums of every allele of every used locus, then the outcomes of those loci.
  work.usedLoci.clear();
  work.usedIndex.assign(Size(test.loci), -1);
  const std::size_t entries = test.entryLane.size();
  if (work.populationTerms.size() < entries) {
    work.populationTerms.resize(entries);
    work.populationHetTerms.resize(entries);
  }
  std::size_t alleleSums = 0;
  const uint64_t* lanes = work.lanes.data();
  const int32_t* cellBegin = test.cellBegin.data();
  const int32_t* cellEntry = test.cellEntry.data();
  // Each locus reads its lanes where they lie (population by population): a block of
  // lanes per population, so every lane is read once.
  const int32_t* cellLane = test.cellLane.data();
  const int32_t* entryLane = test.entryLane.data();
  const FisEstimator estimator = EstimatorOfTable(test.populations);
  for (std::size_t l = 0; l < Size(test.loci); ++l) {
    const auto first = Size(test.populationBegin[l]);
    const auto count = Size(test.populationBegin[l + 1]) - first;
    const auto alleleFirst = Size(test.alleleBegin[l]);
    const auto alleles = Size(test.alleleBegin[l + 1]) - alleleFirst;
    work.sampleSizes.resize(count);
    int32_t* sampleSizes = work.sampleSizes.data();
    for (std::size_t q = 0; q < count; ++q) {
      sampleSizes[q] = static_cast<int32_t>(static_cast<uint32_t>(lanes[entryLane[first + q]]));
    }
    LocusSummary summary;
    if (!SummariseLocus(sampleSizes, count, summary, estimator)) continue;
    work.usedIndex[l] = static_cast<int32_t>(work.usedLoci.size());
    SetPopulationTerms(work.terms, sampleSizes, count, work.populationTerms.data() + first,
                       work.populationHetTerms.data() + first);
    const StoredTerm* const* populationTerms = work.populationTerms.data();
    const StoredTerm* const* populationHetTerms = work.populationHetTerms.data();

    work.usedLoci.push_back(
        {summary.contributingPops, summary.meanSampleSize, alleleSums, alleleSums + alleles});
    if (work.locus.sums.size() < alleleSums + alleles) work.locus.sums.resize(alleleSums + alleles);
    AlleleSums* sums = work.locus.sums.data() + alleleSums;
    alleleSums += alleles;
    for (std::size_t a = 0; a < alleles; ++a) {
      // P1, P2, H1 in ascending population order over the populations that can carry
      // the allele; the others would add exact zeros, which leave the sums unchanged.
      Extended p1 = Extended(0);
      Extended p2 = Extended(0);
      Extended h1 = Extended(0);
      const int32_t end = cellBegin[alleleFirst + a + 1];
      for (int32_t cell = cellBegin[alleleFirst + a]; cell < end; ++cell) {
        const auto q = Size(cellEntry[cell]);
        const uint64_t value = lanes[cellLane[cell]];
        const StoredTerm* terms = populationTerms[q] + 2 * (value & 0xFFFFFFFFu);
        p1 += LoadTerm(terms[0]);
        p2 += LoadTerm(terms[1]);
        h1 += LoadTerm(populationHetTerms[q][value >> 32]);
      }
      sums[a] = AlleleSums{p1, p2, h1};
    }
  }
  work.locus.outcomes.resize(work.usedLoci.size());
  FinishLociApart(work.usedLoci, work.locus, &work.memo, work.locus.outcomes.data());
}

Extended EvaluatePrepared(const PreparedEvaluation& test, EvaluationWork& work,
                          const int32_t* chosen) {
  EvaluatePreparedLoci(test, work, chosen);
  return FisFromOutcomes(work.locus.outcomes.data(), work.usedLoci.size());
}

}  // namespace genosieve
