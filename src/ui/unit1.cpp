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
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <initializer_list>
#include <utility>

#include "chart_export.h"
#include "error_text.h"
#include "exports.h"
#include "reports/number_format.h"
#include "window_boxes.h"
#include "window_look.h"
#include "window_settings.h"

namespace {

const QString kCaption = QStringLiteral("GENOSIEVE 0.4");

// The first layout's size; the controls of that layout keep their places at it.
constexpr int kBaseWidth = 738;
constexpr int kBaseHeight = 493;
// The results panel's width when the window grows for it, and the least it needs.
constexpr int kResultsWidth = 560;
constexpr int kResultsMinimumWidth = 380;

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

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kCaption);
  setWindowIcon(WindowIcon());
  setFont(WindowFont());
  move(274, 186);
  resize(kBaseWidth, kBaseHeight);
  // The first layout's controls need all of its size.
  setMinimumSize(kBaseWidth, kBaseHeight);
  setAcceptDrops(true);

  const auto place = [](QWidget* control, const char* name, int left, int top, int width,
                        int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
  };

  Button1 = new QPushButton(QStringLiteral("Data file:"), this);
  place(Button1, "Button1", 16, 24, 106, 26);
  Edit1 = new QLineEdit(this);
  place(Edit1, "Edit1", 128, 26, 282, 21);
  Edit1->setPlaceholderText(QStringLiteral("choose or drop a data file"));
  Button2 = new QPushButton(QStringLiteral("Quit"), this);
  place(Button2, "Button2", 512, 24, 76, 26);
  Button3 = new QPushButton(QStringLiteral("Run"), this);
  place(Button3, "Button3", 424, 24, 76, 26);
  Edit2 = new QLineEdit(QStringLiteral("1000"), this);
  place(Edit2, "Edit2", 136, 56, 122, 21);

  ProgressBar1 = new QProgressBar(this);
  place(ProgressBar1, "ProgressBar1", 24, 128, 642, 16);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  pValueChart_ = NewPValueChart(this);
  Chart2 = pValueChart_.view;
  Series2 = pValueChart_.series;
  Chart2->setGeometry(24, 152, 640, 281);

  Edit5 = new QLineEdit(QStringLiteral("results.txt"), this);
  place(Edit5, "Edit5", 136, 80, 150, 21);
  CheckBox2 = new QCheckBox(QStringLiteral("per locus analysis"), this);
  place(CheckBox2, "CheckBox2", 406, 64, 144, 20);
  CheckBox3 = new QCheckBox(QStringLiteral("per pop analysis"), this);
  place(CheckBox3, "CheckBox3", 540, 68, 134, 14);
  Button4 = new QPushButton(QStringLiteral("About Genosieve V.0.4."), this);
  place(Button4, "Button4", 600, 24, 113, 25);
  CheckBox1 = new QCheckBox(QStringLiteral("create files iterations / p-values"), this);
  place(CheckBox1, "CheckBox1", 405, 88, 172, 17);
  // Added after the first layout, in the free space right of CheckBox1.
  CheckBox4 = new QCheckBox(QStringLiteral("create file of Fis values"), this);
  place(CheckBox4, "CheckBox4", 580, 88, 150, 17);
  Label1 = new QLabel(QStringLiteral("Number of iterations : "), this);
  place(Label1, "Label1", 32, 56, 103, 13);
  Label4 = new QLabel(QStringLiteral("Name of  result file"), this);
  place(Label4, "Label4", 32, 80, 87, 13);

  // Added to the first layout: the seed beside the iterations, the Run's status and its
  // controls under the chart, the results right of everything.
  SeedLabel = new QLabel(QStringLiteral("Seed:"), this);
  place(SeedLabel, "SeedLabel", 268, 59, 30, 13);
  SeedEdit = new QLineEdit(this);
  place(SeedEdit, "SeedEdit", 300, 56, 98, 21);
  SeedEdit->setPlaceholderText(QStringLiteral("repeatable Run"));
  SeedEdit->setToolTip(
      QStringLiteral("Optional: an integer from 0 to 4294967295. A Run given the seed of an "
                     "earlier Run, with the same data and settings, writes the same files. "
                     "Empty: the clock seeds the Run."));
  StatusLine = new QLabel(QStringLiteral("Choose a data file, then press Run."), this);
  place(StatusLine, "StatusLine", 24, 437, 640, 16);
  StatusLine->setTextFormat(Qt::PlainText);
  StopButton = new QPushButton(QStringLiteral("Stop"), this);
  place(StopButton, "StopButton", 24, 458, 76, 26);
  StopButton->setToolTip(QStringLiteral("Stops the Run at its next iteration (Esc)"));
  ChartButton = new QPushButton(QStringLiteral("Chart"), this);
  place(ChartButton, "ChartButton", 106, 458, 76, 26);
  OpenFolderButton = new QPushButton(QStringLiteral("Open folder"), this);
  place(OpenFolderButton, "OpenFolderButton", 188, 458, 90, 26);
  FolderLabel = new QLabel(this);
  place(FolderLabel, "FolderLabel", 284, 462, 300, 18);
  FolderLabel->setTextFormat(Qt::PlainText);
  ResultsButton = new QPushButton(QStringLiteral("Results"), this);
  place(ResultsButton, "ResultsButton", 588, 458, 76, 26);
  ResultsButton->setCheckable(true);

  for (QLabel* label : {Label1, Label4, SeedLabel}) FitText(label, label->text(), 0);
  for (QPushButton* button :
       {Button1, Button2, Button3, Button4, StopButton, ChartButton, OpenFolderButton}) {
    FitText(button, button->text(),
            2 * style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button));
  }
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) {
    FitText(box, box->text(),
            style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) + 2);
  }

  results_ = NewResultsPanel(this);

  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog1->setNameFilters(kDataFileFilters.split(QStringLiteral(";;")));

  // The first layout's order, then the added controls.
  const QList<QWidget*> tabOrder = {Button1,
                                    Edit1,
                                    Button2,
                                    Button3,
                                    Edit2,
                                    ProgressBar1,
                                    Chart2,
                                    Edit5,
                                    CheckBox2,
                                    CheckBox3,
                                    Button4,
                                    CheckBox1,
                                    CheckBox4,
                                    SeedEdit,
                                    StopButton,
                                    ChartButton,
                                    OpenFolderButton,
                                    ResultsButton,
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
  connect(ResultsButton, &QPushButton::clicked, this, &TForm1::ResultsClick);
  const auto copyTable = [this] {
    QApplication::clipboard()->setText(SelectedRowsTsv(*results_.table));
  };
  connect(results_.copyTable, &QPushButton::clicked, this, copyTable);
  connect(results_.exportTable, &QPushButton::clicked, this, [this] {
    const QString error =
        ExportTableAs(*results_.model, SaveFolder(), Edit5->text(), chooseSaveFile);
    if (!error.isEmpty()) showError(error);
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TForm1::StopClick);
  auto* copy = new QShortcut(QKeySequence::Copy, results_.table);
  copy->setContext(Qt::WidgetShortcut);
  connect(copy, &QShortcut::activated, this, copyTable);

  // The charts: a context menu and a button with the same menu, to save or copy them;
  // the running P-value under the pointer.
  ChartButton->setMenu(NewChartMenu(Chart2, QStringLiteral("Running_pvalue_"), [this] {
    QApplication::clipboard()->setText(
        ValuesTsv({QStringLiteral("iteration"), QStringLiteral("P-value")}, pValueChart_.values));
  }));
  results_.figure->setMenu(
      NewChartMenu(results_.histogram, QStringLiteral("Fis_distribution_"), [this] {
        QApplication::clipboard()->setText(
            ValuesTsv({QStringLiteral("iteration"), QStringLiteral("randomized Fis")},
                      results_.overallRandomized));
      }));
  connect(Series2, &QLineSeries::hovered, this, &TForm1::ShowCurvePoint);

  runClock_ = new QElapsedTimer;
  statusTimer_ = new QTimer(this);
  statusTimer_->setInterval(500);
  connect(statusTimer_, &QTimer::timeout, this, &TForm1::ShowRunStatus);
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  noticeTimer_->setInterval(4000);
  connect(noticeTimer_, &QTimer::timeout, this, &TForm1::ShowRunStatus);

  showMessage = [this](const QString& text) { ShowTextBox(this, text, false); };
  showError = [this](const QString& text) { ShowTextBox(this, text, true); };
  showAbout = [this](const QString& text) { ShowAboutBox(this, text); };
  chooseFile = ExecFileDialog;
  chooseSaveFile = [this](const QString& caption, const QString& filters,
                          const QString& suggested) {
    return AskSaveFile(this, caption, filters, suggested);
  };
  askStopAndQuit = [this] { return AskStopAndQuit(this); };
  openFolder = OpenInFileManager;

  SetRunning(false);
  ShowWorkingFolder();
  Relayout();
}

TForm1::~TForm1() { delete runClock_; }

QString TForm1::AboutText() {
  const QStringList lines = {
      QStringLiteral("GENOSIEVE V.0.4"),
      QStringLiteral("by"),
      QStringLiteral("A. Sample, B. Example and C. Placeholder"),
      QStringLiteral("Laboratory of Clonal Population Genetics,"),
      QStringLiteral("Research Unit for Partly Clonal Organisms"),
      QStringLiteral("Institute of Example Sciences, 1 Sieve Lane"),
      QStringLiteral("00000 Sampletown"),
      QStringLiteral("Exampleland"),
  };
  return lines.join(QLatin1Char('\r'));
}

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
  settings.seed = runSeed;
  if (!settings.seed) {
    const QString seedText = SeedEdit->text().trimmed();
    bool valid = false;
    const qulonglong seed = seedText.toULongLong(&valid);
    if (valid && seed <= 4294967295ULL) settings.seed = static_cast<uint32_t>(seed);
  }
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
  FolderLabel->setToolTip(
      QStringLiteral("%1\nThe Run writes its files here. Choosing a data file with \"Data "
                     "file:\" makes its folder the working folder.")
          .arg(text));
  FolderLabel->setText(
      QFontMetrics(FolderLabel->font()).elidedText(text, Qt::ElideMiddle, FolderLabel->width()));
}

