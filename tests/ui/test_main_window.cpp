#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QValueAxis>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "analysis/run.h"
#include "support/fake_run_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"
#include "unit1.h"
#include "window_fixture.h"

namespace fs = std::filesystem;
using genosieve::testing::Boxes;
using genosieve::testing::Caption;
using genosieve::testing::Control;
using genosieve::testing::ExamplePath;
using genosieve::testing::ReadBytes;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::WriteBytes;

namespace {

// A small data file of two populations and three loci with repeated genotypes, used
// while the bundled example is not there.
const std::string kSmallDataFile =
    "2 3 140 3\r\n"
    "Loc1\r\n"
    "Loc2\r\n"
    "Loc3\r\n"
    "1\t120124\t100102\t130130\t\r\n"
    "1\t120124\t100102\t130130\t\r\n"
    "1\t120124\t100102\t130130\t\r\n"
    "1\t120120\t102102\t130132\t\r\n"
    "1\t124124\t100100\t132132\t\r\n"
    "1\t120124\t100104\t130134\t\r\n"
    "1\t124126\t102104\t130130\t\r\n"
    "1\t124126\t102104\t130130\t\r\n"
    "2\t126126\t104104\t134134\t\r\n"
    "2\t120126\t100104\t130134\t\r\n"
    "2\t120126\t100104\t130134\t\r\n"
    "2\t124126\t102102\t132134\t\r\n"
    "2\t120120\t100100\t130130\t\r\n"
    "2\t124124\t104102\t134132\t\r\n"
    "2\t126120\t104100\t132130\t\r\n";

// Puts the data file into the folder (the bundled example when there is one) and
// returns its path.
fs::path PutDataFile(const fs::path& folder) {
  const fs::path target = folder / "aspen.txt";
  const fs::path example = ExamplePath("aspen.txt");
  if (fs::exists(example)) {
    fs::copy_file(example, target);
  } else {
    WriteBytes(target, kSmallDataFile);
  }
  return target;
}

std::set<std::string> FileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

QChart* ChartOf(TForm1& form) { return Control<QChartView>(form, "Chart2")->chart(); }

QLineSeries* SeriesOf(TForm1& form) {
  auto* series = qobject_cast<QLineSeries*>(ChartOf(form)->series().value(0));
  if (series == nullptr || series->objectName() != QLatin1String("Series2")) {
    qFatal("missing Series2");
  }
  return series;
}

QValueAxis* AxisOf(TForm1& form, Qt::Alignment alignment) {
  const QList<QAbstractAxis*> axes = ChartOf(form)->axes(Qt::Horizontal | Qt::Vertical);
  for (QAbstractAxis* axis : axes) {
    if (axis->alignment() == alignment) return qobject_cast<QValueAxis*>(axis);
  }
  return nullptr;
}

bool AxisSpans(const QValueAxis* axis, double low, double high) {
  return axis->min() == low && axis->max() == high;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void windowCaptionSizeFontAndIcon() {
    TForm1 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("GENOSIEVE 0.4"));
    QCOMPARE(form.size(), QSize(738, 493));
    QCOMPARE(form.pos(), QPoint(274, 186));
    QCOMPARE(form.font().pointSize(), 8);
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());
  }

  void controlsStartWithTheirTextsAndGeometry() {
    TForm1 form;
    struct Expected {
      const char* name;
      QString text;
      QRect geometry;
    };
    const std::vector<Expected> buttons = {
        {"Button1", "Data file:", {16, 24, 106, 26}},
        {"Button2", "Quit", {512, 24, 76, 26}},
        {"Button3", "Run", {424, 24, 76, 26}},
        {"Button4", "About Genosieve V.0.4.", {600, 24, 113, 25}},
    };
    for (const Expected& e : buttons) {
      auto* button = Control<QPushButton>(form, e.name);
      QCOMPARE(Caption(button->text()), e.text);
      QCOMPARE(button->geometry(), e.geometry);
      // Run waits for a data file.
      QCOMPARE(button->isEnabled(), std::string(e.name) != "Button3");
    }
    const std::vector<Expected> edits = {
        {"Edit1", "", {128, 26, 282, 21}},
        {"Edit2", "1000", {136, 56, 122, 21}},
        {"Edit5", "results.txt", {136, 80, 150, 21}},
    };
    for (const Expected& e : edits) {
      auto* edit = Control<QLineEdit>(form, e.name);
      QCOMPARE(edit->text(), e.text);
      QCOMPARE(edit->geometry(), e.geometry);
    }
    // The data path starts empty, with a hint in its place.
    QVERIFY(!Control<QLineEdit>(form, "Edit1")->placeholderText().isEmpty());
    const std::vector<Expected> boxes = {
        {"CheckBox1", "create files iterations / p-values", {405, 88, 172, 17}},
        {"CheckBox2", "per locus analysis", {406, 64, 144, 20}},
        {"CheckBox3", "per pop analysis", {540, 68, 134, 14}},
    };
    for (const Expected& e : boxes) {
      auto* box = Control<QCheckBox>(form, e.name);
      QCOMPARE(Caption(box->text()), e.text);
      QCOMPARE(box->geometry(), e.geometry);
      QVERIFY(!box->isChecked());
    }
    const std::vector<Expected> labels = {
        {"Label1", "Number of iterations : ", {32, 56, 103, 13}},
        {"Label4", "Name of  result file", {32, 80, 87, 13}},
    };
    for (const Expected& e : labels) {
      auto* label = Control<QLabel>(form, e.name);
      QCOMPARE(Caption(label->text()), e.text);
      QCOMPARE(label->geometry(), e.geometry);
    }
    auto* progress = Control<QProgressBar>(form, "ProgressBar1");
    QCOMPARE(progress->geometry(), QRect(24, 128, 642, 16));
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 100);
    QCOMPARE(progress->value(), 0);
    QCOMPARE(Control<QChartView>(form, "Chart2")->geometry(), QRect(24, 152, 640, 281));
    QVERIFY(form.findChild<QFileDialog*>(QStringLiteral("OpenDialog1")) != nullptr);
  }

  void chartHasItsTitlesAndOneRedSeries() {
    TForm1 form;
    QChart* chart = ChartOf(form);
    QCOMPARE(chart->title(), QStringLiteral("P-value"));
    QVERIFY(!chart->legend()->isVisible());
    QCOMPARE(chart->backgroundBrush().color(), QColor(Qt::white));
    QCOMPARE(chart->series().size(), 1);
    QLineSeries* series = SeriesOf(form);
    QCOMPARE(series->color(), QColor(Qt::red));
    QVERIFY(!series->pointsVisible());
    QVERIFY(!series->pointLabelsVisible());
    QCOMPARE(series->count(), 0);
    QValueAxis* bottom = AxisOf(form, Qt::AlignBottom);
    QValueAxis* left = AxisOf(form, Qt::AlignLeft);
    QVERIFY(bottom != nullptr && left != nullptr);
    QCOMPARE(bottom->titleText(), QStringLiteral("iteration number"));
    QCOMPARE(left->titleText(), QStringLiteral("P-value (overall loci and populations)"));
  }

  // Row by row, left to right, as the controls stand, then the controls under the chart.
  void tabOrderFollowsTheLayout() {
    TForm1 form;
    const QStringList expected = {"Button1",
                                  "Edit1",
                                  "Button3",
                                  "Button2",
                                  "Button4",
                                  "Edit2",
                                  "SeedEdit",
                                  "CheckBox2",
                                  "CheckBox3",
                                  "Edit5",
                                  "CheckBox1",
                                  "CheckBox4",
                                  "LogScaleBox",
                                  "StopButton",
                                  "ChartButton",
                                  "OpenFolderButton",
                                  "WorkingFolderButton",
                                  "ResultsButton"};
    QStringList order;
    QWidget* widget = Control<QWidget>(form, "Button1");
    do {
      if (expected.contains(widget->objectName()) && !order.contains(widget->objectName())) {
        order.append(widget->objectName());
      }
      widget = widget->nextInFocusChain();
    } while (widget != Control<QWidget>(form, "Button1"));
    QCOMPARE(order, expected);
    // The chart and the progress bar take no focus.
    QCOMPARE(Control<QWidget>(form, "Chart2")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(Control<QWidget>(form, "ProgressBar1")->focusPolicy(), Qt::NoFocus);
  }

  void fisValuesBoxIsAddedWithoutMovingAnyControl() {
    TForm1 form;
    auto* box = Control<QCheckBox>(form, "CheckBox4");
    QCOMPARE(Caption(box->text()), QStringLiteral("create file of Fis values"));
    QVERIFY(!box->isChecked());
    QCOMPARE(box->geometry(), QRect(580, 88, 150, 17));
    QVERIFY(form.rect().contains(box->geometry()));
    for (const char* name :
         {"Button1", "Edit1", "Button2", "Button3", "Edit2", "ProgressBar1", "Chart2", "Edit5",
          "CheckBox2", "CheckBox3", "Button4", "CheckBox1", "Label1", "Label4"}) {
      QVERIFY2(!Control<QWidget>(form, name)->geometry().intersects(box->geometry()), name);
    }
    QCOMPARE(Control<QWidget>(form, "CheckBox1")->nextInFocusChain(), box);
    QVERIFY(!form.CurrentSettings().writeFisValues);
    box->setChecked(true);
    QVERIFY(form.CurrentSettings().writeFisValues);
  }

  void fisValuesBoxWritesTheValuesTable() {
    const ScopedWorkingFolder folder;
    const fs::path data = PutDataFile(folder.path());
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.runSeed = 99;
    Control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(data.string()));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("15"));
    Control<QCheckBox>(form, "CheckBox2")->setChecked(true);
    Control<QCheckBox>(form, "CheckBox4")->setChecked(true);
    form.Button3Click();
    QCOMPARE(boxes.errors, QStringList());
    const std::string values = ReadBytes("Fisvalues_results.tsv");
    QVERIFY(values.rfind("test\tindex\titeration\trandomized_fis\r\n", 0) == 0);
    QVERIFY(values.find("locus\t1\t15\t") != std::string::npos);
    QVERIFY(fs::exists("Summary_results.tsv"));
  }

  void settingsComeFromTheControls() {
    TForm1 form;
    Control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("/data/poplar.txt"));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral(" 25"));
    Control<QLineEdit>(form, "Edit5")->setText(QStringLiteral("out.txt"));
    Control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    Control<QCheckBox>(form, "CheckBox3")->setChecked(true);
    const genosieve::RunSettings settings = form.CurrentSettings();
    QCOMPARE(settings.dataPath, std::string("/data/poplar.txt"));
    QCOMPARE(settings.iterationsText, std::string(" 25"));
    QCOMPARE(settings.resultName, std::string("out.txt"));
    QVERIFY(settings.createPValueFiles);
    QVERIFY(!settings.perLocusAnalysis);
    QVERIFY(settings.perPopulationAnalysis);
    QVERIFY(!settings.seed.has_value());
    QCOMPARE(QString(QChar::fromLatin1(settings.decimalSeparator)),
             QLocale::system().decimalPoint());
  }

  void fileDialogCancelKeepsTheLastChosenName() {
    TForm1 form;
    auto* edit = Control<QLineEdit>(form, "Edit1");
    std::optional<QString> answer;
    int shown = 0;
    form.chooseFile = [&](QFileDialog& dialog) {
      ++shown;
      if (dialog.objectName() != QLatin1String("OpenDialog1")) qFatal("wrong dialog");
      return answer;
    };
    form.Button1Click();
    QCOMPARE(shown, 1);
    QCOMPARE(edit->text(), QString());

    answer = QStringLiteral("/home/user/aspen.txt");
    QTest::mouseClick(Control<QPushButton>(form, "Button1"), Qt::LeftButton);
    QCOMPARE(shown, 2);
    QCOMPARE(edit->text(), QStringLiteral("/home/user/aspen.txt"));

    edit->setText(QStringLiteral("typed.txt"));
    answer.reset();
    form.Button1Click();
    QCOMPARE(edit->text(), QStringLiteral("/home/user/aspen.txt"));
  }

  // The program, its version, its licence, how to cite it as the README says, and where
  // the manual is: nothing invented.
  void aboutBoxLinesAreSeparatedByCarriageReturns() {
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    QTest::mouseClick(Control<QPushButton>(form, "Button4"), Qt::LeftButton);
    QCOMPARE(boxes.abouts.size(), 1);
    const QString text = boxes.abouts.constFirst();
    QVERIFY(!text.contains(QLatin1Char('\n')));
    const QStringList lines = text.split(QLatin1Char('\r'));
    QCOMPARE(lines[0], QStringLiteral("GENOSIEVE V.0.4"));
    for (const QString& line : lines) QVERIFY(!line.trimmed().isEmpty());
    QVERIFY(text.contains(QStringLiteral("GPL-3.0-or-later")));
    const auto line = [&lines](const QString& start) {
      for (const QString& candidate : lines) {
        if (candidate.startsWith(start)) return candidate;
      }
      return QString();
    };
    QVERIFY(line(QStringLiteral("How to cite: Please cite GENOSIEVE with its version"))
                .contains(QStringLiteral("genosieve-cli --version")));
    QVERIFY(text.contains(QStringLiteral("Weir, B. S. & Cockerham, C. C. (1984)")));
    QVERIFY(line(QStringLiteral("Manual: ")).contains(QStringLiteral("README")));
    for (const char* invented : {"Sample", "Placeholder", "Example", "Lane", "Exampleland"}) {
      QVERIFY2(!text.contains(QLatin1String(invented)), invented);
    }
    QVERIFY(boxes.messages.isEmpty() && boxes.errors.isEmpty());
  }

  void iterationsThatAreNotAnIntegerStopTheRunBeforeAnyFile() {
    const ScopedWorkingFolder folder;
    const fs::path data = PutDataFile(folder.path());
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    Control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(data.string()));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("abc"));
    QTest::mouseClick(Control<QPushButton>(form, "Button3"), Qt::LeftButton);
    QCOMPARE(boxes.errors,
             QStringList{QStringLiteral(
                 "Number of iterations cannot be used.\n"
                 "Field: Number of iterations\n"
                 "Reason: 'abc' n'est pas une valeur entière correcte ('abc' is not a whole "
                 "number)\n"
                 "What to do: Type a whole number from 0 to 2147483647, such as 1000.")});
    QVERIFY(boxes.messages.isEmpty());
    QCOMPARE(FileNames(folder.path()), std::set<std::string>{"aspen.txt"});
    QVERIFY(!form.IsRunning());
    QVERIFY(Control<QPushButton>(form, "Button3")->isEnabled());
  }

  void missingDataFileShowsAnErrorAndTheWindowStaysUsable() {
    const ScopedWorkingFolder folder;
    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.chooseFile = [](QFileDialog&) { return std::optional<QString>(); };
    form.Button1Click();
    // No data file: Run waits for one, and says so when called all the same.
    QVERIFY(!Control<QPushButton>(form, "Button3")->isEnabled());
    form.Button3Click();
    QCOMPARE(boxes.errors.size(), 1);
    QVERIFY2(boxes.errors[0].startsWith(QStringLiteral("Data file cannot be used.\nField: Data "
                                                       "file\nReason: no data file is chosen")),
             qPrintable(boxes.errors[0]));
    QVERIFY(boxes.messages.isEmpty());
    for (const char* name : {"Button1", "Button2", "Button4"}) {
      QVERIFY(Control<QPushButton>(form, name)->isEnabled());
    }
    QVERIFY(Control<QLineEdit>(form, "Edit2")->isEnabled());

    Control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("no such file.txt"));
    QVERIFY(Control<QPushButton>(form, "Button3")->isEnabled());
    form.Button3Click();
    QCOMPARE(boxes.errors.size(), 2);
    // What failed, the file with its full path, the system's reason with its meaning, and
    // what to do.
    QCOMPARE(boxes.errors.constLast(),
             QStringLiteral("The data file could not be read.\n"
                            "File: %1\n"
                            "Reason: cannot open it for reading: Fichier introuvable (the file "
                            "does not exist)\n"
                            "What to do: Check the path, or choose the file with Data file: "
                            "(Ctrl+O).")
                 .arg(QString::fromStdString((folder.path() / "no such file.txt").string())));
  }

  void runOfAThousandIterationsFillsProgressAndChart() {
    const ScopedWorkingFolder folder;
    const fs::path data = PutDataFile(folder.path());
    TForm1 form;
    form.show();
    Boxes boxes;
    boxes.Attach(form);
    bool inputTakenDuringRun = true;
    bool closedDuringBox = true;
    form.showMessage = [&](const QString& text) {
      boxes.messages.append(text);
      inputTakenDuringRun = Control<QPushButton>(form, "Button3")->isEnabled() ||
                            Control<QLineEdit>(form, "Edit2")->isEnabled();
      form.close();
      closedDuringBox = !form.isVisible();
    };
    Control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(data.string()));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("1000"));
    QTest::mouseClick(Control<QPushButton>(form, "Button3"), Qt::LeftButton);

    QCOMPARE(boxes.errors, QStringList());
    QCOMPARE(boxes.messages, QStringList{QStringLiteral("done ! ")});
    QVERIFY(!inputTakenDuringRun);
    // Closed behind "done ! ": the Run has ended, nothing to ask; the window closes once
    // the box is gone.
    QCOMPARE(boxes.stopQuestions, 0);
    QVERIFY(!closedDuringBox);
    QVERIFY(!form.isVisible());
    auto* progress = Control<QProgressBar>(form, "ProgressBar1");
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 1001);
    QCOMPARE(progress->value(), 1000);
    QLineSeries* series = SeriesOf(form);
    QVERIFY(series->isVisible());
    QCOMPARE(series->count(), 1000);
    const QList<QPointF> points = series->points();
    for (qsizetype i = 0; i < points.size(); ++i) {
      QCOMPARE(points[i].x(), static_cast<double>(i));
      QVERIFY(points[i].y() >= 0.0 && points[i].y() <= 1.0);
    }
    QVERIFY(AxisSpans(AxisOf(form, Qt::AlignBottom), 0.0, 999.0));
    QVERIFY(Control<QPushButton>(form, "Button3")->isEnabled());
    for (const char* name : {"results.txt", "Clones_results.txt", "Withoutrepeats_results.txt",
                             "tempmicrosat.txt", "temp.txt"}) {
      QVERIFY2(fs::exists(folder.path() / name), name);
    }
  }

  void runWritesWhatTheAnalysisWritesWithTheSameSettings() {
    const ScopedWorkingFolder folder;
    const fs::path data = PutDataFile(folder.path());
    const fs::path windowFolder = folder.path() / "window";
    const fs::path directFolder = folder.path() / "direct";
    fs::create_directories(windowFolder);
    fs::create_directories(directFolder);

    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.runSeed = 12345;
    Control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(data.string()));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("40"));
    Control<QLineEdit>(form, "Edit5")->setText(QStringLiteral("res.txt"));
    for (const char* name : {"CheckBox1", "CheckBox2", "CheckBox3"}) {
      Control<QCheckBox>(form, name)->setChecked(true);
    }
    fs::current_path(windowFolder);
    form.Button3Click();
    QCOMPARE(boxes.errors, QStringList());

    fs::current_path(directFolder);
    genosieve::testing::FakeRunView view;
    genosieve::Run(form.CurrentSettings(), view);
    fs::current_path(folder.path());

    const std::set<std::string> written = FileNames(windowFolder);
    QCOMPARE(written, FileNames(directFolder));
    QVERIFY(written.count("res.txt") == 1);
    QVERIFY(written.count("overall p-values_res.txt") == 1);
    for (const std::string& name : written) {
      QVERIFY2(ReadBytes(windowFolder / name) == ReadBytes(directFolder / name), name.c_str());
    }
  }

  void runWritesWhatTheCommandLineWritesWithTheSameSettings() {
    const ScopedWorkingFolder folder;
    const fs::path data = PutDataFile(folder.path());
    const fs::path windowFolder = folder.path() / "window";
    const fs::path cliFolder = folder.path() / "cli";
    fs::create_directories(windowFolder);
    fs::create_directories(cliFolder);

    TForm1 form;
    Boxes boxes;
    boxes.Attach(form);
    form.runSeed = 777;
    Control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(data.string()));
    Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("30"));
    Control<QLineEdit>(form, "Edit5")->setText(QStringLiteral("out.txt"));
    for (const char* name : {"CheckBox1", "CheckBox2", "CheckBox3"}) {
      Control<QCheckBox>(form, name)->setChecked(true);
    }
    fs::current_path(windowFolder);
    form.Button3Click();
    fs::current_path(folder.path());
    QCOMPARE(boxes.errors, QStringList());
    QCOMPARE(boxes.messages, QStringList{QStringLiteral("done ! ")});

    // The command line takes the regional separator from the same environment.
    QProcess cli;
    cli.setProgram(QStringLiteral(GENOSIEVE_CLI_PATH));
    cli.setArguments({"-q", "-n", "30", "-o", "out.txt", "--pvalue-files", "--per-locus",
                      "--per-pop", "--seed", "777", "-C",
                      QString::fromStdString(cliFolder.string()),
                      QString::fromStdString(data.string())});
    cli.start();
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 0);

    const std::set<std::string> written = FileNames(windowFolder);
    QCOMPARE(written, FileNames(cliFolder));
    QVERIFY(written.count("out.txt") == 1);
    QVERIFY(written.count("Locus1p-values_out.txt") == 1);
    for (const std::string& name : written) {
      QVERIFY2(ReadBytes(windowFolder / name) == ReadBytes(cliFolder / name), name.c_str());
    }
  }

  // The data file field takes a Genepop file, a GenAlEx sheet saved with semicolons and an
  // FSTAT file, recognised by the Run, with the outputs of their native twins.
  void runOnOtherLayoutsWritesWhatTheNativeTwinsGive() {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"genepop/zostera.gen", "genepop/zostera_twin.txt"},
        {"genalex/lakes_semicolon.csv", "genalex/lakes_twin.txt"},
        {"fstat/trout.dat", "fstat/trout_twin.txt"}};
    for (const auto& [input, twin] : cases) {
      const ScopedWorkingFolder folder;
      std::vector<std::set<std::string>> names;
      for (const std::string& name : {input, twin}) {
        const fs::path data = folder.path() / fs::path(name).filename();
        fs::copy_file(genosieve::testing::TestDataPath("import/" + name), data);
        const fs::path runFolder = folder.path() / ("run" + std::to_string(names.size()));
        fs::create_directories(runFolder);
        TForm1 form;
        Boxes boxes;
        boxes.Attach(form);
        form.runSeed = 31;
        Control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(data.string()));
        Control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("20"));
        for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox3"}) {
          Control<QCheckBox>(form, box)->setChecked(true);
        }
        fs::current_path(runFolder);
        form.Button3Click();
        fs::current_path(folder.path());
        QCOMPARE(boxes.errors, QStringList());
        QCOMPARE(boxes.messages, QStringList{QStringLiteral("done ! ")});
        names.push_back(FileNames(runFolder));
      }
      QCOMPARE(names[0], names[1]);
      QVERIFY(names[0].count("Clonemembers_results.txt") == 1);
      // The summary names the populations as the layout does.
      QVERIFY(genosieve::testing::SummaryWithoutPopulationNames(
                  ReadBytes(folder.path() / "run0" / "Summary_results.tsv")) ==
              genosieve::testing::SummaryWithoutPopulationNames(
                  ReadBytes(folder.path() / "run1" / "Summary_results.tsv")));
      for (const char* table : {"Clonality_results.tsv", "Psex_results.tsv"}) {
        QVERIFY2(
            genosieve::testing::WithColumnCleared(ReadBytes(folder.path() / "run0" / table), 1) ==
                genosieve::testing::WithColumnCleared(ReadBytes(folder.path() / "run1" / table), 1),
            (input + ": " + table).c_str());
      }
      for (const std::string& name : names[0]) {
        if (name == "Clonemembers_results.txt" || name.ends_with(".tsv")) continue;
        QVERIFY2(
            ReadBytes(folder.path() / "run0" / name) == ReadBytes(folder.path() / "run1" / name),
            (input + ": " + name).c_str());
      }
    }
  }

  void chartPointsArriveInOneBatch() {
    TForm1 form;
    form.show();
    QLineSeries* series = SeriesOf(form);
    int redraws = 0;
    QObject::connect(series, &QXYSeries::pointAdded, [&] { ++redraws; });
    QObject::connect(series, &QXYSeries::pointsReplaced, [&] { ++redraws; });

    std::vector<double> values(100000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = 1.0 / static_cast<double>(i + 1);
    form.ClearChart();
    form.AddChartPoints(values);
    form.AddChartPoint(0.25);
    form.ShowChartSeries();
    QCOMPARE(redraws, 1);
    // Every value is kept; the series draws a decimated curve with its ends and extremes.
    QCOMPARE(form.ChartValues().size(), size_t{100001});
    QCOMPARE(form.ChartValues()[99999], values.back());
    QVERIFY(series->count() < 10000);
    QCOMPARE(series->at(0), QPointF(0, 1.0));
    QCOMPARE(series->at(series->count() - 2), QPointF(99999, values.back()));
    QCOMPARE(series->at(series->count() - 1), QPointF(100000, 0.25));
    QVERIFY(AxisSpans(AxisOf(form, Qt::AlignBottom), 0.0, 100000.0));
    QValueAxis* left = AxisOf(form, Qt::AlignLeft);
    QVERIFY(left->min() <= values.back() && left->max() >= 1.0);

    form.ClearChart();
    QCOMPARE(series->count(), 0);
    form.AddChartPoint(0.5);
    form.ShowChartSeries();
    QCOMPARE(series->at(0), QPointF(0, 0.5));
  }

  void runViewCallsFromAnotherThreadArriveInOrder() {
    TForm1 form;
    genosieve::TestOutcome overall;
    overall.name = "overall";
    genosieve::TestOutcome locus = overall;
    locus.kind = genosieve::RandomizationKind::kPerLocus;
    locus.name = "Loc1";
    std::thread worker([&] {
      form.RunPlanned(2, 10);
      form.TestStarted(genosieve::RandomizationKind::kOverall, 1, 1, "overall");
      form.SetProgressRange(0, 11);
      for (int i = 1; i <= 10; ++i) form.SetProgressPosition(i);
      form.ClearChart();
      for (int i = 1; i <= 10; ++i) form.AddChartPoint(i / 10.0);
      form.ShowChartSeries();
      form.TestFinished(overall);
      form.TestStarted(genosieve::RandomizationKind::kPerLocus, 1, 1, "Loc1");
      form.SetProgressPosition(3);
      form.TestFinished(locus);
    });
    worker.join();
    auto* table = Control<QTableView>(form, "ResultsTable");
    QTRY_COMPARE(table->model()->rowCount(), 2);
    QCOMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("overall"));
    QCOMPARE(table->model()->index(1, 2).data().toString(), QStringLiteral("Loc1"));
    QCOMPARE(SeriesOf(form)->count(), 10);
    QCOMPARE(SeriesOf(form)->at(9), QPointF(9, 1.0));
  }

  void quitClosesTheWindow() {
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(Control<QPushButton>(form, "Button2"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
