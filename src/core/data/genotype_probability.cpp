#include "data/genotype_probability.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "data/binomial_tail.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

constexpr double kLn2 = 0.69314718055994530941723212145818;

std::size_t Size(int64_t value) { return static_cast<std::size_t>(value); }

bool Missing(const AllelePair& pair) { return pair.first == 0 || pair.second == 0; }

// The genets of one population: per genet, in order of first occurrence, its first row
// and its number; per number, its copies.
struct Genets {
  std::vector<int32_t> firstRow;
  std::vector<int32_t> number;
  std::vector<int32_t> copiesOf;  // index: number - 1
  std::vector<int32_t> rowOf;     // index: number - 1, its first row
};

Genets GenetsOf(const GenotypeTable& table, int32_t begin, int32_t end,
                const std::vector<int32_t>& genotypeNumber) {
  if (begin < 0 || end < begin || end > table.rows() ||
      genotypeNumber.size() != Size(table.rows())) {
    ThrowInternalError(FillMessage("rows {} to {} of a table of {} rows with {} genotype numbers",
                                   begin, end, table.rows(), genotypeNumber.size()));
  }
  Genets genets;
  const int32_t size = end - begin;
  genets.copiesOf.assign(Size(size), 0);
  genets.rowOf.assign(Size(size), -1);
  for (int32_t row = begin; row < end; ++row) {
    const int32_t number = genotypeNumber[Size(row)];
    if (number < 1 || number > size) {
      ThrowInternalError(FillMessage("row {} has the genotype number {}", row, number));
    }
    const auto at = Size(number - 1);
    if (genets.rowOf[at] < 0) {
      genets.rowOf[at] = row;
      genets.firstRow.push_back(row);
      genets.number.push_back(number);
    }
    ++genets.copiesOf[at];
  }
  // The numbers of a population's genets are 1..G.
  const std::size_t count = genets.firstRow.size();
  if (std::find(genets.rowOf.begin(), genets.rowOf.begin() + static_cast<std::ptrdiff_t>(count),
                -1) != genets.rowOf.begin() + static_cast<std::ptrdiff_t>(count)) {
    ThrowInternalError(FillMessage("the {} genets are not numbered 1 to {}", count, count));
  }
  genets.copiesOf.resize(count);
  genets.rowOf.resize(count);
  return genets;
}

// An allele pair in a fixed order, so that 120/124 and 124/120 are one key.
uint64_t LocusKey(const AllelePair& pair) {
  const auto low = static_cast<uint32_t>(std::min(pair.first, pair.second));
  const auto high = static_cast<uint32_t>(std::max(pair.first, pair.second));
  return static_cast<uint64_t>(low) << 32 | high;
}

// A locus's share of a genotype's hash. The hash of a genotype is the sum of its loci's
// shares, so that the hash over every locus but one is one subtraction.
uint64_t Share(int32_t locus, uint64_t key) {
  uint64_t h = key + (static_cast<uint64_t>(locus) + 1) * 0x9E3779B97F4A7C15ULL;
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ULL;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBULL;
  h ^= h >> 31;
  return h;
}

const AllelePair* RowCells(const GenotypeTable& table, int32_t row) {
  return table.cells.data() + Size(row) * Size(table.loci);
}

bool SameExcept(const AllelePair* a, const AllelePair* b, int32_t loci, int32_t skipped) {
  for (int32_t l = 0; l < loci; ++l) {
    if (l != skipped && LocusKey(a[l]) != LocusKey(b[l])) return false;
  }
  return true;
}

// Copies of each allele of one locus, with the alleles seen, so that clearing costs only
// what was counted.
struct AlleleTally {
  std::vector<int64_t> copies;
  std::vector<int32_t> seen;
  int64_t total = 0;

  void Add(int32_t allele) {
    const auto at = static_cast<std::size_t>(allele);
    if (at >= copies.size()) copies.resize(std::max<std::size_t>(at + 1, 1000), 0);
    if (copies[at]++ == 0) seen.push_back(allele);
    ++total;
  }
  void AddGenotype(const AllelePair& pair) {
    if (Missing(pair)) return;
    Add(pair.first);
    Add(pair.second);
  }
  int64_t Of(int32_t allele) const {
    const auto at = static_cast<std::size_t>(allele);
    return at < copies.size() ? copies[at] : 0;
  }
  LocusAlleleCounts Counts() const {
    LocusAlleleCounts counts;
    counts.alleles = seen;
    std::sort(counts.alleles.begin(), counts.alleles.end());
    for (const int32_t allele : counts.alleles) counts.copies.push_back(Of(allele));
    counts.total = total;
    return counts;
  }
  void Clear() {
    for (const int32_t allele : seen) copies[static_cast<std::size_t>(allele)] = 0;
    seen.clear();
    total = 0;
  }
};

