#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/interpretation.h"
#include "analysis/outcome_files.h"
#include "analysis/run.h"
#include "analysis/test_outcome.h"
#include "errors.h"
#include "io/output_file.h"
#include "io/working_folder.h"
#include "reports/number_format.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"

namespace genosieve {
namespace {

using testing::ExamplePath;
using testing::FakeRunView;
using testing::ReadBytes;
using testing::ReadTsv;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::TsvTable;
using testing::WriteBytes;

// A seeded Run of the aspen example with both analyses: 11 tests of 20 iterations.
RunSettings AspenSettings() {
  RunSettings settings;
  settings.dataPath = ExamplePath("aspen.txt").string();
  settings.iterationsText = "20";
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.seed = 7u;
  return settings;
}

double ReadDouble(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
  return value;
}

// The values of the results file's "value TAB word" lines, in file order.
std::vector<std::string> ResultValues(const std::string& results, const std::string& word) {
  std::vector<std::string> values;
  size_t start = 0;
  while (start < results.size()) {
    const size_t end = results.find("\r\n", start);
    const std::string line = results.substr(start, end - start);
    const size_t tab = line.find('\t');
    if (tab != std::string::npos && line.substr(tab + 1) == word) {
      values.push_back(line.substr(0, tab));
    }
    start = end == std::string::npos ? results.size() : end + 2;
  }
  return values;
}

// The files of the folder still under a temporary name.
std::vector<std::string> PartFiles(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kTemporaryPrefix, 0) == 0) names.push_back(name);
  }
  return names;
}

// Restores the process locale whatever a test does to it.
struct LocaleGuard {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
};

