#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "data/data_file_reader.h"
#include "data/native_export.h"
#include "errors.h"
#include "import_fixture.h"
#include "support/current_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using testing::Import;
using testing::ImportPath;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string NativeTextOf(const std::string& path, DataFormat format = DataFormat::kAuto) {
  const testing::Imported imported = Import(path, format);
  EXPECT_EQ(imported.error, "") << path;
  return NativeDataText(imported.data, BuildPopulationIndex(imported.data));
}

// Written in the native layout, each data set is its native twin, byte for byte; the
// twins themselves come back unchanged.
TEST(NativeDataText, ImportedDataSetsGiveTheirTwinsByteForByte) {
  struct Case {
    const char* input;
    DataFormat format;
    const char* twin;
  };
  const std::vector<Case> cases = {
      {"genepop/zostera.gen", DataFormat::kAuto, "genepop/zostera_twin.txt"},
      {"genepop/pitfall_crlf.gen", DataFormat::kAuto, "genepop/zostera_twin.txt"},
      {"genalex/lakes_semicolon.csv", DataFormat::kAuto, "genalex/lakes_twin.txt"},
      {"fstat/trout.dat", DataFormat::kAuto, "fstat/trout_twin.txt"},
      {"fstat/trout_not_in_runs.dat", DataFormat::kAuto, "fstat/trout_twin.txt"},
      {"fstat/trout_short_codes.dat", DataFormat::kFstat, "fstat/trout_twin.txt"},
      {"genepop/zostera_twin.txt", DataFormat::kAuto, "genepop/zostera_twin.txt"},
      {"fstat/trout_twin.txt", DataFormat::kNative, "fstat/trout_twin.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NativeTextOf(ImportPath(c.input), c.format), ReadBytes(ImportPath(c.twin)))
        << c.input;
  }
}

TEST(NativeDataText, PopulationsAreNumberedByPositionAndAllelesPaddedToD) {
  DataFile data;
  data.header = {2, 2, 7, 2};
  data.locusNames = {"A", ""};
  data.table.loci = 2;
  data.table.population = {9, 9, 4};
  data.table.cells = {{7, 1}, {0, 0}, {1, 1}, {2, 7}, {7, 7}, {0, 0}};
  EXPECT_EQ(NativeDataText(data, {0, 2, 3}),
            "2 2 7 2\r\nA\r\n\r\n1\t0701\t0000\t\r\n1\t0101\t0207\t\r\n2\t0707\t0000\t\r\n");
  data.header.codeWidth = 1;
  data.table.cells[0].first = 10;
  EXPECT_THROW(NativeDataText(data, {0, 2, 3}), RunError);
}

std::string ExportError(const std::string& output, const std::string& input) {
  try {
    ExportNativeDataFile(CurrentFolder(), output, input, DataFormat::kAuto,
                         [](const std::string&) {});
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(ExportNativeDataFile, WritesTheWholeFileAndTellsWhatWasRead) {
  ScopedWorkingFolder folder;
  fs::copy_file(ImportPath("genalex/lakes_comma.csv"), "lakes.csv");
  WriteBytes("old.txt", std::string(10000, 'x'));
  std::vector<std::string> notices;
  ExportNativeDataFile(CurrentFolder(), "old.txt", "lakes.csv", DataFormat::kAuto,
                       [&notices](const std::string& text) { notices.push_back(text); });
  EXPECT_EQ(ReadBytes("old.txt"), ReadBytes(ImportPath("genalex/lakes_twin.txt")));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0],
            "Data file \"lakes.csv\": read as GenAlEx (2 populations, 4 loci, 11 individuals; A = "
            "87, D = 2)");
  // An ordinary new file, and no temporary file left beside it.
  struct stat status {};
  ASSERT_EQ(::stat("old.txt", &status), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(Entries(folder.path()), (std::vector<std::string>{"lakes.csv", "old.txt"}));
}

TEST(ExportNativeDataFile, NeverOverwritesTheInputNorWritesThroughALink) {
  ScopedWorkingFolder folder;
  fs::copy_file(ImportPath("genepop/zostera.gen"), "z.gen");
  const std::string original = ReadBytes("z.gen");
  fs::create_hard_link("z.gen", "hard.gen");
  fs::create_symlink("z.gen", "link.txt");
  fs::create_symlink("elsewhere.txt", "dangling.txt");
  fs::create_directory("folder");
  ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);

  for (const std::string name : {"z.gen", "./z.gen", "hard.gen", "link.txt"}) {
    EXPECT_EQ(ExportError(name, "z.gen"),
              "Output file \"" + name + "\": is the data file being read; choose another name");
  }
  EXPECT_EQ(ExportError("folder", "z.gen"),
            "Output file \"folder\": the name is that of a folder, not of a file");
  EXPECT_EQ(ExportError("pipe.txt", "z.gen"), "Acc\xC3\xA8s au fichier refus\xC3\xA9");
  EXPECT_EQ(ExportError("", "z.gen"), "Output file \"\": the name is empty");
  EXPECT_EQ(ExportError("no_such_folder/out.txt", "z.gen"),
            "Output file \"no_such_folder/out.txt\": the folder \"no_such_folder\" does not exist");
  EXPECT_EQ(ReadBytes("z.gen"), original);
  EXPECT_TRUE(fs::is_empty("folder"));
  // A link to another file is neither written through nor replaced: it may be the
  // system's own (/dev/stdout).
  EXPECT_EQ(ExportError("dangling.txt", "z.gen"), "Acc\xC3\xA8s au fichier refus\xC3\xA9");
  EXPECT_FALSE(fs::exists("elsewhere.txt"));
  EXPECT_TRUE(fs::is_symlink("dangling.txt"));
  EXPECT_EQ(ReadBytes("z.gen"), original);
}

TEST(ExportNativeDataFile, AFileThatCannotBeReadWritesNothing) {
  ScopedWorkingFolder folder;
  fs::copy_file(ImportPath("genepop/haploid.gen"), "h.gen");
  WriteBytes("out.txt", "kept");
  EXPECT_EQ(ExportError("out.txt", "h.gen"),
            "Data file \"h.gen\", line 5, locus 1: '120' is a haploid genotype (one allele of 3 "
            "digits); the program analyses diploid data: each genotype holds two alleles, 4 or 6 "
            "digits");
  EXPECT_EQ(ExportError("new.txt", "missing.gen"), "Fichier introuvable");
  EXPECT_EQ(ReadBytes("out.txt"), "kept");
  EXPECT_EQ(Entries(folder.path()), (std::vector<std::string>{"h.gen", "out.txt"}));
}

}  // namespace
}  // namespace genosieve
