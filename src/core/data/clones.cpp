#include "data/clones.h"

namespace genosieve {

CloneDetection DetectClones(const GenotypeTable& table, const PopulationIndex& index) {
  (void)index;
  CloneDetection detection;
  detection.cloneFree.loci = table.loci;
  return detection;
}

CloneSummary SummariseClones(const CloneDetection& detection, const PopulationIndex& index) {
  (void)detection;
  (void)index;
  return {};
}

}  // namespace genosieve
