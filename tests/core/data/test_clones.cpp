#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "data/clones.h"
#include "data/genotype_table.h"
#include "errors.h"

namespace genosieve {
namespace {

using Genotype = std::vector<AllelePair>;

// Appends one individual of the given population number to the table.
void AddRow(GenotypeTable& table, int32_t population, const Genotype& genotype) {
  table.population.push_back(population);
  table.cells.insert(table.cells.end(), genotype.begin(), genotype.end());
}

// Population index from changes of the population number.
PopulationIndex IndexOf(const GenotypeTable& table) {
  PopulationIndex index{0};
  for (int32_t row = 1; row < table.rows(); ++row) {
    if (table.population[static_cast<size_t>(row)] !=
        table.population[static_cast<size_t>(row - 1)]) {
      index.push_back(row);
    }
  }
  index.push_back(table.rows());
  return index;
}

Genotype RowOf(const GenotypeTable& table, int32_t row) {
  Genotype genotype;
  for (int32_t locus = 0; locus < table.loci; ++locus) genotype.push_back(table.at(row, locus));
  return genotype;
}

// The clone matrix algorithm taken literally: working copy with a marked allele,
// n x n matrix over all rows, removal by shifting, matrix reduction and row sums. It
// is quadratic and serves as the reference the detector must agree with.
CloneDetection ReferenceDetection(const GenotypeTable& table, const PopulationIndex& index) {
  constexpr int32_t kMark = -999;
  const int32_t n = table.rows();
  const int32_t loci = table.loci;
  const size_t populations = index.size() - 1;
  GenotypeTable work = table;
  // Number rows by population position, as the clone-free table does.
  for (size_t k = 1; k <= populations; ++k) {
    for (int32_t row = index[k - 1]; row < index[k]; ++row) {
      work.population[static_cast<size_t>(row)] = static_cast<int32_t>(k);
    }
  }
  std::vector<std::vector<int>> matrix(static_cast<size_t>(n),
                                       std::vector<int>(static_cast<size_t>(n), 0));
  for (int32_t i = 0; i < n; ++i) matrix[static_cast<size_t>(i)][static_cast<size_t>(i)] = 1;
  std::vector<int32_t> sum(static_cast<size_t>(n), 0);
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t locus = 0; locus < loci; ++locus) {
      sum[static_cast<size_t>(i)] += table.at(i, locus).first + table.at(i, locus).second;
    }
  }
  for (size_t k = 1; k <= populations; ++k) {
    for (int32_t i = index[k - 1]; i < index[k] - 1; ++i) {
      for (int32_t j = i + 1; j < index[k]; ++j) {
        if (sum[static_cast<size_t>(i)] != sum[static_cast<size_t>(j)]) continue;
        bool equal = true;
        for (int32_t locus = 0; locus < loci && equal; ++locus) {
          const AllelePair a = table.at(i, locus);
          const AllelePair b = table.at(j, locus);
          equal = (a.first == b.first && a.second == b.second) ||
                  (a.first == b.second && a.second == b.first);
        }
        if (!equal) continue;
        matrix[static_cast<size_t>(i)][static_cast<size_t>(j)] = 1;
        matrix[static_cast<size_t>(j)][static_cast<size_t>(i)] = 1;
        work.at(i, 0).first = kMark;
      }
    }
  }
  // Removal: shift every later row up over a marked one.
  int32_t r = 0;
  int32_t m = 0;
  while (r < n - 1) {
    if (work.at(r, 0).first == kMark) {
      ++m;
      for (int32_t row = r; row < n - 1; ++row) {
        work.population[static_cast<size_t>(row)] = work.population[static_cast<size_t>(row + 1)];
        for (int32_t locus = 0; locus < loci; ++locus)
          work.at(row, locus) = work.at(row + 1, locus);
      }
    } else {
      ++r;
    }
  }
  CloneDetection reference;
  reference.cloneFree.loci = loci;
  for (int32_t row = 0; row < n - m; ++row) {
    AddRow(reference.cloneFree, work.population[static_cast<size_t>(row)], RowOf(work, row));
  }
  // Reduction and row sums.
  for (int32_t row = 0; row < n; ++row) {
    for (int32_t j = 0; j < n; ++j) {
      if (j != row && matrix[static_cast<size_t>(row)][static_cast<size_t>(j)] == 1) {
        std::fill(matrix[static_cast<size_t>(j)].begin(), matrix[static_cast<size_t>(j)].end(), 0);
      }
    }
  }
  reference.extraCopies.resize(populations);
  for (size_t k = 1; k <= populations; ++k) {
    for (int32_t row = index[k - 1]; row < index[k] - 1; ++row) {
      int32_t rowSum = 0;
      for (const int cell : matrix[static_cast<size_t>(row)]) rowSum += cell;
      if (rowSum > 1) reference.extraCopies[k - 1].push_back(rowSum - 1);
    }
  }
  return reference;
}

