// The files a view draws of a Run's finished tests (the command line's figures): asked
// for once, written with the Run's outputs, whether the Run ends, is stopped or fails,
// and a stop while they are drawn ends the Run with those drawn until then.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analysis/outcome_files.h"
#include "analysis/run.h"
#include "errors.h"
#include "messages.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

namespace fs = std::filesystem;
using testing::FakeRunView;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

// Two loci and three populations; the third population carries one genotype only, so
// that its test ends the Run with a floating-point failure after the overall test, both
// locus tests and two population tests have finished.
const std::string kThirdPopulationFails =
    "3 2 300 3\r\nLocA\r\nLocB\r\n"
    "1\t100102\t200202\r\n1\t102102\t200200\r\n1\t100100\t202202\r\n1\t100102\t200202\r\n"
    "2\t100102\t200204\r\n2\t102104\t204200\r\n2\t100100\t202202\r\n2\t104104\t200202\r\n"
    "3\t100100\t200200\r\n3\t100100\t200200\r\n3\t100100\t200200\r\n";

// A view that "draws" each file the Run may ask for as the number of tests finished, and
// keeps what the Run asked.
struct DrawingView : FakeRunView {
  std::string resultName = "results.txt";
  bool perLocus = true;
  bool perPopulation = true;
  std::vector<size_t> askedAfter;           // the tests finished at each request
  std::vector<bool> stopAnswers;            // what the Run's stop poll answered, per file
  std::function<void(size_t file)> atFile;  // called before each file is drawn

  std::vector<ViewFile> FilesToWrite(const std::function<bool()>& stopRequested) override {
    askedAfter.push_back(outcomes.size());
    std::vector<ViewFile> files;
    const std::vector<std::string> names = FigureFileNames(resultName, perLocus, perPopulation);
    for (size_t k = 0; k < names.size(); ++k) {
      if (atFile) atFile(k);
      stopAnswers.push_back(stopRequested());
      if (stopAnswers.back()) break;
      files.push_back({names[k], "figure of " + std::to_string(outcomes.size()) + " tests"});
    }
    return files;
  }
};

RunSettings Settings(const std::string& data, int iterations) {
  RunSettings settings;
  settings.dataPath = data;
  settings.iterationsText = std::to_string(iterations);
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.drawFigures = true;
  settings.seed = 4;
  return settings;
}

// How the Run ended: "" when with "done ! ", else its failure's message.
std::string Ending(const RunSettings& settings, FakeRunView& view) {
  try {
    Run(settings, view);
  } catch (const RunError& error) {
    return error.what();
  }
  return view.Done() ? "" : "no ending";
}

std::vector<std::string> FiguresIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const std::string& name : FigureFileNames("results.txt", true, true)) {
    if (fs::exists(folder / name)) names.push_back(name);
  }
  return names;
}

const std::vector<std::string> kAllFigures = FigureFileNames("results.txt", true, true);

TEST(RunViewFiles, AskedOnceAfterTheLastTestAndWrittenWithTheOutputs) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", ReadBytes(testing::ExamplePath("aspen.txt")));
  DrawingView view;
  EXPECT_EQ(Ending(Settings("data.txt", 5), view), "");
  EXPECT_EQ(view.askedAfter, std::vector<size_t>{1 + 6 + 4});
  EXPECT_EQ(view.stopAnswers, std::vector<bool>(kAllFigures.size(), false));
  EXPECT_EQ(FiguresIn(folder.path()), kAllFigures);
  EXPECT_EQ(ReadBytes("Locus_fis_results.svg"), "figure of 11 tests");

  // Without figures asked for, the view is not asked.
  RunSettings plain = Settings("data.txt", 5);
  plain.drawFigures = false;
  DrawingView quiet;
  EXPECT_EQ(Ending(plain, quiet), "");
  EXPECT_TRUE(quiet.askedAfter.empty());
}

