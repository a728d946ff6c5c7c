#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "errors.h"
#include "messages.h"
#include "support/engine_reference.h"
#include "support/reference_engine.h"

namespace genosieve {
namespace {

using testing::MakeInput;
using testing::Outcome;
using testing::RandomInput;
using testing::ReferenceFis;

int32_t Code(int32_t first, int32_t second) { return first * 1000 + second; }

bool SameBits(Extended a, Extended b) { return std::memcmp(&a, &b, 10) == 0; }

std::string ErrorOf(const EngineInput& input) {
  try {
    EvaluateFis(input);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

TEST(FisEstimate, MatchesHandDerivedValues) {
  // Two populations of two: 1/2, 1/2 and 1/1, 2/2. Both alleles: p̄ = 1/2, s² = 0,
  // h̄ = 1/2, b = 1/8, c = 1/4, so f = (1/4) / (3/4) exactly.
  const EngineInput even =
      MakeInput(2, {2, 2}, {{Code(1, 2)}, {Code(1, 2)}, {Code(1, 1)}, {Code(2, 2)}});
  EXPECT_TRUE(SameBits(EvaluateFis(even), Extended(1) / Extended(3)));

  // 1/1, 1/1, 2/2 and 1/2, 1/2, 1/1: p̄ = 2/3 and 1/3, s² = 0, h̄ = 1/3, b = 1/8,
  // c = 1/6 per allele, f = 3/7 up to the float storage of the per-locus sums.
  const EngineInput thirds = MakeInput(
      2, {3, 3},
      {{Code(1, 1)}, {Code(1, 1)}, {Code(2, 2)}, {Code(1, 2)}, {Code(2, 1)}, {Code(1, 1)}});
  EXPECT_NEAR(static_cast<double>(EvaluateFis(thirds)), 3.0 / 7.0, 1e-6);
  EXPECT_TRUE(SameBits(EvaluateFis(thirds), ReferenceFis(thirds)));
}

TEST(FisEstimate, MatchesStepByStepFormulasOnSmallTables) {
  // One locus, then two loci, with missing genotypes and several alleles.
  const EngineInput one = MakeInput(40, {4, 3},
                                    {{Code(12, 34)},
                                     {Code(34, 34)},
                                     {Code(12, 12)},
                                     {Code(5, 34)},
                                     {Code(34, 12)},
                                     {0},
                                     {Code(40, 40)}});
  EXPECT_TRUE(SameBits(EvaluateFis(one), ReferenceFis(one)));
  const EngineInput two = MakeInput(120, {3, 3},
                                    {{Code(12, 34), 0},
                                     {Code(34, 34), Code(120, 7)},
                                     {Code(12, 12), Code(7, 7)},
                                     {Code(12, 34), Code(7, 120)},
                                     {Code(34, 34), Code(120, 120)},
                                     {Code(12, 12), Code(7, 9)}});
  EXPECT_TRUE(SameBits(EvaluateFis(two), ReferenceFis(two)));
}

TEST(FisEstimate, AgreesBitForBitWithDenseReferenceOnRandomTables) {
  std::mt19937 random(12345);
  EngineWorkspace workspace;  // reused on purpose: nothing may leak between tables
  int values = 0;
  for (int trial = 0; trial < 600; ++trial) {
    const EngineInput input = RandomInput(random);
    const std::string expected = Outcome([&] { return ReferenceFis(input); });
    ASSERT_EQ(Outcome([&] { return EvaluateFis(input, workspace); }), expected)
        << "trial " << trial;
    if (expected.rfind("error", 0) != 0) ++values;
  }
  EXPECT_GT(values, 400);  // most tables give an estimate, not an error
}

// A table given a locus column at a time has the bits, or the error, of the same table
// given whole; each column is asked for once, in locus order.
TEST(FisEstimate, ColumnByColumnEqualsTheWholeTable) {
  std::mt19937 random(777);
  EngineWorkspace whole;
  EngineWorkspace byColumn;
  int errors = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const EngineInput input = RandomInput(random);
    EngineInput shape = input;
    shape.codes.clear();
    std::vector<int32_t> asked;
    const auto n = static_cast<std::size_t>(input.individuals);
    const std::string expected = Outcome([&] { return EvaluateFis(input, whole); });
    ASSERT_EQ(Outcome([&] {
                return EvaluateFisByColumn(
                    shape,
                    [&](int32_t locus, int32_t* column) {
                      asked.push_back(locus);
                      std::copy_n(input.codes.begin() + static_cast<std::ptrdiff_t>(
                                                            static_cast<std::size_t>(locus) * n),
                                  n, column);
                    },
                    byColumn);
              }),
              expected)
        << "trial " << trial;
    if (expected.rfind("error", 0) == 0) ++errors;
    for (std::size_t k = 0; k < asked.size(); ++k) {
      ASSERT_EQ(asked[k], static_cast<int32_t>(k)) << "trial " << trial;
    }
    ASSERT_EQ(asked.size(), static_cast<std::size_t>(input.loci)) << "trial " << trial;
  }
  EXPECT_GT(errors, 0);  // the errors are compared too
  // A shape that does not fit its population ends is refused as a whole table is.
  EngineInput bad = MakeInput(9, {2, 2}, {{Code(1, 2)}, {Code(1, 1)}, {Code(2, 2)}, {0}});
  bad.codes.clear();
  bad.populationEnd.back() = 3;
  EXPECT_THROW(EvaluateFisByColumn(
                   bad, [](int32_t, int32_t*) {}, byColumn),
               InternalError);
}

TEST(FisEstimate, OrderOfIndividualsWithinPopulationsDoesNotMatter) {
  std::mt19937 random(777);
  for (int trial = 0; trial < 50; ++trial) {
    EngineInput input = RandomInput(random);
    const std::string before = Outcome([&] { return EvaluateFis(input); });
    // Shuffle each population's rows (all loci together).
    const auto n = static_cast<std::size_t>(input.individuals);
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    int32_t begin = 0;
    for (int32_t end : input.populationEnd) {
      std::shuffle(order.begin() + begin, order.begin() + end, random);
      begin = end;
    }
    EngineInput shuffled = input;
    for (int32_t k = 0; k < input.loci; ++k) {
      for (std::size_t i = 0; i < n; ++i) {
        shuffled.codes[static_cast<std::size_t>(k) * n + i] =
            input.codes[static_cast<std::size_t>(k) * n + order[i]];
      }
    }
    EXPECT_EQ(Outcome([&] { return EvaluateFis(shuffled); }), before) << "trial " << trial;
  }
}

TEST(FisEstimate, UntypedPopulationLowersContributingPopulations) {
  const std::vector<std::vector<int32_t>> rows = {{Code(1, 2)}, {Code(1, 1)}, {Code(2, 2)},
                                                  {Code(1, 2)}, {Code(2, 2)}, {Code(1, 1)}};
  const Extended twoPopulations = EvaluateFis(MakeInput(3, {3, 3}, rows));
  std::vector<std::vector<int32_t>> withUntyped = rows;
  withUntyped.push_back({0});
  withUntyped.push_back({0});
  // A third population typed nowhere (r = 2), and an empty fourth one.
  EXPECT_TRUE(SameBits(EvaluateFis(MakeInput(3, {3, 3, 2, 0}, withUntyped)), twoPopulations));
}

TEST(FisEstimate, LocusTypedInOnePopulationIsSkipped) {
  const EngineInput locusOne =
      MakeInput(3, {3, 2}, {{Code(1, 2)}, {Code(1, 1)}, {Code(2, 3)}, {Code(3, 3)}, {Code(1, 3)}});
  const EngineInput withSecond = MakeInput(3, {3, 2},
                                           {{Code(1, 2), Code(1, 2)},
                                            {Code(1, 1), Code(2, 2)},
                                            {Code(2, 3), Code(1, 1)},
                                            {Code(3, 3), 0},
                                            {Code(1, 3), 0}});
  EXPECT_TRUE(SameBits(EvaluateFis(withSecond), EvaluateFis(locusOne)));
  // A locus typed in one population only, alone: nothing is used, 0/0.
  EXPECT_EQ(ErrorOf(MakeInput(3, {2, 1}, {{Code(1, 2)}, {Code(1, 1)}, {0}})),
            kInvalidOperationMessage);
}

// Two populations of 500 with `rare` copies of allele 2 among 2000, the rest allele 1;
// a third allele pair keeps the locus polymorphic in the band.
EngineInput RareAlleleInput(int32_t rare) {
  std::vector<std::vector<int32_t>> rows;
  for (int32_t i = 0; i < 1000; ++i) {
    const int32_t first = i < rare ? 2 : 1;
    const int32_t second = i % 3 == 0 ? 3 : 1;
    rows.push_back({Code(first, second)});
  }
  return MakeInput(3, {500, 500}, rows);
}

TEST(FisEstimate, AllelesOutsideTheFrequencyBandAreSkipped) {
  EXPECT_FALSE(AlleleInBand(0.0005_ext));
  EXPECT_FALSE(AlleleInBand(0.9995_ext));
  EXPECT_FALSE(AlleleInBand(0.001_ext));
  EXPECT_FALSE(AlleleInBand(0.999_ext));
  EXPECT_TRUE(AlleleInBand(0.5_ext));
  EXPECT_TRUE(AlleleInBand(0.0011_ext));

  // p̄ of allele 2 = 1/2000 = 0.0005: skipped.
  const EngineInput rare = RareAlleleInput(1);
  const Extended estimate = EvaluateFis(rare);
  EXPECT_TRUE(SameBits(estimate, ReferenceFis(rare)));
  EXPECT_FALSE(SameBits(estimate, ReferenceFis(rare, {.band = false})));

  // 1999 copies of allele 1 and one of allele 2 (p̄ = 0.9995 and 0.0005): nothing is used.
  std::vector<std::vector<int32_t>> rows(1000, {Code(1, 1)});
  rows[0] = {Code(1, 2)};
  EXPECT_EQ(ErrorOf(MakeInput(2, {500, 500}, rows)), kInvalidOperationMessage);
}

TEST(FisEstimate, NegligibleComponentsAreZeroed) {
  // r = 2, n̄ = 2, p̄ = 1/2, s² = 0, h̄ = 8e-21: c = 4e-21 is set to 0.
  const VarianceComponents tiny = ComputeComponents(2, 2.0f, 0.5_ext, Extended(0), 8e-21_ext);
  EXPECT_EQ(tiny.c, Extended(0));
  const Extended nbar = Extended(2);
  Extended u = (Extended(1) - 0.5_ext) * 0.5_ext;
  u = u - ((Extended(2) - Extended(1)) * Extended(0)) / Extended(2);
  u = u - (((Extended(2) * nbar - Extended(1)) * 8e-21_ext) / Extended(4)) / nbar;
  EXPECT_TRUE(SameBits(tiny.b, (u * nbar) / (nbar - Extended(1))));
  // c = 2e-20 stays.
  EXPECT_EQ(ComputeComponents(2, 2.0f, 0.5_ext, Extended(0), 4e-20_ext).c, 2e-20_ext);
  // b = 2 p̄ (1 - p̄) ≈ 2e-21 with p̄ = 1e-21, s² = h̄ = 0: set to 0 as well.
  EXPECT_EQ(ComputeComponents(2, 2.0f, 1e-21_ext, Extended(0), Extended(0)).b, Extended(0));
  EXPECT_NE(ComputeComponents(2, 2.0f, 1e-20_ext, Extended(0), Extended(0)).b, Extended(0));

  float sumB = 0.0f;
  float sumBC = 0.0f;
  AddComponents(tiny, sumB, sumBC);
  EXPECT_EQ(sumB, static_cast<float>(tiny.b));
  EXPECT_EQ(sumBC, static_cast<float>(tiny.b));  // c contributed nothing
  AddComponents({0.1_ext, 0.3_ext}, sumB, sumBC);
  EXPECT_EQ(sumB, static_cast<float>(0.1_ext + static_cast<Extended>(static_cast<float>(tiny.b))));
  EXPECT_EQ(sumBC, static_cast<float>(
                       (0.1_ext + static_cast<Extended>(static_cast<float>(tiny.b))) + 0.3_ext));
}

TEST(FisEstimate, FloatingPointErrorsCarryTheirMessages) {
  // n̄ = 1 with a non-zero numerator: division by zero; a zero numerator: invalid.
  EXPECT_EQ(Outcome([] { return ComputeComponents(2, 1.0f, 0.3_ext, 0.01_ext, 0.2_ext).b; }),
            std::string("error: ") + kDivisionByZeroMessage);
  EXPECT_EQ(Outcome([] { return ComputeComponents(2, 1.0f, 0.5_ext, Extended(0), Extended(1)).b; }),
            std::string("error: ") + kInvalidOperationMessage);
  EXPECT_EQ(Outcome([] { return FisFromTotals(Extended(0), Extended(0)); }),
            std::string("error: ") + kInvalidOperationMessage);
  EXPECT_EQ(Outcome([] { return FisFromTotals(0.5_ext, Extended(0)); }),
            std::string("error: ") + kDivisionByZeroMessage);
  EXPECT_TRUE(SameBits(FisFromTotals(Extended(1), Extended(3)), Extended(1) / Extended(3)));

  // A monomorphic data set: every allele outside the band, 0/0.
  EXPECT_EQ(ErrorOf(MakeInput(9, {2, 2}, {{Code(9, 9)}, {Code(9, 9)}, {Code(9, 9)}, {0}})),
            kInvalidOperationMessage);
  // No individual at all.
  EXPECT_EQ(ErrorOf(MakeInput(9, {0, 0}, {})), kInvalidOperationMessage);
}

TEST(FisEstimate, OneTypedIndividualPerPopulationDividesByZero) {
  // n̄ = 1: the first used allele divides by n̄ - 1 = 0. Its numerator is a rounding
  // remainder of a value that is 0 in exact arithmetic; with r = 3 and p̄ = 1/3 it is
  // not 0, so the division by zero comes first.
  const EngineInput input = MakeInput(3, {1, 1, 1}, {{Code(1, 2)}, {Code(2, 3)}, {Code(3, 3)}});
  EXPECT_EQ(ErrorOf(input), Outcome([&] { return ReferenceFis(input); }).substr(7));
  EXPECT_EQ(ErrorOf(input), kDivisionByZeroMessage);
  // Exact zero numerator (p̄ = 1/2 everywhere): the invalid operation.
  EXPECT_EQ(ErrorOf(MakeInput(2, {1, 1}, {{Code(1, 2)}, {Code(1, 2)}})), kInvalidOperationMessage);
}

TEST(FisEstimate, InconsistentTablesAreRefused) {
  EngineInput input = MakeInput(3, {1, 1}, {{Code(1, 2)}, {Code(2, 3)}});
  EngineInput bad = input;
  bad.codes[0] = Code(4, 1);  // allele above A
  EXPECT_NE(ErrorOf(bad).find("locus 1"), std::string::npos);
  bad.codes[0] = Code(0, 1);  // one allele missing
  EXPECT_NE(ErrorOf(bad).find("locus 1"), std::string::npos);
  bad.codes[0] = -1234;
  EXPECT_NE(ErrorOf(bad).find("locus 1"), std::string::npos);
  bad = input;
  bad.populationEnd = {1, 3};  // beyond the individuals
  EXPECT_THROW(EvaluateFis(bad), RunError);
  bad = input;
  bad.codes.pop_back();
  EXPECT_THROW(EvaluateFis(bad), RunError);
  bad = input;
  bad.highestAllele = -1;
  EXPECT_THROW(EvaluateFis(bad), RunError);
}

TEST(FisEstimate, AlleleNumbersOnlyOrderTheAlleles) {
  // The same genotypes with alleles renumbered in the same order give the same value,
  // whatever A.
  std::mt19937 random(99);
  for (int trial = 0; trial < 30; ++trial) {
    EngineInput input = RandomInput(random);
    EngineInput spread = input;
    spread.highestAllele = 999;
    const int32_t scale = 999 / std::max(1, input.highestAllele);
    for (int32_t& code : spread.codes) {
      if (code != 0) code = Code(code / 1000 * scale, code % 1000 * scale);
    }
    EXPECT_EQ(Outcome([&] { return EvaluateFis(spread); }),
              Outcome([&] { return EvaluateFis(input); }));
  }
}

}  // namespace
}  // namespace genosieve
