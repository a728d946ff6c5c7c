#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/tally.h"
#include "errors.h"
#include "io/io_error.h"
#include "messages.h"
#include "reports/results_file.h"
#include "support/current_folder.h"
#include "support/full_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::InFullFolder;
using testing::LinesOf;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;

// A normalised tally as a test leaves it: observed, expected (the mean), 1, then the
// running P-value after each iteration. `counts[i - 1]` is the number of values not above
// the observed one after i iterations, the observed value included.
TallyState NormalisedState(Extended observed, Extended expected,
                           const std::vector<int32_t>& counts) {
  TallyState state = MakeTallyState(static_cast<int32_t>(counts.size()));
  state.observedFis = observed;
  state.sumFis = expected;
  state.normalised = true;
  state.randomized = state.iterations;
  state.notAbove = 1;
  for (int32_t count : counts) {
    // Each iteration's value is not above the observed one when it adds to the count.
    state.notAboveFlags.push_back(count > state.notAbove);
    state.notAbove = count;
  }
  return state;
}

// N iterations of which `notAbove` gave a Fis not above the observed one, all of them first.
TallyState StateWithPValue(Extended observed, Extended expected, int32_t iterations,
                           int32_t notAbove) {
  std::vector<int32_t> counts(static_cast<size_t>(iterations));
  for (int32_t i = 1; i <= iterations; ++i) {
    counts[static_cast<size_t>(i - 1)] = 1 + (i < notAbove ? i : notAbove);
  }
  return NormalisedState(observed, expected, counts);
}

// The state of a test with no iterations: expected = observed, P-value 1.
TallyState StateWithoutIterations(Extended observed) {
  return NormalisedState(observed, observed, {});
}

// The results file of one Run, in the current folder.
struct Results {
  WorkingFolder folder = CurrentFolder();
  ResultsFile file;
  explicit Results(std::string name) { file.name = std::move(name); }
};

// Two loci and two populations, every analysis on, in the order the Run writes them.
void WriteWorkedExample(Results& r) {
  WriteOverallSection(r.folder, r.file,
                      StateWithPValue(0.123456789012345678_ext, 0.05_ext, 1000, 41), '.');
  WritePerLocusSection(r.folder, r.file, StateWithPValue(-0.25_ext, -Extended(1) / 3, 1000, 0), 1,
                       '.');
  WritePerLocusSection(r.folder, r.file, StateWithoutIterations(0.0625_ext), 2, '.');
  WritePerPopulationSection(r.folder, r.file,
                            StateWithPValue(Extended(1) / 3, 0.00005_ext, 10000, 0), 1, '.');
  WritePerPopulationSection(r.folder, r.file, StateWithPValue(Extended(2) / 3, 0.5_ext, 1, 0), 2,
                            '.');
}

