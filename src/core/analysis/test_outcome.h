#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/randomization_kind.h"
#include "extended.h"

namespace genosieve {

// One finished randomization test, as the Run reports it once the test's section is part
// of the results file (written at once while the file is small, reports/results_file.h).
struct TestOutcome {
  RandomizationKind kind = RandomizationKind::kOverall;
  int32_t index = 1;  // 1-based among the tests of its kind; 1 for the overall test
  // "overall", the locus name from the data file, or the population's name ("pop" + k
  // where the data file names none).
  std::string name;
  // What the test's evaluation holds: every individual and the populations' distinct
  // genotypes added up for the overall and locus tests, n_k and D_k for population k.
  int32_t individuals = 0;
  int32_t distinctGenotypes = 0;
  Extended observed = Extended(0);  // tally row 0
  Extended expected = Extended(0);  // tally row 1 once normalised
  // The results file's p-value (tally row N + 2): the share of the N + 1 values, the
  // observed one included, that are not above the observed Fis.
  Extended pLower = Extended(1);
  // The other tail: the share of the N + 1 values, the observed one included, that are at
  // least the observed Fis (a test for heterozygote deficit).
  Extended pUpper = Extended(1);
  int32_t iterations = 0;
  uint32_t seed = 0;                    // the seed the test's random generator started from
  std::vector<Extended> randomizedFis;  // iteration i at [i - 1]
};

// The upper-tail P-value of an observed value among its randomized ones.
Extended UpperTailPValue(Extended observed, const std::vector<Extended>& randomized);

// The running P-value after each iteration i = 1..N, (1 + the number of the first i
// randomized values not above the observed one) / (i + 1): the overall test's chart.
std::vector<double> RunningPValues(const TestOutcome& outcome);

// The central 95 % of the randomized values: the k-th smallest and the k-th largest,
// k = ceil(N / 40), 2.5 % of N (at least 1 for N >= 1). Without randomized values both are NaN.
struct RandomizedRange {
  double low;
  double high;
};
RandomizedRange CentralRange(const std::vector<Extended>& randomized);

}  // namespace genosieve
