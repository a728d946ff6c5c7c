#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/outcome_files.h"
#include "analysis/randomization_tests.h"
#include "analysis/run.h"
#include "analysis/table_variant.h"
#include "analysis/test_outcome.h"
#include "data/clones.h"
#include "data/data_file_reader.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "messages.h"
#include "reports/number_format.h"
#include "reports/results_file.h"
#include "support/current_folder.h"
#include "support/fake_run_view.h"
#include "support/plain_path.h"
#include "support/reference_engine.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::FakeRunView;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

// One individual of a data file: its population number and one allele pair per locus.
struct Individual {
  int32_t population;
  std::vector<AllelePair> genotypes;
};

std::string Allele(int32_t allele) {
  std::string text = std::to_string(allele);
  return std::string(3 - text.size(), '0') + text;
}

std::string DataText(int32_t populations, int32_t loci, int32_t highestAllele,
                     const std::vector<Individual>& individuals) {
  std::string text = std::to_string(populations) + " " + std::to_string(loci) + " " +
                     std::to_string(highestAllele) + " 3\r\n";
  for (int32_t l = 1; l <= loci; ++l) text += "Loc" + std::to_string(l) + "\r\n";
  for (const Individual& individual : individuals) {
    text += std::to_string(individual.population);
    for (const AllelePair& pair : individual.genotypes) {
      text += '\t';
      text += Allele(pair.first);
      text += Allele(pair.second);
    }
    text += "\r\n";
  }
  return text;
}

// Random data with clones: each population draws distinct genotypes over a few alleles
// and repeats some of them. `clonal` false gives no repeated genotype at all.
std::vector<Individual> RandomIndividuals(int32_t populations, int32_t loci, int32_t perPopulation,
                                          bool clonal, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Individual> individuals;
  for (int32_t p = 1; p <= populations; ++p) {
    std::vector<Individual> population;
    while (static_cast<int32_t>(population.size()) < perPopulation) {
      if (clonal && !population.empty() && random() % 3 == 0) {
        population.push_back(population[random() % population.size()]);
        continue;
      }
      Individual individual{p * 10, {}};  // population numbers as read: 10, 20, ...
      for (int32_t l = 0; l < loci; ++l) {
        individual.genotypes.push_back(
            PairOf(1 + static_cast<int32_t>(random() % 6), 1 + static_cast<int32_t>(random() % 6)));
      }
      bool repeated = false;
      for (const Individual& other : population) {
        bool same = true;
        for (int32_t l = 0; l < loci && same; ++l) {
          const AllelePair a = other.genotypes[static_cast<size_t>(l)];
          const AllelePair b = individual.genotypes[static_cast<size_t>(l)];
          same = (a == b) || (a.first == b.second && a.second == b.first);
        }
        repeated = repeated || same;
      }
      if (!repeated) population.push_back(individual);
    }
    individuals.insert(individuals.end(), population.begin(), population.end());
  }
  return individuals;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

RunSettings Settings(const std::string& iterations, bool pValueFiles, bool perLocus,
                     bool perPopulation) {
  RunSettings settings;
  settings.dataPath = "data.txt";
  settings.iterationsText = iterations;
  settings.resultName = "out.txt";
  settings.createPValueFiles = pValueFiles;
  settings.perLocusAnalysis = perLocus;
  settings.perPopulationAnalysis = perPopulation;
  settings.seed = 4321u;
  return settings;
}

// The value of a results-file line "value TAB word".
std::string ValueOf(const std::string& line, const std::string& word) {
  const size_t tab = line.find('\t');
  EXPECT_NE(tab, std::string::npos) << line;
  EXPECT_EQ(line.substr(tab + 1), word) << line;
  return line.substr(0, tab);
}

TEST(RandomizationRun, ResultsFileOfBothAnalysesHasTheWorkedLayout) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 2, 20, RandomIndividuals(2, 2, 12, true, 1)));
  FakeRunView view;
  genosieve::Run(Settings("30", true, true, true), view);
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 32u);
  const std::map<size_t, std::string> fixed = {{1, "Overall Loci, Overall Populations"},
                                               {2, "Fis"},
                                               {6, ""},
                                               {7, "Per Locus Analyses"},
                                               {8, "locus: 1"},
                                               {9, "Fis"},
                                               {13, ""},
                                               {14, "locus: 2"},
                                               {15, "Fis"},
                                               {19, ""},
                                               {20, "Per Population Analyses"},
                                               {21, "Population: 1"},
                                               {22, "Fis"},
                                               {26, ""},
                                               {27, ""},
                                               {28, "Population: 2"},
                                               {29, "Fis"}};
  for (const auto& [number, text] : fixed) EXPECT_EQ(lines[number - 1], text) << number;
  for (size_t body : {3u, 10u, 16u, 23u, 30u}) {
    ValueOf(lines[body - 1], "Observed");
    ValueOf(lines[body], "Expected");
    const double p = std::stod(ValueOf(lines[body + 1], "p-value"));
    EXPECT_GT(p, 0.0);
    EXPECT_LE(p, 1.0);
    // A P-value is a count over 31.
    EXPECT_NEAR(p * 31, std::round(p * 31), 1e-9);
  }
  for (const char* name :
       {"overall p-values_out.txt", "Locus1p-values_out.txt", "Locus2p-values_out.txt",
        "Pop1p-values_out.txt", "Pop2p-values_out.txt"}) {
    const std::vector<std::string> pLines = Lines(ReadBytes(name));
    ASSERT_EQ(pLines.size(), 31u) << name;
    EXPECT_EQ(pLines[0], "iteration\tp-value");
    EXPECT_EQ(pLines[1].substr(0, 2), "1\t");
  }
  // The overall p-value file and the chart hold the same running P-values.
  const std::vector<std::string> overall = Lines(ReadBytes("overall p-values_out.txt"));
  ASSERT_EQ(view.points.size(), 30u);
  EXPECT_EQ(overall[30], "30\t" + ValueOf(lines[4], "p-value"));
  for (size_t i = 1; i <= 30; ++i) {
    EXPECT_NEAR(std::stod(overall[i].substr(overall[i].find('\t') + 1)), view.points[i - 1], 1e-14);
  }
  // The running P-value after one iteration is 1 or one half.
  EXPECT_TRUE(overall[1] == "1\t1" || overall[1] == "1\t0.5") << overall[1];
}

TEST(RandomizationRun, ViewSeesRangesPositionsChartAndDone) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 2, 20, RandomIndividuals(2, 2, 10, true, 2)));
  FakeRunView view;
  genosieve::Run(Settings("3", false, true, true), view);
  const std::vector<std::string> test = {"range 0 4", "position 1", "position 2", "position 3"};
  std::vector<std::string> expected = {"test overall 1/1 overall"};
  expected.insert(expected.end(), test.begin(), test.end());
  expected.insert(expected.end(), {"clear", "points 3", "show"});
  // Each test is announced with the name of its locus (from the data file) or population.
  for (const char* started : {"test locus 1/2 Loc1", "test locus 2/2 Loc2",
                              "test population 1/2 pop1", "test population 2/2 pop2"}) {
    expected.push_back(started);
    expected.insert(expected.end(), test.begin(), test.end());
  }
  expected.push_back("message done ! ");
  EXPECT_EQ(view.calls, expected);
}

