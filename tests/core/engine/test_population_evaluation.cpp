#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/population_evaluation.h"
#include "engine/prepared_evaluation.h"
#include "support/engine_reference.h"

namespace genosieve {
namespace {

using testing::MakeInput;
using testing::Outcome;

// Populations whose distinct genotypes are the fixed rows and the candidates, with copy
// slots, as a per-population test lays them out; sizes reach past the sample sizes up to
// which the evaluation keeps dense tables of outcomes.
struct PopulationScenario {
  int32_t highestAllele = 0;
  int32_t loci = 0;
  std::vector<std::vector<std::vector<int32_t>>> rows;  // [population][row][locus]
  std::vector<CopySlot> slots;
  std::vector<int32_t> firstCandidate;  // per population, its first candidate number

  CandidateGenotypes Candidates() const {
    CandidateGenotypes candidates;
    int32_t row = 0;
    for (std::size_t p = 0; p < rows.size(); ++p) {
      for (std::size_t i = 0; i < rows[p].size(); ++i, ++row) {
        candidates.population.push_back(static_cast<int32_t>(p));
        candidates.fixedRow.push_back(row);
      }
    }
    candidates.count = row;
    return candidates;
  }

  EngineInput Fixed() const {
    std::vector<int32_t> sizes;
    std::vector<std::vector<int32_t>> all;
    for (const auto& population : rows) {
      sizes.push_back(static_cast<int32_t>(population.size()));
      all.insert(all.end(), population.begin(), population.end());
    }
    return MakeInput(highestAllele, sizes, all);
  }

