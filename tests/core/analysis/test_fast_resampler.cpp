#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/fast_resampler.h"
#include "analysis/random_generator.h"
#include "analysis/resampling_plan.h"
#include "analysis/table_variant.h"
#include "engine/engine.h"
#include "errors.h"
#include "resampling_fixture.h"
#include "support/engine_reference.h"
#include "support/plain_path.h"
#include "support/reference_engine.h"

namespace genosieve {
namespace {

using testing::ClonalData;
using testing::MakeClonalData;
using testing::Outcome;
using testing::PopulationShape;

bool Same(const GenotypeTable& a, const GenotypeTable& b) {
  return a.loci == b.loci && a.population == b.population && a.cells == b.cells;
}

std::vector<PopulationShape> MixedShapes() {
  return {
      {6, {2, 1}, false},        // ordinary
      {5, {}, false},            // no clone
      {1, {4}, false},           // one genotype repeated
      {4, {1, 3, 2, 1}, false},  // every distinct genotype clonal
      {7, {2, 2, 1}, true},      // clonal, but alike at locus 1
      {9, {1}, false},
  };
}

std::vector<TableVariant> AllVariants(const HeaderNumbers& header) {
  std::vector<TableVariant> variants{{RandomizationKind::kOverall, 0}};
  for (int32_t l = 1; l <= header.loci; ++l) variants.push_back({RandomizationKind::kPerLocus, l});
  for (int32_t p = 1; p <= header.populations; ++p) {
    variants.push_back({RandomizationKind::kPerPopulation, p});
  }
  return variants;
}

std::string Describe(const TableVariant& variant) {
  return "kind " + std::to_string(static_cast<int>(variant.kind)) + " subject " +
         std::to_string(variant.subject);
}

// Fast and plain resampling, iteration by iteration: the same table as the plain one, the
// same estimate as the table read back from its file, the same generator state.
void ExpectFastEqualsPlain(const ClonalData& set, uint32_t startSeed, int iterations) {
  const ResamplingPlan plan = MakeResamplingPlan(set.data, set.index, set.clones, set.summary);
  for (const TableVariant& variant : AllVariants(set.data.header)) {
    SCOPED_TRACE(Describe(variant));
    const std::array<int32_t, 4> header = VariantHeader(set.data.header, variant);
    ResamplingTable table = SetUpResamplingTable(plan, set.clones.cloneFree);
    FastResampler fast = MakeFastResampler(plan, set.clones.cloneFree, variant);
    RandomGenerator plain{startSeed};
    RandomGenerator generator{startSeed};
    GenotypeTable lines;
    for (int i = 1; i <= iterations; ++i) {
      ResampleAllPopulations(plain, table, plan);
      lines = ResampledLines(table, plan, variant);
      ResampleFast(fast, plan, generator);
      ASSERT_EQ(generator.seed, plain.seed) << "iteration " << i;
      ASSERT_TRUE(Same(TableOf(FastResampledLines(fast, plan, set.clones.cloneFree)), lines))
          << "iteration " << i;
      // The prepared evaluation of the iteration gives the bits, or the error, of the
      // table read back from its file.
      ASSERT_EQ(Outcome([&] { return EvaluateFastIteration(fast); }),
                Outcome([&] { return EvaluateFis(EngineInputFromLines(header, lines)); }))
          << "iteration " << i;
    }
  }
}

TEST(FastResampling, EqualsPlainResamplingOnMixedPopulations) {
  const ClonalData set = MakeClonalData(MixedShapes(), 4, 12, 11);
  ExpectFastEqualsPlain(set, 0u, 40);
  ExpectFastEqualsPlain(set, 86'399'999u, 40);
}

TEST(FastResampling, EqualsPlainResamplingOnRandomData) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 12; ++trial) {
    std::vector<PopulationShape> shapes;
    const int32_t loci = 1 + static_cast<int32_t>(random() % 5);
    const int populations = 2 + static_cast<int>(random() % 5);
    for (int p = 0; p < populations; ++p) {
      PopulationShape shape;
      shape.distinct = 1 + static_cast<int32_t>(random() % 40);
      const int32_t clonal =
          static_cast<int32_t>(random() % static_cast<uint32_t>(shape.distinct + 1));
      for (int32_t k = 0; k < clonal; ++k) {
        shape.extraCopies.push_back(1 + static_cast<int32_t>(random() % 4));
      }
      shape.sameAtFirstLocus = loci > 1 && random() % 4 == 0;
      shapes.push_back(shape);
    }
    const ClonalData set = MakeClonalData(shapes, loci, 10 + static_cast<int32_t>(random() % 40),
                                          static_cast<uint32_t>(random()));
    ExpectFastEqualsPlain(set, static_cast<uint32_t>(random()), 15);
  }
}

