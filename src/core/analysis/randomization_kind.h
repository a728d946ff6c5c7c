#pragma once

namespace genosieve {

// The three kinds of randomization test: over all loci and populations, one locus at a
// time, one population at a time.
enum class RandomizationKind { kOverall, kPerLocus, kPerPopulation };

}  // namespace genosieve
