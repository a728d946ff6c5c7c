#include "analysis/fast_resampler.h"

#include <algorithm>
#include <numeric>

#include "analysis/resampling.h"
#include "engine/genotype_code.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

size_t Size(int32_t value) { return static_cast<size_t>(value); }

bool PerPopulation(const TableVariant& variant) {
  return variant.kind == RandomizationKind::kPerPopulation;
}

// Which populations the test writes, and the places of their clonal genotypes, each
// first given to distinct genotype k (any places give the same rows where no draw can
// change them).
void LayOutPlaces(const ResamplingPlan& plan, FastResampler& fast) {
  const size_t populations = plan.size.size();
  fast.written.assign(populations, 0);
  fast.placeOffset.assign(populations, 0);
  int32_t places = 0;
  for (size_t p = 0; p < populations; ++p) {
    fast.placeOffset[p] = places;
    places += plan.clonal[p];
    fast.written[p] = !PerPopulation(fast.variant) || p == Size(fast.variant.subject - 1);
  }
  fast.places.resize(Size(places));
  for (size_t p = 0; p < populations; ++p) {
    std::iota(fast.places.begin() + fast.placeOffset[p],
              fast.places.begin() + fast.placeOffset[p] + plan.clonal[p], 1);
  }
}

// Whether the written rows of population p can differ between iterations.
bool RowsCanChange(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                   const FastResampler& fast, size_t p) {
  if (!fast.written[p] || plan.clonal[p] == 0 || plan.distinct[p] <= 1) return false;
  if (fast.variant.kind != RandomizationKind::kPerLocus) return true;
  // A locus test writes one locus: distinct genotypes alike there give alike rows.
  const int32_t locus = fast.variant.subject - 1;
  const AllelePair& first = cloneFree.at(plan.firstDistinct[p], locus);
  for (int32_t g = 1; g < plan.distinct[p]; ++g) {
    if (!(cloneFree.at(plan.firstDistinct[p] + g, locus) == first)) return true;
  }
  return false;
}

// The populations that are drawn, and the jumps over the draws of the others.
std::vector<uint8_t> PlanDraws(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                               FastResampler& fast) {
  const size_t populations = plan.size.size();
  std::vector<uint8_t> changes(populations, 0);
  uint64_t skipped = 0;
  for (size_t p = 0; p < populations; ++p) {
    changes[p] = RowsCanChange(plan, cloneFree, fast, p);
    if (changes[p]) {
      fast.steps.push_back({RandomJumpAhead(skipped), static_cast<int32_t>(p)});
      skipped = 0;
    } else {
      skipped += static_cast<uint64_t>(plan.distinct[p]);
    }
  }
  fast.skipAfter = RandomJumpAhead(skipped);
  return changes;
}

// The genotype codes of clone-free rows `sources` at every locus of the variant, locus
// by locus, each followed by `fillers` filler codes.
void AppendCodes(std::vector<int32_t>& codes, const GenotypeTable& cloneFree,
                 const std::vector<std::vector<int32_t>>& sources, const TableVariant& variant,
                 int32_t loci, int32_t fillers, int32_t filler) {
  for (int32_t l = 0; l < loci; ++l) {
    for (const std::vector<int32_t>& rows : sources) {
      for (int32_t source : rows) {
        codes.push_back(GenotypeCode(cloneFree.at(source, DataLocus(variant, l))));
      }
    }
    codes.insert(codes.end(), Size(fillers), filler);
  }
}

// The rows of every iteration, population by population in the order of the file: the
// distinct genotypes of the written populations, the extra copies of those that do not
// change, then the filler.
EngineInput FixedRows(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                      const FastResampler& fast, const std::vector<uint8_t>& changes) {
  const size_t populations = plan.size.size();
  const std::array<int32_t, 4> header = VariantHeader(plan.header, fast.variant);
  std::vector<std::vector<int32_t>> fixedSources(populations);  // clone-free rows
  for (size_t p = 0; p < populations; ++p) {
    if (!fast.written[p]) continue;
    std::vector<int32_t>& sources = fixedSources[p];
    for (int32_t g = 0; g < plan.distinct[p]; ++g) sources.push_back(plan.firstDistinct[p] + g);
    if (changes[p]) continue;
    // Any places give the same written rows; these are the ones FastResampledLines writes.
    for (int32_t k = 0; k < plan.clonal[p]; ++k) {
      const int32_t source = plan.firstDistinct[p] + fast.places[Size(fast.placeOffset[p] + k)] - 1;
      sources.insert(sources.end(), Size(plan.extraCopies[p][Size(k)]), source);
    }
  }
  EngineInput fixed;
  fixed.populations = header[0];
  fixed.loci = header[1];
  fixed.highestAllele = header[2];
  int32_t rows = 0;
  for (size_t p = 0; p < populations; ++p) {
    if (!fast.written[p]) continue;
    rows += static_cast<int32_t>(fixedSources[p].size());
    fixed.populationEnd.push_back(rows);
  }
  const int32_t fillers =
      PerPopulation(fast.variant) ? plan.size[Size(fast.variant.subject - 1)] : 0;
  if (PerPopulation(fast.variant)) fixed.populationEnd.push_back(rows + fillers);
  fixed.individuals = rows + fillers;
  fixed.codes.reserve(Size(fixed.loci) * Size(fixed.individuals));
  AppendCodes(fixed.codes, cloneFree, fixedSources, fast.variant, fixed.loci, fillers,
              GenotypeCode(PairOf(plan.header.highestAllele, plan.header.highestAllele)));
  return fixed;
}

