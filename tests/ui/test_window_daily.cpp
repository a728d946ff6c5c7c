// The window for daily use: progress that tells the truth, the questions it closes or
// asks, keyboard and help, the working folder the user controls, any screen, the
// user's decimal separator, and the clones, Holm's marks and the single tests' panels
// in the results.

#include <unistd.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "analysis/interpretation.h"
#include "analysis/run.h"
#include "help_text.h"
#include "number_text.h"
#include "results_table.h"
#include "run_progress.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"
#include "time_estimate.h"
#include "unit1.h"
#include "window_boxes.h"
#include "window_fixture.h"
#include "working_folder_choice.h"

namespace fs = std::filesystem;
using genosieve::RandomizationKind;
using genosieve::testing::Boxes;
using genosieve::testing::Control;
using genosieve::testing::ExamplePath;
using genosieve::testing::Native;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunWindow;
using genosieve::testing::ScopedWorkingFolder;

namespace {

// A folder this process may not write in: a folder without write permission, or, for a
// user whom permissions do not stop, one the system keeps read-only.
QString ReadOnlyFolder(const QTemporaryDir& scratch) {
  const QString folder = QDir(scratch.path()).filePath(QStringLiteral("read-only"));
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
  if (!FolderWritable(folder)) return folder;
  if (QFileInfo(QStringLiteral("/proc/self")).isDir() &&
      !FolderWritable(QStringLiteral("/proc/self"))) {
    return QStringLiteral("/proc/self");
  }
  return {};
}

RunProgress Overall(int32_t planned, int32_t iterations) {
  RunProgress progress;
  progress.plannedTests = planned;
  progress.iterations = iterations;
  progress.testsStarted = 1;
  progress.kind = RandomizationKind::kOverall;
  progress.index = 1;
  progress.count = 1;
  return progress;
}

}  // namespace

class WindowDailyTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    genosieve::testing::KeepSettingsIn(QStringLiteral("ui-window-daily"), settingsFolder_.path());
  }

  // Point 1: the time left comes from each kind's own cost per iteration; a kind still
  // to run and not measured leaves the whole Run's estimate open.
  void timeLeftUsesTheMeasuredCostOfEachKindOfTest() {
    // Only the overall test: 300 of 1000 iterations in 600 ms, 1400 ms left.
    RunProgress progress = Overall(1, 1000);
    progress.iteration = 300;
    progress.testMilliseconds = 600;
    RunTimeEstimate estimate = EstimateTimeLeft(progress);
    QCOMPARE(estimate.runLeft.value_or(-1), int64_t{1400});
    QCOMPARE(estimate.kindLeft.value_or(-1), int64_t{1400});
    QCOMPARE(estimate.spentMilliseconds, int64_t{600});
    // Too early to measure.
    progress.testMilliseconds = 100;
    progress.iteration = 50;
    QVERIFY(!EstimateTimeLeft(progress).runLeft);
    QVERIFY(!RoughTimeLeft(progress));

    // Both single analyses on (11 tests): the loci's count is not known yet.
    progress = Overall(11, 1000);
    progress.perLocus = progress.perPopulation = true;
    progress.iteration = 500;
    progress.testMilliseconds = 1000;
    estimate = EstimateTimeLeft(progress);
    QVERIFY(!estimate.runLeft);
    QCOMPARE(estimate.kindLeft.value_or(-1), int64_t{1000});
    // The bar's rough estimate: each kind of single test half as dear as the overall test.
    QCOMPARE(RoughTimeLeft(progress).value_or(-1), int64_t{1000 + 1000 + 1000});
    QCOMPARE(WholeRunFraction(progress, estimate, false), 1000.0 / 4000);

    // The overall test ended (2 s); the first locus test of 6 ended in 200 ms.
    progress.finished[0] = {1, 1000, 2000};
    progress.finished[1] = {1, 1000, 200};
    progress.testsStarted = 3;
    progress.kind = RandomizationKind::kPerLocus;
    progress.index = 2;
    progress.count = 6;
    progress.loci = 6;
    progress.iteration = 0;
    progress.testMilliseconds = 0;
    QCOMPARE(*PlannedTestsOf(progress, RandomizationKind::kPerPopulation), 4);
    estimate = EstimateTimeLeft(progress);
    // 5000 locus iterations at 0.2 ms; the populations are not measured.
    QCOMPARE(estimate.kindLeft.value_or(-1), int64_t{1000});
    QVERIFY(!estimate.runLeft);
    QCOMPARE(RoughTimeLeft(progress).value_or(-1), int64_t{1000 + 1000});
    // Once one population test has ended (500 ms), everything is measured.
    progress.finished[1] = {6, 6000, 1200};
    progress.finished[2] = {1, 1000, 500};
    progress.testsStarted = 9;
    progress.kind = RandomizationKind::kPerPopulation;
    progress.index = 2;
    progress.count = 4;
    progress.populations = 4;
    estimate = EstimateTimeLeft(progress);
    QCOMPARE(estimate.runLeft.value_or(-1), int64_t{1500});
    QCOMPARE(estimate.spentMilliseconds, int64_t{2000 + 1200 + 500});
  }

  // Point 1: during the overall test the chart draws its running P-value as the Run
  // hands it over, long before the test ends.
  void runningPValueIsDrawnDuringTheOverallTest() {
    const ScopedWorkingFolder folder;
    // Far more iterations than the test waits for: it stops the Run once it has seen.
    // The Run hands the curve over 50 points at a time, the first after 2.5 % of the
    // iterations: few enough iterations that this comes soon in a sanitizer build too.
    RunWindow window("aspen.txt", "2000000");
    auto* series = qobject_cast<QLineSeries*>(
        Control<QChartView>(window.form, "Chart2")->chart()->series().value(0));
    QVERIFY(series != nullptr);
    QList<QPointF> seen;
    QString status;
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window.form, [&] {
      if (!window.form.IsRunning()) return;
      if (seen.isEmpty() && series->count() > 0 && window.Results()->rowCount() == 0) {
        seen = series->points();
        status = window.Status();
      }
      if (!seen.isEmpty() || clock.elapsed() > 60'000) window.form.StopClick();
    });
    clock.start();
    poll.start(50);
    window.form.Button3Click();
    QVERIFY2(!seen.isEmpty(), "no running P-value drawn during the overall test");
    QVERIFY2(status.startsWith(QStringLiteral("Overall test")), qPrintable(status));
    for (const QPointF& point : seen) {
      QVERIFY(point.x() >= 0 && point.x() < 2'000'000);
      QVERIFY(point.y() >= 0 && point.y() <= 1);
    }
    // In iteration order, and far from the test's end.
    for (qsizetype i = 1; i < seen.size(); ++i) QVERIFY(seen[i].x() > seen[i - 1].x());
    QVERIFY(seen.constLast().x() < 2'000'000 - 1);
    QVERIFY(window.Status().startsWith(QStringLiteral("Run interrupted after ")));
  }

  void plannedTestsOfEachKind() {
    RunProgress progress = Overall(0, 10);
    QVERIFY(!PlannedTestsOf(progress, RandomizationKind::kOverall));
    progress.plannedTests = 7;
    progress.perLocus = true;
    QCOMPARE(*PlannedTestsOf(progress, RandomizationKind::kPerLocus), 6);
    QCOMPARE(*PlannedTestsOf(progress, RandomizationKind::kPerPopulation), 0);
    progress.perLocus = false;
    progress.perPopulation = true;
    QCOMPARE(*PlannedTestsOf(progress, RandomizationKind::kPerPopulation), 6);
    QCOMPARE(*PlannedTestsOf(progress, RandomizationKind::kPerLocus), 0);
    progress.perLocus = true;
    QVERIFY(!PlannedTestsOf(progress, RandomizationKind::kPerLocus));
    progress.loci = 2;
    QCOMPARE(*PlannedTestsOf(progress, RandomizationKind::kPerPopulation), 4);
  }

  // "estimating" until three estimates, 400 ms apart or more, agree within 10 %.
  void estimateSettlesWhenItStopsMoving() {
    EstimateSettling settling;
    const auto estimate = [](int64_t spent, int64_t left) {
      RunTimeEstimate e;
      e.spentMilliseconds = spent;
      e.runLeft = left;
      return e;
    };
    QVERIFY(!Settled(settling, 1000, estimate(1000, 50'000)));
    QVERIFY(!Settled(settling, 1100, estimate(1100, 10'000)));  // too soon: not a sample
    QVERIFY(!Settled(settling, 1500, estimate(1500, 20'000)));
    QVERIFY(!Settled(settling, 2000, estimate(2000, 20'000)));  // 51 s, 21.5 s, 22 s
    QVERIFY(Settled(settling, 2500, estimate(2500, 19'600)));   // 21.5, 22, 22.1
    QVERIFY(!Settled(settling, 3000, RunTimeEstimate{}));       // a kind no longer measured
    QVERIFY(settling.samples.empty());
  }

  void progressBarMaximumAndPosition() {
    RunProgress progress = Overall(1, 1000);
    QCOMPARE(ProgressBarMaximum(progress), 1001);
    QCOMPARE(ProgressBarPosition(1001, 1.0), 1000);
    QCOMPARE(ProgressBarPosition(1001, 0.0), 0);
    progress.plannedTests = 20'000;
    progress.iterations = 1'000'000;
    QCOMPARE(ProgressBarMaximum(progress), 1'000'000);
  }

  // Point 1: a Run that ends while "Stop the Run and quit?" is asked closes the question;
  // the window stays, and shows "done ! ".
  void runEndingClosesTheStopQuestion() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "3000");
    const std::function<bool()> realQuestion = window.form.askStopAndQuit;
    int asked = 0;
    bool answer = true;
    window.form.askStopAndQuit = [&] {
      ++asked;
      answer = realQuestion();
      return answer;
    };
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    // A question left open would hold the test: answered after 60 s at the latest.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box->done(QMessageBox::Yes);
      }
    });
    guard.start(60'000);
    QTimer::singleShot(0, &window.form, [&window] { window.form.close(); });
    window.form.Button3Click();
    guard.stop();
    QCOMPARE(asked, 1);
    QVERIFY(!answer);
    QCOMPARE(window.boxes.messages, QStringList{QStringLiteral("done ! ")});
    QVERIFY(window.form.isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(window.Status().startsWith(QStringLiteral("Done: ")));
  }

  // The "done ! " box keeps its title whole: it is as wide as the title needs.
  void boxesAreWideEnoughForTheirTitle() {
    QWidget parent;
    int width = 0;
    QTimer::singleShot(0, [&width] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        width = box->width();
        qobject_cast<QMessageBox*>(box)->done(QMessageBox::Ok);
      }
    });
    ShowTextBox(&parent, QStringLiteral("done ! "), false);
    QVERIFY2(width >= 280, qPrintable(QString::number(width)));
  }

  // Point 6: tooltips on every setting, wrapped.
  void everySettingHasAWrappedTooltip() {
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (const char* name :
         {"Button1", "Edit1", "Button2", "Button3", "Button4", "Edit2", "Edit5", "SeedEdit",
          "CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4", "LogScaleBox", "StopButton",
          "ChartButton", "OpenFolderButton", "WorkingFolderButton", "ResultsButton"}) {
      QWidget* control = Control<QWidget>(form, name);
      const QString tip = control->toolTip();
      QVERIFY2(!tip.isEmpty(), name);
      QToolTip::showText(control->mapToGlobal(QPoint(2, 2)), tip, control);
      QLabel* shown = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible()) {
          shown = qobject_cast<QLabel*>(widget);
        }
      }
      QVERIFY2(shown != nullptr, name);
      QVERIFY2(
          shown->width() <= 600,
          qPrintable(
              QStringLiteral("%1: %2 pixels wide").arg(QLatin1String(name)).arg(shown->width())));
      QToolTip::hideText();
    }
  }

  // Point 6: each button, box and labelled field has its own mnemonic.
  void mnemonicsAreOneEachAndDistinct() {
    TForm1 form;
    std::map<QChar, QString> taken;
    for (QWidget* control : form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      QString text;
      if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
      if (auto* label = qobject_cast<QLabel*>(control); label && label->buddy())
        text = label->text();
      if (text.isEmpty()) continue;
      QCOMPARE(text.count(QLatin1Char('&')), 1);
      const QChar key = text.at(text.indexOf(QLatin1Char('&')) + 1).toLower();
      QVERIFY2(taken.emplace(key, control->objectName()).second,
               qPrintable(QStringLiteral("%1 and %2 share Alt+%3")
                              .arg(taken[key], control->objectName(), key)));
    }
    QVERIFY(taken.size() >= 16);
    QCOMPARE(Control<QLabel>(form, "Label1")->buddy(), Control<QWidget>(form, "Edit2"));
    QCOMPARE(Control<QLabel>(form, "Label4")->buddy(), Control<QWidget>(form, "Edit5"));
  }

  // Point 6: Ctrl+O opens, Ctrl+R runs, F1 shows the README's section, Ctrl+Q quits.
  void keyboardOpensRunsHelpsAndQuits() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "5");
    TForm1& form = window.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    int dialogs = 0;
    form.chooseFile = [&](QFileDialog& dialog) -> std::optional<QString> {
      ++dialogs;
      // Only files that are there.
      if (dialog.fileMode() != QFileDialog::ExistingFile) qFatal("a dialog that takes any name");
      return Native(window.data);
    };
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs, 1);
    QTest::keyClick(&form, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(window.boxes.messages, QStringList{QStringLiteral("done ! ")});
    QTest::keyClick(&form, Qt::Key_F1);
    QCOMPARE(window.boxes.helps.size(), 1);
    const QString help = window.boxes.helps[0];
    QVERIFY(help.contains(QStringLiteral("**Where the files go.**")));
    QVERIFY(!help.contains(QStringLiteral("![")));
    QCOMPARE(help, WindowHelp());
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!form.isVisible());
  }

  // Point 2: Run waits for a data file.
  void runIsDisabledUntilADataFileIsGiven() {
    TForm1 form;
    auto* run = Control<QPushButton>(form, "Button3");
    auto* path = Control<QLineEdit>(form, "Edit1");
    QVERIFY(!run->isEnabled());
    path->setText(QStringLiteral("a.txt"));
    QVERIFY(run->isEnabled());
    QCOMPARE(Control<QLabel>(form, "StatusLine")->text(),
             QStringLiteral("Ready: press Run to analyse a.txt."));
    path->clear();
    QVERIFY(!run->isEnabled());
    QCOMPARE(Control<QLabel>(form, "StatusLine")->text(),
             QStringLiteral("Choose a data file, then press Run."));
    // A file given at start says so too.
    form.ChooseDataFile(QStringLiteral("/data/pram.txt"));
    QCOMPARE(Control<QLabel>(form, "StatusLine")->text(),
             QStringLiteral("Ready: press Run to analyse pram.txt."));
  }

  // Point 3: the dialog opens in the last file's folder with its name field empty, so
  // that a typed path is never added to the last one.
  void openDialogStartsBesideTheLastFileWithAnEmptyName() {
    const QTemporaryDir scratch;
    const QString data = QDir(scratch.path()).filePath(QStringLiteral("aspen.txt"));
    QFile(data).open(QIODevice::WriteOnly);
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.chooseFile = [&](QFileDialog&) -> std::optional<QString> { return data; };
    form.Button1Click();
    QString folder;
    QString name = QStringLiteral("unseen");
    form.chooseFile = [&](QFileDialog& dialog) -> std::optional<QString> {
      folder = dialog.directory().absolutePath();
      if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name = edit->text();
      }
      return std::nullopt;
    };
    form.Button1Click();
    QCOMPARE(folder, QDir(scratch.path()).absolutePath());
    QVERIFY2(name.isEmpty() || name == QLatin1String("unseen"), qPrintable(name));
    QCOMPARE(Control<QLineEdit>(form, "Edit1")->text(), data);
  }

  // Point 3: "Working folder…" chooses it; a folder that cannot take the files is refused,
  // and a data file in such a folder offers to choose another.
  void workingFolderIsTheUsersToChoose() {
    const QTemporaryDir scratch;
    const QString out = QDir(scratch.path()).filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    boxes.chosenFolders = {out};
    Control<QPushButton>(form, "WorkingFolderButton")->click();
    QCOMPARE(form.WorkingFolder(), out);
    QCOMPARE(boxes.folderStarts, QStringList{QDir::currentPath()});
    QVERIFY(Control<QLabel>(form, "FolderLabel")->toolTip().contains(out));

    const QString readOnly = ReadOnlyFolder(scratch);
    if (readOnly.isEmpty()) QSKIP("no folder here is read-only for this user");
    boxes.chosenFolders = {readOnly};
    form.WorkingFolderClick();
    QCOMPARE(form.WorkingFolder(), out);
    QCOMPARE(boxes.errors.size(), 1);
    QVERIFY2(boxes.errors[0].startsWith(QStringLiteral("Working folder cannot be used.\n")),
             qPrintable(boxes.errors[0]));

    // The examples a package installs under /usr: the data folder is read-only.
    boxes.chosenFolders = {out};
    form.ChooseDataFile(QDir(readOnly).filePath(QStringLiteral("aspen.txt")));
    QCOMPARE(boxes.questions.size(), 1);
    QVERIFY(boxes.questions[0].contains(QStringLiteral("cannot take the Run's files")));
    QCOMPARE(form.WorkingFolder(), out);
    // Declined: the folder follows the file, and the Run will say why it cannot write.
    boxes.questionAnswer = false;
    form.ChooseDataFile(QDir(readOnly).filePath(QStringLiteral("aspen.txt")));
    QCOMPARE(form.WorkingFolder(), QDir(readOnly).absolutePath());
  }

  // Point 3: a Run on another data file asks before it replaces the files of the last one,
  // even after the window was closed and opened again; the same data file does not.
  void anotherDataFilesRunIsReplacedOnlyWhenTheUserSaysSo() {
    const ScopedWorkingFolder folder;
    QSettings().clear();
    fs::copy_file(ExamplePath("aspen.txt"), "aspen.txt");
    {
      RunWindow window("zostera.txt", "5");
      window.form.RestoreSettings();
      window.form.Button3Click();
      QCOMPARE(window.boxes.questions, QStringList());
      window.form.Button3Click();
      QCOMPARE(window.boxes.questions, QStringList());
      window.form.close();
    }
    const std::string zosteraResults = ReadBytes("results.txt");
    RunWindow window("aspen.txt", "5");
    window.form.RestoreSettings();
    window.boxes.questionAnswer = false;
    window.form.Button3Click();
    QCOMPARE(window.boxes.questions.size(), 1);
    QVERIFY2(
        window.boxes.questions[0].contains(QStringLiteral("of a Run on another data file, \"%1\"")
                                               .arg(Native(fs::current_path() / "zostera.txt"))),
        qPrintable(window.boxes.questions[0]));
    QVERIFY(window.boxes.messages.isEmpty());
    QCOMPARE(ReadBytes("results.txt"), zosteraResults);
    window.boxes.questionAnswer = true;
    window.form.Button3Click();
    QCOMPARE(window.boxes.questions.size(), 2);
    QCOMPARE(window.boxes.messages, QStringList{QStringLiteral("done ! ")});
    QVERIFY(ReadBytes("results.txt") != zosteraResults);
    // Another result name replaces nothing.
    Control<QLineEdit>(window.form, "Edit5")->setText(QStringLiteral("zostera_results.txt"));
    Control<QLineEdit>(window.form, "Edit1")->setText(Native(fs::current_path() / "zostera.txt"));
    window.form.Button3Click();
    QCOMPARE(window.boxes.questions.size(), 2);
  }

  // Point 1: what belongs to the last Run goes when another data file is chosen.
  void anotherDataFileClearsTheLastRun() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "20");
    window.form.Button3Click();
    QVERIFY(Control<QWidget>(window.form, "ResultsPanel")->isVisibleTo(&window.form));
    QVERIFY(!window.form.ChartValues().empty());
    window.form.ChooseDataFile(Native(fs::current_path() / "other.txt"));
    QVERIFY(!Control<QWidget>(window.form, "ResultsPanel")->isVisibleTo(&window.form));
    QVERIFY(!Control<QPushButton>(window.form, "ResultsButton")->isEnabled());
    QVERIFY(window.form.ChartValues().empty());
    QCOMPARE(window.Results()->rowCount(), 0);
    QCOMPARE(Control<QProgressBar>(window.form, "ProgressBar1")->value(), 0);
    QCOMPARE(window.Status(), QStringLiteral("Ready: press Run to analyse other.txt."));
  }

  // Point 4: the window fits the screen it starts on, as far as its least size allows.
  void windowFitsTheAvailableScreen() {
    TForm1 form;
    form.resize(1300, 760);
    form.move(200, 150);
    form.FitToScreen(QRect(0, 0, 1280, 770));
    QVERIFY(form.x() >= 0 && form.x() + form.width() <= 1280);
    QVERIFY(form.y() >= 0 && form.y() + form.height() + 32 <= 770);
    // 1280 x 800 at 150 % with a panel of the desktop: 853 x 450 available.
    form.FitToScreen(QRect(0, 0, 853, 450));
    QVERIFY(form.width() <= 853 && form.height() + 32 <= 450);
    QVERIFY(form.height() < 493);
    QCOMPARE(form.minimumSize(), QSize(738, 353));
    // The rows under the chart came up with it.
    form.show();
    const QRect stop = Control<QWidget>(form, "StopButton")->geometry();
    QVERIFY(stop.bottom() < form.height());
  }

  // Point 5: the Run's decimal separator in what is shown and copied; the chart's axes
  // too. (This test runs once more under a French locale.)
  void numbersUseTheRunsDecimalSeparator() {
    QCOMPARE(ReadableNumber(0.11479872741841166, ','), QStringLiteral("0,1148"));
    QCOMPARE(ExactNumber(0.11479872741841166, ','), QStringLiteral("0,11479872741841166"));
    QCOMPARE(ReadableNumber(2.5e-6, '.'), QStringLiteral("2.5e-06"));
    QCOMPARE(ChartLocale(',').decimalPoint(), QStringLiteral(","));
    QCOMPARE(ChartLocale('.').decimalPoint(), QStringLiteral("."));

    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "40");
    window.form.Button3Click();
    const char separator = QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.';
    const char other = separator == ',' ? '.' : ',';
    QCOMPARE(ResultsSeparator(*window.Results()), separator);
    const QString shown = window.Results()->index(0, 5).data().toString();
    QVERIFY2(shown.contains(QLatin1Char(separator)) && !shown.contains(QLatin1Char(other)),
             qPrintable(shown));
    QVERIFY(shown.size() <= 7);  // rounded to be read
    Control<QPushButton>(window.form, "CopyTableButton")->click();
    const QStringList row = QApplication::clipboard()
                                ->text()
                                .split(QLatin1Char('\n'))
                                .value(1)
                                .split(QLatin1Char('\t'));
    QVERIFY(row.value(5).size() > shown.size());  // every digit in a copy
    QVERIFY(row.value(5).contains(QLatin1Char(separator)));
    QChart* chart = Control<QChartView>(window.form, "Chart2")->chart();
    QVERIFY(chart->localizeNumbers());
    QCOMPARE(chart->locale().decimalPoint(), QString(QLatin1Char(separator)));
    QVERIFY(Control<QChartView>(window.form, "HistogramView")
                ->chart()
                ->title()
                .contains(QLatin1Char(separator)));
    // The Run's own table keeps its point.
    QVERIFY(ReadBytes("Summary_results.tsv").find(",1") == std::string::npos);
  }

  // Point 7: the clone report and the clone members in the results panel.
  void clonesTabShowsTheReportAndTheMembers() {
    const ScopedWorkingFolder folder;
    RunWindow window("aspen.txt", "10");
    window.form.Button3Click();
    auto* tabs = Control<QTabWidget>(window.form, "ResultsTabs");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) titles.append(tabs->tabText(i));
    QCOMPARE(titles, (QStringList{"Tests", "Clones", "Clonality"}));
    // The pages of the single tests, which this Run did not make, are out of view (not
    // drawn over the tabs).
    for (const char* name : {"LocusFigureView", "PopulationFigureView"}) {
      QVERIFY2(!Control<QChartView>(window.form, name)->isVisibleTo(tabs), name);
    }
    auto* populations =
        qobject_cast<QStandardItemModel*>(Control<QTableView>(window.form, "ClonesTable")->model());
    // The clone report: "pop<k>", size, NDGenotypes, NbClones, the repeat counts.
    const std::string report = ReadBytes("Clones_results.txt");
    std::vector<QStringList> lines;
    for (const QString& line : QString::fromStdString(report).split(QStringLiteral("\r\n"))) {
      if (line.startsWith(QStringLiteral("pop"))) {
        QStringList fields = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        lines.push_back(fields);
      }
    }
    QCOMPARE(static_cast<size_t>(populations->rowCount()), lines.size());
    for (int row = 0; row < populations->rowCount(); ++row) {
      const QStringList& fields = lines[static_cast<size_t>(row)];
      QCOMPARE(populations->index(row, 1).data().toString(), fields[1]);
      QCOMPARE(populations->index(row, 2).data().toString(), fields[2]);
      QCOMPARE(populations->index(row, 3).data().toString(), fields[3]);
      QCOMPARE(populations->index(row, 4).data().toString(),
               fields.mid(4).join(QStringLiteral(", ")));
    }
    // Each clone's members, as the clone members file lists them.
    const genosieve::testing::TsvTable members =
        genosieve::testing::ReadTsv(ReadBytes("Clonemembers_results.txt"));
    auto* view = Control<QTableView>(window.form, "CloneMembersTable");
    for (int population = 0; population < populations->rowCount(); ++population) {
      Control<QTableView>(window.form, "ClonesTable")->selectRow(population);
      int shown = 0;
      for (const std::vector<std::string>& line : members) {
        if (line[0] != std::to_string(population + 1) || std::stoi(line[3]) < 2) continue;
        const QString genotype = view->model()->index(shown, 0).data().toString();
        QCOMPARE(genotype, QString::fromStdString(line[2]));
        QCOMPARE(view->model()->index(shown, 1).data().toString(), QString::fromStdString(line[3]));
        QCOMPARE(view->model()->index(shown, 2).data().toString(), QString::fromStdString(line[4]));
        ++shown;
      }
      QCOMPARE(view->model()->rowCount(), shown);
    }
    Control<QPushButton>(window.form, "OpenResultsButton")->click();
    QCOMPARE(window.boxes.openedFiles,
             QStringList{QDir::current().absoluteFilePath("results.txt")});
  }

  // Point 7: the P-values Holm's correction keeps are marked in each family, as the
  // command line counts them; the panels --figures draws are there.
  void holmMarksAndSingleTestPanels() {
    const ScopedWorkingFolder folder;
    RunWindow window("aspen.txt", "99");
    window.form.runSeed = 1;
    Control<QCheckBox>(window.form, "CheckBox2")->setChecked(true);
    Control<QCheckBox>(window.form, "CheckBox3")->setChecked(true);
    window.form.Button3Click();
    genosieve::testing::FakeRunView view;
    const fs::path direct = fs::current_path() / "direct";
    fs::create_directories(direct);
    genosieve::RunSettings settings = window.form.CurrentSettings();
    settings.workingFolder = direct.string();
    genosieve::Run(settings, view);
    const std::vector<std::string> lines = genosieve::InterpretationLines(view.outcomes);

    QStandardItemModel* table = window.Results();
    std::map<QString, int> marked;
    for (int row = 0; row < table->rowCount(); ++row) {
      const QString kind = table->index(row, 0).data().toString();
      const QString mark = table->index(row, kHolmColumn).data().toString();
      const bool bold = table->index(row, 7).data(Qt::FontRole).value<QFont>().bold();
      if (kind == QLatin1String("overall")) {
        QCOMPARE(mark, QString());
        continue;
      }
      QVERIFY(mark == QLatin1String("yes") || mark == QLatin1String("no"));
      QCOMPARE(bold, mark == QLatin1String("yes"));
      if (mark == QLatin1String("yes")) ++marked[kind];
    }
    // "loci: 1 of 6 with p_lower <= 0.05 (0 after Holm correction)"
    for (const std::string& line : lines) {
      const QString text = QString::fromStdString(line);
      if (!text.contains(QStringLiteral("after Holm"))) continue;
      const QString kind = text.startsWith(QStringLiteral("loci")) ? QStringLiteral("locus")
                                                                   : QStringLiteral("population");
      const int counted = text.section(QLatin1Char('('), 1).section(QLatin1Char(' '), 0, 0).toInt();
      QCOMPARE(marked[kind], counted);
    }
    auto* tabs = Control<QTabWidget>(window.form, "ResultsTabs");
    QCOMPARE(tabs->count(), 5);  // Tests, Loci, Populations, Clones, Clonality
    for (const char* name : {"LocusFigureView", "PopulationFigureView"}) {
      QChart* chart = Control<QChartView>(window.form, name)->chart();
      QVERIFY2(!chart->series().isEmpty(), name);
    }
    QVERIFY(Control<QChartView>(window.form, "LocusFigureView")
                ->chart()
                ->title()
                .startsWith(QStringLiteral("Locus tests")));
  }

  // A data file that two layouts read with other populations: the window asks which is
  // meant, runs again with it, and keeps the choice for that file.
  void aFileOfTwoReadingsRunsInTheLayoutChosen() {
    const ScopedWorkingFolder folder;
    // Population numbers 1 1 2 2 1 1 with P = 2: native (the last run counts in
    // population 2) and FSTAT (grouped by number).
    genosieve::testing::WriteBytes(
        "runs.txt",
        "2 3 200 3\r\nL1\r\nL2\r\nL3\r\n"
        "1\t120124\t130132\t140142\t\r\n1\t120124\t130132\t140142\t\r\n"
        "2\t124124\t132132\t142142\t\r\n2\t120120\t130130\t140140\t\r\n"
        "1\t120124\t130132\t140142\t\r\n1\t124124\t130132\t140140\t\r\n");
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.runSeed = 2;
    Control<QLineEdit>(form, "Edit1")->setText(Native(fs::current_path() / "runs.txt"));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("10"));
    // Declined: no Run, no error box; the status line says why.
    form.Button3Click();
    QCOMPARE(boxes.readingQuestions.size(), 1);
    QCOMPARE(boxes.readingQuestions[0],
             (QStringList{"\"runs.txt\" reads in two layouts, which give different populations "
                          "or genotypes. Which is the file's?",
                          "FSTAT: 2 populations of 4 and 2 individuals, 3 loci",
                          "native: 2 populations of 2 and 4 individuals, 3 loci"}));
    QCOMPARE(boxes.errors, QStringList());
    QVERIFY2(Control<QLabel>(form, "StatusLine")->text().contains(QStringLiteral("two layouts")),
             qPrintable(Control<QLabel>(form, "StatusLine")->text()));
    QVERIFY(!fs::exists("results.txt"));
    // Native chosen: the Run goes through with it, as the command line's --format native.
    boxes.readingAnswer = 1;
    form.Button3Click();
    QCOMPARE(boxes.readingQuestions.size(), 2);
    QCOMPARE(boxes.messages, QStringList{QStringLiteral("done ! ")});
    QCOMPARE(form.CurrentSettings().format, genosieve::DataFormat::kNative);
    QVERIFY(ReadBytes("Clones_results.txt").find("pop1\t\t2\t") != std::string::npos);
    genosieve::RunSettings settings = form.CurrentSettings();
    settings.workingFolder = (fs::current_path() / "direct").string();
    fs::create_directories(settings.workingFolder);
    genosieve::testing::FakeRunView view;
    genosieve::Run(settings, view);
    QCOMPARE(ReadBytes("direct/results.txt"), ReadBytes("results.txt"));
    // The same file again: the choice holds, nothing is asked.
    form.Button3Click();
    QCOMPARE(boxes.readingQuestions.size(), 2);
    // Another file is read in the layout recognised.
    Control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("other.txt"));
    QCOMPARE(form.CurrentSettings().format, genosieve::DataFormat::kAuto);
  }

 private:
  QTemporaryDir settingsFolder_;
};

QTEST_MAIN(WindowDailyTest)
#include "test_window_daily.moc"
