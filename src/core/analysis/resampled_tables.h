#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/random_generator.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "engine/genotype_file.h"
#include "engine/prepared_test.h"

namespace genosieve {

// Which table a test hands to the engine.
enum class TestKind { kOverall, kPerLocus, kPerPopulation };
struct TestVariant {
  TestKind kind = TestKind::kOverall;
  int32_t subject = 0;  // 1-based locus (per locus) or population (per population)
};

// What clone-size resampling reads from the Run, per population p (index p - 1).
struct ResamplingPlan {
  HeaderNumbers header;
  std::vector<int32_t> size;                      // n_p
  std::vector<int32_t> distinct;                  // D_p, NDGenotypes
  std::vector<int32_t> clonal;                    // C_p, NbClones
  std::vector<std::vector<int32_t>> extraCopies;  // e_p,1..e_p,C_p
  std::vector<int32_t> firstRow;                  // first row in the genotype table
  std::vector<int32_t> firstDistinct;             // first row in the clone-free table
};

// Checks that the clone summary, the population index and the clone-free table agree, so
// that resampling never reads or writes outside a population's rows.
ResamplingPlan MakeResamplingPlan(const DataFile& data, const PopulationIndex& index,
                                  const CloneDetection& clones, const CloneSummary& summary);

// Header values and the individual lines of a test's files. Populations are numbered by
// position; the per-population variant numbers the tested population 1 and adds as many
// filler lines, population 2, homozygous for the highest allele at every locus.
std::array<int32_t, 4> VariantHeader(const HeaderNumbers& header, const TestVariant& variant);
GenotypeTable ObservedLines(const DataFile& data, const PopulationIndex& index,
                            const TestVariant& variant);

// The resampling table: per population its n_p rows with every locus, rows 0..D_p - 1
// its distinct genotypes from the clone-free table, the other rows zero until resampled.
using ResamplingTable = std::vector<GenotypeTable>;
ResamplingTable SetUpResamplingTable(const ResamplingPlan& plan, const GenotypeTable& cloneFree);
// One iteration's clone-size resampling of every population, with the process generator.
void ResampleAllPopulations(ResamplingTable& table, const ResamplingPlan& plan);
// The lines of "temp.txt" for the table in the test's variant.
GenotypeTable ResampledLines(const ResamplingTable& table, const ResamplingPlan& plan,
                             const TestVariant& variant);

// What the engine's loader reads back from a file holding these lines (each genotype
// becomes first allele * 1000 + second allele).
EngineInput EngineInputFromLines(const std::array<int32_t, 4>& headerValues,
                                 const GenotypeTable& lines);

// The fast path of one test: the resampling draws only the populations whose written
// rows can change, and the evaluations are prepared once (engine/prepared_test.h): the
// fixed rows are the distinct genotypes of the written populations, the filler, and the
// extra copies of the populations whose written rows cannot change (no clonal genotype,
// a single distinct genotype, or in a locus test identical at that locus); each clonal
// genotype of the other populations is a copy slot whose candidates are the distinct
// genotypes of its population. The draws of the populations that cannot change are
// skipped.
struct FastResampler {
  struct Step {
    RandomJump skipBefore;  // draws of the populations skipped before this one
    int32_t population;     // 0-based
  };
  TestVariant variant;
  std::vector<Step> steps;
  RandomJump skipAfter;              // draws of the populations skipped after the last step
  std::vector<uint8_t> written;      // per population: whether the test writes its rows
  std::vector<int32_t> placeOffset;  // per population: where its places start in `places`
  std::vector<int32_t> places;       // 1-based distinct genotype receiving each clonal count
  PreparedTest test;
  // Per copy slot: its entry in `places`, the candidate of its population's distinct
  // genotype 1, and the candidate chosen by the current iteration.
  std::vector<int32_t> slotPlace;
  std::vector<int32_t> slotFirstCandidate;
  std::vector<int32_t> chosen;
  std::vector<uint64_t> scratch;
};

FastResampler MakeFastResampler(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                                const TestVariant& variant);
// One iteration: makes exactly the draws of every population's resampling from `seed`,
// and sets the chosen candidates.
void ResampleFast(FastResampler& fast, const ResamplingPlan& plan, uint32_t& seed);
// The lines of "temp.txt" for the fast path's current iteration.
GenotypeTable FastResampledLines(const FastResampler& fast, const ResamplingPlan& plan,
                                 const GenotypeTable& cloneFree);
// FisOverall of the fast path's current iteration.
Extended EvaluateFastIteration(FastResampler& fast);

}  // namespace genosieve
