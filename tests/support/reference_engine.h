#pragma once

// Entry points of the engine that only the tests and benchmarks use: building its input
// in memory instead of through a file, evaluating with a fresh workspace, and one step
// of the estimate on its own.

#include <array>
#include <cstdint>

#include "data/genotype_table.h"
#include "engine/engine.h"

namespace genosieve {

// In-memory equivalent of writing `lines` as an intermediate file with header
// populations / lines.loci / highestAllele and loading it back (same checks, as
// RunErrors).
EngineInput MakeEngineInput(const GenotypeTable& lines, int32_t populations, int32_t highestAllele);

// The same with the header values of the file (populations, loci, highest allele,
// width); the loci are those of `lines`.
EngineInput EngineInputFromLines(const std::array<int32_t, 4>& headerValues,
                                 const GenotypeTable& lines);

// EvaluateFis with a workspace of its own.
Extended EvaluateFis(const EngineInput& input);

// b and c of a used allele from r, n̄ (MeanSampleSize), p̄, s² and h̄.
VarianceComponents ComputeComponents(int32_t contributingPops, float meanSampleSize,
                                     Extended meanFreq, Extended freqVariance, Extended meanHet);

}  // namespace genosieve
