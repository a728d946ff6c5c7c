#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "analysis/randomization_tests.h"
#include "analysis/randomized_series.h"
#include "analysis/run.h"
#include "analysis/spilled_values.h"
#include "errors.h"
#include "io/working_folder.h"
#include "messages.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

namespace fs = std::filesystem;

using testing::FakeRunView;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::WriteBytes;

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

RunSettings EveryFile(const std::string& iterations) {
  RunSettings settings;
  settings.dataPath = "data.txt";
  settings.iterationsText = iterations;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.createPValueFiles = true;
  settings.writeFisValues = true;
  settings.seed = 5u;
  return settings;
}

// A Run of the data in a new folder: every file it leaves, and its error.
struct Finished {
  std::map<std::string, std::string> files;
  std::string error;
  FakeRunView view;
};

Finished RunIn(const std::string& data, const RunSettings& settings,
               const std::function<bool(int position)>& stopAt = nullptr) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", data);
  Finished finished;
  if (stopAt)
    finished.view.stopWhen = [&finished, stopAt] { return stopAt(finished.view.lastPosition); };
  try {
    genosieve::Run(settings, finished.view);
  } catch (const RunError& error) {
    finished.error = error.what();
  }
  finished.files = FolderFiles(folder.path());
  return finished;
}

// tests/data/base_runs/<case> holds a data file and every file that the program of the
// previous memory model, which kept every value of every test, left after a Run of it
// (Runs now write the clonality tables as well): seed 5, every analysis and every optional
// file but the figures, 60 iterations for aspen and 150 for the others. Four of these Runs
// end with a floating-point error.
TEST(RandomizedSeries, EveryFileIsByteForByteThatOfTheRunsBeforeWhateverTheThreads) {
  struct Case {
    std::string name;
    std::string lastCall;  // the start of the view's last call
    size_t outcomes;       // the tests reported before the error
  };
  const std::vector<Case> cases = {
      {"aspen", "message done", 11},
      {"sparse0", "test population", 7},  // in the observed evaluation of a later test
      {"sparse75", "position", 0},        // in an iteration of the overall test
      {"sparse108", "position", 2},       // in an iteration of the second locus test
      {"sparse137", "position", 3}};      // in an iteration of the first population test
  for (const Case& c : cases) {
    const fs::path expectedFolder = TestDataPath("base_runs/" + c.name);
    const std::map<std::string, std::string> expected = FolderFiles(expectedFolder);
    ASSERT_GT(expected.size(), 5u) << c.name;
    RunSettings settings = EveryFile(c.name == "aspen" ? "60" : "150");
    std::map<std::string, std::string> oneThread;
    for (int32_t threads : {1, 2, 7}) {
      SCOPED_TRACE(c.name + ", " + std::to_string(threads) + " threads");
      settings.threads = threads;
      const Finished run = RunIn(expected.at("data.txt"), settings);
      // The files those Runs wrote; the files added since (the clonality tables) are the
      // same whatever the threads.
      std::map<std::string, std::string> known;
      for (const auto& [name, bytes] : run.files) {
        if (expected.count(name) != 0) known[name] = bytes;
      }
      EXPECT_EQ(known, expected);
      if (threads == 1) oneThread = run.files;
      EXPECT_EQ(run.files, oneThread);
      EXPECT_EQ(run.error, c.name == "aspen" ? "" : kInvalidOperationMessage);
      ASSERT_FALSE(run.view.calls.empty());
      EXPECT_EQ(run.view.calls.back().rfind(c.lastCall, 0), 0u) << run.view.calls.back();
      EXPECT_EQ(run.view.outcomes.size(), c.outcomes);
    }
  }
}