// Records, at each finished test, how many lines the results file holds.
struct SectionCountingView : FakeRunView {
  std::vector<size_t> resultLines;
  void TestFinished(const TestOutcome& outcome) override {
    resultLines.push_back(Lines(ReadBytes("out.txt")).size());
    FakeRunView::TestFinished(outcome);
  }
};

TEST(RandomizationOutcomes, EveryTestReportsItsOutcomeAfterItsSection) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 2, 20, RandomIndividuals(2, 2, 12, true, 1)));
  SectionCountingView view;
  // With figures, which show each test's central 95 %.
  RunSettings settings = Settings("30", false, true, true);
  settings.drawFigures = true;
  genosieve::Run(settings, view);
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 32u);
  ASSERT_EQ(view.outcomes.size(), 5u);
  // Each test is reported once its section is in the results file.
  EXPECT_EQ(view.resultLines, (std::vector<size_t>{5, 12, 18, 25, 32}));

  const std::vector<std::pair<RandomizationKind, std::string>> subjects = {
      {RandomizationKind::kOverall, "overall"},
      {RandomizationKind::kPerLocus, "Loc1"},
      {RandomizationKind::kPerLocus, "Loc2"},
      {RandomizationKind::kPerPopulation, "pop1"},
      {RandomizationKind::kPerPopulation, "pop2"}};
  const size_t bodies[] = {3, 10, 16, 23, 30};
  for (size_t t = 0; t < view.outcomes.size(); ++t) {
    const TestOutcome& outcome = view.outcomes[t];
    SCOPED_TRACE("test " + std::to_string(t));
    EXPECT_EQ(outcome.kind, subjects[t].first);
    EXPECT_EQ(outcome.name, subjects[t].second);
    EXPECT_EQ(outcome.index, t == 0 ? 1 : static_cast<int32_t>(2 - t % 2));
    EXPECT_EQ(outcome.iterations, 30);
    EXPECT_EQ(outcome.seed, 4321u);
    // The values the results file reports.
    const size_t body = bodies[t];
    EXPECT_EQ(FormatNumber(outcome.observed, '.'), ValueOf(lines[body - 1], "Observed"));
    EXPECT_EQ(FormatNumber(outcome.expected, '.'), ValueOf(lines[body], "Expected"));
    EXPECT_EQ(FormatNumber(outcome.pLower, '.'), ValueOf(lines[body + 1], "p-value"));
    const Extended lowerCount = outcome.pLower * Extended(31);
    const Extended upperCount = outcome.pUpper * Extended(31);
    EXPECT_NEAR(static_cast<double>(lowerCount), std::round(static_cast<double>(lowerCount)), 1e-9);
    EXPECT_NEAR(static_cast<double>(upperCount), std::round(static_cast<double>(upperCount)), 1e-9);
    // Every value is in one tail at least, the observed one in both.
    EXPECT_GE(std::llround(static_cast<double>(lowerCount + upperCount)), 32);
    EXPECT_LE(outcome.centralRange.low, outcome.centralRange.high);
    if (t > 0) {
      // Only the overall test reports its randomized values.
      EXPECT_TRUE(outcome.randomizedFis.empty());
      EXPECT_TRUE(outcome.notAboveObserved.empty());
      continue;
    }
    // Those the tally summed, in iteration order, and the central 95 % of them.
    ASSERT_EQ(outcome.randomizedFis.size(), 30u);
    ASSERT_EQ(outcome.notAboveObserved.size(), 30u);
    Extended sum = outcome.observed;
    int64_t notAbove = 1;
    for (size_t i = 0; i < 30; ++i) {
      sum += outcome.randomizedFis[i];
      if (outcome.notAboveObserved[i]) ++notAbove;
    }
    EXPECT_NEAR(static_cast<double>(sum / Extended(31)), static_cast<double>(outcome.expected),
                1e-12);
    EXPECT_EQ(std::llround(static_cast<double>(lowerCount)), notAbove);
    std::vector<double> sorted = outcome.randomizedFis;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(outcome.centralRange.low, sorted[0]);  // k = 1 of 30
    EXPECT_EQ(outcome.centralRange.high, sorted[29]);
  }
  // The overall test and each locus test hold every individual, a population test its own.
  const TestOutcome& overall = view.outcomes[0];
  EXPECT_EQ(overall.individuals, 24);
  for (size_t t : {1u, 2u}) {
    EXPECT_EQ(view.outcomes[t].individuals, overall.individuals);
    EXPECT_EQ(view.outcomes[t].distinctGenotypes, overall.distinctGenotypes);
  }
  EXPECT_EQ(view.outcomes[3].individuals, 12);
  EXPECT_EQ(view.outcomes[4].individuals, 12);
  EXPECT_EQ(view.outcomes[3].distinctGenotypes + view.outcomes[4].distinctGenotypes,
            overall.distinctGenotypes);
  EXPECT_LT(overall.distinctGenotypes, overall.individuals);  // the data have clones

  // Without figures no test keeps the bounds of its central 95 %; the rest is the same.
  SectionCountingView plain;
  genosieve::Run(Settings("30", false, true, true), plain);
  EXPECT_EQ(Lines(ReadBytes("out.txt")), lines);
  ASSERT_EQ(plain.outcomes.size(), view.outcomes.size());
  for (size_t t = 0; t < plain.outcomes.size(); ++t) {
    EXPECT_TRUE(std::isnan(plain.outcomes[t].centralRange.low));
    EXPECT_TRUE(std::isnan(plain.outcomes[t].centralRange.high));
    EXPECT_EQ(plain.outcomes[t].pLower, view.outcomes[t].pLower);
    EXPECT_EQ(plain.outcomes[t].randomizedFis, view.outcomes[t].randomizedFis);
  }
  // A view that shows the ranges (the window) asks for them without figures.
  SectionCountingView ranged;
  RunSettings rangedSettings = Settings("30", false, true, true);
  rangedSettings.keepCentralRanges = true;
  genosieve::Run(rangedSettings, ranged);
  EXPECT_EQ(Lines(ReadBytes("out.txt")), lines);
  ASSERT_EQ(ranged.outcomes.size(), view.outcomes.size());
  for (size_t t = 0; t < ranged.outcomes.size(); ++t) {
    EXPECT_EQ(ranged.outcomes[t].centralRange.low, view.outcomes[t].centralRange.low);
    EXPECT_EQ(ranged.outcomes[t].centralRange.high, view.outcomes[t].centralRange.high);
  }
  // The chart's running P-values follow from the overall test's randomized values.
  ASSERT_EQ(view.points.size(), 30u);
  Extended notAbove = Extended(1);
  for (size_t i = 0; i < 30; ++i) {
    if (overall.notAboveObserved[i]) notAbove += Extended(1);
    EXPECT_EQ(static_cast<double>(notAbove / static_cast<Extended>(i + 2)), view.points[i]) << i;
  }
}

