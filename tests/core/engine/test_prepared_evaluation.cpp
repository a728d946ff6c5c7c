#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/prepared_evaluation.h"
#include "errors.h"
#include "messages.h"
#include "support/engine_reference.h"
#include "support/reference_engine.h"

namespace genosieve {
namespace {

using testing::MakeInput;
using testing::Outcome;
using testing::ReferenceFis;

int32_t Code(int32_t first, int32_t second) { return first * 1000 + second; }

// A prepared test as the randomization tests build it: fixed rows per population,
// candidates per population, copy slots; and the whole table of one iteration.
struct Scenario {
  int32_t highestAllele = 0;
  int32_t loci = 0;
  std::vector<std::vector<std::vector<int32_t>>> fixedRows;   // [population][row][locus]
  std::vector<std::vector<std::vector<int32_t>>> candidates;  // [population][genotype][locus]
  std::vector<CopySlot> slots;

  EngineInput Fixed() const {
    std::vector<int32_t> sizes;
    std::vector<std::vector<int32_t>> rows;
    for (const auto& population : fixedRows) {
      sizes.push_back(static_cast<int32_t>(population.size()));
      rows.insert(rows.end(), population.begin(), population.end());
    }
    EngineInput input = MakeInput(highestAllele, sizes, rows);
    input.loci = loci;
    input.codes.resize(static_cast<std::size_t>(loci) * rows.size());
    return input;
  }

  CandidateGenotypes Candidates() const {
    CandidateGenotypes result;
    std::vector<const std::vector<int32_t>*> genotypes;
    for (std::size_t p = 0; p < candidates.size(); ++p) {
      for (const auto& genotype : candidates[p]) {
        genotypes.push_back(&genotype);
        result.population.push_back(static_cast<int32_t>(p));
      }
    }
    result.count = static_cast<int32_t>(genotypes.size());
    for (int32_t l = 0; l < loci; ++l) {
      for (const auto* genotype : genotypes) {
        result.codes.push_back((*genotype)[static_cast<std::size_t>(l)]);
      }
    }
    return result;
  }

