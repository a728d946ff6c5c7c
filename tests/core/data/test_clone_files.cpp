#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/clone_files.h"
#include "data/clones.h"
#include "data/data_file_reader.h"
#include "data/genotype_table.h"
#include "errors.h"
#include "io/io_error.h"
#include "messages.h"
#include "support/current_folder.h"
#include "support/full_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::InFullFolder;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::WriteBytes;

void AddRow(GenotypeTable& table, int32_t population, const std::vector<AllelePair>& genotype) {
  table.population.push_back(population);
  table.cells.insert(table.cells.end(), genotype.begin(), genotype.end());
}

// The data of tests/data/clones/worked_example_data.txt: population 5 holds X, Y, X, Z,
// Y, X (X written in three allele orders), population 9 holds X and another genotype.
struct WorkedExample {
  HeaderNumbers header{2, 2, 124, 3};
  GenotypeTable table;
  PopulationIndex index{0, 6, 8};
  WorkedExample() {
    table.loci = 2;
    AddRow(table, 5, {{120, 124}, {7, 45}});
    AddRow(table, 5, {{124, 124}, {0, 0}});
    AddRow(table, 5, {{124, 120}, {45, 7}});
    AddRow(table, 5, {{120, 120}, {45, 7}});
    AddRow(table, 5, {{124, 124}, {0, 0}});
    AddRow(table, 5, {{124, 120}, {7, 45}});
    AddRow(table, 9, {{120, 124}, {7, 45}});
    AddRow(table, 9, {{124, 124}, {45, 7}});
  }
};

TEST(CloneReport, WorkedExampleByteForByte) {
  const WorkedExample example;
  const CloneDetection clones = DetectClones(example.table, example.index);
  const CloneSummary summary = SummariseClones(clones, example.index);
  ScopedWorkingFolder folder;
  // An older, longer file of the same name is replaced, not overwritten in place.
  WriteBytes("Clones_results.txt", std::string(4096, 'x'));
  WriteCloneReport(CurrentFolder(), "Clones_results.txt", summary);
  EXPECT_EQ(ReadBytes("Clones_results.txt"),
            ReadBytes(TestDataPath("clones/worked_example_report.txt")));
}

TEST(CloneReport, PrefixStandsBeforeAFolderPartOfTheResultName) {
  const WorkedExample example;
  const CloneSummary summary =
      SummariseClones(DetectClones(example.table, example.index), example.index);
  ScopedWorkingFolder folder;
  std::filesystem::create_directory("res");
  // "Clones_" + "res/a.txt" names a file in the folder Clones_res, which is missing.
  try {
    WriteCloneReport(CurrentFolder(), "Clones_res/a.txt", summary);
    FAIL() << "no error for a file that cannot be created";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Output file \"Clones_res/a.txt\": the folder \"Clones_res\" does not exist");
  }
  EXPECT_FALSE(std::filesystem::exists("res/a.txt"));
  std::filesystem::create_directory("Clones_res");
  WriteCloneReport(CurrentFolder(), "Clones_res/a.txt", summary);
  EXPECT_EQ(ReadBytes("Clones_res/a.txt"),
            ReadBytes(TestDataPath("clones/worked_example_report.txt")));
}

TEST(CloneReport, FailedWriteIsAnIoErrorAndKeepsThePreviousFile) {
  const WorkedExample example;
  const CloneSummary summary =
      SummariseClones(DetectClones(example.table, example.index), example.index);
  // The file is created, and the write fails when the buffered text reaches the disk.
  const std::optional<std::string> problem = InFullFolder(
      [] { WriteBytes("Clones_results.txt", "previous"); },
      [&summary] {
        try {
          WriteCloneReport(CurrentFolder(), "Clones_results.txt", summary);
          return std::string("no error for a full disk");
        } catch (const RunError& error) {
          if (std::string(error.what()) != IoErrorMessage(IoCodeFromErrno(ENOSPC))) {
            return std::string(error.what());
          }
        }
        return ReadBytes("Clones_results.txt") == "previous" ? std::string()
                                                             : std::string("file changed");
      });
  if (!problem) GTEST_SKIP() << "no file system can be mounted here";
  EXPECT_EQ(*problem, "");
}