TEST(RandomizationOutcomes, NoIterationGivesBothTailsOne) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 2, 20, RandomIndividuals(2, 2, 10, true, 3)));
  FakeRunView view;
  RunSettings settings = Settings("0", false, true, true);
  settings.seed.reset();
  genosieve::Run(settings, view);
  ASSERT_EQ(view.outcomes.size(), 5u);
  for (const TestOutcome& outcome : view.outcomes) {
    EXPECT_TRUE(outcome.randomizedFis.empty());
    EXPECT_EQ(outcome.expected, outcome.observed);
    EXPECT_EQ(outcome.pLower, Extended(1));
    EXPECT_EQ(outcome.pUpper, Extended(1));
    // Without a seed the generator starts from the clock: a millisecond of the UTC day.
    EXPECT_LT(outcome.seed, 86'400'000u);
  }
}

// The upper-tail P-value of a tally of these randomized values after `observed`.
Extended UpperTailPValue(Extended observed, const std::vector<Extended>& randomized) {
  TallyState state = MakeTallyState(static_cast<int32_t>(randomized.size()));
  state.observedFlag = true;
  UpdateTally(state, observed);
  for (Extended value : randomized) {
    ++state.iterationIndex;
    UpdateTally(state, value);
  }
  return state.upperPValue();
}

TEST(RandomizationOutcomes, UpperTailCountsTheObservedValueAndTies) {
  // Above, tie, below, above: the observed value, the tie and both values above count.
  EXPECT_EQ(UpperTailPValue(0.25_ext, {0.5_ext, 0.25_ext, 0.125_ext, 0.375_ext}),
            Extended(4) / Extended(5));
  EXPECT_EQ(UpperTailPValue(0.25_ext, {0.125_ext, -0.5_ext}), Extended(1) / Extended(3));
  EXPECT_EQ(UpperTailPValue(-0.25_ext, {}), Extended(1));
}

TEST(RandomizationRun, NoIterationGivesPValueOneAndHeaderOnlyFiles) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 2, 20, RandomIndividuals(2, 2, 10, true, 3)));
  FakeRunView view;
  genosieve::Run(Settings("0", true, true, true), view);
  EXPECT_EQ(view.calls,
            (std::vector<std::string>{"test overall 1/1 overall", "range 0 1", "clear", "show",
                                      "test locus 1/2 Loc1", "range 0 1", "test locus 2/2 Loc2",
                                      "range 0 1", "test population 1/2 pop1", "range 0 1",
                                      "test population 2/2 pop2", "range 0 1", "message done ! "}));
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 32u);
  for (size_t body : {3u, 10u, 16u, 23u, 30u}) {
    EXPECT_EQ(ValueOf(lines[body - 1], "Observed"), ValueOf(lines[body], "Expected"));
    EXPECT_EQ(ValueOf(lines[body + 1], "p-value"), "1");
  }
  for (const char* name :
       {"overall p-values_out.txt", "Locus1p-values_out.txt", "Locus2p-values_out.txt",
        "Pop1p-values_out.txt", "Pop2p-values_out.txt"}) {
    EXPECT_EQ(ReadBytes(name), "iteration\tp-value\r\n") << name;
  }
  EXPECT_FALSE(std::filesystem::exists("temp.txt"));
}

TEST(RandomizationRun, WithoutClonesEveryTestKeepsPValueOne) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(3, 2, 20, RandomIndividuals(3, 2, 8, false, 4)));
  FakeRunView view;
  genosieve::Run(Settings("25", true, true, true), view);
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 5u + 13u + 21u);
  for (size_t i = 0; i + 2 < lines.size(); ++i) {
    if (lines[i] != "Fis") continue;
    EXPECT_EQ(ValueOf(lines[i + 1], "Observed"), ValueOf(lines[i + 2], "Expected"));
    EXPECT_EQ(ValueOf(lines[i + 3], "p-value"), "1");
  }
  for (const auto& [name, bytes] : FolderFiles(folder.path())) {
    if (name.find("p-values_") == std::string::npos) continue;
    const std::vector<std::string> pLines = Lines(bytes);
    ASSERT_EQ(pLines.size(), 26u) << name;
    for (size_t i = 1; i < pLines.size(); ++i) {
      EXPECT_EQ(pLines[i], std::to_string(i) + "\t1") << name;
    }
  }
  for (double point : view.points) EXPECT_EQ(point, 1.0);
}

TEST(RandomizationRun, SingleLocusTestObservesTheOverallValue) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 1, 20, RandomIndividuals(2, 1, 14, true, 5)));
  FakeRunView view;
  genosieve::Run(Settings("10", false, true, false), view);
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(ValueOf(lines[2], "Observed"), ValueOf(lines[9], "Observed"));
}

TEST(RandomizationRun, PopulationOfOneGenotypeIsRebuiltUnchanged) {
  ScopedWorkingFolder folder;
  std::vector<Individual> individuals = RandomIndividuals(2, 2, 10, true, 6);
  for (Individual& individual : individuals) {
    if (individual.population == 10) individual.genotypes = {{3, 5}, {2, 2}};
  }
  WriteBytes("data.txt", DataText(2, 2, 20, individuals));
  FakeRunView view;
  genosieve::Run(Settings("40", false, false, true), view);
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[7], "Population: 1");
  EXPECT_EQ(ValueOf(lines[9], "Observed"), ValueOf(lines[10], "Expected"));
  EXPECT_EQ(ValueOf(lines[11], "p-value"), "1");
}

TEST(RandomizationRun, SeededRunsWriteIdenticalFiles) {
  const std::string data = DataText(3, 3, 20, RandomIndividuals(3, 3, 12, true, 7));
  std::map<std::string, std::string> first;
  for (int run = 0; run < 2; ++run) {
    ScopedWorkingFolder folder;
    WriteBytes("data.txt", data);
    FakeRunView view;
    genosieve::Run(Settings("60", true, true, true), view);
    const std::map<std::string, std::string> files = FolderFiles(folder.path());
    // The data, tempmicrosat.txt, temp.txt, the three clone files, the results file, the
    // seven p-value files and the summary, clonality and psex tables.
    EXPECT_EQ(files.size(), 1u + 2u + 3u + 1u + 7u + 3u);
    if (run == 0)
      first = files;
    else
      EXPECT_EQ(files, first);
  }
}

TEST(RandomizationRun, PValueFilesAreNumberedFromOne) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(10, 12, 20, RandomIndividuals(10, 12, 5, true, 8)));
  FakeRunView view;
  genosieve::Run(Settings("2", true, true, true), view);
  for (int k = 1; k <= 12; ++k) {
    EXPECT_TRUE(std::filesystem::exists("Locus" + std::to_string(k) + "p-values_out.txt")) << k;
  }
  for (int k = 1; k <= 10; ++k) {
    EXPECT_TRUE(std::filesystem::exists("Pop" + std::to_string(k) + "p-values_out.txt")) << k;
  }
  EXPECT_FALSE(std::filesystem::exists("Locus13p-values_out.txt"));
  EXPECT_FALSE(std::filesystem::exists("Pop0p-values_out.txt"));
}

