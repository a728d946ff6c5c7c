// The memory of a Run does not grow with its tests times its iterations: genosieve-cli,
// in a child process, runs 61 tests of 300,000 iterations each, and its peak resident
// memory (the child's own, as the system counts it) stays far below the 16 bytes per
// test and iteration that keeping every value would take (about 290 MB here).
#include <gtest/gtest.h>

#include <string>

#include "support/cli_process.h"
#include "support/test_files.h"

namespace {

using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::WriteBytes;

// 30 populations of 6 individuals at 30 loci of 8 alleles drawn at random: repeated
// genotypes are unlikely, so that the iterations cost little and the Run stays short.
std::string ManyTestsData() {
  std::string text = "30 30 20 3\r\n";
  for (int l = 1; l <= 30; ++l) {
    text += 'L';
    text += std::to_string(l);
    text += "\r\n";
  }
  unsigned state = 12345;
  auto allele = [&state] {
    state = state * 1103515245u + 12345u;
    // Three digits: 001 to 008.
    std::string digits = "00";
    digits += static_cast<char>('1' + (state >> 16) % 8);
    return digits;
  };
  for (int p = 1; p <= 30; ++p) {
    for (int i = 0; i < 6; ++i) {
      text += std::to_string(p);
      for (int l = 0; l < 30; ++l) {
        text += '\t';
        text += allele();
        text += allele();
      }
      text += "\r\n";
    }
  }
  return text;
}

TEST(RunMemory, ManyTestsOfManyIterationsStayUnderACeiling) {
  if (GENOSIEVE_UNDER_ASAN) GTEST_SKIP() << "AddressSanitizer's memory is not the Run's";
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", ManyTestsData());
  const Outcome outcome = RunCli({"-q", "--seed", "1", "--threads", "2", "-n", "300000",
                                  "--per-locus", "--per-pop", "data.txt"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  // 61 tests: the overall one, 30 loci, 30 populations.
  const std::string results = ReadBytes("results.txt");
  EXPECT_NE(results.find("Population: 30"), std::string::npos);
  EXPECT_LT(outcome.peakMemoryKb, 64L << 10);
}

}  // namespace
