#include "data/clones.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "errors.h"
#include "for_chunks.h"
#include "messages.h"

namespace genosieve {

namespace {

// One distinct multilocus genotype of the population being scanned.
struct GenotypeGroup {
  uint64_t hash = 0;
  int32_t firstRow = 0;  // representative used for comparisons
  int32_t lastRow = 0;   // the member the clone-free table keeps
  int32_t count = 0;
};

// Alleles of a locus in a fixed order, so that 120/124 and 124/120 hash alike.
inline uint64_t NormalisedLocusKey(const AllelePair& pair) {
  const int32_t low = std::min(pair.first, pair.second);
  const int32_t high = std::max(pair.first, pair.second);
  return (static_cast<uint64_t>(static_cast<uint32_t>(low)) << 32) |
         static_cast<uint64_t>(static_cast<uint32_t>(high));
}

inline uint64_t FinishHash(uint64_t h) {
  h ^= h >> 30;
  h *= 0xbf58476d1ce4e5b9ULL;
  h ^= h >> 27;
  h *= 0x94d049bb133111ebULL;
  h ^= h >> 31;
  return h;
}

uint64_t HashRow(const AllelePair* row, int32_t loci) {
  uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (int32_t locus = 0; locus < loci; ++locus) {
    h = (h ^ NormalisedLocusKey(row[locus])) * 0x100000001b3ULL;
    h ^= h >> 29;
  }
  return FinishHash(h);
}

// Loci are compared in blocks without branches inside a block, which the compiler can
// vectorise; a difference ends the comparison at the end of its block.
bool SameGenotype(const AllelePair* a, const AllelePair* b, int32_t loci) {
  constexpr int32_t kBlock = 16;
  for (int32_t start = 0; start < loci; start += kBlock) {
    const int32_t stop = std::min(loci, start + kBlock);
    uint32_t differ = 0;
    for (int32_t locus = start; locus < stop; ++locus) {
      const AllelePair x = a[locus];
      const AllelePair y = b[locus];
      differ |= static_cast<uint32_t>(std::min(x.first, x.second) ^ std::min(y.first, y.second)) |
                static_cast<uint32_t>(std::max(x.first, x.second) ^ std::max(y.first, y.second));
    }
    if (differ != 0) return false;
  }
  return true;
}

void CheckInputs(const GenotypeTable& table, const PopulationIndex& index) {
  if (table.loci < 0 ||
      table.cells.size() != static_cast<size_t>(table.rows()) * static_cast<size_t>(table.loci)) {
    ThrowInternalError(
        FillMessage("the genotype table holds {} allele pairs for {} individuals "
                    "and {} loci",
                    table.cells.size(), table.rows(), table.loci));
  }
  bool valid = index.size() >= 2 && index.front() == 0 && index.back() == table.rows();
  for (size_t k = 1; valid && k < index.size(); ++k) valid = index[k - 1] <= index[k];
  if (!valid) {
    ThrowInternalError(
        FillMessage("the population index does not match the {} individuals of the genotype table",
                    table.rows()));
  }
}

// Tables of fewer genotypes than this are hashed and copied on the calling thread alone.
constexpr std::size_t kLeastChunkGenotypes = std::size_t{1} << 17;

// The hash of every row of the table.
std::vector<uint64_t> RowHashes(const GenotypeTable& table, int threads) {
  const auto rows = static_cast<size_t>(table.rows());
  const auto loci = static_cast<size_t>(table.loci);
  std::vector<uint64_t> hashes(rows);
  ForChunks(ChunkCount(threads, rows, loci, kLeastChunkGenotypes), rows,
            [&](size_t, size_t begin, size_t end) {
              for (size_t row = begin; row < end; ++row) {
                hashes[row] = HashRow(table.cells.data() + row * loci, table.loci);
              }
            });
  return hashes;
}

// Groups the rows [begin, end) of one population by multilocus genotype. Groups are
// numbered in order of first occurrence; groupOfRow[row - begin] receives each row's
// group. `slots` is an open-addressing table of group numbers (-1 = empty).
void GroupPopulation(const GenotypeTable& table, const std::vector<uint64_t>& hashes, int32_t begin,
                     int32_t end, std::vector<GenotypeGroup>& groups,
                     std::vector<int32_t>& groupOfRow, std::vector<int32_t>& slots) {
  const int32_t size = end - begin;
  groups.clear();
  groups.reserve(static_cast<size_t>(size));
  groupOfRow.assign(static_cast<size_t>(size), 0);
  // At most half full, so probes stay short.
  const size_t capacity = std::bit_ceil(static_cast<size_t>(size) * 2 + 2);
  slots.assign(capacity, -1);
  const size_t mask = capacity - 1;
  const int32_t loci = table.loci;
  const AllelePair* cells = table.cells.data();

  for (int32_t row = begin; row < end; ++row) {
    const AllelePair* genotype = cells + static_cast<size_t>(row) * static_cast<size_t>(loci);
    const uint64_t hash = hashes[static_cast<size_t>(row)];
    size_t slot = static_cast<size_t>(hash) & mask;
    int32_t found = -1;
    while (slots[slot] >= 0) {
      const GenotypeGroup& group = groups[static_cast<size_t>(slots[slot])];
      if (group.hash == hash &&
          SameGenotype(cells + static_cast<size_t>(group.firstRow) * static_cast<size_t>(loci),
                       genotype, loci)) {
        found = slots[slot];
        break;
      }
      slot = (slot + 1) & mask;
    }
    if (found < 0) {
      found = static_cast<int32_t>(groups.size());
      slots[slot] = found;
      groups.push_back({hash, row, row, 1});
    } else {
      GenotypeGroup& group = groups[static_cast<size_t>(found)];
      group.lastRow = row;
      ++group.count;
    }
    groupOfRow[static_cast<size_t>(row - begin)] = found;
  }
}

}  // namespace

CloneDetection DetectClones(const GenotypeTable& table, const PopulationIndex& index, int threads) {
  CheckInputs(table, index);
  const std::vector<uint64_t> hashes = RowHashes(table, threads);
  const size_t populations = index.size() - 1;
  const size_t loci = static_cast<size_t>(table.loci);

  CloneDetection detection;
  detection.extraCopies.resize(populations);

  // Rows kept in the clone-free table with their population's position; collected
  // first so that the table is allocated once at its final size.
  std::vector<int32_t> keptRows;
  std::vector<int32_t> keptPopulation;
  std::vector<GenotypeGroup> groups;
  std::vector<int32_t> groupOfRow;
  std::vector<int32_t> slots;
  std::vector<int32_t> numberOfGroup;
  detection.genotypeNumber.resize(static_cast<size_t>(table.rows()));

  for (size_t k = 1; k <= populations; ++k) {
    const int32_t begin = index[k - 1];
    const int32_t end = index[k];
    GroupPopulation(table, hashes, begin, end, groups, groupOfRow, slots);

    std::vector<int32_t>& extra = detection.extraCopies[k - 1];
    for (const GenotypeGroup& group : groups) {
      if (group.count > 1) extra.push_back(group.count - 1);
    }
    // Clonal genotypes take the numbers 1..NbClones, the others follow.
    numberOfGroup.resize(groups.size());
    int32_t clonal = 0;
    int32_t single = static_cast<int32_t>(extra.size());
    for (size_t g = 0; g < groups.size(); ++g) {
      numberOfGroup[g] = groups[g].count > 1 ? ++clonal : ++single;
    }
    for (int32_t row = begin; row < end; ++row) {
      detection.genotypeNumber[static_cast<size_t>(row)] =
          numberOfGroup[static_cast<size_t>(groupOfRow[static_cast<size_t>(row - begin)])];
    }
    // A group is represented by its last member, so the kept rows stand in order of
    // last occurrence.
    for (int32_t row = begin; row < end; ++row) {
      const GenotypeGroup& group =
          groups[static_cast<size_t>(groupOfRow[static_cast<size_t>(row - begin)])];
      if (group.lastRow == row) {
        keptRows.push_back(row);
        keptPopulation.push_back(static_cast<int32_t>(k));
      }
    }
  }

  GenotypeTable& cloneFree = detection.cloneFree;
  cloneFree.loci = table.loci;
  cloneFree.population = std::move(keptPopulation);
  cloneFree.cells.resize(keptRows.size() * loci);
  ForChunks(ChunkCount(threads, keptRows.size(), loci, kLeastChunkGenotypes), keptRows.size(),
            [&](size_t, size_t begin, size_t end) {
              for (size_t kept = begin; kept < end; ++kept) {
                std::copy_n(
                    table.cells.begin() +
                        static_cast<std::ptrdiff_t>(static_cast<size_t>(keptRows[kept]) * loci),
                    loci, cloneFree.cells.begin() + static_cast<std::ptrdiff_t>(kept * loci));
              }
            });
  return detection;
}

CloneSummary SummariseClones(const CloneDetection& detection, const PopulationIndex& index) {
  if (index.size() < 2 || detection.extraCopies.size() != index.size() - 1) {
    ThrowInternalError(FillMessage("clone detection covers {} populations, the data {}",
                                   detection.extraCopies.size(),
                                   index.empty() ? 0 : index.size() - 1));
  }
  const size_t populations = index.size() - 1;

  CloneSummary summary;
  summary.extraCopies = detection.extraCopies;
  summary.size.resize(populations);
  summary.nbClones.resize(populations);
  summary.totalExtraCopies.resize(populations);
  summary.ndGenotypes.resize(populations);
  summary.distinctOffset.assign(populations + 1, 0);

  for (size_t p = 0; p < populations; ++p) {
    const std::vector<int32_t>& extra = summary.extraCopies[p];
    int32_t total = 0;
    for (const int32_t copies : extra) total += copies;
    summary.size[p] = index[p + 1] - index[p];
    summary.nbClones[p] = static_cast<int32_t>(extra.size());
    summary.totalExtraCopies[p] = total;
    summary.ndGenotypes[p] = summary.size[p] - total;
    summary.distinctOffset[p + 1] = summary.distinctOffset[p] + summary.ndGenotypes[p];
  }
  if (summary.distinctOffset.back() != detection.cloneFree.rows()) {
    ThrowInternalError(
        FillMessage("{} distinct genotypes counted, but the clone-free table holds {} rows",
                    summary.distinctOffset.back(), detection.cloneFree.rows()));
  }
  return summary;
}

}  // namespace genosieve