// Same unordered allele pair at every locus.
bool ReferenceSame(const GenotypeTable& table, int32_t i, int32_t j) {
  for (int32_t locus = 0; locus < table.loci; ++locus) {
    const AllelePair a = table.at(i, locus);
    const AllelePair b = table.at(j, locus);
    if (!((a.first == b.first && a.second == b.second) ||
          (a.first == b.second && a.second == b.first))) {
      return false;
    }
  }
  return true;
}

void ExpectSameDetection(const CloneDetection& actual, const CloneDetection& expected) {
  EXPECT_EQ(actual.cloneFree.loci, expected.cloneFree.loci);
  EXPECT_EQ(actual.cloneFree.population, expected.cloneFree.population);
  EXPECT_EQ(actual.cloneFree.cells, expected.cloneFree.cells);
  EXPECT_EQ(actual.extraCopies, expected.extraCopies);
}

// The genotype numbers of every row: rows of one population share a number exactly when
// they carry the same genotype; the clonal genotypes take 1..NbClones with the repeat
// counts of the extra-copy row, in its order; the others follow in data order.
void ExpectConsistentGenotypeNumbers(const GenotypeTable& table, const PopulationIndex& index,
                                     const CloneDetection& clones) {
  ASSERT_EQ(clones.genotypeNumber.size(), static_cast<size_t>(table.rows()));
  for (size_t k = 1; k < index.size(); ++k) {
    const std::vector<int32_t>& extra = clones.extraCopies[k - 1];
    std::vector<int32_t> copies;
    std::vector<int32_t> firstRow;
    for (int32_t row = index[k - 1]; row < index[k]; ++row) {
      const int32_t number = clones.genotypeNumber[static_cast<size_t>(row)];
      ASSERT_GE(number, 1);
      if (static_cast<size_t>(number) > copies.size()) {
        copies.resize(static_cast<size_t>(number), 0);
        firstRow.resize(static_cast<size_t>(number), -1);
      }
      if (copies[static_cast<size_t>(number) - 1]++ == 0) {
        firstRow[static_cast<size_t>(number) - 1] = row;
      }
      for (int32_t other = index[k - 1]; other < row; ++other) {
        const bool sameNumber = clones.genotypeNumber[static_cast<size_t>(other)] == number;
        const bool sameGenotype = ReferenceSame(table, other, row);
        EXPECT_EQ(sameNumber, sameGenotype) << "rows " << other << " and " << row;
      }
    }
    const size_t clonal = extra.size();
    for (size_t g = 0; g < copies.size(); ++g) {
      if (g < clonal) {
        EXPECT_EQ(copies[g], extra[g] + 1) << "population " << k << ", genotype " << g + 1;
      } else {
        EXPECT_EQ(copies[g], 1) << "population " << k << ", genotype " << g + 1;
        if (g > clonal) {
          EXPECT_LT(firstRow[g - 1], firstRow[g]);
        }
      }
    }
  }
}

// The population X, Y, X, Z, Y, X (data number 5) followed by a population without
// clones (data number 9) whose first individual carries X again.
struct WorkedExample {
  Genotype x1{{120, 124}, {7, 45}};
  Genotype x2{{124, 120}, {45, 7}};  // X with both loci written in the other order
  Genotype x3{{124, 120}, {7, 45}};
  Genotype y{{124, 124}, {0, 0}};
  Genotype z{{120, 120}, {45, 7}};
  Genotype w{{124, 124}, {45, 7}};
  GenotypeTable table;
  WorkedExample() {
    table.loci = 2;
    for (const Genotype* g : {&x1, &y, &x2, &z, &y, &x3}) AddRow(table, 5, *g);
    AddRow(table, 9, x1);
    AddRow(table, 9, w);
  }
};

