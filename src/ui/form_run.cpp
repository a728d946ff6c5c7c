// The form's side of a Run: whether it may start, starting it on a thread of its own,
// taking what it reports a few times a second, and showing its end.

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QThread>
#include <QTimer>
#include <utility>

#include "analysis/run.h"
#include "error_report.h"
#include "layout_choice.h"
#include "messages.h"
#include "unit1.h"
#include "window_look.h"
#include "window_settings.h"

namespace {

// How often the running chart is redrawn.
constexpr int kChartRedrawMilliseconds = 500;

}  // namespace

bool TForm1::ReadyToRun(const genosieve::RunSettings& settings) {
  if (Edit1->text().isEmpty()) {
    showError(ErrorBoxText(FieldErrorReport(
        QStringLiteral("Data file"), QStringLiteral("no data file is chosen"),
        QStringLiteral("Choose it with Data file: (Ctrl+O), drop it on the window, or type its "
                       "path."))));
    return false;
  }
  const QString seedText = SeedEdit->text().trimmed();
  if (!runSeed && !seedText.isEmpty() && !SeedOfText(seedText)) {
    showError(ErrorBoxText(FieldErrorReport(
        QStringLiteral("Seed"),
        QStringLiteral("'%1' is not an integer from 0 to 4294967295").arg(seedText),
        QStringLiteral("Type a whole number from 0 to 4294967295, or leave the seed empty to "
                       "seed the Run from the clock."))));
    return false;
  }
  try {
    genosieve::ConvertIterations(settings.iterationsText);
  } catch (const genosieve::RunError& error) {
    showError(ErrorBoxText(FieldErrorReport(
        QStringLiteral("Number of iterations"), QString::fromStdString(error.what()),
        QStringLiteral("Type a whole number from 0 to 2147483647, such as 1000."))));
    return false;
  }
  const QString question =
      ReplaceQuestion(runOrigins_, EffectiveWorkingFolder(), Edit5->text(), Edit1->text());
  return question.isEmpty() || askQuestion(question);
}

void TForm1::ClearLastRun() {
  ClearPValueChart(pValueChart_);
  ClearResults(results_, separator_);
  notices_.clear();
  lastSeed_.reset();
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  if (resultsShown_) ShowResults(false);
  ResultsButton->setEnabled(false);
}

void TForm1::Button3Click() {
  if (running_) return;
  genosieve::RunSettings settings = CurrentSettings();
  if (!ReadyToRun(settings)) return;
  std::exception_ptr failure = RunWith(settings);
  // A data file that two layouts read: the user says which is meant, and it runs again.
  for (std::vector<genosieve::AmbiguousLayout::Reading> readings = LayoutReadings(failure);
       !readings.empty() && !quitAfterRun_; readings = LayoutReadings(failure)) {
    const std::optional<int> chosen =
        chooseReading(LayoutQuestion(lastRunData_), LayoutChoices(readings));
    if (!chosen || *chosen < 0 || static_cast<size_t>(*chosen) >= readings.size()) {
      // Declined: the status line says why the Run did not go on.
      failure = nullptr;
      break;
    }
    dataFormat_ = readings[static_cast<size_t>(*chosen)].format;
    formatPath_ = lastRunData_;
    settings.format = dataFormat_;
    failure = RunWith(settings);
  }
  // A stop the user asked for needs no box: the status line says where the Run was.
  if (failure && !IsStop(failure)) {
    showError(ErrorBoxText(RunErrorReport(failure, QString::fromStdString(settings.dataPath))));
  }
  if (quitAfterRun_) close();
}

std::exception_ptr TForm1::RunWith(const genosieve::RunSettings& settings) {
  separator_ = settings.decimalSeparator;
  SetChartSeparator(pValueChart_, separator_);
  ClearLastRun();
  ResetChannel(channel_, settings.perLocusAnalysis, settings.perPopulationAnalysis);
  shownProgress_ = RunProgress{};
  settling_ = {};
  shownFraction_ = 0;
  stopRequested_ = false;
  quitAfterRun_ = false;
  runEnded_ = false;
  lastRunFolder_ = EffectiveWorkingFolder();
  lastRunData_ = Edit1->text();
  lastRunResults_ = Edit5->text();
  runClock_.start();
  chartClock_.start();
  SetRunning(true);
  ShowRunStatus();
  pollTimer_->start();

  // A question about stopping a Run that has ended asks nothing any more.
  const std::exception_ptr failure = RunInBackground(settings, *this, [this] {
    if (stopQuestion_) stopQuestion_->done(QMessageBox::No);
  });
  EndRun(failure);
  SetRunning(false);
  return failure;
}