TEST(CloneFreeFile, WorkedExampleByteForByte) {
  const WorkedExample example;
  const CloneDetection clones = DetectClones(example.table, example.index);
  ScopedWorkingFolder folder;
  WriteCloneFreeFile(CurrentFolder(), "Withoutrepeats_results.txt", example.header,
                     clones.cloneFree);
  EXPECT_EQ(ReadBytes("Withoutrepeats_results.txt"),
            ReadBytes(TestDataPath("clones/worked_example_withoutrepeats.txt")));
}

TEST(CloneFreeFile, NarrowCodeWidthStaysInTheHeaderWhileAllelesHaveThreeDigits) {
  WorkedExample example;
  example.header.codeWidth = 1;
  const CloneDetection clones = DetectClones(example.table, example.index);
  ScopedWorkingFolder folder;
  WriteCloneFreeFile(CurrentFolder(), "Withoutrepeats_results.txt", example.header,
                     clones.cloneFree);
  EXPECT_EQ(ReadBytes("Withoutrepeats_results.txt"),
            ReadBytes(TestDataPath("clones/worked_example_withoutrepeats_d1.txt")));
}

TEST(CloneFiles, FromTheDataFileToBothClonesFiles) {
  ScopedWorkingFolder folder;
  const DataFile data = ReadDataFile(TestDataPath("clones/worked_example_data.txt").string());
  const PopulationIndex index = BuildPopulationIndex(data);
  const CloneDetection clones = DetectClones(data.table, index);
  WriteCloneReport(CurrentFolder(), "Clones_r.txt", SummariseClones(clones, index));
  WriteCloneFreeFile(CurrentFolder(), "Withoutrepeats_r.txt", data.header, clones.cloneFree);
  EXPECT_EQ(ReadBytes("Clones_r.txt"), ReadBytes(TestDataPath("clones/worked_example_report.txt")));
  EXPECT_EQ(ReadBytes("Withoutrepeats_r.txt"),
            ReadBytes(TestDataPath("clones/worked_example_withoutrepeats.txt")));
}

// Native individuals are known by their line numbers, populations without names as
// "pop" + number; row k of a population is its k-th repeat count in the clone report.
TEST(CloneMembers, WorkedExampleByteForByte) {
  ScopedWorkingFolder folder;
  const DataFile data = ReadDataFile(TestDataPath("clones/worked_example_data.txt").string());
  const PopulationIndex index = BuildPopulationIndex(data);
  WriteCloneMembers(CurrentFolder(), "Clonemembers_r.txt", data, index,
                    DetectClones(data.table, index));
  EXPECT_EQ(ReadBytes("Clonemembers_r.txt"),
            ReadBytes(TestDataPath("clones/worked_example_clonemembers.txt")));
}

TEST(CloneMembers, NamesAndQuotedIdentifiers) {
  const WorkedExample example;
  DataFile data;
  data.table = example.table;
  data.populationNames = {"North", ""};
  data.identifiers = {"a,b", "y1", "say \"hi\"", "z", "", "x3", "w, 1", "w2"};
  ScopedWorkingFolder folder;
  WriteCloneMembers(CurrentFolder(), "m.txt", data, example.index,
                    DetectClones(data.table, example.index));
  EXPECT_EQ(ReadBytes("m.txt"),
            "population\tname\tgenotype\tcopies\tindividuals\r\n"
            "1\tNorth\t1\t3\t\"a,b\", \"say \"\"hi\"\"\", x3\r\n"
            "1\tNorth\t2\t2\ty1, \"\"\r\n"
            "1\tNorth\t3\t1\tz\r\n"
            "2\tpop2\t1\t1\t\"w, 1\"\r\n"
            "2\tpop2\t2\t1\tw2\r\n");

  data.identifiers.pop_back();
  EXPECT_THROW(WriteCloneMembers(CurrentFolder(), "m.txt", data, example.index,
                                 DetectClones(data.table, example.index)),
               RunError);
}

