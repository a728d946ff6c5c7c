#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/run_files.h"
#include "errors.h"
#include "messages.h"
#include "support/current_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::vector<std::string> Names(const std::vector<RunOutput>& outputs) {
  std::vector<std::string> names;
  for (const RunOutput& output : outputs) names.push_back(output.name);
  return names;
}

RunSettings SettingsFor(const std::string& resultName, bool pValueFiles) {
  RunSettings settings;
  settings.resultName = resultName;
  settings.createPValueFiles = pValueFiles;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  return settings;
}

// The check's message, or "" when the outputs are accepted.
std::string CheckError(const std::string& dataPath, const RunSettings& settings,
                       int32_t iterations = 10) {
  try {
    CheckRunOutputs(CurrentFolder(), dataPath, settings.resultName,
                    RunOutputs(settings, 2, 3, iterations));
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(RunOutputs, EveryFileTheSettingsAskFor) {
  RunSettings settings = SettingsFor("res/a.txt", true);
  EXPECT_EQ(Names(RunOutputs(settings, 2, 3, 10)),
            (std::vector<std::string>{
                "res/a.txt", "Clones_res/a.txt", "Clonemembers_res/a.txt",
                "Withoutrepeats_res/a.txt", "overall p-values_res/a.txt",
                "Locus1p-values_res/a.txt", "Locus2p-values_res/a.txt", "Locus3p-values_res/a.txt",
                "Pop1p-values_res/a.txt", "Pop2p-values_res/a.txt", "Summary_res/a.tsv",
                "Clonality_res/a.tsv", "Psex_res/a.tsv", "tempmicrosat.txt", "temp.txt"}));
  settings.perLocusAnalysis = false;
  EXPECT_EQ(Names(RunOutputs(settings, 2, 3, 10)),
            (std::vector<std::string>{"res/a.txt", "Clones_res/a.txt", "Clonemembers_res/a.txt",
                                      "Withoutrepeats_res/a.txt", "overall p-values_res/a.txt",
                                      "Pop1p-values_res/a.txt", "Pop2p-values_res/a.txt",
                                      "Summary_res/a.tsv", "Clonality_res/a.tsv", "Psex_res/a.tsv",
                                      "tempmicrosat.txt", "temp.txt"}));
  // Without p-value files and without iterations: no p-value file and no "temp.txt".
  EXPECT_EQ(
      Names(RunOutputs(SettingsFor("results.txt", false), 2, 3, 0)),
      (std::vector<std::string>{"results.txt", "Clones_results.txt", "Clonemembers_results.txt",
                                "Withoutrepeats_results.txt", "Summary_results.tsv",
                                "Clonality_results.tsv", "Psex_results.tsv", "tempmicrosat.txt"}));
  // The table of randomized values and the figures, when asked for.
  RunSettings tables = SettingsFor("out.txt", false);
  tables.perPopulationAnalysis = false;
  tables.writeFisValues = true;
  tables.drawFigures = true;
  EXPECT_EQ(Names(RunOutputs(tables, 2, 3, 0)),
            (std::vector<std::string>{
                "out.txt", "Clones_out.txt", "Clonemembers_out.txt", "Withoutrepeats_out.txt",
                "Summary_out.tsv", "Clonality_out.tsv", "Psex_out.tsv", "Fisvalues_out.tsv",
                "Fis_distribution_out.svg", "Fis_distribution_out.png", "Running_pvalue_out.svg",
                "Running_pvalue_out.png", "Locus_fis_out.svg", "Locus_fis_out.png",
                "Clone_sizes_out.svg", "Clone_sizes_out.png", "tempmicrosat.txt"}));
}

TEST(RunOutputs, AResultNameThatMakesTwoOutputsOneFileIsRefused) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", "data");
  std::filesystem::create_directory("sub");
  const auto coincide = [](const std::string& r, const std::string& first,
                           const std::string& second) {
    return "Result name \"" + r + "\": the " + first + " and the " + second +
           " would be one and the same file; choose another result name";
  };
  EXPECT_EQ(
      CheckError("data.txt", SettingsFor("temp.txt", false)),
      coincide("temp.txt", "results file \"temp.txt\"", "intermediate genotype file \"temp.txt\""));
  EXPECT_EQ(CheckError("data.txt", SettingsFor("tempmicrosat.txt", false)),
            coincide("tempmicrosat.txt", "results file \"tempmicrosat.txt\"",
                     "intermediate genotype file \"tempmicrosat.txt\""));
  EXPECT_EQ(CheckError("data.txt", SettingsFor(".genosieve.lock", false)),
            coincide(".genosieve.lock", "lock file \".genosieve.lock\"",
                     "results file \".genosieve.lock\""));
  // The same place, however the name is written (the folders the derived names need
  // exist).
  for (const char* made : {"Clones_.", "Clonemembers_.", "Withoutrepeats_.", "Summary_.",
                           "Clonality_.", "Psex_.", "Clones_sub", "Clonemembers_sub",
                           "Withoutrepeats_sub", "Summary_sub", "Clonality_sub", "Psex_sub"}) {
    std::filesystem::create_directory(made);
  }
  EXPECT_EQ(CheckError("data.txt", SettingsFor("./temp.txt", false)),
            coincide("./temp.txt", "results file \"./temp.txt\"",
                     "intermediate genotype file \"temp.txt\""));
  // Here even the prefixed names lead back to the same folder and name.
  EXPECT_EQ(CheckError("data.txt", SettingsFor("sub/../temp.txt", false)),
            coincide("sub/../temp.txt", "results file \"sub/../temp.txt\"",
                     "clone report \"Clones_sub/../temp.txt\""));
  // Without iterations the Run never writes "temp.txt".
  EXPECT_EQ(CheckError("data.txt", SettingsFor("temp.txt", false), 0), "");
  std::filesystem::create_directory("res");
  EXPECT_EQ(CheckError("data.txt", SettingsFor("res/a.txt", false)),
            "Output file \"Clones_res/a.txt\": the folder \"Clones_res\" does not exist");
  EXPECT_EQ(CheckError("data.txt", SettingsFor("results.txt", true)), "");
  // Nothing was written.
  EXPECT_FALSE(std::filesystem::exists("temp.txt"));
  EXPECT_FALSE(std::filesystem::exists("results.txt"));
}

TEST(RunOutputs, ADataFileThatIsAnOutputIsRefused) {
  ScopedWorkingFolder folder;
  const std::string data = "the user's only copy of the data";
  const auto isOutput = [](const std::string& path, const std::string& output) {
    return "Data file \"" + path + "\": it is also the " + output +
           ", which the Run writes; rename the data file, or choose another result name or "
           "working folder";
  };
  const RunSettings defaults = SettingsFor("results.txt", true);
  WriteBytes("temp.txt", data);
  EXPECT_EQ(CheckError("temp.txt", defaults),
            isOutput("temp.txt", "intermediate genotype file \"temp.txt\""));
  std::filesystem::rename("temp.txt", "results.txt");
  EXPECT_EQ(CheckError("results.txt", defaults),
            isOutput("results.txt", "results file \"results.txt\""));
  std::filesystem::rename("results.txt", "Withoutrepeats_results.txt");
  EXPECT_EQ(CheckError("Withoutrepeats_results.txt", defaults),
            isOutput("Withoutrepeats_results.txt",
                     "clone-free data file \"Withoutrepeats_results.txt\""));
  // The same file under another name: a hard link, or a link either way.
  std::filesystem::rename("Withoutrepeats_results.txt", "data.txt");
  std::filesystem::create_hard_link("data.txt", "Pop2p-values_results.txt");
  EXPECT_EQ(CheckError("data.txt", defaults),
            isOutput("data.txt", "p-value file of population 2 \"Pop2p-values_results.txt\""));
  std::filesystem::remove("Pop2p-values_results.txt");
  std::filesystem::create_symlink("data.txt", "Clones_results.txt");
  EXPECT_EQ(CheckError("data.txt", defaults),
            isOutput("data.txt", "clone report \"Clones_results.txt\""));
  std::filesystem::remove("Clones_results.txt");
  std::filesystem::create_directory("in");
  std::filesystem::create_symlink("../tempmicrosat.txt", "in/data.txt");
  std::filesystem::rename("data.txt", "tempmicrosat.txt");
  EXPECT_EQ(CheckError("in/data.txt", defaults),
            isOutput("in/data.txt", "intermediate genotype file \"tempmicrosat.txt\""));
  EXPECT_EQ(ReadBytes("tempmicrosat.txt"), data);
  // A copy is another file.
  std::filesystem::copy_file("tempmicrosat.txt", "copy.txt");
  std::filesystem::remove("tempmicrosat.txt");
  EXPECT_EQ(CheckError("copy.txt", defaults), "");
}

TEST(RunOutputs, AnOutputNameThatIsNotAFileIsRefused) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", "data");
  ASSERT_EQ(::mkfifo("Locus3p-values_results.txt", 0600), 0);
  EXPECT_EQ(CheckError("data.txt", SettingsFor("results.txt", true)),
            IoErrorMessage(kIoAccessDenied));
  EXPECT_EQ(CheckError("data.txt", SettingsFor("results.txt", false)), "");
  std::filesystem::create_directory("Clones_r.txt");
  EXPECT_EQ(CheckError("data.txt", SettingsFor("r.txt", false)),
            "Output file \"Clones_r.txt\": the name is that of a folder, not of a file");
}

}  // namespace
}  // namespace genosieve
