// Replays the inputs that made a fuzz target fail, through the same checks the targets
// make (fuzz/fuzz_checks.h). Run them under the sanitizer build (the debug-asan preset)
// too: some failures were undefined behaviour that only a sanitizer reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_checks.h"
#include "support/test_files.h"

namespace {

using genosieve::testing::ReadBytes;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::TestDataPath;

std::vector<std::filesystem::path> Inputs(const std::string& target) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("fuzz/" + target))) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzRegressions, GenotypeFileLoaderInputs) {
  const std::vector<std::filesystem::path> files = Inputs("fuzz_genotype_file_loader");
  ASSERT_FALSE(files.empty());
  genosieve::EngineWorkspace reused;
  for (const auto& file : files) {
    EXPECT_EQ(genosieve::fuzz::CheckGenotypeFile(ReadBytes(file), reused), "") << file;
  }
}

TEST(FuzzRegressions, DataFileReaderInputs) {
  const std::vector<std::filesystem::path> files = Inputs("fuzz_data_file_reader");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    ScopedWorkingFolder folder;
    EXPECT_EQ(genosieve::fuzz::CheckDataFileRun(file.string()), "") << file;
  }
}

// The readers' checks on their seeds (the literal files of the tests, the real-file
// corpus and fuzz/corpus/) and on any input that once made their targets fail.
TEST(FuzzRegressions, ReaderInputs) {
  struct Target {
    std::string name;
    std::string dataFolder;
    genosieve::DataFormat format;
  };
  const std::vector<Target> targets = {
      {"fuzz_genepop_reader", "genepop", genosieve::DataFormat::kGenepop},
      {"fuzz_genalex_reader", "genalex", genosieve::DataFormat::kGenalex},
      {"fuzz_fstat_reader", "fstat", genosieve::DataFormat::kFstat},
  };
  for (const Target& target : targets) {
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::path& folder :
         {TestDataPath("import/" + target.dataFolder), TestDataPath("real"),
          TestDataPath("fuzz/" + target.name),
          std::filesystem::path(GENOSIEVE_FUZZ_CORPUS_DIR) / target.name}) {
      if (!std::filesystem::is_directory(folder)) continue;
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    }
    EXPECT_GT(files.size(), 5u) << target.name;
    ScopedWorkingFolder folder;
    for (const auto& file : files) {
      EXPECT_EQ(genosieve::fuzz::CheckReader(target.format, ReadBytes(file)), "") << file;
    }
  }
}

}  // namespace
