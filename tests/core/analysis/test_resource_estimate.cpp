// The resources a Run is estimated to take, and the verdict on them: the files' sizes
// against the files a Run writes, the refusals and the notice against given rooms. (The
// memory against measured peaks: tests/cli/test_resource_estimate.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "analysis/resource_estimate.h"
#include "analysis/run.h"
#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "errors.h"
#include "messages.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ExamplePath;
using testing::FakeRunView;
using testing::ScopedWorkingFolder;

namespace fs = std::filesystem;

// The alleles of each locus are counted alike whatever the threads, in a table large
// enough to be counted in chunks of loci.
TEST(ResourceEstimate, LocusAllelesAreCountedAlikeWhateverTheThreads) {
  DataFile data;
  GenotypeTable& table = data.table;
  table.loci = 300;
  data.header.loci = table.loci;
  data.header.populations = 2;
  int64_t expected = 0;
  std::vector<std::set<int32_t>> seen(static_cast<size_t>(table.loci));
  for (int32_t row = 0; row < 2000; ++row) {
    table.population.push_back(row < 1000 ? 1 : 2);
    for (int32_t locus = 0; locus < table.loci; ++locus) {
      // Locus l carries alleles 1..l % 40 + 1 (and missing data, 0, where row % 13 == 0).
      const int32_t span = locus % 40 + 1;
      const AllelePair pair = row % 13 == 0 ? AllelePair{0, 0}
                                            : AllelePair{static_cast<Allele>(1 + row % span),
                                                         static_cast<Allele>(1 + (row * 7) % span)};
      table.cells.push_back(pair);
      for (int32_t allele : {pair.first, pair.second}) {
        if (allele != 0) seen[static_cast<size_t>(locus)].insert(allele);
      }
    }
  }
  for (const std::set<int32_t>& alleles : seen) expected += static_cast<int64_t>(alleles.size());
  const PopulationIndex index = BuildPopulationIndex(data);
  for (int32_t threads : {1, 2, 5}) {
    RunSettings settings;
    settings.threads = threads;
    EXPECT_EQ(ShapeOfRun(settings, data, index, 10).locusAlleles, expected) << threads;
  }
}

// The estimate's file sizes hold for the files a Run writes: never below them, and close.
TEST(ResourceEstimate, FileSizesMatchTheFilesARunWrites) {
  for (const int32_t iterations : {0, 9, 5000}) {
    SCOPED_TRACE(iterations);
    ScopedWorkingFolder folder;
    RunSettings settings;
    settings.dataPath = ExamplePath("aspen.txt").string();
    settings.iterationsText = std::to_string(iterations);
    settings.seed = 5;
    settings.createPValueFiles = true;
    settings.perLocusAnalysis = true;
    settings.perPopulationAnalysis = true;
    settings.writeFisValues = true;
    FakeRunView view;
    genosieve::Run(settings, view);
    ASSERT_TRUE(view.Done());

    const DataFile data =
        ImportDataFile(settings.dataPath, DataFormat::kAuto, [](const std::string&) {});
    const RunShape shape = ShapeOfRun(settings, data, BuildPopulationIndex(data), iterations);
    EXPECT_EQ(TestCount(shape), 1 + 6 + 4);
    // The distinct alleles of each locus, summed.
    int64_t alleles = 0;
    for (int32_t locus = 0; locus < data.table.loci; ++locus) {
      std::set<int32_t> seen;
      for (int32_t row = 0; row < data.table.rows(); ++row) {
        seen.insert({data.table.at(row, locus).first, data.table.at(row, locus).second});
      }
      seen.erase(0);
      alleles += static_cast<int64_t>(seen.size());
    }
    EXPECT_EQ(shape.locusAlleles, alleles);
    const ResourceEstimate estimate = EstimateResources(shape);
    uint64_t pValueBytes = 0;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      const std::string name = entry.path().filename().string();
      if (name.find("p-values_") != std::string::npos) {
        pValueBytes += entry.file_size();
        EXPECT_LE(entry.file_size(), PValueFileBytes(iterations)) << name;
      }
    }
    const uint64_t fisBytes = fs::file_size("Fisvalues_results.tsv");
    EXPECT_GE(estimate.pValueFileBytes, pValueBytes);
    EXPECT_GE(estimate.fisValuesBytes, fisBytes);
    // The bounds of every line, a little above what lines take once P-values have all
    // their digits (the first iterations' P-values are short: 1/2, 2/3).
    if (iterations >= 1000) {
      EXPECT_LE(estimate.pValueFileBytes, pValueBytes + pValueBytes / 4);
      EXPECT_LE(estimate.fisValuesBytes, fisBytes + fisBytes / 4);
    }
  }
}

