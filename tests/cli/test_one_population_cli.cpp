// A data file of one population through the command line: it runs with the estimator
// for one sample, says so, and writes the same files on any number of threads.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using genosieve::testing::Entries;
using genosieve::testing::ExamplePath;
using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::WriteBytes;

const std::string kNotice =
    "genosieve-cli: Data file \"posidonia.txt\": one population: the overall and per-locus "
    "tests estimate Fis with Weir & Cockerham's estimator for one sample; each population test "
    "pairs the population with its filler population as usual\n";

TEST(OnePopulationCli, ThePosidoniaMeadowRunsAndSaysWhichEstimatorGaveTheValues) {
  ScopedWorkingFolder folder;
  fs::copy_file(ExamplePath("posidonia.txt"), "posidonia.txt");
  std::vector<std::vector<std::string>> tables;
  for (const std::string threads : {"1", "3"}) {
    const std::string out = "threads" + threads;
    fs::create_directory(out);
    const Outcome outcome =
        RunCli({"-n", "199", "--seed", "8", "--per-locus", "--per-pop", "--pvalue-files",
                "--threads", threads, "-C", out, "posidonia.txt"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "done ! \n");
    EXPECT_EQ(outcome.err.substr(0, kNotice.size()), kNotice);
    // The last line: 40 ramets, 28 genets, 5 repeated genotypes, none with psex >= 0.05.
    const std::string last =
        "genosieve-cli: clones: pop1: R 0.6923, 0 of 5 repeated MLGs with "
        "psex >= 0.05\n";
    EXPECT_EQ(outcome.err.substr(outcome.err.size() - last.size()), last);
    EXPECT_EQ(ReadBytes(out + "/results.txt")
                  .rfind("One population: Fis of the overall and per-locus tests by Weir & "
                         "Cockerham's estimator for one sample\r\nOverall Loci, Overall "
                         "Populations\r\n",
                         0),
              0u);
  }
  // Byte for byte the same files, whatever the number of threads.
  const std::vector<std::string> names = Entries("threads1");
  EXPECT_EQ(names, Entries("threads3"));
  // The results file, three clone files, three tables, two intermediate files and the
  // p-value files of the overall test, seven loci and the population.
  EXPECT_EQ(names.size(), 1u + 3u + 3u + 2u + 9u);
  for (const std::string& name : names) {
    EXPECT_EQ(ReadBytes("threads1/" + name), ReadBytes("threads3/" + name)) << name;
  }
}

TEST(OnePopulationCli, EveryGenotypeMissingStillEndsWithTheFrenchMessage) {
  ScopedWorkingFolder folder;
  WriteBytes("empty.txt",
             "1 2 130 3\r\nL1\r\nL2\r\n1\t000000\t000000\t\r\n1\t000000\t000000\t\r\n");
  const Outcome outcome = RunCli({"-q", "-n", "10", "empty.txt"});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err.rfind("genosieve-cli: Op\xC3\xA9ration en virgule flottante incorrecte", 0),
            0u)
      << outcome.err;
}

}  // namespace
