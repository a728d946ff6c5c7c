// The clonality and psex tables, on small data whose values are worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/run.h"
#include "data/clonal_diversity.h"
#include "data/clones.h"
#include "data/data_file_reader.h"
#include "data/genotype_probability.h"
#include "errors.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"

namespace genosieve {
namespace {

namespace fs = std::filesystem;
using testing::FakeRunView;
using testing::ReadBytes;
using testing::ReadTsv;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::TsvTable;
using testing::WriteBytes;

// tests/data/clonality/hand_made.txt, two loci, alleles 1 to 3:
//   population 1: X = 1/1 1/2, Y = 1/2 2/2, X, Z = 2/2 1/2, Y, X
//   population 2: W = 3/3 3/3, A = 1/1 1/2, B = 1/2 2/2, C = 2/2 1/1, W,
//                 D = 1/2 1/1, E = 2/2 1/2, F = 1/1 2/2
const std::string kHandMade = "clonality/hand_made.txt";

RunSettings SettingsFor(const std::string& data) {
  RunSettings settings;
  settings.dataPath = data;
  settings.iterationsText = "9";
  settings.seed = 1u;
  return settings;
}

// On one thread the tables are worked out in turn, on several while the tests start.
TEST(ClonalityTables, HandMadeDataGiveTheLiteralTables) {
  for (const int32_t threads : {1, 3}) {
    SCOPED_TRACE(threads);
    ScopedWorkingFolder folder;
    FakeRunView view;
    RunSettings settings = SettingsFor(TestDataPath(kHandMade).string());
    settings.threads = threads;
    genosieve::Run(settings, view);
    EXPECT_EQ(ReadBytes("Clonality_results.tsv"),
              ReadBytes(TestDataPath("clonality/hand_made_clonality.tsv")));
    EXPECT_EQ(ReadBytes("Psex_results.tsv"),
              ReadBytes(TestDataPath("clonality/hand_made_psex.tsv")));
  }
}

double Number(const std::string& cell) { return std::stod(cell); }

// Each value of the literal tables is the fraction worked out by hand (the Fis values up
// to the float storage of the estimator's per-locus sums).
TEST(ClonalityTables, ValuesAreTheFractionsWorkedOutByHand) {
  const TsvTable clonality = ReadTsv(ReadBytes(TestDataPath("clonality/hand_made_clonality.tsv")));
  ASSERT_EQ(clonality.size(), 4u);
  const std::vector<std::string>& one = clonality[1];
  const std::vector<std::string>& two = clonality[2];
  const std::vector<std::string>& all = clonality[3];
  const auto near = [](const std::string& cell, double expected) {
    EXPECT_NEAR(Number(cell), expected, 4e-16 * std::fabs(expected)) << cell;
  };
  // Population 1: sizes 3, 2, 1. R = 2/5; D = 1 - (6 + 2) / 30 = 11/15; Dmin = 2 x 9 / 30,
  // Dmax = 2 x 6 / (3 x 5), evenness = (11/15 - 9/15) / (12/15 - 9/15) = 2/3.
  EXPECT_EQ(one[2], "6");
  EXPECT_EQ(one[3], "3");
  near(one[4], 2.0 / 5.0);
  near(one[5], 11.0 / 15.0);
  near(one[6], 2.0 / 3.0);
  // Pareto points (ln 1, ln 3), (ln 2, ln 2), (ln 3, ln 1): the means are equal,
  // m = (ln 2 + ln 3) / 3, and the slope is sum dx dy / sum dx^2.
  const double m = (std::log(2.0) + std::log(3.0)) / 3.0;
  const double dx[3] = {-m, std::log(2.0) - m, std::log(3.0) - m};
  const double dy[3] = {std::log(3.0) - m, std::log(2.0) - m, -m};
  near(one[7], -(dx[0] * dy[0] + dx[1] * dy[1] + dx[2] * dy[2]) /
                   (dx[0] * dx[0] + dx[1] * dx[1] + dx[2] * dx[2]));
  // One sample, six individuals. Locus 1 (p = 2/3, 1/3; h = 1/3): b = 6/5 (2/9 - 11/72) =
  // 1/12 per allele, c = 1/6; locus 2 (p = 1/3, 2/3; h = 2/3): b = 6/5 (2/9 - 22/72) =
  // -1/10, c = 1/3. Fis = (1/6 - 1/5) / (1/2 + 7/15) = -1/29.
  EXPECT_NEAR(Number(one[8]), -1.0 / 29.0, 1e-7);
  // Genets X, Y, Z: b = 1/6, 1/6 (c = 1/6) and -1/12, -1/12 (c = 1/3): Fis = 1/7.
  EXPECT_NEAR(Number(one[9]), 1.0 / 7.0, 1e-7);

  // Population 2: sizes 2 and six times 1. R = 6/7, D = 1 - 2/56 = 27/28; D = Dmin, so the
  // evenness is 0; Pareto points (0, ln 7), (ln 2, 0): beta = ln 7 / ln 2.
  near(two[4], 6.0 / 7.0);
  near(two[5], 27.0 / 28.0);
  EXPECT_EQ(two[6], "0");
  near(two[7], std::log2(7.0));
  // Eight individuals: at each locus allele 3 (p = 1/4, h = 0) gives b = 3/14, alleles 1
  // and 2 (p = 3/8, h = 1/4) b = 15/112, c = 1/8: Fis = (27/28) / (27/28 + 1/2) = 27/41.
  EXPECT_NEAR(Number(two[8]), 27.0 / 41.0, 1e-7);
  // Seven genets: b = 1/7 (c = 0), 11/84, 11/84 (c = 1/7) per locus: Fis = 17/29.
  EXPECT_NEAR(Number(two[9]), 17.0 / 29.0, 1e-7);

  // Both side by side: sizes 3, 2, 2 and seven times 1; N = 14, G = 10. R = 9/13,
  // D = 1 - 10/182 = 86/91, evenness = (182 - 10 - 9 x 18) x 10 / (9 x 16) = 25/36.
  EXPECT_EQ(all[0], "all");
  EXPECT_EQ(all[2], "14");
  EXPECT_EQ(all[3], "10");
  near(all[4], 9.0 / 13.0);
  near(all[5], 86.0 / 91.0);
  near(all[6], 25.0 / 36.0);

  const TsvTable psex = ReadTsv(ReadBytes(TestDataPath("clonality/hand_made_psex.tsv")));
  ASSERT_EQ(psex.size(), 4u);
  const auto twelve = [](const std::string& cell, double expected) {
    EXPECT_NEAR(Number(cell), expected, 6e-12 * expected) << cell;
  };
  // Round robin in population 1: at locus 1 the classes over locus 2 are 1/2 (X first)
  // and 2/2 (Y first): alleles 1 1 1 2, p = 3/4, 1/4. At locus 2 the three genotypes
  // differ at locus 1: X, Y, Z give 1 2 2 2 1 2, p = 1/3, 2/3. F over the genets: locus 1
  // He = 3/2 x 1/2, Ho = 1/3, F = 5/9; locus 2 He = 3/2 x 4/9 = Ho, F = 0.
  // X (3 copies): pgen = (3/4)^2 x 2 (1/3)(2/3) = 1/4; pgen_fis = 3/4 (3/4 + 1/4 x 5/9) x
  // 4/9 = 8/27; psex = P(Bin(6, 1/4) >= 2) = 1909/4096.
  EXPECT_EQ(psex[1][2], "1");
  EXPECT_EQ(psex[1][3], "3");
  twelve(psex[1][4], 0.25);
  twelve(psex[1][5], 8.0 / 27.0);
  twelve(psex[1][6], 1909.0 / 4096.0);
  twelve(psex[1][7],
         1.0 - std::pow(19.0 / 27.0, 6) - 6.0 * (8.0 / 27.0) * std::pow(19.0 / 27.0, 5));
  EXPECT_EQ(psex[1][8], "possibly distinct genets");
  // Y (2 copies): pgen = 2 (3/4)(1/4) (2/3)^2 = 1/6; pgen_fis = 3/8 (1 - 5/9) x 4/9 = 2/27;
  // psex = 1 - (5/6)^6, the chance that none of six others is Y.
  twelve(psex[2][4], 1.0 / 6.0);
  twelve(psex[2][5], 2.0 / 27.0);
  twelve(psex[2][6], 1.0 - std::pow(5.0 / 6.0, 6));
  twelve(psex[2][7], 1.0 - std::pow(25.0 / 27.0, 6));
  // Population 2: the kept genotypes are W, A, B, C at both loci, so allele 3 has
  // p = 2/8; F = 1 - (2/7) / (5/7) = 3/5 at both. W: pgen = (1/4)^4 = 1/256, psex =
  // 1 - (255/256)^8 < 0.05; pgen_fis = (1/4 (1/4 + 3/4 x 3/5))^2 = 49/1600.
  EXPECT_EQ(psex[3][0], "2");
  twelve(psex[3][4], 1.0 / 256.0);
  twelve(psex[3][5], 49.0 / 1600.0);
  twelve(psex[3][6], 1.0 - std::pow(255.0 / 256.0, 8));
  twelve(psex[3][7], 1.0 - std::pow(1551.0 / 1600.0, 8));
  EXPECT_EQ(psex[3][8], "one genet");
}

// The data read, indexed and grouped as the Run does it.
struct Grouped {
  DataFile data;
  PopulationIndex index;
  CloneDetection clones;
};

Grouped GroupedData(const std::string& text) {
  WriteBytes("data.txt", text);
  Grouped g{ReadDataFile("data.txt"), {}, {}};
  g.index = BuildPopulationIndex(g.data);
  g.clones = DetectClones(g.data.table, g.index);
  return g;
}

TEST(RoundRobin, KeepsTheFirstIndividualOfEachGenotypeOverTheOtherLoci) {
  ScopedWorkingFolder folder;
  const Grouped g = GroupedData(ReadBytes(TestDataPath(kHandMade)));
  const std::vector<LocusAlleleCounts> one =
      RoundRobinCounts(g.data.table, g.index[0], g.index[1], g.clones.genotypeNumber);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[0].alleles, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(one[0].copies, (std::vector<int64_t>{3, 1}));
  EXPECT_EQ(one[1].copies, (std::vector<int64_t>{2, 4}));
  EXPECT_EQ(one[1].total, 6);
  const std::vector<LocusAlleleCounts> two =
      RoundRobinCounts(g.data.table, g.index[1], g.index[2], g.clones.genotypeNumber);
  for (const LocusAlleleCounts& counts : two) {
    EXPECT_EQ(counts.alleles, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(counts.copies, (std::vector<int64_t>{3, 3, 2}));
    EXPECT_EQ(counts.CopiesOf(3), 2);
    EXPECT_EQ(counts.CopiesOf(4), 0);
  }
  const std::vector<double> f =
      GenetInbreeding(g.data.table, g.index[0], g.index[1], g.clones.genotypeNumber);
  EXPECT_NEAR(f[0], 5.0 / 9.0, 1e-15);
  EXPECT_NEAR(f[1], 0.0, 1e-15);
  for (const double locus :
       GenetInbreeding(g.data.table, g.index[1], g.index[2], g.clones.genotypeNumber)) {
    EXPECT_NEAR(locus, 3.0 / 5.0, 1e-15);
  }
}

TEST(RoundRobin, GenotypesDifferingOnlyAtALocusShareAClassThere) {
  ScopedWorkingFolder folder;
  // 2/2 3/3 4/4 and 1/1 3/3 4/4 differ only at locus 1, so locus 1 keeps only the first;
  // at loci 2 and 3 they differ at locus 1 and both are kept. The missing genotype of the
  // third individual takes part in its class like any other, and counts no allele.
  const Grouped g = GroupedData(
      "1 3 4 1\r\nL1\r\nL2\r\nL3\r\n1\t22\t33\t44\t\r\n1\t11\t33\t44\t\r\n1\t00\t33\t34\t\r\n"
      "1\t22\t33\t44\t\r\n");
  const std::vector<LocusAlleleCounts> counts =
      RoundRobinCounts(g.data.table, 0, 4, g.clones.genotypeNumber);
  EXPECT_EQ(counts[0].alleles, (std::vector<int32_t>{2}));
  EXPECT_EQ(counts[0].total, 2);
  EXPECT_EQ(counts[1].copies, (std::vector<int64_t>{6}));
  EXPECT_EQ(counts[2].alleles, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(counts[2].copies, (std::vector<int64_t>{1, 5}));
}

TEST(ClonalDiversity, UndefinedValuesAreLeftOut) {
  // One ramet: no R, D, evenness or beta.
  const ClonalDiversity single = DescribeClonalDiversity({1});
  EXPECT_EQ(single.ramets, 1);
  EXPECT_FALSE(single.richness || single.simpsonD || single.simpsonEvenness || single.paretoBeta);
  // One genet of five ramets: R = 0, D = 0, no evenness, a single size.
  const ClonalDiversity clone = DescribeClonalDiversity({5});
  EXPECT_EQ(*clone.richness, 0.0);
  EXPECT_EQ(*clone.simpsonD, 0.0);
  EXPECT_FALSE(clone.simpsonEvenness || clone.paretoBeta);
  // Every ramet its own genet: R = 1, D = 1, no evenness (G = N), a single size.
  const ClonalDiversity distinct = DescribeClonalDiversity({1, 1, 1, 1});
  EXPECT_EQ(*distinct.richness, 1.0);
  EXPECT_EQ(*distinct.simpsonD, 1.0);
  EXPECT_FALSE(distinct.simpsonEvenness || distinct.paretoBeta);
  // Equal clones are as even as G genets can be: evenness 1. Two sizes, 4 and 4 then 1:
  // D = 1 - 24/56 = 4/7, Dmax = 2 x 8 / (3 x 7), Dmin = 2 x 13 / 56.
  EXPECT_NEAR(*DescribeClonalDiversity({2, 2, 2}).simpsonEvenness, 1.0, 1e-15);
  const ParetoFit fit = FitPareto({4, 1, 4});
  ASSERT_EQ(fit.points.size(), 2u);
  EXPECT_EQ(fit.points[0].size, 1);
  EXPECT_EQ(fit.points[0].genets, 3);
  EXPECT_EQ(fit.points[1].size, 4);
  EXPECT_EQ(fit.points[1].genets, 2);
  EXPECT_NEAR(*fit.slope, std::log(2.0 / 3.0) / std::log(4.0), 1e-15);
  EXPECT_NEAR(*fit.intercept, std::log(3.0), 1e-15);
}

TEST(FormatLogProbability, TwelveSignificantDigitsAndNoUnderflow) {
  EXPECT_EQ(FormatLogProbability(std::nullopt), "");
  EXPECT_EQ(FormatLogProbability(-std::numeric_limits<double>::infinity()), "0");
  EXPECT_EQ(FormatLogProbability(0.0), "1");
  EXPECT_EQ(FormatLogProbability(std::log(0.25)), "0.25");
  EXPECT_EQ(FormatLogProbability(std::log(1.0 / 6.0)), "0.166666666667");
  EXPECT_EQ(FormatLogProbability(std::log(0.000123)), "0.000123");
  EXPECT_EQ(FormatLogProbability(std::log(1e-5)), "1e-05");
  EXPECT_EQ(FormatLogProbability(std::log(4.5e-300)), "4.5e-300");
  // e^-1000 = 10^-434.2944819032518...: 10^0.70551809674819... = 5.07595889755...
  EXPECT_EQ(FormatLogProbability(-1000.0), "5.07595889755e-435");
  // e^-10^6 = 10^-434294.48190325182...: 10^0.51809674817... = 3.2968314780886...; with an
  // exponent of six digits the logarithm holds nine of the mantissa.
  EXPECT_EQ(FormatLogProbability(-1e6), "3.29683148e-434295");
}

TEST(GenotypeProbabilities, DegenerateLociAndFrequencies) {
  ScopedWorkingFolder folder;
  // Population 1: one locus; the first individual, kept by the round robin (no other
  // locus tells the individuals apart), is missing: the frequencies there are undefined,
  // and so are pgen and psex of the repeated 1/1.
  // Population 2: every genotype missing: one genet of 3 ramets, typed nowhere: pgen = 1
  // and psex = 1.
  const Grouped g = GroupedData(
      "2 1 2 1\r\nL1\r\n1\t00\t\r\n1\t11\t\r\n1\t11\t\r\n1\t12\t\r\n2\t00\t\r\n2\t00\t\r\n"
      "2\t00\t\r\n");
  const std::vector<GenotypeProbability> p =
      RepeatedGenotypeProbabilities(g.data.table, g.index, g.clones);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_FALSE(p[0].logPgen || p[0].logPgenFis || p[0].logPsex || p[0].logPsexFis);
  EXPECT_EQ(p[0].copies, 2);
  EXPECT_EQ(*p[1].logPgen, 0.0);
  EXPECT_EQ(*p[1].logPsex, 0.0);
  EXPECT_EQ(p[1].ramets, 3);
  const ClonalityResults results =
      DescribeClonality(g.data, g.index, g.clones, SummariseClones(g.clones, g.index));
  EXPECT_EQ(results.psex[0].verdict, PsexVerdict::kUndefined);
  EXPECT_EQ(PsexCells(results.psex[0]),
            (std::vector<std::string>{"1", "pop1", "1", "2", "", "", "", "", ""}));
  EXPECT_EQ(VerdictText(results.psex[1].verdict), "possibly distinct genets");
  // No Fis where no locus is typed in two individuals, nor for one genet.
  EXPECT_FALSE(results.rows[1].fisRamets || results.rows[1].fisGenets);
  EXPECT_EQ(ClonalityCells(results.rows[1]),
            (std::vector<std::string>{"2", "pop2", "3", "1", "0", "0", "", "", "", ""}));
}

TEST(ClonalityTables, APopulationOfOneRametDefinesNothingButItsCounts) {
  ScopedWorkingFolder folder;
  // Population 2 has a single individual: no R, D, evenness, beta or Fis, and no repeat.
  const Grouped g = GroupedData("2 1 2 1\r\nL1\r\n1\t12\t\r\n1\t11\t\r\n1\t22\t\r\n2\t12\t\r\n");
  const ClonalityResults results =
      DescribeClonality(g.data, g.index, g.clones, SummariseClones(g.clones, g.index));
  ASSERT_EQ(results.rows.size(), 3u);
  EXPECT_EQ(ClonalityCells(results.rows[1]),
            (std::vector<std::string>{"2", "pop2", "1", "1", "", "", "", "", "", ""}));
  EXPECT_TRUE(results.psex.empty());
  EXPECT_EQ(results.cloneSizes[1].fit.points.size(), 1u);
  // Population 1 alone: 1/2, 1/1, 2/2, one sample of three: p = 1/2, h = 1/3 for both
  // alleles, b = 3/2 (1/4 - 5/36) = 1/6, c = 1/6: Fis = 1/2.
  EXPECT_NEAR(*results.rows[0].fisRamets, 0.5, 1e-7);
}

TEST(GenotypeProbabilities, AnAlleleTheRoundRobinLeavesOutCountsOnce) {
  ScopedWorkingFolder folder;
  // A = 1/1 3/3 4/4, B = 2/2 3/3 4/4 twice, C = 1/1 3/4 3/4. B differs from A only at
  // locus 1, so locus 1 keeps A and C: alleles 1 1 1 1, none of B's allele 2, which then
  // counts as one copy of four. Loci 2 and 3 keep A, B, C: p(3) = 5/6 at locus 2, p(4) =
  // 5/6 at locus 3. pgen(B) = (1/4)^2 (5/6)^2 (5/6)^2 = 625/20736, not 0.
  const Grouped g = GroupedData(
      "1 3 4 1\r\nL1\r\nL2\r\nL3\r\n1\t11\t33\t44\t\r\n1\t22\t33\t44\t\r\n"
      "1\t22\t33\t44\t\r\n1\t11\t34\t34\t\r\n");
  EXPECT_EQ(RoundRobinCounts(g.data.table, 0, 4, g.clones.genotypeNumber)[0].CopiesOf(2), 0);
  const std::vector<GenotypeProbability> p =
      RepeatedGenotypeProbabilities(g.data.table, g.index, g.clones);
  ASSERT_EQ(p.size(), 1u);
  const double pgen = 625.0 / 20736.0;
  EXPECT_NEAR(std::exp(*p[0].logPgen), pgen, 1e-15);
  EXPECT_NEAR(std::exp(*p[0].logPsex), 1.0 - std::pow(1.0 - pgen, 4), 1e-15);
}

TEST(GenotypeProbabilities, AHomozygoteUnderHeterozygoteExcessHasNoPgenFis) {
  ScopedWorkingFolder folder;
  // Ten genets at locus 1: 1/1 twice (one genet) and nine 2/3: p(1) = 1/10, F = 1 - 0.9 /
  // 0.65 < 0, and p (p + (1 - p) F) < 0. Locus 2 tells every genet apart, so locus 1 keeps
  // them all; at locus 2 the nine 2/3 are one class, kept as its first (2/2): p(1) = 1/2
  // there, and pgen = (1/10)^2 (1/2)^2.
  std::string text = "1 2 9 1\r\nL1\r\nL2\r\n1\t11\t11\t\r\n1\t11\t11\t\r\n";
  for (int i = 2; i <= 9; ++i) text += "1\t23\t" + std::to_string(i) + std::to_string(i) + "\t\r\n";
  text += "1\t23\t12\t\r\n";
  const Grouped g = GroupedData(text);
  const std::vector<GenotypeProbability> p =
      RepeatedGenotypeProbabilities(g.data.table, g.index, g.clones);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_NEAR(std::exp(*p[0].logPgen), 0.0025, 1e-17);
  EXPECT_FALSE(p[0].logPgenFis || p[0].logPsexFis);
}

TEST(GenotypeProbabilities, ManyLociGiveAPgenFarBelowTheRangeOfADouble) {
  // 400 loci, 1000 ramets: a genet W of two ramets, 1/1 at every locus, and 998 genets
  // told apart at loci 1 and 2 (a/b with a in 2..35, b in 40..69), 2/2 elsewhere. The
  // round robin keeps every genet at every locus: p(1) = 2 / 1998. pgen = 999^-800,
  // about 10^-2400, and psex = 1 - (1 - pgen)^1000 = 1000 pgen to far below rounding.
  const int32_t loci = 400;
  GenotypeTable table;
  table.loci = loci;
  const auto add = [&table](const std::vector<AllelePair>& row) {
    table.population.push_back(1);
    table.cells.insert(table.cells.end(), row.begin(), row.end());
  };
  const std::vector<AllelePair> w(loci, AllelePair{1, 1});
  add(w);
  add(w);
  for (int32_t i = 0; i < 998; ++i) {
    std::vector<AllelePair> row(loci, AllelePair{2, 2});
    row[0] = row[1] = PairOf(2 + i / 30, 40 + i % 30);
    add(row);
  }
  const PopulationIndex index = {0, table.rows()};
  const CloneDetection clones = DetectClones(table, index);
  const std::vector<GenotypeProbability> p = RepeatedGenotypeProbabilities(table, index, clones);
  ASSERT_EQ(p.size(), 1u);
  const double logPgen = -800.0 * std::log(999.0);
  EXPECT_NEAR(*p[0].logPgen, logPgen, 1e-12 * -logPgen);
  EXPECT_NEAR(*p[0].logPsex, std::log(1000.0) + logPgen, 1e-12 * -logPgen);
  // F = 1 at the 398 loci without a heterozygous genet: W's terms there are p, not p^2.
  EXPECT_GT(*p[0].logPgenFis, *p[0].logPgen);
  EXPECT_TRUE(std::isfinite(*p[0].logPsexFis));
  // Written with its exponent, never as 0: ln pgen / ln 10 = -2399.3...
  const std::string pgen = FormatLogProbability(p[0].logPgen);
  EXPECT_EQ(pgen.substr(pgen.find('e')), "e-2400");
  EXPECT_NEAR(std::stod(pgen.substr(0, pgen.find('e'))),
              std::pow(10.0, logPgen / std::log(10.0) + 2400.0), 1e-9);
}

// A view that notes, when told the clonality results, which tables are in place and
// whether a test has started.
struct WatchingView : FakeRunView {
  std::vector<bool> tablesInPlace;
  bool testStarted = false;
  void ClonalityFound(const ClonalityResults& results) override {
    FakeRunView::ClonalityFound(results);
    tablesInPlace.push_back(fs::exists("Clonality_results.tsv") && fs::exists("Psex_results.tsv"));
    testStarted = !calls.empty();
  }
};

TEST(ClonalityRun, TheViewIsToldOnceTheTablesAreInPlaceBeforeTheFirstTest) {
  ScopedWorkingFolder folder;
  WatchingView view;
  RunSettings settings = SettingsFor(TestDataPath(kHandMade).string());
  settings.perPopulationAnalysis = true;
  genosieve::Run(settings, view);
  EXPECT_EQ(view.tablesInPlace, std::vector<bool>{true});
  EXPECT_FALSE(view.testStarted);
  const ClonalityResults& results = view.clonality.at(0);
  ASSERT_EQ(results.rows.size(), 3u);
  // What the view gets is what the tables hold.
  const TsvTable clonality = ReadTsv(ReadBytes("Clonality_results.tsv"));
  for (std::size_t row = 0; row < results.rows.size(); ++row) {
    EXPECT_EQ(ClonalityCells(results.rows[row]), clonality[row + 1]);
  }
  const TsvTable psex = ReadTsv(ReadBytes("Psex_results.tsv"));
  ASSERT_EQ(results.psex.size(), 3u);
  for (std::size_t row = 0; row < results.psex.size(); ++row) {
    EXPECT_EQ(PsexCells(results.psex[row]), psex[row + 1]);
  }
  EXPECT_EQ(clonality[0], ClonalityHeader());
  EXPECT_EQ(psex[0], PsexHeader());
  ASSERT_EQ(results.cloneSizes.size(), 2u);
  EXPECT_EQ(results.cloneSizes[1].name, "pop2");
  EXPECT_EQ(results.cloneSizes[1].fit.points.size(), 2u);
  // The row of all populations has the overall test's Fis: its estimator, on all ramets;
  // the Run hands it over, and working it out again gives the same value.
  EXPECT_EQ(clonality[3][8], ReadTsv(ReadBytes("Summary_results.tsv"))[1][5]);
  const Grouped g = GroupedData(ReadBytes(TestDataPath(kHandMade)));
  const ClonalityResults again =
      DescribeClonality(g.data, g.index, g.clones, SummariseClones(g.clones, g.index));
  EXPECT_EQ(ClonalityCells(again.rows[2]), ClonalityCells(results.rows[2]));
  // Population 2 has 1 repeated genotype of psex < 0.05, population 1 two above it.
  EXPECT_EQ(CountPossiblyDistinct(results, 1).possiblyDistinct, 2);
  EXPECT_EQ(CountPossiblyDistinct(results, 2).possiblyDistinct, 0);
  EXPECT_EQ(CountPossiblyDistinct(results, 2).repeated, 1);
}

TEST(ClonalityRun, AStopBeforeTheTablesLeavesThePreviousOnesWhole) {
  ScopedWorkingFolder folder;
  WriteBytes("Clonality_results.tsv", "the previous Run's table\r\n");
  WriteBytes("Psex_results.tsv", "the previous Run's psex\r\n");
  FakeRunView view;
  // The first question once the clone-free file is written comes before the tables.
  view.stopWhen = [] { return fs::exists("Withoutrepeats_results.txt"); };
  EXPECT_THROW(genosieve::Run(SettingsFor(TestDataPath(kHandMade).string()), view), RunStopped);
  EXPECT_TRUE(fs::exists("Withoutrepeats_results.txt"));
  EXPECT_EQ(ReadBytes("Clonality_results.tsv"), "the previous Run's table\r\n");
  EXPECT_EQ(ReadBytes("Psex_results.tsv"), "the previous Run's psex\r\n");
  EXPECT_TRUE(view.clonality.empty());
  for (const auto& entry : fs::directory_iterator(".")) {
    EXPECT_NE(entry.path().filename().string().rfind(".genosieve-", 0), 0u) << entry.path();
  }
}

TEST(ClonalityRun, ATableNameTakenByAFolderStopsTheRunBeforeAnyFileIsWritten) {
  ScopedWorkingFolder folder;
  fs::create_directory("Psex_results.tsv");
  FakeRunView view;
  try {
    genosieve::Run(SettingsFor(TestDataPath(kHandMade).string()), view);
    ADD_FAILURE() << "the Run went on";
  } catch (const RunError& error) {
    EXPECT_NE(std::string(error.what()).find("\"Psex_results.tsv\""), std::string::npos)
        << error.what();
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"Psex_results.tsv"});
}

}  // namespace
}  // namespace genosieve