TEST(DetectClones, WorkedExampleKeepsLastMembersAndCountsInFirstOccurrenceOrder) {
  const WorkedExample example;
  const PopulationIndex index = IndexOf(example.table);
  ASSERT_EQ(index, (PopulationIndex{0, 6, 8}));
  const CloneDetection clones = DetectClones(example.table, index);

  EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{2, 1}, {}}));
  ASSERT_EQ(clones.cloneFree.rows(), 5);
  EXPECT_EQ(clones.cloneFree.loci, 2);
  EXPECT_EQ(clones.cloneFree.population, (std::vector<int32_t>{1, 1, 1, 2, 2}));
  EXPECT_EQ(RowOf(clones.cloneFree, 0), example.z);
  EXPECT_EQ(RowOf(clones.cloneFree, 1), example.y);
  EXPECT_EQ(RowOf(clones.cloneFree, 2), example.x3);  // the last member, as written
  EXPECT_EQ(RowOf(clones.cloneFree, 3), example.x1);
  EXPECT_EQ(RowOf(clones.cloneFree, 4), example.w);

  const CloneSummary summary = SummariseClones(clones, index);
  EXPECT_EQ(summary.size, (std::vector<int32_t>{6, 2}));
  EXPECT_EQ(summary.extraCopies, clones.extraCopies);
  EXPECT_EQ(summary.nbClones, (std::vector<int32_t>{2, 0}));
  EXPECT_EQ(summary.totalExtraCopies, (std::vector<int32_t>{3, 0}));
  EXPECT_EQ(summary.ndGenotypes, (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(summary.distinctOffset, (std::vector<int32_t>{0, 3, 5}));

  ExpectSameDetection(clones, ReferenceDetection(example.table, index));
  // X, Y are the clonal genotypes 1 and 2, Z the third; in population 9 both are single.
  EXPECT_EQ(clones.genotypeNumber, (std::vector<int32_t>{1, 2, 1, 3, 2, 1, 1, 2}));
}

TEST(DetectClones, AlleleOrderWithinALocusDoesNotMatter) {
  GenotypeTable table;
  table.loci = 1;
  AddRow(table, 1, {{120, 124}});
  AddRow(table, 1, {{124, 120}});
  const CloneDetection clones = DetectClones(table, {0, 2});
  EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{1}}));
  ASSERT_EQ(clones.cloneFree.rows(), 1);
  EXPECT_EQ(clones.cloneFree.at(0, 0), (AllelePair{124, 120}));
}

TEST(DetectClones, GenotypesOfOtherPopulationsAreNeverClones) {
  GenotypeTable table;
  table.loci = 2;
  const Genotype g{{101, 102}, {103, 104}};
  AddRow(table, 1, g);
  AddRow(table, 2, g);
  AddRow(table, 3, g);
  const PopulationIndex index{0, 1, 2, 3};
  const CloneDetection clones = DetectClones(table, index);
  EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{}, {}, {}}));
  EXPECT_EQ(clones.cloneFree.population, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(clones.cloneFree.cells, table.cells);
  const CloneSummary summary = SummariseClones(clones, index);
  EXPECT_EQ(summary.nbClones, (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(summary.ndGenotypes, (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(summary.distinctOffset, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(DetectClones, PopulationWithoutClonesKeepsItsRowsInDataOrder) {
  GenotypeTable table;
  table.loci = 2;
  // Equal allele sums, and the first three even share their alleles: no clones.
  AddRow(table, 4, {{100, 200}, {300, 400}});
  AddRow(table, 4, {{100, 300}, {200, 400}});
  AddRow(table, 4, {{300, 400}, {100, 200}});
  AddRow(table, 4, {{0, 300}, {300, 400}});
  const PopulationIndex index{0, 4};
  const CloneDetection clones = DetectClones(table, index);
  EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{}}));
  EXPECT_EQ(clones.cloneFree.cells, table.cells);
  EXPECT_EQ(clones.cloneFree.population, (std::vector<int32_t>{1, 1, 1, 1}));
  const CloneSummary summary = SummariseClones(clones, index);
  EXPECT_EQ(summary.nbClones, (std::vector<int32_t>{0}));
  EXPECT_EQ(summary.totalExtraCopies, (std::vector<int32_t>{0}));
  EXPECT_EQ(summary.ndGenotypes, (std::vector<int32_t>{4}));
  EXPECT_EQ(summary.distinctOffset, (std::vector<int32_t>{0, 4}));
}

TEST(DetectClones, OneGenotypeRepeatedKeepsOnlyTheLastIndividual) {
  for (const int32_t s : {2, 3, 10, 1000}) {
    GenotypeTable table;
    table.loci = 3;
    for (int32_t row = 0; row < s; ++row) {
      // Alternate allele orders; the last row is recognisable by its order.
      const bool swapped = row % 2 == 1;
      AddRow(table, 1,
             swapped ? Genotype{{12, 11}, {0, 0}, {999, 1}} : Genotype{{11, 12}, {0, 0}, {1, 999}});
    }
    const CloneDetection clones = DetectClones(table, {0, s});
    EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{s - 1}})) << s;
    ASSERT_EQ(clones.cloneFree.rows(), 1) << s;
    EXPECT_EQ(RowOf(clones.cloneFree, 0), RowOf(table, s - 1)) << s;
    const CloneSummary summary = SummariseClones(clones, {0, s});
    EXPECT_EQ(summary.nbClones, (std::vector<int32_t>{1}));
    EXPECT_EQ(summary.totalExtraCopies, (std::vector<int32_t>{s - 1}));
    EXPECT_EQ(summary.ndGenotypes, (std::vector<int32_t>{1}));
  }
}

