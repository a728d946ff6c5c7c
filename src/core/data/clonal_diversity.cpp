#include "data/clonal_diversity.h"

#include <algorithm>
#include <cmath>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

double Real(int64_t value) { return static_cast<double>(value); }

}  // namespace

ClonalDiversity DescribeClonalDiversity(const std::vector<int64_t>& sizes) {
  ClonalDiversity d;
  // Sum of n_i (n_i - 1): exact in 64 bits, as every product below is for any sample a
  // genotype table can hold, so each value is one rounding of its exact fraction.
  int64_t pairs = 0;
  for (const int64_t size : sizes) {
    if (size < 1) ThrowInternalError(FillMessage("a clone of {} ramets", size));
    d.ramets += size;
    pairs += size * (size - 1);
  }
  d.genets = static_cast<int64_t>(sizes.size());
  const int64_t n = d.ramets;
  const int64_t g = d.genets;
  if (n >= 2) {
    const int64_t allPairs = n * (n - 1);
    d.richness = Real(g - 1) / Real(n - 1);
    d.simpsonD = Real(allPairs - pairs) / Real(allPairs);
    if (g > 1 && g < n) {
      // (D - Dmin) / (Dmax - Dmin) = [N (N - 1) - sum - (G - 1)(2N - G)] G / ((G - 1)(N - G)^2),
      // as Dmax - Dmin = (G - 1)(N - G)^2 / ((N - 1) G N).
      const int64_t aboveMinimum = allPairs - pairs - (g - 1) * (2 * n - g);
      d.simpsonEvenness = Real(aboveMinimum) * Real(g) / (Real(g - 1) * Real(n - g) * Real(n - g));
    }
  }
  const ParetoFit fit = FitPareto(sizes);
  if (fit.slope) d.paretoBeta = -*fit.slope;
  return d;
}

ParetoFit FitPareto(const std::vector<int64_t>& sizes) {
  std::vector<int64_t> sorted = sizes;
  std::sort(sorted.begin(), sorted.end());
  ParetoFit fit;
  // For each distinct size x, the genets of size x or more: those from its first place on.
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (i == 0 || sorted[i] != sorted[i - 1]) {
      fit.points.push_back({sorted[i], static_cast<int64_t>(sorted.size() - i)});
    }
  }
  if (fit.points.size() < 2) return fit;
  const auto count = Real(static_cast<int64_t>(fit.points.size()));
  double meanX = 0.0;
  double meanY = 0.0;
  for (const ParetoPoint& point : fit.points) {
    meanX += std::log(Real(point.size));
    meanY += std::log(Real(point.genets));
  }
  meanX /= count;
  meanY /= count;
  double cross = 0.0;
  double spread = 0.0;
  for (const ParetoPoint& point : fit.points) {
    const double dx = std::log(Real(point.size)) - meanX;
    cross += dx * (std::log(Real(point.genets)) - meanY);
    spread += dx * dx;
  }
  fit.slope = cross / spread;
  fit.intercept = meanY - *fit.slope * meanX;
  return fit;
}

std::vector<int64_t> CloneSizes(const CloneSummary& summary, int32_t population) {
  const auto populations = static_cast<int32_t>(summary.size.size());
  if (population < 0 || population > populations) {
    ThrowInternalError(FillMessage("no population {} among {}", population, populations));
  }
  std::vector<int64_t> sizes;
  const int32_t first = population == 0 ? 1 : population;
  const int32_t last = population == 0 ? populations : population;
  for (int32_t k = first; k <= last; ++k) {
    const auto p = static_cast<std::size_t>(k - 1);
    for (const int32_t extra : summary.extraCopies[p]) sizes.push_back(int64_t{extra} + 1);
    const int32_t single = summary.ndGenotypes[p] - summary.nbClones[p];
    sizes.insert(sizes.end(), static_cast<std::size_t>(std::max(single, 0)), int64_t{1});
  }
  return sizes;
}

}  // namespace genosieve
