#include "support/plain_path.h"

#include <algorithm>

#include "engine/engine.h"

namespace genosieve {

std::vector<TBase> DrawPermutationList(RandomGenerator& generator, int32_t distinct) {
  std::vector<TBase> list(static_cast<size_t>(std::max(distinct, 0)));
  for (int32_t i = 0; i < distinct; ++i) list[static_cast<size_t>(i)].Index = i + 1;
  for (TBase& item : list) item.Key = DrawRandom(generator);
  std::sort(list.begin(), list.end(),
            [](const TBase& a, const TBase& b) { return CompareKeys(a, b) < 0; });
  return list;
}

void CopyExtraCopies(GenotypeTable& rows, int32_t distinct, int32_t clonal,
                     const std::vector<int32_t>& extraCopies, const int32_t* places) {
  int32_t row = distinct;
  for (int32_t k = 0; k < clonal; ++k) {
    const int32_t source = places[k] - 1;
    for (int32_t copy = 0; copy < extraCopies[static_cast<size_t>(k)]; ++copy, ++row) {
      for (int32_t locus = 0; locus < rows.loci; ++locus) {
        rows.at(row, locus) = rows.at(source, locus);
      }
    }
  }
}

void ResamplePopulation(RandomGenerator& generator, GenotypeTable& rows, int32_t distinct,
                        int32_t clonal, const std::vector<int32_t>& extraCopies) {
  const std::vector<TBase> list = DrawPermutationList(generator, distinct);
  std::vector<int32_t> places(static_cast<size_t>(clonal));
  for (int32_t k = 0; k < clonal; ++k) {
    places[static_cast<size_t>(k)] = list[static_cast<size_t>(k)].Index;
  }
  CopyExtraCopies(rows, distinct, clonal, extraCopies, places.data());
}

ResamplingTable SetUpResamplingTable(const ResamplingPlan& plan, const GenotypeTable& cloneFree) {
  ResamplingTable table(plan.size.size());
  for (size_t p = 0; p < table.size(); ++p) {
    GenotypeTable& rows = table[p];
    rows.loci = plan.header.loci;
    rows.population.assign(static_cast<size_t>(plan.size[p]), static_cast<int32_t>(p + 1));
    rows.cells.assign(static_cast<size_t>(plan.size[p]) * static_cast<size_t>(rows.loci),
                      AllelePair{});
    for (int32_t g = 0; g < plan.distinct[p]; ++g) {
      for (int32_t l = 0; l < rows.loci; ++l) {
        rows.at(g, l) = cloneFree.at(plan.firstDistinct[p] + g, l);
      }
    }
  }
  return table;
}

void ResampleAllPopulations(RandomGenerator& generator, ResamplingTable& table,
                            const ResamplingPlan& plan) {
  for (size_t p = 0; p < table.size(); ++p) {
    ResamplePopulation(generator, table[p], plan.distinct[p], plan.clonal[p], plan.extraCopies[p]);
  }
}

GenotypeTable ResampledLines(const ResamplingTable& table, const ResamplingPlan& plan,
                             const TableVariant& variant) {
  CheckVariant(plan.header, variant);
  GenotypeTable lines;
  lines.loci = LociInFile(plan.header, variant);
  if (variant.kind == RandomizationKind::kPerPopulation) {
    const size_t k = static_cast<size_t>(variant.subject - 1);
    AppendVariantRows(lines, table[k], 0, plan.size[k], 1, variant);
    AppendFillers(lines, plan.size[k], plan.header.highestAllele);
    return lines;
  }
  for (size_t p = 0; p < table.size(); ++p) {
    AppendVariantRows(lines, table[p], 0, plan.size[p], static_cast<int32_t>(p + 1), variant);
  }
  return lines;
}

void RunPlainIterations(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                        const TableVariant& variant, TallyState& state, RunView& view) {
  const int32_t iterations = inputs.iterations;
  const std::array<int32_t, 4> header = VariantHeader(plan.header, variant);
  ResamplingTable table = SetUpResamplingTable(plan, inputs.clones.cloneFree);
  RandomGenerator generator = SeedForTest(inputs.settings.seed);
  state.seed = generator.seed;
  view.SetProgressRange(0, iterations + 1);
  if (iterations <= 0) return;
  state.iterationIndex = 1;
  const WorkingFolder& folder = inputs.files.folder;
  RunningPValueFeed feed = StartRunningPValues(variant, iterations);
  for (int32_t i = 1; i <= iterations; ++i) {
    StopIfRequested(view);
    view.SetProgressPosition(i);
    ResampleAllPopulations(generator, table, plan);
    WriteRandomizedFile(folder, header, LinesOf(ResampledLines(table, plan, variant)));
    RunEvaluation(folder, EvaluationKind::kRandomized, state);
    FeedRunningPValues(feed, state.notAboveFlags, i, view);
    ++state.iterationIndex;
  }
}

}  // namespace genosieve
