#include "unit1.h"

#include <locale.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <exception>
#include <initializer_list>
#include <memory>
#include <new>
#include <thread>
#include <utility>

#ifdef GENOSIEVE_HAVE_QT_SVG
#include <QSvgRenderer>
#endif

#include "analysis/run.h"
#include "chart_export.h"
#include "curve_decimation.h"
#include "errors.h"
#include "fis_figures.h"
#include "messages.h"
#include "reports/number_format.h"
#include "results_table.h"

namespace {

const QString kCaption = QStringLiteral("GENOSIEVE 0.4");
const QString kIconPath = QStringLiteral(":/genosieve/genosieve.svg");
const QString kBoxCaption = QStringLiteral("GENOSIEVE");

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

// Keys of the remembered settings. The seed is not among them: a remembered seed would
// repeat every later Run without the user asking.
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kDataFolderKey = QStringLiteral("data/folder");
const QString kIterationsKey = QStringLiteral("run/iterations");
const QString kResultNameKey = QStringLiteral("run/resultName");
const QString kPValueFilesKey = QStringLiteral("run/pValueFiles");
const QString kPerLocusKey = QStringLiteral("run/perLocus");
const QString kPerPopulationKey = QStringLiteral("run/perPopulation");
const QString kFisValuesKey = QStringLiteral("run/fisValues");

// The window was laid out for "MS Sans Serif" at 8 points; where that font is missing
// the system's own sans serif at the same size keeps the texts inside their controls.
QFont WindowFont() {
  const QString designFamily = QStringLiteral("MS Sans Serif");
  if (QFontDatabase::families().contains(designFamily)) return QFont(designFamily, 8);
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

// Narrows a control's font, never its geometry, until its text fits: the layout was
// drawn for a narrower font than most systems have.
void FitText(QWidget* control, const QString& text, int reserved) {
  const int available = control->width() - reserved;
  QFont font = control->font();
  for (int stretch = 100; stretch >= 60; stretch -= 4) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(text) <= available) break;
  }
  if (font.stretch() < QFont::Unstretched) control->setFont(font);
}

QIcon WindowIcon() {
#ifdef GENOSIEVE_HAVE_QT_SVG
  // Rendered here rather than through the image-format plugin, which may be missing.
  QSvgRenderer renderer(kIconPath);
  if (renderer.isValid()) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
      QPixmap pixmap(size, size);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      renderer.render(&painter);
      painter.end();
      icon.addPixmap(pixmap);
    }
    return icon;
  }
#endif
  return QIcon(kIconPath);
}

// The files the Run writes are ASCII; a separator outside ASCII falls back to '.'.
char SystemDecimalSeparator() {
  return genosieve::ChooseDecimalSeparator(QLocale::system().decimalPoint().toStdString())
      .separator;
}

// A round tick step (1, 2 or 5 times a power of ten) for about five ticks over the span;
// nothing for a span a P-value never has.
std::optional<double> TickStep(double minimum, double maximum) {
  const double rawStep = (maximum - minimum) / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rawStep)));
  const double scaled = rawStep / magnitude;
  const double step = (scaled < 1.5 ? 1 : scaled < 3 ? 2 : scaled < 7 ? 5 : 10) * magnitude;
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(step) || step <= 0) {
    return std::nullopt;
  }
  return step;
}

// Five plain ticks over what can be shown, for values a P-value never takes.
void FitAxisPlainly(QValueAxis* axis, double minimum, double maximum) {
  axis->setTickType(QValueAxis::TicksFixed);
  axis->setRange(std::isfinite(minimum) ? minimum : 0, std::isfinite(maximum) ? maximum : 1);
}

// The axis spans exactly the data; its ticks fall on round values so that the labels
// stay short.
void FitAxis(QValueAxis* axis, double minimum, double maximum) {
  const std::optional<double> step = TickStep(minimum, maximum);
  if (!step) return FitAxisPlainly(axis, minimum, maximum);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(*step);
  axis->setRange(minimum, maximum);
}

// The axis ends on ticks around the data, so that the curve never leaves the labelled
// range.
void FitAxisOnTicks(QValueAxis* axis, double minimum, double maximum) {
  const std::optional<double> step = TickStep(minimum, maximum);
  if (!step) return FitAxisPlainly(axis, minimum, maximum);
  const double low = std::floor(minimum / *step) * *step;
  const double high = std::ceil(maximum / *step) * *step;
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(*step);
  axis->setRange(low, high);
}