TEST(RandomizationRun, MonomorphicLocusEndsTheRunAtThatLocus) {
  ScopedWorkingFolder folder;
  std::vector<Individual> individuals = RandomIndividuals(2, 3, 10, true, 9);
  for (Individual& individual : individuals) individual.genotypes[1] = {4, 4};
  WriteBytes("data.txt", DataText(2, 3, 20, individuals));
  FakeRunView view;
  try {
    genosieve::Run(Settings("5", true, true, true), view);
    FAIL() << "the Run went on past a monomorphic locus";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), kInvalidOperationMessage);
  }
  const std::vector<std::string> lines = Lines(ReadBytes("out.txt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[7], "locus: 1");
  EXPECT_TRUE(std::filesystem::exists("Locus1p-values_out.txt"));
  EXPECT_FALSE(std::filesystem::exists("Locus2p-values_out.txt"));
  EXPECT_FALSE(std::filesystem::exists("Pop1p-values_out.txt"));
  for (const std::string& call : view.calls) EXPECT_NE(call, "message done ! ");
}

// A results file past its small size is written on a schedule while the Run goes on; a
// failure still leaves every section finished before it.
TEST(RandomizationRun, AFailureAfterManySectionsKeepsEveryFinishedSection) {
  ScopedWorkingFolder folder;
  constexpr int32_t kLoci = 1000;
  std::vector<Individual> individuals = RandomIndividuals(2, kLoci, 6, false, 31);
  std::vector<Individual> withoutLast = individuals;
  for (Individual& individual : withoutLast) individual.genotypes.pop_back();
  for (Individual& individual : individuals) individual.genotypes.back() = {4, 4};
  std::filesystem::create_directory("whole");
  WriteBytes("whole/data.txt", DataText(2, kLoci - 1, 20, withoutLast));
  WriteBytes("data.txt", DataText(2, kLoci, 20, individuals));
  FakeRunView view;
  view.recordCalls = false;
  RunSettings settings = Settings("0", false, true, false);
  try {
    genosieve::Run(settings, view);
    FAIL() << "the Run went on past a monomorphic locus";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), kInvalidOperationMessage);
  }
  settings.workingFolder = "whole";
  settings.dataPath = "whole/data.txt";
  genosieve::Run(settings, view);
  const std::string failed = ReadBytes("out.txt");
  const std::string whole = ReadBytes("whole/out.txt");
  ASSERT_GT(whole.size(), size_t{64} << 10);
  const size_t firstLocus = whole.find("\r\nPer Locus Analyses");
  ASSERT_NE(firstLocus, std::string::npos);
  EXPECT_EQ(failed.substr(failed.find("\r\nPer Locus Analyses")), whole.substr(firstLocus));
}

TEST(RandomizationRun, UnwritableTempFileEndsTheRunBeforeTheSection) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", DataText(2, 2, 20, RandomIndividuals(2, 2, 10, true, 12)));
  std::filesystem::create_directory("temp.txt");
  FakeRunView view;
  EXPECT_THROW(genosieve::Run(Settings("3", true, false, false), view), RunError);
  EXPECT_FALSE(std::filesystem::exists("out.txt"));
  EXPECT_FALSE(std::filesystem::exists("overall p-values_out.txt"));
  // Without iterations the file is never written and the Run completes.
  genosieve::Run(Settings("0", false, false, false), view);
  EXPECT_EQ(Lines(ReadBytes("out.txt")).size(), 5u);
}

// Two populations of three, A, B, A: genotype B is missing at locus 2. When both
// populations give their extra copy to B, locus 2 has one typed individual per
// population, and the estimate divides zero by zero.
std::string DataFailingWhenResampled() {
  return DataText(2, 2, 9,
                  {{1, {{1, 2}, {3, 5}}},
                   {1, {{2, 2}, {0, 0}}},
                   {1, {{1, 2}, {3, 5}}},
                   {2, {{1, 1}, {3, 5}}},
                   {2, {{1, 2}, {0, 0}}},
                   {2, {{1, 1}, {3, 5}}}});
}

TEST(RandomizationRun, FailedRandomizedEvaluationLeavesItsTableInTempFile) {
  std::vector<std::string> failedTables;
  for (IterationLoop loop : {RunPreparedIterations, RunPlainIterations}) {
    ScopedWorkingFolder folder;
    WriteBytes("data.txt", DataFailingWhenResampled());
    RunSettings settings = Settings("200", false, false, false);
    const DataFile data = ReadDataFile(settings.dataPath);
    const PopulationIndex index = BuildPopulationIndex(data);
    const CloneDetection clones = DetectClones(data.table, index);
    const CloneSummary summary = SummariseClones(clones, index);
    const WorkingFolder here = CurrentFolder();
    RunFiles files{here, {settings.resultName, {}, false}};
    const RandomizationInputs inputs{settings, files, data, index, clones, summary, 200, loop};
    TallyState state = MakeTallyState(200);
    WriteGenotypeFile(here, kObservedFileName, {2, 2, 9, 3}, 2,
                      ObservedLines(data, index, {RandomizationKind::kOverall, 0}));
    RunEvaluation(here, EvaluationKind::kObserved, state);
    const Extended observed = state.observed();
    FakeRunView view;
    try {
      RunOverallTest(inputs, state, view);
      FAIL() << "no iteration failed";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), kInvalidOperationMessage);
    }
    // The failing table: both extra copies went to the genotype missing at locus 2.
    const std::vector<std::string> lines = Lines(ReadBytes("temp.txt"));
    ASSERT_EQ(lines.size(), 9u);
    for (size_t row : {5u, 8u}) EXPECT_EQ(lines[row].substr(lines[row].size() - 8), "\t000000\t");
    EXPECT_EQ(state.observed(), observed);
    // The failing iteration is the last one started; it left the tally as it was.
    ASSERT_FALSE(view.calls.empty());
    EXPECT_EQ(view.calls.back(), "position " + std::to_string(state.iterationIndex));
    EXPECT_EQ(state.randomized, state.iterationIndex - 1);
    EXPECT_FALSE(state.normalised);
    failedTables.push_back(ReadBytes("temp.txt"));
  }
  EXPECT_EQ(failedTables[0], failedTables[1]) << "prepared and plain loops fail alike";
}

// Population 1 is X, Y, X, Z, Y, X (clone-free Z, Y, X; extra copies 2 and 1), population
// 2 three distinct genotypes U, V, W. From seed 0 the first iteration rebuilds population
// 1 as Z, Y, X, Z, Z, Y in every test that writes it.
std::string SeedZeroExampleData() {
  const std::vector<AllelePair> x{{10, 12}, {20, 20}}, y{{12, 12}, {20, 22}}, z{{10, 10}, {22, 22}};
  const std::vector<AllelePair> u{{10, 12}, {20, 22}}, v{{12, 12}, {22, 22}}, w{{10, 10}, {20, 20}};
  return DataText(2, 2, 50,
                  {{1, x}, {1, y}, {1, x}, {1, z}, {1, y}, {1, x}, {2, u}, {2, v}, {2, w}});
}

TEST(RandomizationRun, SeedZeroLeavesTheExampleTablesInTempFile) {
  struct Case {
    bool perLocus;
    bool perPopulation;
    const char* expected;  // the last test's table
  };
  for (const Case& c :
       {Case{false, false, "seed0_overall_temp.txt"}, Case{true, false, "seed0_locus2_temp.txt"},
        Case{false, true, "seed0_pop2_temp.txt"}}) {
    ScopedWorkingFolder folder;
    WriteBytes("data.txt", SeedZeroExampleData());
    RunSettings settings = Settings("1", false, c.perLocus, c.perPopulation);
    settings.seed = 0u;
    FakeRunView view;
    genosieve::Run(settings, view);
    const std::string expected =
        ReadBytes(testing::TestDataPath("analysis/" + std::string(c.expected)));
    ASSERT_FALSE(expected.empty()) << c.expected;
    EXPECT_EQ(ReadBytes("temp.txt"), expected) << c.expected;
    if (c.perPopulation) {
      // Population 2 has no clone: its observed table is the one resampled.
      EXPECT_EQ(ReadBytes("tempmicrosat.txt"), expected);
    }
  }
}

