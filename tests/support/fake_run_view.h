#pragma once

// The run view of the tests, benchmarks and fuzz targets: it records what a Run reports.

#include <functional>
#include <string>
#include <vector>

#include "analysis/run_view.h"

namespace genosieve::testing {

struct FakeRunView : RunView {
  // One text per call ("range 0 4", "position 1", "test locus 2/3 Loc2", "clear",
  // "points 3", "point", "show", "message done ! "), kept only while recordCalls is on:
  // a benchmark making many Runs turns it off.
  bool recordCalls = true;
  std::vector<std::string> calls;
  std::vector<double> points;         // chart points, while recordCalls is on
  std::vector<std::string> messages;  // every message shown
  // Every finished test, in order, while recordCalls is on; not among the calls, so that
  // the calls stay those of the progress and the chart.
  std::vector<TestOutcome> outcomes;
  std::vector<std::string> notices;  // every notice shown
  // The clones' carriers, as the Run told them (once, before the first test).
  std::vector<PopulationClones> clones;
  int32_t clonesTold = 0;
  // What ClonalityFound told, each time (not among the calls).
  std::vector<ClonalityResults> clonality;
  std::vector<uint32_t> seeds;  // every seed told (not among the calls)
  // Every running P-value handed over while a test runs (not among the calls), with the
  // last progress position before it, while recordCalls is on.
  struct RunningBatch {
    RandomizationKind kind;
    int32_t index;
    int lastPosition;
    std::vector<RunningPValuePoint> points;
  };
  std::vector<RunningBatch> running;
  int lastPosition = 0;
  // What RunPlanned told: the tests and the iterations of each; -1 until then.
  int32_t plannedTests = -1;
  int32_t plannedIterations = -1;

  // Called at every progress position, once recorded: a test acts in the middle of a Run.
  std::function<void(int position)> atPosition;
  // What StopRequested answers (never a stop when unset).
  std::function<bool()> stopWhen;

  // Whether the Run ended with "done ! ".
  bool Done() const;

  void RunPlanned(int32_t tests, int32_t iterations) override;
  void TestStarted(RandomizationKind kind, int32_t index, int32_t count,
                   const std::string& name) override;
  void SeedChosen(uint32_t seed) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;
  void ClearChart() override;
  void AddChartPoint(double value) override;
  void AddChartPoints(const std::vector<double>& values) override;
  void ShowChartSeries() override;
  void RunningPValues(RandomizationKind kind, int32_t index,
                      const std::vector<RunningPValuePoint>& points) override;
  void ShowMessage(const std::string& text) override;
  bool StopRequested() override;
  void TestFinished(const TestOutcome& outcome) override;
  void ShowNotice(const std::string& text) override;
  void ClonesFound(const std::vector<PopulationClones>& membership) override;
  void ClonalityFound(const ClonalityResults& results) override;

 private:
  void Record(std::string call);
};

}  // namespace genosieve::testing
