#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "messages.h"
#include "support/current_folder.h"
#include "support/engine_reference.h"
#include "support/reference_engine.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::WriteBytes;

GenotypeTable Lines(int32_t loci,
                    const std::vector<std::pair<int32_t, std::vector<AllelePair>>>& rows) {
  GenotypeTable table;
  table.loci = loci;
  for (const auto& [population, cells] : rows) {
    table.population.push_back(population);
    table.cells.insert(table.cells.end(), cells.begin(), cells.end());
  }
  return table;
}

std::string LoadError(const std::string& bytes) {
  WriteBytes("temp.txt", bytes);
  try {
    LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

TEST(GenotypeFile, WritesTheOverallExampleByteForByte) {
  ScopedWorkingFolder folder;
  const GenotypeTable lines =
      Lines(2, {{1, {{12, 34}, {0, 0}}}, {1, {{34, 34}, {120, 7}}}, {2, {{12, 12}, {7, 120}}}});
  WriteGenotypeFile(CurrentFolder(), kObservedFileName, {2, 2, 120, 3}, 2, lines);
  EXPECT_EQ(ReadBytes(kObservedFileName), ReadBytes(TestDataPath("engine/overall_example.txt")));

  const EngineInput input = LoadGenotypeFile(CurrentFolder(), EvaluationKind::kObserved);
  EXPECT_EQ(input.populations, 2);
  EXPECT_EQ(input.loci, 2);
  EXPECT_EQ(input.highestAllele, 120);
  EXPECT_EQ(input.individuals, 3);
  EXPECT_EQ(input.populationEnd, (std::vector<int32_t>{2, 3}));
  // Locus 1 then locus 2; the second allele slot stays second.
  EXPECT_EQ(input.codes, (std::vector<int32_t>{12034, 34034, 12012, 0, 120007, 7120}));
}

TEST(GenotypeFile, WritesThePerLocusAndPerPopulationVariants) {
  ScopedWorkingFolder folder;
  // Per locus: one label line, one field per individual.
  WriteGenotypeFile(CurrentFolder(), kRandomizedFileName, {3, 1, 120, 3}, 1,
                    Lines(1, {{1, {{34, 34}}}, {1, {{12, 34}}}, {2, {{12, 12}}}, {3, {{0, 0}}}}));
  EXPECT_EQ(ReadBytes(kRandomizedFileName),
            ReadBytes(TestDataPath("engine/per_locus_example.txt")));
  EngineInput input = LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
  EXPECT_EQ(input.populationEnd, (std::vector<int32_t>{2, 3, 4}));
  EXPECT_EQ(input.codes, (std::vector<int32_t>{34034, 12034, 12012, 0}));

  // Per population: the population under test, then as many filler lines homozygous
  // for the highest allele (50 -> 050050).
  WriteGenotypeFile(CurrentFolder(), kRandomizedFileName, {2, 2, 50, 3}, 2,
                    Lines(2, {{1, {{12, 34}, {0, 0}}},
                              {1, {{34, 34}, {50, 7}}},
                              {2, {{50, 50}, {50, 50}}},
                              {2, {{50, 50}, {50, 50}}}}));
  EXPECT_EQ(ReadBytes(kRandomizedFileName),
            ReadBytes(TestDataPath("engine/per_population_example.txt")));
  input = LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
  EXPECT_EQ(input.populationEnd, (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(input.codes,
            (std::vector<int32_t>{12034, 34034, 50050, 50050, 0, 50007, 50050, 50050}));
}

TEST(GenotypeFile, RoundTripKeepsEveryGenotype) {
  ScopedWorkingFolder folder;
  std::mt19937 random(5);
  GenotypeTable lines;
  lines.loci = 7;
  for (int32_t p = 1; p <= 4; ++p) {
    for (int32_t i = 0; i < 30; ++i) {
      lines.population.push_back(p);
      for (int32_t k = 0; k < lines.loci; ++k) {
        const bool missing = random() % 10 == 0;
        lines.cells.push_back(missing ? AllelePair{0, 0}
                                      : AllelePair{static_cast<Allele>(1 + random() % 999),
                                                   static_cast<Allele>(1 + random() % 999)});
      }
    }
  }
  WriteGenotypeFile(CurrentFolder(), "round.txt", {4, 7, 999, 3}, 7, lines);
  const EngineInput loaded = LoadGenotypeFile("round.txt");
  const EngineInput direct = MakeEngineInput(lines, 4, 999);
  EXPECT_EQ(loaded.populations, direct.populations);
  EXPECT_EQ(loaded.loci, direct.loci);
  EXPECT_EQ(loaded.highestAllele, direct.highestAllele);
  EXPECT_EQ(loaded.individuals, 120);
  EXPECT_EQ(loaded.populationEnd, (std::vector<int32_t>{30, 60, 90, 120}));
  EXPECT_EQ(loaded.codes, direct.codes);
  // Rewriting what was read gives the same bytes.
  const std::string first = ReadBytes("round.txt");
  WriteGenotypeFile(CurrentFolder(), "round.txt", {4, 7, 999, 3}, 7, lines);
  EXPECT_EQ(ReadBytes("round.txt"), first);
}

TEST(GenotypeFile, ReadsNumbersByTheLoaderRules) {
  ScopedWorkingFolder folder;
  const std::string example = ReadBytes(TestDataPath("engine/overall_example.txt"));
  const std::vector<int32_t> codes = {12034, 34034, 12012, 0, 120007, 7120};
  // A trailing empty line loads the same individuals.
  WriteBytes("temp.txt", example + "\r\n");
  EXPECT_EQ(LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized).codes, codes);
  // Character 26 ends the input, whatever follows.
  WriteBytes("temp.txt", example + "\x1a" + "3\t001001\t001001\t\r\n");
  EXPECT_EQ(LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized).individuals, 3);
  // Numbers may cross line ends; a population number 0 skips its line.
  WriteBytes("temp.txt", "2 1 50 3\nA\n1\n007045\n0 999999\n2 050050\n");
  EngineInput input = LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
  EXPECT_EQ(input.codes, (std::vector<int32_t>{7045, 50050}));
  EXPECT_EQ(input.populationEnd, (std::vector<int32_t>{1, 2}));
  // The end of the file reads as 0: a last line cut short leaves the genotype missing.
  WriteBytes("temp.txt", "2 2 50 3 \r\nA\r\nA\r\n1\t007045\t050050\t\r\n2\t001002");
  EXPECT_EQ(LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized).codes,
            (std::vector<int32_t>{7045, 1002, 50050, 0}));
  // Positions, not the numbers written, decide membership.
  WriteBytes("temp.txt", "2 1 50 3 \r\nA\r\n2\t001001\t\r\n1\t002002\t\r\n2\t003003\t\r\n");
  EXPECT_EQ(LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized).populationEnd,
            (std::vector<int32_t>{1, 3}));
  // A population without lines keeps an empty range.
  WriteBytes("temp.txt", "3 1 50 3 \r\nA\r\n1\t001001\t\r\n3\t003003\t\r\n");
  EXPECT_EQ(LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized).populationEnd,
            (std::vector<int32_t>{1, 1, 2}));
}

