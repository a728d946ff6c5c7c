#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/run.h"
#include "errors.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

namespace fs = std::filesystem;

using testing::FakeRunView;
using testing::LinesOf;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

const std::string kData =
    "2 3 140 3\r\nLocA\r\nLocB\r\nLocC\r\n"
    "1\t120124\t130132\t101102\t\r\n1\t120124\t130132\t101102\t\r\n"
    "1\t124124\t132132\t102102\t\r\n1\t120120\t130132\t101101\t\r\n"
    "2\t120120\t130130\t101102\t\r\n2\t124120\t132132\t102102\t\r\n"
    "2\t120124\t132130\t101102\t\r\n2\t120124\t132130\t101102\t\r\n";

RunSettings EveryAnalysis(const std::string& dataPath, const std::string& workingFolder) {
  RunSettings settings;
  settings.dataPath = dataPath;
  settings.workingFolder = workingFolder;
  settings.iterationsText = "20";
  settings.createPValueFiles = true;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.seed = 3;
  return settings;
}

std::vector<std::pair<std::string, std::string>> Contents(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.emplace_back(entry.path().filename().string(), ReadBytes(entry.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Whether the calls show that a test of `kind` number `index` has started, as in
// "test locus 2/3 LocB".
bool Started(const FakeRunView& view, const std::string& kind, int index) {
  const std::string prefix = "test " + kind + " " + std::to_string(index) + "/";
  return std::any_of(view.calls.begin(), view.calls.end(),
                     [&](const std::string& call) { return call.starts_with(prefix); });
}

std::string RunFailure(const RunSettings& settings, FakeRunView& view) {
  try {
    genosieve::Run(settings, view);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(RunFolder, EveryFileGoesToTheWorkingFolderAndTheDataPathIsUsedAsGiven) {
  ScopedWorkingFolder folder;
  fs::create_directories("in");
  fs::create_directories("out");
  fs::create_directories("here");
  WriteBytes("in/data.txt", kData);
  FakeRunView view;
  genosieve::Run(EveryAnalysis("in/data.txt", "out"), view);
  EXPECT_TRUE(view.Done());
  EXPECT_EQ(Names("."), (std::vector<std::string>{"here", "in", "out"}));
  EXPECT_EQ(Names("in"), std::vector<std::string>{"data.txt"});

  // The same Run in the current folder writes the same files.
  fs::current_path("here");
  FakeRunView again;
  genosieve::Run(EveryAnalysis("../in/data.txt", "."), again);
  fs::current_path(folder.path());
  EXPECT_EQ(Contents("out"), Contents("here"));
  EXPECT_EQ(Names("out").size(), 15u);
}

TEST(RunFolder, ASecondRunInTheSameFolderIsRefusedWhileTheFirstGoesOn) {
  ScopedWorkingFolder folder;
  for (const char* made : {"shared", "solo", "other"}) fs::create_directories(made);
  WriteBytes("data.txt", kData);
  std::vector<std::string> refusals;
  std::string elsewhere = "not run";
  FakeRunView view;
  view.atPosition = [&](int position) {
    if (position != 2 || !refusals.empty()) return;
    // In the middle of the first Run's overall test, the folder by two of its names.
    for (const std::string& name : {std::string("shared"), (folder.path() / "shared").string()}) {
      RunSettings second = EveryAnalysis("data.txt", name);
      second.resultName = "second.txt";
      FakeRunView secondView;
      refusals.push_back(RunFailure(second, secondView));
    }
    FakeRunView otherView;
    elsewhere = RunFailure(EveryAnalysis("data.txt", "other"), otherView);
  };
  genosieve::Run(EveryAnalysis("data.txt", "shared"), view);
  EXPECT_TRUE(view.Done());
  const std::string inUse = "Working folder \"" + (folder.path() / "shared").string() +
                            "\": another Run is working in this folder; wait until it ends, or "
                            "choose another folder";
  EXPECT_EQ(refusals, (std::vector<std::string>{inUse, inUse}));
  EXPECT_EQ(elsewhere, "");
  EXPECT_FALSE(fs::exists("shared/second.txt"));

  FakeRunView soloView;
  genosieve::Run(EveryAnalysis("data.txt", "solo"), soloView);
  EXPECT_EQ(Contents("shared"), Contents("solo"));
  EXPECT_EQ(Contents("other"), Contents("solo"));
}

TEST(RunFolder, AStopDuringThePerLocusTestsKeepsTheFinishedSectionsAndSaysSo) {
  ScopedWorkingFolder folder;
  fs::create_directories("solo");
  fs::create_directories("stopped");
  WriteBytes("data.txt", kData);
  FakeRunView soloView;
  genosieve::Run(EveryAnalysis("data.txt", "solo"), soloView);
  const std::string solo = ReadBytes("solo/results.txt");

  WriteBytes("stopped/results.txt", "the previous Run's results\r\n");
  // A p-value file of an earlier Run that this one does not reach stays as it was.
  WriteBytes("stopped/Locus3p-values_results.txt", "an earlier Run's p-values\r\n");
  FakeRunView view;
  view.stopWhen = [&view] {
    return Started(view, "locus", 2) && view.calls.back() == "position 7";
  };
  try {
    genosieve::Run(EveryAnalysis("data.txt", "stopped"), view);
    FAIL() << "the Run did not stop";
  } catch (const RunStopped& stop) {
    EXPECT_STREQ(stop.what(), "Run interrupted");
  }
  EXPECT_FALSE(view.Done());
  // The overall section and the first locus's (lines 1 to 12), then the last line.
  EXPECT_EQ(ReadBytes("stopped/results.txt"), LinesOf(solo, 1, 12) + "Run interrupted\r\n");
  EXPECT_EQ(ReadBytes("stopped/Locus1p-values_results.txt"),
            ReadBytes("solo/Locus1p-values_results.txt"));
  EXPECT_FALSE(fs::exists("stopped/Locus2p-values_results.txt"));
  EXPECT_EQ(ReadBytes("stopped/Locus3p-values_results.txt"), "an earlier Run's p-values\r\n");
  EXPECT_EQ(Names("stopped"),
            (std::vector<std::string>{
                "Clonality_results.tsv", "Clonemembers_results.txt", "Clones_results.txt",
                "Locus1p-values_results.txt", "Locus3p-values_results.txt", "Psex_results.tsv",
                "Summary_results.tsv", "Withoutrepeats_results.txt", "overall p-values_results.txt",
                "results.txt", "temp.txt", "tempmicrosat.txt"}));
  // The summary holds the tests that finished: the overall test and the first locus.
  EXPECT_EQ(LinesOf(ReadBytes("stopped/Summary_results.tsv"), 1, 3),
            ReadBytes("stopped/Summary_results.tsv"));
  EXPECT_EQ(LinesOf(ReadBytes("stopped/Summary_results.tsv"), 1, 3),
            LinesOf(ReadBytes("solo/Summary_results.tsv"), 1, 3));
}

TEST(RunFolder, AStopBeforeTheResultsFileKeepsThePreviousOne) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kData);
  WriteBytes("results.txt", "the previous Run's results\r\n");
  FakeRunView view;
  view.stopWhen = [&view] { return !view.calls.empty() && view.calls.back() == "position 3"; };
  EXPECT_THROW(genosieve::Run(EveryAnalysis("data.txt", "."), view), RunStopped);
  EXPECT_EQ(ReadBytes("results.txt"), "the previous Run's results\r\n");
  EXPECT_EQ(Names("."), (std::vector<std::string>{"Clonality_results.tsv",
                                                  "Clonemembers_results.txt", "Clones_results.txt",
                                                  "Psex_results.tsv", "Withoutrepeats_results.txt",
                                                  "data.txt", "results.txt", "tempmicrosat.txt"}));

  // Asked at once: the Run stops before it writes anything.
  FakeRunView atOnce;
  atOnce.stopWhen = [] { return true; };
  fs::create_directories("fresh");
  EXPECT_THROW(genosieve::Run(EveryAnalysis("data.txt", "fresh"), atOnce), RunStopped);
  EXPECT_TRUE(Names("fresh").empty());
}

TEST(RunFolder, AWorkingFolderThatCannotBeUsedEndsTheRunBeforeAnythingIsWritten) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kData);
  const std::string at = "Working folder \"" + folder.path().string();
  FakeRunView view;
  EXPECT_EQ(RunFailure(EveryAnalysis("data.txt", ""), view),
            "Working folder \"\": the name is empty");
  EXPECT_EQ(RunFailure(EveryAnalysis("data.txt", "missing"), view),
            at + "/missing\": no such folder");
  EXPECT_EQ(RunFailure(EveryAnalysis("data.txt", "data.txt"), view),
            at + "/data.txt\": not a folder");
  RunSettings empty = EveryAnalysis("data.txt", ".");
  empty.resultName = "";
  EXPECT_EQ(RunFailure(empty, view), "Output file \"\": the name is empty");
  EXPECT_EQ(Names("."), std::vector<std::string>{"data.txt"});
}

}  // namespace
}  // namespace genosieve
