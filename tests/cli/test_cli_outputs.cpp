#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"
#include "support/tsv_table.h"

namespace {

namespace fs = std::filesystem;
using genosieve::testing::Entries;
using genosieve::testing::ExamplePath;
using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::ReadTsv;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::TsvTable;

// What a seeded Run of the aspen example with every earlier option writes.
std::vector<std::string> EarlierOptions(const std::string& folder) {
  return {"-q",
          "-n",
          "40",
          "--seed",
          "11",
          "--per-locus",
          "--per-pop",
          "--pvalue-files",
          "-C",
          folder,
          ExamplePath("aspen.txt").string()};
}

const std::set<std::string> kFigureFiles = {
    "Fis_distribution_results.svg", "Fis_distribution_results.png", "Running_pvalue_results.svg",
    "Running_pvalue_results.png",   "Locus_fis_results.svg",        "Locus_fis_results.png",
    "Population_fis_results.svg",   "Population_fis_results.png",   "Clone_sizes_results.svg",
    "Clone_sizes_results.png"};

#ifdef GENOSIEVE_CLI_HAS_FIGURES
constexpr bool kFigures = true;
#else
constexpr bool kFigures = false;
#endif

TEST(CliOutputs, NewOptionsLeaveEveryEarlierFileByteIdentical) {
  ScopedWorkingFolder folder;
  fs::create_directories("plain");
  fs::create_directories("all");
  const Outcome plain = RunCli(EarlierOptions("plain"));
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  std::vector<std::string> args = EarlierOptions("all");
  args.insert(args.begin(), "--fis-values");
  if (kFigures) args.insert(args.begin(), "--figures");
  const Outcome all = RunCli(args);
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out, plain.out);

  std::set<std::string> added;
  for (const std::string& name : Entries("all")) added.insert(name);
  for (const std::string& name : Entries("plain")) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ReadBytes(fs::path("all") / name), ReadBytes(fs::path("plain") / name));
    added.erase(name);
  }
  std::set<std::string> expected = {"Fisvalues_results.tsv"};
  if (kFigures) expected.insert(kFigureFiles.begin(), kFigureFiles.end());
  EXPECT_EQ(added, expected);
  // The summary table is written by every Run.
  EXPECT_TRUE(fs::exists("plain/Summary_results.tsv"));
}

// The number of a results-file line "value TAB word", read back.
std::vector<double> ResultValues(const std::string& results, const std::string& word) {
  std::vector<double> values;
  const std::string suffix = "\t" + word + "\r\n";
  for (size_t end = results.find(suffix); end != std::string::npos;
       end = results.find(suffix, end + 1)) {
    const size_t start = results.rfind('\n', end) + 1;
    values.push_back(std::strtod(results.substr(start, end - start).c_str(), nullptr));
  }
  return values;
}

TEST(CliOutputs, TablesAgreeWithTheResultsFileAndWithEachOther) {
  ScopedWorkingFolder folder;
  std::vector<std::string> args = EarlierOptions(".");
  args.insert(args.begin(), "--fis-values");
  const Outcome outcome = RunCli(args);
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  const TsvTable summary = ReadTsv(ReadBytes("Summary_results.tsv"));
  const TsvTable values = ReadTsv(ReadBytes("Fisvalues_results.tsv"));
  const std::vector<double> pValues = ResultValues(ReadBytes("results.txt"), "p-value");
  ASSERT_EQ(summary.size(), 12u);  // header, overall, 6 loci, 4 populations
  ASSERT_EQ(pValues.size(), 11u);
  ASSERT_EQ(values.size(), 1u + 11u * 40u);
  for (size_t t = 1; t < summary.size(); ++t) {
    const std::vector<std::string>& row = summary[t];
    SCOPED_TRACE(row[0] + " " + row[1]);
    // p_lower is the results file's p-value, which has 15 significant digits.
    const double pLower = std::strtod(row[7].c_str(), nullptr);
    char fifteen[32];
    std::snprintf(fifteen, sizeof fifteen, "%.15g", pLower);
    EXPECT_EQ(std::strtod(fifteen, nullptr), pValues[t - 1]);
    // p_upper counts, among the observed value and the test's values, those at least
    // the observed one.
    const double observed = std::strtod(row[5].c_str(), nullptr);
    long atLeast = 1;
    long rows = 0;
    for (const std::vector<std::string>& line : values) {
      if (line[0] != row[0] || line[1] != row[1]) continue;
      ++rows;
      if (std::strtod(line[3].c_str(), nullptr) >= observed) ++atLeast;
    }
    EXPECT_EQ(rows, 40);
    EXPECT_EQ(std::lround(std::strtod(row[8].c_str(), nullptr) * 41), atLeast);
  }
}

TEST(CliOutputs, ResultsAtAGlanceOnStderrUnlessQuiet) {
  ScopedWorkingFolder folder;
  const std::vector<std::string> args = {
      "-n", "20", "--seed", "7", "--per-locus", "--per-pop", ExamplePath("aspen.txt").string()};
  const Outcome outcome = RunCli(args);
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  EXPECT_EQ(outcome.err,
            "genosieve-cli: overall: observed Fis 0.1148, expected 0.1029, p_lower 0.619, "
            "p_upper 0.4286 (20 iterations)\n"
            "genosieve-cli: loci: 0 of 6 with p_lower <= 0.05 (0 after Holm correction)\n"
            "genosieve-cli: populations: 1 of 4 with p_lower <= 0.05 (0 after Holm "
            "correction)\n"
            "genosieve-cli: clones: pop1: R 0.4324, 0 of 6 repeated MLGs with psex >= 0.05\n"
            "genosieve-cli: clones: pop2: R 0.5517, 0 of 5 repeated MLGs with psex >= 0.05\n"
            "genosieve-cli: clones: pop3: R 0.6875, 0 of 4 repeated MLGs with psex >= 0.05\n"
            "genosieve-cli: clones: pop4: R 0.5385, 0 of 5 repeated MLGs with psex >= 0.05\n");
  std::vector<std::string> quiet = args;
  quiet.insert(quiet.begin(), "-q");
  const Outcome silent = RunCli(quiet);
  EXPECT_EQ(silent.exitCode, 0);
  EXPECT_EQ(silent.err, "");
}

TEST(CliOutputs, FiguresAreDrawnOnlyWhereQtIsBuiltIn) {
  ScopedWorkingFolder folder;
  const Outcome outcome =
      RunCli({"-q", "-n", "10", "--seed", "3", "--figures", ExamplePath("aspen.txt").string()});
  if (!kFigures) {
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.err,
              "genosieve-cli: --figures: this genosieve-cli was built without Qt, so it cannot "
              "draw figures\n");
    EXPECT_TRUE(Entries(folder.path()).empty());
    return;
  }
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  EXPECT_EQ(outcome.err, "") << "Qt's notices stay out of the user's way";
  // Without single tests, the overall test's two figures.
  for (const char* name : {"Fis_distribution_results.svg", "Fis_distribution_results.png",
                           "Running_pvalue_results.svg", "Running_pvalue_results.png"}) {
    EXPECT_GT(fs::file_size(name), 1000u) << name;
  }
  EXPECT_FALSE(fs::exists("Locus_fis_results.svg"));
  // Nothing is left under a temporary name (hidden, ".genosieve-...").
  for (const std::string& name : Entries(folder.path())) {
    EXPECT_NE(name.rfind(".genosieve-", 0), 0u) << name;
  }
}

}  // namespace