// The candidates and copy slots of the populations that change. A candidate is one of the
// distinct genotypes of its population, which the fixed rows hold already: it is given as
// that row.
void CandidatesAndSlots(const ResamplingPlan& plan, const std::vector<uint8_t>& changes,
                        FastResampler& fast, CandidateGenotypes& candidates,
                        std::vector<CopySlot>& slots) {
  int32_t filePopulation = 0;
  int32_t fixedRowsBefore = 0;  // the fixed rows of the written populations before p
  for (size_t p = 0; p < plan.size.size(); ++p) {
    if (!fast.written[p]) continue;
    if (changes[p]) {
      const int32_t firstCandidate = candidates.count;
      for (int32_t g = 0; g < plan.distinct[p]; ++g) {
        candidates.fixedRow.push_back(fixedRowsBefore + g);
        candidates.population.push_back(filePopulation);
      }
      candidates.count += plan.distinct[p];
      for (int32_t k = 0; k < plan.clonal[p]; ++k) {
        slots.push_back({filePopulation, plan.extraCopies[p][Size(k)]});
        fast.slotPlace.push_back(fast.placeOffset[p] + k);
        fast.slotFirstCandidate.push_back(firstCandidate);
      }
      fixedRowsBefore += plan.distinct[p];
    } else {
      // Its distinct genotypes and the copies that cannot change (FixedRows).
      fixedRowsBefore += plan.size[p];
    }
    ++filePopulation;
  }
}

// The candidate each slot copies in the current iteration.
void ChooseCandidates(FastResampler& fast) {
  for (size_t j = 0; j < fast.chosen.size(); ++j) {
    fast.chosen[j] = fast.slotFirstCandidate[j] + fast.places[Size(fast.slotPlace[j])] - 1;
  }
}

}  // namespace

FastResampler MakeFastResampler(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                                const TableVariant& variant, int32_t threads) {
  CheckVariant(plan.header, variant);
  FastResampler fast;
  fast.variant = variant;
  LayOutPlaces(plan, fast);
  const std::vector<uint8_t> changes = PlanDraws(plan, cloneFree, fast);
  const EngineInput fixed = FixedRows(plan, cloneFree, fast, changes);
  CandidateGenotypes candidates;
  std::vector<CopySlot> slots;
  CandidatesAndSlots(plan, changes, fast, candidates, slots);
  fast.evaluation = std::make_shared<const PreparedEvaluation>(
      PrepareEvaluation(fixed, candidates, slots, threads));
  fast.chosen.resize(slots.size());
  ChooseCandidates(fast);
  return fast;
}

void ResampleFast(FastResampler& fast, const ResamplingPlan& plan, RandomGenerator& generator) {
  for (const FastResampler::Step& step : fast.steps) {
    const size_t p = Size(step.population);
    generator.seed = ApplyJump(step.skipBefore, generator.seed);
    DrawClonalPlaces(generator, plan.distinct[p], plan.clonal[p],
                     fast.places.data() + fast.placeOffset[p], fast.scratch);
  }
  generator.seed = ApplyJump(fast.skipAfter, generator.seed);
  ChooseCandidates(fast);
}

Extended EvaluateFastIteration(FastResampler& fast) {
  return EvaluatePrepared(*fast.evaluation, fast.work, fast.chosen.data());
}

