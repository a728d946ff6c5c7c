#include "unit1.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <initializer_list>
#include <utility>

#include "analysis/run.h"
#include "chart_export.h"
#include "error_report.h"
#include "exports.h"
#include "help_text.h"
#include "messages.h"
#include "reports/number_format.h"
#include "window_boxes.h"
#include "window_look.h"
#include "window_settings.h"

namespace {

const QString kCaption = QStringLiteral("GENOSIEVE 0.4");

// The first layout's size; the controls of that layout keep their places at it. The
// chart may give up some of its height on a small screen.
constexpr int kBaseWidth = 738;
constexpr int kBaseHeight = 493;
constexpr int kChartGivesUp = 140;
// The results panel's width when the window grows for it, and the least it needs.
constexpr int kResultsWidth = 560;
constexpr int kResultsMinimumWidth = 320;
// How often the window takes the Run's news, and redraws the running chart.
constexpr int kPollMilliseconds = 100;
constexpr int kChartRedrawMilliseconds = 500;

// The data files the program reads: its own layout, Genepop, GenAlEx sheets saved as CSV
// and FSTAT.
const QString kDataFileFilters = QStringLiteral(
    "Data files (*.txt *.dat *.gen *.csv);;"
    "GENOSIEVE data files (*.txt *.dat);;"
    "Genepop files (*.gen *.txt);;"
    "GenAlEx sheets saved as CSV (*.csv);;"
    "FSTAT files (*.dat);;"
    "All files (*)");

// The files the Run writes are ASCII; a separator outside ASCII falls back to '.'.
char SystemDecimalSeparator() {
  return genosieve::ChooseDecimalSeparator(QLocale::system().decimalPoint().toStdString())
      .separator;
}

std::optional<uint32_t> SeedOf(const QString& text) {
  bool valid = false;
  const qulonglong seed = text.trimmed().toULongLong(&valid);
  if (!valid || seed > 4294967295ULL) return std::nullopt;
  return static_cast<uint32_t>(seed);
}

// A caption's text without its mnemonic mark, for fitting.
QString Shown(const QString& caption) { return QString(caption).remove(QLatin1Char('&')); }

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kCaption);
  setWindowIcon(WindowIcon());
  setFont(WindowFont());
  move(274, 186);
  resize(kBaseWidth, kBaseHeight);
  setMinimumSize(kBaseWidth, kBaseHeight - kChartGivesUp);
  setAcceptDrops(true);

  const auto place = [](QWidget* control, const char* name, int left, int top, int width,
                        int height, const QString& tip) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    if (!tip.isEmpty()) control->setToolTip(WrappedTip(tip));
  };

  Button1 = new QPushButton(QStringLiteral("&Data file:"), this);
  place(Button1, "Button1", 16, 24, 106, 26,
        QStringLiteral("Chooses the genotype data file (Ctrl+O): GENOSIEVE, Genepop, GenAlEx "
                       "(CSV) or FSTAT. Its folder becomes the working folder."));
  Edit1 = new QLineEdit(this);
  place(Edit1, "Edit1", 128, 26, 282, 21,
        QStringLiteral("The data file's path. Choose it with Data file:, drop it on the window, "
                       "or type it."));
  Edit1->setPlaceholderText(QStringLiteral("choose or drop a data file"));
  Button2 = new QPushButton(QStringLiteral("&Quit"), this);
  place(Button2, "Button2", 512, 24, 76, 26,
        QStringLiteral("Ends the program (Ctrl+Q); during a Run it asks first."));
  Button3 = new QPushButton(QStringLiteral("&Run"), this);
  place(Button3, "Button3", 424, 24, 76, 26,
        QStringLiteral("Starts the Run with these settings (Ctrl+R); its files go into the "
                       "working folder."));
  Edit2 = new QLineEdit(QStringLiteral("1000"), this);
  place(Edit2, "Edit2", 136, 56, 122, 21,
        QStringLiteral("How many times each test gives the clone sizes at random to the "
                       "distinct genotypes: a whole number, 1000 or more for a P-value to "
                       "publish (the README's How many iterations)."));

  ProgressBar1 = new QProgressBar(this);
  place(ProgressBar1, "ProgressBar1", 24, 128, 642, 16, {});
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  pValueChart_ = NewPValueChart(this);
  Chart2 = pValueChart_.view;
  Series2 = pValueChart_.series;
  Chart2->setGeometry(24, 152, 640, 281);

  Edit5 = new QLineEdit(QStringLiteral("results.txt"), this);
  place(Edit5, "Edit5", 136, 80, 150, 21,
        QStringLiteral("The results file's name in the working folder; the other files' names "
                       "are made from it (Clones_results.txt, Summary_results.tsv, ...)."));
  CheckBox2 = new QCheckBox(QStringLiteral("per &locus analysis"), this);
  place(CheckBox2, "CheckBox2", 406, 64, 144, 20,
        QStringLiteral("Adds one test for each locus, after the overall test."));
  CheckBox3 = new QCheckBox(QStringLiteral("per &pop analysis"), this);
  place(CheckBox3, "CheckBox3", 540, 68, 134, 14,
        QStringLiteral("Adds one test for each population, with a filler population (the "
                       "README explains it)."));
  Button4 = new QPushButton(QStringLiteral("&About Genosieve V.0.4."), this);
  place(Button4, "Button4", 600, 24, 113, 25,
        QStringLiteral("The program, its version and licence, how to cite it and where its "
                       "manual is. F1 shows the manual's section on this window."));
  CheckBox1 = new QCheckBox(QStringLiteral("create files iterations / p-&values"), this);
  place(CheckBox1, "CheckBox1", 405, 88, 172, 17,
        QStringLiteral("Writes, for each test, the running P-value after each iteration "
                       "(\"overall p-values_\", \"Locus1p-values_\", ... before the result "
                       "name)."));
  // Added after the first layout, in the free space right of CheckBox1.
  CheckBox4 = new QCheckBox(QStringLiteral("create file of &Fis values"), this);
  place(CheckBox4, "CheckBox4", 580, 88, 150, 17,
        QStringLiteral("Writes every randomized Fis of every test to Fisvalues_<name>.tsv, for "
                       "your own figures or statistics."));
  Label1 = new QLabel(QStringLiteral("Number of &iterations : "), this);
  place(Label1, "Label1", 32, 56, 103, 13, {});
  Label1->setBuddy(Edit2);
  Label4 = new QLabel(QStringLiteral("&Name of  result file"), this);
  place(Label4, "Label4", 32, 80, 87, 13, {});
  Label4->setBuddy(Edit5);

  // Added to the first layout: the seed beside the iterations, the chart's scale in its
  // corner, the Run's status and its controls under the chart, the results right of
  // everything.
  SeedLabel = new QLabel(QStringLiteral("S&eed:"), this);
  place(SeedLabel, "SeedLabel", 268, 59, 30, 13, {});
  SeedEdit = new QLineEdit(this);
  place(SeedEdit, "SeedEdit", 300, 56, 98, 21,
        QStringLiteral("Optional: an integer from 0 to 4294967295. A Run given the seed of an "
                       "earlier Run, with the same data and settings, writes the same files. "
                       "Empty: the clock seeds the Run."));
  SeedEdit->setPlaceholderText(QStringLiteral("repeatable Run"));
  SeedLabel->setBuddy(SeedEdit);
  LogScaleBox = new QCheckBox(QStringLiteral("log s&cale"), this);
  place(LogScaleBox, "LogScaleBox", 580, 154, 84, 17,
        QStringLiteral("Draws the P-value on a logarithmic scale, where a small P-value is "
                       "seen settling."));
  StatusLine = new QLabel(QStringLiteral("Choose a data file, then press Run."), this);
  place(StatusLine, "StatusLine", 24, 437, 640, 16, {});
  StatusLine->setTextFormat(Qt::PlainText);
  StopButton = new QPushButton(QStringLiteral("&Stop"), this);
  place(StopButton, "StopButton", 24, 458, 76, 26,
        QStringLiteral("Stops the Run at its next iteration (Esc); the finished tests stay."));
  ChartButton = new QPushButton(QStringLiteral("C&hart"), this);
  place(ChartButton, "ChartButton", 106, 458, 76, 26,
        QStringLiteral("Saves the chart as PNG, SVG or PDF, or copies its image or values."));
  OpenFolderButton = new QPushButton(QStringLiteral("&Open folder"), this);
  place(OpenFolderButton, "OpenFolderButton", 188, 458, 90, 26,
        QStringLiteral("Shows the folder of the last Run's files in the file manager."));
  WorkingFolderButton = new QPushButton(QStringLiteral("&Working folder\u2026"), this);
  place(WorkingFolderButton, "WorkingFolderButton", 284, 458, 110, 26,
        QStringLiteral("Chooses the folder the Run writes its files into (the data file's "
                       "folder when you choose the data file)."));
  FolderLabel = new QLabel(this);
  place(FolderLabel, "FolderLabel", 400, 462, 184, 18, {});
  FolderLabel->setTextFormat(Qt::PlainText);
  ResultsButton = new QPushButton(QStringLiteral("Resul&ts"), this);
  place(ResultsButton, "ResultsButton", 588, 458, 76, 26,
        QStringLiteral("Shows or hides the results of the last Run."));
  ResultsButton->setCheckable(true);

  for (QLabel* label : {Label1, Label4, SeedLabel}) FitText(label, Shown(label->text()), 0);
  for (QPushButton* button : {Button1, Button2, Button3, Button4, StopButton, ChartButton,
                              OpenFolderButton, WorkingFolderButton}) {
    FitText(button, Shown(button->text()),
            2 * style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button));
  }
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, LogScaleBox}) {
    FitText(box, Shown(box->text()),
            style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) + 2);
  }

  results_ = NewResultsPanel(this);

  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  // Only a file that is there: a typed name that is not never becomes the data path.
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setNameFilters(kDataFileFilters.split(QStringLiteral(";;")));

  // Row by row, left to right, as the controls stand; then the results panel.
  const QList<QWidget*> tabOrder = {Button1,
                                    Edit1,
                                    Button3,
                                    Button2,
                                    Button4,
                                    Edit2,
                                    SeedEdit,
                                    CheckBox2,
                                    CheckBox3,
                                    Edit5,
                                    CheckBox1,
                                    CheckBox4,
                                    LogScaleBox,
                                    StopButton,
                                    ChartButton,
                                    OpenFolderButton,
                                    WorkingFolderButton,
                                    ResultsButton,
                                    results_.openResults,
                                    results_.tabs,
                                    results_.table,
                                    results_.copyTable,
                                    results_.exportTable,
                                    results_.figure};
  for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(StopButton, &QPushButton::clicked, this, &TForm1::StopClick);
  connect(OpenFolderButton, &QPushButton::clicked, this, &TForm1::OpenFolderClick);
  connect(WorkingFolderButton, &QPushButton::clicked, this, &TForm1::WorkingFolderClick);
  connect(ResultsButton, &QPushButton::clicked, this, &TForm1::ResultsClick);
  connect(Edit1, &QLineEdit::textChanged, this, &TForm1::DataPathEdited);
  connect(LogScaleBox, &QCheckBox::toggled, this,
          [this](bool on) { SetLogScale(pValueChart_, on); });
  connect(results_.openResults, &QPushButton::clicked, this,
          [this] { openFile(ResultsPath(lastRunFolder_, lastRunResults_)); });
  const auto copyTable = [this] {
    QApplication::clipboard()->setText(SelectedRowsTsv(*results_.table));
  };
  connect(results_.copyTable, &QPushButton::clicked, this, copyTable);
  connect(results_.exportTable, &QPushButton::clicked, this, [this] {
    const QString error =
        ExportTableAs(*results_.model, SaveFolder(), Edit5->text(), chooseSaveFile);
    if (!error.isEmpty()) showError(ErrorBoxText(SaveErrorReport(QStringLiteral("table"), error)));
  });
  const auto shortcut = [this](const QKeySequence& keys, auto action) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
  };
  shortcut(QKeySequence(Qt::Key_Escape), [this] { StopClick(); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
    if (Button1->isEnabled()) Button1Click();
  });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_R), [this] {
    if (Button3->isEnabled()) Button3Click();
  });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
  shortcut(QKeySequence(Qt::Key_F1), [this] { showHelp(WindowHelp()); });
  auto* copy = new QShortcut(QKeySequence::Copy, results_.table);
  copy->setContext(Qt::WidgetShortcut);
  connect(copy, &QShortcut::activated, this, copyTable);

  // The charts: a context menu and a button with the same menu, to save or copy them;
  // the running P-value under the pointer.
  ChartButton->setMenu(NewChartMenu(Chart2, QStringLiteral("Running_pvalue_"), [this] {
    return ValuesTsv({QStringLiteral("iteration"), QStringLiteral("P-value")}, pValueChart_.values,
                     separator_);
  }));
  results_.figure->setMenu(
      NewChartMenu(results_.histogram, QStringLiteral("Fis_distribution_"), [this] {
        return ValuesTsv({QStringLiteral("iteration"), QStringLiteral("randomized Fis")},
                         results_.overallRandomized, separator_);
      }));
  results_.lociFigure->setMenu(
      NewChartMenu(results_.lociChart, QStringLiteral("Locus_fis_"),
                   [this] { return FisRangesTsv(results_.loci, separator_); }));
  results_.populationsFigure->setMenu(
      NewChartMenu(results_.populationsChart, QStringLiteral("Population_fis_"),
                   [this] { return FisRangesTsv(results_.populations, separator_); }));
  connect(Series2, &QLineSeries::hovered, this, &TForm1::ShowCurvePoint);

  runClock_.start();
  chartClock_.start();
  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(kPollMilliseconds);
  connect(pollTimer_, &QTimer::timeout, this, &TForm1::PollRun);
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  noticeTimer_->setInterval(4000);
  connect(noticeTimer_, &QTimer::timeout, this, &TForm1::ShowRunStatus);
  // Rare events of the Run (a test starts or ends, a notice) are shown at once.
  channel_.wake = [this] {
    QMetaObject::invokeMethod(
        this, [this] { PollRun(); }, Qt::QueuedConnection);
  };

  showMessage = [this](const QString& text) { ShowTextBox(this, text, false); };
  showError = [this](const QString& text) { ShowTextBox(this, text, true); };
  showAbout = [this](const QString& text) { ShowAboutBox(this, text); };
  chooseFile = ExecFileDialog;
  chooseSaveFile = [this](const QString& caption, const QString& filters,
                          const QString& suggested) {
    return AskSaveFile(this, caption, filters, suggested);
  };
  askStopAndQuit = [this] {
    return AskQuestion(this, QStringLiteral("Stop the Run and quit?"), &stopQuestion_);
  };
  askQuestion = [this](const QString& text) { return AskQuestion(this, text); };
  chooseFolder = [this](const QString& start) {
    return ChooseFolder(this, QStringLiteral("Working folder"), start);
  };
  openFolder = OpenInDesktop;
  openFile = OpenInDesktop;
  showHelp = [this](const QString& markdown) {
    ShowHelpWindow(this, QStringLiteral("GENOSIEVE: the window"), markdown);
  };

  ClearResults(results_, SystemDecimalSeparator());
  SetRunning(false);
  ShowWorkingFolder();
  Relayout();
}

