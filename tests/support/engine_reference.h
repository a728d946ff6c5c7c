#pragma once

// A plain dense implementation of the counting and the Weir & Cockerham estimate,
// written step by step from the published formulas with the program's precision
// choices; the engine's fast evaluation must agree with it to the last bit.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "errors.h"
#include "messages.h"
#include "support/extended_text.h"

namespace genosieve::testing {

struct ReferenceOptions {
  bool band = true;  // apply the 0.001 < p̄ < 0.999 filter
};

inline Extended ReferenceFis(const EngineInput& in, ReferenceOptions options = {}) {
  const int P = in.populations;
  const int L = in.loci;
  const int A = in.highestAllele;
  const int N = in.individuals;
  auto cell = [&](int p, int k, int a) {
    return (static_cast<std::size_t>(p - 1) * L + (k - 1)) * (A + 1) + a;
  };
  std::vector<Extended> alleleFreq(static_cast<std::size_t>(P) * L * (A + 1), Extended(0));
  std::vector<Extended> hetFreq(alleleFreq.size(), Extended(0));
  std::vector<int32_t> sampleSize(static_cast<std::size_t>(P) * L, 0);
  for (int i = 1; i <= N; ++i) {
    int p = 1;
    while (in.populationEnd[static_cast<std::size_t>(p - 1)] < i) ++p;
    for (int k = 1; k <= L; ++k) {
      const int32_t g = in.codes[static_cast<std::size_t>(k - 1) * N + (i - 1)];
      const int first = g / 1000;
      const int second = g % 1000;
      if (g != 0) {
        sampleSize[static_cast<std::size_t>(p - 1) * L + (k - 1)] += 1;
        alleleFreq[cell(p, k, first)] += 1;
        alleleFreq[cell(p, k, second)] += 1;
        if (first != second) {
          hetFreq[cell(p, k, first)] += 1;
          hetFreq[cell(p, k, second)] += 1;
        }
      }
    }
  }

  std::vector<int32_t> r(static_cast<std::size_t>(L + 1), P);
  for (int p = 1; p <= P; ++p) {
    for (int k = 1; k <= L; ++k) {
      const int32_t n = sampleSize[static_cast<std::size_t>(p - 1) * L + (k - 1)];
      for (int a = 1; a <= A; ++a) {
        if (n != 0) {
          alleleFreq[cell(p, k, a)] = alleleFreq[cell(p, k, a)] / static_cast<Extended>(2 * n);
          hetFreq[cell(p, k, a)] = hetFreq[cell(p, k, a)] / static_cast<Extended>(n);
        } else {
          alleleFreq[cell(p, k, a)] = Extended(0);
          hetFreq[cell(p, k, a)] = Extended(0);
          if (a == 1) r[static_cast<std::size_t>(k)] -= 1;
        }
      }
    }
  }

  // A table of one population: the estimator for one sample, b = n/(n - 1) [p(1 - p) -
  // (2n - 1) h / (4n)], c = h/2, over the loci typed in two individuals or more.
  const bool oneSample = P == 1;
  Extended totalB = Extended(0);
  Extended totalBC = Extended(0);
  for (int k = 1; k <= L; ++k) {
    const Extended rk = static_cast<Extended>(r[static_cast<std::size_t>(k)]);
    float meanSampleSize = 0.0f;
    for (int p = 1; p <= P; ++p) {
      meanSampleSize = static_cast<float>(
          static_cast<Extended>(meanSampleSize) +
          static_cast<Extended>(sampleSize[static_cast<std::size_t>(p - 1) * L + (k - 1)]));
    }
    if (oneSample ? !(r[static_cast<std::size_t>(k)] == 1 && meanSampleSize >= 2.0f)
                  : !(r[static_cast<std::size_t>(k)] > 1 && meanSampleSize != 0.0f)) {
      continue;
    }
    meanSampleSize = static_cast<float>(static_cast<Extended>(meanSampleSize) / rk);
    const Extended nbar = meanSampleSize;
    float sumB = 0.0f;
    float sumBC = 0.0f;
    for (int a = 1; a <= A; ++a) {
      Extended p1 = Extended(0);
      Extended p2 = Extended(0);
      Extended h1 = Extended(0);
      for (int p = 1; p <= P; ++p) {
        const Extended n =
            static_cast<Extended>(sampleSize[static_cast<std::size_t>(p - 1) * L + (k - 1)]);
        const Extended pa = alleleFreq[cell(p, k, a)];
        const Extended ha = hetFreq[cell(p, k, a)];
        p1 = p1 + n * pa;
        p2 = p2 + (pa * pa) * n;
        h1 = h1 + n * ha;
      }
      const Extended meanFreq = (p1 / rk) / nbar;
      Extended s2 = p2 - (meanFreq * meanFreq) * (rk * nbar);
      if (!oneSample) s2 = (s2 / (rk - Extended(1))) / nbar;
      const Extended meanHet = (h1 / rk) / nbar;
      if (options.band && !(0.001_ext < meanFreq && meanFreq < 0.999_ext)) continue;
      if (!options.band && meanFreq == Extended(0)) continue;
      Extended u = (Extended(1) - meanFreq) * meanFreq;
      if (!oneSample) u = u - ((rk - Extended(1)) * s2) / rk;
      const Extended v = (Extended(2) * nbar - Extended(1)) * meanHet;
      u = u - (v / Extended(4)) / nbar;
      const Extended numerator = u * nbar;
      if (nbar - Extended(1) == Extended(0)) {
        throw RunError(numerator == Extended(0) ? kInvalidOperationMessage
                                                : kDivisionByZeroMessage);
      }
      Extended b = numerator / (nbar - Extended(1));
      Extended c = meanHet / Extended(2);
      if (b < 0 ? -b < 1e-20_ext : b < 1e-20_ext) b = Extended(0);
      if (c < 0 ? -c < 1e-20_ext : c < 1e-20_ext) c = Extended(0);
      sumB = static_cast<float>(b + static_cast<Extended>(sumB));
      sumBC = static_cast<float>((b + static_cast<Extended>(sumBC)) + c);
    }
    totalB = totalB + static_cast<Extended>(sumB);
    totalBC = totalBC + static_cast<Extended>(sumBC);
  }
  if (totalBC == Extended(0)) {
    throw RunError(totalB == Extended(0) ? kInvalidOperationMessage : kDivisionByZeroMessage);
  }
  return totalB / totalBC;
}

// Outcome of an evaluation as text: the 80-bit value in hexadecimal, or the error.
template <typename Evaluate>
std::string Outcome(Evaluate evaluate) {
  try {
    return BitsText(evaluate());
  } catch (const RunError& error) {
    return std::string("error: ") + error.what();
  }
}

// Builds an EngineInput from population sizes and genotypes given row by row
// (codes[row][locus]).
inline EngineInput MakeInput(int32_t highestAllele, const std::vector<int32_t>& populationSizes,
                             const std::vector<std::vector<int32_t>>& rows) {
  EngineInput input;
  input.populations = static_cast<int32_t>(populationSizes.size());
  input.loci = rows.empty() ? 0 : static_cast<int32_t>(rows.front().size());
  input.highestAllele = highestAllele;
  input.individuals = static_cast<int32_t>(rows.size());
  int32_t end = 0;
  for (int32_t size : populationSizes) {
    end += size;
    input.populationEnd.push_back(end);
  }
  input.codes.resize(static_cast<std::size_t>(input.loci) * rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t k = 0; k < rows[i].size(); ++k) {
      input.codes[k * rows.size() + i] = rows[i][k];
    }
  }
  return input;
}

