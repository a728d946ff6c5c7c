#pragma once

// A Run's results at a glance: what the command line prints when a Run ends.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/test_outcome.h"

namespace genosieve {

inline constexpr double kSignificanceLevel = 0.05;

// How many of the hypotheses Holm's step-down procedure rejects at level alpha: with the
// P-values in ascending order p(1) <= ... <= p(m), it rejects p(1) .. p(j) for the
// largest j such that p(i) <= alpha / (m - i + 1) for every i <= j.
int32_t HolmRejections(std::vector<double> pValues, double alpha);

// Which of the P-values, in their order, Holm's procedure rejects at level alpha: those
// at or below the largest rejected one (HolmRejections of them in all).
std::vector<bool> HolmRejected(const std::vector<double>& pValues, double alpha);

// One line per kind of test that finished: the overall test's observed and expected Fis
// and both P-values; for the loci and the populations, how many have p_lower at most
// kSignificanceLevel, raw and after Holm's correction.
std::vector<std::string> InterpretationLines(const std::vector<TestOutcome>& outcomes);

// One line per population: its clonal richness R, and how many of its repeated
// multilocus genotypes have psex >= kPsexAlpha (possibly distinct genets).
std::vector<std::string> ClonalityLines(const ClonalityResults& results);

}  // namespace genosieve