// The genets of a population with the hash of each over every locus, and the working
// storage of the round robin.
struct RoundRobin {
  const GenotypeTable& table;
  Genets genets;
  std::vector<uint64_t> fullHash;
  std::vector<uint64_t> hash;  // per genet: over every locus but the current one
  std::vector<int32_t> slots;  // open addressing: genet indices, -1 empty

  RoundRobin(const GenotypeTable& t, int32_t begin, int32_t end,
             const std::vector<int32_t>& genotypeNumber)
      : table(t), genets(GenetsOf(t, begin, end, genotypeNumber)) {
    const std::size_t count = genets.firstRow.size();
    fullHash.assign(count, 0);
    hash.resize(count);
    for (std::size_t g = 0; g < count; ++g) {
      const AllelePair* cells = RowCells(table, genets.firstRow[g]);
      for (int32_t l = 0; l < table.loci; ++l) fullHash[g] += Share(l, LocusKey(cells[l]));
    }
  }

  // Counts into `tally` the alleles at `locus` of the first genet of each class of genets
  // that agree at every other locus. Members of one MLG agree everywhere, so the first
  // individual of a class in row order is its first genet's first row.
  void Count(int32_t locus, AlleleTally& tally) {
    const std::size_t count = genets.firstRow.size();
    const std::size_t capacity = std::bit_ceil(2 * count + 2);
    const std::size_t mask = capacity - 1;
    slots.assign(capacity, -1);
    for (std::size_t g = 0; g < count; ++g) {
      const AllelePair* cells = RowCells(table, genets.firstRow[g]);
      const uint64_t h = fullHash[g] - Share(locus, LocusKey(cells[locus]));
      hash[g] = h;
      std::size_t slot = static_cast<std::size_t>(h) & mask;
      bool kept = true;
      while (slots[slot] >= 0) {
        const auto other = static_cast<std::size_t>(slots[slot]);
        if (hash[other] == h &&
            SameExcept(RowCells(table, genets.firstRow[other]), cells, table.loci, locus)) {
          kept = false;
          break;
        }
        slot = (slot + 1) & mask;
      }
      if (!kept) continue;
      slots[slot] = static_cast<int32_t>(g);
      tally.AddGenotype(cells[locus]);
    }
  }
};

// F of one locus from its genets: `tally` holds their alleles, `typed` and
// `heterozygotes` count them.
double Inbreeding(const AlleleTally& tally, int64_t typed, int64_t heterozygotes) {
  if (typed < 2) return 0.0;
  const double n = static_cast<double>(typed);
  // 1 - sum p^2 = (4 n^2 - sum c^2) / (4 n^2), c the copies of each allele.
  double squares = 0.0;
  for (const int32_t allele : tally.seen) {
    const auto c = static_cast<double>(tally.Of(allele));
    squares += c * c;
  }
  const double fourSquared = 4.0 * n * n;
  const double expected = n / (n - 1.0) * ((fourSquared - squares) / fourSquared);
  if (!(expected > 0.0)) return 0.0;
  return 1.0 - (static_cast<double>(heterozygotes) / n) / expected;
}

// The genets' alleles at one locus into `tally`; returns F.
double LocusInbreeding(const RoundRobin& robin, int32_t locus, AlleleTally& tally) {
  int64_t typed = 0;
  int64_t heterozygotes = 0;
  for (const int32_t row : robin.genets.firstRow) {
    const AllelePair& pair = RowCells(robin.table, row)[locus];
    if (Missing(pair)) continue;
    ++typed;
    heterozygotes += pair.first != pair.second ? 1 : 0;
    tally.AddGenotype(pair);
  }
  return Inbreeding(tally, typed, heterozygotes);
}

// ln of a frequency: copies / total, both at least 1.
double LogFrequency(int64_t copies, int64_t total) {
  return std::log(static_cast<double>(copies) / static_cast<double>(total));
}

// The round-robin copies of an allele that a repeated genotype carries, at least 1: the
// round robin leaves out every carrier of an allele whose carriers all agree, at the
// other loci, with an earlier genotype that lacks it (one that differs only there, as
// after a somatic mutation or a scoring error). A frequency of 0 would make the sampled
// genotype impossible, pgen and psex 0, and the verdict "one genet" whatever the data;
// the allele counts instead as seen once among the alleles counted.
int64_t Counted(const AlleleTally& frequencies, int32_t allele) {
  return std::max<int64_t>(frequencies.Of(allele), 1);
}