TEST(GenotypeFile, RefusesBadNumbersAndOutOfRangeInput) {
  ScopedWorkingFolder folder;
  const std::string bad = "Saisie numérique incorrecte";
  EXPECT_EQ(LoadError("2 1 50 3 \r\nA\r\n1\t00x045\t\r\n"), bad);
  EXPECT_EQ(LoadError("2 1 5O 3 \r\nA\r\n"), bad);
  EXPECT_EQ(LoadError("2 1 50 3 \r\nA\r\n1\t99999999999\t\r\n"), bad);
  EXPECT_EQ(LoadError("2 1 50 3 \r\nA\r\n1\t" + std::string(40, '1') + "\t\r\n"), bad);
  // The message, bare as the system's, comes with the file it is about.
  try {
    LoadGenotypeFile(CurrentFolder(), EvaluationKind::kRandomized);
    ADD_FAILURE() << "a bad number was read";
  } catch (const RunError& error) {
    EXPECT_EQ(MessageNamingFile(error),
              "File \"" + (folder.path() / "temp.txt").string() + "\": cannot read it: " + bad);
  }

  auto mentions = [](const std::string& message, const std::string& part) {
    return message.find(part) != std::string::npos;
  };
  // Population numbers outside 1..P.
  EXPECT_EQ(LoadError("2 1 50 3 \r\nA\r\n3\t001001\t\r\n"),
            "File \"temp.txt\", line 3: population number 3 outside 1..2");
  EXPECT_TRUE(mentions(LoadError("2 1 50 3 \r\nA\r\n-1\t001001\t\r\n"), "population"));
  // Alleles above A, one allele missing, a negative code.
  EXPECT_EQ(LoadError("2 1 50 3 \r\nA\r\n1\t001051\t\r\n"),
            "File \"temp.txt\", line 3, locus 1: genotype 1051 has an allele above the highest "
            "allele number 50");
  EXPECT_TRUE(mentions(LoadError("2 2 50 3 \r\nA\r\nA\r\n1\t001001\t012000\t\r\n"), "locus 2"));
  EXPECT_TRUE(mentions(LoadError("2 1 50 3 \r\nA\r\n1\t-012034\t\r\n"), "line 3"));
  EXPECT_TRUE(mentions(LoadError("2 1 50 3 \r\nA\r\n1\t1050001\t\r\n"), "locus 1"));
  // Header values the file cannot hold.
  EXPECT_TRUE(mentions(LoadError("-2 1 50 3 \r\nA\r\n"), "populations"));
  EXPECT_TRUE(mentions(LoadError("2000000000 1 50 3 \r\nA\r\n"), "populations"));
  EXPECT_TRUE(mentions(LoadError("2 -1 50 3 \r\n"), "loci"));
  EXPECT_TRUE(mentions(LoadError("2 2000000000 50 3 \r\nA\r\n1\t001001\t\r\n"), "loci"));
  EXPECT_TRUE(mentions(LoadError("2 5 50 3 \r\nA\r\nA\r\n"), "locus"));
  EXPECT_TRUE(mentions(LoadError("2 1 -50 3 \r\nA\r\n"), "allele"));
  // A missing file.
  EXPECT_THROW(LoadGenotypeFile("absent.txt"), RunError);
}

