#include "engine/genotype_file.h"

namespace genosieve {

void WriteGenotypeFile(const std::string& fileName, const std::array<int32_t, 4>& headerValues,
                       int32_t labelCount, const GenotypeTable& lines) {
  (void)fileName;
  (void)headerValues;
  (void)labelCount;
  (void)lines;
}

EngineInput LoadGenotypeFile(const std::string& fileName) {
  (void)fileName;
  return {};
}

EngineInput LoadGenotypeFile(bool observed) {
  return LoadGenotypeFile(std::string(observed ? kObservedFileName : kRandomizedFileName));
}

}  // namespace genosieve