TForm1::~TForm1() = default;

QString TForm1::AboutText() { return ::AboutText(); }

genosieve::RunSettings TForm1::CurrentSettings() const {
  genosieve::RunSettings settings;
  // Paths in the file system's own encoding; the iterations text in UTF-8 so that a
  // conversion message shows it as typed.
  settings.dataPath = QFile::encodeName(Edit1->text()).toStdString();
  settings.iterationsText = Edit2->text().toStdString();
  settings.resultName = QFile::encodeName(Edit5->text()).toStdString();
  settings.createPValueFiles = CheckBox1->isChecked();
  settings.perLocusAnalysis = CheckBox2->isChecked();
  settings.perPopulationAnalysis = CheckBox3->isChecked();
  settings.writeFisValues = CheckBox4->isChecked();
  settings.seed = runSeed ? runSeed : SeedOf(SeedEdit->text());
  settings.decimalSeparator = SystemDecimalSeparator();
  // The folder the window shows is the one the Run writes into.
  settings.workingFolder = QFile::encodeName(EffectiveWorkingFolder()).toStdString();
  return settings;
}

void TForm1::SetWorkingFolder(const QString& folder) {
  workingFolder_.folder = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
  workingFolder_.besideData = false;
  ShowWorkingFolder();
}

void TForm1::SetWorkingFolderBesideData() {
  workingFolder_.folder.clear();
  workingFolder_.besideData = true;
  ShowWorkingFolder();
}