// The error's message, after the file it is about: the system's messages are bare.
QString ErrorText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::RunError& error) {
    const QString what = QString::fromStdString(error.what());
    if (!error.file) return what;
    if (error.file->empty()) return QStringLiteral("No data file given: %1").arg(what);
    // Relative to the current folder, as the Run reached it.
    const QString path =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(*error.file))).absoluteFilePath();
    return QStringLiteral("File \"%1\": %2").arg(QDir::toNativeSeparators(path), what);
  } catch (const std::bad_alloc&) {
    return QString::fromUtf8(genosieve::kOutOfMemoryMessage);
  } catch (const std::exception& error) {
    return QString::fromStdString(error.what());
  } catch (...) {
    return QStringLiteral("Erreur inconnue");
  }
}

// Whether the Run ended because its user asked it to stop.
bool IsStop(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::RunStopped&) {
    return true;
  } catch (...) {
    return false;
  }
}

// A finished test without its randomized values, which only the overall test keeps.
genosieve::TestOutcome WithoutValues(const genosieve::TestOutcome& outcome) {
  genosieve::TestOutcome row;
  row.kind = outcome.kind;
  row.index = outcome.index;
  row.name = outcome.name;
  row.individuals = outcome.individuals;
  row.distinctGenotypes = outcome.distinctGenotypes;
  row.observed = outcome.observed;
  row.expected = outcome.expected;
  row.pLower = outcome.pLower;
  row.pUpper = outcome.pUpper;
  row.iterations = outcome.iterations;
  row.seed = outcome.seed;
  return row;
}

// The result name's stem, for the names suggested when saving: "results" for
// "results.txt".
QString ResultStem(const QString& resultName) {
  const QFileInfo info(resultName);
  const QString base = info.fileName();
  const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? base.left(dot) : base;
}

