// The memory estimate of analysis/resource_estimate.h against the peak resident memory of
// real Runs of genosieve-cli, in shapes that stress each of its terms: many iterations,
// many tests sharing a pass, many individuals, many alleles, per-population tests, threads.
// The estimate must never be below the peak (a Run it lets through must fit), nor far
// above it (it must not refuse Runs that would fit).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/resource_estimate.h"
#include "analysis/run_settings.h"
#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "messages.h"
#include "support/cli_process.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ExamplePath;
using testing::Outcome;
using testing::RunCli;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

// A native data file of P populations of `size` individuals, L loci and alleles 1..A, a
// third of each population's individuals clones of earlier ones.
std::string Generated(int32_t populations, int32_t loci, int32_t size, int32_t highestAllele) {
  std::string text = std::to_string(populations) + " " + std::to_string(loci) + " " +
                     std::to_string(highestAllele) + " 3\r\n";
  for (int32_t locus = 1; locus <= loci; ++locus) text += "L" + std::to_string(locus) + "\r\n";
  uint64_t state = 88172645463325252u;
  const auto next = [&state](uint64_t below) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state % below;
  };
  for (int32_t population = 1; population <= populations; ++population) {
    std::vector<std::string> rows;
    for (int32_t row = 0; row < size; ++row) {
      if (row > 0 && next(3) == 0) {
        rows.push_back(rows[next(rows.size())]);
        continue;
      }
      std::string line = std::to_string(population) + "\t";
      for (int32_t locus = 0; locus < loci; ++locus) {
        for (int allele = 0; allele < 2; ++allele) {
          const std::string digits = std::to_string(1 + next(highestAllele));
          line += std::string(3 - digits.size(), '0') + digits;
        }
        line += '\t';
      }
      rows.push_back(line + "\r\n");
    }
    for (const std::string& row : rows) text += row;
  }
  return text;
}

struct Case {
  std::string name;
  std::string data;  // the data file's text, or "" for aspen.txt
  int32_t iterations;
  int32_t threads;
  bool perLocus = false;
  bool perPopulation = false;
};

TEST(ResourceEstimate, TheMemoryEstimateHoldsForMeasuredPeaks) {
  if (GENOSIEVE_UNDER_ASAN) GTEST_SKIP() << "AddressSanitizer's memory is not the Run's";
  // qemu-user's own memory (its translated code, its guest mappings) is in the peak.
  if (testing::kEmulated) GTEST_SKIP() << "under an emulator, the peak is the emulator's";
  const std::vector<Case> cases = {
      {"many iterations", "", 150000, 2},
      {"every test of aspen", "", 40000, 2, true, true},
      {"many locus tests", Generated(2, 100, 20, 20), 4000, 1, true},
      {"many individuals", Generated(4, 20, 10000, 30), 10, 1},
      {"many alleles", Generated(4, 1000, 50, 999), 10, 1, false, true},
      {"many populations and threads", Generated(50, 10, 400, 20), 50, 4, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedWorkingFolder folder;
    RunSettings settings;
    settings.dataPath = ExamplePath("aspen.txt").string();
    if (!c.data.empty()) {
      settings.dataPath = "data.txt";
      WriteBytes(settings.dataPath, c.data);
    }
    settings.threads = c.threads;
    settings.perLocusAnalysis = c.perLocus;
    settings.perPopulationAnalysis = c.perPopulation;
    std::vector<std::string> args = {"-q",
                                     "--seed",
                                     "1",
                                     "-n",
                                     std::to_string(c.iterations),
                                     "--threads",
                                     std::to_string(c.threads)};
    if (c.perLocus) args.push_back("--per-locus");
    if (c.perPopulation) args.push_back("--per-pop");
    args.push_back(settings.dataPath);
    const Outcome outcome = RunCli(args);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;

    const DataFile data =
        ImportDataFile(settings.dataPath, DataFormat::kAuto, [](const std::string&) {});
    const uint64_t estimate =
        EstimateResources(ShapeOfRun(settings, data, BuildPopulationIndex(data), c.iterations))
            .memoryBytes();
    const uint64_t peak = static_cast<uint64_t>(outcome.peakMemoryKb) * 1024;
    EXPECT_GE(estimate, peak) << "estimate " << messages::ByteSize(estimate) << ", peak "
                              << messages::ByteSize(peak);
    EXPECT_LE(estimate, peak + peak / 2 + (uint64_t{8} << 20))
        << "estimate " << messages::ByteSize(estimate) << ", peak " << messages::ByteSize(peak);
  }
}

}  // namespace
}  // namespace genosieve