TEST(GenotypeFile, NeverCrashesOnDamagedFiles) {
  std::mt19937 random(2024);
  const std::string example = ReadBytes(TestDataPath("engine/overall_example.txt"));
  const std::string alphabet = "0123456789 \t\r\n-+A\x1a";
  int loaded = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    std::string bytes = example;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % (bytes.size() + 1);
      const char c = alphabet[random() % alphabet.size()];
      switch (random() % 3) {
        case 0:
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), c);
          break;
        case 1:
          if (at < bytes.size()) bytes[at] = c;
          break;
        default:
          if (at < bytes.size()) bytes.erase(at, 1);
      }
    }
    try {
      const EngineInput input = ParseGenotypeFile(bytes, "temp.txt");
      ++loaded;
      try {
        EvaluateFis(input);
      } catch (const RunError&) {
      }
    } catch (const RunError&) {
    }
  }
  EXPECT_GT(loaded, 1000);
}

TEST(GenotypeFile, WriteFailuresAreReported) {
  ScopedWorkingFolder folder;
  const GenotypeTable lines = Lines(1, {{1, {{1, 2}}}});
  EXPECT_THROW(
      WriteGenotypeFile(CurrentFolder(), "no-such-folder/temp.txt", {1, 1, 2, 3}, 1, lines),
      RunError);
  // A device is no place for it; it is refused before anything reaches it.
  EXPECT_THROW(WriteGenotypeFile(CurrentFolder(), "/dev/full", {1, 1, 2, 3}, 1, lines), RunError);
  // Alleles that three digits cannot hold are refused, not written as other genotypes.
  EXPECT_THROW(WriteGenotypeFile(CurrentFolder(), "temp.txt", {1, 1, 2000, 4}, 1,
                                 Lines(1, {{1, {{12, 1034}}}})),
               RunError);
  EXPECT_THROW(WriteGenotypeFile(CurrentFolder(), "temp.txt", {1, 1, 2000, 4}, 1,
                                 Lines(1, {{1, {{-1, 3}}}})),
               RunError);
  // A table whose cells do not match its rows and loci.
  GenotypeTable ragged = Lines(2, {{1, {{1, 2}, {2, 2}}}});
  ragged.population.push_back(1);
  EXPECT_THROW(WriteGenotypeFile(CurrentFolder(), "temp.txt", {1, 2, 2, 3}, 2, ragged), RunError);
  EXPECT_THROW(MakeEngineInput(ragged, 1, 2), RunError);
}