TEST(RunViewFiles, AStoppedRunWritesTheFiguresOfItsFinishedTests) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", ReadBytes(testing::ExamplePath("aspen.txt")));
  DrawingView view;
  // A stop once three tests have finished: the overall test and two loci.
  view.stopWhen = [&view] { return view.outcomes.size() >= 3; };
  EXPECT_EQ(Ending(Settings("data.txt", 5), view), std::string(messages::kRunInterrupted));
  EXPECT_EQ(view.askedAfter, std::vector<size_t>{3});
  // The stop that ended the tests does not end their drawing.
  EXPECT_EQ(view.stopAnswers, std::vector<bool>(kAllFigures.size(), false));
  EXPECT_EQ(ReadBytes("Fis_distribution_results.png"), "figure of 3 tests");
  EXPECT_EQ(FiguresIn(folder.path()), kAllFigures);
  EXPECT_TRUE(ReadBytes("results.txt").ends_with("Run interrupted\r\n"));
}

TEST(RunViewFiles, AFailedRunWritesTheFiguresOfItsFinishedTestsAndReportsItsOwnFailure) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kThirdPopulationFails);
  DrawingView view;
  EXPECT_EQ(Ending(Settings("data.txt", 6), view), kInvalidOperationMessage);
  EXPECT_EQ(view.askedAfter, std::vector<size_t>{5});
  EXPECT_EQ(FiguresIn(folder.path()), kAllFigures);
  EXPECT_EQ(ReadBytes("Population_fis_results.svg"), "figure of 5 tests");

  // Figures that cannot be written leave the failure as the Run's own.
  DrawingView unlisted;
  unlisted.resultName = "elsewhere.txt";  // names the Run does not list
  RunSettings settings = Settings("data.txt", 6);
  settings.resultName = "second.txt";
  EXPECT_EQ(Ending(settings, unlisted), kInvalidOperationMessage);
  EXPECT_EQ(unlisted.askedAfter, std::vector<size_t>{5});
  EXPECT_FALSE(fs::exists("Fis_distribution_elsewhere.svg"));
  EXPECT_FALSE(fs::exists("Fis_distribution_second.svg"));
}

TEST(RunViewFiles, AStopWhileDrawingEndsTheRunWithTheFiguresDrawnUntilThen) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", ReadBytes(testing::ExamplePath("aspen.txt")));
  DrawingView view;
  bool stop = false;
  view.stopWhen = [&stop] { return stop; };
  view.atFile = [&stop](size_t file) { stop = stop || file == 3; };
  EXPECT_EQ(Ending(Settings("data.txt", 5), view), std::string(messages::kRunInterrupted));
  EXPECT_EQ(view.stopAnswers, (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(FiguresIn(folder.path()),
            std::vector<std::string>(kAllFigures.begin(), kAllFigures.begin() + 3));
  // Every test had finished: the results file holds them all, and says the Run stopped.
  const std::string results = ReadBytes("results.txt");
  EXPECT_NE(results.find("Population: 4"), std::string::npos);
  EXPECT_TRUE(results.ends_with("Run interrupted\r\n"));
  EXPECT_FALSE(view.Done());

  // After a failure, a stop ends the drawing too, and the failure is what the Run reports.
  WriteBytes("failed.txt", kThirdPopulationFails);
  DrawingView failing;
  bool failingStop = false;
  failing.stopWhen = [&failingStop] { return failingStop; };
  failing.atFile = [&failingStop](size_t file) { failingStop = failingStop || file == 1; };
  RunSettings settings = Settings("failed.txt", 6);
  settings.resultName = "failed.txt.out";
  failing.resultName = settings.resultName;
  EXPECT_EQ(Ending(settings, failing), kInvalidOperationMessage);
  EXPECT_EQ(failing.stopAnswers, (std::vector<bool>{false, true}));
  EXPECT_TRUE(fs::exists("Fis_distribution_failed.txt.svg"));
  EXPECT_FALSE(fs::exists("Fis_distribution_failed.txt.png"));
}

}  // namespace
}  // namespace genosieve