std::string ErrorMessageOf(const std::function<void()>& write) {
  try {
    write();
  } catch (const RunError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no RunError was thrown";
  return "";
}

TEST(ResultsFile, WorkedExampleOfTwoLociAndTwoPopulations) {
  ScopedWorkingFolder folder;
  Results results("results.txt");
  WriteWorkedExample(results);
  EXPECT_EQ(ReadBytes("results.txt"),
            ReadBytes(TestDataPath("reports/worked_example_results.txt")));
}

TEST(ResultsFile, SectionsFollowTheAnalysesThatRan) {
  ScopedWorkingFolder folder;
  const std::string expected = ReadBytes(TestDataPath("reports/worked_example_results.txt"));
  ASSERT_FALSE(expected.empty());

  // No per-locus or per-population analysis: the five lines of the overall section.
  Results out("out.txt");
  WriteOverallSection(out.folder, out.file,
                      StateWithPValue(0.123456789012345678_ext, 0.05_ext, 1000, 41), '.');
  EXPECT_EQ(ReadBytes("out.txt"), LinesOf(expected, 1, 5));

  // Per-locus analysis only: no "Per Population Analyses" line follows.
  WritePerLocusSection(out.folder, out.file, StateWithPValue(-0.25_ext, -Extended(1) / 3, 1000, 0),
                       1, '.');
  WritePerLocusSection(out.folder, out.file, StateWithoutIterations(0.0625_ext), 2, '.');
  EXPECT_EQ(ReadBytes("out.txt"), LinesOf(expected, 1, 18));
  EXPECT_EQ(out.file.text, LinesOf(expected, 1, 18));

  // Per-population analysis only: its heading follows the overall section directly.
  Results pops("pops.txt");
  WriteOverallSection(pops.folder, pops.file,
                      StateWithPValue(0.123456789012345678_ext, 0.05_ext, 1000, 41), '.');
  WritePerPopulationSection(pops.folder, pops.file,
                            StateWithPValue(Extended(1) / 3, 0.00005_ext, 10000, 0), 1, '.');
  EXPECT_EQ(ReadBytes("pops.txt"), LinesOf(expected, 1, 5) + LinesOf(expected, 19, 25));
}

TEST(ResultsFile, ARerunKeepsOnlyTheSecondRunsSections) {
  ScopedWorkingFolder folder;
  Results first("results.txt");
  WriteOverallSection(first.folder, first.file, StateWithPValue(0.9_ext, 0.8_ext, 5, 2), '.');
  for (int32_t locus = 1; locus <= 4; ++locus) {
    WritePerLocusSection(first.folder, first.file,
                         StateWithPValue(0.1_ext * locus, 0.2_ext, 5, locus), locus, '.');
  }
  WritePerPopulationSection(first.folder, first.file, StateWithPValue(0.3_ext, 0.2_ext, 5, 1), 1,
                            '.');
  Results second("results.txt");
  WriteWorkedExample(second);
  EXPECT_EQ(ReadBytes("results.txt"),
            ReadBytes(TestDataPath("reports/worked_example_results.txt")));
}

TEST(ResultsFile, NoIterationsReportsTheObservedValueAsExpectedAndPValueOne) {
  ScopedWorkingFolder folder;
  Results results("results.txt");
  WriteOverallSection(results.folder, results.file, StateWithoutIterations(-0.125_ext), ',');
  EXPECT_EQ(ReadBytes("results.txt"),
            "Overall Loci, Overall Populations\r\nFis\r\n-0,125\tObserved\r\n-0,125\tExpected\r\n"
            "1\tp-value\r\n");
}

TEST(PValueFile, WritesTheRunningPValueOfEveryIteration) {
  ScopedWorkingFolder folder;
  // Iterations 1 and 4 gave a Fis not above the observed one.
  WritePValueFile(CurrentFolder(), "Locus1p-values_out.txt",
                  NormalisedState(0.2_ext, 0.25_ext, {2, 2, 2, 3}), ',');
  EXPECT_EQ(ReadBytes("Locus1p-values_out.txt"),
            ReadBytes(TestDataPath("reports/pvalues_four_iterations_comma.txt")));
}

TEST(PValueFile, HoldsOneLinePerIterationEndingWithTheTestsPValue) {
  ScopedWorkingFolder folder;
  // Long enough to be written in several pieces.
  WritePValueFile(CurrentFolder(), "p.txt", StateWithPValue(0.1_ext, 0.2_ext, 20000, 41), '.');
  const std::string text = ReadBytes("p.txt");
  size_t lines = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 20001u);
  EXPECT_TRUE(text.starts_with("iteration\tp-value\r\n1\t1\r\n2\t1\r\n"));
  EXPECT_TRUE(text.ends_with("\r\n20000\t0.00209989500524974\r\n"));  // 42 / 20001
  EXPECT_EQ(text.find("\t\r\n"), std::string::npos);
}

TEST(PValueFile, NoIterationsGivesTheHeaderAlone) {
  ScopedWorkingFolder folder;
  testing::WriteBytes("Pop1p-values_results.txt", "an earlier run's file\r\n");
  WritePValueFile(CurrentFolder(), "Pop1p-values_results.txt", StateWithoutIterations(0.3_ext),
                  '.');
  EXPECT_EQ(ReadBytes("Pop1p-values_results.txt"), "iteration\tp-value\r\n");
}

TEST(PValueFile, NamesPutThePrefixInFrontOfTheWholeResultName) {
  EXPECT_EQ(OverallPValueFileName("results.txt"), "overall p-values_results.txt");
  EXPECT_EQ(LocusPValueFileName("out.txt", 12), "Locus12p-values_out.txt");
  EXPECT_EQ(PopulationPValueFileName("out.txt", 10), "Pop10p-values_out.txt");
  EXPECT_EQ(LocusPValueFileName("results.txt", 2), "Locus2p-values_results.txt");
  EXPECT_EQ(PopulationPValueFileName("results.txt", 1), "Pop1p-values_results.txt");
  EXPECT_EQ(LocusPValueFileName("res/a.txt", 3), "Locus3p-values_res/a.txt");
}