TEST(SummaryTable, SeededRunWritesTheLiteralTableWhateverTheLocale) {
  const std::string expected = ReadBytes(TestDataPath("analysis/summary_aspen_n20_seed7.tsv"));
  ASSERT_FALSE(expected.empty());
  {
    ScopedWorkingFolder folder;
    FakeRunView view;
    genosieve::Run(AspenSettings(), view);
    EXPECT_EQ(ReadBytes("Summary_results.tsv"), expected);
  }
  // A user whose decimal separator is a comma: the results file follows it, the table
  // keeps the point.
  LocaleGuard guard;
  if (std::setlocale(LC_ALL, "fr_FR.UTF-8") == nullptr &&
      std::setlocale(LC_ALL, "fr_FR.utf8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  ScopedWorkingFolder folder;
  RunSettings settings = AspenSettings();
  settings.decimalSeparator = ',';
  FakeRunView view;
  genosieve::Run(settings, view);
  EXPECT_EQ(ReadBytes("Summary_results.tsv"), expected);
  EXPECT_NE(ReadBytes("results.txt").find("0,619047619047619\tp-value"), std::string::npos);
}

TEST(SummaryTable, ReadBackItHoldsTheOutcomesAndTheResultsFileValues) {
  ScopedWorkingFolder folder;
  FakeRunView view;
  genosieve::Run(AspenSettings(), view);
  const TsvTable table = ReadTsv(ReadBytes("Summary_results.tsv"));
  ASSERT_EQ(table.size(), 12u);
  EXPECT_EQ(table[0],
            (std::vector<std::string>{"test", "index", "name", "individuals", "distinct_genotypes",
                                      "observed_fis", "expected_fis", "p_lower", "p_upper",
                                      "iterations", "seed"}));
  const std::string results = ReadBytes("results.txt");
  const std::vector<std::string> observed = ResultValues(results, "Observed");
  const std::vector<std::string> expected = ResultValues(results, "Expected");
  const std::vector<std::string> pValues = ResultValues(results, "p-value");
  ASSERT_EQ(view.outcomes.size(), 11u);
  ASSERT_EQ(pValues.size(), 11u);
  for (size_t t = 0; t < 11; ++t) {
    SCOPED_TRACE("test " + std::to_string(t + 1));
    const std::vector<std::string>& row = table[t + 1];
    const TestOutcome& outcome = view.outcomes[t];
    ASSERT_EQ(row.size(), 11u);
    EXPECT_EQ(row[2], outcome.name);
    EXPECT_EQ(row[3], std::to_string(outcome.individuals));
    // Read back, each number is the double nearest the Run's value...
    EXPECT_EQ(ReadDouble(row[5]), static_cast<double>(outcome.observed));
    EXPECT_EQ(ReadDouble(row[6]), static_cast<double>(outcome.expected));
    EXPECT_EQ(ReadDouble(row[7]), static_cast<double>(outcome.pLower));
    EXPECT_EQ(ReadDouble(row[8]), static_cast<double>(outcome.pUpper));
    // ...and the same value as the results file gives to 15 digits.
    EXPECT_EQ(FormatNumber(ReadDouble(row[5]), '.'), observed[t]);
    EXPECT_EQ(FormatNumber(ReadDouble(row[6]), '.'), expected[t]);
    EXPECT_EQ(FormatNumber(ReadDouble(row[7]), '.'), pValues[t]);
    EXPECT_EQ(row[9], "20");
    EXPECT_EQ(row[10], "7");
  }
}

TEST(SummaryTable, IsCompleteWhenEachTestIsReported) {
  struct CheckingView : FakeRunView {
    std::filesystem::path folder;
    void TestFinished(const TestOutcome& outcome) override {
      FakeRunView::TestFinished(outcome);
      const TsvTable table = ReadTsv(ReadBytes("Summary_results.tsv"));
      EXPECT_EQ(table.size(), outcomes.size() + 1);
      EXPECT_EQ(table.back()[2], outcome.name);
      EXPECT_TRUE(PartFiles(folder).empty());
    }
  };
  ScopedWorkingFolder folder;
  CheckingView view;
  view.folder = folder.path();
  genosieve::Run(AspenSettings(), view);
  EXPECT_EQ(view.outcomes.size(), 11u);
}

TEST(FisValuesTable, HoldsEveryIterationOfEveryTestAndGivesTheUpperTail) {
  ScopedWorkingFolder folder;
  RunSettings settings = AspenSettings();
  settings.writeFisValues = true;
  FakeRunView view;
  genosieve::Run(settings, view);
  const TsvTable values = ReadTsv(ReadBytes("Fisvalues_results.tsv"));
  const TsvTable summary = ReadTsv(ReadBytes("Summary_results.tsv"));
  ASSERT_EQ(values.size(), 1u + 11u * 20u);
  EXPECT_EQ(values[0], (std::vector<std::string>{"test", "index", "iteration", "randomized_fis"}));
  for (size_t t = 0; t < 11; ++t) {
    SCOPED_TRACE("test " + std::to_string(t + 1));
    const std::vector<std::string>& row = summary[t + 1];
    const double observedFis = ReadDouble(row[5]);
    long atLeastObserved = 1;  // the observed value itself
    for (size_t i = 0; i < 20; ++i) {
      const std::vector<std::string>& line = values[1 + t * 20 + i];
      ASSERT_EQ(line.size(), 4u);
      EXPECT_EQ(line[0], row[0]);
      EXPECT_EQ(line[1], row[1]);
      EXPECT_EQ(line[2], std::to_string(i + 1));
      const double fis = ReadDouble(line[3]);
      // The overall test's values are reported as well; the others' only written.
      if (t == 0) {
        EXPECT_EQ(fis, view.outcomes[t].randomizedFis[i]);
      }
      if (fis >= observedFis) ++atLeastObserved;
    }
    EXPECT_EQ(std::lround(ReadDouble(row[8]) * 21), atLeastObserved);
  }
  EXPECT_TRUE(PartFiles(folder.path()).empty());
}

TEST(FisValuesTable, IsWrittenOnlyOnRequest) {
  ScopedWorkingFolder folder;
  WriteBytes("Fisvalues_results.tsv", "an earlier Run's table\r\n");
  FakeRunView view;
  genosieve::Run(AspenSettings(), view);
  EXPECT_EQ(ReadBytes("Fisvalues_results.tsv"), "an earlier Run's table\r\n");
}

// Locus 2 is the same homozygote everywhere: its test ends the Run with the estimator's
// invalid operation.
const char* const kFailingAtLocus2 =
    "2 3 140 3\r\nLocA\r\nLocB\r\nLocC\r\n"
    "1\t120124\t130130\t110112\t\r\n1\t120124\t130130\t110112\t\r\n1\t124124\t130130\t112112\t\r\n"
    "1\t120120\t130130\t110110\t\r\n2\t120120\t130130\t110110\t\r\n2\t124120\t130130\t110112\t\r\n"
    "2\t120124\t130130\t112112\t\r\n2\t120124\t130130\t112112\t\r\n";

TEST(FisValuesTable, FailedRunKeepsTheRowsOfTheFinishedTests) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kFailingAtLocus2);
  RunSettings settings;
  settings.dataPath = "data.txt";
  settings.iterationsText = "5";
  settings.perLocusAnalysis = true;
  settings.writeFisValues = true;
  settings.seed = 3u;
  FakeRunView view;
  EXPECT_THROW(genosieve::Run(settings, view), RunError);
  ASSERT_EQ(view.outcomes.size(), 2u);  // overall and locus 1
  const TsvTable summary = ReadTsv(ReadBytes("Summary_results.tsv"));
  ASSERT_EQ(summary.size(), 3u);
  EXPECT_EQ(summary[2][2], "LocA");
  const TsvTable values = ReadTsv(ReadBytes("Fisvalues_results.tsv"));
  ASSERT_EQ(values.size(), 1u + 2u * 5u);
  EXPECT_EQ(values[5],
            (std::vector<std::string>{"overall", "1", "5",
                                      FormatShortest(view.outcomes[0].randomizedFis[4])}));
  EXPECT_EQ(values.back()[0] + values.back()[1] + values.back()[2], "locus15");
  EXPECT_TRUE(PartFiles(folder.path()).empty());
}