void TForm1::ChooseDataFile(const QString& path) {
  dialogFileName_ = path;
  Edit1->setText(path);
  const QString folder = QFileInfo(path).absolutePath();
  lastDataFolder_ = folder;
  SetWorkingFolder(folder);
}

void TForm1::Button1Click() {
  if (!lastDataFolder_.isEmpty() && dialogFileName_.isEmpty()) {
    OpenDialog1->setDirectory(lastDataFolder_);
  }
  if (const std::optional<QString> chosen = chooseFile(*OpenDialog1)) {
    ChooseDataFile(*chosen);
  }
  Edit1->setText(dialogFileName_);
}

void TForm1::Button2Click() { close(); }

void TForm1::Button3Click() {
  if (running_) return;
  if (!runSeed) {
    const QString seedText = SeedEdit->text().trimmed();
    bool valid = seedText.isEmpty();
    if (!valid) {
      const qulonglong seed = seedText.toULongLong(&valid);
      valid = valid && seed <= 4294967295ULL;
    }
    if (!valid) {
      showError(QStringLiteral("Seed: '%1' is not an integer from 0 to 4294967295; leave it "
                               "empty to seed the Run from the clock.")
                    .arg(seedText));
      return;
    }
  }
  const genosieve::RunSettings settings = CurrentSettings();
  const QString folder = EffectiveWorkingFolder();

  // A new Run: nothing of the last one stays on screen.
  ClearPValueChart(pValueChart_);
  ClearResults(results_);
  notices_.clear();
  lastSeed_.reset();
  ResetProgress(report_);
  shownProgress_ = RunProgress{};
  stopRequested_ = false;
  quitAfterRun_ = false;
  lastRunFolder_ = folder;
  runClock_->start();
  SetRunning(true);
  ShowRunStatus();
  statusTimer_->start();

  windowFailure_ = nullptr;
  std::exception_ptr failure = RunInBackground(settings, *this);
  if (!failure) failure = windowFailure_;
  windowFailure_ = nullptr;
  try {
    ApplyProgress();
    FlushPValueCurve(pValueChart_);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  statusTimer_->stop();
  noticeTimer_->stop();
  SetRunning(false);
  setWindowTitle(kCaption);

  const int64_t elapsed = runClock_->elapsed();
  const QString where = QDir::toNativeSeparators(folder);
  QString status;
  if (!failure) {
    status = DoneStatus(results_.model->rowCount(), shownProgress_.iterations, elapsed,
                        lastSeed_.value_or(0), where);
  } else if (IsStop(failure)) {
    status = InterruptedStatus(shownProgress_, elapsed, where);
  } else {
    status = FailedStatus(elapsed, ErrorText(failure));
  }
  if (!notices_.isEmpty()) status += QStringLiteral(" \u00b7 ") + notices_.constLast();
  StatusLine->setText(status);
  StatusLine->setToolTip(
      notices_.isEmpty() ? status : status + QLatin1Char('\n') + notices_.join(QLatin1Char('\n')));
  if (results_.model->rowCount() > 0) {
    ShowResultsOf(results_, ResultsCaption(QFileInfo(Edit1->text()).fileName(),
                                           shownProgress_.iterations, where, lastSeed_, notices_));
    ShowResults(true);
  } else if (resultsShown_) {
    // No test ended: an empty table would only hide the chart's room.
    ShowResults(false);
  }

  const bool quitting = quitAfterRun_;
  // A stop the user asked for needs no box: the status line says where the Run was.
  if (failure && !IsStop(failure)) showError(ErrorText(failure));
  if (quitting) close();
}

void TForm1::Button4Click() { showAbout(AboutText()); }

void TForm1::StopClick() {
  if (!running_ || stopRequested_) return;
  stopRequested_ = true;
  StatusLine->setText(QStringLiteral("Stopping at the next iteration\u2026"));
}

void TForm1::OpenFolderClick() {
  if (!lastRunFolder_.isEmpty()) openFolder(lastRunFolder_);
}

void TForm1::ResultsClick() { ShowResults(ResultsButton->isChecked()); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The Run stops at its next iteration; the window closes once it has ended.
    event->ignore();
    if (!quitAfterRun_ && askStopAndQuit()) {
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
  ChooseDataFile(urls.constFirst().toLocalFile());
  event->acceptProposedAction();
}

void TForm1::Relayout() {
  const int extraWidth = std::max(0, width() - kBaseWidth);
  const int extraHeight = std::max(0, height() - kBaseHeight);
  // The results take the width the window gained, up to their own; past twice that,
  // they share it with the chart.
  int panel = 0;
  if (resultsShown_) {
    panel = extraWidth <= kResultsWidth ? extraWidth : std::max(kResultsWidth, extraWidth / 2);
  }
  const int chartExtra = extraWidth - panel;
  Chart2->setGeometry(24, 152, 640 + chartExtra, 281 + extraHeight);
  ProgressBar1->setGeometry(24, 128, 642 + chartExtra, 16);
  StatusLine->setGeometry(24, 437 + extraHeight, 640 + chartExtra, 16);
  const int row = 458 + extraHeight;
  StopButton->move(24, row);
  ChartButton->move(106, row);
  OpenFolderButton->move(188, row);
  FolderLabel->setGeometry(284, row + 4, 300 + chartExtra, 18);
  ResultsButton->move(588 + chartExtra, row);
  ShowWorkingFolder();
  const bool panelFits = panel >= kResultsMinimumWidth - 12;
  if (panelFits) {
    results_.panel->setGeometry(kBaseWidth + chartExtra, 8, panel - 12, height() - 16);
  }
  results_.panel->setVisible(resultsShown_ && panelFits);
}

void TForm1::ShowResults(bool shown) {
  resultsShown_ = shown;
  ResultsButton->setChecked(shown);
  setMinimumWidth(shown ? kBaseWidth + kResultsMinimumWidth : kBaseWidth);
  if (shown && !isMaximized() && !isFullScreen() && width() < kBaseWidth + kResultsWidth) {
    int wanted = kBaseWidth + kResultsWidth;
    if (const QScreen* screen = this->screen()) {
      wanted = std::min(wanted, std::max(minimumWidth(), screen->availableGeometry().width()));
    }
    resize(std::max(wanted, width()), height());
  }
  Relayout();
}

void TForm1::OnWindowThread(std::function<void()> action, bool wait) {
  if (QThread::currentThread() == thread()) {
    action();
    return;
  }
  // No exception may cross the event loop: keep the first one for the end of the Run.
  QMetaObject::invokeMethod(
      this,
      [this, action = std::move(action)] {
        try {
          action();
        } catch (...) {
          if (!windowFailure_) windowFailure_ = std::current_exception();
        }
      },
      wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void TForm1::ReportProgress(const std::function<void(ProgressReport&)>& change) {
  // One application in the queue at a time: a Run of a million iterations posts as many
  // as the window can draw, not one per iteration.
  if (ChangeProgress(report_, change)) OnWindowThread([this] { ApplyProgress(); }, false);
}

void TForm1::ApplyProgress() {
  const ProgressChanges changes = TakeProgress(report_);
  shownProgress_ = changes.run;
  if (changes.range) ProgressBar1->setRange(changes.range->first, changes.range->second);
  if (changes.position) {
    // A progress bar shows an out-of-range position at its nearest end.
    const int low = ProgressBar1->minimum();
    const int high = std::max(low, ProgressBar1->maximum());
    ProgressBar1->setValue(std::clamp(*changes.position, low, high));
  }
  // The bar skips repainting small steps; its last position must be drawn too.
  if (changes.range || changes.position) ProgressBar1->update();
  if (running_) ShowRunStatus();
}

void TForm1::ShowRunStatus() {
  if (!running_) return;
  setWindowTitle(ProgressTitle(kCaption, shownProgress_));
  if (stopRequested_ || noticeTimer_->isActive()) return;
  StatusLine->setText(ProgressStatus(shownProgress_, runClock_->elapsed()));
}

void TForm1::RunPlanned(int32_t tests, int32_t iterations) {
  ReportProgress([tests, iterations](ProgressReport& report) {
    report.run.plannedTests = tests;
    report.run.iterations = iterations;
  });
}

void TForm1::TestStarted(genosieve::RandomizationKind kind, int32_t index, int32_t count,
                         const std::string& name) {
  ReportProgress([&](ProgressReport& report) {
    ++report.run.testsStarted;
    report.run.kind = kind;
    report.run.index = index;
    report.run.count = count;
    report.run.name = name;
    report.run.iteration = 0;
  });
}

void TForm1::SeedChosen(uint32_t seed) {
  OnWindowThread([this, seed] { lastSeed_ = seed; }, false);
}

void TForm1::SetProgressRange(int minimum, int maximum) {
  ReportProgress([minimum, maximum](ProgressReport& report) {
    report.minimum = minimum;
    report.maximum = maximum;
    report.rangeChanged = true;
    report.positionChanged = false;
  });
}

void TForm1::SetProgressPosition(int position) {
  ReportProgress([position](ProgressReport& report) {
    report.position = position;
    report.positionChanged = true;
    report.run.iteration = position;
  });
}

void TForm1::ClearChart() {
  OnWindowThread([this] { ClearPValueChart(pValueChart_); }, false);
}

void TForm1::AddChartPoint(double value) {
  OnWindowThread([this, value] { AddPValues(pValueChart_, {value}); }, false);
}

void TForm1::AddChartPoints(const std::vector<double>& values) {
  OnWindowThread([this, values] { AddPValues(pValueChart_, values); }, false);
}

void TForm1::ShowChartSeries() {
  OnWindowThread(
      [this] {
        FlushPValueCurve(pValueChart_);
        Series2->setVisible(true);
      },
      false);
}

void TForm1::ShowMessage(const std::string& text) {
  // Waits for the box to be closed, as the Run does not go on while it is shown.
  OnWindowThread([this, text] { showMessage(QString::fromStdString(text)); }, true);
}

void TForm1::TestFinished(const genosieve::TestOutcome& outcome) {
  // Only the overall test's values are kept, as doubles, for its histogram.
  std::vector<double> randomized;
  if (outcome.kind == genosieve::RandomizationKind::kOverall) {
    randomized.assign(outcome.randomizedFis.begin(), outcome.randomizedFis.end());
  }
  OnWindowThread(
      [this, row = WithoutValues(outcome), randomized = std::move(randomized)]() mutable {
        AddResult(results_, row, std::move(randomized));
      },
      false);
}

void TForm1::ShowNotice(const std::string& text) {
  OnWindowThread(
      [this, text] {
        const QString notice = QString::fromStdString(text);
        notices_.append(notice);
        StatusLine->setText(notice);
        StatusLine->setToolTip(notices_.join(QLatin1Char('\n')));
        if (running_) noticeTimer_->start();
      },
      false);
}

void TForm1::ShowCurvePoint(const QPointF& point, bool state) {
  CurvePoint shown;
  if (!state || !CurvePointAt(pValueChart_, point.x(), shown)) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(QCursor::pos(), CurvePointText(shown), Chart2);
}

void TForm1::SetRunning(bool running) {
  running_ = running;
  // Quit stays: it asks whether to stop the Run.
  for (QWidget* control :
       std::initializer_list<QWidget*>{Button1, Edit1, Button3, Edit2, Edit5, CheckBox1, CheckBox2,
                                       CheckBox3, CheckBox4, Button4, SeedEdit, ChartButton}) {
    control->setEnabled(!running);
  }
  ResultsButton->setEnabled(!running && results_.model->rowCount() > 0);
  StopButton->setEnabled(running);
  OpenFolderButton->setEnabled(!running && !lastRunFolder_.isEmpty());
  if (running) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

QMenu* TForm1::NewChartMenu(QChartView* view, const QString& prefix,
                            const std::function<void()>& copyValues) {
  auto* menu = new QMenu(this);
  menu->setObjectName(view->objectName() + QStringLiteral("Menu"));
  menu->addAction(QStringLiteral("Save as PNG, SVG or PDF\u2026"), this,
                  [this, view, prefix] { SaveChart(view, prefix); });
  menu->addAction(QStringLiteral("Copy image"), this,
                  [view] { QApplication::clipboard()->setImage(ChartImage(*view)); });
  menu->addAction(QStringLiteral("Copy values"), this, copyValues);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, [this, view, menu](const QPoint& at) {
    if (!running_) menu->popup(view->mapToGlobal(at));
  });
  return menu;
}

void TForm1::SaveChart(QChartView* view, const QString& prefix) {
  const QString error = SaveChartAs(*view, prefix, SaveFolder(), Edit5->text(), chooseSaveFile);
  if (!error.isEmpty()) showError(error);
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
  WriteRememberedSettings(settings);
}