TEST(ResultsFile, AnInterruptedRunEndsItsOwnFileWithALastLine) {
  ScopedWorkingFolder folder;
  testing::WriteBytes("results.txt", "the previous Run's results\r\n");
  Results results("results.txt");
  // Stopped before the overall section: the previous file stays as it was.
  WriteInterruptedLine(results.folder, results.file);
  EXPECT_EQ(ReadBytes("results.txt"), "the previous Run's results\r\n");

  WriteOverallSection(results.folder, results.file, StateWithoutIterations(-0.125_ext), '.');
  WritePerLocusSection(results.folder, results.file, StateWithoutIterations(0.5_ext), 1, '.');
  const std::string finished = ReadBytes("results.txt");
  WriteInterruptedLine(results.folder, results.file);
  EXPECT_EQ(ReadBytes("results.txt"), finished + "Run interrupted\r\n");
}

// A large file waits for its schedule: it holds the previous Run's file, then the first
// sections, until the rest is published; a small one takes every section at once.
TEST(ResultsFile, AScheduleHoldsALargeFilesSectionsUntilTheyArePublished) {
  ScopedWorkingFolder folder;
  const std::string expected = ReadBytes(TestDataPath("reports/worked_example_results.txt"));
  testing::WriteBytes("results.txt", "the previous Run's results\r\n");
  Results results("results.txt");
  results.file.schedule.interval = std::chrono::hours(1);
  results.file.schedule.smallSize = 1;  // every file is large
  WriteOverallSection(results.folder, results.file,
                      StateWithPValue(0.123456789012345678_ext, 0.05_ext, 1000, 41), '.');
  WritePerLocusSection(results.folder, results.file,
                       StateWithPValue(-0.25_ext, -Extended(1) / 3, 1000, 0), 1, '.');
  WritePerLocusSection(results.folder, results.file, StateWithoutIterations(0.0625_ext), 2, '.');
  // The overall section starts the file at once; the locus sections wait.
  EXPECT_EQ(ReadBytes("results.txt"), LinesOf(expected, 1, 5));
  EXPECT_EQ(results.file.text, LinesOf(expected, 1, 18));
  PublishResults(results.folder, results.file);
  EXPECT_EQ(ReadBytes("results.txt"), LinesOf(expected, 1, 18));
  WritePerPopulationSection(results.folder, results.file,
                            StateWithPValue(Extended(1) / 3, 0.00005_ext, 10000, 0), 1, '.');
  EXPECT_EQ(ReadBytes("results.txt"), LinesOf(expected, 1, 18));
  // A stop writes what waited with its last line.
  WriteInterruptedLine(results.folder, results.file);
  EXPECT_EQ(ReadBytes("results.txt"), LinesOf(expected, 1, 25) + "Run interrupted\r\n");

  // Below the small size, the same schedule writes every section.
  Results small("small.txt");
  small.file.schedule.interval = std::chrono::hours(1);
  small.file.schedule.smallSize = 1 << 20;
  WriteWorkedExample(small);
  EXPECT_EQ(ReadBytes("small.txt"), expected);
  // The last section replaced the Run's previous version by an exchange of names: the Run's
  // last version is put in place again, by a rename, which ext4 writes out at once.
  testing::WriteBytes("small.txt", "changed behind the Run's back");
  PublishResults(small.folder, small.file);
  EXPECT_EQ(ReadBytes("small.txt"), expected);
  // Publishing what is already in place that way leaves the file alone.
  std::filesystem::remove("small.txt");
  PublishResults(small.folder, small.file);
  EXPECT_FALSE(std::filesystem::exists("small.txt"));
}