TEST(OutcomeTables, NamesAreCheckedWithTheRunsOtherOutputs) {
  ScopedWorkingFolder folder;
  RunSettings settings = AspenSettings();
  settings.writeFisValues = true;
  settings.drawFigures = true;
  // A folder under a table's or a figure's name: refused before anything is written.
  for (const char* name :
       {"Summary_results.tsv", "Fisvalues_results.tsv", "Population_fis_results.png"}) {
    SCOPED_TRACE(name);
    std::filesystem::create_directory(name);
    FakeRunView view;
    EXPECT_THROW(genosieve::Run(settings, view), RunError);
    EXPECT_FALSE(std::filesystem::exists("results.txt"));
    EXPECT_TRUE(view.outcomes.empty());
    std::filesystem::remove(name);
  }
  // A data file under the summary table's name would be lost: refused as well.
  std::filesystem::copy_file(ExamplePath("aspen.txt"), "Summary_results.tsv");
  settings.dataPath = "Summary_results.tsv";
  FakeRunView view;
  EXPECT_THROW(genosieve::Run(settings, view), RunError);
  EXPECT_EQ(ReadBytes("Summary_results.tsv"), ReadBytes(ExamplePath("aspen.txt")));
}

TEST(OutcomeTables, FiguresAreNamedForTheTestsThatRun) {
  EXPECT_EQ(FigureFileNames("out.txt", false, false),
            (std::vector<std::string>{"Fis_distribution_out.svg", "Fis_distribution_out.png",
                                      "Running_pvalue_out.svg", "Running_pvalue_out.png",
                                      "Clone_sizes_out.svg", "Clone_sizes_out.png"}));
  EXPECT_EQ(FigureFileNames("out.txt", true, true).size(), 10u);
  EXPECT_EQ(FigureFileNames("out.txt", false, true)[4], "Population_fis_out.svg");
}

