#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/tally.h"
#include "errors.h"
#include "io/io_error.h"
#include "messages.h"
#include "reports/results_file.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;

// A normalised tally as a test leaves it: observed, expected (the mean), 1, then the
// running P-value after each iteration. `counts[i - 1]` is the number of values not above
// the observed one after i iterations, the observed value included.
TallyState NormalisedState(Extended observed, Extended expected,
                           const std::vector<int32_t>& counts) {
  TallyState state = MakeTallyState(static_cast<int32_t>(counts.size()));
  state.testTally[0] = observed;
  state.testTally[1] = expected;
  state.testTally[2] = 1;
  for (size_t i = 1; i <= counts.size(); ++i) {
    state.testTally[i + 2] = static_cast<Extended>(counts[i - 1]) / static_cast<Extended>(i + 1);
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

// Two loci and two populations, every analysis on, in the order the Run writes them.
void WriteWorkedExample(const std::string& resultName) {
  WriteOverallSection(resultName, StateWithPValue(0.123456789012345678L, 0.05L, 1000, 41), '.');
  WritePerLocusSection(resultName, StateWithPValue(-0.25L, -1.0L / 3, 1000, 0), 1, '.');
  WritePerLocusSection(resultName, StateWithoutIterations(0.0625L), 2, '.');
  WritePerPopulationSection(resultName, StateWithPValue(1.0L / 3, 0.00005L, 10000, 0), 1, '.');
  WritePerPopulationSection(resultName, StateWithPValue(2.0L / 3, 0.5L, 1, 0), 2, '.');
}

// Lines first..last (1-based, inclusive) of a text of CR LF lines, with their line ends.
std::string LinesOf(const std::string& text, int first, int last) {
  size_t begin = 0;
  size_t end = 0;
  for (int line = 1; line <= last; ++line) {
    if (line == first) begin = end;
    end = text.find("\r\n", end) + 2;
  }
  return text.substr(begin, end - begin);
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
  WriteWorkedExample("results.txt");
  EXPECT_EQ(ReadBytes("results.txt"),
            ReadBytes(TestDataPath("reports/worked_example_results.txt")));
}

TEST(ResultsFile, SectionsFollowTheAnalysesThatRan) {
  ScopedWorkingFolder folder;
  const std::string expected = ReadBytes(TestDataPath("reports/worked_example_results.txt"));
  ASSERT_FALSE(expected.empty());

  // No per-locus or per-population analysis: the five lines of the overall section.
  WriteOverallSection("out.txt", StateWithPValue(0.123456789012345678L, 0.05L, 1000, 41), '.');
  EXPECT_EQ(ReadBytes("out.txt"), LinesOf(expected, 1, 5));

  // Per-locus analysis only: no "Per Population Analyses" line follows.
  WritePerLocusSection("out.txt", StateWithPValue(-0.25L, -1.0L / 3, 1000, 0), 1, '.');
  WritePerLocusSection("out.txt", StateWithoutIterations(0.0625L), 2, '.');
  EXPECT_EQ(ReadBytes("out.txt"), LinesOf(expected, 1, 18));

  // Per-population analysis only: its heading follows the overall section directly.
  WriteOverallSection("pops.txt", StateWithPValue(0.123456789012345678L, 0.05L, 1000, 41), '.');
  WritePerPopulationSection("pops.txt", StateWithPValue(1.0L / 3, 0.00005L, 10000, 0), 1, '.');
  EXPECT_EQ(ReadBytes("pops.txt"), LinesOf(expected, 1, 5) + LinesOf(expected, 19, 25));
}

TEST(ResultsFile, ARerunKeepsOnlyTheSecondRunsSections) {
  ScopedWorkingFolder folder;
  WriteOverallSection("results.txt", StateWithPValue(0.9L, 0.8L, 5, 2), '.');
  for (int32_t locus = 1; locus <= 4; ++locus) {
    WritePerLocusSection("results.txt", StateWithPValue(0.1L * locus, 0.2L, 5, locus), locus, '.');
  }
  WritePerPopulationSection("results.txt", StateWithPValue(0.3L, 0.2L, 5, 1), 1, '.');
  WriteWorkedExample("results.txt");
  EXPECT_EQ(ReadBytes("results.txt"),
            ReadBytes(TestDataPath("reports/worked_example_results.txt")));
}

TEST(ResultsFile, NoIterationsReportsTheObservedValueAsExpectedAndPValueOne) {
  ScopedWorkingFolder folder;
  WriteOverallSection("results.txt", StateWithoutIterations(-0.125L), ',');
  EXPECT_EQ(ReadBytes("results.txt"),
            "Overall Loci, Overall Populations\r\nFis\r\n-0,125\tObserved\r\n-0,125\tExpected\r\n"
            "1\tp-value\r\n");
}

TEST(PValueFile, WritesTheRunningPValueOfEveryIteration) {
  ScopedWorkingFolder folder;
  // Iterations 1 and 4 gave a Fis not above the observed one.
  WritePValueFile("Locus1p-values_out.txt", NormalisedState(0.2L, 0.25L, {2, 2, 2, 3}), ',');
  EXPECT_EQ(ReadBytes("Locus1p-values_out.txt"),
            ReadBytes(TestDataPath("reports/pvalues_four_iterations_comma.txt")));
}

TEST(PValueFile, HoldsOneLinePerIterationEndingWithTheTestsPValue) {
  ScopedWorkingFolder folder;
  // Long enough to be written in several pieces.
  WritePValueFile("p.txt", StateWithPValue(0.1L, 0.2L, 20000, 41), '.');
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
  WritePValueFile("Pop1p-values_results.txt", StateWithoutIterations(0.3L), '.');
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

TEST(ReportWriteFailures, AFullDiskIsTheDiskFullError) {
  const TallyState state = StateWithPValue(0.1L, 0.2L, 20000, 41);
  EXPECT_EQ(ErrorMessageOf([&] { WriteOverallSection("/dev/full", state, '.'); }), "Disque plein");
  EXPECT_EQ(ErrorMessageOf([&] { WritePerLocusSection("/dev/full", state, 1, '.'); }),
            "Disque plein");
  EXPECT_EQ(ErrorMessageOf([&] { WritePerPopulationSection("/dev/full", state, 2, '.'); }),
            "Disque plein");
  EXPECT_EQ(ErrorMessageOf([&] { WritePValueFile("/dev/full", state, '.'); }), "Disque plein");
}

TEST(ReportWriteFailures, FilesThatCannotBeOpenedAreIoErrors) {
  ScopedWorkingFolder folder;
  const TallyState state = StateWithPValue(0.1L, 0.2L, 3, 1);
  const std::string notFound = IoErrorMessage(IoCodeFromErrno(ENOENT));
  EXPECT_EQ(ErrorMessageOf([&] { WriteOverallSection("missing/results.txt", state, '.'); }),
            notFound);
  EXPECT_EQ(ErrorMessageOf([&] { WritePValueFile("missing/p.txt", state, '.'); }), notFound);
  // Sections are appended to the results file that the overall section created.
  EXPECT_EQ(ErrorMessageOf([&] { WritePerLocusSection("results.txt", state, 1, '.'); }), notFound);
  EXPECT_EQ(ErrorMessageOf([&] { WritePerPopulationSection("results.txt", state, 1, '.'); }),
            notFound);
  EXPECT_FALSE(std::filesystem::exists("results.txt"));

  std::filesystem::create_directory("folder.txt");
  EXPECT_EQ(ErrorMessageOf([&] { WriteOverallSection("folder.txt", state, '.'); }),
            IoErrorMessage(IoCodeFromErrno(EISDIR)));
}

TEST(ReportWriteFailures, FailuresLeaveNoFileOpen) {
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const TallyState state = StateWithPValue(0.1L, 0.2L, 100, 41);
  const auto before = openFiles();
  for (int n = 0; n < 50; ++n) {
    EXPECT_THROW(WritePValueFile("/dev/full", state, '.'), RunError);
    EXPECT_THROW(WriteOverallSection("/dev/full", state, '.'), RunError);
  }
  EXPECT_EQ(openFiles(), before);
}

TEST(ReportWriteFailures, ATallyTooShortForItsIterationsWritesNothing) {
  ScopedWorkingFolder folder;
  TallyState state = StateWithPValue(0.1L, 0.2L, 3, 1);
  state.iterations = 4;
  EXPECT_THROW(WriteOverallSection("results.txt", state, '.'), RunError);
  EXPECT_THROW(WritePValueFile("p.txt", state, '.'), RunError);
  EXPECT_FALSE(std::filesystem::exists("results.txt"));
  EXPECT_FALSE(std::filesystem::exists("p.txt"));
}

}  // namespace
}  // namespace genosieve
