#include "run_progress.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

using genosieve::RandomizationKind;

QString TestCaption(RandomizationKind kind, int32_t index, int32_t count, const std::string& name) {
  switch (kind) {
    case RandomizationKind::kOverall:
      return QStringLiteral("Overall test");
    case RandomizationKind::kPerLocus:
      return QStringLiteral("Locus %1 of %2 (%3)")
          .arg(index)
          .arg(count)
          .arg(QString::fromStdString(name));
    case RandomizationKind::kPerPopulation: {
      QString caption = QStringLiteral("Population %1 of %2").arg(index).arg(count);
      // "pop" + k is the name given to a population the data file does not name.
      if (!name.empty() && name != "pop" + std::to_string(index)) {
        caption += QStringLiteral(" (%1)").arg(QString::fromStdString(name));
      }
      return caption;
    }
  }
  return {};
}

QString DurationText(int64_t milliseconds) {
  const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
  const int64_t hours = seconds / 3600;
  const auto twoDigits = [](int64_t value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
  };
  if (hours > 0) {
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
  }
  return QStringLiteral("%1:%2").arg(seconds / 60).arg(twoDigits(seconds % 60));
}

namespace {

// "the overall test", "the locus tests", "the population tests".
QString KindTests(RandomizationKind kind) {
  switch (kind) {
    case RandomizationKind::kOverall:
      return QStringLiteral("the overall test");
    case RandomizationKind::kPerLocus:
      return QStringLiteral("the locus tests");
    case RandomizationKind::kPerPopulation:
      return QStringLiteral("the population tests");
  }
  return {};
}

}  // namespace

QString ProgressStatus(const RunProgress& progress, int64_t elapsedMilliseconds,
                       const TimeLeftText& left) {
  QStringList parts;
  if (progress.testsStarted == 0) {
    parts.append(QStringLiteral("Reading the data and finding clones"));
  } else {
    parts.append(QStringLiteral("%1, iteration %2 of %3")
                     .arg(TestCaption(progress.kind, progress.index, progress.count, progress.name))
                     .arg(progress.iteration)
                     .arg(progress.iterations));
  }
  parts.append(QStringLiteral("%1 elapsed").arg(DurationText(elapsedMilliseconds)));
  if (left.run) {
    parts.append(QStringLiteral("about %1 left").arg(DurationText(*left.run)));
  } else if (left.kind) {
    parts.append(QStringLiteral("about %1 left for %2, estimating the rest")
                     .arg(DurationText(*left.kind), KindTests(progress.kind)));
  } else if (progress.testsStarted > 0) {
    parts.append(QStringLiteral("estimating the time left"));
  }
  return parts.join(QStringLiteral(" \u00b7 "));
}

QString ProgressTitle(const QString& caption, double fraction) {
  return QStringLiteral("%1 % - %2")
      .arg(static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100)))
      .arg(caption);
}

QString DoneStatus(int32_t tests, int32_t iterations, int64_t elapsedMilliseconds, uint32_t seed,
                   const QString& folder) {
  return QStringLiteral("Done: %1 %2 of %3 iterations in %4; seed %5; files in %6")
      .arg(tests)
      .arg(tests == 1 ? QStringLiteral("test") : QStringLiteral("tests"))
      .arg(iterations)
      .arg(DurationText(elapsedMilliseconds))
      .arg(seed)
      .arg(folder);
}

QString InterruptedStatus(const RunProgress& progress, int64_t elapsedMilliseconds,
                          const QString& folder) {
  return QStringLiteral("Run interrupted after %1, during %2; files in %3")
      .arg(DurationText(elapsedMilliseconds),
           progress.testsStarted == 0
               ? QStringLiteral("the reading of the data")
               : TestCaption(progress.kind, progress.index, progress.count, progress.name),
           folder);
}

QString FailedStatus(int64_t elapsedMilliseconds, const QString& error) {
  return QStringLiteral("Run failed after %1: %2").arg(DurationText(elapsedMilliseconds), error);
}

QString ResultsCaption(const QString& dataFileName, int32_t iterations, const QString& folder,
                       std::optional<uint32_t> seed, const QStringList& notices) {
  QString caption = QStringLiteral("%1: %2 iterations per test, files in %3.")
                        .arg(dataFileName)
                        .arg(iterations)
                        .arg(folder);
  if (seed) {
    caption += QStringLiteral(
                   " Seed %1: given as the seed, with the same data and settings, "
                   "it repeats this Run.")
                   .arg(*seed);
  }
  if (!notices.isEmpty()) caption += QLatin1Char('\n') + notices.join(QLatin1Char('\n'));
  return caption;
}