TEST(DetectClones, MissingDataTakePartAsAlleleZero) {
  GenotypeTable table;
  table.loci = 2;
  AddRow(table, 1, {{0, 0}, {0, 0}});
  AddRow(table, 1, {{0, 0}, {0, 0}});
  AddRow(table, 1, {{0, 0}, {0, 7}});  // a missing allele never equals a typed one
  AddRow(table, 1, {{0, 0}, {7, 7}});
  AddRow(table, 1, {{0, 0}, {7, 0}});
  const CloneDetection clones = DetectClones(table, {0, 5});
  EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{1, 1}}));
  EXPECT_EQ(clones.cloneFree.rows(), 3);
  EXPECT_EQ(RowOf(clones.cloneFree, 0), RowOf(table, 1));
  EXPECT_EQ(RowOf(clones.cloneFree, 1), RowOf(table, 3));
  EXPECT_EQ(RowOf(clones.cloneFree, 2), RowOf(table, 4));
}

TEST(DetectClones, PopulationOfOneIndividual) {
  GenotypeTable table;
  table.loci = 1;
  AddRow(table, 1, {{1, 2}});
  AddRow(table, 1, {{1, 2}});
  AddRow(table, 2, {{1, 2}});
  const PopulationIndex index{0, 2, 3};
  const CloneDetection clones = DetectClones(table, index);
  EXPECT_EQ(clones.extraCopies, (std::vector<std::vector<int32_t>>{{1}, {}}));
  EXPECT_EQ(clones.cloneFree.population, (std::vector<int32_t>{1, 2}));
  const CloneSummary summary = SummariseClones(clones, index);
  EXPECT_EQ(summary.size, (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(summary.ndGenotypes, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(summary.distinctOffset, (std::vector<int32_t>{0, 1, 2}));

  GenotypeTable single;
  single.loci = 1;
  AddRow(single, 3, {{5, 6}});
  const CloneDetection alone = DetectClones(single, {0, 1});
  EXPECT_EQ(alone.extraCopies, (std::vector<std::vector<int32_t>>{{}}));
  EXPECT_EQ(alone.cloneFree.cells, single.cells);
  EXPECT_EQ(alone.cloneFree.population, (std::vector<int32_t>{1}));
}

TEST(DetectClones, InconsistentInputIsAnInternalErrorNotACrash) {
  GenotypeTable table;
  table.loci = 2;
  AddRow(table, 1, {{1, 2}, {3, 4}});
  AddRow(table, 1, {{1, 2}, {3, 4}});
  EXPECT_THROW(DetectClones(table, {0, 3}), InternalError);  // index past the table
  EXPECT_THROW(DetectClones(table, {0}), InternalError);
  EXPECT_THROW(DetectClones(table, {1, 2}), InternalError);
  EXPECT_THROW(DetectClones(table, {0, 2, 1, 2}), InternalError);
  table.cells.pop_back();
  EXPECT_THROW(DetectClones(table, {0, 2}), InternalError);

  GenotypeTable good;
  good.loci = 1;
  AddRow(good, 1, {{1, 2}});
  const CloneDetection clones = DetectClones(good, {0, 1});
  EXPECT_THROW(SummariseClones(clones, {0, 1, 1}), InternalError);  // populations differ
}

// Random tables drawn from a small pool of genotypes, with allele orders swapped at
// random, so that clones are many and some populations have none.
GenotypeTable RandomTable(std::mt19937& random, int32_t loci, int32_t populations) {
  GenotypeTable table;
  table.loci = loci;
  std::uniform_int_distribution<int32_t> allele(0, 3);
  std::uniform_int_distribution<int32_t> size(1, 40);
  std::uniform_int_distribution<int32_t> poolSize(1, 12);
  std::bernoulli_distribution swap(0.5);
  for (int32_t p = 0; p < populations; ++p) {
    std::vector<Genotype> pool(static_cast<size_t>(poolSize(random)));
    for (Genotype& g : pool) {
      for (int32_t locus = 0; locus < loci; ++locus)
        g.push_back(PairOf(allele(random), allele(random)));
    }
    std::uniform_int_distribution<size_t> pick(0, pool.size() - 1);
    const int32_t n = size(random);
    for (int32_t row = 0; row < n; ++row) {
      Genotype g = pool[pick(random)];
      for (AllelePair& pair : g) {
        if (swap(random)) std::swap(pair.first, pair.second);
      }
      // Population numbers as a data file may give them: not positions, not sorted.
      AddRow(table, 100 - 3 * p, g);
    }
  }
  return table;
}

TEST(DetectClones, AgreesWithThePairwiseCloneMatrixOnRandomTables) {
  std::mt19937 random(20240611);
  int32_t clonalGenotypes = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t loci = 1 + trial % 4;
    const int32_t populations = 1 + trial % 5;
    const GenotypeTable table = RandomTable(random, loci, populations);
    const PopulationIndex index = IndexOf(table);
    ASSERT_EQ(index.size(), static_cast<size_t>(populations) + 1);
    const CloneDetection clones = DetectClones(table, index);
    const CloneDetection reference = ReferenceDetection(table, index);
    ExpectSameDetection(clones, reference);
    ExpectConsistentGenotypeNumbers(table, index, clones);
    const CloneSummary summary = SummariseClones(clones, index);
    for (size_t p = 0; p < summary.size.size(); ++p) {
      clonalGenotypes += summary.nbClones[p];
      EXPECT_EQ(summary.size[p], summary.ndGenotypes[p] + summary.totalExtraCopies[p]);
    }
    if (HasFailure()) FAIL() << "trial " << trial;
  }
  EXPECT_GT(clonalGenotypes, 300);  // the tables did exercise clones
}

// A table large enough to be hashed and copied on several threads (too large for the
// quadratic reference): the same detection whatever the threads.
TEST(DetectClones, ALargeTableGivesTheSameClonesWhateverTheThreads) {
  std::mt19937 random(20261210);
  GenotypeTable table;
  table.loci = 40;
  std::uniform_int_distribution<int32_t> allele(1, 3);
  std::bernoulli_distribution repeat(0.3);
  std::bernoulli_distribution swap(0.5);
  for (int32_t p = 1; p <= 3; ++p) {
    std::vector<Genotype> earlier;
    for (int32_t row = 0; row < 4000; ++row) {
      Genotype g;
      if (!earlier.empty() && repeat(random)) {
        g = earlier[std::uniform_int_distribution<size_t>(0, earlier.size() - 1)(random)];
        for (AllelePair& pair : g) {
          if (swap(random)) std::swap(pair.first, pair.second);
        }
      } else {
        for (int32_t locus = 0; locus < table.loci; ++locus) {
          g.push_back(PairOf(allele(random), allele(random)));
        }
        earlier.push_back(g);
      }
      AddRow(table, p, g);
    }
  }
  ASSERT_GE(table.cells.size(), size_t{3} << 17);  // three chunks of the smallest size
  const PopulationIndex index = IndexOf(table);
  const CloneDetection alone = DetectClones(table, index, 1);
  ExpectConsistentGenotypeNumbers(table, index, alone);
  EXPECT_GT(alone.cloneFree.rows(), 3 * 2600);  // about 30 % are repeats
  EXPECT_LT(alone.cloneFree.rows(), 3 * 3000);
  for (int threads : {2, 3, 8}) {
    SCOPED_TRACE(threads);
    const CloneDetection several = DetectClones(table, index, threads);
    ExpectSameDetection(several, alone);
    EXPECT_EQ(several.genotypeNumber, alone.genotypeNumber);
  }
}

}  // namespace
}  // namespace genosieve
