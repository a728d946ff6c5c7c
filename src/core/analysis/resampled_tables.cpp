#include "analysis/resampled_tables.h"

#include <numeric>
#include <string>

#include "analysis/resampling.h"
#include "errors.h"

namespace genosieve {

namespace {

size_t Size(int32_t value) { return static_cast<size_t>(value); }

int32_t Code(const AllelePair& genotype) { return genotype.first * 1000 + genotype.second; }

[[noreturn]] void ThrowInconsistent(size_t population, const std::string& what) {
  throw RunError("The clone summary of population " + std::to_string(population + 1) +
                 " does not match its individuals (" + what + ").");
}

int32_t LociInFile(const HeaderNumbers& header, const TestVariant& variant) {
  return variant.kind == TestKind::kPerLocus ? 1 : header.loci;
}

// Data locus (0-based) of locus `l` of the file.
int32_t DataLocus(const TestVariant& variant, int32_t l) {
  return variant.kind == TestKind::kPerLocus ? variant.subject - 1 : l;
}

void AppendLine(GenotypeTable& lines, int32_t population) {
  lines.population.push_back(population);
  lines.cells.resize(lines.cells.size() + Size(lines.loci));
}

void AppendFillers(GenotypeTable& lines, int32_t count, int32_t highestAllele) {
  for (int32_t i = 0; i < count; ++i) {
    AppendLine(lines, 2);
    for (int32_t l = 0; l < lines.loci; ++l) {
      lines.at(lines.rows() - 1, l) = AllelePair{highestAllele, highestAllele};
    }
  }
}

// Appends `count` rows of `source` from `first` on, numbered `population`.
void AppendRows(GenotypeTable& lines, const GenotypeTable& source, int32_t first, int32_t count,
                int32_t population, const TestVariant& variant) {
  for (int32_t row = first; row < first + count; ++row) {
    AppendLine(lines, population);
    for (int32_t l = 0; l < lines.loci; ++l) {
      lines.at(lines.rows() - 1, l) = source.at(row, DataLocus(variant, l));
    }
  }
}

void CheckSubject(const HeaderNumbers& header, const TestVariant& variant) {
  if (variant.kind == TestKind::kPerLocus &&
      (variant.subject < 1 || variant.subject > header.loci)) {
    throw RunError("No locus " + std::to_string(variant.subject) + " in the data.");
  }
  if (variant.kind == TestKind::kPerPopulation &&
      (variant.subject < 1 || variant.subject > header.populations)) {
    throw RunError("No population " + std::to_string(variant.subject) + " in the data.");
  }
}

}  // namespace

ResamplingPlan MakeResamplingPlan(const DataFile& data, const PopulationIndex& index,
                                  const CloneDetection& clones, const CloneSummary& summary) {
  const HeaderNumbers& header = data.header;
  const size_t populations = Size(header.populations);
  if (header.populations < 1 || index.size() != populations + 1 || index.front() != 0 ||
      index.back() != data.table.rows() || summary.ndGenotypes.size() != populations ||
      summary.nbClones.size() != populations || summary.extraCopies.size() != populations ||
      summary.distinctOffset.size() != populations + 1 || data.table.loci != header.loci ||
      clones.cloneFree.loci != header.loci) {
    throw RunError("The clone summary does not match the data file.");
  }
  ResamplingPlan plan;
  plan.header = header;
  int32_t nextDistinct = 0;
  for (size_t p = 0; p < populations; ++p) {
    const int32_t size = index[p + 1] - index[p];
    const int32_t distinct = summary.ndGenotypes[p];
    const int32_t clonal = summary.nbClones[p];
    if (size < 1) ThrowInconsistent(p, "no individual");
    if (distinct < 1 || clonal < 0 || clonal > distinct ||
        summary.extraCopies[p].size() < Size(clonal)) {
      ThrowInconsistent(p, "clonal genotypes");
    }
    std::vector<int32_t> extra(summary.extraCopies[p].begin(),
                               summary.extraCopies[p].begin() + clonal);
    int64_t total = distinct;
    for (int32_t e : extra) {
      if (e < 1) ThrowInconsistent(p, "extra copies");
      total += e;
    }
    if (total != size) ThrowInconsistent(p, "population size");
    if (summary.distinctOffset[p] != nextDistinct ||
        summary.distinctOffset[p + 1] - summary.distinctOffset[p] != distinct) {
      ThrowInconsistent(p, "distinct offsets");
    }
    nextDistinct += distinct;
    plan.size.push_back(size);
    plan.distinct.push_back(distinct);
    plan.clonal.push_back(clonal);
    plan.extraCopies.push_back(std::move(extra));
    plan.firstRow.push_back(index[p]);
    plan.firstDistinct.push_back(summary.distinctOffset[p]);
  }
  if (clones.cloneFree.rows() < nextDistinct) {
    throw RunError("The clone-free table holds fewer rows than the distinct genotypes.");
  }
  return plan;
}

std::array<int32_t, 4> VariantHeader(const HeaderNumbers& header, const TestVariant& variant) {
  const int32_t populations = variant.kind == TestKind::kPerPopulation ? 2 : header.populations;
  return {populations, LociInFile(header, variant), header.highestAllele, header.codeWidth};
}

GenotypeTable ObservedLines(const DataFile& data, const PopulationIndex& index,
                            const TestVariant& variant) {
  CheckSubject(data.header, variant);
  GenotypeTable lines;
  lines.loci = LociInFile(data.header, variant);
  if (variant.kind == TestKind::kPerPopulation) {
    const size_t k = Size(variant.subject);
    const int32_t size = index[k] - index[k - 1];
    AppendRows(lines, data.table, index[k - 1], size, 1, variant);
    AppendFillers(lines, size, data.header.highestAllele);
    return lines;
  }
  for (size_t p = 1; p < index.size(); ++p) {
    AppendRows(lines, data.table, index[p - 1], index[p] - index[p - 1], static_cast<int32_t>(p),
               variant);
  }
  return lines;
}

ResamplingTable SetUpResamplingTable(const ResamplingPlan& plan, const GenotypeTable& cloneFree) {
  ResamplingTable table(plan.size.size());
  for (size_t p = 0; p < table.size(); ++p) {
    GenotypeTable& rows = table[p];
    rows.loci = plan.header.loci;
    rows.population.assign(Size(plan.size[p]), static_cast<int32_t>(p + 1));
    rows.cells.assign(Size(plan.size[p]) * Size(rows.loci), AllelePair{});
    for (int32_t g = 0; g < plan.distinct[p]; ++g) {
      for (int32_t l = 0; l < rows.loci; ++l) {
        rows.at(g, l) = cloneFree.at(plan.firstDistinct[p] + g, l);
      }
    }
  }
  return table;
}

void ResampleAllPopulations(ResamplingTable& table, const ResamplingPlan& plan) {
  for (size_t p = 0; p < table.size(); ++p) {
    ResamplePopulation(table[p], plan.distinct[p], plan.clonal[p], plan.extraCopies[p]);
  }
}

GenotypeTable ResampledLines(const ResamplingTable& table, const ResamplingPlan& plan,
                             const TestVariant& variant) {
  CheckSubject(plan.header, variant);
  GenotypeTable lines;
  lines.loci = LociInFile(plan.header, variant);
  if (variant.kind == TestKind::kPerPopulation) {
    const size_t k = Size(variant.subject - 1);
    AppendRows(lines, table[k], 0, plan.size[k], 1, variant);
    AppendFillers(lines, plan.size[k], plan.header.highestAllele);
    return lines;
  }
  for (size_t p = 0; p < table.size(); ++p) {
    AppendRows(lines, table[p], 0, plan.size[p], static_cast<int32_t>(p + 1), variant);
  }
  return lines;
}

EngineInput EngineInputFromLines(const std::array<int32_t, 4>& headerValues,
                                 const GenotypeTable& lines) {
  EngineInput input;
  input.populations = headerValues[0];
  input.loci = headerValues[1];
  input.highestAllele = headerValues[2];
  input.individuals = lines.rows();
  input.populationEnd.assign(Size(input.populations), 0);
  for (int32_t p : lines.population) ++input.populationEnd[Size(p - 1)];
  std::partial_sum(input.populationEnd.begin(), input.populationEnd.end(),
                   input.populationEnd.begin());
  input.codes.assign(Size(input.loci) * Size(input.individuals), 0);
  for (int32_t l = 0; l < input.loci; ++l) {
    for (int32_t i = 0; i < input.individuals; ++i) {
      input.codes[Size(l) * Size(input.individuals) + Size(i)] = Code(lines.at(i, l));
    }
  }
  return input;
}

FastResampler MakeFastResampler(const ResamplingPlan& plan, const GenotypeTable& cloneFree,
                                const TestVariant& variant) {
  CheckSubject(plan.header, variant);
  const size_t populations = plan.size.size();
  const std::array<int32_t, 4> header = VariantHeader(plan.header, variant);
  const bool perPopulation = variant.kind == TestKind::kPerPopulation;
  const int32_t loci = header[1];

  FastResampler fast;
  fast.variant = variant;
  fast.written.assign(populations, 0);
  fast.placeOffset.assign(populations, 0);
  int32_t places = 0;
  for (size_t p = 0; p < populations; ++p) {
    fast.placeOffset[p] = places;
    places += plan.clonal[p];
    fast.written[p] = !perPopulation || p == Size(variant.subject - 1);
  }
  fast.places.resize(Size(places));
  for (size_t p = 0; p < populations; ++p) {
    std::iota(fast.places.begin() + fast.placeOffset[p],
              fast.places.begin() + fast.placeOffset[p] + plan.clonal[p], 1);
  }

  // Which populations must be drawn; the draws of the others are skipped.
  std::vector<uint8_t> changes(populations, 0);
  uint64_t skipped = 0;
  for (size_t p = 0; p < populations; ++p) {
    bool change = fast.written[p] && plan.clonal[p] > 0 && plan.distinct[p] > 1;
    if (change && variant.kind == TestKind::kPerLocus) {
      const int32_t locus = variant.subject - 1;
      const AllelePair& first = cloneFree.at(plan.firstDistinct[p], locus);
      bool identical = true;
      for (int32_t g = 1; g < plan.distinct[p] && identical; ++g) {
        identical = cloneFree.at(plan.firstDistinct[p] + g, locus) == first;
      }
      change = !identical;
    }
    changes[p] = change;
    if (change) {
      fast.steps.push_back({RandomJumpAhead(skipped), static_cast<int32_t>(p)});
      skipped = 0;
    } else {
      skipped += static_cast<uint64_t>(plan.distinct[p]);
    }
  }
  fast.skipAfter = RandomJumpAhead(skipped);

  // The rows of every iteration, population by population in the order of the file.
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
  fixed.loci = loci;
  fixed.highestAllele = header[2];
  int32_t rows = 0;
  for (size_t p = 0; p < populations; ++p) {
    if (!fast.written[p]) continue;
    rows += static_cast<int32_t>(fixedSources[p].size());
    fixed.populationEnd.push_back(rows);
  }
  const int32_t fillers = perPopulation ? plan.size[Size(variant.subject - 1)] : 0;
  if (perPopulation) fixed.populationEnd.push_back(rows + fillers);
  fixed.individuals = rows + fillers;
  fixed.codes.reserve(Size(loci) * Size(fixed.individuals));
  const int32_t filler = plan.header.highestAllele * 1000 + plan.header.highestAllele;
  for (int32_t l = 0; l < loci; ++l) {
    for (size_t p = 0; p < populations; ++p) {
      for (int32_t source : fixedSources[p]) {
        fixed.codes.push_back(Code(cloneFree.at(source, DataLocus(variant, l))));
      }
    }
    fixed.codes.insert(fixed.codes.end(), Size(fillers), filler);
  }

  // Candidates and copy slots of the populations that change.
  CandidateGenotypes candidates;
  std::vector<CopySlot> slots;
  std::vector<int32_t> candidateSources;
  int32_t filePopulation = 0;
  for (size_t p = 0; p < populations; ++p) {
    if (!fast.written[p]) continue;
    if (changes[p]) {
      const int32_t firstCandidate = candidates.count;
      for (int32_t g = 0; g < plan.distinct[p]; ++g) {
        candidateSources.push_back(plan.firstDistinct[p] + g);
        candidates.population.push_back(filePopulation);
      }
      candidates.count += plan.distinct[p];
      for (int32_t k = 0; k < plan.clonal[p]; ++k) {
        slots.push_back({filePopulation, plan.extraCopies[p][Size(k)]});
        fast.slotPlace.push_back(fast.placeOffset[p] + k);
        fast.slotFirstCandidate.push_back(firstCandidate);
      }
    }
    ++filePopulation;
  }
  candidates.codes.reserve(Size(loci) * candidateSources.size());
  for (int32_t l = 0; l < loci; ++l) {
    for (int32_t source : candidateSources) {
      candidates.codes.push_back(Code(cloneFree.at(source, DataLocus(variant, l))));
    }
  }
  fast.test = PrepareTest(fixed, candidates, slots);
  fast.chosen.resize(slots.size());
  for (size_t j = 0; j < slots.size(); ++j) {
    fast.chosen[j] = fast.slotFirstCandidate[j] + fast.places[Size(fast.slotPlace[j])] - 1;
  }
  return fast;
}

void ResampleFast(FastResampler& fast, const ResamplingPlan& plan, uint32_t& seed) {
  uint32_t s = seed;
  for (const FastResampler::Step& step : fast.steps) {
    const size_t p = Size(step.population);
    s = ApplyJump(step.skipBefore, s);
    DrawClonalPlaces(s, plan.distinct[p], plan.clonal[p], fast.places.data() + fast.placeOffset[p],
                     fast.scratch);
  }
  seed = ApplyJump(fast.skipAfter, s);
  for (size_t j = 0; j < fast.chosen.size(); ++j) {
    fast.chosen[j] = fast.slotFirstCandidate[j] + fast.places[Size(fast.slotPlace[j])] - 1;
  }
}

Extended EvaluateFastIteration(FastResampler& fast) {
  return EvaluatePrepared(fast.test, fast.chosen.data());
}

GenotypeTable FastResampledLines(const FastResampler& fast, const ResamplingPlan& plan,
                                 const GenotypeTable& cloneFree) {
  const TestVariant& variant = fast.variant;
  const bool perPopulation = variant.kind == TestKind::kPerPopulation;
  GenotypeTable lines;
  lines.loci = LociInFile(plan.header, variant);
  // Only the written populations, straight from the clone-free table and the places.
  for (size_t p = 0; p < plan.size.size(); ++p) {
    if (!fast.written[p]) continue;
    const int32_t number = perPopulation ? 1 : static_cast<int32_t>(p + 1);
    AppendRows(lines, cloneFree, plan.firstDistinct[p], plan.distinct[p], number, variant);
    const int32_t* places = fast.places.data() + fast.placeOffset[p];
    for (int32_t k = 0; k < plan.clonal[p]; ++k) {
      for (int32_t e = 0; e < plan.extraCopies[p][Size(k)]; ++e) {
        AppendRows(lines, cloneFree, plan.firstDistinct[p] + places[k] - 1, 1, number, variant);
      }
    }
  }
  if (perPopulation) AppendFillers(lines, lines.rows(), plan.header.highestAllele);
  return lines;
}

}  // namespace genosieve