// The phases of a Run up to the randomization tests, then every test with the given iteration loop.
struct Prepared {
  RunSettings settings;
  DataFile data;
  PopulationIndex index;
  CloneDetection clones;
  CloneSummary summary;
  int32_t iterations = 0;
};

Prepared Prepare(const RunSettings& settings) {
  Prepared prepared{settings, ReadDataFile(settings.dataPath), {}, {}, {}, 0};
  prepared.index = BuildPopulationIndex(prepared.data);
  prepared.clones = DetectClones(prepared.data.table, prepared.index);
  prepared.summary = SummariseClones(prepared.clones, prepared.index);
  prepared.iterations = ConvertIterations(settings.iterationsText);
  return prepared;
}

// What a test's tally holds, bit for bit.
struct TallyBits {
  std::string observed;
  std::string sum;
  int64_t notAbove = 0;
  int64_t notBelow = 0;
  int32_t randomized = 0;
  bool normalised = false;
  bool operator==(const TallyBits&) const = default;
};

std::string Bits(Extended value) {
  const ExtendedBits bits = BitsOf(value);
  return std::to_string(bits.significand) + " " + std::to_string(bits.signExponent);
}

TallyBits BitsOf(const TallyState& state) {
  return {Bits(state.observedFis), Bits(state.sumFis), state.notAbove,
          state.notBelow,          state.randomized,   state.normalised};
}

struct PathResult {
  std::map<std::string, std::string> files;
  std::vector<TallyBits> tallies;
  std::vector<std::string> calls;
  std::vector<TestOutcome> outcomes;
  std::vector<FakeRunView::RunningBatch> running;
  std::string error;  // the message of the error that ended the tests, if any
};

// How the Run's loop works out the values: with a store, one pass gives every test's
// values; `threads` as the run setting.
struct LoopOptions {
  bool shared = false;
  int32_t threads = 0;
  int32_t stopAtCall = 0;  // a stop asked at the view's stopAtCall-th question; 0: none
};

// The observed evaluation, the overall test and both analyses, as a Run does them, with
// the summary table and, as the settings ask, the table of Fis values; an error ends them
// and is recorded with what was written up to it.
PathResult RunTestsWith(IterationLoop loop, const std::string& data, RunSettings settings,
                        LoopOptions options = {}) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", data);
  settings.threads = options.threads;
  const Prepared prepared = Prepare(settings);
  SeriesStore store;
  const WorkingFolder here = CurrentFolder();
  RunFiles files{here, {settings.resultName, {}, false}};
  OutcomeFiles outcomeFiles = StartOutcomeFiles(settings.resultName, settings.writeFisValues);
  RandomizationInputs inputs{
      prepared.settings,   files, prepared.data, prepared.index, prepared.clones, prepared.summary,
      prepared.iterations, loop};
  if (options.shared) inputs.store = &store;
  inputs.outcomeFiles = &outcomeFiles;
  // The plain path writes the intermediate files of every test and loads them.
  inputs.deferTables = loop != RunPlainIterations;
  TallyState state = MakeTallyState(prepared.iterations);
  FakeRunView view;
  int32_t questions = 0;
  if (options.stopAtCall > 0) {
    view.stopWhen = [&questions, &options] { return ++questions >= options.stopAtCall; };
  }
  PathResult result;
  try {
    const HeaderNumbers& h = prepared.data.header;
    WriteGenotypeFile(
        here, kObservedFileName, {h.populations, h.loci, h.highestAllele, h.codeWidth}, h.loci,
        ObservedLines(prepared.data, prepared.index, {RandomizationKind::kOverall, 0}));
    RunEvaluation(here, EvaluationKind::kObserved, state);
    RunOverallTest(inputs, state, view);
    result.tallies.push_back(BitsOf(state));
    WriteOverallSection(here, files.results, state, settings.decimalSeparator);
    ReportTestOutcome(inputs, RandomizationKind::kOverall, 1, state, view);
    RunPerLocusAnalysis(inputs, state, view);
    result.tallies.push_back(BitsOf(state));
    RunPerPopulationAnalysis(inputs, state, view);
    FinishOutcomeFiles(here, outcomeFiles);
  } catch (const RunStopped& error) {
    // A stopped test's tally is no result: the Run's loop leaves it as it was.
    result.error = error.what();
    SalvageOutcomeFiles(here, outcomeFiles);
  } catch (const RunError& error) {
    result.error = error.what();
    SalvageOutcomeFiles(here, outcomeFiles);
    result.tallies.push_back(BitsOf(state));
  }
  if (result.error.empty()) result.tallies.push_back(BitsOf(state));
  result.files = FolderFiles(folder.path());
  result.calls = view.calls;
  result.outcomes = view.outcomes;
  result.running = view.running;
  return result;
}

// Equal doubles, or both NaN.
bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void ExpectSameResults(const PathResult& fast, const PathResult& plain) {
  // Bit for bit: the same values, not merely close ones.
  EXPECT_TRUE(fast.tallies == plain.tallies);
  EXPECT_EQ(fast.files, plain.files);  // temp.txt and tempmicrosat.txt included
  EXPECT_EQ(fast.calls, plain.calls);
  EXPECT_EQ(fast.error, plain.error);
  ASSERT_EQ(fast.outcomes.size(), plain.outcomes.size());
  for (size_t t = 0; t < fast.outcomes.size(); ++t) {
    const TestOutcome& a = fast.outcomes[t];
    const TestOutcome& b = plain.outcomes[t];
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.seed, b.seed);
    EXPECT_EQ(a.individuals, b.individuals);
    EXPECT_EQ(a.distinctGenotypes, b.distinctGenotypes);
    EXPECT_EQ(a.randomizedFis, b.randomizedFis) << "test " << t;
    EXPECT_EQ(a.notAboveObserved, b.notAboveObserved) << "test " << t;
    EXPECT_TRUE(Same(a.centralRange.low, b.centralRange.low)) << "test " << t;
    EXPECT_TRUE(Same(a.centralRange.high, b.centralRange.high)) << "test " << t;
    EXPECT_EQ(Bits(a.observed), Bits(b.observed)) << "test " << t;
    EXPECT_EQ(Bits(a.expected), Bits(b.expected)) << "test " << t;
    EXPECT_EQ(Bits(a.pLower), Bits(b.pLower)) << "test " << t;
    EXPECT_EQ(Bits(a.pUpper), Bits(b.pUpper)) << "test " << t;
  }
  ASSERT_EQ(fast.running.size(), plain.running.size());
  for (size_t c = 0; c < fast.running.size(); ++c) {
    EXPECT_EQ(fast.running[c].lastPosition, plain.running[c].lastPosition);
    ASSERT_EQ(fast.running[c].points.size(), plain.running[c].points.size());
    for (size_t j = 0; j < fast.running[c].points.size(); ++j) {
      EXPECT_EQ(fast.running[c].points[j].iteration, plain.running[c].points[j].iteration);
      EXPECT_EQ(fast.running[c].points[j].pValue, plain.running[c].points[j].pValue);
    }
  }
}