TEST(ResampledTables, TableStartsWithDistinctGenotypesAndKeepsThem) {
  const ClonalData set = MakeClonalData(MixedShapes(), 3, 20, 3);
  const ResamplingPlan plan = MakeResamplingPlan(set.data, set.index, set.clones, set.summary);
  ResamplingTable table = SetUpResamplingTable(plan, set.clones.cloneFree);
  const ResamplingTable start = table;
  RandomGenerator generator{77};
  for (int i = 0; i < 10; ++i) {
    ResampleAllPopulations(generator, table, plan);
    for (size_t p = 0; p < table.size(); ++p) {
      for (int32_t g = 0; g < plan.distinct[p]; ++g) {
        for (int32_t l = 0; l < 3; ++l) {
          ASSERT_EQ(table[p].at(g, l), set.clones.cloneFree.at(plan.firstDistinct[p] + g, l));
        }
      }
    }
  }
  EXPECT_TRUE(Same(table[1], start[1])) << "a population without clones keeps its rows";
  // One genotype repeated: every row is that genotype.
  for (int32_t r = 0; r < plan.size[2]; ++r) {
    EXPECT_EQ(table[2].at(r, 0), set.clones.cloneFree.at(plan.firstDistinct[2], 0));
  }
}

TEST(ResampledTables, VariantsNumberPopulationsByPositionAndAddTheFiller) {
  const ClonalData set = MakeClonalData(MixedShapes(), 3, 50, 9);
  const HeaderNumbers& h = set.data.header;
  EXPECT_EQ(VariantHeader(h, {RandomizationKind::kOverall, 0}),
            (std::array<int32_t, 4>{6, 3, 50, 3}));
  EXPECT_EQ(VariantHeader(h, {RandomizationKind::kPerLocus, 2}),
            (std::array<int32_t, 4>{6, 1, 50, 3}));
  EXPECT_EQ(VariantHeader(h, {RandomizationKind::kPerPopulation, 4}),
            (std::array<int32_t, 4>{2, 3, 50, 3}));

  const GenotypeTable overall =
      ObservedLines(set.data, set.index, {RandomizationKind::kOverall, 0});
  EXPECT_EQ(overall.cells, set.data.table.cells);
  const GenotypeTable locus = ObservedLines(set.data, set.index, {RandomizationKind::kPerLocus, 2});
  ASSERT_EQ(locus.loci, 1);
  ASSERT_EQ(locus.rows(), set.data.table.rows());
  for (size_t p = 1; p < set.index.size(); ++p) {
    for (int32_t r = set.index[p - 1]; r < set.index[p]; ++r) {
      EXPECT_EQ(overall.population[static_cast<size_t>(r)], static_cast<int32_t>(p));
      EXPECT_EQ(locus.population[static_cast<size_t>(r)], static_cast<int32_t>(p));
      EXPECT_EQ(locus.at(r, 0), set.data.table.at(r, 1));
    }
  }

  const GenotypeTable focal =
      ObservedLines(set.data, set.index, {RandomizationKind::kPerPopulation, 4});
  const int32_t size = set.index[4] - set.index[3];
  ASSERT_EQ(focal.rows(), 2 * size);
  for (int32_t r = 0; r < size; ++r) {
    EXPECT_EQ(focal.population[static_cast<size_t>(r)], 1);
    EXPECT_EQ(focal.population[static_cast<size_t>(size + r)], 2);
    for (int32_t l = 0; l < 3; ++l) {
      EXPECT_EQ(focal.at(r, l), set.data.table.at(set.index[3] + r, l));
      EXPECT_EQ(focal.at(size + r, l), (AllelePair{50, 50}));
    }
  }
  const EngineInput input =
      EngineInputFromLines(VariantHeader(h, {RandomizationKind::kPerPopulation, 4}), focal);
  EXPECT_EQ(input.populationEnd, (std::vector<int32_t>{size, 2 * size}));
  EXPECT_EQ(input.codes[static_cast<size_t>(2 * size - 1)], 50050);
}

TEST(ResampledTables, EngineInputFromLinesReadsCodes) {
  GenotypeTable lines;
  lines.loci = 2;
  lines.population = {1, 1, 2};
  lines.cells = {{7, 45}, {0, 0}, {120, 7}, {34, 34}, {12, 12}, {7, 120}};
  const EngineInput input = EngineInputFromLines({2, 2, 120, 3}, lines);
  EXPECT_EQ(input.individuals, 3);
  EXPECT_EQ(input.populationEnd, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(input.codes, (std::vector<int32_t>{7045, 120007, 12012, 0, 34034, 7120}));
}

TEST(ResamplingPlan, RefusesASummaryThatDoesNotMatchTheData) {
  ClonalData set = MakeClonalData(MixedShapes(), 2, 10, 4);
  EXPECT_NO_THROW(MakeResamplingPlan(set.data, set.index, set.clones, set.summary));
  ClonalData wrongCount = set;
  wrongCount.summary.extraCopies[0][0] += 1;
  EXPECT_THROW(
      MakeResamplingPlan(wrongCount.data, wrongCount.index, wrongCount.clones, wrongCount.summary),
      RunError);
  ClonalData tooManyClonal = set;
  tooManyClonal.summary.nbClones[1] = 6;
  EXPECT_THROW(MakeResamplingPlan(tooManyClonal.data, tooManyClonal.index, tooManyClonal.clones,
                                  tooManyClonal.summary),
               RunError);
  ClonalData shortCloneFree = set;
  shortCloneFree.clones.cloneFree.population.pop_back();
  shortCloneFree.clones.cloneFree.cells.resize(shortCloneFree.clones.cloneFree.cells.size() - 2);
  EXPECT_THROW(MakeResamplingPlan(shortCloneFree.data, shortCloneFree.index, shortCloneFree.clones,
                                  shortCloneFree.summary),
               RunError);
}

}  // namespace
}  // namespace genosieve