QString TForm1::WorkingFolder() const { return workingFolder_.folder; }

QString TForm1::EffectiveWorkingFolder() const {
  return ::EffectiveWorkingFolder(workingFolder_, Edit1->text());
}

QString TForm1::SaveFolder() const {
  return lastRunFolder_.isEmpty() ? EffectiveWorkingFolder() : lastRunFolder_;
}

void TForm1::ShowWorkingFolder() {
  const QString text = WorkingFolderCaption(workingFolder_, Edit1->text());
  FolderLabel->setToolTip(WrappedTip(
      QStringLiteral("%1\nThe Run writes its files here. Choosing a data file with \"Data "
                     "file:\" makes its folder the working folder; \"Working folder\u2026\" "
                     "chooses another.")
          .arg(text)));
  // Beside "Working folder…", the folder alone.
  const QString folder = text.section(QStringLiteral(": "), 1);
  FolderLabel->setText(
      QFontMetrics(FolderLabel->font()).elidedText(folder, Qt::ElideMiddle, FolderLabel->width()));
}

void TForm1::ChooseDataFile(const QString& path) {
  dialogFileName_ = path;
  Edit1->setText(path);
  const QString folder = QFileInfo(path).absolutePath();
  lastDataFolder_ = folder;
  SetWorkingFolder(folder);
  // Examples installed under /usr, a read-only medium: the Run needs another folder.
  if (!FolderWritable(folder) && QFileInfo(folder).isDir() &&
      askQuestion(ReadOnlyDataFolderQuestion(path))) {
    WorkingFolderClick();
  }
}