// "tempmicrosat.txt" and "temp.txt" hold the tables of the last test that ran, however the
// Run ends: stopped once a test is reported, a Run leaves what a Run of the tests up to
// that one leaves.
TEST(RandomizedSeries, TheIntermediateFilesHoldTheLastTestsTablesHoweverTheRunEnds) {
  const std::string aspen = ReadBytes(testing::ExamplePath("aspen.txt"));
  const RunSettings every = EveryFile("60");
  RunSettings overallOnly = every;
  overallOnly.perLocusAnalysis = false;
  overallOnly.perPopulationAnalysis = false;
  RunSettings perLocus = every;
  perLocus.perPopulationAnalysis = false;
  RunSettings perPopulation = every;
  perPopulation.perLocusAnalysis = false;
  struct Case {
    const RunSettings* shorter;
    size_t stopAfter;  // tests reported; 0: no stop
  };
  for (const Case& c : {Case{&overallOnly, 1}, Case{&perLocus, 7}, Case{&perPopulation, 0}}) {
    const Finished shorter = RunIn(aspen, *c.shorter);
    ASSERT_EQ(shorter.error, "");
    ASSERT_TRUE(shorter.files.count("temp.txt"));
    for (int32_t threads : {1, 2}) {
      SCOPED_TRACE(std::to_string(c.stopAfter) + " tests, " + std::to_string(threads) + " threads");
      ScopedWorkingFolder folder;
      WriteBytes("data.txt", aspen);
      RunSettings settings = every;
      settings.threads = threads;
      FakeRunView view;
      if (c.stopAfter > 0) {
        view.stopWhen = [&view, &c] { return view.outcomes.size() >= c.stopAfter; };
      }
      std::string error;
      try {
        genosieve::Run(settings, view);
      } catch (const RunError& stopped) {
        error = stopped.what();
      }
      EXPECT_EQ(error, c.stopAfter > 0 ? RunStopped().what() : "");
      EXPECT_EQ(view.outcomes.size(), c.stopAfter > 0 ? c.stopAfter : 11u);
      EXPECT_EQ(ReadBytes("temp.txt"), shorter.files.at("temp.txt"));
      EXPECT_EQ(ReadBytes("tempmicrosat.txt"), shorter.files.at("tempmicrosat.txt"));
    }
  }
}

// Restores the thread starts of the system when the test ends, however it ends.
struct ThreadStartLimit {
  explicit ThreadStartLimit(int32_t starts) { LimitThreadStarts(starts); }
  ~ThreadStartLimit() { LimitThreadStarts(-1); }
};

TEST(RandomizedSeries, AThreadThatCannotStartLeavesTheRunToTheOthers) {
  const std::string data = ReadBytes(TestDataPath("base_runs/sparse108/data.txt"));
  const std::string aspen = ReadBytes(testing::ExamplePath("aspen.txt"));
  for (const std::string* set : {&aspen, &data}) {
    RunSettings settings = EveryFile("40");
    settings.threads = 1;
    const Finished alone = RunIn(*set, settings);
    ASSERT_TRUE(alone.files.count("results.txt"));
    EXPECT_TRUE(alone.view.notices.empty());
    settings.threads = 4;
    for (int32_t starts : {0, 1, 3}) {
      SCOPED_TRACE(std::to_string(starts) + " threads start");
      const ThreadStartLimit limit(starts);
      const Finished fewer = RunIn(*set, settings);
      EXPECT_EQ(fewer.files, alone.files);
      EXPECT_EQ(fewer.error, alone.error);
      EXPECT_EQ(fewer.view.calls, alone.view.calls);
      EXPECT_EQ(fewer.view.notices,
                std::vector<std::string>{messages::ThreadsNotStarted(starts, 4)});
    }
  }
  EXPECT_EQ(messages::ThreadsNotStarted(0, 2),
            "Only 0 of 2 threads could be started; the Run goes on with its own thread (the "
            "results are the same, only slower).");
}

TEST(RandomizedSeries, TheOverallTestsRunningPValueReachesTheViewAsItGoes) {
  const std::string aspen = ReadBytes(testing::ExamplePath("aspen.txt"));
  for (int32_t iterations : {7, 120, 5001}) {
    SCOPED_TRACE(iterations);
    RunSettings settings = EveryFile(std::to_string(iterations));
    settings.createPValueFiles = false;
    settings.writeFisValues = false;
    settings.perLocusAnalysis = false;
    settings.threads = 2;
    const Finished run = RunIn(aspen, settings);
    ASSERT_EQ(run.error, "");
    const FakeRunView& view = run.view;
    ASSERT_EQ(view.points.size(), static_cast<size_t>(iterations));
    // Every step-th iteration and the last, in order, each after its own progress
    // position and before the end-of-test chart.
    const int32_t step = (iterations + kRunningPValuePoints - 1) / kRunningPValuePoints;
    std::vector<RunningPValuePoint> points;
    for (const FakeRunView::RunningBatch& batch : view.running) {
      EXPECT_EQ(batch.kind, RandomizationKind::kOverall);
      EXPECT_EQ(batch.index, 1);
      ASSERT_FALSE(batch.points.empty());
      EXPECT_GE(batch.lastPosition, batch.points.back().iteration);
      EXPECT_LE(batch.points.size(), static_cast<size_t>(kRunningPValueBatch));
      points.insert(points.end(), batch.points.begin(), batch.points.end());
    }
    ASSERT_FALSE(points.empty());
    EXPECT_LE(points.size(), static_cast<size_t>(kRunningPValuePoints));
    EXPECT_EQ(points.back().iteration, iterations);
    int32_t previous = 0;
    for (const RunningPValuePoint& point : points) {
      EXPECT_TRUE(point.iteration % step == 0 || point.iteration == iterations);
      EXPECT_GT(point.iteration, previous);
      previous = point.iteration;
      // The same values as the chart's points once the test has ended.
      EXPECT_EQ(point.pValue, view.points[static_cast<size_t>(point.iteration) - 1]);
    }
    EXPECT_EQ(points.size(), static_cast<size_t>(iterations / step + (iterations % step != 0)));
  }
}

