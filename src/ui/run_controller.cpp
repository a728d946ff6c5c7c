#include "run_controller.h"

#include <locale.h>

#include <QEventLoop>
#include <thread>
#include <utility>

#include "analysis/run.h"
#include "results_panel.h"

using genosieve::RandomizationKind;

std::exception_ptr RunInBackground(const genosieve::RunSettings& settings, genosieve::RunView& view,
                                   const std::function<void()>& ended) {
  // The Run's view operations come back to this thread in order; the loop below ends
  // after the last of them.
  std::exception_ptr failure;
  QEventLoop loop;
  try {
    std::thread worker([&] {
      // The application runs under the user's locale; the analysis reads and writes
      // numbers in the C conventions whatever the process locale, as the command line.
      const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
      if (classic != static_cast<locale_t>(0)) uselocale(classic);
      try {
        genosieve::Run(settings, view);
      } catch (...) {
        failure = std::current_exception();
      }
      if (classic != static_cast<locale_t>(0)) {
        uselocale(LC_GLOBAL_LOCALE);
        freelocale(classic);
      }
      if (ended) QMetaObject::invokeMethod(&loop, ended, Qt::QueuedConnection);
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  } catch (...) {
    // No thread could be started: nothing has run.
    failure = std::current_exception();
  }
  return failure;
}

namespace {

// Changes the channel under its lock, then wakes the window's thread unless a wake is
// already on its way.
template <typename Change>
void Report(RunChannel& channel, Change&& change) {
  {
    const std::lock_guard lock(channel.mutex);
    change();
  }
  if (channel.wake && !channel.wakePending.exchange(true)) channel.wake();
}

int64_t MillisecondsSince(RunChannel::Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(RunChannel::Clock::now() - start)
      .count();
}

}  // namespace

void ReportPlanned(RunChannel& channel, int32_t tests, int32_t iterations) {
  Report(channel, [&] {
    channel.progress.plannedTests = tests;
    channel.progress.iterations = iterations;
  });
}

void ReportTestStarted(RunChannel& channel, RandomizationKind kind, int32_t index, int32_t count,
                       const std::string& name) {
  Report(channel, [&] {
    RunProgress& progress = channel.progress;
    // The test before this one has ended: its time, from its start to this one's, and
    // its iterations count for its kind.
    if (progress.testsStarted > 0) {
      KindTiming& timing = progress.finished[static_cast<size_t>(progress.kind)];
      ++timing.tests;
      timing.iterations += progress.iterations;
      timing.milliseconds += MillisecondsSince(channel.testStart);
    }
    channel.testStart = RunChannel::Clock::now();
    ++progress.testsStarted;
    progress.kind = kind;
    progress.index = index;
    progress.count = count;
    progress.name = name;
    if (kind == RandomizationKind::kPerLocus) progress.loci = count;
    if (kind == RandomizationKind::kPerPopulation) progress.populations = count;
    channel.iteration.store(0, std::memory_order_relaxed);
  });
}

void ReportSeed(RunChannel& channel, uint32_t seed) {
  Report(channel, [&] { channel.seed = seed; });
}

void ReportFinished(RunChannel& channel, const genosieve::TestOutcome& outcome) {
  // Only the overall test's values are kept, as doubles, for its histogram; they are
  // converted here, on the Run's thread.
  std::vector<double> randomized;
  if (outcome.kind == RandomizationKind::kOverall) {
    randomized.assign(outcome.randomizedFis.begin(), outcome.randomizedFis.end());
  }
  FinishedTest test{WithoutValues(outcome), {}};
  if (outcome.kind != RandomizationKind::kOverall) test.range = FisRangeOf(outcome);
  Report(channel, [&] {
    channel.finished.push_back(std::move(test));
    if (outcome.kind == RandomizationKind::kOverall) {
      channel.overallRandomized = std::move(randomized);
    }
  });
}

void ReportNotice(RunChannel& channel, const std::string& text) {
  Report(channel, [&] { channel.notices.push_back(text); });
}

void ReportClones(RunChannel& channel, const std::vector<genosieve::PopulationClones>& clones) {
  Report(channel, [&] { channel.clones = clones; });
}

void ReportClonality(RunChannel& channel, const genosieve::ClonalityResults& clonality) {
  Report(channel, [&] { channel.clonality = clonality; });
}

void ReportRunningPoints(RunChannel& channel, const std::vector<ChartPoint>& points) {
  Report(channel, [&] {
    channel.runningPoints.insert(channel.runningPoints.end(), points.begin(), points.end());
  });
}

void ReportChartCleared(RunChannel& channel) {
  Report(channel, [&] {
    channel.chartCleared = true;
    channel.runningPoints.clear();
    channel.chartValues.clear();
    channel.chartShown = false;
  });
}

void ReportChartValues(RunChannel& channel, const std::vector<double>& values) {
  Report(channel, [&] {
    channel.chartValues.insert(channel.chartValues.end(), values.begin(), values.end());
  });
}

void ReportChartShown(RunChannel& channel) {
  Report(channel, [&] { channel.chartShown = true; });
}

RunUpdate TakeRunUpdate(RunChannel& channel) {
  channel.wakePending.store(false);
  RunUpdate update;
  const std::lock_guard lock(channel.mutex);
  update.progress = channel.progress;
  update.progress.iteration = channel.iteration.load(std::memory_order_relaxed);
  if (update.progress.testsStarted > 0) {
    update.progress.testMilliseconds = MillisecondsSince(channel.testStart);
  }
  update.seed = channel.seed;
  update.finished = std::exchange(channel.finished, {});
  update.overallRandomized = std::exchange(channel.overallRandomized, {});
  update.clones = std::exchange(channel.clones, std::nullopt);
  update.clonality = std::exchange(channel.clonality, std::nullopt);
  update.notices = std::exchange(channel.notices, {});
  update.runningPoints = std::exchange(channel.runningPoints, {});
  update.chartValues = std::exchange(channel.chartValues, {});
  update.chartCleared = std::exchange(channel.chartCleared, false);
  update.chartShown = std::exchange(channel.chartShown, false);
  return update;
}

void ResetChannel(RunChannel& channel, bool perLocus, bool perPopulation) {
  const std::lock_guard lock(channel.mutex);
  channel.progress = RunProgress{};
  channel.progress.perLocus = perLocus;
  channel.progress.perPopulation = perPopulation;
  channel.iteration.store(0);
  channel.seed.reset();
  channel.finished.clear();
  channel.overallRandomized.clear();
  channel.clones.reset();
  channel.clonality.reset();
  channel.notices.clear();
  channel.runningPoints.clear();
  channel.chartValues.clear();
  channel.chartCleared = false;
  channel.chartShown = false;
}