TEST(EngineRun, ObservedThenRandomizedEvaluationsThroughTheFiles) {
  ScopedWorkingFolder folder;
  const GenotypeTable observed = Lines(
      1,
      {{1, {{1, 2}}}, {1, {{1, 1}}}, {1, {{2, 2}}}, {2, {{1, 2}}}, {2, {{2, 2}}}, {2, {{1, 1}}}});
  WriteGenotypeFile(CurrentFolder(), kObservedFileName, {2, 1, 2, 3}, 1, observed);
  const Extended expected = EvaluateFis(MakeEngineInput(observed, 2, 2));
  TallyState state = MakeTallyState(2);
  RunEvaluation(CurrentFolder(), EvaluationKind::kObserved, state);
  EXPECT_FALSE(state.observedFlag);
  EXPECT_EQ(state.observed(), expected);
  EXPECT_EQ(state.sum(), expected);
  EXPECT_EQ(state.notAbove, 1);
  EXPECT_EQ(state.randomized, 0);

  // Iteration 1: the same table in another order ties and counts.
  const GenotypeTable reordered = Lines(
      1,
      {{1, {{2, 2}}}, {1, {{1, 2}}}, {1, {{1, 1}}}, {2, {{1, 1}}}, {2, {{2, 2}}}, {2, {{1, 2}}}});
  WriteGenotypeFile(CurrentFolder(), kRandomizedFileName, {2, 1, 2, 3}, 1, reordered);
  state.iterationIndex = 1;
  RunEvaluation(CurrentFolder(), EvaluationKind::kRandomized, state);
  EXPECT_EQ(state.notAbove, 2);
  EXPECT_EQ(state.sum(), expected + expected);

  // A failing evaluation (monomorphic: 0/0) leaves the tally as it was.
  const TallyState before = state;
  WriteGenotypeFile(CurrentFolder(), kRandomizedFileName, {2, 1, 2, 3}, 1,
                    Lines(1, {{1, {{1, 1}}}, {1, {{1, 1}}}, {2, {{1, 1}}}, {2, {{1, 1}}}}));
  state.iterationIndex = 2;
  try {
    RunEvaluation(CurrentFolder(), EvaluationKind::kRandomized, state);
    ADD_FAILURE() << "no error";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), kInvalidOperationMessage);
  }
  EXPECT_EQ(state.sum(), before.sum());
  EXPECT_EQ(state.notAbove, before.notAbove);
  EXPECT_EQ(state.notBelow, before.notBelow);
  EXPECT_EQ(state.randomized, 1);
}

}  // namespace
}  // namespace genosieve
