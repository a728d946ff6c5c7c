#pragma once

#include <cstdint>
#include <vector>

#include "data/clones.h"
#include "data/genotype_table.h"

namespace genosieve {

// What clone-size resampling reads from the Run, per population p (index p - 1).
struct ResamplingPlan {
  HeaderNumbers header;
  std::vector<int32_t> size;                      // n_p
  std::vector<int32_t> distinct;                  // D_p, NDGenotypes
  std::vector<int32_t> clonal;                    // C_p, NbClones
  std::vector<std::vector<int32_t>> extraCopies;  // e_p,1..e_p,C_p
  std::vector<int32_t> firstRow;                  // first row in the genotype table
  std::vector<int32_t> firstDistinct;             // first row in the clone-free table
  // Draws of one iteration before population p (P + 1 entries: the last is all of them).
  std::vector<uint64_t> drawsBefore;
};

// Checks that the clone summary, the population index and the clone-free table agree, so
// that resampling never reads or writes outside a population's rows (an internal error
// otherwise).
ResamplingPlan MakeResamplingPlan(const DataFile& data, const PopulationIndex& index,
                                  const CloneDetection& clones, const CloneSummary& summary);

}  // namespace genosieve