  // The test's table of population p: its rows and chosen copies, then a filler of as
  // many individuals homozygous for the highest allele.
  EngineInput TableOf(std::size_t p, const std::vector<int32_t>& chosen, int32_t& size) const {
    std::vector<std::vector<int32_t>> table = rows[p];
    for (std::size_t j = 0; j < slots.size(); ++j) {
      if (static_cast<std::size_t>(slots[j].population) != p) continue;
      const auto& genotype = rows[p][static_cast<std::size_t>(chosen[j] - firstCandidate[p])];
      table.insert(table.end(), static_cast<std::size_t>(slots[j].copies), genotype);
    }
    size = static_cast<int32_t>(table.size());
    table.insert(
        table.end(), table.size(),
        std::vector<int32_t>(static_cast<std::size_t>(loci), highestAllele * 1000 + highestAllele));
    return MakeInput(highestAllele, {size, size}, table);
  }
};

PopulationScenario RandomPopulations(std::mt19937& random) {
  auto below = [&random](int32_t bound) {
    return static_cast<int32_t>(random() % static_cast<uint32_t>(bound));
  };
  PopulationScenario s;
  s.highestAllele = below(2) == 0 ? 2 + below(3) : 5 + below(995);
  s.loci = 1 + below(12);
  const int32_t alleles = std::min(s.highestAllele, below(2) == 0 ? 2 : 2 + below(8));
  std::vector<int32_t> pool;
  for (int32_t j = 0; j < alleles; ++j) pool.push_back(1 + below(s.highestAllele));
  const int32_t missingPercent = below(2) == 0 ? 0 : below(30);
  const int32_t populations = 1 + below(3);
  s.rows.resize(static_cast<std::size_t>(populations));
  int32_t candidate = 0;
  for (int32_t p = 0; p < populations; ++p) {
    // Small (n̄ = 1 included), or about the dense tables' limits of 128 and 256.
    const int32_t kind = below(4);
    const int32_t distinct = kind == 0   ? 1 + below(4)
                             : kind == 1 ? 100 + below(40)
                                         : 220 + below(50);
    auto& population = s.rows[static_cast<std::size_t>(p)];
    for (int32_t i = 0; i < distinct; ++i) {
      std::vector<int32_t> row;
      for (int32_t l = 0; l < s.loci; ++l) {
        if (below(100) < missingPercent) {
          row.push_back(0);
          continue;
        }
        const int32_t first = pool[static_cast<std::size_t>(below(alleles))];
        const int32_t second =
            below(3) == 0 ? first : pool[static_cast<std::size_t>(below(alleles))];
        row.push_back(first * 1000 + second);
      }
      population.push_back(row);
    }
    s.firstCandidate.push_back(candidate);
    candidate += distinct;
    const int32_t slots = below(4);
    for (int32_t j = 0; j < slots; ++j) s.slots.push_back({p, 1 + below(kind == 0 ? 3 : 30)});
  }
  return s;
}

TEST(PopulationEvaluation, EqualsTheEvaluationOfItsTwoPopulationTable) {
  std::mt19937 random(77);
  // One workspace for every scenario, as a thread keeps it through a Run: outcomes
  // remembered for one test's sizes serve the others, and the tables' budgets run out.
  PopulationWorkspace workspace;
  EngineWorkspace engine;
  int values = 0;
  int errors = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const PopulationScenario s = RandomPopulations(random);
    const PreparedEvaluation evaluation = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
    EvaluationWork work;
    for (int iteration = 0; iteration < 6; ++iteration) {
      std::vector<int32_t> chosen;
      for (const CopySlot& slot : s.slots) {
        const auto p = static_cast<std::size_t>(slot.population);
        chosen.push_back(s.firstCandidate[p] + static_cast<int32_t>(random() % s.rows[p].size()));
      }
      CountPrepared(evaluation, work, chosen.data());
      for (std::size_t p = 0; p < s.rows.size(); ++p) {
        int32_t size = 0;
        const EngineInput table = s.TableOf(p, chosen, size);
        const std::string expected = Outcome([&] { return EvaluateFis(table, engine); });
        ASSERT_EQ(Outcome([&] {
                    return EvaluatePopulation(evaluation, work.lanes.data(),
                                              static_cast<int32_t>(p), size, workspace);
                  }),
                  expected)
            << "trial " << trial << " iteration " << iteration << " population " << p + 1;
        ++(expected.rfind("error", 0) == 0 ? errors : values);
      }
    }
  }
  EXPECT_GT(values, 400);
  EXPECT_GT(errors, 5);
}

// Two-allele loci met again and again, their counts and heterozygotes all over their
// range: each remembered outcome is found where it was put, not a neighbour's.
TEST(PopulationEvaluation, RemembersEachCountOfATwoAlleleLocusInItsOwnPlace) {
  std::mt19937 random(5);
  auto below = [&random](int32_t bound) {
    return static_cast<int32_t>(random() % static_cast<uint32_t>(bound));
  };
  PopulationScenario s;
  s.highestAllele = 9;
  s.loci = 3;
  // Locus 1 of alleles 1 and 2, locus 2 of 1 and the highest, locus 3 of 2 alone.
  const int32_t genotypes[3][3] = {{1001, 1002, 2002}, {1001, 1009, 9009}, {2002, 2002, 2002}};
  std::vector<std::vector<int32_t>> population;
  for (int32_t i = 0; i < 60; ++i) {
    population.push_back({genotypes[0][below(3)], genotypes[1][below(3)], genotypes[2][0]});
  }
  s.rows = {population};
  s.firstCandidate = {0};
  for (int32_t j = 0; j < 12; ++j) s.slots.push_back({0, 1 + below(3)});
  const PreparedEvaluation evaluation = PrepareEvaluation(s.Fixed(), s.Candidates(), s.slots);
  PopulationWorkspace workspace;
  EngineWorkspace engine;
  EvaluationWork work;
  for (int iteration = 0; iteration < 400; ++iteration) {
    std::vector<int32_t> chosen;
    for (std::size_t j = 0; j < s.slots.size(); ++j) chosen.push_back(below(60));
    CountPrepared(evaluation, work, chosen.data());
    int32_t size = 0;
    const EngineInput table = s.TableOf(0, chosen, size);
    ASSERT_EQ(Outcome([&] {
                return EvaluatePopulation(evaluation, work.lanes.data(), 0, size, workspace);
              }),
              Outcome([&] { return EvaluateFis(table, engine); }))
        << "iteration " << iteration;
  }
}

}  // namespace
}  // namespace genosieve
