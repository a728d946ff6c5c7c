#pragma once

namespace genosieve {

// The three kinds of randomization test: over all loci and populations, one locus at a
// time, one population at a time.
enum class RandomizationKind { kOverall, kPerLocus, kPerPopulation };

// The kind as the tables write it: "overall", "locus", "population".
constexpr const char* KindName(RandomizationKind kind) {
  switch (kind) {
    case RandomizationKind::kOverall:
      return "overall";
    case RandomizationKind::kPerLocus:
      return "locus";
    case RandomizationKind::kPerPopulation:
      return "population";
  }
  return "";
}

}  // namespace genosieve