void TForm1::EndRun(const std::exception_ptr& failure) {
  if (runEnded_) return;
  runEnded_ = true;
  runMilliseconds_ = runClock_.elapsed();
  pollTimer_->stop();
  noticeTimer_->stop();
  PollRun();
  FlushPValueCurve(pValueChart_);
  // A question about stopping a Run that has ended asks nothing any more.
  if (stopQuestion_) stopQuestion_->done(QMessageBox::No);
  StopButton->setEnabled(false);
  setWindowTitle(kWindowCaption);

  const QString where = QDir::toNativeSeparators(lastRunFolder_);
  QString status;
  if (!failure) {
    const int maximum = ProgressBarMaximum(shownProgress_);
    ProgressBar1->setRange(0, maximum);
    ProgressBar1->setValue(ProgressBarPosition(maximum, 1.0));
    status = DoneStatus(results_.model->rowCount(), shownProgress_.iterations, runMilliseconds_,
                        lastSeed_.value_or(0), where);
  } else {
    // The bar says how far a Run went only while it goes.
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    status = IsStop(failure)
                 ? InterruptedStatus(shownProgress_, runMilliseconds_, where)
                 : FailedStatus(runMilliseconds_, ErrorLine(RunErrorReport(failure, lastRunData_)));
  }
  if (!notices_.isEmpty()) status += QStringLiteral(" \u00b7 ") + notices_.constLast();
  StatusLine->setText(status);
  StatusLine->setToolTip(WrappedTip(
      notices_.isEmpty() ? status : status + QLatin1Char('\n') + notices_.join(QLatin1Char('\n'))));
  if (results_.model->rowCount() > 0) {
    // The results file holds this Run's tests now.
    RecordRunOrigin(runOrigins_, lastRunFolder_, lastRunResults_, lastRunData_);
    ShowResultsOf(results_, ResultsCaption(QFileInfo(lastRunData_).fileName(),
                                           shownProgress_.iterations, where, lastSeed_, notices_));
    ShowResults(true);
  } else if (resultsShown_) {
    // No test ended: an empty table would only hide the chart's room.
    ShowResults(false);
  }
}

void TForm1::StopClick() {
  if (!running_ || runEnded_ || stopRequested_) return;
  stopRequested_ = true;
  StatusLine->setText(QStringLiteral("Stopping at the next iteration\u2026"));
}

void TForm1::PollIfOnWindowThread() {
  if (QThread::currentThread() == thread()) PollRun();
}

void TForm1::PollRun() {
  RunUpdate update = TakeRunUpdate(channel_);
  if (update.seed) lastSeed_ = update.seed;
  if (update.clones) ShowClones(results_.clones, std::move(*update.clones));
  if (update.clonality) {
    ShowClonality(results_.clonality, std::move(*update.clonality), results_.separator);
  }
  for (FinishedTest& test : update.finished) {
    AddResult(results_, test.row,
              test.row.kind == genosieve::RandomizationKind::kOverall
                  ? std::exchange(update.overallRandomized, {})
                  : std::vector<double>{},
              test.range);
  }
  if (update.chartCleared) ClearPValueChart(pValueChart_);
  if (!update.runningPoints.empty()) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(update.runningPoints.size()));
    for (const ChartPoint& point : update.runningPoints) {
      points.append(QPointF(static_cast<double>(point.iteration - 1), point.pValue));
    }
    AddRunningPoints(pValueChart_, points, update.progress.iterations);
  }
  if (!update.chartValues.empty()) AddPValues(pValueChart_, update.chartValues);
  if (update.chartShown) Series2->setVisible(true);
  // The finished test's curve is drawn once, when the Run shows it; the running one at
  // most twice a second.
  if (update.chartShown) {
    FlushPValueCurve(pValueChart_);
  } else if (pValueChart_.values.empty() && pValueChart_.changed &&
             chartClock_.elapsed() >= kChartRedrawMilliseconds) {
    chartClock_.restart();
    FlushPValueCurve(pValueChart_);
  }
  for (const std::string& text : update.notices) {
    const QString notice = QString::fromStdString(text);
    notices_.append(notice);
    StatusLine->setText(notice);
    StatusLine->setToolTip(WrappedTip(notices_.join(QLatin1Char('\n'))));
    if (running_) noticeTimer_->start();
  }
  shownProgress_ = std::move(update.progress);
  ShowRunStatus();
}

