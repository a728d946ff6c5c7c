#include "reports/results_file.h"

namespace genosieve {

void WriteOverallSection(const std::string& resultName, const TestState& state,
                         char decimalSeparator) {
  (void)resultName;
  (void)state;
  (void)decimalSeparator;
}

void WritePerLocusSection(const std::string& resultName, const TestState& state, int32_t locus,
                          char decimalSeparator) {
  (void)resultName;
  (void)state;
  (void)locus;
  (void)decimalSeparator;
}

void WritePerPopulationSection(const std::string& resultName, const TestState& state,
                               int32_t population, char decimalSeparator) {
  (void)resultName;
  (void)state;
  (void)population;
  (void)decimalSeparator;
}

void WritePValueFile(const std::string& fileName, const TestState& state, char decimalSeparator) {
  (void)fileName;
  (void)state;
  (void)decimalSeparator;
}

std::string OverallPValueFileName(const std::string& resultName) {
  return "overall p-values_" + resultName;
}

std::string LocusPValueFileName(const std::string& resultName, int32_t locus) {
  return "Locus" + std::to_string(locus) + "p-values_" + resultName;
}

std::string PopulationPValueFileName(const std::string& resultName, int32_t population) {
  return "Pop" + std::to_string(population) + "p-values_" + resultName;
}

}  // namespace genosieve
