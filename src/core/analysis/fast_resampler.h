#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/random_generator.h"
#include "analysis/resampling_plan.h"
#include "analysis/table_variant.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "engine/prepared_evaluation.h"

namespace genosieve {

// The randomized evaluations of one test as the Run makes them: the resampling draws
// only the populations whose written rows can change, and the evaluations are prepared
// once (engine/prepared_evaluation.h): the fixed rows are the distinct genotypes of the
// written populations, the filler, and the extra copies of the populations whose written
// rows cannot change (no clonal genotype, a single distinct genotype, or in a locus test
// identical at that locus); each clonal genotype of the other populations is a copy slot
// whose candidates are the distinct genotypes of its population. The draws of the
// populations that cannot change are skipped.
struct FastResampler {
  struct Step {
    RandomJump skipBefore;  // draws of the populations skipped before this one
    int32_t population;     // 0-based
  };
  TableVariant variant;
  std::vector<Step> steps;
  RandomJump skipAfter;              // draws of the populations skipped after the last step
  std::vector<uint8_t> written;      // per population: whether the test writes its rows
  std::vector<int32_t> placeOffset;  // per population: where its places start in `places`
  std::vector<int32_t> places;       // 1-based distinct genotype receiving each clonal count
  // Read only once made: copies of the resampler share it, each with its own `work`.
  std::shared_ptr<const PreparedEvaluation> evaluation;
  EvaluationWork work;
  // Per copy slot: its entry in `places`, the candidate of its population's distinct
  // genotype 1, and the candidate chosen by the current iteration.
  std::vector<int32_t> slotPlace;
  std::vector<int32_t> slotFirstCandidate;
  std::vector<int32_t> chosen;
  std::vector<uint64_t> scratch;
};

FastResampler MakeFastResampler(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                                const TableVariant& variant, int32_t threads = 1);
// One iteration: makes exactly the draws of every population's resampling with
// `generator`, and sets the chosen candidates.
void ResampleFast(FastResampler& fast, const ResamplingPlan& plan, RandomGenerator& generator);
// The lines of "temp.txt" for the current iteration, referring to the clone-free table.
GenotypeLines FastResampledLines(const FastResampler& fast, const ResamplingPlan& plan,
                                 const GenotypeTable& cloneFree);
// FisOverall of the current iteration.
Extended EvaluateFastIteration(FastResampler& fast);

// The places of the observed table, laid out as FastResampler::places: each clonal
// genotype given to itself. Clone detection groups individuals by unordered allele pairs,
// so the distinct genotypes plus these copies hold, population by population and locus by
// locus, the same genotypes as the data (up to the order of the two alleles of a pair,
// which no count depends on).
std::vector<int32_t> ObservedPlaces(const PopulationIndex& index, const CloneDetection& clones);
// The candidates the copy slots choose with those places.
std::vector<int32_t> ChosenFor(const FastResampler& fast, const std::vector<int32_t>& places);

// The lines of "temp.txt" of iteration `iteration` (1-based) of a test started from
// `seed`, referring to the clone-free table: the generator jumps to that iteration and to
// each written population, whose places alone are drawn.
GenotypeLines ResampledLinesAt(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                               const TableVariant& variant, uint32_t seed, int32_t iteration);

}  // namespace genosieve
