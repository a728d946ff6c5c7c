#include "engine/engine_input.h"

#include <cstddef>

#include "errors.h"
#include "messages.h"

namespace genosieve {

std::vector<int32_t> PopulationEnds(const std::vector<int32_t>& lineCounts) {
  std::vector<int32_t> ends(lineCounts.size());
  int32_t end = 0;
  for (std::size_t p = 0; p < lineCounts.size(); ++p) {
    end += lineCounts[p];
    ends[p] = end;
  }
  return ends;
}

namespace {

void CheckDimensions(const EngineInput& input, bool withCodes) {
  bool fits = input.populations >= 0 && input.loci >= 0 && input.individuals >= 0 &&
              input.highestAllele >= 0 &&
              input.populationEnd.size() == static_cast<std::size_t>(input.populations) &&
              (!withCodes || input.codes.size() == static_cast<std::size_t>(input.loci) *
                                                       static_cast<std::size_t>(input.individuals));
  int32_t previous = 0;
  for (std::size_t p = 0; fits && p < input.populationEnd.size(); ++p) {
    fits = input.populationEnd[p] >= previous;
    previous = input.populationEnd[p];
  }
  if (!fits || previous != input.individuals) {
    ThrowInternalError(FillMessage(
        "the genotype table of {} populations, {} loci and {} individuals does not fit its "
        "population ends and genotype columns",
        input.populations, input.loci, input.individuals));
  }
}

}  // namespace

void CheckEngineInput(const EngineInput& input) { CheckDimensions(input, true); }

void CheckEngineShape(const EngineInput& input) { CheckDimensions(input, false); }

}  // namespace genosieve