// What a locus adds to the logarithms of pgen and pgen_fis of one genotype.
struct Product {
  double logPgen = 0.0;
  double logPgenFis = 0.0;
  bool pgenUndefined = false;
  bool fisUndefined = false;

  void Add(const AllelePair& pair, const AlleleTally& frequencies, double f) {
    if (Missing(pair)) return;  // a missing locus contributes 1
    if (frequencies.total == 0) {
      pgenUndefined = true;
      return;
    }
    const int64_t copiesA = Counted(frequencies, pair.first);
    const double logA = LogFrequency(copiesA, frequencies.total);
    if (pair.first == pair.second) {
      logPgen += 2.0 * logA;
      // p (p + (1 - p) F), undefined below 0.
      const double pA = static_cast<double>(copiesA) / static_cast<double>(frequencies.total);
      const double inbred = pA + (1.0 - pA) * f;
      if (inbred < 0.0) {
        fisUndefined = true;
      } else {
        logPgenFis += logA + std::log(inbred);
      }
      return;
    }
    const double logB = LogFrequency(Counted(frequencies, pair.second), frequencies.total);
    logPgen += kLn2 + logA + logB;
    logPgenFis += kLn2 + logA + logB + std::log1p(-f);
  }
};

}  // namespace

int64_t LocusAlleleCounts::CopiesOf(int32_t allele) const {
  const auto at = std::lower_bound(alleles.begin(), alleles.end(), allele);
  return at != alleles.end() && *at == allele ? copies[Size(at - alleles.begin())] : 0;
}

std::vector<LocusAlleleCounts> RoundRobinCounts(const GenotypeTable& table, int32_t begin,
                                                int32_t end,
                                                const std::vector<int32_t>& genotypeNumber) {
  RoundRobin robin(table, begin, end, genotypeNumber);
  AlleleTally tally;
  std::vector<LocusAlleleCounts> counts;
  for (int32_t l = 0; l < table.loci; ++l) {
    robin.Count(l, tally);
    counts.push_back(tally.Counts());
    tally.Clear();
  }
  return counts;
}

std::vector<double> GenetInbreeding(const GenotypeTable& table, int32_t begin, int32_t end,
                                    const std::vector<int32_t>& genotypeNumber) {
  const RoundRobin robin(table, begin, end, genotypeNumber);
  AlleleTally tally;
  std::vector<double> f;
  for (int32_t l = 0; l < table.loci; ++l) {
    f.push_back(LocusInbreeding(robin, l, tally));
    tally.Clear();
  }
  return f;
}

std::vector<GenotypeProbability> RepeatedGenotypeProbabilities(const GenotypeTable& table,
                                                               const PopulationIndex& index,
                                                               const CloneDetection& clones) {
  if (index.size() < 2 || index.back() != table.rows() ||
      clones.extraCopies.size() != index.size() - 1) {
    ThrowInternalError("the clone detection does not match the data");
  }
  std::vector<GenotypeProbability> result;
  AlleleTally frequencies;
  AlleleTally genetAlleles;
  for (std::size_t k = 1; k < index.size(); ++k) {
    const auto repeated = static_cast<int32_t>(clones.extraCopies[k - 1].size());
    if (repeated == 0) continue;
    RoundRobin robin(table, index[k - 1], index[k], clones.genotypeNumber);
    // The clonal genotypes are numbered 1..repeated.
    std::vector<Product> products(Size(repeated));
    for (int32_t l = 0; l < table.loci; ++l) {
      const double f = LocusInbreeding(robin, l, genetAlleles);
      genetAlleles.Clear();
      robin.Count(l, frequencies);
      for (int32_t number = 1; number <= repeated; ++number) {
        const int32_t row = robin.genets.rowOf[Size(number - 1)];
        products[Size(number - 1)].Add(RowCells(table, row)[l], frequencies, f);
      }
      frequencies.Clear();
    }
    const int32_t ramets = index[k] - index[k - 1];
    for (int32_t number = 1; number <= repeated; ++number) {
      const Product& product = products[Size(number - 1)];
      GenotypeProbability probability;
      probability.population = static_cast<int32_t>(k);
      probability.genotype = number;
      probability.copies = robin.genets.copiesOf[Size(number - 1)];
      probability.ramets = ramets;
      if (!product.pgenUndefined) {
        probability.logPgen = product.logPgen;
        probability.logPsex = LogBinomialUpperTail(ramets, probability.copies - 1, product.logPgen);
        if (!product.fisUndefined) {
          probability.logPgenFis = product.logPgenFis;
          probability.logPsexFis =
              LogBinomialUpperTail(ramets, probability.copies - 1, product.logPgenFis);
        }
      }
      result.push_back(probability);
    }
  }
  return result;
}

}  // namespace genosieve