std::vector<int32_t> ObservedPlaces(const PopulationIndex& index, const CloneDetection& clones) {
  std::vector<int32_t> places;
  std::vector<int32_t> lastRow;
  std::vector<int32_t> rank;
  for (size_t p = 0; p + 1 < index.size() && p < clones.extraCopies.size(); ++p) {
    const int32_t begin = index[p];
    const int32_t end = index[p + 1];
    // Genotype numbers are 1..D, the clonal ones first (clones.h); the clone-free table
    // holds the distinct genotypes in order of their last occurrence.
    lastRow.assign(Size(end - begin) + 1, -1);
    for (int32_t row = begin; row < end; ++row) {
      lastRow[Size(clones.genotypeNumber[Size(row)])] = row;
    }
    rank.assign(lastRow.size(), 0);
    int32_t next = 0;
    for (int32_t row = begin; row < end; ++row) {
      const int32_t number = clones.genotypeNumber[Size(row)];
      if (lastRow[Size(number)] == row) rank[Size(number)] = ++next;
    }
    for (size_t k = 1; k <= clones.extraCopies[p].size(); ++k) places.push_back(rank[k]);
  }
  return places;
}

std::vector<int32_t> ChosenFor(const FastResampler& fast, const std::vector<int32_t>& places) {
  if (places.size() != fast.places.size()) {
    ThrowInternalError(
        FillMessage("{} places for {} clonal genotypes", places.size(), fast.places.size()));
  }
  std::vector<int32_t> chosen(fast.chosen.size());
  for (size_t j = 0; j < chosen.size(); ++j) {
    chosen[j] = fast.slotFirstCandidate[j] + places[Size(fast.slotPlace[j])] - 1;
  }
  return chosen;
}

namespace {

// Appends the written rows of population p: its distinct genotypes, then the extra copies
// of the clonal genotypes given to `places`.
void AppendResampledRows(GenotypeLines& lines, const ResamplingPlan& plan,
                         const GenotypeTable& cloneFree, const TableVariant& variant, size_t p,
                         const int32_t* places) {
  const int32_t number = PerPopulation(variant) ? 1 : static_cast<int32_t>(p + 1);
  AppendVariantRows(lines, cloneFree, plan.firstDistinct[p], plan.distinct[p], number, variant);
  for (int32_t k = 0; k < plan.clonal[p]; ++k) {
    for (int32_t e = 0; e < plan.extraCopies[p][Size(k)]; ++e) {
      AppendVariantRows(lines, cloneFree, plan.firstDistinct[p] + places[k] - 1, 1, number,
                        variant);
    }
  }
}

}  // namespace

GenotypeLines ResampledLinesAt(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                               const TableVariant& variant, uint32_t seed, int32_t iteration) {
  CheckVariant(plan.header, variant);
  const uint64_t draws = plan.drawsBefore.back();
  RandomGenerator generator{
      ApplyJump(RandomJumpAhead(static_cast<uint64_t>(std::max(iteration, 1) - 1) * draws), seed)};
  GenotypeLines lines;
  lines.loci = LociInFile(plan.header, variant);
  std::vector<int32_t> places;
  std::vector<uint64_t> scratch;
  // A population test draws its population alone, after one jump over those before it.
  const size_t first = PerPopulation(variant) ? Size(variant.subject - 1) : 0;
  const size_t last = PerPopulation(variant) ? first + 1 : plan.size.size();
  generator.seed = ApplyJump(RandomJumpAhead(plan.drawsBefore[first]), generator.seed);
  size_t rows = 0;
  for (size_t p = first; p < last; ++p) rows += Size(plan.size[p]);
  if (PerPopulation(variant)) rows *= 2;
  lines.population.reserve(rows);
  lines.genotypes.reserve(rows);
  for (size_t p = first; p < last; ++p) {
    places.resize(Size(plan.clonal[p]));
    DrawClonalPlaces(generator, plan.distinct[p], plan.clonal[p], places.data(), scratch);
    AppendResampledRows(lines, plan, cloneFree, variant, p, places.data());
  }
  if (PerPopulation(variant)) AppendFillers(lines, lines.rows(), plan.header.highestAllele);
  return lines;
}

GenotypeLines FastResampledLines(const FastResampler& fast, const ResamplingPlan& plan,
                                 const GenotypeTable& cloneFree) {
  const TableVariant& variant = fast.variant;
  GenotypeLines lines;
  lines.loci = LociInFile(plan.header, variant);
  // Only the written populations, straight from the clone-free table and the places.
  for (size_t p = 0; p < plan.size.size(); ++p) {
    if (!fast.written[p]) continue;
    AppendResampledRows(lines, plan, cloneFree, variant, p,
                        fast.places.data() + fast.placeOffset[p]);
  }
  if (PerPopulation(variant)) AppendFillers(lines, lines.rows(), plan.header.highestAllele);
  return lines;
}

}  // namespace genosieve
