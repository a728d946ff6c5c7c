#include "time_estimate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

using genosieve::RandomizationKind;

namespace {

constexpr int64_t kSampleSpacing = 400;
constexpr size_t kSettlingSamples = 3;
constexpr double kSettledSpread = 1.1;
constexpr double kSingleKindShare = 0.5;

constexpr RandomizationKind kKinds[] = {RandomizationKind::kOverall, RandomizationKind::kPerLocus,
                                        RandomizationKind::kPerPopulation};

}  // namespace

std::optional<int32_t> PlannedTestsOf(const RunProgress& progress, RandomizationKind kind) {
  if (progress.plannedTests <= 0) return std::nullopt;
  const int32_t single = progress.plannedTests - 1;
  switch (kind) {
    case RandomizationKind::kOverall:
      return 1;
    case RandomizationKind::kPerLocus:
      if (progress.loci > 0) return progress.loci;
      if (!progress.perLocus)
        return single == 0 || progress.perPopulation ? 0 : std::optional<int32_t>();
      if (!progress.perPopulation) return single;
      if (progress.populations > 0) return single - progress.populations;
      return std::nullopt;
    case RandomizationKind::kPerPopulation:
      if (progress.populations > 0) return progress.populations;
      if (!progress.perPopulation)
        return single == 0 || progress.perLocus ? 0 : std::optional<int32_t>();
      if (!progress.perLocus) return single;
      if (progress.loci > 0) return single - progress.loci;
      return std::nullopt;
  }
  return std::nullopt;
}

RunTimeEstimate EstimateTimeLeft(const RunProgress& progress) {
  RunTimeEstimate estimate;
  double left = 0;
  bool whole = progress.plannedTests > 0;
  for (RandomizationKind kind : kKinds) {
    const KindTiming& timing = progress.finished[static_cast<size_t>(kind)];
    const bool running = progress.testsStarted > 0 && progress.kind == kind;
    const int64_t done =
        timing.iterations + (running ? std::clamp(progress.iteration, 0, progress.iterations) : 0);
    const int64_t spent = timing.milliseconds + (running ? progress.testMilliseconds : 0);
    estimate.spentMilliseconds += spent;
    const std::optional<int32_t> planned = PlannedTestsOf(progress, kind);
    if (!planned) {
      whole = false;
      continue;
    }
    const int64_t remaining =
        std::max<int64_t>(0, static_cast<int64_t>(*planned) * progress.iterations - done);
    const bool measured = done > 0 && (spent >= kMeasuredMilliseconds || timing.tests > 0);
    if (remaining == 0) {
      if (running) estimate.kindLeft = 0;
      continue;
    }
    if (!measured) {
      whole = false;
      continue;
    }
    const double kindLeft =
        static_cast<double>(remaining) * static_cast<double>(spent) / static_cast<double>(done);
    if (running) estimate.kindLeft = std::llround(kindLeft);
    left += kindLeft;
  }
  if (whole) estimate.runLeft = std::llround(left);
  return estimate;
}

bool Settled(EstimateSettling& settling, int64_t elapsedMilliseconds,
             const RunTimeEstimate& estimate) {
  if (!estimate.runLeft) {
    settling.samples.clear();
    return false;
  }
  const int64_t total = estimate.spentMilliseconds + *estimate.runLeft;
  if (settling.samples.empty() ||
      elapsedMilliseconds - settling.samples.back().elapsed >= kSampleSpacing) {
    settling.samples.push_back({elapsedMilliseconds, total});
  }
  if (settling.samples.size() < kSettlingSamples) return false;
  const auto last = settling.samples.end() - kSettlingSamples;
  const auto [low, high] =
      std::minmax_element(last, settling.samples.end(),
                          [](const EstimateSettling::Sample& a, const EstimateSettling::Sample& b) {
                            return a.total < b.total;
                          });
  // A Run of under a second is settled when it agrees to within that second.
  return static_cast<double>(high->total) <=
         std::max(static_cast<double>(low->total) * kSettledSpread,
                  static_cast<double>(low->total) + 1000.0);
}

std::optional<int64_t> RoughTimeLeft(const RunProgress& progress) {
  const auto work = [&progress](RandomizationKind kind) {
    const KindTiming& timing = progress.finished[static_cast<size_t>(kind)];
    const bool running = progress.testsStarted > 0 && progress.kind == kind;
    const int64_t done =
        timing.iterations + (running ? std::clamp(progress.iteration, 0, progress.iterations) : 0);
    const int64_t spent = timing.milliseconds + (running ? progress.testMilliseconds : 0);
    const bool measured = done > 0 && (spent >= kMeasuredMilliseconds || timing.tests > 0);
    return std::tuple(done, spent, measured);
  };
  const auto [overallDone, overallSpent, overallMeasured] = work(RandomizationKind::kOverall);
  if (!overallMeasured || progress.iterations <= 0) return std::nullopt;
  const double overallRate = static_cast<double>(overallSpent) / static_cast<double>(overallDone);
  const bool plannedKind[] = {true, progress.perLocus || progress.loci > 0,
                              progress.perPopulation || progress.populations > 0};
  double left = 0;
  for (RandomizationKind kind : kKinds) {
    if (!plannedKind[static_cast<size_t>(kind)]) continue;
    const auto [done, spent, measured] = work(kind);
    const std::optional<int32_t> planned = PlannedTestsOf(progress, kind);
    const double total = planned ? static_cast<double>(*planned) * progress.iterations : 0.0;
    const double remaining = planned ? std::max(0.0, total - static_cast<double>(done)) : -1.0;
    if (measured && planned) {
      left += remaining * static_cast<double>(spent) / static_cast<double>(done);
    } else {
      // Until it is measured, a kind of single test is taken to cost, over all of its
      // tests, half the overall test: each evaluates one locus, or one population and
      // its filler, of the overall test's data, at a cost per iteration of its own
      // (measured on the example data: 0.4 to 0.5 of the overall test by kind).
      const double share = planned && total > 0 ? remaining / total : 1.0;
      left += share * kSingleKindShare * progress.iterations * overallRate;
    }
  }
  return std::llround(left);
}

double WholeRunFraction(const RunProgress& progress, const RunTimeEstimate& estimate,
                        bool settled) {
  if (progress.plannedTests <= 0 || progress.testsStarted <= 0) return 0;
  std::optional<int64_t> left;
  if (settled && estimate.runLeft) left = estimate.runLeft;
  if (!left) left = RoughTimeLeft(progress);
  if (left) {
    const double total = static_cast<double>(estimate.spentMilliseconds + *left);
    return total <= 0 ? 1.0 : static_cast<double>(estimate.spentMilliseconds) / total;
  }
  const int32_t finishedTests = std::min(progress.testsStarted, progress.plannedTests) - 1;
  if (progress.iterations <= 0) return static_cast<double>(finishedTests) / progress.plannedTests;
  const double done = static_cast<double>(finishedTests) * progress.iterations +
                      std::clamp(progress.iteration, 0, progress.iterations);
  return done / (static_cast<double>(progress.plannedTests) * progress.iterations);
}

int ProgressBarMaximum(const RunProgress& progress) {
  const int64_t tests = std::max(progress.plannedTests, 1);
  const int64_t maximum = tests * (static_cast<int64_t>(progress.iterations) + 1);
  return maximum <= 1'000'000'000 ? static_cast<int>(maximum) : 1'000'000;
}

int ProgressBarPosition(int maximum, double fraction) {
  return static_cast<int>(std::llround(std::clamp(fraction, 0.0, 1.0) * (maximum - 1)));
}
