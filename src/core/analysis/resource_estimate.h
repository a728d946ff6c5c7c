#pragma once

// How much memory a Run takes, and how much disk its optional files, from the shape of
// its data and its settings; checked before the first test, so that a Run that cannot fit
// is refused with a clear message rather than killed by the system or stopped by a full
// disk hours later.
//
// The model is of today's code, term by term, with coefficients measured on it (peak
// resident memory of genosieve-cli, tests/cli/test_resource_estimate.cpp compares them).
// Whoever changes what a Run keeps in memory changes the terms here, and that test tells
// whether the estimate still holds.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "data/genotype_table.h"
#include "io/system_resources.h"
#include "io/working_folder.h"

namespace genosieve {

// What the estimate reads of a Run.
struct RunShape {
  int64_t individuals = 0;
  int32_t loci = 0;         // L
  int32_t populations = 0;  // P
  // The distinct alleles of each locus, added over the loci: the engine's tables hold
  // one cell per allele present.
  int64_t locusAlleles = 0;
  int32_t largestPopulation = 0;  // individuals of the largest population
  int32_t iterations = 0;         // N
  int32_t threads = 1;            // threads that work out the randomized values
  bool perLocus = false;
  bool perPopulation = false;
  bool pValueFiles = false;
  bool fisValues = false;
};

// The shape of a Run with these settings on these data, for N iterations.
RunShape ShapeOfRun(const RunSettings& settings, const DataFile& data, const PopulationIndex& index,
                    int32_t iterations);

// The randomization tests of the Run: the overall test, then L and P more as asked.
int64_t TestCount(const RunShape& shape);

// The coefficients of the model, in bytes.
namespace estimate {
// The program, its libraries and small tables.
inline constexpr uint64_t kBase = uint64_t{8} << 20;
// The data's tables (genotype table, clone-free table, intermediate tables, the
// evaluations' counts): per genotype (individual × locus), per individual (population,
// name, clone detection) and per allele present at a locus (the evaluations' cells).
inline constexpr uint64_t kPerGenotype = 48;
inline constexpr uint64_t kPerIndividual = 192;
inline constexpr uint64_t kPerLocusAllele = 160;
// With per-population tests, their evaluations: per locus, per locus and individual of
// the largest population, and per allele present at a locus.
inline constexpr uint64_t kPopulationTestsPerLocus = 4096;
inline constexpr uint64_t kPopulationTestsPerLocusIndividual = 48;
inline constexpr uint64_t kPopulationTestsPerLocusAllele = 48;
// Each thread besides the Run's own: its stack and its copy of the working tables.
inline constexpr uint64_t kPerThread = uint64_t{2} << 20;
inline constexpr uint64_t kPerThreadPerGenotype = 1;
// Per iteration, whatever the number of tests: the tally (two extended values), the
// finished test's values as reported (two copies) and the chart's running P-value.
inline constexpr uint64_t kPerIteration = 96;
// Per iteration and test computed in one pass (every test when the Run makes the pass
// for all of them at once): one extended value, with the allocator's share.
inline constexpr uint64_t kPerIterationPerTest = 17;
// The files: the p-value file's heading, and per line the iteration's digits and at most
// this much more (TAB, a P-value of up to 20 characters, CR LF); the Fis values' heading,
// and per row the test's name and index, the iteration's digits and at most this much more
// (three TABs, a value of up to 23 characters, CR LF).
inline constexpr uint64_t kPValueFileHeading = 19;
inline constexpr uint64_t kPValueLine = 23;
inline constexpr uint64_t kFisValuesHeading = 37;
inline constexpr uint64_t kFisValuesRow = 28;
}  // namespace estimate

struct ResourceEstimate {
  uint64_t dataBytes = 0;        // memory of the tables built from the data
  uint64_t iterationBytes = 0;   // memory of the values kept per iteration
  uint64_t pValueFileBytes = 0;  // all the p-value files
  uint64_t fisValuesBytes = 0;   // the table of randomized Fis values

  // The Run's peak resident memory from its first test on.
  uint64_t memoryBytes() const { return dataBytes + iterationBytes; }
  uint64_t diskBytes() const { return pValueFileBytes + fisValuesBytes; }
};

ResourceEstimate EstimateResources(const RunShape& shape);

// The size of one p-value file of N iterations.
uint64_t PValueFileBytes(int32_t iterations);

// Runs from this estimate on are announced (ShowNotice) before their first test.
inline constexpr uint64_t kLargeRunBytes = uint64_t{1} << 30;

// The room a Run has, as io/system_resources.h reads it: this process's memory, and each
// file system that its optional files go to, with the bytes they will take there.
struct DiskNeed {
  DiskRoom room;
  uint64_t need = 0;
};
struct RunRoom {
  MemoryRoom memory;
  std::vector<DiskNeed> disks;
};
RunRoom RoomForRun(const WorkingFolder& folder, const RunSettings& settings, const RunShape& shape);

// Refuses as CheckRunResources says, with that room; the notice of a large Run, or "".
std::string JudgeResources(const RunShape& shape, const RunRoom& room);

// Before the first test: refuses, with a RunError that says what is needed and what is
// available, a Run whose memory exceeds the room this process has (io/system_resources.h),
// or whose optional files exceed the free space of the file system they go to; announces
// a Run whose memory or files exceed kLargeRunBytes through the view's notices.
void CheckRunResources(const WorkingFolder& folder, const RunSettings& settings,
                       const RunShape& shape, RunView& view);

}  // namespace genosieve