// Once a rewrite is done, the next waits for the interval, or for four times the rewrite's
// own time when that is longer.
TEST(RewriteSchedule, WaitsForTheIntervalOrFourTimesTheRewrite) {
  RewriteSchedule schedule;
  EXPECT_TRUE(RewriteDue(schedule, 1 << 30));  // the default: after every addition
  schedule.interval = std::chrono::hours(1);
  schedule.smallSize = 100;
  EXPECT_TRUE(RewriteDue(schedule, 1000));  // nothing written yet
  Rewritten(schedule, RewriteSchedule::Clock::now());
  EXPECT_FALSE(RewriteDue(schedule, 1000));
  EXPECT_TRUE(RewriteDue(schedule, 99));
  schedule.interval = std::chrono::nanoseconds(1);
  const RewriteSchedule::Clock::time_point start = RewriteSchedule::Clock::now();
  Rewritten(schedule, start - std::chrono::hours(1));
  EXPECT_GE(schedule.next - start, std::chrono::hours(4));
}

TEST(ReportWriteFailures, AFullDiskIsTheDiskFullErrorAndKeepsTheFinishedSections) {
  const std::optional<std::string> problem = InFullFolder(
      [] {
        testing::WriteBytes("results.txt", "the previous Run's results\r\n");
        testing::WriteBytes("p.txt", "the previous Run's p-values\r\n");
      },
      [] {
        const TallyState state = StateWithPValue(0.1_ext, 0.2_ext, 20000, 41);
        std::string problems;
        Results results("results.txt");
        const auto expectFull = [&problems](const char* what, const std::function<void()>& write) {
          try {
            write();
            problems += std::string(what) + ": no error; ";
          } catch (const RunError& error) {
            if (std::string(error.what()) != "Disque plein") {
              problems += std::string(what) + ": " + error.what() + "; ";
            }
          }
        };
        expectFull("overall",
                   [&] { WriteOverallSection(results.folder, results.file, state, '.'); });
        expectFull("p-values", [&] { WritePValueFile(results.folder, "p.txt", state, '.'); });
        if (ReadBytes("results.txt") != "the previous Run's results\r\n") {
          problems += "results.txt changed; ";
        }
        if (ReadBytes("p.txt") != "the previous Run's p-values\r\n") problems += "p.txt changed; ";
        if (results.file.written || !results.file.text.empty()) problems += "text kept; ";
        return problems;
      });
  if (!problem) GTEST_SKIP() << "no file system can be mounted here";
  EXPECT_EQ(*problem, "");
}

TEST(ReportWriteFailures, FilesThatCannotBeOpenedAreRunErrors) {
  ScopedWorkingFolder folder;
  const TallyState state = StateWithPValue(0.1_ext, 0.2_ext, 3, 1);
  Results missing("missing/results.txt");
  EXPECT_EQ(ErrorMessageOf([&] { WriteOverallSection(missing.folder, missing.file, state, '.'); }),
            "Output file \"missing/results.txt\": the folder \"missing\" does not exist");
  EXPECT_EQ(ErrorMessageOf([&] { WritePValueFile(CurrentFolder(), "missing/p.txt", state, '.'); }),
            "Output file \"missing/p.txt\": the folder \"missing\" does not exist");
  // Sections continue the file that the overall section started.
  Results results("results.txt");
  EXPECT_THROW(WritePerLocusSection(results.folder, results.file, state, 1, '.'), InternalError);
  EXPECT_THROW(WritePerPopulationSection(results.folder, results.file, state, 1, '.'),
               InternalError);
  EXPECT_FALSE(std::filesystem::exists("results.txt"));

  std::filesystem::create_directory("folder.txt");
  Results inFolder("folder.txt");
  EXPECT_EQ(
      ErrorMessageOf([&] { WriteOverallSection(inFolder.folder, inFolder.file, state, '.'); }),
      "Output file \"folder.txt\": the name is that of a folder, not of a file");
}

TEST(ReportWriteFailures, ATallyTooShortForItsIterationsWritesNothing) {
  ScopedWorkingFolder folder;
  TallyState state = StateWithPValue(0.1_ext, 0.2_ext, 3, 1);
  state.iterations = 4;
  Results results("results.txt");
  EXPECT_THROW(WriteOverallSection(results.folder, results.file, state, '.'), RunError);
  EXPECT_THROW(WritePValueFile(results.folder, "p.txt", state, '.'), RunError);
  EXPECT_FALSE(std::filesystem::exists("results.txt"));
  EXPECT_FALSE(std::filesystem::exists("p.txt"));
}

}  // namespace
}  // namespace genosieve
