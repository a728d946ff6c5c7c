// Runs on data sets in other programs' layouts give the same files as Runs on their
// native twins, and a data set exported to the native layout runs the same again.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "analysis/run.h"
#include "data/native_export.h"
#include "errors.h"
#include "support/current_folder.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"

namespace genosieve {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;

struct RunOutcome {
  std::map<std::string, std::string> files;  // every file the Run wrote, by name
  std::vector<std::string> notices;
  std::vector<std::string> messages;
};

// A seeded Run with every analysis and p-value file on, in a folder of its own under the
// current one; the data file is read where it stands.
RunOutcome RunIn(const std::string& folder, const std::string& dataPath,
                 DataFormat format = DataFormat::kAuto) {
  const fs::path here = fs::current_path();
  fs::create_directory(folder);
  fs::current_path(folder);
  RunSettings settings;
  settings.dataPath = fs::absolute(here / dataPath).string();
  settings.format = format;
  settings.iterationsText = "25";
  settings.resultName = "res.txt";
  settings.createPValueFiles = true;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.seed = 2024u;
  testing::FakeRunView view;
  view.recordCalls = false;
  RunOutcome outcome;
  try {
    Run(settings, view);
  } catch (const RunError& error) {
    ADD_FAILURE() << dataPath << ": " << error.what();
  }
  fs::current_path(here);
  for (const auto& entry : fs::directory_iterator(folder)) {
    outcome.files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  outcome.notices = view.notices;
  outcome.messages = view.messages;
  return outcome;
}

// Every file but the clone members, whose identifiers depend on the layout, and the
// summary, clonality and psex tables, which name the populations as the layout does.
void ExpectSameFiles(RunOutcome a, RunOutcome b) {
  a.files.erase("Clonemembers_res.txt");
  b.files.erase("Clonemembers_res.txt");
  EXPECT_EQ(testing::SummaryWithoutPopulationNames(a.files["Summary_res.tsv"]),
            testing::SummaryWithoutPopulationNames(b.files["Summary_res.tsv"]));
  a.files.erase("Summary_res.tsv");
  b.files.erase("Summary_res.tsv");
  for (const char* table : {"Clonality_res.tsv", "Psex_res.tsv"}) {
    EXPECT_EQ(testing::WithColumnCleared(a.files[table], 1),
              testing::WithColumnCleared(b.files[table], 1))
        << table;
    a.files.erase(table);
    b.files.erase(table);
  }
  // tempmicrosat.txt, temp.txt, the clone report, the clone-free file, the results file
  // and 1 + 3 + 3 p-value files (or, for two populations and four loci, 1 + 4 + 2).
  EXPECT_EQ(a.files.size(), 12u);
  EXPECT_EQ(a.files, b.files);
}

struct TwinCase {
  const char* input;
  const char* twin;
  const char* members;  // expected clone members file of the Run on the input
};

const std::vector<TwinCase>& TwinCases() {
  static const std::vector<TwinCase> cases = {
      {"genepop/zostera.gen", "genepop/zostera_twin.txt", "genepop/zostera_clonemembers.txt"},
      {"genalex/lakes_semicolon.csv", "genalex/lakes_twin.txt", "genalex/lakes_clonemembers.txt"},
      {"fstat/trout.dat", "fstat/trout_twin.txt", "fstat/trout_clonemembers.txt"},
  };
  return cases;
}

TEST(ImportRuns, EachLayoutRunsLikeItsNativeTwin) {
  for (const TwinCase& c : TwinCases()) {
    SCOPED_TRACE(c.input);
    ScopedWorkingFolder folder;
    fs::copy_file(TestDataPath(std::string("import/") + c.input), "data");
    fs::copy_file(TestDataPath(std::string("import/") + c.twin), "twin.txt");
    const RunOutcome imported = RunIn("imported", "data");
    const RunOutcome native = RunIn("native", "twin.txt");
    EXPECT_EQ(imported.messages, std::vector<std::string>{"done ! "});
    EXPECT_EQ(native.notices, std::vector<std::string>{});
    ASSERT_FALSE(imported.notices.empty());
    EXPECT_NE(imported.notices[0].find("\": read as "), std::string::npos);
    ExpectSameFiles(imported, native);
    // The clone members name the clone-mates: by identifier, or by line in the data file.
    EXPECT_EQ(imported.files.at("Clonemembers_res.txt"),
              ReadBytes(TestDataPath(std::string("import/") + c.members)));
  }
}

TEST(ImportRuns, ExportedDataRunTheSameAsTheImport) {
  for (const TwinCase& c : TwinCases()) {
    SCOPED_TRACE(c.input);
    ScopedWorkingFolder folder;
    fs::copy_file(TestDataPath(std::string("import/") + c.input), "data");
    ExportNativeDataFile(CurrentFolder(), "exported.txt", "data", DataFormat::kAuto,
                         [](const std::string&) {});
    const RunOutcome imported = RunIn("imported", "data");
    const RunOutcome again = RunIn("again", "exported.txt", DataFormat::kNative);
    ExpectSameFiles(imported, again);
  }
}

}  // namespace
}  // namespace genosieve
