#pragma once

// Clonal richness and diversity of a sample from its clone sizes: how many ramets (N, the
// individuals) each genet (G, the distinct multilocus genotypes) has. Values that a
// sample cannot define (one ramet, a single genet, ...) are left out (nullopt).

#include <cstdint>
#include <optional>
#include <vector>

#include "data/clones.h"

namespace genosieve {

struct ClonalDiversity {
  int64_t ramets = 0;  // N
  int64_t genets = 0;  // G
  // R = (G - 1) / (N - 1); none when N = 1.
  std::optional<double> richness;
  // Simpson's D = 1 - sum n_i (n_i - 1) / (N (N - 1)); none when N = 1.
  std::optional<double> simpsonD;
  // (D - Dmin) / (Dmax - Dmin), Dmin = (G - 1)(2N - G) / (N (N - 1)), Dmax =
  // (G - 1) N / (G (N - 1)); none when G = 1 or G = N.
  std::optional<double> simpsonEvenness;
  // Minus the slope of the Pareto fit below; none with fewer than two distinct sizes.
  std::optional<double> paretoBeta;
};

// One point of the Pareto distribution of clone sizes: `genets` is the number of genets
// with at least `size` ramets.
struct ParetoPoint {
  int64_t size = 0;
  int64_t genets = 0;
};

// The points for every distinct clone size, ascending, and the least-squares line of
// ln genets on ln size: ln y = intercept + slope ln x (none with fewer than two points).
struct ParetoFit {
  std::vector<ParetoPoint> points;
  std::optional<double> slope;
  std::optional<double> intercept;
};

// `sizes` holds the ramets of each genet (every size at least 1).
ClonalDiversity DescribeClonalDiversity(const std::vector<int64_t>& sizes);
ParetoFit FitPareto(const std::vector<int64_t>& sizes);

// The clone sizes of population k (1-based) of a clone summary: each clonal genotype's
// repeat count, then 1 for each genotype carried once; k = 0 for every population.
std::vector<int64_t> CloneSizes(const CloneSummary& summary, int32_t population);

}  // namespace genosieve