TEST(SummaryTable, LargeOneIsRewrittenOnScheduleAndWholeAtTheEnd) {
  ScopedWorkingFolder folder;
  const WorkingFolder working = OpenWorkingFolder(".");
  // Every size counts as large, and an hour must pass between two rewrites.
  OutcomeFiles files = StartOutcomeFiles("results.txt", true, {std::chrono::hours(1), 0});
  TestOutcome outcome;
  outcome.kind = RandomizationKind::kPerLocus;
  outcome.iterations = 2;
  const std::vector<double> values = {0.25, -0.5};
  outcome.index = 1;
  AddOutcome(working, files, outcome, values);  // the first rewrite is due at once
  const std::string first = ReadBytes("Summary_results.tsv");
  EXPECT_EQ(ReadTsv(first).size(), 2u);
  outcome.index = 2;
  AddOutcome(working, files, outcome, values);
  EXPECT_EQ(ReadBytes("Summary_results.tsv"), first) << "not due yet";
  FinishOutcomeFiles(working, files);
  const TsvTable summary = ReadTsv(ReadBytes("Summary_results.tsv"));
  ASSERT_EQ(summary.size(), 3u);
  EXPECT_EQ(summary[2][1], "2");
  EXPECT_EQ(ReadTsv(ReadBytes("Fisvalues_results.tsv")).size(), 5u);
  EXPECT_TRUE(PartFiles(folder.path()).empty());
}

// A small summary is rewritten after every test; the Run's last version is put in place
// once more when the Run ends (by a rename, which ext4 writes out at once), and only then.
TEST(SummaryTable, SmallOneIsRewrittenAfterEveryTestAndPutInPlaceOnceMoreAtTheEnd) {
  ScopedWorkingFolder folder;
  const WorkingFolder working = OpenWorkingFolder(".");
  OutcomeFiles files = StartOutcomeFiles("results.txt", false, {std::chrono::hours(1), 1 << 20});
  TestOutcome outcome;
  outcome.kind = RandomizationKind::kPerPopulation;
  for (int32_t k = 1; k <= 3; ++k) {
    outcome.index = k;
    AddOutcome(working, files, outcome, {});
    EXPECT_EQ(ReadTsv(ReadBytes("Summary_results.tsv")).size(), static_cast<size_t>(k) + 1);
  }
  const std::string whole = ReadBytes("Summary_results.tsv");
  WriteBytes("Summary_results.tsv", "changed behind the Run's back");
  FinishOutcomeFiles(working, files);
  EXPECT_EQ(ReadBytes("Summary_results.tsv"), whole);
  std::filesystem::remove("Summary_results.tsv");
  SalvageOutcomeFiles(working, files);
  EXPECT_FALSE(std::filesystem::exists("Summary_results.tsv")) << "already in place";
  EXPECT_TRUE(PartFiles(folder.path()).empty());
}

TEST(OutcomeTables, NamesDropTheResultNamesExtension) {
  EXPECT_EQ(SummaryFileName("results.txt"), "Summary_results.tsv");
  EXPECT_EQ(FisValuesFileName("results.txt"), "Fisvalues_results.tsv");
  EXPECT_EQ(ResultStem("results"), "results");
  EXPECT_EQ(ResultStem("run.2024.txt"), "run.2024");
  EXPECT_EQ(ResultStem("out/a.txt"), "out/a");
  EXPECT_EQ(ResultStem("out.d/a"), "out.d/a");
  EXPECT_EQ(ResultStem(".hidden"), ".hidden");
  EXPECT_EQ(SummaryFileName("out/a.txt"), "Summary_out/a.tsv");
}

TEST(OutcomeTables, NameWithSeparatorsIsQuotedAndReadsBack) {
  TestOutcome outcome;
  outcome.kind = RandomizationKind::kPerLocus;
  outcome.index = 3;
  outcome.name = "Loc\t\"3\"";
  outcome.observed = 0.25_ext;
  outcome.expected = -Extended(1) / 3;
  outcome.pLower = Extended(1) / 10001;
  const std::string row = SummaryRow(outcome);
  EXPECT_EQ(row,
            "locus\t3\t\"Loc\t\"\"3\"\"\"\t0\t0\t0.25\t-0.3333333333333333\t9.999000099990002e-"
            "05\t1\t0\t0");
  const TsvTable table = ReadTsv(SummaryHeader() + "\r\n" + row + "\r\n");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1][2], outcome.name);
}

