#pragma once

// How long a Run still needs: the iterations each kind of test has left, at the cost per
// iteration measured on that kind's own tests (a per-locus iteration costs far less than
// an overall one), and how far the whole Run is.

#include <cstdint>
#include <optional>
#include <vector>

#include "run_progress.h"

// A kind of test counts as measured after this much work, or after one finished test.
inline constexpr int64_t kMeasuredMilliseconds = 500;

// The tests of a kind the Run makes; nothing while that is not known yet (both single
// analyses are on and the first locus test has not started).
std::optional<int32_t> PlannedTestsOf(const RunProgress& progress,
                                      genosieve::RandomizationKind kind);

struct RunTimeEstimate {
  int64_t spentMilliseconds = 0;  // in tests so far
  // The whole Run's tests; nothing while a kind with iterations still to make has no
  // measured cost.
  std::optional<int64_t> runLeft;
  // The running kind's tests, once that kind is measured.
  std::optional<int64_t> kindLeft;
};
RunTimeEstimate EstimateTimeLeft(const RunProgress& progress);

// The estimates seen so far in a Run, to tell when they have settled.
struct EstimateSettling {
  struct Sample {
    int64_t elapsed = 0;
    int64_t total = 0;  // time in tests spent and left
  };
  std::vector<Sample> samples;
};

// Adds the estimate seen at `elapsed` (samples closer than 400 ms to the last are
// skipped); true when the whole-Run estimate is known and the last three samples agree
// within 10 % on the Run's total time in tests.
bool Settled(EstimateSettling& settling, int64_t elapsedMilliseconds,
             const RunTimeEstimate& estimate);

// A rough time left for the bar and the title while a kind still to run has no measured
// cost: such a kind is taken to cost, over all of its tests, half what the overall test
// cost. Nothing until the overall test is measured.
std::optional<int64_t> RoughTimeLeft(const RunProgress& progress);

// The share of the whole Run done, from 0 to 1: by time once the estimate has settled,
// else by the rough time left, else by iterations; 0 before the Run planned its tests.
double WholeRunFraction(const RunProgress& progress, const RunTimeEstimate& estimate, bool settled);

// The progress bar of the whole Run: its maximum, the tests times (iterations + 1) as the
// Run counts a test's range (or a million when that is too large), and the position of a
// share, so that a Run of one test ends at its last iteration.
int ProgressBarMaximum(const RunProgress& progress);
int ProgressBarPosition(int maximum, double fraction);
