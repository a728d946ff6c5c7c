// The memory of a Run does not grow with its tests times its iterations: genosieve-cli,
// in a child process, runs 61 tests of 300,000 iterations each, and its peak resident
// memory (the child's own, as the system counts it) stays far below the 16 bytes per
// test and iteration that keeping every value would take (about 290 MB here). Nor does
// a wide table take much more than its genotypes.
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

// SNP-shaped data: 10 populations of 100 individuals at 4,000 biallelic loci (4 million
// genotypes, a 28 MB file), some genotypes missing.
std::string WideData() {
  constexpr int kPopulations = 10;
  constexpr int kIndividuals = 100;
  constexpr int kLoci = 4000;
  std::string text = std::to_string(kPopulations) + " " + std::to_string(kLoci) + " 2 3\r\n";
  for (int l = 1; l <= kLoci; ++l) {
    text += 'L';
    text += std::to_string(l);
    text += "\r\n";
  }
  text.reserve(text.size() + std::size_t{kPopulations} * kIndividuals * (kLoci * 7 + 5));
  unsigned state = 2024;
  for (int p = 1; p <= kPopulations; ++p) {
    for (int i = 0; i < kIndividuals; ++i) {
      text += std::to_string(p);
      for (int l = 0; l < kLoci; ++l) {
        state = state * 1103515245u + 12345u;
        const unsigned draw = (state >> 16) % 16;
        text += draw == 0   ? "\t000000"
                : draw < 8  ? "\t001002"
                : draw < 12 ? "\t001001"
                            : "\t002002";
      }
      text += "\r\n";
    }
  }
  return text;
}

// The table, its clone-free copy and the file's text take a few bytes per genotype: the
// Run's peak stays well under what two int32 per genotype and a text grown by doubling
// took (about 150 MB here).
TEST(RunMemory, ASnpShapedTableTakesAFewBytesPerGenotype) {
  if (GENOSIEVE_UNDER_ASAN) GTEST_SKIP() << "AddressSanitizer's memory is not the Run's";
  if (genosieve::testing::kEmulated)
    GTEST_SKIP() << "under an emulator, the peak is the emulator's";
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", WideData());
  const Outcome outcome = RunCli(
      {"-q", "--seed", "1", "--threads", "2", "-n", "20", "--per-locus", "--per-pop", "data.txt"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  EXPECT_NE(ReadBytes("results.txt").find("Population: 10"), std::string::npos);
  EXPECT_LT(outcome.peakMemoryKb, 100L << 10);
}

}  // namespace
