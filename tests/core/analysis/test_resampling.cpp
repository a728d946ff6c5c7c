#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <type_traits>
#include <vector>

#include "analysis/random_generator.h"
#include "analysis/resampling.h"
#include "support/plain_path.h"

namespace genosieve {
namespace {

TEST(TBase, PlainItemWithIndexThenKey) {
  static_assert(std::is_standard_layout_v<TBase>);
  static_assert(!std::is_polymorphic_v<TBase>);
  static_assert(std::is_same_v<decltype(TBase::Index), int32_t>);
  static_assert(std::is_same_v<decltype(TBase::Key), double>);
  EXPECT_EQ(offsetof(TBase, Index), 0u);
  EXPECT_LT(offsetof(TBase, Index), offsetof(TBase, Key));
}

TEST(TBase, ThreeWayKeyComparison) {
  EXPECT_GT(CompareKeys(TBase{1, 0.75}, TBase{2, 0.25}), 0);
  EXPECT_LT(CompareKeys(TBase{1, 0.25}, TBase{2, 0.75}), 0);
  EXPECT_EQ(CompareKeys(TBase{1, 0.5}, TBase{2, 0.5}), 0);
}

TEST(PermutationList, FourItemsFromSeedZero) {
  RandomGenerator generator{0};
  const std::vector<TBase> list = DrawPermutationList(generator, 4);
  ASSERT_EQ(list.size(), 4u);
  const int32_t order[] = {1, 2, 4, 3};
  const uint32_t keys[] = {1u, 134775814u, 870078620u, 3698175007u};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(list[i].Index, order[i]);
    EXPECT_EQ(list[i].Key, keys[i] / 4294967296.0);
  }
  EXPECT_EQ(generator.seed, 870078620u);
}

// A one-locus population whose genotypes are told apart by their first allele.
GenotypeTable Rows(const std::vector<int32_t>& genotypes, int32_t size) {
  GenotypeTable rows;
  rows.loci = 2;
  rows.population.assign(static_cast<size_t>(size), 1);
  rows.cells.assign(static_cast<size_t>(size) * 2, AllelePair{});
  for (size_t i = 0; i < genotypes.size(); ++i) {
    rows.at(static_cast<int32_t>(i), 0) = PairOf(genotypes[i], genotypes[i] + 1);
    rows.at(static_cast<int32_t>(i), 1) = PairOf(genotypes[i] + 2, 0);
  }
  return rows;
}

bool Same(const GenotypeTable& a, const GenotypeTable& b) {
  return a.loci == b.loci && a.population == b.population && a.cells == b.cells;
}

std::vector<int32_t> FirstAlleles(const GenotypeTable& rows) {
  std::vector<int32_t> alleles;
  for (int32_t r = 0; r < rows.rows(); ++r) alleles.push_back(rows.at(r, 0).first);
  return alleles;
}

TEST(ResamplePopulation, ExamplePopulationFromSeedZero) {
  // X, Y, X, Z, Y, X: clone-free Z, Y, X; extra copies 2 (X) and 1 (Y).
  const int32_t X = 10, Y = 20, Z = 30;
  GenotypeTable rows = Rows({Z, Y, X}, 6);
  RandomGenerator generator{0};
  ResamplePopulation(generator, rows, 3, 2, {2, 1, 0});
  EXPECT_EQ(FirstAlleles(rows), (std::vector<int32_t>{Z, Y, X, Z, Z, Y}));
  EXPECT_TRUE(Same(rows, Rows({Z, Y, X, Z, Z, Y}, 6))) << "whole multilocus genotypes are copied";
  EXPECT_EQ(generator.seed, 3698175007u) << "three draws";
}

TEST(ResamplePopulation, FourDistinctThreeClonal) {
  GenotypeTable rows = Rows({1, 2, 3, 4}, 7);
  RandomGenerator generator{0};
  ResamplePopulation(generator, rows, 4, 3, {1, 1, 1});
  EXPECT_EQ(FirstAlleles(rows), (std::vector<int32_t>{1, 2, 3, 4, 1, 2, 4}));
}

TEST(ResamplePopulation, WithoutClonesOrWithOneGenotypeRowsStayAndDrawsAreMade) {
  GenotypeTable rows = Rows({5, 6, 7}, 3);
  const GenotypeTable before = rows;
  RandomGenerator generator{99};
  ResamplePopulation(generator, rows, 3, 0, {});
  EXPECT_TRUE(Same(rows, before));
  EXPECT_EQ(generator.seed, ApplyJump(RandomJumpAhead(3), 99u));

  GenotypeTable single = Rows({8, 8, 8, 8}, 4);
  const GenotypeTable observed = single;
  for (int i = 0; i < 20; ++i) {
    ResamplePopulation(generator, single, 1, 1, {3});
    EXPECT_TRUE(Same(single, observed));
  }
}

TEST(DrawClonalPlaces, MatchesTheSortedPermutationList) {
  std::mt19937 pick(2024);
  std::vector<uint64_t> scratch;
  for (int trial = 0; trial < 20000; ++trial) {
    const int32_t distinct = 1 + static_cast<int32_t>(pick() % (trial < 19500 ? 80 : 3000));
    const int32_t clonal = static_cast<int32_t>(pick() % static_cast<uint32_t>(distinct + 1));
    const uint32_t start = static_cast<uint32_t>(pick());
    RandomGenerator listGenerator{start};
    const std::vector<TBase> list = DrawPermutationList(listGenerator, distinct);
    std::vector<int32_t> places(static_cast<size_t>(clonal), -1);
    RandomGenerator generator{start};
    DrawClonalPlaces(generator, distinct, clonal, places.data(), scratch);
    ASSERT_EQ(generator.seed, listGenerator.seed) << "exactly D draws";
    for (int32_t k = 0; k < clonal; ++k) {
      ASSERT_EQ(places[static_cast<size_t>(k)], list[static_cast<size_t>(k)].Index)
          << "D " << distinct << " C " << clonal << " place " << k;
    }
  }
}

}  // namespace
}  // namespace genosieve
