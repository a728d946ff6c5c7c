// The window's parts through their own interfaces: the P-value chart, the results panel,
// saving and copying, the remembered settings, the error texts, the working folder, the
// Run controller and the texts of a Run's end.

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <QWidget>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "analysis/run_settings.h"
#include "clone_view.h"
#include "error_report.h"
#include "errors.h"
#include "exports.h"
#include "pvalue_chart.h"
#include "results_panel.h"
#include "results_table.h"
#include "run_controller.h"
#include "run_progress.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "window_fixture.h"
#include "window_settings.h"
#include "working_folder_choice.h"

namespace fs = std::filesystem;
using genosieve::RandomizationKind;
using genosieve::TestOutcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::ScopedWorkingFolder;

namespace {

TestOutcome Outcome(RandomizationKind kind, int32_t index, const std::string& name, double pLower,
                    const std::vector<double>& randomized = {}) {
  TestOutcome outcome;
  outcome.kind = kind;
  outcome.index = index;
  outcome.name = name;
  outcome.individuals = 40;
  outcome.distinctGenotypes = 25;
  outcome.observed = genosieve::Extended(1) / 8;
  outcome.expected = genosieve::Extended(1) / 4;
  outcome.pLower = pLower;
  outcome.pUpper = 1 - pLower;
  outcome.iterations = static_cast<int32_t>(randomized.size());
  // As a Run hands them over: every test's central 95 %, the overall test's values.
  const std::vector<genosieve::Extended> values(randomized.begin(), randomized.end());
  outcome.centralRange = genosieve::CentralRange(values);
  if (kind == RandomizationKind::kOverall) outcome.randomizedFis = randomized;
  return outcome;
}

// A save dialog that answers with the given path, recording what it suggested.
SaveFileChooser Answering(std::optional<QString> answer, QString* suggested) {
  return [answer, suggested](const QString&, const QString&, const QString& proposal) {
    *suggested = proposal;
    return answer;
  };
}

}  // namespace

class WindowPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    genosieve::testing::KeepSettingsIn(QStringLiteral("ui-window-parts"), settingsFolder_.path());
  }

  void pValueChartKeepsEveryValueAndDrawsADecimatedCurve() {
    QWidget parent;
    PValueChart chart = NewPValueChart(&parent);
    QCOMPARE(chart.view->objectName(), QStringLiteral("Chart2"));
    QCOMPARE(chart.series->objectName(), QStringLiteral("Series2"));
    QCOMPARE(chart.view->parent(), &parent);
    QCOMPARE(chart.view->focusPolicy(), Qt::NoFocus);
    QCOMPARE(chart.axisX->min(), 0.0);
    QCOMPARE(chart.axisX->max(), 1.0);

    std::vector<double> values(50'000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = 1.0 / static_cast<double>(i + 2);
    AddPValues(chart, values);
    // Nothing is drawn until flushed, and a second flush draws nothing new.
    QCOMPARE(chart.series->count(), 0);
    int replaced = 0;
    QObject::connect(chart.series, &QXYSeries::pointsReplaced, [&] { ++replaced; });
    FlushPValueCurve(chart);
    FlushPValueCurve(chart);
    QCOMPARE(replaced, 1);
    QVERIFY(chart.series->count() > 0 && chart.series->count() < 10'000);
    QCOMPARE(chart.axisX->max(), 49'999.0);
    QVERIFY(chart.axisY->min() <= values.back() && chart.axisY->max() >= values.front());

    CurvePoint point;
    QVERIFY(CurvePointAt(chart, 9.4, point));
    QCOMPARE(point.iteration, size_t{10});
    QCOMPARE(point.value, values[9]);
    // Beyond the ends: the nearest iteration.
    QVERIFY(CurvePointAt(chart, 1e9, point));
    QCOMPARE(point.iteration, values.size());
    QVERIFY(CurvePointAt(chart, -5, point));
    QCOMPARE(point.iteration, size_t{1});
    QCOMPARE(CurvePointText({10, 0.25}), QStringLiteral("iteration 10: P-value 0.25"));

    ClearPValueChart(chart);
    QVERIFY(chart.values.empty());
    QCOMPARE(chart.series->count(), 0);
    QVERIFY(!CurvePointAt(chart, 0, point));
  }

  void resultsPanelKeepsTheOverallValuesOnly() {
    QWidget parent;
    ResultsPanel results = NewResultsPanel(&parent);
    QVERIFY(!results.panel->isVisibleTo(&parent));
    for (QObject* part :
         std::initializer_list<QObject*>{results.caption, results.table, results.copyTable,
                                         results.exportTable, results.histogram, results.figure}) {
      QVERIFY(!part->objectName().isEmpty());
    }
    const TestOutcome overall =
        Outcome(RandomizationKind::kOverall, 1, "overall", 0.5, {0.1, 0.2, 0.3, 0.2});
    const TestOutcome locus = Outcome(RandomizationKind::kPerLocus, 1, "Loc1", 0.01, {0.5});
    const TestOutcome row = WithoutValues(locus);
    QVERIFY(row.randomizedFis.empty());
    QCOMPARE(row.name, locus.name);
    QCOMPARE(row.pLower, locus.pLower);
    AddResult(results, WithoutValues(overall), {0.1, 0.2, 0.3, 0.2}, {});
    AddResult(results, row, {}, FisRangeOf(locus));
    QCOMPARE(results.model->rowCount(), 2);
    QVERIFY(results.hasOverall);
    QCOMPARE(results.overallRandomized.size(), size_t{4});
    QCOMPARE(results.overallObserved, 0.125);

    ShowResultsOf(results, QStringLiteral("zostera.txt: 4 iterations per test"));
    QCOMPARE(results.caption->text(), QStringLiteral("zostera.txt: 4 iterations per test"));
    QVERIFY(!results.histogram->chart()->series().isEmpty());
    QVERIFY(results.histogram->chart()->title().startsWith(QStringLiteral("Overall test")));

    ClearResults(results, ',');
    QCOMPARE(results.model->rowCount(), 0);
    QCOMPARE(ResultsSeparator(*results.model), ',');
    QVERIFY(!results.hasOverall);
    QVERIFY(results.histogram->chart()->series().isEmpty());
    QVERIFY(results.caption->text().isEmpty());
  }

  // One row per population; a population's clones listed with their members, at most ten
  // thousand of them (a huge population is listed in part, and says so).
  void cloneViewListsThePopulationsAndEachClonesMembers() {
    QWidget parent;
    CloneView view = NewCloneView(&parent);
    std::vector<genosieve::PopulationClones> membership(2);
    membership[0].population = 1;
    membership[0].name = "North";
    membership[0].genotypes = {{1, {"a", "b", "c"}}, {2, {"d", "e"}}, {3, {"f"}}};
    membership[1].population = 2;
    membership[1].name = "pop2";
    for (int32_t g = 1; g <= 12'000; ++g) {
      const std::string number = std::to_string(g);
      membership[1].genotypes.push_back({g, {number + "x", number + "y"}});
    }
    membership[1].genotypes.push_back({12'001, {"z"}});
    ShowClones(view, membership);
    QCOMPARE(view.populationModel->rowCount(), 2);
    const auto cell = [&view](int row, int column) {
      return view.populationModel->index(row, column).data().toString();
    };
    QCOMPARE(cell(0, 0), QStringLiteral("1 North"));
    QCOMPARE(cell(0, 1), QStringLiteral("6"));
    QCOMPARE(cell(0, 2), QStringLiteral("3"));
    QCOMPARE(cell(0, 3), QStringLiteral("2"));
    QCOMPARE(cell(0, 4), QStringLiteral("3, 2"));
    // The first population's clones are listed at once.
    QCOMPARE(view.memberModel->rowCount(), 2);
    QCOMPARE(view.memberModel->index(0, 2).data().toString(), QStringLiteral("a, b, c"));
    QCOMPARE(view.membersCaption->text(),
             QStringLiteral("Population 1 (North): its 2 clones and their members"));
    view.populations->selectRow(1);
    QCOMPARE(view.memberModel->rowCount(), 10'000);
    QVERIFY(view.membersCaption->text().contains(QStringLiteral("the first 10000 of its 12000")));
    ClearClones(view);
    QCOMPARE(view.populationModel->rowCount(), 0);
    QCOMPARE(view.memberModel->rowCount(), 0);
    QVERIFY(view.membersCaption->text().isEmpty());
  }

  void exportsSuggestNamesBesideTheRunAndWriteTheChosenFormat() {
    const ScopedWorkingFolder folder;
    QCOMPARE(ResultStem(QStringLiteral("results.txt")), QStringLiteral("results"));
    QCOMPARE(ResultStem(QStringLiteral("out/run1.txt")), QStringLiteral("run1"));
    QCOMPARE(ResultStem(QStringLiteral(".hidden")), QStringLiteral(".hidden"));
    QCOMPARE(ValuesTsv({QStringLiteral("iteration"), QStringLiteral("P-value")}, {0.5, 0.25}, '.'),
             QStringLiteral("iteration\tP-value\n1\t0.5\n2\t0.25\n"));
    QCOMPARE(ValuesTsv({QStringLiteral("i"), QStringLiteral("P")}, {0.5}, ','),
             QStringLiteral("i\tP\n1\t0,5\n"));

    QWidget parent;
    PValueChart chart = NewPValueChart(&parent);
    chart.view->resize(300, 200);
    AddPValues(chart, {0.5, 0.4, 0.3});
    FlushPValueCurve(chart);
    QString suggested;
    const QString here = QDir::currentPath();
    // Cancelled: nothing written, no error.
    QCOMPARE(SaveChartAs(*chart.view, QStringLiteral("Running_pvalue_"), here,
                         QStringLiteral("res.txt"), Answering(std::nullopt, &suggested)),
             QString());
    QCOMPARE(suggested, QDir(here).filePath(QStringLiteral("Running_pvalue_res.png")));
    QVERIFY(QDir(here).isEmpty());
    // A name without a known extension becomes a PNG.
    QCOMPARE(
        SaveChartAs(*chart.view, QStringLiteral("Running_pvalue_"), here, QStringLiteral("res.txt"),
                    Answering(QDir(here).filePath(QStringLiteral("curve")), &suggested)),
        QString());
    QVERIFY(ReadBytes("curve.png").starts_with("\x89PNG"));
    QCOMPARE(
        SaveChartAs(*chart.view, QStringLiteral("Running_pvalue_"), here, QStringLiteral("res.txt"),
                    Answering(QDir(here).filePath(QStringLiteral("curve.PDF")), &suggested)),
        QString());
    QVERIFY(ReadBytes("curve.PDF").starts_with("%PDF"));

    QStandardItemModel* model = NewResultsModel(&parent);
    AppendResultRow(*model, Outcome(RandomizationKind::kOverall, 1, "overall", 0.5));
    AppendResultRow(*model, Outcome(RandomizationKind::kPerLocus, 1, "Loc, \"one\"", 0.25));
    QCOMPARE(ExportTableAs(*model, here, QStringLiteral("res.txt"),
                           Answering(QDir(here).filePath(QStringLiteral("table")), &suggested)),
             QString());
    QCOMPARE(suggested, QDir(here).filePath(QStringLiteral("Table_res.csv")));
    const std::string csv = ReadBytes("table.csv");
    QVERIFY(csv.find("\"Loc, \"\"one\"\"\"") != std::string::npos);
    QCOMPARE(ExportTableAs(*model, here, QStringLiteral("res.txt"),
                           Answering(QDir(here).filePath(QStringLiteral("table.txt")), &suggested)),
             QString());
    QCOMPARE(QString::fromStdString(ReadBytes("table.txt")), ResultsTsv(*model, '.'));
    // A folder under the chosen name: the error names it, nothing is written.
    fs::create_directory("taken.csv");
    const QString error =
        ExportTableAs(*model, here, QStringLiteral("res.txt"),
                      Answering(QDir(here).filePath(QStringLiteral("taken.csv")), &suggested));
    QVERIFY2(error.contains(QDir(here).filePath(QStringLiteral("taken.csv"))), qPrintable(error));

    // The selected rows, or all of them.
    QTableView table;
    table.setModel(model);
    QCOMPARE(SelectedRowsTsv(table), ResultsTsv(*model, '.'));
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.selectRow(1);
    QCOMPARE(SelectedRowsTsv(table), ResultsTsv(*model, '.', {1}));
  }

  void rememberedSettingsComeBackAndDefaultsFillTheRest() {
    QSettings().clear();
    RememberedSettings defaults;
    defaults.iterations = QStringLiteral("999");
    RememberedSettings read = ReadRememberedSettings(defaults);
    QCOMPARE(read.iterations, QStringLiteral("999"));
    QCOMPARE(read.resultName, QStringLiteral("results.txt"));
    QVERIFY(read.geometry.isEmpty() && !read.perLocus);

    RememberedSettings saved;
    saved.geometry = QByteArray("geometry");
    saved.dataFolder = QStringLiteral("/data/field");
    saved.iterations = QStringLiteral("5000");
    saved.resultName = QStringLiteral("aspen.txt");
    saved.pValueFiles = true;
    saved.perPopulation = true;
    WriteRememberedSettings(saved);
    read = ReadRememberedSettings(defaults);
    QCOMPARE(read.geometry, saved.geometry);
    QCOMPARE(read.dataFolder, saved.dataFolder);
    QCOMPARE(read.iterations, saved.iterations);
    QCOMPARE(read.resultName, saved.resultName);
    QVERIFY(read.pValueFiles && !read.perLocus && read.perPopulation && !read.fisValues);
  }

  // Every box says what failed, which file or field, the reason (a French message of the
  // system with its meaning) and what to do.
  void errorReportsSayWhatFailedWhereWhyAndWhatToDo() {
    const ScopedWorkingFolder folder;
    genosieve::RunError missing("Fichier introuvable");
    missing.file = "data/aspen.txt";
    const QString data = QDir::current().absoluteFilePath(QStringLiteral("data/aspen.txt"));
    ErrorReport report =
        RunErrorReport(std::make_exception_ptr(missing), QStringLiteral("data/aspen.txt"));
    QCOMPARE(report.what, QStringLiteral("The data file could not be read."));
    QCOMPARE(report.where, QStringLiteral("File: %1").arg(data));
    QCOMPARE(ErrorBoxText(report).section(QLatin1Char('\n'), 2, 2),
             QStringLiteral("Reason: Fichier introuvable (the file does not exist)"));
    // The status line names the file as the command line does.
    QCOMPARE(ErrorLine(report), QStringLiteral("File \"%1\": Fichier introuvable").arg(data));
    // With its role and what the Run was doing: the role tells the data file from an
    // output file whatever the path, and the reason says what was being done.
    missing.fileRole = "Data file";
    missing.doing = "cannot open it for reading";
    report = RunErrorReport(std::make_exception_ptr(missing), QStringLiteral("other.txt"));
    QCOMPARE(report.what, QStringLiteral("The data file could not be read."));
    QCOMPARE(ErrorBoxText(report).section(QLatin1Char('\n'), 2, 2),
             QStringLiteral("Reason: cannot open it for reading: Fichier introuvable (the file "
                            "does not exist)"));
    QCOMPARE(ErrorLine(report),
             QStringLiteral("Data file \"%1\": cannot open it for reading: Fichier introuvable")
                 .arg(data));
    // The same error about another file: one the Run writes.
    genosieve::RunError full("Disque plein");
    full.file = "results.txt";
    report = RunErrorReport(std::make_exception_ptr(full), QStringLiteral("data/aspen.txt"));
    QCOMPARE(report.what, QStringLiteral("A file in the working folder could not be written."));
    QVERIFY(report.next.startsWith(QStringLiteral("Free some space")));
    full.fileRole = "Output file";
    report = RunErrorReport(std::make_exception_ptr(full), QStringLiteral("results.txt"));
    QCOMPARE(report.what, QStringLiteral("A file in the working folder could not be written."));
    // A name the Run cannot take: what holds it, and what to do about it.
    genosieve::RunError folderName("Acc\u00e8s au fichier refus\u00e9");
    folderName.file = "results.txt";
    folderName.fileRole = "Output file";
    folderName.doing = "it is a folder, not a regular file";
    report = RunErrorReport(std::make_exception_ptr(folderName), QStringLiteral("aspen.txt"));
    QCOMPARE(
        report.reason,
        QStringLiteral("it is a folder, not a regular file: Acc\u00e8s au fichier refus\u00e9"));
    QVERIFY(report.next.startsWith(QStringLiteral("Move or rename that folder")));
    folderName.doing = "its name is taken by a named pipe";
    QVERIFY(RunErrorReport(std::make_exception_ptr(folderName), {})
                .next.startsWith(QStringLiteral("Remove what holds the file's name")));
    genosieve::RunError empty("Fichier introuvable");
    empty.file = "";
    QCOMPARE(RunErrorReport(std::make_exception_ptr(empty), {}).what,
             QStringLiteral("No data file was chosen."));
    // Messages that say where themselves.
    report = RunErrorReport(
        std::make_exception_ptr(genosieve::RunError(
            "Data file \"a.txt\", line 7, locus 2, first allele: 'x1' n'est pas une valeur "
            "enti\u00e8re correcte")),
        QStringLiteral("a.txt"));
    QCOMPARE(report.what, QStringLiteral("The data file could not be read."));
    QVERIFY(ErrorBoxText(report).contains(QStringLiteral("('x1' is not a whole number)")));
    report = RunErrorReport(std::make_exception_ptr(genosieve::RunError(
                                "Working folder \"/w\": another Run is working in this folder")),
                            {});
    QVERIFY(report.next.startsWith(QStringLiteral("Wait until that Run ends")));
    report = RunErrorReport(std::make_exception_ptr(genosieve::RunError(
                                "Op\u00e9ration en virgule flottante incorrecte\none population")),
                            {});
    QCOMPARE(report.what, QStringLiteral("Fis could not be estimated on these data."));
    QVERIFY(ErrorBoxText(report).contains(
        QStringLiteral("incorrecte (invalid operation in the Fis estimate)\none population\n")));
    QCOMPARE(RunErrorReport(std::make_exception_ptr(std::bad_alloc()), {}).reason,
             QString::fromUtf8("M\xc3\xa9moire insuffisante"));
    QCOMPARE(MessageMeaning(QStringLiteral("M\u00e9moire insuffisante (test tally for N = 5)")),
             QStringLiteral("not enough memory for the test tally for N = 5"));
    QCOMPARE(MessageMeaning(QStringLiteral("M\u00e9moire insuffisante (the Run would need about "
                                           "2.0 GiB of memory: 1.0 MiB for the data)")),
             QStringLiteral("not enough memory"));
    // The checks of room before the first test, and another Run in an output folder.
    report = RunErrorReport(std::make_exception_ptr(genosieve::RunError(
                                "Folder \"/w\": not enough free disk space: the p-value files "
                                "would take about 7.1 MiB, and 1020.0 KiB is free there")),
                            {});
    QCOMPARE(report.what,
             QStringLiteral("There is not enough free disk space for the Run's files."));
    QVERIFY(report.next.contains(QStringLiteral("leave out the p-value files")));
    report = RunErrorReport(std::make_exception_ptr(genosieve::RunError(
                                "Output folder \"/w/A\": another Run is working in this folder")),
                            {});
    QCOMPARE(report.what, QStringLiteral("A folder the Run writes into cannot take its files."));
    QVERIFY(report.next.startsWith(QStringLiteral("Wait until that Run ends")));
    QCOMPARE(MessageMeaning(QStringLiteral("Erreur E/S 32")),
             QStringLiteral("input/output error 32"));
    QCOMPARE(MessageMeaning(QStringLiteral("something else")), QString());
    QVERIFY(RunErrorReport(std::make_exception_ptr(genosieve::InternalError("Internal error")), {})
                .what.contains(QStringLiteral("fault of the program")));
    // A field of the window.
    QCOMPARE(ErrorBoxText(FieldErrorReport(QStringLiteral("Seed"), QStringLiteral("'x' is no seed"),
                                           QStringLiteral("Type a number."))),
             QStringLiteral("Seed cannot be used.\nField: Seed\nReason: 'x' is no seed\nWhat to "
                            "do: Type a number."));
    QVERIFY(IsStop(std::make_exception_ptr(genosieve::RunStopped())));
    QVERIFY(!IsStop(std::make_exception_ptr(missing)));
  }

  void workingFolderIsTheChosenOneTheDataFilesOrTheCurrentOne() {
    const ScopedWorkingFolder folder;
    WorkingFolderChoice choice;
    QCOMPARE(EffectiveWorkingFolder(choice, QStringLiteral("/data/a.txt")), QDir::currentPath());
    QCOMPARE(
        WorkingFolderCaption(choice, QString()),
        QStringLiteral("Working folder: %1").arg(QDir::toNativeSeparators(QDir::currentPath())));
    choice.besideData = true;
    QCOMPARE(EffectiveWorkingFolder(choice, QStringLiteral("/data/a.txt")),
             QStringLiteral("/data"));
    QCOMPARE(EffectiveWorkingFolder(choice, QStringLiteral("field/a.txt")),
             QDir::current().absoluteFilePath(QStringLiteral("field")));
    QCOMPARE(EffectiveWorkingFolder(choice, QString()), QDir::currentPath());
    QCOMPARE(WorkingFolderCaption(choice, QString()),
             QStringLiteral("Working folder: the data file's folder"));
    choice.folder = QStringLiteral("/out");
    QCOMPARE(EffectiveWorkingFolder(choice, QStringLiteral("/data/a.txt")), QStringLiteral("/out"));
  }

  // An iteration costs the Run's thread one store and wakes nobody; rare events wake the
  // window's thread once until it takes what is new.
  void runChannelGathersTheRunsNewsForTheWindow() {
    RunChannel channel;
    int wakes = 0;
    channel.wake = [&wakes] { ++wakes; };
    ResetChannel(channel, true, false);
    ReportPlanned(channel, 3, 100);
    ReportTestStarted(channel, RandomizationKind::kOverall, 1, 1, "overall");
    for (int i = 1; i <= 100; ++i) ReportIteration(channel, i);
    ReportChartValues(channel, {0.5, 0.25});
    ReportNotice(channel, "read as Genepop");
    QCOMPARE(wakes, 1);
    ReportFinished(channel, Outcome(RandomizationKind::kOverall, 1, "overall", 0.5, {0.1, 0.3}));
    RunUpdate update = TakeRunUpdate(channel);
    QCOMPARE(update.progress.plannedTests, 3);
    QCOMPARE(update.progress.iteration, 100);
    QVERIFY(update.progress.perLocus && !update.progress.perPopulation);
    QCOMPARE(update.chartValues, (std::vector<double>{0.5, 0.25}));
    QCOMPARE(update.notices, std::vector<std::string>{"read as Genepop"});
    QCOMPARE(update.finished.size(), size_t{1});
    QVERIFY(update.finished[0].row.randomizedFis.empty());
    QCOMPARE(update.overallRandomized, (std::vector<double>{0.1, 0.3}));
    // Taken: nothing twice, and the next event wakes the window again.
    update = TakeRunUpdate(channel);
    QVERIFY(update.finished.empty() && update.chartValues.empty() && update.notices.empty());
    ReportTestStarted(channel, RandomizationKind::kPerLocus, 1, 2, "Loc1");
    QCOMPARE(wakes, 2);
    update = TakeRunUpdate(channel);
    // The overall test's time and iterations now count for its kind.
    const KindTiming& overall = update.progress.finished[0];
    QCOMPARE(overall.tests, 1);
    QCOMPARE(overall.iterations, int64_t{100});
    QCOMPARE(update.progress.loci, 2);
    QCOMPARE(update.progress.iteration, 0);
    // A single test's place in its panel is made on the Run's thread.
    ReportFinished(channel,
                   Outcome(RandomizationKind::kPerLocus, 1, "Loc1", 0.01, {0.1, 0.2, 0.3}));
    update = TakeRunUpdate(channel);
    QCOMPARE(update.finished[0].range.label, std::string("Loc1"));
    QCOMPARE(update.finished[0].range.low, 0.1);
    QCOMPARE(update.finished[0].range.high, 0.3);
    // A cleared chart forgets what was not taken yet.
    ReportChartValues(channel, {0.5});
    ReportChartCleared(channel);
    update = TakeRunUpdate(channel);
    QVERIFY(update.chartCleared && update.chartValues.empty());
  }

  void runInBackgroundReturnsTheRunsErrorAfterItsQueuedCalls() {
    const ScopedWorkingFolder folder;
    genosieve::testing::FakeRunView view;
    genosieve::RunSettings settings;
    settings.dataPath = "missing.txt";
    settings.workingFolder = fs::current_path().string();
    const std::exception_ptr failure = RunInBackground(settings, view);
    QVERIFY(failure);
    QVERIFY(!IsStop(failure));
    QCOMPARE(RunErrorReport(failure, QStringLiteral("missing.txt")).reason,
             QStringLiteral("cannot open it for reading: Fichier introuvable"));

    // Calls queued for this thread by the Run's thread have all arrived when it returns.
    fs::copy_file(genosieve::testing::ExamplePath("zostera.txt"), "zostera.txt");
    settings.dataPath = "zostera.txt";
    settings.iterationsText = "20";
    settings.seed = 4;
    struct QueuingView : genosieve::testing::FakeRunView {
      QObject receiver;
      int arrived = 0;
      void SetProgressPosition(int position) override {
        FakeRunView::SetProgressPosition(position);
        QMetaObject::invokeMethod(
            &receiver, [this] { ++arrived; }, Qt::QueuedConnection);
      }
    } queuing;
    QVERIFY(!RunInBackground(settings, queuing));
    QVERIFY(queuing.Done());
    QCOMPARE(queuing.arrived, 20);
  }

  void endOfRunTextsSayWhatHappenedAndWhere() {
    QCOMPARE(DoneStatus(12, 30, 65'000, 7, QStringLiteral("/data")),
             QStringLiteral("Done: 12 tests of 30 iterations in 1:05; seed 7; files in /data"));
    QCOMPARE(DoneStatus(1, 30, 0, 7, QStringLiteral("/data")),
             QStringLiteral("Done: 1 test of 30 iterations in 0:00; seed 7; files in /data"));
    RunProgress progress;
    QCOMPARE(InterruptedStatus(progress, 3'000, QStringLiteral("/data")),
             QStringLiteral("Run interrupted after 0:03, during the reading of the data; files "
                            "in /data"));
    progress.testsStarted = 2;
    progress.kind = RandomizationKind::kPerLocus;
    progress.index = 1;
    progress.count = 9;
    progress.name = "Loc1";
    QCOMPARE(InterruptedStatus(progress, 3'000, QStringLiteral("/data")),
             QStringLiteral("Run interrupted after 0:03, during Locus 1 of 9 (Loc1); files in "
                            "/data"));
    QCOMPARE(FailedStatus(1'000, QStringLiteral("Disque plein")),
             QStringLiteral("Run failed after 0:01: Disque plein"));
    QCOMPARE(ResultsCaption(QStringLiteral("a.txt"), 99, QStringLiteral("/d"), 5,
                            {QStringLiteral("read as Genepop")}),
             QStringLiteral("a.txt: 99 iterations per test, files in /d. Seed 5: given as the "
                            "seed, with the same data and settings, it repeats this Run.\n"
                            "read as Genepop"));
    QCOMPARE(ResultsCaption(QStringLiteral("a.txt"), 99, QStringLiteral("/d"), std::nullopt, {}),
             QStringLiteral("a.txt: 99 iterations per test, files in /d."));
  }

 private:
  QTemporaryDir settingsFolder_;
};

QTEST_MAIN(WindowPartsTest)
#include "test_window_parts.moc"
