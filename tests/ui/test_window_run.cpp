// The window a user keeps open: whole-Run progress, stopping, the results view, saving
// and copying, the working folder, the defaults it remembers and its resizing.

#include <csv.h>
#include <sys/stat.h>

#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QValueAxis>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/run.h"
#include "curve_decimation.h"
#include "number_text.h"
#include "results_table.h"
#include "run_progress.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"
#include "time_estimate.h"
#include "unit1.h"
#include "window_fixture.h"

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

QLineSeries* CurveOf(TForm1& form) {
  return qobject_cast<QLineSeries*>(
      Control<QChartView>(form, "Chart2")->chart()->series().value(0));
}

QValueAxis* LeftAxisOf(TForm1& form) {
  for (QAbstractAxis* axis : Control<QChartView>(form, "Chart2")->chart()->axes(Qt::Vertical)) {
    return qobject_cast<QValueAxis*>(axis);
  }
  return nullptr;
}

// The fields of each line of a CSV text, read back with libcsv.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text, char delimiter = ',') {
  struct Reader {
    std::vector<std::vector<std::string>> rows{{}};
  } reader;
  csv_parser parser;
  csv_init(&parser, CSV_STRICT | CSV_APPEND_NULL);
  csv_set_delim(&parser, static_cast<unsigned char>(delimiter));
  const auto field = [](void* data, size_t, void* out) {
    static_cast<Reader*>(out)->rows.back().emplace_back(static_cast<const char*>(data));
  };
  const auto row = [](int, void* out) { static_cast<Reader*>(out)->rows.emplace_back(); };
  csv_parse(&parser, text.data(), text.size(), field, row, &reader);
  csv_fini(&parser, field, row, &reader);
  csv_free(&parser);
  reader.rows.pop_back();
  return reader.rows;
}

}  // namespace

class WindowRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    genosieve::testing::KeepSettingsIn(QStringLiteral("ui-window-run"), settingsFolder_.path());
  }

  void testCaptionsNameTheTestAndItsRank() {
    QCOMPARE(TestCaption(RandomizationKind::kOverall, 1, 1, "overall"),
             QStringLiteral("Overall test"));
    QCOMPARE(TestCaption(RandomizationKind::kPerLocus, 7, 30, "WPMS14"),
             QStringLiteral("Locus 7 of 30 (WPMS14)"));
    QCOMPARE(TestCaption(RandomizationKind::kPerPopulation, 12, 50, "pop12"),
             QStringLiteral("Population 12 of 50"));
    QCOMPARE(TestCaption(RandomizationKind::kPerPopulation, 2, 3, "Lake Garda"),
             QStringLiteral("Population 2 of 3 (Lake Garda)"));
  }

  void wholeRunFractionCountsTheIterationsOfEveryPlannedTestUntilTimed() {
    RunProgress progress;
    QCOMPARE(WholeRunFraction(progress, {}, false), 0.0);
    progress.plannedTests = 4;
    progress.iterations = 100;
    progress.testsStarted = 1;
    progress.iteration = 50;
    QCOMPARE(WholeRunFraction(progress, {}, false), 50.0 / 400);
    progress.testsStarted = 4;
    progress.iteration = 100;
    QCOMPARE(WholeRunFraction(progress, {}, false), 1.0);
    progress.iterations = 0;
    progress.testsStarted = 3;
    QCOMPARE(WholeRunFraction(progress, {}, false), 2.0 / 4);
    QCOMPARE(ProgressTitle(QStringLiteral("GENOSIEVE 0.4"), 0.259),
             QStringLiteral("25 % - GENOSIEVE 0.4"));
    QCOMPARE(ProgressTitle(QStringLiteral("GENOSIEVE 0.4"), 1.0),
             QStringLiteral("100 % - GENOSIEVE 0.4"));
  }

  void statusShowsTheIterationTheTimeAndTheTimeLeft() {
    QCOMPARE(DurationText(7'900), QStringLiteral("0:07"));
    QCOMPARE(DurationText(754'000), QStringLiteral("12:34"));
    QCOMPARE(DurationText(3'723'000), QStringLiteral("1:02:03"));
    RunProgress progress{.plannedTests = 31,
                         .iterations = 1000,
                         .testsStarted = 8,
                         .kind = RandomizationKind::kPerLocus,
                         .index = 7,
                         .count = 30,
                         .name = "Loc7",
                         .iteration = 750};
    QCOMPARE(ProgressStatus(progress, 10'000, {30'000, 12'000}),
             QStringLiteral("Locus 7 of 30 (Loc7), iteration 750 of 1000 \u00b7 0:10 elapsed "
                            "\u00b7 about 0:30 left"));
    QCOMPARE(ProgressStatus(progress, 10'000, {std::nullopt, 12'000}),
             QStringLiteral("Locus 7 of 30 (Loc7), iteration 750 of 1000 \u00b7 0:10 elapsed "
                            "\u00b7 about 0:12 left for the locus tests, estimating the rest"));
    progress.testsStarted = 1;
    progress.iteration = 1;
    QVERIFY(ProgressStatus(progress, 200, {}).endsWith(QStringLiteral("estimating the time left")));
    progress.testsStarted = 0;
    QCOMPARE(ProgressStatus(progress, 1'000, {}),
             QStringLiteral("Reading the data and finding clones \u00b7 0:01 elapsed"));
  }

  void decimationKeepsEveryExtremeAndBothEnds() {
    std::vector<double> values(100'003);
    for (size_t i = 0; i < values.size(); ++i) values[i] = std::sin(static_cast<double>(i) / 7);
    values[54'321] = -3;
    values[77'777] = 5;
    const QList<QPointF> points = DecimatedCurve(values, 1000);
    QVERIFY(points.size() <= 4000);
    QCOMPARE(points.constFirst(), QPointF(0, values.front()));
    QCOMPARE(points.constLast(), QPointF(100'002, values.back()));
    QVERIFY(points.contains(QPointF(54'321, -3)));
    QVERIFY(points.contains(QPointF(77'777, 5)));
    for (qsizetype i = 1; i < points.size(); ++i) {
      QVERIFY(points[i].x() > points[i - 1].x());
      QCOMPARE(points[i].y(), values[static_cast<size_t>(points[i].x())]);
    }
    const std::vector<double> few = {0.5, 0.25, 1};
    QCOMPARE(DecimatedCurve(few, 1).size(), 3);
  }

  // When "done ! " shows, the Run has ended: its clock has stopped, Stop is disabled, the
  // bar is full and the results are drawn behind the box.
  void wholeRunProgressReachesItsEnd() {
    const ScopedWorkingFolder folder;
    RunWindow window;
    Control<QCheckBox>(window.form, "CheckBox2")->setChecked(true);
    Control<QCheckBox>(window.form, "CheckBox3")->setChecked(true);
    QString statusAtDone;
    QString titleAtDone;
    bool stopUsable = true;
    bool quitUsable = false;
    bool histogramDrawn = false;
    window.form.showMessage = [&](const QString&) {
      statusAtDone = window.Status();
      titleAtDone = window.form.windowTitle();
      stopUsable = Control<QPushButton>(window.form, "StopButton")->isEnabled();
      quitUsable = Control<QPushButton>(window.form, "Button2")->isEnabled();
      histogramDrawn =
          !Control<QChartView>(window.form, "HistogramView")->chart()->series().isEmpty();
      QTest::qWait(1100);
    };
    window.form.Button3Click();
    QCOMPARE(window.boxes.errors, QStringList());
    // Zostera: 9 loci and 2 populations, 12 tests.
    QVERIFY2(statusAtDone.startsWith(QStringLiteral("Done: 12 tests of 30 iterations in ")),
             qPrintable(statusAtDone));
    QCOMPARE(titleAtDone, QStringLiteral("GENOSIEVE 0.4"));
    QVERIFY(!stopUsable && quitUsable && histogramDrawn);
    // The clock stopped behind the box: a second there adds nothing.
    QCOMPARE(window.Status(), statusAtDone);
    QCOMPARE(window.form.windowTitle(), QStringLiteral("GENOSIEVE 0.4"));
    QVERIFY(window.Status().contains(QDir::toNativeSeparators(QDir::currentPath())));
    QVERIFY(!Control<QPushButton>(window.form, "StopButton")->isEnabled());
    // The bar is the whole Run's: 12 tests of 31 steps, at the last iteration of the last.
    auto* progress = Control<QProgressBar>(window.form, "ProgressBar1");
    QCOMPARE(progress->maximum(), 12 * 31);
    QCOMPARE(progress->value(), 12 * 31 - 1);
  }

  void quitDuringARunAsksAndClosesOnceTheRunHasEnded() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "1000000");
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.boxes.stopAnswer = true;
    bool visibleAfterAnswer = false;
    QTimer::singleShot(50, &window.form, [&] {
      QTest::mouseClick(Control<QPushButton>(window.form, "Button2"), Qt::LeftButton);
      visibleAfterAnswer = window.form.isVisible();
      // Asked once: closing again while the Run ends asks nothing more.
      window.form.close();
    });
    window.form.Button3Click();
    QCOMPARE(window.boxes.stopQuestions, 1);
    QVERIFY(visibleAfterAnswer);
    // Yes stopped the Run: no "done ! ", and the window closed once it had ended.
    QCOMPARE(window.boxes.messages, QStringList());
    QVERIFY(!window.form.isVisible());
    QVERIFY(!window.form.IsRunning());
    QVERIFY(window.Status().startsWith(QStringLiteral("Run interrupted after ")));
  }

  void noticesReachTheStatusLine() {
    const ScopedWorkingFolder folder;
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    const fs::path data = fs::current_path() / "zostera.gen";
    fs::copy_file(genosieve::testing::TestDataPath("import/genepop/zostera.gen"), data);
    Control<QLineEdit>(form, "Edit1")->setText(Native(data));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("5"));
    form.Button3Click();
    QCOMPARE(boxes.errors, QStringList());
    genosieve::testing::FakeRunView view;
    genosieve::RunSettings settings = form.CurrentSettings();
    settings.seed = 1;
    genosieve::Run(settings, view);
    QVERIFY(!view.notices.empty());
    auto* status = Control<QLabel>(form, "StatusLine");
    QVERIFY2(status->text().contains(QString::fromStdString(view.notices.back())),
             qPrintable(status->text()));
    for (const std::string& notice : view.notices) {
      QVERIFY(status->toolTip().contains(QString::fromStdString(notice).toHtmlEscaped()));
    }
  }

  void chartIsClearedWhenARunStartsAndItsAxisHoldsTheCurve() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "200");
    window.form.Button3Click();
    QLineSeries* curve = CurveOf(window.form);
    QCOMPARE(curve->count(), 200);
    double lowest = 1;
    double highest = 0;
    for (double value : window.form.ChartValues()) {
      lowest = std::min(lowest, value);
      highest = std::max(highest, value);
    }
    QValueAxis* left = LeftAxisOf(window.form);
    QVERIFY(left->min() <= lowest && left->max() >= highest);
    // The axis ends on labelled ticks.
    const double ticks = (left->max() - left->min()) / left->tickInterval();
    QVERIFY(std::abs(ticks - std::round(ticks)) < 1e-9);
    QVERIFY(std::abs(left->min() / left->tickInterval() -
                     std::round(left->min() / left->tickInterval())) < 1e-9);

    // The next Run fails before its overall test: the last curve is gone all the same.
    bool curveGoneDuringRun = false;
    window.form.showError = [&](const QString&) {};
    Control<QLineEdit>(window.form, "Edit5")->setText(QStringLiteral("no folder/r.txt"));
    window.form.Button3Click();
    curveGoneDuringRun = curve->count() == 0 && window.form.ChartValues().empty();
    QVERIFY(curveGoneDuringRun);
    QVERIFY(window.Results()->rowCount() == 0);
    QVERIFY(window.Status().startsWith(QStringLiteral("Run failed after ")));
  }

  void hoveringTheCurveShowsTheIterationAndItsValue() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "50");
    window.form.show();
    window.form.Button3Click();
    QLineSeries* curve = CurveOf(window.form);
    emit curve->hovered(QPointF(9.2, 0.1), true);
    QVERIFY(QToolTip::isVisible());
    const char separator = QLocale::system().decimalPoint() == QLatin1Char(',') ? ',' : '.';
    QCOMPARE(QToolTip::text(), QStringLiteral("iteration 10: P-value %1")
                                   .arg(ExactNumber(window.form.ChartValues()[9], separator)));
    emit curve->hovered(QPointF(9.2, 0.1), false);
  }

  void resultsTableHoldsEveryFinishedTest() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "25");
    Control<QCheckBox>(window.form, "CheckBox3")->setChecked(true);
    window.form.Button3Click();
    QVERIFY(Control<QWidget>(window.form, "ResultsPanel")->isVisible() || !window.form.isVisible());
    QVERIFY(Control<QPushButton>(window.form, "ResultsButton")->isChecked());

    // The same Run made directly reports the same tests.
    genosieve::testing::FakeRunView view;
    const fs::path direct = fs::current_path() / "direct";
    fs::create_directories(direct);
    fs::current_path(direct);
    genosieve::Run(window.form.CurrentSettings(), view);
    fs::current_path(direct.parent_path());
    QStandardItemModel* table = window.Results();
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(static_cast<size_t>(table->rowCount()), view.outcomes.size());
    for (int row = 0; row < table->rowCount(); ++row) {
      const genosieve::TestOutcome& outcome = view.outcomes[static_cast<size_t>(row)];
      const auto cell = [&](int column) { return table->index(row, column).data().toString(); };
      // Shown rounded, with every digit under the pointer.
      const auto exact = [&](int column) {
        return table->index(row, column).data(Qt::ToolTipRole).toString();
      };
      const char separator = ResultsSeparator(*table);
      QCOMPARE(cell(1), QString::number(outcome.index));
      QCOMPARE(cell(2), QString::fromStdString(outcome.name));
      QCOMPARE(cell(3), QString::number(outcome.individuals));
      QCOMPARE(exact(5), ExactNumber(static_cast<double>(outcome.observed), separator));
      QCOMPARE(exact(6), ExactNumber(static_cast<double>(outcome.expected), separator));
      QCOMPARE(exact(7), ExactNumber(static_cast<double>(outcome.pLower), separator));
      QCOMPARE(exact(8), ExactNumber(static_cast<double>(outcome.pUpper), separator));
      QCOMPARE(cell(5), ReadableNumber(static_cast<double>(outcome.observed), separator));
    }
    QCOMPARE(table->index(0, 0).data().toString(), QStringLiteral("overall"));
    QCOMPARE(table->index(2, 0).data().toString(), QStringLiteral("population"));

    // Sorting by the observed Fis sorts by value.
    Control<QTableView>(window.form, "ResultsTable")->sortByColumn(5, Qt::DescendingOrder);
    for (int row = 1; row < table->rowCount(); ++row) {
      QVERIFY(table->index(row - 1, 5).data(Qt::UserRole + 1).toDouble() >=
              table->index(row, 5).data(Qt::UserRole + 1).toDouble());
    }
  }

  // A Genepop file chosen with the dialog, as a user would: its folder takes the files, the
  // table shows what the summary file holds and the histogram the overall test's values.
  void genepopRunFromTheDialogShowsTheSummaryAndTheHistogram() {
    const ScopedWorkingFolder folder;
    const fs::path field = folder.path() / "field";
    fs::create_directories(field);
    const fs::path data = field / "zostera.gen";
    fs::copy_file(genosieve::testing::TestDataPath("import/genepop/zostera.gen"), data);
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.chooseFile = [&](QFileDialog&) -> std::optional<QString> { return Native(data); };
    form.Button1Click();
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("40"));
    Control<QCheckBox>(form, "CheckBox2")->setChecked(true);
    Control<QCheckBox>(form, "CheckBox3")->setChecked(true);
    form.runSeed = 5;
    form.Button3Click();
    QCOMPARE(boxes.errors, QStringList());
    QCOMPARE(boxes.messages, QStringList{QStringLiteral("done ! ")});
    QVERIFY(fs::exists(field / "results.txt"));
    QVERIFY(!fs::exists(folder.path() / "results.txt"));

    const genosieve::testing::TsvTable summary =
        genosieve::testing::ReadTsv(ReadBytes(field / "Summary_results.tsv"));
    QStandardItemModel* table =
        qobject_cast<QStandardItemModel*>(Control<QTableView>(form, "ResultsTable")->model());
    QVERIFY(table->rowCount() > 2);
    QCOMPARE(static_cast<size_t>(table->rowCount()), summary.size() - 1);
    // Test, index, name, individuals, distinct genotypes, observed and expected Fis and
    // both P-values, in the order of the summary's columns: the table's copy with a point
    // reads as the summary file does.
    const QStringList copied = ResultsTsv(*table, '.').split(QLatin1Char('\n'));
    for (int row = 0; row < table->rowCount(); ++row) {
      const std::vector<std::string>& line = summary[static_cast<size_t>(row) + 1];
      const QStringList fields = copied.value(row + 1).split(QLatin1Char('\t'));
      for (int column = 0; column < 9; ++column) {
        QCOMPARE(fields.value(column), QString::fromStdString(line[static_cast<size_t>(column)]));
      }
    }

    // The histogram holds every randomized value and marks the observed one.
    QChart* histogram = Control<QChartView>(form, "HistogramView")->chart();
    QAreaSeries* bars = nullptr;
    QLineSeries* observed = nullptr;
    for (QAbstractSeries* series : histogram->series()) {
      if (auto* area = qobject_cast<QAreaSeries*>(series)) bars = area;
      if (auto* line = qobject_cast<QLineSeries*>(series)) observed = line;
    }
    QVERIFY(bars != nullptr && observed != nullptr);
    const QList<QPointF> outline = bars->upperSeries()->points();
    double counted = 0;
    for (qsizetype i = 1; i + 1 < outline.size(); i += 2) counted += outline[i].y();
    QCOMPARE(counted, 40.0);
    QCOMPARE(observed->at(0).x(), QString::fromStdString(summary[1][5]).toDouble());
    // The data file's folder took the files, and "Open results file" opens them there.
    Control<QPushButton>(form, "OpenResultsButton")->click();
    QCOMPARE(boxes.openedFiles, QStringList{Native(field / "results.txt")});
    QVERIFY(
        histogram->title().contains(QString::fromStdString(summary[1][0]), Qt::CaseInsensitive));

    // A Run that ends before any test leaves neither the histogram nor an empty panel.
    Control<QLineEdit>(form, "Edit1")->setText(Native(field / "missing.gen"));
    form.Button3Click();
    QCOMPARE(boxes.errors.size(), 1);
    QVERIFY(Control<QChartView>(form, "HistogramView")->chart()->series().isEmpty());
    QVERIFY(!Control<QPushButton>(form, "ResultsButton")->isChecked());
    QVERIFY(!Control<QWidget>(form, "ResultsPanel")->isVisibleTo(&form));
  }

  void tableAndChartsAreSavedAndCopied() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "40");
    Control<QCheckBox>(window.form, "CheckBox2")->setChecked(true);
    window.form.show();
    window.form.Button3Click();
    QStandardItemModel* table = window.Results();
    QCOMPARE(table->rowCount(), 10);

    const QString csv = QDir::current().filePath(QStringLiteral("table.csv"));
    const QString tsv = QDir::current().filePath(QStringLiteral("table.tsv"));
    window.boxes.savePaths = {csv, tsv};
    auto* exportButton = Control<QPushButton>(window.form, "ExportTableButton");
    exportButton->click();
    exportButton->click();
    QCOMPARE(window.boxes.errors, QStringList());
    // The suggestion is next to the Run's files.
    QCOMPARE(window.boxes.saveSuggestions.value(0),
             QDir::current().filePath(QStringLiteral("Table_results.csv")));
    // The CSV starts with a byte-order mark, so that spreadsheets read it as UTF-8; its
    // fields are those of the table's copy (every digit, the Run's separator).
    const std::string csvBytes = ReadBytes(csv.toStdString());
    QVERIFY(csvBytes.starts_with("\xEF\xBB\xBF"));
    const char separator = ResultsSeparator(*table);
    const auto rows = ReadCsv(csvBytes.substr(3), separator == ',' ? ';' : ',');
    QCOMPARE(rows.size(), size_t{11});
    QCOMPARE(QString::fromStdString(rows[0][0]), QStringLiteral("Test"));
    QCOMPARE(QString::fromStdString(rows[0][7]), QStringLiteral("P lower (Fis \u2264 observed)"));
    const QStringList copiedAll = ResultsTsv(*table, separator).split(QLatin1Char('\n'));
    // The TSV keeps a point, as the Run's own tables do.
    const QStringList pointed = ResultsTsv(*table, '.').split(QLatin1Char('\n'));
    const QStringList tsvLines =
        QString::fromStdString(ReadBytes(tsv.toStdString())).split(QLatin1Char('\n'));
    for (int row = 0; row < table->rowCount(); ++row) {
      const QStringList fields = tsvLines.value(row + 1).split(QLatin1Char('\t'));
      const QStringList copiedFields = copiedAll.value(row + 1).split(QLatin1Char('\t'));
      QCOMPARE(fields.size(), table->columnCount());
      for (int column = 0; column < table->columnCount(); ++column) {
        QCOMPARE(QString::fromStdString(rows[static_cast<size_t>(row) + 1][column]),
                 copiedFields.value(column));
      }
      QCOMPARE(tsvLines.value(row + 1), pointed.value(row + 1));
    }

    // Copy table: the selected rows after the titles, or all of them.
    auto* view = Control<QTableView>(window.form, "ResultsTable");
    view->selectRow(2);
    Control<QPushButton>(window.form, "CopyTableButton")->click();
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(copied.value(1), copiedAll.value(3));
    QCOMPARE(copied.size(), 3);

    // The running P-value chart and the histogram in the three formats.
    for (const char* name : {"Chart2", "HistogramView"}) {
      auto* chartView = Control<QChartView>(window.form, name);
      QMenu* menu = Control<QMenu>(window.form, (std::string(name) + "Menu").c_str());
      const QStringList paths = {QDir::current().filePath(QStringLiteral("%1.png").arg(name)),
                                 QDir::current().filePath(QStringLiteral("%1.svg").arg(name)),
                                 QDir::current().filePath(QStringLiteral("%1.pdf").arg(name))};
      window.boxes.savePaths = paths;
      for (int i = 0; i < 3; ++i) menu->actions().at(0)->trigger();
      QCOMPARE(window.boxes.errors, QStringList());
      QImage image(paths[0]);
      QCOMPARE(image.size(), chartView->viewport()->size() * image.devicePixelRatio());
      QVERIFY(ReadBytes(paths[1].toStdString()).find("<svg") != std::string::npos);
      QVERIFY(ReadBytes(paths[2].toStdString()).starts_with("%PDF"));
      menu->actions().at(1)->trigger();
      QCOMPARE(QApplication::clipboard()->image().size(), image.size());
    }
    // Copy values: every running P-value.
    QMenu* chartMenu = Control<QMenu>(window.form, "Chart2Menu");
    chartMenu->actions().at(2)->trigger();
    const QStringList values = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(values.value(0), QStringLiteral("iteration\tP-value"));
    QCOMPARE(values.value(40), QStringLiteral("40\t%1").arg(ExactNumber(
                                   window.form.ChartValues()[39], ResultsSeparator(*table))));

    // A link at the chosen name is refused, and nothing is written through it.
    const QString target = QDir::current().filePath(QStringLiteral("target.png"));
    QFile::link(target, QDir::current().filePath(QStringLiteral("link.png")));
    window.boxes.savePaths = {QDir::current().filePath(QStringLiteral("link.png"))};
    Control<QMenu>(window.form, "Chart2Menu")->actions().at(0)->trigger();
    QCOMPARE(window.boxes.errors.size(), 1);
    QVERIFY(window.boxes.errors[0].startsWith(QStringLiteral("The chart could not be saved.")));
    QVERIFY(window.boxes.errors[0].contains(QStringLiteral("link.png\": is a link")));
    QVERIFY(!QFile::exists(target));
  }

  void theRunWritesIntoTheWorkingFolderShown() {
    const ScopedWorkingFolder folder;
    const fs::path out = fs::current_path() / "out";
    fs::create_directories(out);
    RunWindow window("zostera.txt", "5");
    window.form.SetWorkingFolder(Native(out));
    window.form.Button3Click();
    QCOMPARE(window.boxes.errors, QStringList());
    for (const char* name : {"results.txt", "Clones_results.txt", "tempmicrosat.txt"}) {
      QVERIFY2(fs::exists(out / name), name);
      QVERIFY2(!fs::exists(fs::current_path() / name), name);
    }
  }

  void stopEndsTheRunAtItsNextIteration() {
    const ScopedWorkingFolder folder;
    genosieve::testing::WriteBytes("results.txt", "the previous Run's results\r\n");
    RunWindow window("zostera.txt", "1000000");
    // Pressed as soon as the window's loop runs, while the Run is in its first test.
    QTimer::singleShot(0, &window.form, [&window] { window.form.StopClick(); });
    window.form.Button3Click();
    // A results file of unknown origin was there: the Run asked before replacing it.
    QCOMPARE(window.boxes.questions.size(), 1);
    QVERIFY(window.boxes.questions[0].contains(QStringLiteral("\"results.txt\"")));
    // The user asked for it: no box, the status line says so and the controls are back.
    QCOMPARE(window.boxes.errors, QStringList());
    QCOMPARE(window.boxes.messages, QStringList());
    QVERIFY2(window.Status().startsWith(QStringLiteral("Run interrupted after ")),
             qPrintable(window.Status()));
    QVERIFY(Control<QPushButton>(window.form, "Button3")->isEnabled());
    QVERIFY(!Control<QPushButton>(window.form, "StopButton")->isEnabled());
    // The bar says how far a Run goes while it goes; a stopped one leaves it empty.
    QCOMPARE(Control<QProgressBar>(window.form, "ProgressBar1")->value(), 0);
    QCOMPARE(genosieve::testing::ReadBytes("results.txt"),
             std::string("the previous Run's results\r\n"));
    for (const auto& entry : fs::directory_iterator(fs::current_path())) {
      QVERIFY2(!entry.path().filename().string().starts_with(".genosieve"),
               qPrintable(QString::fromStdString(entry.path().string())));
    }
  }

  void escapeStopsAndClosingStopsThenQuits() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "1000000");
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    QTimer::singleShot(0, &window.form,
                       [&window] { QTest::keyClick(&window.form, Qt::Key_Escape); });
    window.form.Button3Click();
    QVERIFY2(window.Status().startsWith(QStringLiteral("Run interrupted after ")),
             qPrintable(window.Status()));
    QVERIFY(window.form.isVisible());
    QCOMPARE(window.boxes.errors, QStringList());

    // The window's close box: "no" goes on, "yes" stops and quits once the Run has ended.
    window.boxes.stopAnswer = false;
    QTimer::singleShot(0, &window.form, [&window] {
      window.form.close();
      window.boxes.stopAnswer = true;
      window.form.close();
    });
    window.form.Button3Click();
    QCOMPARE(window.boxes.stopQuestions, 2);
    QVERIFY(window.Status().startsWith(QStringLiteral("Run interrupted after ")));
    QVERIFY(!window.form.isVisible());
    QCOMPARE(window.boxes.errors, QStringList());
  }

  void errorBoxesNameTheFileWithItsFullPath() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "5");
    QCOMPARE(::mkfifo("results.txt", 0600), 0);
    window.form.Button3Click();
    const QString results = QDir::current().absoluteFilePath(QStringLiteral("results.txt"));
    // What holds the name is part of the reason, and the advice follows from it.
    QCOMPARE(window.boxes.errors,
             QStringList{QStringLiteral("A file in the working folder could not be written.\n"
                                        "File: %1\n"
                                        "Reason: its name is taken by a named pipe: "
                                        "Acc\u00e8s au fichier refus\u00e9 (access denied)\n"
                                        "What to do: Remove what holds the file's name if it is "
                                        "yours, or choose another result name, or choose another "
                                        "folder with Working folder\u2026.")
                             .arg(results)});
    // Once the box is answered, the status line still names the file, as the command line
    // does.
    QCOMPARE(window.Status(),
             QStringLiteral("Run failed after 0:00: Output file \"%1\": its name is taken by a "
                            "named pipe: Acc\u00e8s au fichier refus\u00e9")
                 .arg(results));
  }

  // A Run that cannot fit in memory is refused before its first test, with a box that
  // says so in English around the system's message.
  void aRunTooLargeForMemoryIsRefusedUpFront() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "2147483647");
    window.form.Button3Click();
    QCOMPARE(window.boxes.errors.size(), 1);
    const QString box = window.boxes.errors.constFirst();
    QVERIFY2(box.startsWith(QStringLiteral("There was not enough memory for the Run.\nReason: "
                                           "M\u00e9moire insuffisante (the Run would need about ")),
             qPrintable(box));
    QVERIFY2(
        box.contains(QStringLiteral(") (not enough memory)\nWhat to do: Use fewer iterations")),
        qPrintable(box));
    QCOMPARE(window.Results()->rowCount(), 0);
    QVERIFY(!window.form.IsRunning());
  }

  void choosingADataFileMakesItsFolderTheWorkingFolder() {
    const ScopedWorkingFolder folder;
    const fs::path field = fs::current_path() / "field data";
    fs::create_directories(field);
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    QCOMPARE(form.WorkingFolder(), QString());
    QVERIFY(Control<QLabel>(form, "FolderLabel")->toolTip().contains(QDir::currentPath()));
    form.chooseFile = [&](QFileDialog&) -> std::optional<QString> {
      return Native(field / "aspen.txt");
    };
    form.Button1Click();
    QCOMPARE(form.WorkingFolder(), Native(field));
    QVERIFY(Control<QLabel>(form, "FolderLabel")->toolTip().contains(Native(field)));
    // A typed path leaves it.
    Control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("/elsewhere/data.txt"));
    QCOMPARE(form.WorkingFolder(), Native(field));

    // So does a dropped file.
    const fs::path other = fs::current_path() / "other";
    fs::create_directories(other);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Native(other / "trout.dat"))});
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // As the drag manager delivers it.
    static_cast<QObject&>(form).event(&drop);
    QCOMPARE(Control<QLineEdit>(form, "Edit1")->text(), Native(other / "trout.dat"));
    QCOMPARE(form.WorkingFolder(), Native(other));
  }

  // As started from the desktop's menu: no folder is chosen yet, the files follow the data
  // file, typed too, and never land in the current folder.
  void besideTheDataTheFilesFollowATypedPath() {
    const ScopedWorkingFolder folder;
    const fs::path field = folder.path() / "field";
    fs::create_directories(field);
    fs::copy_file(ExamplePath("zostera.txt"), field / "zostera.txt");
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.SetWorkingFolderBesideData();
    QVERIFY(Control<QLabel>(form, "FolderLabel")->text().contains(QStringLiteral("data file")));
    Control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("field/zostera.txt"));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("5"));
    form.runSeed = 3;
    form.Button3Click();
    QCOMPARE(boxes.errors, QStringList());
    QVERIFY(fs::exists(field / "results.txt"));
    QVERIFY(!fs::exists(folder.path() / "results.txt"));
    Control<QPushButton>(form, "OpenFolderButton")->click();
    QCOMPARE(boxes.openedFolders, QStringList{Native(field)});
  }

  void openFolderShowsWhereTheLastRunWrote() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "5");
    auto* open = Control<QPushButton>(window.form, "OpenFolderButton");
    QVERIFY(!open->isEnabled());
    window.form.Button3Click();
    QVERIFY(open->isEnabled());
    open->click();
    QCOMPARE(window.boxes.openedFolders, QStringList{QDir::currentPath()});
  }

  void seedFieldRepeatsARunAndRefusesWhatIsNoSeed() {
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    Control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("aspen.txt"));
    auto* seed = Control<QLineEdit>(form, "SeedEdit");
    QVERIFY(seed->text().isEmpty());
    QVERIFY(!form.CurrentSettings().seed);
    seed->setText(QStringLiteral("4294967295"));
    QCOMPARE(*form.CurrentSettings().seed, 4294967295u);
    seed->setText(QStringLiteral("4294967296"));
    form.Button3Click();
    QCOMPARE(boxes.errors.size(), 1);
    QVERIFY2(boxes.errors[0].startsWith(
                 QStringLiteral("Seed cannot be used.\nField: Seed\nReason: '4294967296' is not "
                                "an integer from 0 to 4294967295\n")),
             qPrintable(boxes.errors[0]));
    QVERIFY(!form.IsRunning());
    QCOMPARE(Control<QLabel>(form, "StatusLine")->text(),
             QStringLiteral("Ready: press Run to analyse aspen.txt."));
  }

  void theSeedShownAfterARunRepeatsIt() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "20");
    window.form.runSeed.reset();
    Control<QCheckBox>(window.form, "CheckBox2")->setChecked(true);
    const fs::path first = fs::current_path() / "first";
    const fs::path second = fs::current_path() / "second";
    fs::create_directories(first);
    fs::create_directories(second);
    fs::current_path(first);
    window.form.Button3Click();
    const QRegularExpressionMatch seed =
        QRegularExpression(QStringLiteral("; seed (\\d+);")).match(window.Status());
    QVERIFY2(seed.hasMatch(), qPrintable(window.Status()));
    QVERIFY(Control<QLabel>(window.form, "ResultsCaption")
                ->text()
                .contains(QStringLiteral("Seed %1").arg(seed.captured(1))));
    Control<QLineEdit>(window.form, "SeedEdit")->setText(seed.captured(1));
    fs::current_path(second);
    window.form.Button3Click();
    fs::current_path(first.parent_path());
    QCOMPARE(window.boxes.errors, QStringList());
    QVERIFY(window.Status().contains(QStringLiteral("; seed %1;").arg(seed.captured(1))));
    for (const char* name : {"results.txt", "temp.txt"}) {
      QVERIFY2(ReadBytes(first / name) == ReadBytes(second / name), name);
    }
  }

  void settingsAreRememberedByTheNextWindow() {
    const QTemporaryDir dataFolder;
    const QString dataFile = QDir(dataFolder.path()).filePath(QStringLiteral("aspen.txt"));
    {
      QSettings().clear();
      TForm1 first;
      first.RestoreSettings();
      first.chooseFile = [&](QFileDialog&) -> std::optional<QString> { return dataFile; };
      first.Button1Click();
      Control<QLineEdit>(first, "Edit2")->setText(QStringLiteral("250"));
      Control<QLineEdit>(first, "Edit5")->setText(QStringLiteral("aspen.txt"));
      Control<QCheckBox>(first, "CheckBox2")->setChecked(true);
      Control<QCheckBox>(first, "CheckBox4")->setChecked(true);
      Control<QLineEdit>(first, "SeedEdit")->setText(QStringLiteral("99"));
      first.resize(900, 600);
      first.show();
      first.close();
    }
    TForm1 second;
    QCOMPARE(Control<QLineEdit>(second, "Edit2")->text(), QStringLiteral("1000"));
    second.RestoreSettings();
    QCOMPARE(Control<QLineEdit>(second, "Edit2")->text(), QStringLiteral("250"));
    QCOMPARE(Control<QLineEdit>(second, "Edit5")->text(), QStringLiteral("aspen.txt"));
    QVERIFY(Control<QCheckBox>(second, "CheckBox2")->isChecked());
    QVERIFY(!Control<QCheckBox>(second, "CheckBox3")->isChecked());
    QVERIFY(Control<QCheckBox>(second, "CheckBox4")->isChecked());
    // The data path starts empty and the seed is not repeated by surprise.
    QCOMPARE(Control<QLineEdit>(second, "Edit1")->text(), QString());
    QCOMPARE(Control<QLineEdit>(second, "SeedEdit")->text(), QString());
    QCOMPARE(second.size(), QSize(900, 600));
    QString shownFolder;
    second.chooseFile = [&](QFileDialog& dialog) -> std::optional<QString> {
      shownFolder = dialog.directory().absolutePath();
      return std::nullopt;
    };
    second.Button1Click();
    QCOMPARE(shownFolder, QDir(dataFolder.path()).absolutePath());
  }

  void dialogFiltersDataFilesWithAllFilesToo() {
    TForm1 form;
    const QStringList filters = Control<QFileDialog>(form, "OpenDialog1")->nameFilters();
    QVERIFY(filters.size() >= 2);
    for (const char* pattern : {"*.gen", "*.csv", "*.dat", "*.txt"}) {
      QVERIFY2(filters.constFirst().contains(QLatin1String(pattern)), pattern);
    }
    QCOMPARE(filters.constLast(), QStringLiteral("All files (*)"));
  }

  void chartAndResultsGrowWithTheWindow() {
    const ScopedWorkingFolder folder;
    RunWindow window("zostera.txt", "5");
    TForm1& form = window.form;
    form.show();
    // The chart may give up some of its height, for a small screen.
    QCOMPARE(form.minimumSize(), QSize(738, 493 - 140));
    auto* results = Control<QPushButton>(form, "ResultsButton");
    QVERIFY(!results->isEnabled());
    form.resize(1000, 700);
    QCOMPARE(Control<QChartView>(form, "Chart2")->geometry(), QRect(24, 152, 902, 488));
    QCOMPARE(Control<QProgressBar>(form, "ProgressBar1")->geometry(), QRect(24, 128, 904, 16));
    QCOMPARE(Control<QPushButton>(form, "Button4")->geometry(), QRect(600, 24, 113, 25));
    QCOMPARE(Control<QLabel>(form, "StatusLine")->y(), 437 + 207);
    form.resize(738, 493);
    QCOMPARE(Control<QChartView>(form, "Chart2")->geometry(), QRect(24, 152, 640, 281));
    QCOMPARE(Control<QLabel>(form, "StatusLine")->geometry(), QRect(24, 437, 640, 16));

    // After a Run the results open. The offscreen screen, 800 pixels wide, has no room
    // beside the chart: they take its place.
    form.Button3Click();
    QVERIFY(results->isEnabled() && results->isChecked());
    QCOMPARE(form.minimumWidth(), 738);
    auto* panel = Control<QWidget>(form, "ResultsPanel");
    auto* chart = Control<QChartView>(form, "Chart2");
    QVERIFY(panel->isVisible() && !chart->isVisible());
    QCOMPARE(panel->geometry(), chart->geometry());
    // Given the room, they stand beside the chart, which comes back.
    form.resize(738 + 560, 493);
    QVERIFY(panel->isVisible() && chart->isVisible());
    QCOMPARE(chart->geometry(), QRect(24, 152, 640, 281));
    QVERIFY(panel->geometry().left() >= 738 && panel->geometry().right() < form.width());
    // Hidden again, they give their width back to the chart.
    results->click();
    QVERIFY(!panel->isVisible());
    QCOMPARE(chart->width(), 640 + form.width() - 738);
  }

 private:
  QTemporaryDir settingsFolder_;
};

QTEST_MAIN(WindowRunTest)
#include "test_window_run.moc"
