#include "support/reference_engine.h"

#include <string>
#include <vector>

#include "engine/genotype_code.h"
#include "errors.h"

namespace genosieve {

EngineInput MakeEngineInput(const GenotypeTable& lines, int32_t populations,
                            int32_t highestAllele) {
  if (lines.loci < 0 || populations < 0 || highestAllele < 0 ||
      lines.cells.size() !=
          static_cast<std::size_t>(lines.rows()) * static_cast<std::size_t>(lines.loci)) {
    throw RunError("The genotype table does not fit its rows and loci.");
  }
  EngineInput input;
  input.populations = populations;
  input.loci = lines.loci;
  input.highestAllele = highestAllele;
  input.individuals = lines.rows();
  std::vector<int32_t> lineCount(static_cast<std::size_t>(populations), 0);
  for (int32_t row = 0; row < lines.rows(); ++row) {
    const int32_t population = lines.population[static_cast<std::size_t>(row)];
    if (population < 1 || population > populations) {
      throw RunError("Individual line " + std::to_string(row + 1) + ": population number " +
                     std::to_string(population) + " outside 1.." + std::to_string(populations));
    }
    ++lineCount[static_cast<std::size_t>(population - 1)];
  }
  input.populationEnd = PopulationEnds(lineCount);
  const auto n = static_cast<std::size_t>(input.individuals);
  const auto loci = static_cast<std::size_t>(input.loci);
  input.codes.resize(loci * n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < loci; ++k) {
      const AllelePair& pair = lines.cells[i * loci + k];
      const int32_t code = GenotypeCode(pair);
      const bool threeDigits =
          pair.first >= 0 && pair.first <= 999 && pair.second >= 0 && pair.second <= 999;
      if (!threeDigits || !IsValidGenotypeCode(code, highestAllele)) {
        throw RunError("Individual line " + std::to_string(i + 1) + ", locus " +
                       std::to_string(k + 1) + ": " +
                       (threeDigits ? GenotypeCodeProblem(code, highestAllele)
                                    : std::string("allele outside 0..999")));
      }
      input.codes[k * n + i] = code;
    }
  }
  return input;
}

EngineInput EngineInputFromLines(const std::array<int32_t, 4>& headerValues,
                                 const GenotypeTable& lines) {
  return MakeEngineInput(lines, headerValues[0], headerValues[2]);
}

Extended EvaluateFis(const EngineInput& input) {
  EngineWorkspace workspace;
  return EvaluateFis(input, workspace);
}

VarianceComponents ComputeComponents(int32_t contributingPops, float meanSampleSize,
                                     Extended meanFreq, Extended freqVariance, Extended meanHet) {
  return ComponentsOf(LocusValuesOf(contributingPops, meanSampleSize), meanFreq, freqVariance,
                      meanHet);
}

}  // namespace genosieve