// A random table: populations of random sizes (some empty), skewed allele use,
// missing genotypes and homozygote excess.
inline EngineInput RandomInput(std::mt19937& random) {
  auto below = [&random](int32_t bound) {
    return static_cast<int32_t>(random() % static_cast<uint32_t>(bound));
  };
  const int32_t populations = 1 + below(7);
  const int32_t loci = 1 + below(4);
  const int32_t highestAllele = below(3) == 0 ? 2 + below(4) : 5 + below(995);
  const int32_t alleles = std::min(highestAllele, 2 + below(12));
  std::vector<int32_t> pool;
  for (int32_t j = 0; j < alleles; ++j) pool.push_back(1 + below(highestAllele));
  const int32_t missingPercent = below(3) == 0 ? 0 : below(40);
  std::vector<int32_t> sizes;
  std::vector<std::vector<int32_t>> rows;
  for (int32_t p = 0; p < populations; ++p) {
    const int32_t size = below(5) == 0 ? below(3) : below(25);
    sizes.push_back(size);
    const int32_t favourite = pool[static_cast<std::size_t>(below(alleles))];
    for (int32_t i = 0; i < size; ++i) {
      std::vector<int32_t> row;
      for (int32_t k = 0; k < loci; ++k) {
        if (below(100) < missingPercent) {
          row.push_back(0);
          continue;
        }
        auto draw = [&]() {
          return below(3) == 0 ? favourite : pool[static_cast<std::size_t>(below(alleles))];
        };
        const int32_t first = draw();
        const int32_t second = below(4) == 0 ? first : draw();
        row.push_back(first * 1000 + second);
      }
      rows.push_back(row);
    }
  }
  EngineInput input = MakeInput(highestAllele, sizes, rows);
  if (rows.empty()) input.loci = loci;
  return input;
}

}  // namespace genosieve::testing
