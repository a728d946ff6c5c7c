#pragma once

// Runs a Run for the window: on a thread of its own, so that the window keeps
// repainting, with what the Run reports gathered in a channel that the window's thread
// empties a few times a second. An iteration costs the Run's thread one atomic store;
// only rare events (a test starts or ends, a notice, a block of the chart) wake the
// window's thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "fis_figures.h"
#include "run_progress.h"

// Runs the Run with the view on a new thread while the calling thread's event loop goes
// on; returns, with the error that ended it or nothing, once the Run has ended and the
// calls it queued for the calling thread before its end have been delivered. The Run
// reads and writes numbers in the C conventions whatever the process's locale, as the
// command line does. `ended`, when given, runs on the calling thread as soon as the Run's
// thread has ended, before the calls still queued (a box open in a nested event loop
// would otherwise hold the return back).
std::exception_ptr RunInBackground(const genosieve::RunSettings& settings, genosieve::RunView& view,
                                   const std::function<void()>& ended = {});

// The overall test's running P-value at an iteration (from 1).
struct ChartPoint {
  int64_t iteration = 0;
  double pValue = 0;
};

// A finished test as the window keeps it: its row, and for a single test its place in
// its kind's panel (its randomized values are not kept).
struct FinishedTest {
  genosieve::TestOutcome row;
  genosieve::FisRange range;
};

// What the Run's thread reports, kept until the window's thread takes it.
struct RunChannel {
  using Clock = std::chrono::steady_clock;

  std::atomic<int32_t> iteration{0};  // of the test that works; the only per-iteration write
  // Asks the window's thread to take what is new; called after a rare event when no
  // call is pending.
  std::function<void()> wake;
  std::atomic<bool> wakePending{false};

  std::mutex mutex;  // guards what follows
  RunProgress progress;
  Clock::time_point testStart{};
  std::optional<uint32_t> seed;
  std::vector<FinishedTest> finished;
  std::vector<double> overallRandomized;  // once the overall test finished
  std::optional<std::vector<genosieve::PopulationClones>> clones;
  std::optional<genosieve::ClonalityResults> clonality;
  std::vector<std::string> notices;
  // The overall test's running P-value: the points told while it works, then every value
  // once it has ended.
  std::vector<ChartPoint> runningPoints;
  std::vector<double> chartValues;
  bool chartCleared = false;
  bool chartShown = false;
};

// The Run's side; each is called on the Run's thread.
void ReportPlanned(RunChannel& channel, int32_t tests, int32_t iterations);
void ReportTestStarted(RunChannel& channel, genosieve::RandomizationKind kind, int32_t index,
                       int32_t count, const std::string& name);
inline void ReportIteration(RunChannel& channel, int32_t iteration) {
  channel.iteration.store(iteration, std::memory_order_relaxed);
}
void ReportSeed(RunChannel& channel, uint32_t seed);
void ReportFinished(RunChannel& channel, const genosieve::TestOutcome& outcome);
void ReportNotice(RunChannel& channel, const std::string& text);
void ReportClones(RunChannel& channel, const std::vector<genosieve::PopulationClones>& clones);
void ReportClonality(RunChannel& channel, const genosieve::ClonalityResults& clonality);
void ReportRunningPoints(RunChannel& channel, const std::vector<ChartPoint>& points);
void ReportChartCleared(RunChannel& channel);
void ReportChartValues(RunChannel& channel, const std::vector<double>& values);
void ReportChartShown(RunChannel& channel);

// Everything new since the last take, for the window's thread.
struct RunUpdate {
  RunProgress progress;  // with the iteration and the time in the running test
  std::optional<uint32_t> seed;
  std::vector<FinishedTest> finished;
  std::vector<double> overallRandomized;
  std::optional<std::vector<genosieve::PopulationClones>> clones;
  std::optional<genosieve::ClonalityResults> clonality;
  std::vector<std::string> notices;
  std::vector<ChartPoint> runningPoints;
  std::vector<double> chartValues;
  bool chartCleared = false;  // before the points and values above
  bool chartShown = false;
};
RunUpdate TakeRunUpdate(RunChannel& channel);

// A new Run: forgets what the last one reported; `analyses` says which single tests it
// makes, for the time estimate.
void ResetChannel(RunChannel& channel, bool perLocus, bool perPopulation);
