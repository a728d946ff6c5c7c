#pragma once

// The randomization tests done the plain way, as a reference for the Run's prepared
// evaluations: every permutation list drawn whole and sorted, every resampled table
// built whole, written to "temp.txt" and loaded back by the engine in every iteration.
// Both ways must give the same tallies, the same errors and the same files.

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/random_generator.h"
#include "analysis/randomization_tests.h"
#include "analysis/resampling.h"
#include "analysis/resampling_plan.h"
#include "analysis/table_variant.h"
#include "data/genotype_table.h"

namespace genosieve {

// The permutation list of a population with `distinct` genotypes: items with Index
// 1..distinct, each given a new draw of `generator` in that order, then sorted by key,
// ascending. Makes exactly `distinct` draws.
std::vector<TBase> DrawPermutationList(RandomGenerator& generator, int32_t distinct);

// Writes the extra copies into rows from `distinct` on, place k receiving the distinct
// genotype numbered places[k] (1-based).
void CopyExtraCopies(GenotypeTable& rows, int32_t distinct, int32_t clonal,
                     const std::vector<int32_t>& extraCopies, const int32_t* places);

// Clone-size resampling of one population. `rows` holds the population's rows of the
// resampling table (at least distinct + sum(extraCopies) rows), rows 0..distinct - 1 its
// distinct genotypes; rows from `distinct` on are rewritten with extraCopies[k] copies of
// the distinct genotype at place k of a new permutation list. Only the first `clonal`
// entries of extraCopies are used.
void ResamplePopulation(RandomGenerator& generator, GenotypeTable& rows, int32_t distinct,
                        int32_t clonal, const std::vector<int32_t>& extraCopies);

// The resampling table: per population its n_p rows with every locus, rows 0..D_p - 1
// its distinct genotypes from the clone-free table, the other rows zero until resampled.
using ResamplingTable = std::vector<GenotypeTable>;
ResamplingTable SetUpResamplingTable(const ResamplingPlan& plan, const GenotypeTable& cloneFree);

// One iteration's clone-size resampling of every population.
void ResampleAllPopulations(RandomGenerator& generator, ResamplingTable& table,
                            const ResamplingPlan& plan);

// The lines of "temp.txt" for the table in the test's variant.
GenotypeTable ResampledLines(const ResamplingTable& table, const ResamplingPlan& plan,
                             const TableVariant& variant);

// An IterationLoop (analysis/randomization_tests.h) that resamples whole tables and
// evaluates each through "temp.txt".
void RunPlainIterations(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                        const TableVariant& variant, TallyState& state, RunView& view);

}  // namespace genosieve
