#pragma once

// The table of a per-population test evaluated from the counts of a table of every
// population. A per-population test hands the engine two populations: the population
// under test and a filler population of as many individuals, each homozygous for the
// highest allele at every locus. The counts of the population under test are those it
// has in the table of every population (engine/prepared_evaluation.h), and the filler's
// are fixed, so the test's estimate follows from them without building its table.
//
// Within such a table the outcome of a locus depends only on integers: the population's
// sample size n there, each allele's count and heterozygote count, which allele is the
// highest one, and the filler's size. A locus where the population carries at most two
// alleles is remembered whole under those integers (its float sums, or its error); at
// other loci each allele's outcome (in the band or not, b and c) is remembered under its
// own. Every value that is worked out runs the arithmetic of EvaluateFis, so the result
// has the bits, or the error, of the evaluation of the test's file.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/fis_steps.h"
#include "engine/prepared_evaluation.h"
#include "extended.h"

namespace genosieve {

// Outcomes of alleles keyed on their integers, direct-mapped; never turned off. b and c
// are kept as stored terms (engine/fis_steps.h): the sums load them often.
struct PopulationMemo {
  struct Entry {
    uint64_t key = 0;  // n, c, h, filler size, highest allele; 0 = empty
    StoredTerm b;
    StoredTerm c;
    uint8_t state = 0;  // as AlleleTable's
  };
  std::vector<Entry> entries;
};

// Outcomes of the alleles of one sample size n and filler size, at (highest, count,
// het): a dense table, so that the few counts a test meets lie together in the cache
// where a hashed memo would scatter them.
struct AlleleTable {
  struct Entry {
    StoredTerm b;
    StoredTerm c;
    uint8_t state = 0;  // 0 not worked out, 1 unused, 2 used
  };
  std::vector<Entry> entries;
};

// The dense tables of one workspace, found by their key (n, filler size and for locus
// tables the loci's shape); made while their entries stay within a budget, the hashed
// memos serving the rest.
template <typename Table>
struct DenseTables {
  std::vector<uint64_t> keys;                  // sorted
  std::vector<std::unique_ptr<Table>> tables;  // in the order of keys; they stay put
  std::size_t entries = 0;
};

using AlleleTables = DenseTables<AlleleTable>;

// Outcomes of the loci of at most two alleles of one sample size n, filler size, number
// of alleles and place of the highest allele, at (count of the first allele, het): the
// second allele's counts follow from them (2n - count, het). Dense, as AlleleTable.
struct LocusTable {
  struct Entry {
    float sumB = 0.0f;
    float sumBC = 0.0f;
    uint32_t state = 0;  // 0 not worked out, 1 the sums, k >= 2 error k - 2 of LocusTables
  };
  std::vector<Entry> entries;
  // Two alleles: where the entries of each count begin; (count, het) is at
  // countBegin[count] + het, het <= min(count, 2n - count).
  std::vector<uint32_t> countBegin;
};

struct LocusTables : DenseTables<LocusTable> {
  std::vector<const char*> errors;  // the error messages the entries name
};

// Outcomes of loci of at most two alleles keyed on their integers, direct-mapped.
struct LocusMemo {
  struct Entry {
    uint64_t key[2] = {0, 0};  // 0 = empty
    LocusOutcome outcome;
  };
  std::vector<Entry> entries;
};

// The summary of a locus where the population under test has n individuals, for one
// call (its generation): whether the locus is used, its values and its terms.
struct SummaryOfSize {
  uint32_t generation = 0;
  bool used = false;
  LocusValues values;
  const StoredTerm* terms = nullptr;
  AlleleTable* table = nullptr;  // nullptr: outcomes go to the hashed memo
  bool tableTried = false;       // whether the table was looked up
  // Per block shape (cells 1 or 2, highest place -1, 0 or 1): its locus table once
  // looked up (nullptr: none), tried[shape] telling whether it was.
  LocusTable* locusTables[6] = {};
  bool tried[6] = {};
};

// Working storage of EvaluatePopulation; one per thread.
struct PopulationWorkspace {
  TermsCache terms;
  // Per n; n changes from locus to locus with missing genotypes, and takes few values.
  std::vector<SummaryOfSize> summaries;
  uint32_t generation = 0;
  PopulationMemo memo;
  AlleleTables alleleTables;
  LocusTables locusTables;
  LocusMemo locusMemo;
  std::vector<uint64_t> locusKeys;               // per locus: its two-word key, 0 0 when none
  std::vector<LocusTable::Entry*> locusEntries;  // per locus: its entry, nullptr when none
  // One evaluation: per locus whether it is used and its outcome; the components of the
  // used alleles of the loci whose sums are still to be made, [usedBegin[l], usedEnd[l])
  // for locus l, those loci, and the keys under which to remember them.
  std::vector<uint8_t> locusUsed;
  std::vector<LocusOutcome> outcomes;
  std::vector<StoredTerm> b;
  std::vector<StoredTerm> c;
  std::vector<int32_t> usedBegin;
  std::vector<int32_t> usedEnd;
  std::vector<int32_t> pending;
  std::vector<uint64_t> pendingKey;  // per pending locus: its two-word key, 0 0 when none
  std::vector<LocusTable::Entry*> pendingEntry;  // per pending locus: its entry or nullptr
};

// The most memory a workspace holds for the tests of `populations` populations of at
// most `largest` individuals: its memos and its tables within their budgets.
uint64_t PopulationWorkspaceBytesAtMost(int32_t largest, int32_t populations);

// FisOverall of the per-population test of population p (0-based), of `size`
// individuals, on the counts `lanes` of the table of `evaluation` (CountPrepared or
// EvaluatePreparedLoci). Floating-point errors as EvaluateFis.
Extended EvaluatePopulation(const PreparedEvaluation& evaluation, const uint64_t* lanes, int32_t p,
                            int32_t size, PopulationWorkspace& workspace);

}  // namespace genosieve