// A stop between or within the per-locus and per-population tests leaves the
// intermediate files that writing them in every test leaves; within a test, "temp.txt"
// aside, which the plain path writes at every iteration and the Run's loop only at the
// end of a test.
TEST(RandomizationPaths, AStopLeavesTheIntermediateFilesOfThePlainPath) {
  const std::string data = DataText(3, 3, 20, RandomIndividuals(3, 3, 9, true, 77));
  RunSettings settings = Settings("6", true, true, true);
  settings.seed = 5;
  settings.writeFisValues = true;
  // The view is asked once per iteration and once per test start: the overall test asks
  // 6 times, so the later tests start at questions 7, 14, ..., 42.
  for (int32_t call = 1; call <= 46; ++call) {
    SCOPED_TRACE(call);
    PathResult plain = RunTestsWith(RunPlainIterations, data, settings, {.stopAtCall = call});
    // The Run's own pass, on one thread or several; for each test, or one for all.
    for (int32_t threads : {1, 2, 7}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      PathResult fast =
          RunTestsWith(RunPreparedIterations, data, settings, {threads != 2, threads, call});
      EXPECT_EQ(fast.error, RunStopped().what());
      EXPECT_TRUE(fast.files.count("tempmicrosat.txt"));
      // Question 1 and every seventh from 7 on come between tests, the others within one.
      if (call != 1 && (call < 7 || (call - 7) % 7 != 0)) {
        fast.files.erase("temp.txt");
        plain.files.erase("temp.txt");
      }
      ExpectSameResults(fast, plain);
    }
  }
}

TEST(RandomizationPaths, FastPathEqualsPlainPathOnRandomData) {
  std::mt19937 random(10);
  for (int trial = 0; trial < 4; ++trial) {  // the first without any clone
    const int32_t populations = 2 + static_cast<int32_t>(random() % 3);
    const int32_t loci = 1 + static_cast<int32_t>(random() % 3);
    const std::string data =
        DataText(populations, loci, 20,
                 RandomIndividuals(populations, loci, 6 + static_cast<int32_t>(random() % 8),
                                   trial != 0, static_cast<uint32_t>(random())));
    RunSettings settings = Settings("40", true, true, true);
    settings.seed = static_cast<uint32_t>(random());
    const PathResult fast = RunTestsWith(RunPreparedIterations, data, settings);
    const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
    ExpectSameResults(fast, plain);
    EXPECT_TRUE(fast.files.count("temp.txt"));
    EXPECT_EQ(fast.error, "");
  }
}

// Small populations with missing genotypes and few alleles: some iterations leave a
// locus with one typed individual per population (n̄ = 1) or without a used allele, so
// that tests end with the floating-point errors as well as with values.
std::vector<Individual> SparseIndividuals(std::mt19937& random, int32_t populations, int32_t loci) {
  auto below = [&random](int32_t bound) {
    return static_cast<int32_t>(random() % static_cast<uint32_t>(bound));
  };
  const int32_t alleles = 2 + below(4);
  const int32_t missingPercent = below(70);
  std::vector<Individual> individuals;
  for (int32_t p = 1; p <= populations; ++p) {
    std::vector<Individual> distinct;
    const int32_t size = 1 + below(below(2) == 0 ? 4 : 8);
    for (int32_t i = 0; i < size; ++i) {
      if (!distinct.empty() && below(2) == 0) {
        individuals.push_back(
            distinct[static_cast<size_t>(below(static_cast<int32_t>(distinct.size())))]);
        continue;
      }
      Individual individual{p, {}};
      for (int32_t l = 0; l < loci; ++l) {
        if (below(100) < missingPercent) {
          individual.genotypes.push_back({0, 0});
        } else {
          individual.genotypes.push_back(PairOf(1 + below(alleles), 1 + below(alleles)));
        }
      }
      distinct.push_back(individual);  // a repeat of an earlier one is a clone too
      individuals.push_back(individual);
    }
  }
  return individuals;
}

TEST(RandomizationPaths, FastPathEqualsPlainPathUpToTheSameErrors) {
  std::mt19937 random(31);
  std::map<std::string, int> outcomes;
  for (int trial = 0; trial < 60; ++trial) {
    const int32_t populations = 2 + static_cast<int32_t>(random() % 4);
    const int32_t loci = 1 + static_cast<int32_t>(random() % 3);
    const std::string data =
        DataText(populations, loci, 9, SparseIndividuals(random, populations, loci));
    // Drawn one statement at a time: the order of a call's arguments differs by compiler.
    const bool pValueFiles = random() % 2 == 0;
    const std::string iterations = std::to_string(random() % 25);
    RunSettings settings = Settings(iterations, pValueFiles, true, true);
    settings.seed = static_cast<uint32_t>(random());
    settings.writeFisValues = trial % 4 < 2;
    const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
    SCOPED_TRACE("trial " + std::to_string(trial));
    // Each test on its own, and all tests from one pass, on one thread or several.
    const int32_t threads = std::vector<int32_t>{1, 2, 7}[static_cast<size_t>(trial % 3)];
    const PathResult fast = RunTestsWith(RunPreparedIterations, data, settings, {false, threads});
    ExpectSameResults(fast, plain);
    const PathResult shared = RunTestsWith(RunPreparedIterations, data, settings, {true, threads});
    ExpectSameResults(shared, plain);
    // An error in a randomized iteration comes after that iteration's progress position.
    const bool inIteration = !fast.calls.empty() && fast.calls.back().rfind("position", 0) == 0;
    ++outcomes[fast.error.empty() ? "" : fast.error + (inIteration ? " iteration" : " observed")];
  }
  // Completed runs, and errors in the randomized iterations of some tests.
  EXPECT_GE(outcomes[""], 10);
  EXPECT_GE(outcomes[std::string(kInvalidOperationMessage) + " iteration"], 5);
}

TEST(RandomizationPaths, ClonesWrittenWithTheirAllelesInEitherOrderGiveTheObservedValues) {
  // Clone detection takes 12/34 and 34/12 for one genotype, so a clone's copies need not
  // be written as the genotype the clone-free table keeps: the observed evaluations, made
  // from the clone-free genotypes and their copies, are those of the data as written.
  std::mt19937 random(83);
  for (int trial = 0; trial < 12; ++trial) {
    const int32_t populations = 2 + static_cast<int32_t>(random() % 3);
    const int32_t loci = 1 + static_cast<int32_t>(random() % 4);
    std::vector<Individual> individuals = SparseIndividuals(random, populations, loci);
    for (Individual& individual : individuals) {
      for (AllelePair& pair : individual.genotypes) {
        if (random() % 2 == 0) std::swap(pair.first, pair.second);
      }
    }
    RunSettings settings = Settings(std::to_string(random() % 20), true, true, true);
    settings.seed = static_cast<uint32_t>(random());
    const std::string data = DataText(populations, loci, 9, individuals);
    SCOPED_TRACE("trial " + std::to_string(trial));
    const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
    ExpectSameResults(RunTestsWith(RunPreparedIterations, data, settings, {true, 2}), plain);
    ExpectSameResults(RunTestsWith(RunPreparedIterations, data, settings, {true, 1}), plain);
  }
}