void TForm1::Button1Click() {
  // The dialog opens in the last data file's folder with an empty name field, so that a
  // typed path is never added to the last one.
  const QString folder =
      dialogFileName_.isEmpty() ? lastDataFolder_ : QFileInfo(dialogFileName_).absolutePath();
  if (!folder.isEmpty()) OpenDialog1->setDirectory(folder);
  if (auto* name = OpenDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    name->clear();
  }
  if (const std::optional<QString> chosen = chooseFile(*OpenDialog1)) {
    ChooseDataFile(*chosen);
  }
  Edit1->setText(dialogFileName_);
}

void TForm1::Button2Click() { close(); }

bool TForm1::ReadyToRun(const genosieve::RunSettings& settings) {
  if (Edit1->text().isEmpty()) {
    showError(ErrorBoxText(FieldErrorReport(
        QStringLiteral("Data file"), QStringLiteral("no data file is chosen"),
        QStringLiteral("Choose it with Data file: (Ctrl+O), drop it on the window, or type its "
                       "path."))));
    return false;
  }
  const QString seedText = SeedEdit->text().trimmed();
  if (!runSeed && !seedText.isEmpty() && !SeedOf(seedText)) {
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
  const genosieve::RunSettings settings = CurrentSettings();
  if (!ReadyToRun(settings)) return;
  const QString folder = EffectiveWorkingFolder();

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
  lastRunFolder_ = folder;
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

  const bool quitting = quitAfterRun_;
  // A stop the user asked for needs no box: the status line says where the Run was.
  if (failure && !IsStop(failure)) {
    showError(ErrorBoxText(RunErrorReport(failure, QString::fromStdString(settings.dataPath))));
  }
  if (quitting) close();
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
  setWindowTitle(kCaption);

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

void TForm1::Button4Click() { showAbout(AboutText()); }

void TForm1::StopClick() {
  if (!running_ || runEnded_ || stopRequested_) return;
  stopRequested_ = true;
  StatusLine->setText(QStringLiteral("Stopping at the next iteration\u2026"));
}

void TForm1::OpenFolderClick() {
  if (!lastRunFolder_.isEmpty()) openFolder(lastRunFolder_);
}

void TForm1::ResultsClick() { ShowResults(ResultsButton->isChecked()); }

void TForm1::WorkingFolderClick() {
  const std::optional<QString> chosen = chooseFolder(EffectiveWorkingFolder());
  if (!chosen) return;
  if (!FolderWritable(*chosen)) {
    showError(ErrorBoxText(FieldErrorReport(
        QStringLiteral("Working folder"),
        QStringLiteral("you may not write in \"%1\"").arg(QDir::toNativeSeparators(*chosen)),
        QStringLiteral("Choose a folder of yours, such as one in your home folder."))));
    return;
  }
  SetWorkingFolder(*chosen);
}

void TForm1::DataPathEdited() {
  if (running_) return;
  Button3->setEnabled(!Edit1->text().isEmpty());
  ShowWorkingFolder();
  if (Edit1->text() == lastRunData_ && !lastRunData_.isEmpty()) return;
  // Another data file: the last Run's results are not its results.
  if (!lastRunData_.isEmpty()) {
    ClearLastRun();
    lastRunData_.clear();
  }
  StatusLine->setText(Edit1->text().isEmpty()
                          ? QStringLiteral("Choose a data file, then press Run.")
                          : QStringLiteral("Ready: press Run to analyse %1.")
                                .arg(QFileInfo(Edit1->text()).fileName()));
  StatusLine->setToolTip({});
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The window closes once the Run has ended.
    event->ignore();
    if (runEnded_) {
      quitAfterRun_ = true;
    } else if (!quitAfterRun_ && askStopAndQuit() && !runEnded_) {
      quitAfterRun_ = true;
      stopRequested_ = true;
      StatusLine->setText(QStringLiteral("Stopping at the next iteration, then quitting\u2026"));
    }
    return;
  }
  if (rememberSettings_) SaveSettings();
  QWidget::closeEvent(event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!running_ && urls.size() == 1 && urls.constFirst().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (running_ || urls.size() != 1 || !urls.constFirst().isLocalFile()) return;
  event->acceptProposedAction();
  ChooseDataFile(urls.constFirst().toLocalFile());
}

void TForm1::FitToScreen(const QRect& available) {
  // The frame's own size, where the window has one already, else a usual one.
  const QRect frame = frameGeometry();
  const int frameWidth = std::max(0, frame.width() - width());
  const int frameHeight = frame.height() > height() ? frame.height() - height() : 32;
  const int width = std::clamp(this->width(), minimumWidth(),
                               std::max(minimumWidth(), available.width() - frameWidth));
  const int height = std::clamp(this->height(), minimumHeight(),
                                std::max(minimumHeight(), available.height() - frameHeight));
  resize(width, height);
  const int left =
      std::clamp(x(), available.left(),
                 std::max(available.left(), available.right() + 1 - width - frameWidth));
  const int top =
      std::clamp(y(), available.top(),
                 std::max(available.top(), available.bottom() + 1 - height - frameHeight));
  move(left, top);
}

void TForm1::Relayout() {
  const int extraWidth = std::max(0, width() - kBaseWidth);
  // Negative on a small screen: the chart gives up height, the rows under it move up.
  const int extraHeight = std::max(-kChartGivesUp, height() - kBaseHeight);
  // The results take the width the window gained, up to their own; past twice that,
  // they share it with the chart. A window too narrow for both shows them in the chart's
  // place.
  const bool beside = extraWidth >= kResultsMinimumWidth;
  int panel = 0;
  if (resultsShown_ && beside) {
    panel = extraWidth <= kResultsWidth ? extraWidth : std::max(kResultsWidth, extraWidth / 2);
  }
  const int chartExtra = extraWidth - panel;
  Chart2->setGeometry(24, 152, 640 + chartExtra, 281 + extraHeight);
  LogScaleBox->move(580 + chartExtra, 154);
  ProgressBar1->setGeometry(24, 128, 642 + chartExtra, 16);
  StatusLine->setGeometry(24, 437 + extraHeight, 640 + chartExtra, 16);
  const int row = 458 + extraHeight;
  StopButton->move(24, row);
  ChartButton->move(106, row);
  OpenFolderButton->move(188, row);
  WorkingFolderButton->move(284, row);
  FolderLabel->setGeometry(400, row + 4, 184 + chartExtra, 18);
  ResultsButton->move(588 + chartExtra, row);
  ShowWorkingFolder();
  const bool inChartsPlace = resultsShown_ && !beside;
  if (inChartsPlace) {
    results_.panel->setGeometry(Chart2->geometry());
  } else if (resultsShown_) {
    results_.panel->setGeometry(kBaseWidth + chartExtra, 8, panel - 12, height() - 16);
  }
  results_.panel->setVisible(resultsShown_);
  Chart2->setVisible(!inChartsPlace);
  LogScaleBox->setVisible(!inChartsPlace);
}

void TForm1::ShowResults(bool shown) {
  resultsShown_ = shown;
  ResultsButton->setChecked(shown);
  // The window grows for the results where the screen has room, up to their own width.
  if (shown && !isMaximized() && !isFullScreen() && width() < kBaseWidth + kResultsWidth) {
    int room = kBaseWidth + kResultsWidth;
    const QScreen* screen = this->screen();
    if (screen != nullptr) {
      room =
          std::min(room, screen->availableGeometry().width() - (frameGeometry().width() - width()));
    }
    if (room >= kBaseWidth + kResultsMinimumWidth) {
      resize(std::max(room, width()), height());
      // Grown to the right, the window stays on the screen.
      if (isVisible() && screen != nullptr) FitToScreen(screen->availableGeometry());
    }
  }
  Relayout();
}

void TForm1::PollIfOnWindowThread() {
  if (QThread::currentThread() == thread()) PollRun();
}

void TForm1::PollRun() {
  RunUpdate update = TakeRunUpdate(channel_);
  if (update.seed) lastSeed_ = update.seed;
  if (update.clones) ShowClones(results_.clones, std::move(*update.clones));
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
                            ? ProgressTitle(kCaption, shownFraction_)
                            : kCaption;
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

void TForm1::ShowNotice(const std::string& text) {
  ReportNotice(channel_, text);
  PollIfOnWindowThread();
}

void TForm1::ShowCurvePoint(const QPointF& point, bool state) {
  CurvePoint shown;
  if (!state || !CurvePointAt(pValueChart_, point.x(), shown)) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(QCursor::pos(), CurvePointText(shown, separator_), Chart2);
}

void TForm1::SetRunning(bool running) {
  running_ = running;
  // Quit stays: it asks whether to stop the Run.
  for (QWidget* control : std::initializer_list<QWidget*>{
           Button1, Edit1, Edit2, Edit5, CheckBox1, CheckBox2, CheckBox3, CheckBox4, Button4,
           SeedEdit, ChartButton, WorkingFolderButton, LogScaleBox}) {
    control->setEnabled(!running);
  }
  Button3->setEnabled(!running && !Edit1->text().isEmpty());
  ResultsButton->setEnabled(!running && results_.model->rowCount() > 0);
  StopButton->setEnabled(running && !runEnded_);
  OpenFolderButton->setEnabled(!running && !lastRunFolder_.isEmpty());
  if (running) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

QMenu* TForm1::NewChartMenu(QChartView* view, const QString& prefix,
                            const std::function<QString()>& values) {
  auto* menu = new QMenu(this);
  menu->setObjectName(view->objectName() + QStringLiteral("Menu"));
  menu->addAction(QStringLiteral("Save as PNG, SVG or PDF\u2026"), this, [this, view, prefix] {
    const QString error = SaveChartAs(*view, prefix, SaveFolder(), Edit5->text(), chooseSaveFile);
    if (!error.isEmpty()) showError(ErrorBoxText(SaveErrorReport(QStringLiteral("chart"), error)));
  });
  menu->addAction(QStringLiteral("Copy image"), this,
                  [view] { QApplication::clipboard()->setImage(ChartImage(*view)); });
  menu->addAction(QStringLiteral("Copy values"), this,
                  [values] { QApplication::clipboard()->setText(values()); });
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, [this, view, menu](const QPoint& at) {
    if (!running_) menu->popup(view->mapToGlobal(at));
  });
  return menu;
}

void TForm1::RestoreSettings() {
  rememberSettings_ = true;
  RememberedSettings defaults;
  defaults.iterations = Edit2->text();
  defaults.resultName = Edit5->text();
  const RememberedSettings settings = ReadRememberedSettings(defaults);
  if (!settings.geometry.isEmpty()) restoreGeometry(settings.geometry);
  lastDataFolder_ = settings.dataFolder;
  Edit2->setText(settings.iterations);
  Edit5->setText(settings.resultName);
  CheckBox1->setChecked(settings.pValueFiles);
  CheckBox2->setChecked(settings.perLocus);
  CheckBox3->setChecked(settings.perPopulation);
  CheckBox4->setChecked(settings.fisValues);
  runOrigins_ = settings.runOrigins;
}

void TForm1::SaveSettings() const {
  RememberedSettings settings;
  settings.geometry = saveGeometry();
  settings.dataFolder = lastDataFolder_;
  settings.iterations = Edit2->text();
  settings.resultName = Edit5->text();
  settings.pValueFiles = CheckBox1->isChecked();
  settings.perLocus = CheckBox2->isChecked();
  settings.perPopulation = CheckBox3->isChecked();
  settings.fisValues = CheckBox4->isChecked();
  settings.runOrigins = runOrigins_;
  WriteRememberedSettings(settings);
}
