#pragma once

// Whether the ramets of a repeated multilocus genotype (MLG) are one genet: pgen, the
// probability of the MLG in one sexual event, and psex, the probability that N sexual
// events (N the ramets of its population) give it n - 1 more times (n its copies), with
// and without the inbreeding of each locus (Parks & Werth 1993; Arnaud-Haond et al.
// 2007). Everything is worked out within each population, and in natural logarithms:
// the probabilities of many loci fall far below the range of a double.

#include <cstdint>
#include <optional>
#include <vector>

#include "data/clones.h"
#include "data/genotype_table.h"

namespace genosieve {

// The copies of each allele present at one locus, alleles in ascending order, and their
// total (the typed alleles counted).
struct LocusAlleleCounts {
  std::vector<int32_t> alleles;
  std::vector<int64_t> copies;
  int64_t total = 0;
  int64_t CopiesOf(int32_t allele) const;
};

// Round-robin allele counts of the population in rows [begin, end) of `table`, per
// locus: for locus l, one individual is kept for each distinct genotype over the other
// L - 1 loci (the first in row order), and the alleles at l of those kept are counted,
// missing genotypes left out. `genotypeNumber` numbers each row's MLG as
// CloneDetection::genotypeNumber does.
std::vector<LocusAlleleCounts> RoundRobinCounts(const GenotypeTable& table, int32_t begin,
                                                int32_t end,
                                                const std::vector<int32_t>& genotypeNumber);

// Per locus, F = 1 - Ho / He over the population's genets (one copy of each MLG, the
// genets typed there), He = n / (n - 1) (1 - sum p^2); 0 where n < 2 or He = 0.
std::vector<double> GenetInbreeding(const GenotypeTable& table, int32_t begin, int32_t end,
                                    const std::vector<int32_t>& genotypeNumber);

// One repeated MLG of a population. Logarithms are natural; -infinity for a probability
// of 0; nullopt where the probability is undefined: a locus at which the MLG is typed but
// no kept individual is (pgen), or a homozygote's p (p + (1 - p) F) below 0 (pgen_fis).
// An allele of the MLG that the round robin does not count at a locus counts there as
// one copy among those counted, not as a frequency of 0 (the MLG was sampled).
struct GenotypeProbability {
  int32_t population = 0;  // 1-based
  int32_t genotype = 0;    // its number in the population, as in the clone members file
  int32_t copies = 0;      // n
  int32_t ramets = 0;      // N, the population's individuals
  // pgen = product over the typed loci of p_a^2 (homozygote) or 2 p_a p_b, round-robin
  // frequencies; pgen_fis the same with p_a (p_a + (1 - p_a) F) and 2 p_a p_b (1 - F).
  std::optional<double> logPgen;
  std::optional<double> logPgenFis;
  // P(X >= n - 1) for X ~ Binomial(N, pgen), and the same with pgen_fis.
  std::optional<double> logPsex;
  std::optional<double> logPsexFis;
};

// Every repeated MLG of every population, populations in order, each population's MLGs in
// the order of their numbers (the clone report's order).
std::vector<GenotypeProbability> RepeatedGenotypeProbabilities(const GenotypeTable& table,
                                                               const PopulationIndex& index,
                                                               const CloneDetection& clones);

}  // namespace genosieve