TEST(RandomizationPaths, FastPathEqualsPlainPathOnLargerSkewedData) {
  // 600 individuals with skewed allele use: singletons fall below p̄ = 0.001 in the
  // overall and per-locus tests, and clone copies are a third of the rows.
  std::mt19937 random(47);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<Individual> individuals;
  for (int32_t p = 1; p <= 20; ++p) {
    std::vector<Individual> distinct;
    for (int32_t i = 0; i < 30; ++i) {
      if (!distinct.empty() && random() % 3 == 0) {
        individuals.push_back(distinct[random() % std::min<size_t>(distinct.size(), 5)]);
        continue;
      }
      Individual individual{p, {}};
      for (int32_t l = 0; l < 3; ++l) {
        auto allele = [&] {
          const double u = unit(random);
          return 1 + static_cast<int32_t>(40.0 * u * u * u);
        };
        individual.genotypes.push_back(random() % 50 == 0 ? AllelePair{0, 0}
                                                          : PairOf(allele(), allele()));
      }
      distinct.push_back(individual);
      individuals.push_back(individual);
    }
  }
  RunSettings settings = Settings("12", true, true, true);
  settings.seed = 99u;
  const std::string data = DataText(20, 3, 40, individuals);
  const PathResult fast = RunTestsWith(RunPreparedIterations, data, settings, {true, 2});
  const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
  ExpectSameResults(fast, plain);
  EXPECT_EQ(fast.error, "");
  // The data, tempmicrosat.txt, temp.txt, the results file, the summary table and 24
  // p-value files.
  EXPECT_EQ(fast.files.size(), 1u + 2u + 1u + 1u + 1u + 3u + 20u);
}

TEST(RandomizationPaths, FastPathEqualsPlainPathOnBiallelicLoci) {
  // Many loci of two alleles, some fixed within a population, some missing: the copies are
  // counted as genotype classes, and the population tests remember whole loci.
  std::mt19937 random(59);
  for (int trial = 0; trial < 3; ++trial) {
    const int32_t populations = 3 + trial;
    const int32_t loci = 25;
    std::vector<Individual> individuals;
    for (int32_t p = 1; p <= populations; ++p) {
      std::vector<int32_t> fixedAt;  // per locus: 0, or the only allele of the population
      for (int32_t l = 0; l < loci; ++l)
        fixedAt.push_back(random() % 4 == 0 ? 1 + random() % 2 : 0);
      std::vector<Individual> distinct;
      for (int32_t i = 0; i < 14; ++i) {
        if (!distinct.empty() && random() % 3 == 0) {
          individuals.push_back(distinct[random() % distinct.size()]);
          continue;
        }
        Individual individual{p, {}};
        for (int32_t l = 0; l < loci; ++l) {
          const int32_t only = fixedAt[static_cast<size_t>(l)];
          auto allele = [&] { return only != 0 ? only : 1 + static_cast<int32_t>(random() % 2); };
          individual.genotypes.push_back(random() % 15 == 0 ? AllelePair{0, 0}
                                                            : PairOf(allele(), allele()));
        }
        distinct.push_back(individual);
        individuals.push_back(individual);
      }
    }
    RunSettings settings = Settings("30", false, true, true);
    settings.seed = static_cast<uint32_t>(random());
    const std::string data = DataText(populations, loci, 2 + trial, individuals);
    const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ExpectSameResults(RunTestsWith(RunPreparedIterations, data, settings, {true, 1 + trial}),
                      plain);
    ExpectSameResults(RunTestsWith(RunPreparedIterations, data, settings, {false, 1}), plain);
    EXPECT_EQ(plain.error, "");
  }
}

TEST(RandomizationPaths, FastPathEqualsPlainPathWhenAnIterationDividesByZero) {
  // Three populations X, X, Y with Y missing: when every population gives its extra copy
  // to Y, each has one typed individual (1/2, 2/3, 3/3), n̄ = 1, and the rounding
  // remainder of p̄ = 1/3 makes the first used allele divide a non-zero value by zero.
  const std::string data = DataText(3, 1, 9,
                                    {{1, {{1, 2}}},
                                     {1, {{1, 2}}},
                                     {1, {{0, 0}}},
                                     {2, {{2, 3}}},
                                     {2, {{2, 3}}},
                                     {2, {{0, 0}}},
                                     {3, {{3, 3}}},
                                     {3, {{3, 3}}},
                                     {3, {{0, 0}}}});
  for (uint32_t seed : {1u, 2u, 3u}) {
    RunSettings settings = Settings("40", true, true, true);
    settings.seed = seed;
    const PathResult fast =
        RunTestsWith(RunPreparedIterations, data, settings, {seed != 1, int32_t(seed)});
    const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
    SCOPED_TRACE("seed " + std::to_string(seed));
    ExpectSameResults(fast, plain);
    EXPECT_EQ(fast.error, kDivisionByZeroMessage);
    ASSERT_FALSE(fast.calls.empty());
    EXPECT_EQ(fast.calls.back().rfind("position", 0), 0u) << "fails in an iteration";
  }
}

// One population: the overall and per-locus tests take the estimator for one sample, in
// the Run's loop as in the plain one, on any number of threads, up to the same errors
// (a locus typed in fewer than two individuals of an iteration's table is left out, and
// no used locus at all is 0/0).
TEST(RandomizationPaths, FastPathEqualsPlainPathOnOnePopulation) {
  std::mt19937 random(83);
  std::map<std::string, int> outcomes;
  for (int trial = 0; trial < 50; ++trial) {
    const int32_t loci = 1 + static_cast<int32_t>(random() % 4);
    const bool sparse = trial % 2 == 1;
    const uint32_t seed = static_cast<uint32_t>(random());
    const std::vector<Individual> individuals =
        sparse ? SparseIndividuals(random, 1, loci)
               : RandomIndividuals(1, loci, 4 + static_cast<int32_t>(random() % 20), trial % 4 != 0,
                                   seed);
    // A data file holds two individuals at least.
    if (individuals.size() < 2) continue;
    const std::string data = DataText(1, loci, 20, individuals);
    RunSettings settings = Settings(std::to_string(random() % 40), trial % 3 == 0, true, true);
    settings.seed = static_cast<uint32_t>(random());
    const PathResult plain = RunTestsWith(RunPlainIterations, data, settings);
    SCOPED_TRACE("trial " + std::to_string(trial));
    const int32_t threads = std::vector<int32_t>{1, 2, 7}[static_cast<size_t>(trial % 3)];
    ExpectSameResults(RunTestsWith(RunPreparedIterations, data, settings, {false, threads}), plain);
    ExpectSameResults(RunTestsWith(RunPreparedIterations, data, settings, {true, threads}), plain);
    ++outcomes[plain.error];
  }
  // Most complete; sparse tables also end in the invalid operation.
  EXPECT_GE(outcomes[""], 15);
  EXPECT_GE(outcomes[kInvalidOperationMessage], 3);
}

// A whole Run's files, calls, seeds and error.
struct RunResult {
  std::map<std::string, std::string> files;
  std::vector<std::string> calls;
  std::vector<uint32_t> seeds;
  std::string error;
};

