#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/run.h"
#include "errors.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::FakeRunView;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Runs and returns the failure message ("" when the Run ends normally).
std::string RunError_(const RunSettings& settings, FakeRunView& view) {
  try {
    Run(settings, view);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

const std::string kValidData =
    "2 2 140 3\r\nLocA\r\nLocB\r\n"
    "1\t120124\t130132\t\r\n1\t120124\t130132\t\r\n1\t124124\t132132\t\r\n"
    "2\t120120\t130130\t\r\n2\t124120\t000000\t\r\n2\t120124\t132130\t\r\n";

TEST(ConvertIterations, RefusesNegativeCountsAndNonIntegers) {
  EXPECT_EQ(ConvertIterations("1000"), 1000);
  EXPECT_EQ(ConvertIterations(" 0"), 0);
  try {
    ConvertIterations("-1");
    ADD_FAILURE() << "accepted -1";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), "The number of iterations must be 0 or more, not -1.");
  }
  try {
    ConvertIterations("abc");
    ADD_FAILURE() << "accepted abc";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), "'abc' n'est pas une valeur enti\xC3\xA8re correcte");
  }
}

TEST(RunSequence, BadIterationsOrDataStopTheRunBeforeAnyFileIsWritten) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  struct Case {
    std::string dataPath;
    std::string iterations;
    std::string expected;
  };
  WriteBytes("bad.txt", "2 2 140 3\r\nLocA\r\nLocB\r\n1\t120124\t130132\t\r\n");
  const std::vector<Case> cases = {
      {"data.txt", "abc", "'abc' n'est pas une valeur enti\xC3\xA8re correcte"},
      {"data.txt", "-5", "The number of iterations must be 0 or more, not -5."},
      {"data.txt", "", "'' n'est pas une valeur enti\xC3\xA8re correcte"},
      {"missing.txt", "10", "Fichier introuvable"},
      {"", "10", "Fichier introuvable"},
      {".", "10", "Acc\xC3\xA8s au fichier refus\xC3\xA9"},
      {"bad.txt", "10",
       "Data file \"bad.txt\", line 4: the file has 4 lines; with L = 2 it needs the header, 2 "
       "locus-name lines and at least two individual lines (it holds 1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataPath + " / " + c.iterations);
    RunSettings settings;
    settings.dataPath = c.dataPath;
    settings.iterationsText = c.iterations;
    settings.createPValueFiles = true;
    settings.perLocusAnalysis = true;
    settings.perPopulationAnalysis = true;
    FakeRunView view;
    EXPECT_EQ(RunError_(settings, view), c.expected);
    EXPECT_TRUE(view.messages.empty());
    std::vector<std::string> entries = FolderEntries(folder.path());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"bad.txt", "data.txt"}));
  }
}

TEST(RunSequence, AValidRunEndsWithDone) {
  ScopedWorkingFolder folder;
  RunSettings settings{.dataPath = std::string(GENOSIEVE_EXAMPLES_DIR) + "/zostera.txt",
                       .iterationsText = "3",
                       .seed = 1};
  FakeRunView view;
  EXPECT_EQ(RunError_(settings, view), "");
  EXPECT_EQ(view.messages, (std::vector<std::string>{"done ! "}));
}

// The view is told the clones' carriers once, before the first test, as the clone members
// file lists them.
TEST(RunSequence, TellsTheViewTheClonesItWrites) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  RunSettings settings{.dataPath = "data.txt", .iterationsText = "2", .seed = 1};
  struct ClonesFirst : FakeRunView {
    bool toldBeforeTests = false;
    void TestStarted(RandomizationKind kind, int32_t index, int32_t count,
                     const std::string& name) override {
      if (calls.empty() || clonesTold == 1) toldBeforeTests = clonesTold == 1;
      FakeRunView::TestStarted(kind, index, count, name);
    }
  } view;
  ASSERT_EQ(RunError_(settings, view), "");
  EXPECT_EQ(view.clonesTold, 1);
  EXPECT_TRUE(view.toldBeforeTests);
  ASSERT_EQ(view.clones.size(), size_t{2});
  // Population 1: lines 4 and 5 of the file carry one genotype, line 6 another.
  EXPECT_EQ(view.clones[0].name, "pop1");
  ASSERT_EQ(view.clones[0].genotypes.size(), size_t{2});
  EXPECT_EQ(view.clones[0].genotypes[0].individuals, (std::vector<std::string>{"4", "5"}));
  EXPECT_EQ(view.clones[0].genotypes[1].individuals, (std::vector<std::string>{"6"}));
  EXPECT_EQ(CloneSizes(view.clones[0]), std::vector<int32_t>{2});
  EXPECT_EQ(Individuals(view.clones[1]), 3);
  EXPECT_EQ(DistinctGenotypes(view.clones[1]), 3);
  EXPECT_TRUE(CloneSizes(view.clones[1]).empty());
}

// The whole Run's progress is measured against the tests it plans: the overall test and,
// with their options, one per locus and one per population; a failure before the tests
// plans none.
TEST(RunSequence, PlansItsTestsBeforeTheFirstStarts) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  struct Case {
    bool perLocus;
    bool perPopulation;
    int32_t tests;  // 2 loci, 2 populations
  };
  for (const Case& c :
       {Case{false, false, 1}, Case{true, false, 3}, Case{false, true, 3}, Case{true, true, 5}}) {
    SCOPED_TRACE(std::to_string(c.perLocus) + std::to_string(c.perPopulation));
    RunSettings settings{.dataPath = "data.txt",
                         .iterationsText = "4",
                         .perLocusAnalysis = c.perLocus,
                         .perPopulationAnalysis = c.perPopulation,
                         .seed = 3};
    FakeRunView view;
    ASSERT_EQ(RunError_(settings, view), "");
    EXPECT_EQ(view.plannedTests, c.tests);
    EXPECT_EQ(view.plannedIterations, 4);
    const auto started =
        std::count_if(view.calls.begin(), view.calls.end(),
                      [](const std::string& call) { return call.starts_with("test "); });
    EXPECT_EQ(started, c.tests);
  }
  RunSettings failing;
  failing.dataPath = "data.txt";
  failing.iterationsText = "x";
  FakeRunView view;
  EXPECT_NE(RunError_(failing, view), "");
  EXPECT_EQ(view.plannedTests, -1);
}

}  // namespace
}  // namespace genosieve
