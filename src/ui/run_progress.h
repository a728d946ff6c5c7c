#pragma once

// The progress of a whole Run as the window shows it: which test works, how far the Run
// is, and how long it has taken and may still take.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/randomization_kind.h"

// The finished tests of one kind: how many, their iterations and the time they took,
// from the start of each to the start of the next.
struct KindTiming {
  int32_t tests = 0;
  int64_t iterations = 0;
  int64_t milliseconds = 0;
};

struct RunProgress {
  int32_t plannedTests = 0;  // 0 until the Run has planned its tests
  int32_t iterations = 0;    // of each test
  int32_t testsStarted = 0;
  genosieve::RandomizationKind kind = genosieve::RandomizationKind::kOverall;
  int32_t index = 0;  // of the test that works, among the tests of its kind
  int32_t count = 0;
  std::string name;
  int32_t iteration = 0;  // of the test that works; 0 before its first
  // The single tests the Run makes, as its settings ask, and how many of each there are,
  // once the first of them has started (0 before).
  bool perLocus = false;
  bool perPopulation = false;
  int32_t loci = 0;
  int32_t populations = 0;
  std::array<KindTiming, 3> finished{};  // by RandomizationKind
  int64_t testMilliseconds = 0;          // since the test that works started
};

// "Overall test", "Locus 7 of 30 (Loc7)", "Population 12 of 50"; a population's name is
// added when the data file gives one.
QString TestCaption(genosieve::RandomizationKind kind, int32_t index, int32_t count,
                    const std::string& name);

// "0:07", "12:34", "1:02:03".
QString DurationText(int64_t milliseconds);

// What the status line says of the time left: nothing yet, the whole Run's, or only the
// running kind of test's while the cost of a kind still to come is unknown.
struct TimeLeftText {
  std::optional<int64_t> run;   // milliseconds, once the estimate has settled
  std::optional<int64_t> kind;  // milliseconds left in the tests of the running kind
};

// The status line while a Run works: the test, its iteration, the time since the Run
// started and the time left, or "estimating the time left".
QString ProgressStatus(const RunProgress& progress, int64_t elapsedMilliseconds,
                       const TimeLeftText& left);

// The window's title during a Run: the whole Run's percentage before the caption.
QString ProgressTitle(const QString& caption, double fraction);

// The status line once a Run has ended: it went through, its user stopped it, or it
// failed with the error's text; `folder` is where it wrote its files.
QString DoneStatus(int32_t tests, int32_t iterations, int64_t elapsedMilliseconds, uint32_t seed,
                   const QString& folder);
QString InterruptedStatus(const RunProgress& progress, int64_t elapsedMilliseconds,
                          const QString& folder);
QString FailedStatus(int64_t elapsedMilliseconds, const QString& error);

// What the results panel's results are of: the data file, the iterations, where the
// files are, the seed that repeats the Run, and the Run's notices.
QString ResultsCaption(const QString& dataFileName, int32_t iterations, const QString& folder,
                       std::optional<uint32_t> seed, const QStringList& notices);