// The membership the file is written from: genotypes in the file's order, carriers in
// data order, the clone report's numbers from it.
TEST(CloneMembers, MembershipIsWhatTheFileLists) {
  const WorkedExample example;
  DataFile data;
  data.table = example.table;
  data.populationNames = {"North", ""};
  data.identifiers = {"a", "b", "c", "d", "e", "f", "g", "h"};
  const std::vector<PopulationClones> membership =
      CloneMembership(data, example.index, DetectClones(data.table, example.index));
  ASSERT_EQ(membership.size(), size_t{2});
  EXPECT_EQ(membership[0].population, 1);
  EXPECT_EQ(membership[0].name, "North");
  EXPECT_EQ(membership[1].name, "pop2");
  ASSERT_EQ(membership[0].genotypes.size(), size_t{3});
  EXPECT_EQ(membership[0].genotypes[0].genotype, 1);
  EXPECT_EQ(membership[0].genotypes[0].individuals, (std::vector<std::string>{"a", "c", "f"}));
  EXPECT_EQ(membership[0].genotypes[1].individuals, (std::vector<std::string>{"b", "e"}));
  EXPECT_EQ(membership[0].genotypes[2].individuals, (std::vector<std::string>{"d"}));
  EXPECT_EQ(CloneSizes(membership[0]), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(Individuals(membership[0]), 6);
  EXPECT_EQ(DistinctGenotypes(membership[0]), 3);
  EXPECT_TRUE(CloneSizes(membership[1]).empty());
  EXPECT_EQ(Individuals(membership[1]), 2);

  ScopedWorkingFolder folder;
  WriteCloneMembers(CurrentFolder(), "a.txt", membership);
  WriteCloneMembers(CurrentFolder(), "b.txt", data, example.index,
                    DetectClones(data.table, example.index));
  EXPECT_EQ(ReadBytes("a.txt"), ReadBytes("b.txt"));
}

TEST(CloneFiles, CloneFreeFileReadsBackWithoutClones) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> allele(0, 999);
  std::uniform_int_distribution<int32_t> poolPick(0, 5);
  constexpr int32_t kLoci = 4;
  constexpr int32_t kPopulations = 3;
  // Each population draws from a few genotypes (so it has clones) and numbers itself
  // with an arbitrary data number.
  GenotypeTable table;
  table.loci = kLoci;
  PopulationIndex index{0};
  for (int32_t p = 0; p < kPopulations; ++p) {
    std::vector<std::vector<AllelePair>> pool(6);
    for (auto& genotype : pool) {
      for (int32_t locus = 0; locus < kLoci; ++locus) {
        genotype.push_back(PairOf(allele(random), allele(random)));
      }
    }
    for (int32_t row = 0; row < 20 + 5 * p; ++row) AddRow(table, 40 + p, pool[poolPick(random)]);
    index.push_back(table.rows());
  }
  const HeaderNumbers header{kPopulations, kLoci, 999, 3};
  const CloneDetection clones = DetectClones(table, index);
  const CloneSummary summary = SummariseClones(clones, index);
  ASSERT_GT(summary.nbClones[0] + summary.nbClones[1] + summary.nbClones[2], 0);

  ScopedWorkingFolder folder;
  WriteCloneFreeFile(CurrentFolder(), "Withoutrepeats_r.txt", header, clones.cloneFree);
  const DataFile again = ReadDataFile("Withoutrepeats_r.txt");
  EXPECT_EQ(again.header.populations, header.populations);
  EXPECT_EQ(again.header.loci, header.loci);
  EXPECT_EQ(again.header.highestAllele, header.highestAllele);
  EXPECT_EQ(again.header.codeWidth, header.codeWidth);
  EXPECT_EQ(again.table.population, clones.cloneFree.population);
  EXPECT_EQ(again.table.cells, clones.cloneFree.cells);

  const PopulationIndex againIndex = BuildPopulationIndex(again);
  EXPECT_EQ(againIndex, summary.distinctOffset);
  const CloneDetection none = DetectClones(again.table, againIndex);
  const CloneSummary noneSummary = SummariseClones(none, againIndex);
  EXPECT_EQ(noneSummary.nbClones, (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(noneSummary.ndGenotypes, summary.ndGenotypes);
  EXPECT_EQ(none.cloneFree.cells, clones.cloneFree.cells);

  // Its report: every population line ends with NbClones 0 and the two TABs.
  WriteCloneReport(CurrentFolder(), "Clones_r.txt", noneSummary);
  std::string expected = "\tPopulation Size\t\tNDGenotypes\tNbClones\tRepeats/clone\r\n";
  for (int32_t p = 0; p < kPopulations; ++p) {
    const std::string nd = std::to_string(summary.ndGenotypes[static_cast<size_t>(p)]);
    expected += "pop" + std::to_string(p + 1) + "\t\t" + nd + "\t\t" + nd + "\t\t0\t\t\r\n";
  }
  EXPECT_EQ(ReadBytes("Clones_r.txt"), expected);
}

}  // namespace
}  // namespace genosieve