void TForm1::ShowRunStatus() {
  if (!running_ || runEnded_) return;
  const int64_t elapsed = runClock_.elapsed();
  const RunTimeEstimate estimate = EstimateTimeLeft(shownProgress_);
  const bool settled = Settled(settling_, elapsed, estimate);
  shownFraction_ = std::max(shownFraction_, WholeRunFraction(shownProgress_, estimate, settled));
  const int maximum = ProgressBarMaximum(shownProgress_);
  if (ProgressBar1->maximum() != maximum) ProgressBar1->setRange(0, maximum);
  ProgressBar1->setValue(ProgressBarPosition(maximum, shownFraction_));
  const QString title = shownProgress_.plannedTests > 0 && shownProgress_.testsStarted > 0
                            ? ProgressTitle(kWindowCaption, shownFraction_)
                            : kWindowCaption;
  if (windowTitle() != title) setWindowTitle(title);
  if (stopRequested_ || noticeTimer_->isActive()) return;
  TimeLeftText left;
  if (settled)
    left.run = estimate.runLeft;
  else
    left.kind = estimate.kindLeft;
  StatusLine->setText(ProgressStatus(shownProgress_, elapsed, left));
}

void TForm1::RunPlanned(int32_t tests, int32_t iterations) {
  ReportPlanned(channel_, tests, iterations);
  PollIfOnWindowThread();
}

void TForm1::TestStarted(genosieve::RandomizationKind kind, int32_t index, int32_t count,
                         const std::string& name) {
  ReportTestStarted(channel_, kind, index, count, name);
  PollIfOnWindowThread();
}

void TForm1::SeedChosen(uint32_t seed) { ReportSeed(channel_, seed); }

// The bar shows the whole Run (its range comes from the Run's plan): a test's own range
// says nothing new.
void TForm1::SetProgressRange(int /*minimum*/, int /*maximum*/) {}

void TForm1::SetProgressPosition(int position) { ReportIteration(channel_, position); }

void TForm1::ClearChart() {
  ReportChartCleared(channel_);
  PollIfOnWindowThread();
}

void TForm1::AddChartPoint(double value) {
  ReportChartValues(channel_, {value});
  PollIfOnWindowThread();
}

void TForm1::AddChartPoints(const std::vector<double>& values) {
  ReportChartValues(channel_, values);
  PollIfOnWindowThread();
}

void TForm1::ShowChartSeries() {
  ReportChartShown(channel_);
  PollIfOnWindowThread();
}

void TForm1::ShowMessage(const std::string& text) {
  // Waits for the box to be closed, as the Run does not go on while it is shown. The
  // last message of a Run ends it: its end is shown before the box, and a user who asked
  // to quit gets no box.
  const bool done = text == genosieve::kDoneMessage;
  const auto show = [this, text, done] {
    if (done) EndRun(nullptr);
    if (!(done && quitAfterRun_)) showMessage(QString::fromStdString(text));
  };
  if (QThread::currentThread() == thread()) {
    show();
  } else {
    QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
  }
}

void TForm1::TestFinished(const genosieve::TestOutcome& outcome) {
  ReportFinished(channel_, outcome);
  PollIfOnWindowThread();
}

void TForm1::ClonesFound(const std::vector<genosieve::PopulationClones>& membership) {
  ReportClones(channel_, membership);
}

void TForm1::RunningPValues(genosieve::RandomizationKind kind, int32_t /*index*/,
                            const std::vector<genosieve::RunningPValuePoint>& points) {
  // The chart is the overall test's.
  if (kind != genosieve::RandomizationKind::kOverall) return;
  std::vector<ChartPoint> chartPoints;
  chartPoints.reserve(points.size());
  for (const genosieve::RunningPValuePoint& point : points) {
    chartPoints.push_back({point.iteration, point.pValue});
  }
  ReportRunningPoints(channel_, chartPoints);
}

void TForm1::ClonalityFound(const genosieve::ClonalityResults& results) {
  ReportClonality(channel_, results);
}

void TForm1::ShowNotice(const std::string& text) {
  ReportNotice(channel_, text);
  PollIfOnWindowThread();
}