TEST(OutcomeStatistics, RunningPValuesAreTheCharts) {
  ScopedWorkingFolder folder;
  FakeRunView view;
  genosieve::Run(AspenSettings(), view);
  ASSERT_EQ(view.points.size(), 20u);
  EXPECT_EQ(RunningPValues(view.outcomes[0]), view.points);
}

TEST(OutcomeStatistics, CentralRangeLeavesOutAFortiethAtEachEnd) {
  std::vector<Extended> values;
  for (int v = 40; v >= 1; --v) values.push_back(v);
  RandomizedRange range = CentralRange(values);  // k = 1 of 40
  EXPECT_EQ(range.low, 1.0);
  EXPECT_EQ(range.high, 40.0);
  values.push_back(41);  // k = 2 of 41
  range = CentralRange(values);
  EXPECT_EQ(range.low, 2.0);
  EXPECT_EQ(range.high, 40.0);
  range = CentralRange({});
  EXPECT_TRUE(std::isnan(range.low) && std::isnan(range.high));
}

TEST(Interpretation, HolmRejectsStepDownFromTheSmallestPValue) {
  // Sorted 0.005 <= 0.05/4 and 0.01 <= 0.05/3, then 0.03 > 0.05/2 stops.
  EXPECT_EQ(HolmRejections({0.01, 0.04, 0.03, 0.005}, 0.05), 2);
  EXPECT_EQ(HolmRejections({0.2, 0.001}, 0.05), 1);
  EXPECT_EQ(HolmRejections({0.05}, 0.05), 1);  // at most alpha
  EXPECT_EQ(HolmRejections({0.026, 0.026}, 0.05), 0);
  EXPECT_EQ(HolmRejections({}, 0.05), 0);
}

// The values marked are those counted: the smallest ones, ties with the last counted
// included.
TEST(Interpretation, HolmRejectedMarksTheValuesItCounts) {
  EXPECT_EQ(HolmRejected({0.01, 0.04, 0.03, 0.005}, 0.05),
            (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(HolmRejected({0.2, 0.001}, 0.05), (std::vector<bool>{false, true}));
  EXPECT_EQ(HolmRejected({0.026, 0.026}, 0.05), (std::vector<bool>{false, false}));
  EXPECT_EQ(HolmRejected({0.01, 0.01, 0.01}, 0.05), (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(HolmRejected({}, 0.05).empty());
  std::mt19937 random(5);
  std::uniform_real_distribution<double> p(0, 0.1);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<double> values(1 + trial % 30);
    for (double& value : values) value = std::round(p(random) * 200) / 200;
    const std::vector<bool> marked = HolmRejected(values, 0.05);
    EXPECT_EQ(std::count(marked.begin(), marked.end(), true), HolmRejections(values, 0.05));
  }
}

TEST(Interpretation, OneLinePerKindOfTest) {
  ScopedWorkingFolder folder;
  FakeRunView view;
  genosieve::Run(AspenSettings(), view);
  // Population 1's p_lower is 1/21 (at most 0.05); Holm needs 0.05/4 = 0.0125.
  EXPECT_EQ(InterpretationLines(view.outcomes),
            (std::vector<std::string>{
                "overall: observed Fis 0.1148, expected 0.1029, p_lower 0.619, p_upper 0.4286 "
                "(20 iterations)",
                "loci: 0 of 6 with p_lower <= 0.05 (0 after Holm correction)",
                "populations: 1 of 4 with p_lower <= 0.05 (0 after Holm correction)"}));
  view.outcomes.resize(1);
  EXPECT_EQ(InterpretationLines(view.outcomes).size(), 1u);
}

}  // namespace
}  // namespace genosieve
