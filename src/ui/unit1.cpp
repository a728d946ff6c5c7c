#include "unit1.h"

#include <locale.h>

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QIcon>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <exception>
#include <initializer_list>
#include <new>
#include <thread>
#include <utility>

#ifdef GENOSIEVE_HAVE_QT_SVG
#include <QSvgRenderer>
#endif

#include "analysis/run.h"
#include "errors.h"

namespace {

const QString kIconPath = QStringLiteral(":/genosieve/genosieve.svg");
const QString kBoxCaption = QStringLiteral("GENOSIEVE");

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
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() > 32 && point.at(0).unicode() < 127) {
    return static_cast<char>(point.at(0).unicode());
  }
  return '.';
}

// The axis spans exactly the data; its ticks fall on round values (1, 2 or 5 times a
// power of ten) so that the labels stay short.
void FitAxis(QValueAxis* axis, double minimum, double maximum) {
  const double rawStep = (maximum - minimum) / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rawStep)));
  const double scaled = rawStep / magnitude;
  const double step = (scaled < 1.5 ? 1 : scaled < 3 ? 2 : scaled < 7 ? 5 : 10) * magnitude;
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(step) || step <= 0) {
    // Values a P-value never takes; five plain ticks over what can be shown.
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setRange(std::isfinite(minimum) ? minimum : 0, std::isfinite(maximum) ? maximum : 1);
    return;
  }
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(step);
  axis->setRange(minimum, maximum);
}

QString ErrorText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::RunError& error) {
    return QString::fromStdString(error.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Mémoire insuffisante");
  } catch (const std::exception& error) {
    return QString::fromStdString(error.what());
  } catch (...) {
    return QStringLiteral("Erreur inconnue");
  }
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("GENOSIEVE 0.4"));
  setWindowIcon(WindowIcon());
  setFont(WindowFont());
  move(274, 186);
  resize(738, 493);

  const auto place = [](QWidget* control, const char* name, int left, int top, int width,
                        int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
  };

  Button1 = new QPushButton(QStringLiteral("Data file:"), this);
  place(Button1, "Button1", 16, 24, 106, 26);
  Edit1 = new QLineEdit(QStringLiteral("C:\\"), this);
  place(Edit1, "Edit1", 128, 26, 282, 21);
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
  Label1 = new QLabel(QStringLiteral("Number of iterations : "), this);
  place(Label1, "Label1", 32, 56, 103, 13);
  Label4 = new QLabel(QStringLiteral("Name of  result file"), this);
  place(Label4, "Label4", 32, 80, 87, 13);

  for (QLabel* label : {Label1, Label4}) FitText(label, label->text(), 0);
  for (QPushButton* button : {Button1, Button2, Button3, Button4}) {
    FitText(button, button->text(),
            2 * style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button));
  }
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3}) {
    FitText(box, box->text(),
            style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) + 2);
  }

  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);

  const QList<QWidget*> tabOrder = {Button1, Edit1, Button2,   Button3,   Edit2,   ProgressBar1,
                                    Chart2,  Edit5, CheckBox2, CheckBox3, Button4, CheckBox1};
  for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);

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
}

TForm1::~TForm1() = default;

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
  settings.seed = runSeed;
  settings.decimalSeparator = SystemDecimalSeparator();
  return settings;
}

void TForm1::Button1Click() {
  if (const std::optional<QString> chosen = chooseFile(*OpenDialog1)) dialogFileName_ = *chosen;
  Edit1->setText(dialogFileName_);
}

void TForm1::Button2Click() { close(); }

void TForm1::Button3Click() {
  if (running_) return;
  const genosieve::RunSettings settings = CurrentSettings();
  SetRunning(true);

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
    FlushChartPoints();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  SetRunning(false);
  if (failure) showError(ErrorText(failure));
}

void TForm1::Button4Click() { showAbout(AboutText()); }

void TForm1::closeEvent(QCloseEvent* event) {
  // A Run cannot be stopped halfway; the window stays until it ends.
  if (running_) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
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

void TForm1::SetProgressRange(int minimum, int maximum) {
  OnWindowThread([this, minimum, maximum] { ProgressBar1->setRange(minimum, maximum); }, false);
}

void TForm1::SetProgressPosition(int position) {
  OnWindowThread(
      [this, position] {
        // A progress bar shows an out-of-range position at its nearest end.
        const int minimum = ProgressBar1->minimum();
        const int maximum = std::max(minimum, ProgressBar1->maximum());
        ProgressBar1->setValue(std::clamp(position, minimum, maximum));
      },
      false);
}

void TForm1::ClearChart() {
  OnWindowThread(
      [this] {
        pendingPoints_.clear();
        Series2->clear();
        RescaleAxes({});
      },
      false);
}

void TForm1::AddChartPoint(double value) {
  OnWindowThread(
      [this, value] {
        const auto x = static_cast<double>(Series2->count() + pendingPoints_.size());
        pendingPoints_.append(QPointF(x, value));
      },
      false);
}

void TForm1::AddChartPoints(const std::vector<double>& values) {
  OnWindowThread(
      [this, values] {
        auto x = static_cast<double>(Series2->count() + pendingPoints_.size());
        pendingPoints_.reserve(pendingPoints_.size() + static_cast<qsizetype>(values.size()));
        for (double value : values) pendingPoints_.append(QPointF(x++, value));
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

void TForm1::FlushChartPoints() {
  if (pendingPoints_.isEmpty()) return;
  QList<QPointF> points = Series2->points();
  points.append(pendingPoints_);
  pendingPoints_.clear();
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
  FitAxis(axisY_, minimumY, maximumY);
}

void TForm1::SetRunning(bool running) {
  running_ = running;
  for (QWidget* control :
       std::initializer_list<QWidget*>{Button1, Edit1, Button2, Button3, Edit2, Edit5, CheckBox1,
                                       CheckBox2, CheckBox3, Button4}) {
    control->setEnabled(!running);
  }
  if (running) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}
