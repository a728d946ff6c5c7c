#pragma once

#include <cstdint>
#include <string>

#include "engine/tally.h"

namespace genosieve {

// Each writer opens, writes and closes its file; a failure is the Run's I/O error.
// `state` holds a normalised tally.

// Creates (or empties) the results file and writes the overall section.
void WriteOverallSection(const std::string& resultName, const TallyState& state,
                         char decimalSeparator);

// Appends the section of locus k (1-based).
void WritePerLocusSection(const std::string& resultName, const TallyState& state, int32_t locus,
                          char decimalSeparator);

// Appends the section of population k (1-based).
void WritePerPopulationSection(const std::string& resultName, const TallyState& state,
                               int32_t population, char decimalSeparator);

// Creates (or empties) a p-value file: header "iteration\tp-value", then one line per
// iteration with its running P-value.
void WritePValueFile(const std::string& fileName, const TallyState& state, char decimalSeparator);

// "overall p-values_" + R, "Locus" + k + "p-values_" + R, "Pop" + k + "p-values_" + R.
std::string OverallPValueFileName(const std::string& resultName);
std::string LocusPValueFileName(const std::string& resultName, int32_t locus);
std::string PopulationPValueFileName(const std::string& resultName, int32_t population);

}  // namespace genosieve