RunResult RunWhole(const std::string& data, const RunSettings& settings) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", data);
  FakeRunView view;
  RunResult result;
  try {
    genosieve::Run(settings, view);
  } catch (const RunError& error) {
    result.error = error.what();
  }
  result.files = FolderFiles(folder.path());
  result.calls = view.calls;
  result.seeds = view.seeds;
  return result;
}

TEST(RandomizationThreads, AnyThreadCountWritesTheSameFilesAndFailsAlike) {
  std::mt19937 random(73);
  std::map<std::string, int> outcomes;
  std::vector<std::string> sets = {DataFailingWhenResampled(), SeedZeroExampleData()};
  for (int trial = 0; trial < 30; ++trial) {
    const int32_t populations = 2 + static_cast<int32_t>(random() % 4);
    const int32_t loci = 1 + static_cast<int32_t>(random() % 3);
    sets.push_back(DataText(populations, loci, 9, SparseIndividuals(random, populations, loci)));
  }
  for (size_t set = 0; set < sets.size(); ++set) {
    SCOPED_TRACE("set " + std::to_string(set));
    RunSettings settings = Settings(std::to_string(20 + random() % 60), true, true, true);
    settings.seed = static_cast<uint32_t>(random());
    settings.threads = 1;
    const RunResult one = RunWhole(sets[set], settings);
    for (int32_t threads : {2, 7}) {
      settings.threads = threads;
      const RunResult many = RunWhole(sets[set], settings);
      EXPECT_EQ(many.files, one.files) << threads << " threads";
      EXPECT_EQ(many.calls, one.calls) << threads << " threads";
      EXPECT_EQ(many.error, one.error) << threads << " threads";
    }
    // The seed is told before the first test; a Run that fails earlier tells none.
    EXPECT_EQ(one.seeds,
              one.calls.empty() ? std::vector<uint32_t>{} : std::vector<uint32_t>{*settings.seed});
    const bool inIteration = !one.calls.empty() && one.calls.back().rfind("position", 0) == 0;
    ++outcomes[one.error.empty() ? "" : (inIteration ? "iteration" : "observed")];
  }
  // Completed Runs and Runs ending in an iteration's floating-point error.
  EXPECT_GE(outcomes[""], 3);
  EXPECT_GE(outcomes["iteration"], 2);
}

TEST(RandomizationThreads, OnePopulationWritesTheSameFilesWithAnyThreads) {
  std::mt19937 random(89);
  for (int set = 0; set < 6; ++set) {
    SCOPED_TRACE("set " + std::to_string(set));
    const int32_t loci = 1 + static_cast<int32_t>(random() % 5);
    const std::string data =
        DataText(1, loci, 30, RandomIndividuals(1, loci, 10 + set * 7, true, random()));
    RunSettings settings = Settings(std::to_string(50 + random() % 200), true, true, true);
    settings.seed = static_cast<uint32_t>(random());
    settings.threads = 1;
    const RunResult one = RunWhole(data, settings);
    EXPECT_EQ(one.error, "");
    for (int32_t threads : {2, 5}) {
      settings.threads = threads;
      const RunResult many = RunWhole(data, settings);
      EXPECT_EQ(many.files, one.files) << threads << " threads";
      EXPECT_EQ(many.calls, one.calls) << threads << " threads";
    }
  }
}

TEST(RandomizationThreads, ClockSeedIsReadOnceAndRepeatsTheRun) {
  const std::string data = DataText(3, 3, 20, RandomIndividuals(3, 3, 12, true, 17));
  RunSettings settings = Settings("50", true, true, true);
  settings.seed.reset();
  const RunResult clock = RunWhole(data, settings);
  ASSERT_EQ(clock.seeds.size(), 1u);
  EXPECT_EQ(clock.error, "");
  settings.seed = clock.seeds[0];
  settings.threads = 3;
  const RunResult repeated = RunWhole(data, settings);
  EXPECT_EQ(repeated.files, clock.files);
  EXPECT_EQ(repeated.calls, clock.calls);
  EXPECT_EQ(repeated.seeds, clock.seeds);
}

TEST(RandomizationPaths, InMemoryTableEqualsItsFileReadBack) {
  ScopedWorkingFolder folder;
  std::mt19937 random(11);
  GenotypeTable lines;
  lines.loci = 3;
  for (int32_t row = 0; row < 40; ++row) {
    lines.population.push_back(1 + row / 10);
    for (int32_t l = 0; l < 3; ++l) {
      AllelePair pair = PairOf(1 + static_cast<int32_t>(random() % 999),
                               1 + static_cast<int32_t>(random() % 999));
      if (random() % 7 == 0) pair = {0, 0};
      lines.cells.push_back(pair);
    }
  }
  const std::array<int32_t, 4> header{4, 3, 999, 3};
  WriteGenotypeFile(CurrentFolder(), kRandomizedFileName, header, 3, lines);
  const EngineInput loaded = LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
  for (const EngineInput& built :
       {EngineInputFromLines(header, lines), LoadedGenotypes(header, lines)}) {
    EXPECT_EQ(loaded.populations, built.populations);
    EXPECT_EQ(loaded.loci, built.loci);
    EXPECT_EQ(loaded.highestAllele, built.highestAllele);
    EXPECT_EQ(loaded.individuals, built.individuals);
    EXPECT_EQ(loaded.populationEnd, built.populationEnd);
    EXPECT_EQ(loaded.codes, built.codes);
  }
}

// What the Run evaluates without the file is what the loader reads from it, lines of
// population 0 (which it skips) included; a genotype the loader would refuse is no table
// the Run can make.
TEST(RandomizationPaths, LoadedGenotypesAreWhatTheLoaderReads) {
  ScopedWorkingFolder folder;
  GenotypeTable lines;
  lines.loci = 2;
  const std::vector<std::pair<int32_t, std::vector<AllelePair>>> rows = {
      {2, {{1, 2}, {0, 0}}}, {0, {{5, 5}, {4, 4}}}, {1, {{3, 3}, {2, 1}}}, {2, {{0, 0}, {5, 1}}}};
  for (const auto& [population, cells] : rows) {
    lines.population.push_back(population);
    lines.cells.insert(lines.cells.end(), cells.begin(), cells.end());
  }
  const std::array<int32_t, 4> header{3, 2, 5, 3};
  WriteGenotypeFile(CurrentFolder(), kRandomizedFileName, header, 2, lines);
  const EngineInput loaded = LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
  const EngineInput built = LoadedGenotypes(header, lines);
  EXPECT_EQ(built.individuals, 3);
  EXPECT_EQ(built.populationEnd, loaded.populationEnd);
  EXPECT_EQ(built.codes, loaded.codes);
  Extended values[2] = {Extended(0), Extended(0)};
  std::string errors[2];
  for (int which = 0; which < 2; ++which) {
    try {
      values[which] = EvaluateFis(which == 0 ? built : loaded);
    } catch (const RunError& error) {
      errors[which] = error.what();
    }
  }
  EXPECT_EQ(errors[0], errors[1]);
  EXPECT_EQ(std::memcmp(&values[0], &values[1], 10), 0);

  lines.cells[1] = {3, 0};
  EXPECT_THROW(LoadedGenotypes(header, lines), InternalError);
  lines.cells[1] = {6, 6};
  EXPECT_THROW(LoadedGenotypes(header, lines), InternalError);
}

}  // namespace
}  // namespace genosieve