QString Tsv(const QStringList& header, const std::vector<double>& values) {
  QString text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
  text.reserve(static_cast<qsizetype>(values.size()) * 28);
  for (size_t i = 0; i < values.size(); ++i) {
    text +=
        QString::number(i + 1) + QLatin1Char('\t') + ShortestNumber(values[i]) + QLatin1Char('\n');
  }
  return text;
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

  chart_ = new QChart;
  chart_->setTitle(QStringLiteral("P-value"));
  chart_->legend()->hide();
  chart_->setBackgroundBrush(Qt::white);
  chart_->setPlotAreaBackgroundVisible(false);
  chart_->setBackgroundRoundness(0);
  chart_->setMargins(QMargins(2, 0, 10, 0));
  chart_->layout()->setContentsMargins(0, 0, 0, 0);
  Series2 = new QLineSeries;
  Series2->setObjectName(QStringLiteral("Series2"));
  Series2->setPen(QPen(Qt::red, 1));
  Series2->setPointsVisible(false);
  Series2->setPointLabelsVisible(false);
  chart_->addSeries(Series2);
  axisX_ = new QValueAxis;
  axisX_->setObjectName(QStringLiteral("BottomAxis"));
  axisX_->setTitleText(QStringLiteral("iteration number"));
  axisX_->setLabelFormat(QStringLiteral("%g"));
  axisY_ = new QValueAxis;
  axisY_->setObjectName(QStringLiteral("LeftAxis"));
  axisY_->setTitleText(QStringLiteral("P-value (overall loci and populations)"));
  axisY_->setLabelFormat(QStringLiteral("%g"));
  for (QValueAxis* axis : {axisX_, axisY_}) {
    QFont titleFont = axis->titleFont();
    titleFont.setPointSize(8);
    titleFont.setStretch(QFont::SemiCondensed);
    axis->setTitleFont(titleFont);
    QFont labelsFont = axis->labelsFont();
    labelsFont.setPointSize(8);
    axis->setLabelsFont(labelsFont);
  }
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  Series2->attachAxis(axisX_);
  Series2->attachAxis(axisY_);
  Chart2 = new QChartView(chart_, this);
  place(Chart2, "Chart2", 24, 152, 640, 281);
  Chart2->setFrameShape(QFrame::NoFrame);
  Chart2->setFocusPolicy(Qt::NoFocus);
  RescaleAxes({});

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

  ResultsPanel = new QWidget(this);
  ResultsPanel->setObjectName(QStringLiteral("ResultsPanel"));
  ResultsCaption = new QLabel(ResultsPanel);
  ResultsCaption->setObjectName(QStringLiteral("ResultsCaption"));
  ResultsCaption->setWordWrap(true);
  ResultsCaption->setTextFormat(Qt::PlainText);
  ResultsCaption->setTextInteractionFlags(Qt::TextSelectableByMouse);
  resultsModel_ = NewResultsModel(this);
  ResultsTable = new QTableView(ResultsPanel);
  ResultsTable->setObjectName(QStringLiteral("ResultsTable"));
  ResultsTable->setModel(resultsModel_);
  ResultsTable->setSortingEnabled(true);
  ResultsTable->sortByColumn(-1, Qt::AscendingOrder);
  ResultsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  ResultsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ResultsTable->verticalHeader()->hide();
  ResultsTable->verticalHeader()->setDefaultSectionSize(ResultsTable->fontMetrics().height() + 6);
  ResultsTable->horizontalHeader()->setStretchLastSection(true);
  auto* copyTableButton = new QPushButton(QStringLiteral("Copy table"), ResultsPanel);
  copyTableButton->setObjectName(QStringLiteral("CopyTableButton"));
  auto* exportTableButton = new QPushButton(QStringLiteral("Export table\u2026"), ResultsPanel);
  exportTableButton->setObjectName(QStringLiteral("ExportTableButton"));
  auto* histogramChart = new QChart;
  histogramChart->legend()->hide();
  histogramChart->setBackgroundRoundness(0);
  HistogramView = new QChartView(histogramChart, ResultsPanel);
  HistogramView->setObjectName(QStringLiteral("HistogramView"));
  HistogramView->setRenderHint(QPainter::Antialiasing);
  HistogramView->setFrameShape(QFrame::NoFrame);
  auto* figureButton = new QPushButton(QStringLiteral("Figure"), ResultsPanel);
  figureButton->setObjectName(QStringLiteral("FigureButton"));

  auto* tableButtons = new QHBoxLayout;
  tableButtons->addWidget(copyTableButton);
  tableButtons->addWidget(exportTableButton);
  tableButtons->addStretch(1);
  auto* figureButtons = new QHBoxLayout;
  figureButtons->addWidget(figureButton);
  figureButtons->addStretch(1);
  auto* panelLayout = new QVBoxLayout(ResultsPanel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(ResultsCaption);
  panelLayout->addWidget(ResultsTable, 3);
  panelLayout->addLayout(tableButtons);
  panelLayout->addWidget(HistogramView, 4);
  panelLayout->addLayout(figureButtons);
  ResultsPanel->hide();

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
                                    ResultsTable,
                                    copyTableButton,
                                    exportTableButton,
                                    figureButton};
  for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(StopButton, &QPushButton::clicked, this, &TForm1::StopClick);
  connect(OpenFolderButton, &QPushButton::clicked, this, &TForm1::OpenFolderClick);
  connect(ResultsButton, &QPushButton::clicked, this, &TForm1::ResultsClick);
  connect(copyTableButton, &QPushButton::clicked, this, &TForm1::CopyTable);
  connect(exportTableButton, &QPushButton::clicked, this, &TForm1::ExportTable);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TForm1::StopClick);
  auto* copy = new QShortcut(QKeySequence::Copy, ResultsTable);
  copy->setContext(Qt::WidgetShortcut);
  connect(copy, &QShortcut::activated, this, &TForm1::CopyTable);

  // The charts: a context menu and a button with the same menu, to save or copy them;
  // the running P-value under the pointer.
  QMenu* chartMenu =
      NewChartMenu(Chart2, QStringLiteral("Running_pvalue_"), [this] { CopyChartValues(); });
  ChartButton->setMenu(chartMenu);
  QMenu* figureMenu = NewChartMenu(HistogramView, QStringLiteral("Fis_distribution_"), [this] {
    QApplication::clipboard()->setText(
        Tsv({QStringLiteral("iteration"), QStringLiteral("randomized Fis")}, overallRandomized_));
  });
  figureButton->setMenu(figureMenu);
  connect(Series2, &QLineSeries::hovered, this, &TForm1::ShowCurvePoint);

  runClock_ = new QElapsedTimer;
  statusTimer_ = new QTimer(this);
  statusTimer_->setInterval(500);
  connect(statusTimer_, &QTimer::timeout, this, &TForm1::ShowRunStatus);
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  noticeTimer_->setInterval(4000);
  connect(noticeTimer_, &QTimer::timeout, this, &TForm1::ShowRunStatus);

  showMessage = [this](const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kBoxCaption, text, QMessageBox::Ok, this);
    box.exec();
  };
  showError = [this](const QString& text) {
    QMessageBox box(QMessageBox::Critical, kBoxCaption, text, QMessageBox::Ok, this);
    box.exec();
  };
  showAbout = [this](const QString& text) {
    // A label would draw a lone CR as a blank: break the lines explicitly.
    QString lines = text;
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::NoIcon, kBoxCaption, lines, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  };
  chooseFile = [](QFileDialog& dialog) -> std::optional<QString> {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.constFirst();
  };
  chooseSaveFile = [this](const QString& caption, const QString& filters,
                          const QString& suggested) -> std::optional<QString> {
    const QString path = QFileDialog::getSaveFileName(this, caption, suggested, filters);
    if (path.isEmpty()) return std::nullopt;
    return path;
  };
  askStopAndQuit = [this] {
    return QMessageBox::question(this, kBoxCaption, QStringLiteral("Stop the Run and quit?"),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  openFolder = [](const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };

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
  workingFolder_ = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
  workingFolderBesideData_ = false;
  ShowWorkingFolder();
}

void TForm1::SetWorkingFolderBesideData() {
  workingFolder_.clear();
  workingFolderBesideData_ = true;
  ShowWorkingFolder();
}

QString TForm1::EffectiveWorkingFolder() const {
  if (!workingFolder_.isEmpty()) return workingFolder_;
  if (workingFolderBesideData_ && !Edit1->text().isEmpty()) {
    return QFileInfo(Edit1->text()).absolutePath();
  }
  return QDir::currentPath();
}

void TForm1::ShowWorkingFolder() {
  const QString folder = !workingFolder_.isEmpty() || !workingFolderBesideData_
                             ? QDir::toNativeSeparators(EffectiveWorkingFolder())
                             : QStringLiteral("the data file's folder");
  const QString text = QStringLiteral("Working folder: %1").arg(folder);
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
  Series2->clear();
  chartValues_.clear();
  chartValues_.shrink_to_fit();
  curveChanged_ = false;
  RescaleAxes({});
  resultsModel_->removeRows(0, resultsModel_->rowCount());
  overallRandomized_.clear();
  overallRandomized_.shrink_to_fit();
  hasOverall_ = false;
  notices_.clear();
  lastSeed_.reset();
  DrawHistogram();
  ResultsCaption->clear();
  {
    const std::lock_guard lock(report_.mutex);
    report_.run = RunProgress{};
  }
  shownProgress_ = RunProgress{};
  stopRequested_ = false;
  quitAfterRun_ = false;
  lastRunFolder_ = folder;
  runClock_->start();
  SetRunning(true);
  ShowRunStatus();
  statusTimer_->start();

  // The Run works on its own thread so that the window keeps repainting; its view
  // operations come back to this thread in order, and the loop below ends after the
  // last of them.
  std::exception_ptr failure;
  windowFailure_ = nullptr;
  QEventLoop loop;
  try {
    std::thread worker([&] {
      // The application runs under the user's locale; the analysis reads and writes
      // numbers in the C conventions whatever the process locale, as the command line.
      const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
      if (classic != static_cast<locale_t>(0)) uselocale(classic);
      try {
        genosieve::Run(settings, *this);
      } catch (...) {
        failure = std::current_exception();
      }
      if (classic != static_cast<locale_t>(0)) {
        uselocale(LC_GLOBAL_LOCALE);
        freelocale(classic);
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  } catch (...) {
    // No thread could be started: nothing has run.
    failure = std::current_exception();
  }

  if (!failure) failure = windowFailure_;
  windowFailure_ = nullptr;
  try {
    ApplyProgress();
    FlushChartPoints();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  statusTimer_->stop();
  noticeTimer_->stop();
  SetRunning(false);
  setWindowTitle(kCaption);

  const QString elapsed = DurationText(runClock_->elapsed());
  const QString where = QDir::toNativeSeparators(folder);
  QString status;
  if (!failure) {
    const int32_t tests = resultsModel_->rowCount();
    status = QStringLiteral("Done: %1 %2 of %3 iterations in %4; seed %5; files in %6")
                 .arg(tests)
                 .arg(tests == 1 ? QStringLiteral("test") : QStringLiteral("tests"))
                 .arg(shownProgress_.iterations)
                 .arg(elapsed)
                 .arg(lastSeed_.value_or(0))
                 .arg(where);
  } else if (IsStop(failure)) {
    status = QStringLiteral("Run interrupted after %1, during %2; files in %3")
                 .arg(elapsed,
                      shownProgress_.testsStarted == 0
                          ? QStringLiteral("the reading of the data")
                          : TestCaption(shownProgress_.kind, shownProgress_.index,
                                        shownProgress_.count, shownProgress_.name),
                      where);
  } else {
    status = QStringLiteral("Run failed after %1: %2").arg(elapsed, ErrorText(failure));
  }
  if (!notices_.isEmpty()) status += QStringLiteral(" \u00b7 ") + notices_.constLast();
  StatusLine->setText(status);
  StatusLine->setToolTip(
      notices_.isEmpty() ? status : status + QLatin1Char('\n') + notices_.join(QLatin1Char('\n')));
  if (resultsModel_->rowCount() > 0) {
    QString caption = QStringLiteral("%1: %2 iterations per test, files in %3.")
                          .arg(QFileInfo(Edit1->text()).fileName())
                          .arg(shownProgress_.iterations)
                          .arg(where);
    if (lastSeed_) {
      caption += QStringLiteral(
                     " Seed %1: given as the seed, with the same data and settings, "
                     "it repeats this Run.")
                     .arg(*lastSeed_);
    }
    if (!notices_.isEmpty()) caption += QLatin1Char('\n') + notices_.join(QLatin1Char('\n'));
    ResultsCaption->setText(caption);
    ResultsTable->resizeColumnsToContents();
    DrawHistogram();
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
    ResultsPanel->setGeometry(kBaseWidth + chartExtra, 8, panel - 12, height() - 16);
  }
  ResultsPanel->setVisible(resultsShown_ && panelFits);
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

void TForm1::DrawHistogram() {
  std::unique_ptr<QChart> chart;
  if (hasOverall_ && !overallRandomized_.empty()) {
    chart = genosieve::FisDistributionChart(overallRandomized_, overallObserved_, overallPLower_,
                                            overallPUpper_);
    // The figure is laid out for a file of 800 x 500 pixels; the panel is a few hundred
    // wide: the window's own font sizes and a one-line title keep its labels readable.
    const QFont text = font();
    QFont bold = text;
    bold.setBold(true);
    chart->setTitleFont(bold);
    chart->setTitle(
        QStringLiteral("Overall test: P(lower) = %1, P(upper) = %2")
            .arg(QString::number(overallPLower_, 'g', 4), QString::number(overallPUpper_, 'g', 4)));
    chart->legend()->setFont(text);
    for (QAbstractAxis* axis : chart->axes()) {
      axis->setTitleFont(text);
      axis->setLabelsFont(text);
    }
    chart->setMargins(QMargins(4, 4, 4, 4));
  } else {
    chart = std::make_unique<QChart>();
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
  }
  // The view does not delete the chart it lets go of.
  QChart* previous = HistogramView->chart();
  HistogramView->setChart(chart.release());
  delete previous;
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
  bool post = false;
  {
    const std::lock_guard lock(report_.mutex);
    change(report_);
    post = !report_.posted;
    report_.posted = true;
  }
  // One application in the queue at a time: a Run of a million iterations posts as many
  // as the window can draw, not one per iteration.
  if (post) OnWindowThread([this] { ApplyProgress(); }, false);
}

void TForm1::ApplyProgress() {
  int minimum = 0;
  int maximum = 0;
  int position = 0;
  bool rangeChanged = false;
  bool positionChanged = false;
  {
    const std::lock_guard lock(report_.mutex);
    minimum = report_.minimum;
    maximum = report_.maximum;
    position = report_.position;
    rangeChanged = report_.rangeChanged;
    positionChanged = report_.positionChanged;
    report_.rangeChanged = false;
    report_.positionChanged = false;
    report_.posted = false;
    shownProgress_ = report_.run;
  }
  if (rangeChanged) ProgressBar1->setRange(minimum, maximum);
  if (positionChanged) {
    // A progress bar shows an out-of-range position at its nearest end.
    const int low = ProgressBar1->minimum();
    const int high = std::max(low, ProgressBar1->maximum());
    ProgressBar1->setValue(std::clamp(position, low, high));
  }
  // The bar skips repainting small steps; its last position must be drawn too.
  if (rangeChanged || positionChanged) ProgressBar1->update();
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
  OnWindowThread(
      [this] {
        chartValues_.clear();
        curveChanged_ = false;
        Series2->clear();
        RescaleAxes({});
      },
      false);
}

void TForm1::AddChartPoint(double value) {
  OnWindowThread(
      [this, value] {
        chartValues_.push_back(value);
        curveChanged_ = true;
      },
      false);
}

void TForm1::AddChartPoints(const std::vector<double>& values) {
  OnWindowThread(
      [this, values] {
        chartValues_.insert(chartValues_.end(), values.begin(), values.end());
        curveChanged_ = true;
      },
      false);
}

void TForm1::ShowChartSeries() {
  OnWindowThread(
      [this] {
        FlushChartPoints();
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
        AppendResultRow(*resultsModel_, row);
        if (row.kind == genosieve::RandomizationKind::kOverall) {
          overallRandomized_ = std::move(randomized);
          overallObserved_ = static_cast<double>(row.observed);
          overallPLower_ = static_cast<double>(row.pLower);
          overallPUpper_ = static_cast<double>(row.pUpper);
          hasOverall_ = true;
        }
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

void TForm1::FlushChartPoints() {
  if (!curveChanged_) return;
  curveChanged_ = false;
  RedrawCurve();
}

void TForm1::RedrawCurve() {
  const QList<QPointF> points = DecimatedCurve(chartValues_);
  // The axes first, on an empty series: every change of range recomputes the drawn
  // line. Then one replace draws it once; appending point by point would redraw it after
  // every point.
  if (Series2->count() > 0) Series2->clear();
  RescaleAxes(points);
  Series2->replace(points);
}

void TForm1::RescaleAxes(const QList<QPointF>& points) {
  if (points.isEmpty()) {
    FitAxis(axisX_, 0, 1);
    FitAxis(axisY_, 0, 1);
    return;
  }
  const auto [lowest, highest] =
      std::minmax_element(points.cbegin(), points.cend(),
                          [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
  double minimumY = lowest->y();
  double maximumY = highest->y();
  if (minimumY == maximumY) {
    minimumY -= 0.5;
    maximumY += 0.5;
  }
  const double firstX = points.constFirst().x();
  const double lastX = points.constLast().x();
  FitAxis(axisX_, firstX, lastX > firstX ? lastX : firstX + 1);
  FitAxisOnTicks(axisY_, minimumY, maximumY);
}

void TForm1::ShowCurvePoint(const QPointF& point, bool state) {
  if (!state || chartValues_.empty()) {
    QToolTip::hideText();
    return;
  }
  // The drawn curve may be decimated: read the value of the iteration under the pointer.
  const auto i = static_cast<size_t>(
      std::clamp<double>(std::round(point.x()), 0, static_cast<double>(chartValues_.size() - 1)));
  QToolTip::showText(
      QCursor::pos(),
      QStringLiteral("iteration %1: P-value %2").arg(i + 1).arg(ShortestNumber(chartValues_[i])),
      Chart2);
}

void TForm1::SetRunning(bool running) {
  running_ = running;
  // Quit stays: it asks whether to stop the Run.
  for (QWidget* control :
       std::initializer_list<QWidget*>{Button1, Edit1, Button3, Edit2, Edit5, CheckBox1, CheckBox2,
                                       CheckBox3, CheckBox4, Button4, SeedEdit, ChartButton}) {
    control->setEnabled(!running);
  }
  ResultsButton->setEnabled(!running && resultsModel_->rowCount() > 0);
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
  menu->addAction(QStringLiteral("Copy image"), this, [this, view] { CopyChartImage(view); });
  menu->addAction(QStringLiteral("Copy values"), this, copyValues);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, [this, view, menu](const QPoint& at) {
    if (!running_) menu->popup(view->mapToGlobal(at));
  });
  return menu;
}

void TForm1::SaveChart(QChartView* view, const QString& prefix) {
  const QString folder = lastRunFolder_.isEmpty() ? EffectiveWorkingFolder() : lastRunFolder_;
  const QString suggested =
      QDir(folder).filePath(prefix + ResultStem(Edit5->text()) + QStringLiteral(".png"));
  const QString filters =
      QStringList{ChartFormatFilter(ChartFormat::kPng), ChartFormatFilter(ChartFormat::kSvg),
                  ChartFormatFilter(ChartFormat::kPdf)}
          .join(QStringLiteral(";;"));
  const std::optional<QString> chosen =
      chooseSaveFile(QStringLiteral("Save the chart"), filters, suggested);
  if (!chosen) return;
  QString path = *chosen;
  std::optional<ChartFormat> format = ChartFormatOfName(path);
  if (!format) {
    path += QStringLiteral(".png");
    format = ChartFormat::kPng;
  }
  const QString title = view->chart()->title().isEmpty() ? prefix : view->chart()->title();
  const QString error = WriteFileAtomically(path, ChartBytes(*view, *format, title));
  if (!error.isEmpty()) showError(error);
}

void TForm1::CopyChartImage(QChartView* view) {
  QApplication::clipboard()->setImage(ChartImage(*view));
}

void TForm1::CopyChartValues() {
  QApplication::clipboard()->setText(
      Tsv({QStringLiteral("iteration"), QStringLiteral("P-value")}, chartValues_));
}

void TForm1::CopyTable() {
  QList<int> rows;
  for (const QModelIndex& index : ResultsTable->selectionModel()->selectedRows()) {
    rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  QApplication::clipboard()->setText(ResultsTsv(*resultsModel_, rows));
}

void TForm1::ExportTable() {
  const QString folder = lastRunFolder_.isEmpty() ? EffectiveWorkingFolder() : lastRunFolder_;
  const QString suggested = QDir(folder).filePath(
      QStringLiteral("Table_") + ResultStem(Edit5->text()) + QStringLiteral(".csv"));
  const std::optional<QString> chosen = chooseSaveFile(
      QStringLiteral("Export table"),
      QStringLiteral("Comma-separated values (*.csv);;Tab-separated values (*.tsv *.txt)"),
      suggested);
  if (!chosen) return;
  QString path = *chosen;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix.isEmpty()) path += QStringLiteral(".csv");
  const bool csv = suffix.isEmpty() || suffix == QLatin1String("csv");
  const QString text = csv ? ResultsCsv(*resultsModel_) : ResultsTsv(*resultsModel_);
  const QString error = WriteFileAtomically(path, text.toUtf8());
  if (!error.isEmpty()) showError(error);
}

void TForm1::RestoreSettings() {
  rememberSettings_ = true;
  const QSettings settings;
  if (settings.contains(kGeometryKey)) restoreGeometry(settings.value(kGeometryKey).toByteArray());
  lastDataFolder_ = settings.value(kDataFolderKey).toString();
  Edit2->setText(settings.value(kIterationsKey, Edit2->text()).toString());
  Edit5->setText(settings.value(kResultNameKey, Edit5->text()).toString());
  CheckBox1->setChecked(settings.value(kPValueFilesKey, false).toBool());
  CheckBox2->setChecked(settings.value(kPerLocusKey, false).toBool());
  CheckBox3->setChecked(settings.value(kPerPopulationKey, false).toBool());
  CheckBox4->setChecked(settings.value(kFisValuesKey, false).toBool());
}

void TForm1::SaveSettings() const {
  QSettings settings;
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kDataFolderKey, lastDataFolder_);
  settings.setValue(kIterationsKey, Edit2->text());
  settings.setValue(kResultNameKey, Edit5->text());
  settings.setValue(kPValueFilesKey, CheckBox1->isChecked());
  settings.setValue(kPerLocusKey, CheckBox2->isChecked());
  settings.setValue(kPerPopulationKey, CheckBox3->isChecked());
  settings.setValue(kFisValuesKey, CheckBox4->isChecked());
}
