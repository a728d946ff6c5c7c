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
#include "control_tips.h"
#include "error_report.h"
#include "exports.h"
#include "help_text.h"
#include "messages.h"
#include "reports/number_format.h"
#include "window_boxes.h"
#include "window_look.h"
#include "window_settings.h"

namespace {

// The first layout's size; the controls of that layout keep their places at it. The
// chart may give up some of its height on a small screen.
constexpr int kBaseWidth = 738;
constexpr int kBaseHeight = 493;
constexpr int kChartGivesUp = 140;
// The results panel's width when the window grows for it, and the least it needs.
constexpr int kResultsWidth = 560;
constexpr int kResultsMinimumWidth = 320;
// How often the window takes the Run's news.
constexpr int kPollMilliseconds = 100;

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

// A caption's text without its mnemonic mark, for fitting.
QString Shown(const QString& caption) { return QString(caption).remove(QLatin1Char('&')); }

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kWindowCaption);
  setWindowIcon(WindowIcon());
  setFont(WindowFont());
  move(274, 186);
  resize(kBaseWidth, kBaseHeight);
  setMinimumSize(kBaseWidth, kBaseHeight - kChartGivesUp);
  setAcceptDrops(true);

  const auto place = [](QWidget* control, const char* name, int left, int top, int width,
                        int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
  };

  Button1 = new QPushButton(QStringLiteral("&Data file:"), this);
  place(Button1, "Button1", 16, 24, 106, 26);
  Edit1 = new QLineEdit(this);
  place(Edit1, "Edit1", 128, 26, 282, 21);
  Edit1->setPlaceholderText(QStringLiteral("choose or drop a data file"));
  Button2 = new QPushButton(QStringLiteral("&Quit"), this);
  place(Button2, "Button2", 512, 24, 76, 26);
  Button3 = new QPushButton(QStringLiteral("&Run"), this);
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
  CheckBox2 = new QCheckBox(QStringLiteral("per &locus analysis"), this);
  place(CheckBox2, "CheckBox2", 406, 64, 144, 20);
  CheckBox3 = new QCheckBox(QStringLiteral("per &pop analysis"), this);
  place(CheckBox3, "CheckBox3", 540, 68, 134, 14);
  Button4 = new QPushButton(QStringLiteral("&About Genosieve V.0.4."), this);
  place(Button4, "Button4", 600, 24, 113, 25);
  CheckBox1 = new QCheckBox(QStringLiteral("create files iterations / p-&values"), this);
  place(CheckBox1, "CheckBox1", 405, 88, 172, 17);
  // Added after the first layout, in the free space right of CheckBox1.
  CheckBox4 = new QCheckBox(QStringLiteral("create file of &Fis values"), this);
  place(CheckBox4, "CheckBox4", 580, 88, 150, 17);
  Label1 = new QLabel(QStringLiteral("Number of &iterations : "), this);
  place(Label1, "Label1", 32, 56, 103, 13);
  Label1->setBuddy(Edit2);
  Label4 = new QLabel(QStringLiteral("&Name of  result file"), this);
  place(Label4, "Label4", 32, 80, 87, 13);
  Label4->setBuddy(Edit5);

  // Added to the first layout: the seed beside the iterations, the chart's scale in its
  // corner, the Run's status and its controls under the chart, the results right of
  // everything.
  SeedLabel = new QLabel(QStringLiteral("S&eed:"), this);
  place(SeedLabel, "SeedLabel", 268, 59, 30, 13);
  SeedEdit = new QLineEdit(this);
  place(SeedEdit, "SeedEdit", 300, 56, 98, 21);
  SeedEdit->setPlaceholderText(QStringLiteral("repeatable Run"));
  SeedLabel->setBuddy(SeedEdit);
  LogScaleBox = new QCheckBox(QStringLiteral("log s&cale"), this);
  place(LogScaleBox, "LogScaleBox", 580, 154, 84, 17);
  StatusLine = new QLabel(QStringLiteral("Choose a data file, then press Run."), this);
  place(StatusLine, "StatusLine", 24, 437, 640, 16);
  StatusLine->setTextFormat(Qt::PlainText);
  StopButton = new QPushButton(QStringLiteral("&Stop"), this);
  place(StopButton, "StopButton", 24, 458, 76, 26);
  ChartButton = new QPushButton(QStringLiteral("C&hart"), this);
  place(ChartButton, "ChartButton", 106, 458, 76, 26);
  OpenFolderButton = new QPushButton(QStringLiteral("&Open folder"), this);
  place(OpenFolderButton, "OpenFolderButton", 188, 458, 90, 26);
  WorkingFolderButton = new QPushButton(QStringLiteral("&Working folder\u2026"), this);
  place(WorkingFolderButton, "WorkingFolderButton", 284, 458, 110, 26);
  FolderLabel = new QLabel(this);
  place(FolderLabel, "FolderLabel", 400, 462, 184, 18);
  FolderLabel->setTextFormat(Qt::PlainText);
  ResultsButton = new QPushButton(QStringLiteral("Resul&ts"), this);
  place(ResultsButton, "ResultsButton", 588, 458, 76, 26);
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

  for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    const QString tip = ControlTip(control->objectName());
    if (!tip.isEmpty()) control->setToolTip(WrappedTip(tip));
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
  chooseReading = [this](const QString& question, const QStringList& choices) {
    return ChooseOne(this, question, choices);
  };
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
  // The Loci and Populations panels chart each test's central 95 %.
  settings.keepCentralRanges = true;
  settings.seed = runSeed ? runSeed : SeedOfText(SeedEdit->text());
  if (Edit1->text() == formatPath_) settings.format = dataFormat_;
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

void TForm1::Button4Click() { showAbout(AboutText()); }

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
