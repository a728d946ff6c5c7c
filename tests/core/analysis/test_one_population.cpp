// Data of one population: the overall and per-locus tests use Weir & Cockerham's
// estimator for one sample, and say so; the per-population test keeps its filler.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/run.h"
#include "errors.h"
#include "messages.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"

namespace genosieve {
namespace {

using testing::FakeRunView;
using testing::LinesOf;
using testing::ReadBytes;
using testing::ReadTsv;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::TsvTable;
using testing::WriteBytes;

// Population 1 of tests/data/clonality/hand_made.txt alone: X = 1/1 1/2, Y = 1/2 2/2, X,
// Z = 2/2 1/2, Y, X.
const std::string kOnePopulation =
    "1 2 3 1\r\nL1\r\nL2\r\n1\t11\t12\t\r\n1\t12\t22\t\r\n1\t11\t12\t\r\n1\t22\t12\t\r\n"
    "1\t12\t22\t\r\n1\t11\t12\t\r\n";

RunSettings Settings(const std::string& iterations = "30") {
  RunSettings settings;
  settings.dataPath = "data.txt";
  settings.iterationsText = iterations;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.seed = 3u;
  return settings;
}

std::string RunFailure(const std::string& data, FakeRunView& view) {
  WriteBytes("data.txt", data);
  try {
    Run(Settings(), view);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(OnePopulationRun, TheOneSampleEstimatorGivesTheFisWorkedOutByHand) {
  ScopedWorkingFolder folder;
  FakeRunView view;
  EXPECT_EQ(RunFailure(kOnePopulation, view), "");
  EXPECT_TRUE(view.Done());
  // Said once, naming the data file, before anything else.
  EXPECT_EQ(view.notices,
            std::vector<std::string>{"Data file \"data.txt\": " + messages::OneSampleEstimator()});
  const std::string results = ReadBytes("results.txt");
  EXPECT_EQ(LinesOf(results, 1, 2), std::string(messages::kOneSampleEstimatorLine) +
                                        "\r\nOverall Loci, Overall Populations\r\n");
  // The overall, locus and population tests, in that order.
  const TsvTable summary = ReadTsv(ReadBytes("Summary_results.tsv"));
  ASSERT_EQ(summary.size(), 5u);
  const auto observed = [&summary](std::size_t row) { return std::stod(summary[row][5]); };
  // Locus 1: b = 1/12 and c = 1/6 for both alleles: Fis = (1/6) / (1/2) = 1/3. Locus 2:
  // b = -1/10 and c = 1/3: Fis = (-1/5) / (7/15) = -3/7. Both: (1/6 - 1/5) / (29/30) =
  // -1/29 (up to the float sums of each locus).
  EXPECT_NEAR(observed(1), -1.0 / 29.0, 1e-7);
  EXPECT_NEAR(observed(2), 1.0 / 3.0, 1e-7);
  EXPECT_NEAR(observed(3), -3.0 / 7.0, 1e-7);
  // The clonality table's Fis of the ramets is the overall test's.
  EXPECT_EQ(ReadTsv(ReadBytes("Clonality_results.tsv"))[1][8], summary[1][5]);
  // The population test pairs the population with its filler population, 3/3 at every
  // locus. Without missing genotypes and without allele 3 in the population, the pair's
  // components are half the population's own (p̄ = p/2, s² = p²/2, h̄ = h/2; b = c = 0
  // for allele 3), so its Fis is the one-sample Fis.
  EXPECT_EQ(summary[4][0], "population");
  EXPECT_EQ(LinesOf(ReadBytes("tempmicrosat.txt"), 1, 1), "2 2 3 1 \r\n");
  EXPECT_NE(ReadBytes("tempmicrosat.txt").find("2\t003003\t003003\t\r\n"), std::string::npos);
  EXPECT_NEAR(observed(4), observed(1), 1e-12);
}

TEST(OnePopulationRun, SeveralPopulationsNeitherSayNorWriteIt) {
  ScopedWorkingFolder folder;
  FakeRunView view;
  EXPECT_EQ(RunFailure(ReadBytes(TestDataPath("clonality/hand_made.txt")), view), "");
  EXPECT_EQ(view.notices, std::vector<std::string>{});
  EXPECT_EQ(LinesOf(ReadBytes("results.txt"), 1, 1), "Overall Loci, Overall Populations\r\n");
}

TEST(OnePopulationRun, WhatTheEstimatorCannotDoEndsTheRunWithItsFrenchMessage) {
  struct Case {
    std::string rows;  // the individual lines of one population, two loci
    std::string message;
    bool locusTest;  // the overall test ends, and a locus test fails
  };
  // The line under the message says why when no locus is typed in two individuals.
  const std::string kUntypedMessage = std::string(kInvalidOperationMessage) +
                                      "\nno locus is typed in at least two individuals: Fis "
                                      "cannot be estimated from these data";
  const std::vector<Case> cases = {
      // Every genotype missing: no locus is typed in two individuals.
      {"1\t00\t00\t\r\n1\t00\t00\t\r\n1\t00\t00\t\r\n", kUntypedMessage, false},
      // Each locus typed in one individual only.
      {"1\t12\t00\t\r\n1\t00\t12\t\r\n1\t00\t00\t\r\n", kUntypedMessage, false},
      // Monomorphic: no allele within 0.001 < p < 0.999.
      {"1\t11\t22\t\r\n1\t11\t22\t\r\n1\t11\t22\t\r\n", kInvalidOperationMessage, false},
      // Locus 2 typed in one individual: the overall test uses locus 1, the test of locus 2
      // has no used locus.
      {"1\t12\t22\t\r\n1\t11\t00\t\r\n1\t22\t00\t\r\n", kInvalidOperationMessage, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    ScopedWorkingFolder folder;
    FakeRunView view;
    EXPECT_EQ(RunFailure("1 2 2 1\r\nL1\r\nL2\r\n" + c.rows, view), c.message);
    EXPECT_FALSE(view.Done());
    EXPECT_EQ(view.outcomes.size(), c.locusTest ? 2u : 0u);
  }
}

}  // namespace
}  // namespace genosieve