// A stop in the middle of the overall test: the view has had the running P-value of the
// iterations folded before it, the same points as a whole Run's, and no chart.
TEST(RandomizedSeries, AStoppedTestHasHandedOverOnlyTheRunningPValuesBeforeTheStop) {
  const std::string aspen = ReadBytes(testing::ExamplePath("aspen.txt"));
  RunSettings settings = EveryFile("20000");
  settings.createPValueFiles = false;
  settings.writeFisValues = false;
  settings.threads = 2;
  const Finished whole = RunIn(aspen, settings);
  ASSERT_EQ(whole.error, "");
  std::vector<RunningPValuePoint> all;
  for (const FakeRunView::RunningBatch& batch : whole.view.running) {
    all.insert(all.end(), batch.points.begin(), batch.points.end());
  }
  for (int32_t stop : {1, 499, 12345}) {
    SCOPED_TRACE(stop);
    const Finished stopped =
        RunIn(aspen, settings, [stop](int position) { return position >= stop; });
    EXPECT_EQ(stopped.error, std::string(messages::kRunInterrupted));
    EXPECT_TRUE(stopped.view.points.empty());
    EXPECT_TRUE(stopped.view.outcomes.empty());
    size_t k = 0;
    for (const FakeRunView::RunningBatch& batch : stopped.view.running) {
      for (const RunningPValuePoint& point : batch.points) {
        ASSERT_LT(k, all.size());
        EXPECT_LE(point.iteration, stop);
        EXPECT_EQ(point.iteration, all[k].iteration);
        EXPECT_EQ(point.pValue, all[k].pValue);
        ++k;
      }
    }
    // Every batch due before the stop was handed over (a batch every 500 iterations).
    EXPECT_EQ(k, static_cast<size_t>(stop / 500 * 50));
  }
}

// Many tests' values and flags, written a chunk of iterations at a time (several chunks,
// the last one short) and read back test by test.
TEST(SpilledValues, EachTestReadsBackItsOwnValuesAndFlagsInIterationOrder) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = OpenWorkingFolder(".");
  for (const auto& [values, flags] : {std::pair{true, true}, {true, false}, {false, true}}) {
    SCOPED_TRACE(std::to_string(values) + std::to_string(flags));
    const int32_t tests = 6000;
    const int32_t iterations = 2101;
    SpilledValues spill = StartSpill(here, tests, iterations, values, flags);
    ASSERT_LT(spill.chunk, iterations / 3);  // several chunks, the last one short
    ASSERT_NE(iterations % spill.chunk, 0);
    auto valueOf = [](int32_t test, int32_t i) { return test * 1e-3 - i * 0.5; };
    auto flagOf = [](int32_t test, int32_t i) { return (test * 7 + i * 3) % 5 < 2; };
    for (int32_t i = 1; i <= iterations; ++i) {
      for (int32_t test = 0; test < tests; ++test) {
        SpillRecord(spill, test, valueOf(test, i), flagOf(test, i));
      }
      EndSpilledIteration(spill);
    }
    for (int32_t test : {0, 1, 1234, tests - 1}) {
      std::vector<double> read;
      std::vector<bool> readFlags;
      ReadSpilled(spill, test, read, readFlags);
      ASSERT_EQ(read.size(), values ? size_t{iterations} : 0u);
      ASSERT_EQ(readFlags.size(), flags ? size_t{iterations} : 0u);
      for (int32_t i = 1; i <= iterations; ++i) {
        if (values) {
          ASSERT_EQ(read[size_t(i) - 1], valueOf(test, i)) << test << " " << i;
        }
        if (flags) {
          ASSERT_EQ(readFlags[size_t(i) - 1], flagOf(test, i)) << test << " " << i;
        }
      }
    }
    std::vector<double> none;
    std::vector<bool> noFlags;
    EXPECT_THROW(ReadSpilled(spill, tests, none, noFlags), InternalError);
  }
  // The scratch file has no name in the folder.
  EXPECT_TRUE(FolderFiles(folder.path()).empty());
}

}  // namespace
}  // namespace genosieve