  // The table of one iteration: each population's fixed rows, then the copies of its
  // slots, populations in order (any order within a population gives the same bits).
  EngineInput Whole(const std::vector<int32_t>& chosen) const {
    const CandidateGenotypes all = Candidates();
    std::vector<int32_t> sizes;
    std::vector<std::vector<int32_t>> rows;
    for (std::size_t p = 0; p < fixedRows.size(); ++p) {
      std::size_t size = fixedRows[p].size();
      rows.insert(rows.end(), fixedRows[p].begin(), fixedRows[p].end());
      for (std::size_t j = 0; j < slots.size(); ++j) {
        if (slots[j].population != static_cast<int32_t>(p)) continue;
        std::vector<int32_t> genotype;
        for (int32_t l = 0; l < loci; ++l) {
          genotype.push_back(all.codes[static_cast<std::size_t>(l * all.count + chosen[j])]);
        }
        rows.insert(rows.end(), static_cast<std::size_t>(slots[j].copies), genotype);
        size += static_cast<std::size_t>(slots[j].copies);
      }
      sizes.push_back(static_cast<int32_t>(size));
    }
    EngineInput input = MakeInput(highestAllele, sizes, rows);
    input.loci = loci;
    input.codes.resize(static_cast<std::size_t>(loci) * rows.size());
    return input;
  }
};

// Random scenarios: few alleles and small populations, so that some iterations meet
// n̄ = 1, unused loci or alleles outside the band; candidates missing at some loci; some
// populations without rows or slots.
Scenario RandomScenario(std::mt19937& random) {
  auto below = [&random](int32_t bound) {
    return static_cast<int32_t>(random() % static_cast<uint32_t>(bound));
  };
  Scenario s;
  s.highestAllele = below(3) == 0 ? 3 + below(4) : 5 + below(995);
  s.loci = 1 + below(4);
  const int32_t populations = 1 + below(5);
  const int32_t alleles = std::min(s.highestAllele, 2 + below(6));
  std::vector<int32_t> pool;
  for (int32_t j = 0; j < alleles; ++j) pool.push_back(1 + below(s.highestAllele));
  const int32_t missingPercent = below(2) == 0 ? 0 : below(50);
  auto genotype = [&] {
    std::vector<int32_t> codes;
    for (int32_t l = 0; l < s.loci; ++l) {
      if (below(100) < missingPercent) {
        codes.push_back(0);
        continue;
      }
      const int32_t first = pool[static_cast<std::size_t>(below(alleles))];
      const int32_t second = below(3) == 0 ? first : pool[static_cast<std::size_t>(below(alleles))];
      codes.push_back(Code(first, second));
    }
    return codes;
  };
  s.fixedRows.resize(static_cast<std::size_t>(populations));
  s.candidates.resize(static_cast<std::size_t>(populations));
  for (int32_t p = 0; p < populations; ++p) {
    const int32_t fixed = below(4) == 0 ? below(2) : below(6);
    for (int32_t i = 0; i < fixed; ++i)
      s.fixedRows[static_cast<std::size_t>(p)].push_back(genotype());
    // Candidates are usually fixed rows too, as in the randomization tests.
    const int32_t candidates = below(4);
    for (int32_t g = 0; g < candidates; ++g) {
      const auto& rows = s.fixedRows[static_cast<std::size_t>(p)];
      s.candidates[static_cast<std::size_t>(p)].push_back(
          !rows.empty() && below(3) != 0
              ? rows[static_cast<std::size_t>(below(static_cast<int32_t>(rows.size())))]
              : genotype());
    }
    if (candidates == 0) continue;
    const int32_t slots = below(4);
    for (int32_t j = 0; j < slots; ++j) s.slots.push_back({p, below(5) == 0 ? 0 : 1 + below(4)});
  }
  return s;
}

std::vector<int32_t> RandomChoice(const Scenario& s, std::mt19937& random) {
  std::vector<int32_t> first(s.candidates.size() + 1, 0);
  for (std::size_t p = 0; p < s.candidates.size(); ++p) {
    first[p + 1] = first[p] + static_cast<int32_t>(s.candidates[p].size());
  }
  std::vector<int32_t> chosen;
  for (const CopySlot& slot : s.slots) {
    const auto p = static_cast<std::size_t>(slot.population);
    chosen.push_back(first[p] + static_cast<int32_t>(random() % s.candidates[p].size()));
  }
  return chosen;
}

TEST(PreparedEvaluation, EqualsWholeTableEvaluationBitForBitAndErrorForError) {
  std::mt19937 random(2024);
  int values = 0;
  int errors = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const Scenario s = RandomScenario(random);
    PreparedEvaluation test = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
    EvaluationWork testWork;
    EngineWorkspace workspace;
    for (int iteration = 0; iteration < 8; ++iteration) {
      const std::vector<int32_t> chosen = RandomChoice(s, random);
      const EngineInput whole = s.Whole(chosen);
      const std::string expected = Outcome([&] { return EvaluateFis(whole, workspace); });
      ASSERT_EQ(Outcome([&] { return EvaluatePrepared(test, testWork, chosen.data()); }), expected)
          << "trial " << trial << " iteration " << iteration;
      ASSERT_EQ(Outcome([&] { return ReferenceFis(whole); }), expected)
          << "trial " << trial << " iteration " << iteration;
      ++(expected.rfind("error", 0) == 0 ? errors : values);
    }
  }
  // Both outcomes are well represented.
  EXPECT_GT(values, 1000);
  EXPECT_GT(errors, 300);
}

TEST(PreparedEvaluation, RememberedOutcomesGiveTheSameBits) {
  // Many iterations of one test: alleles repeat their sums, and the outcomes the memo
  // gives back must be those worked out afresh, with the memo on or off.
  std::mt19937 random(77);
  int tests = 0;
  uint64_t remembered = 0;
  while (tests < 20) {
    const Scenario s = RandomScenario(random);
    if (s.slots.empty()) continue;
    ++tests;
    PreparedEvaluation remembering = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
    EvaluationWork rememberingWork;
    PreparedEvaluation forgetting = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
    EvaluationWork forgettingWork;
    forgettingWork.memo.enabled = false;
    for (int iteration = 0; iteration < 150; ++iteration) {
      const std::vector<int32_t> chosen = RandomChoice(s, random);
      const std::string expected = Outcome([&] { return EvaluateFis(s.Whole(chosen)); });
      ASSERT_EQ(
          Outcome([&] { return EvaluatePrepared(remembering, rememberingWork, chosen.data()); }),
          expected)
          << "test " << tests << " iteration " << iteration;
      ASSERT_EQ(
          Outcome([&] { return EvaluatePrepared(forgetting, forgettingWork, chosen.data()); }),
          expected)
          << "test " << tests << " iteration " << iteration;
    }
    EXPECT_TRUE(forgettingWork.memo.entries.empty());
    remembered += rememberingWork.memo.windowHits;
  }
  EXPECT_GT(remembered, 1000u) << "the memo gave outcomes back";
}

TEST(PreparedEvaluation, LargeAlleleNumbersAreLaidOutLikeSmallOnes) {
  // First alleles far above 999 (codes first × 1000 + second) take the binary-search way
  // of ranking alleles; the values stay those of the whole table.
  std::mt19937 random(5);
  const int32_t firsts[] = {5, 70001, 70002, 1999999};
  for (int trial = 0; trial < 10; ++trial) {
    Scenario s;
    s.highestAllele = 1999999;
    s.loci = 2;
    auto genotype = [&] {
      std::vector<int32_t> codes;
      for (int32_t l = 0; l < s.loci; ++l) {
        codes.push_back(random() % 8 == 0
                            ? 0
                            : Code(firsts[random() % 4], 1 + static_cast<int32_t>(random() % 3)));
      }
      return codes;
    };
    for (int32_t p = 0; p < 3; ++p) {
      s.fixedRows.emplace_back();
      s.candidates.emplace_back();
      for (int i = 0; i < 4; ++i) s.fixedRows.back().push_back(genotype());
      for (int g = 0; g < 3; ++g) s.candidates.back().push_back(s.fixedRows.back()[g]);
      s.slots.push_back({p, 1 + static_cast<int32_t>(random() % 3)});
    }
    PreparedEvaluation test = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
    EvaluationWork testWork;
    for (int iteration = 0; iteration < 5; ++iteration) {
      const std::vector<int32_t> chosen = RandomChoice(s, random);
      EXPECT_EQ(Outcome([&] { return EvaluatePrepared(test, testWork, chosen.data()); }),
                Outcome([&] { return EvaluateFis(s.Whole(chosen)); }))
          << "trial " << trial;
    }
  }
}

TEST(PreparedEvaluation, MeetsEachFloatingPointErrorAsTheWholeTableDoes) {
  // Two populations of one fixed row each; a slot per population. Copying a genotype
  // missing at the locus leaves n̄ = 1 (0/0 here); copying a typed one gives a value.
  Scenario s;
  s.highestAllele = 9;
  s.loci = 1;
  s.fixedRows = {{{Code(1, 2)}}, {{Code(1, 2)}}};
  s.candidates = {{{Code(1, 2)}, {0}}, {{Code(1, 2)}, {0}}};
  s.slots = {{0, 1}, {1, 1}};
  PreparedEvaluation test = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
  EvaluationWork testWork;
  for (const std::vector<int32_t>& chosen : {std::vector<int32_t>{0, 2}, {1, 3}, {0, 3}, {1, 2}}) {
    const std::string expected = Outcome([&] { return EvaluateFis(s.Whole(chosen)); });
    EXPECT_EQ(Outcome([&] { return EvaluatePrepared(test, testWork, chosen.data()); }), expected);
  }
  const std::vector<int32_t> bothMissing{1, 3};
  EXPECT_EQ(Outcome([&] { return EvaluatePrepared(test, testWork, bothMissing.data()); }),
            std::string("error: ") + kInvalidOperationMessage);

  // r = 3, p̄ = 1/3: a rounding remainder makes the numerator non-zero, division by zero.
  Scenario three;
  three.highestAllele = 3;
  three.loci = 1;
  three.fixedRows = {{{Code(1, 2)}}, {{Code(2, 3)}}, {{Code(3, 3)}}};
  PreparedEvaluation alone = PrepareEvaluation(three.Fixed(), three.Candidates(), three.slots);
  EvaluationWork aloneWork;
  EXPECT_EQ(Outcome([&] { return EvaluatePrepared(alone, aloneWork, nullptr); }),
            std::string("error: ") + kDivisionByZeroMessage);
  // Monomorphic: every allele outside the band.
  three.fixedRows = {{{Code(3, 3)}, {Code(3, 3)}}, {{Code(3, 3)}}};
  PreparedEvaluation mono = PrepareEvaluation(three.Fixed(), three.Candidates(), three.slots);
  EvaluationWork monoWork;
  EXPECT_EQ(Outcome([&] { return EvaluatePrepared(mono, monoWork, nullptr); }),
            std::string("error: ") + kInvalidOperationMessage);
}

// Every table a preparation lays out, as text to compare.
std::string Layout(const PreparedEvaluation& test) {
  std::string text;
  auto add = [&text](const char* name, const auto& values) {
    text += name;
    for (const auto value : values) {
      text += ' ';
      text += std::to_string(value);
    }
    text += '\n';
  };
  add("blockLane", test.blockLane);
  add("blockCells", test.blockCells);
  add("blockHighest", test.blockHighest);
  add("populationBegin", test.populationBegin);
  add("entryPopulation", test.entryPopulation);
  add("entryLane", test.entryLane);
  add("alleleBegin", test.alleleBegin);
  add("alleleNumber", test.alleleNumber);
  add("cellBegin", test.cellBegin);
  add("cellEntry", test.cellEntry);
  add("cellLane", test.cellLane);
  add("fixedLanes", test.fixedLanes);
  add("contributionBegin", test.contributionBegin);
  for (const auto& contribution : test.contributions) {
    for (const auto value :
         {contribution.lane, uint32_t{contribution.first}, uint32_t{contribution.second}}) {
      text += ' ';
      text += std::to_string(value);
    }
  }
  add("\nclassLoci", test.classLoci);
  add("classBegin", test.classBegin);
  add("classBlock", test.classBlock);
  add("classFlagBegin", test.classFlagBegin);
  add("classFlags", test.classFlags);
  return text;
}

TEST(PreparedEvaluation, ThreadsLayOutWhatOneThreadLaysOut) {
  // Enough loci and candidates for several chunks: populations of 300 distinct genotypes
  // at 700 loci, biallelic and not, some missing, each genotype a candidate.
  std::mt19937 random(5);
  const int32_t loci = 700;
  std::vector<std::vector<int32_t>> rows;
  for (int32_t row = 0; row < 900; ++row) {
    std::vector<int32_t> codes;
    for (int32_t l = 0; l < loci; ++l) {
      const auto alleles = static_cast<uint32_t>(l % 3 == 0 ? 6 : 2);
      const int32_t first = 1 + static_cast<int32_t>(random() % alleles);
      const int32_t second = 1 + static_cast<int32_t>(random() % alleles);
      codes.push_back(random() % 20 == 0 ? 0 : Code(first, second));
    }
    rows.push_back(codes);
  }
  EngineInput fixed = MakeInput(6, {300, 300, 300}, rows);
  CandidateGenotypes candidates;
  for (int32_t row = 0; row < 900; ++row) {
    candidates.population.push_back(row / 300);
    candidates.fixedRow.push_back(row);
  }
  candidates.count = 900;
  // Population 3 copies more than 16-bit class counts hold: it counts lane by lane.
  const std::vector<CopySlot> slots = {{0, 4}, {0, 1}, {1, 7}, {2, 40000}, {2, 30000}};
  const std::string one = Layout(PrepareEvaluation(fixed, candidates, slots, 1));
  EXPECT_EQ(Layout(PrepareEvaluation(fixed, candidates, slots, 2)), one);
  EXPECT_EQ(Layout(PrepareEvaluation(fixed, candidates, slots, 7)), one);

  // The error is that of the first bad locus in order, whichever thread meets it.
  fixed.codes[static_cast<std::size_t>(650) * 900 + 10] = Code(7, 1);
  fixed.codes[static_cast<std::size_t>(100) * 900 + 850] = Code(9, 9);
  std::string errors[2];
  for (int threads : {1, 7}) {
    try {
      PrepareEvaluation(fixed, candidates, slots, threads);
      ADD_FAILURE() << "no error with " << threads << " threads";
    } catch (const InternalError& error) {
      errors[threads == 1 ? 0 : 1] = error.what();
    }
  }
  EXPECT_NE(errors[0].find("locus 101"), std::string::npos) << errors[0];
  EXPECT_EQ(errors[1], errors[0]);
}

TEST(PreparedEvaluation, RefusesWhatCannotBeEvaluated) {
  Scenario s;
  s.highestAllele = 9;
  s.loci = 1;
  s.fixedRows = {{{Code(1, 2)}}, {{Code(3, 2)}}};
  s.candidates = {{{Code(1, 2)}}, {{Code(3, 4)}}};
  s.slots = {{0, 2}, {1, 1}};
  PreparedEvaluation test = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
  EvaluationWork testWork;
  // A candidate of another population than its slot's.
  const std::vector<int32_t> crossed{1, 0};
  EXPECT_THROW(EvaluatePrepared(test, testWork, crossed.data()), RunError);
  const std::vector<int32_t> outside{0, 2};
  EXPECT_THROW(EvaluatePrepared(test, testWork, outside.data()), RunError);

  Scenario bad = s;
  bad.candidates[1][0][0] = Code(10, 1);  // allele above A
  EXPECT_THROW(PrepareEvaluation(bad.Fixed(), bad.Candidates(), bad.slots), RunError);
  bad = s;
  bad.fixedRows[0][0][0] = Code(0, 1);  // one allele missing
  EXPECT_THROW(PrepareEvaluation(bad.Fixed(), bad.Candidates(), bad.slots), RunError);
  bad = s;
  bad.slots[0].copies = -1;
  EXPECT_THROW(PrepareEvaluation(bad.Fixed(), bad.Candidates(), bad.slots), RunError);
  bad = s;
  bad.slots[0].population = 2;
  EXPECT_THROW(PrepareEvaluation(bad.Fixed(), bad.Candidates(), bad.slots), RunError);
}

}  // namespace
}  // namespace genosieve
