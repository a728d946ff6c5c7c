#pragma once

// The progress of a whole Run as the window shows it: which test works, how far the Run
// is, and how long it has taken and may still take.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/randomization_kind.h"

struct RunProgress {
  int32_t plannedTests = 0;  // 0 until the Run has planned its tests
  int32_t iterations = 0;    // of each test
  int32_t testsStarted = 0;
  genosieve::RandomizationKind kind = genosieve::RandomizationKind::kOverall;
  int32_t index = 0;  // of the test that works, among the tests of its kind
  int32_t count = 0;
  std::string name;
  int32_t iteration = 0;  // of the test that works; 0 before its first
};

// "Overall test", "Locus 7 of 30 (Loc7)", "Population 12 of 50"; a population's name is
// added when the data file gives one.
QString TestCaption(genosieve::RandomizationKind kind, int32_t index, int32_t count,
                    const std::string& name);

// The share of the Run's iterations done, from 0 to 1; nothing before the Run planned its
// tests.
std::optional<double> RunFraction(const RunProgress& progress);

// "0:07", "12:34", "1:02:03".
QString DurationText(int64_t milliseconds);

// The status line while a Run works: the test, its iteration, the time since the Run
// started and an estimate of the time left, from the share done so far.
QString ProgressStatus(const RunProgress& progress, int64_t elapsedMilliseconds);

// The window's title during a Run: the whole Run's percentage before the caption.
QString ProgressTitle(const QString& caption, const RunProgress& progress);

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