RunShape Shape(int32_t iterations) {
  RunShape shape;
  shape.individuals = 1000;
  shape.loci = 10;
  shape.populations = 5;
  shape.locusAlleles = 100;
  shape.largestPopulation = 200;
  shape.iterations = iterations;
  return shape;
}

std::string Refusal(const RunShape& shape, const RunRoom& room) {
  try {
    JudgeResources(shape, room);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(ResourceEstimate, ARunThatCannotFitIsRefusedSayingWhatItNeedsAndWhatThereIs) {
  const RunShape shape = Shape(100000000);
  const ResourceEstimate estimate = EstimateResources(shape);
  RunRoom room;
  room.memory.inUse = uint64_t{20} << 20;
  room.memory.available = uint64_t{2} << 30;
  EXPECT_EQ(Refusal(shape, room),
            "M\xC3\xA9moire insuffisante (the Run would need about " +
                messages::ByteSize(estimate.memoryBytes()) +
                " of memory: " + messages::ByteSize(estimate.dataBytes) + " for the data and " +
                messages::ByteSize(estimate.iterationBytes) +
                " for the values of N = 100000000 iterations of 1 test; it uses 20.0 MiB and "
                "about 2.0 GiB more is available)");
  // Unknown room refuses nothing.
  room.memory.available.reset();
  EXPECT_EQ(Refusal(shape, room), "");

  RunShape files = Shape(1000);
  files.pValueFiles = true;
  files.perLocus = true;
  room.memory.available = uint64_t{8} << 30;
  DiskRoom disk;
  disk.folder = "/data/out";
  disk.free = 100000;
  room.disks.push_back({disk, 150000});
  EXPECT_EQ(Refusal(files, room),
            "Folder \"/data/out\": not enough free disk space: the p-value files would take "
            "about 146.5 KiB, and 97.7 KiB is free there; free some space, or choose fewer "
            "iterations or another folder");
  room.disks.back().room.free.reset();
  EXPECT_EQ(Refusal(files, room), "");
}

TEST(ResourceEstimate, ALargeRunIsAnnouncedAndASmallOneIsNot) {
  RunRoom room;
  room.memory.inUse = uint64_t{10} << 20;
  room.memory.available = uint64_t{30} << 30;
  EXPECT_EQ(JudgeResources(Shape(1000), room), "");
  const RunShape large = Shape(50000000);
  ASSERT_GE(EstimateResources(large).memoryBytes(), kLargeRunBytes);
  EXPECT_EQ(JudgeResources(large, room),
            "this Run needs about " + messages::ByteSize(EstimateResources(large).memoryBytes()) +
                " of memory (30.0 GiB available)");
  RunShape withFiles = large;
  withFiles.fisValues = true;
  DiskRoom disk;
  disk.free = uint64_t{500} << 30;
  room.disks.push_back({disk, EstimateResources(withFiles).fisValuesBytes});
  EXPECT_EQ(JudgeResources(withFiles, room),
            "this Run needs about " +
                messages::ByteSize(EstimateResources(withFiles).memoryBytes()) +
                " of memory (30.0 GiB available) and about " +
                messages::ByteSize(EstimateResources(withFiles).fisValuesBytes) +
                " of disk for its p-value files and Fis values (500.0 GiB free)");
}

TEST(ResourceEstimate, SizesAreWrittenInBinaryUnits) {
  EXPECT_EQ(messages::ByteSize(0), "0 bytes");
  EXPECT_EQ(messages::ByteSize(1023), "1023 bytes");
  EXPECT_EQ(messages::ByteSize(1024), "1.0 KiB");
  EXPECT_EQ(messages::ByteSize(1536), "1.5 KiB");
  EXPECT_EQ(messages::ByteSize(uint64_t{3} << 30), "3.0 GiB");
  EXPECT_EQ(messages::ByteSize(UINT64_MAX), "16.0 EiB");
}

}  // namespace
}  // namespace genosieve
