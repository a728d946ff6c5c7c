#include "analysis/resource_estimate.h"

#include <algorithm>
#include <bitset>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/outcome_files.h"
#include "analysis/randomized_series.h"
#include "engine/population_evaluation.h"
#include "errors.h"
#include "for_chunks.h"
#include "io/system_resources.h"
#include "messages.h"
#include "reports/results_file.h"

namespace genosieve {

namespace {

uint64_t U(int64_t value) { return value > 0 ? static_cast<uint64_t>(value) : 0; }

uint64_t Digits(uint64_t value) {
  uint64_t digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// The digits of the numbers 1 to n, all written out.
uint64_t DigitsUpTo(uint64_t n) {
  uint64_t total = 0;
  uint64_t width = 1;
  for (uint64_t first = 1; first <= n; first *= 10, ++width) {
    const uint64_t last = std::min(n, first * 10 - 1);
    total += (last - first + 1) * width;
    if (first > n / 10) break;
  }
  return total;
}

// The Fis values' rows of one test: N rows of its name, its index and the iteration.
uint64_t FisValuesOfTest(uint64_t iterations, uint64_t nameLength, uint64_t index) {
  return iterations * (nameLength + Digits(index) + estimate::kFisValuesRow) +
         DigitsUpTo(iterations);
}

// One optional file and its estimated size.
struct PlannedFile {
  std::string name;
  uint64_t bytes = 0;
};

std::vector<PlannedFile> OptionalFiles(const RunSettings& settings, const RunShape& shape) {
  std::vector<PlannedFile> files;
  const std::string& r = settings.resultName;
  if (shape.pValueFiles) {
    const uint64_t each = PValueFileBytes(shape.iterations);
    files.push_back({OverallPValueFileName(r), each});
    if (shape.perLocus) {
      for (int32_t k = 1; k <= shape.loci; ++k) files.push_back({LocusPValueFileName(r, k), each});
    }
    if (shape.perPopulation) {
      for (int32_t k = 1; k <= shape.populations; ++k) {
        files.push_back({PopulationPValueFileName(r, k), each});
      }
    }
  }
  if (shape.fisValues)
    files.push_back({FisValuesFileName(r), EstimateResources(shape).fisValuesBytes});
  return files;
}

}  // namespace

// Tables of fewer genotypes than this have their alleles counted on one thread.
constexpr std::size_t kLeastChunkGenotypes = std::size_t{1} << 17;

RunShape ShapeOfRun(const RunSettings& settings, const DataFile& data, const PopulationIndex& index,
                    int32_t iterations) {
  RunShape shape;
  const GenotypeTable& table = data.table;
  shape.individuals = table.rows();
  shape.loci = data.header.loci;
  shape.populations = data.header.populations;
  for (std::size_t k = 1; k < index.size(); ++k) {
    shape.largestPopulation = std::max(shape.largestPopulation, index[k] - index[k - 1]);
  }
  // Alleles are 0 to 999 (the readers refuse others); a larger one would only be counted
  // as 999.
  // Row by row, as the table lies in memory (a column at a time strode through all of it),
  // each chunk of loci on a thread.
  const auto loci = static_cast<std::size_t>(std::max(table.loci, 0));
  const std::size_t rows = loci > 0 ? table.cells.size() / loci : 0;
  std::vector<std::bitset<1000>> present(loci);
  ForChunks(ChunkCount(ThreadCount(settings.threads), loci, rows, kLeastChunkGenotypes), loci,
            [&](std::size_t, std::size_t first, std::size_t last) {
              for (std::size_t row = 0; row < rows; ++row) {
                const AllelePair* pairs = table.cells.data() + row * loci;
                for (std::size_t locus = first; locus < last; ++locus) {
                  present[locus].set(
                      static_cast<std::size_t>(std::clamp<int32_t>(pairs[locus].first, 0, 999)));
                  present[locus].set(
                      static_cast<std::size_t>(std::clamp<int32_t>(pairs[locus].second, 0, 999)));
                }
              }
            });
  for (std::bitset<1000>& alleles : present) {
    alleles.reset(0);
    shape.locusAlleles += static_cast<int64_t>(alleles.count());
  }
  shape.iterations = iterations;
  shape.threads = iterations > 0 ? std::min(ThreadCount(settings.threads), iterations) : 1;
  shape.perLocus = settings.perLocusAnalysis;
  shape.perPopulation = settings.perPopulationAnalysis;
  shape.pValueFiles = settings.createPValueFiles;
  shape.fisValues = settings.writeFisValues;
  shape.figures = settings.drawFigures || settings.keepCentralRanges;
  return shape;
}

int64_t TestCount(const RunShape& shape) {
  return 1 + (shape.perLocus ? shape.loci : 0) + (shape.perPopulation ? shape.populations : 0);
}

uint64_t PValueFileBytes(int32_t iterations) {
  const uint64_t n = U(iterations);
  return estimate::kPValueFileHeading + n * estimate::kPValueLine + DigitsUpTo(n);
}

ResourceEstimate EstimateResources(const RunShape& shape) {
  using namespace estimate;
  ResourceEstimate result;
  const uint64_t individuals = U(shape.individuals);
  const uint64_t loci = U(shape.loci);
  const uint64_t genotypes = individuals * loci;
  const uint64_t locusAlleles = U(shape.locusAlleles);
  const uint64_t iterations = U(shape.iterations);
  const uint64_t tests = U(TestCount(shape));

  result.dataBytes = kBase + kPerGenotype * genotypes + kPerIndividual * individuals +
                     (kPerLocusAllele + kClonalityPerLocusAllele) * locusAlleles;
  if (shape.perPopulation) {
    result.dataBytes += kPopulationTestsPerLocus * loci +
                        kPopulationTestsPerLocusIndividual * loci * U(shape.largestPopulation) +
                        kPopulationTestsPerLocusAllele * locusAlleles;
  }
  result.dataBytes += U(shape.threads - 1) * (kPerThread + kPerThreadPerGenotype * genotypes);
  if (shape.perPopulation) {
    // The outcomes each thread remembers.
    result.dataBytes += U(shape.threads) *
                        PopulationWorkspaceBytesAtMost(shape.largestPopulation, shape.populations);
  }
  // Every test's values come from one pass made for all of them, a few blocks at a time,
  // and the tests keep their tallies, not their values (analysis/randomized_series.h).
  const uint64_t blocks = shape.threads > 1 ? 2 * U(shape.threads) + 2 : 1;
  result.dataBytes += blocks * std::min(kBlockBytes, kBlockIterations * tests * kBlockValueBytes);
  const bool singleTests = tests > 1;
  if (singleTests && (shape.pValueFiles || shape.fisValues)) {
    const uint64_t perIteration = tests * kSpillRecordBytes;
    result.dataBytes += std::max(std::min(kSpillChunkBytes, perIteration * iterations),
                                 std::min(kSpillIterations, iterations) * perIteration);
  }
  uint64_t perIteration = kPerIteration;
  if (singleTests) perIteration += kPerIterationSingleTests;
  if (shape.pValueFiles) perIteration += kPerIterationPValueFiles;
  if (shape.figures) perIteration += kFiguresPerIteration;
  result.iterationBytes = iterations * perIteration;
  if (shape.figures && iterations > 0) {
    result.iterationBytes += tests * ((iterations + 39) / 40) * kRangePerTestPerPlace;
  }

  if (shape.pValueFiles) result.pValueFileBytes = tests * PValueFileBytes(shape.iterations);
  if (shape.fisValues) {
    result.fisValuesBytes = kFisValuesHeading + FisValuesOfTest(iterations, 7, 1);  // "overall"
    if (shape.perLocus) {
      for (uint64_t k = 1; k <= loci; ++k)
        result.fisValuesBytes += FisValuesOfTest(iterations, 5, k);
    }
    if (shape.perPopulation) {
      for (uint64_t k = 1; k <= U(shape.populations); ++k) {
        result.fisValuesBytes += FisValuesOfTest(iterations, 10, k);
      }
    }
  }
  return result;
}

RunRoom RoomForRun(const WorkingFolder& folder, const RunSettings& settings,
                   const RunShape& shape) {
  RunRoom room;
  room.memory = MemoryRoomNow();
  // The optional files by the file system they go to (the folder parts of their names may
  // lead elsewhere); each folder is looked at once.
  std::map<std::string, std::optional<DiskRoom>> folders;
  for (const PlannedFile& file : OptionalFiles(settings, shape)) {
    const std::size_t slash = file.name.rfind('/');
    const std::string part = slash == std::string::npos ? "" : file.name.substr(0, slash + 1);
    auto known = folders.find(part);
    if (known == folders.end()) known = folders.emplace(part, DiskRoomOf(folder, file.name)).first;
    if (!known->second) continue;
    const auto same = std::find_if(room.disks.begin(), room.disks.end(), [&](const DiskNeed& disk) {
      return disk.room.device == known->second->device;
    });
    if (same == room.disks.end()) {
      room.disks.push_back({*known->second, file.bytes});
    } else {
      same->need += file.bytes;
    }
  }
  return room;
}

std::string JudgeResources(const RunShape& shape, const RunRoom& room) {
  const ResourceEstimate estimate = EstimateResources(shape);
  const MemoryRoom& memory = room.memory;
  const uint64_t need = estimate.memoryBytes();
  const uint64_t more = need > memory.inUse ? need - memory.inUse : 0;
  if (memory.available && more > *memory.available) {
    ThrowOutOfMemory(messages::MemoryNeeded(
        messages::ByteSize(need), messages::ByteSize(estimate.dataBytes),
        messages::ByteSize(estimate.iterationBytes), shape.iterations, TestCount(shape),
        messages::ByteSize(memory.inUse), messages::ByteSize(*memory.available)));
  }
  std::optional<uint64_t> leastFree;
  for (const DiskNeed& disk : room.disks) {
    if (!disk.room.free) continue;
    if (disk.need > *disk.room.free) {
      const std::string what = shape.pValueFiles && shape.fisValues
                                   ? "the p-value files and the table of Fis values"
                               : shape.pValueFiles ? "the p-value files"
                                                   : "the table of Fis values";
      throw RunError(Located({.lead = "Folder", .path = disk.room.folder},
                             messages::DiskNeeded(what, messages::ByteSize(disk.need),
                                                  messages::ByteSize(*disk.room.free))));
    }
    leastFree = leastFree ? std::min(*leastFree, *disk.room.free) : *disk.room.free;
  }
  if (need < kLargeRunBytes && estimate.diskBytes() < kLargeRunBytes) return "";
  return messages::LargeRun(
      messages::ByteSize(need),
      memory.available ? messages::ByteSize(memory.inUse + *memory.available) : "",
      estimate.diskBytes() > 0 ? messages::ByteSize(estimate.diskBytes()) : "",
      leastFree ? messages::ByteSize(*leastFree) : "");
}

void CheckRunResources(const WorkingFolder& folder, const RunSettings& settings,
                       const RunShape& shape, RunView& view) {
  const std::string notice = JudgeResources(shape, RoomForRun(folder, settings, shape));
  if (!notice.empty()) view.ShowNotice(notice);
}

}  // namespace genosieve
