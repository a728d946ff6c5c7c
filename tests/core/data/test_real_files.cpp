// The files of tests/data/real/: published data in the shapes real data files take, read
// through the automatic choice and through their own format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_file_reader.h"
#include "data/data_format.h"
#include "data/data_import.h"
#include "errors.h"
#include "import_fixture.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ExamplePath;
using testing::Import;
using testing::TestDataPath;

struct RealFile {
  const char* name;
  DataFormat format;
  std::vector<int32_t> sizes;  // per population, in the order read
  int32_t loci;
  int32_t highestAllele;
  int32_t codeWidth;
  std::vector<std::string> populationNames;  // empty for layouts without names
  size_t notices;                            // besides the line that says what was read
};

const std::vector<std::string> kZosteraNames = {"SaintMalo", "Arcouest"};
const std::vector<std::string> kPramNames = {"Coast_OR", "Winchuck_OR", "ChetcoMain_OR",
                                             "PistolRSF_OR"};

const std::vector<RealFile>& RealFiles() {
  static const std::vector<RealFile> files = {
      {"zostera_genepop.gen", DataFormat::kGenepop, {29, 30}, 9, 197, 3, {"SM29", "AR30"}, 0},
      {"zostera_genepop_wrapped.gen",
       DataFormat::kGenepop,
       {29, 30},
       9,
       197,
       3,
       {"SM29", "AR30"},
       0},
      {"zostera_numeric_title.txt", DataFormat::kGenepop, {29, 30}, 9, 197, 3, {"SM29", "AR30"}, 0},
      {"posidonia_genepop.gen", DataFormat::kGenepop, {40}, 7, 242, 3, {"PO40"}, 0},
      {"zostera_genalex.csv", DataFormat::kGenalex, {29, 30}, 9, 197, 3, kZosteraNames, 0},
      {"zostera_genalex_semicolon.csv",
       DataFormat::kGenalex,
       {29, 30},
       9,
       197,
       3,
       kZosteraNames,
       0},
      {"zostera_genalex_no_sizes.csv", DataFormat::kGenalex, {29, 30}, 9, 197, 3, kZosteraNames, 1},
      {"zostera_genalex_tab.txt", DataFormat::kGenalex, {29, 30}, 9, 197, 3, kZosteraNames, 0},
      {"zostera_genalex_windows1252.csv",
       DataFormat::kGenalex,
       {29, 30},
       9,
       197,
       3,
       {"Saint-Malo", "L'Arcouest, C\xC3\xB4tes-d'Armor"},
       1},
      {"pram_genalex_not_grouped.csv",
       DataFormat::kGenalex,
       {34, 35, 16, 4},
       5,
       489,
       3,
       kPramNames,
       1},
      {"zostera_fstat.dat", DataFormat::kFstat, {29, 30}, 9, 197, 3, {}, 0},
      {"pram_fstat_tab_zero.dat", DataFormat::kFstat, {34, 35, 16, 4}, 5, 489, 3, {}, 0},
      {"zostera_native_bom.txt", DataFormat::kNative, {29, 30}, 9, 197, 3, {}, 0},
      {"zostera_native_tab_header.txt", DataFormat::kNative, {29, 30}, 9, 197, 3, {}, 0},
  };
  return files;
}

std::string RealPath(const std::string& name) { return TestDataPath("real/" + name).string(); }

void ExpectRead(const RealFile& file, DataFormat asked) {
  SCOPED_TRACE(FormatName(asked));
  const testing::Imported imported = Import(RealPath(file.name), asked);
  ASSERT_EQ(imported.error, "");
  const DataFile& data = imported.data;
  EXPECT_EQ(data.format, file.format);
  EXPECT_EQ(data.header.populations, static_cast<int32_t>(file.sizes.size()));
  EXPECT_EQ(data.header.loci, file.loci);
  EXPECT_EQ(data.header.highestAllele, file.highestAllele);
  EXPECT_EQ(data.header.codeWidth, file.codeWidth);
  EXPECT_EQ(data.locusNames.size(), static_cast<size_t>(file.loci));
  const PopulationIndex index = BuildPopulationIndex(data);
  std::vector<int32_t> sizes;
  for (size_t k = 1; k < index.size(); ++k) sizes.push_back(index[k] - index[k - 1]);
  EXPECT_EQ(sizes, file.sizes);
  EXPECT_EQ(data.populationNames, file.populationNames);
  EXPECT_EQ(data.identifiers.size(), static_cast<size_t>(data.table.rows()));
  // A native file is read without a word; the others say what was read first.
  const size_t said = file.format == DataFormat::kNative ? 0 : 1;
  EXPECT_EQ(imported.notices.size(), said + file.notices)
      << ::testing::PrintToString(imported.notices);
}

// Every file reads through the automatic choice and through its own format, alike.
TEST(RealFiles, EachReadsAutomaticallyAndAsItsOwnLayout) {
  for (const RealFile& file : RealFiles()) {
    SCOPED_TRACE(file.name);
    ExpectRead(file, DataFormat::kAuto);
    ExpectRead(file, file.format);
  }
}

// Every file of another layout is refused by the other readers (the native and FSTAT
// readers both read a native file, alike), each refusal naming the --format that reads it.
TEST(RealFiles, OtherReadersRefuseAndNameTheLayoutThatReads) {
  for (const RealFile& file : RealFiles()) {
    for (const DataFormat other :
         {DataFormat::kNative, DataFormat::kGenepop, DataFormat::kGenalex, DataFormat::kFstat}) {
      if (other == file.format) continue;
      if (file.format == DataFormat::kNative && other == DataFormat::kFstat) continue;
      SCOPED_TRACE(std::string(file.name) + " as " + FormatName(other));
      const std::string error = Import(RealPath(file.name), other).error;
      const std::string tail = "; the file reads as " + FormatTitle(file.format) + " (--format " +
                               FormatName(file.format) + ")";
      ASSERT_GE(error.size(), tail.size()) << error;
      EXPECT_EQ(error.substr(error.size() - tail.size()), tail) << error;
    }
  }
}

// The genotypes are the source's: the Zostera files read as examples/zostera.txt does,
// and the two Phytophthora files, one interleaved and one with missing genotypes, agree
// cell for cell except where the FSTAT file has a one-digit 0.
TEST(RealFiles, GenotypesAreTheSourcesOwn) {
  const DataFile zostera = ReadDataFile(ExamplePath("zostera.txt").string());
  for (const RealFile& file : RealFiles()) {
    if (std::string(file.name).find("zostera") != 0) continue;
    SCOPED_TRACE(file.name);
    const testing::Imported imported = Import(RealPath(file.name));
    EXPECT_EQ(imported.data.table.cells, zostera.table.cells);
  }
  const DataFile sheet = Import(RealPath("pram_genalex_not_grouped.csv")).data;
  const DataFile fstat = Import(RealPath("pram_fstat_tab_zero.dat")).data;
  ASSERT_EQ(sheet.table.cells.size(), fstat.table.cells.size());
  int missing = 0;
  for (size_t i = 0; i < sheet.table.cells.size(); ++i) {
    if (fstat.table.cells[i] == AllelePair{}) {
      ++missing;
      EXPECT_EQ(i % 5, 1u) << i;
    } else {
      EXPECT_EQ(fstat.table.cells[i], sheet.table.cells[i]) << i;
    }
  }
  EXPECT_EQ(missing, 9);
  EXPECT_EQ(sheet.table.at(0, 0), (AllelePair{165, 168}));
}

}  // namespace
}  // namespace genosieve
