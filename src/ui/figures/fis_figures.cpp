#include "fis_figures.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QFont>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace genosieve {

namespace {

// The running P-value's points drawn one by one, then how many more at most.
constexpr qsizetype kEveryPoint = 1000;
constexpr qsizetype kLaterPoints = 3000;

const QColor kRandomizedColour(0x4c, 0x72, 0xb0);
const QColor kObservedColour(0xc4, 0x1e, 0x3a);
const QColor kNeutralColour(0x33, 0x33, 0x33);

QFont PixelFont(int pixels, bool bold = false) {
  QFont font;
  font.setFamily(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// Four significant digits with a point, whatever the locale.
QString Number(double value) { return QString::number(value, 'g', 4); }

std::unique_ptr<QChart> NewChart(const QString& title, const QString& caption) {
  auto chart = std::make_unique<QChart>();
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setTitleFont(PixelFont(17));
  chart->setTitle(QStringLiteral("<div align=\"center\"><b>%1</b><br>"
                                 "<span style=\"font-size:14px\">%2</span></div>")
                      .arg(title.toHtmlEscaped(), caption.toHtmlEscaped()));
  chart->legend()->setFont(PixelFont(13));
  chart->legend()->setAlignment(Qt::AlignBottom);
  return chart;
}

void StyleAxis(QAbstractAxis* axis, const QString& title) {
  axis->setTitleText(title);
  axis->setTitleFont(PixelFont(14, true));
  axis->setLabelsFont(PixelFont(13));
  axis->setLabelsColor(kNeutralColour);
}

QValueAxis* AddValueAxis(QChart& chart, Qt::Alignment alignment, const QString& title, double low,
                         double high, bool nice) {
  auto* axis = new QValueAxis;
  StyleAxis(axis, title);
  axis->setRange(low, high);
  if (nice) axis->applyNiceNumbers();
  chart.addAxis(axis, alignment);
  return axis;
}

void Attach(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
  chart.addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

void HideFromLegend(QChart& chart, QAbstractSeries* series) {
  for (QLegendMarker* marker : chart.legend()->markers(series)) marker->setVisible(false);
}

// Ticks on round values (1, 2 or 5 times a power of ten) over exactly the given range, so
// that the data fill the plot and the labels stay short.
void RoundTicks(QValueAxis* axis, double low, double high) {
  const double rough = (high - low) / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  const double scaled = rough / magnitude;
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval((scaled < 1.5 ? 1 : scaled < 3 ? 2 : scaled < 7 ? 5 : 10) * magnitude);
}

// A range of width zero (every value the same) is widened so that it can be drawn.
void Widen(double& low, double& high) {
  if (high > low) return;
  const double half = std::max(std::abs(low) * 0.05, 0.01);
  low -= half;
  high += half;
}

}  // namespace

std::vector<HistogramBin> HistogramBins(const std::vector<double>& values, double alsoCovered) {
  double low = alsoCovered;
  double high = alsoCovered;
  for (double value : values) {
    low = std::min(low, value);
    high = std::max(high, value);
  }
  Widen(low, high);
  const auto root = static_cast<int>(std::lround(std::sqrt(static_cast<double>(values.size()))));
  const int count = std::clamp(root, 5, 50);
  const double width = (high - low) / count;
  std::vector<HistogramBin> bins(static_cast<size_t>(count));
  for (int b = 0; b < count; ++b) {
    bins[static_cast<size_t>(b)].low = low + width * b;
    bins[static_cast<size_t>(b)].high = b + 1 == count ? high : low + width * (b + 1);
  }
  for (double value : values) {
    const auto b = std::clamp(static_cast<int>(std::floor((value - low) / width)), 0, count - 1);
    ++bins[static_cast<size_t>(b)].count;
  }
  return bins;
}

std::unique_ptr<QChart> FisDistributionChart(const std::vector<double>& randomized, double observed,
                                             double pLower, double pUpper) {
  auto chart = NewChart(
      QStringLiteral("Overall test: Fis under clone-size randomization"),
      QStringLiteral("P(lower) = %1 (Fis \u2264 observed), P(upper) = %2 (Fis \u2265 observed), "
                     "N = %3 iterations")
          .arg(Number(pLower), Number(pUpper))
          .arg(randomized.size()));
  const std::vector<HistogramBin> bins = HistogramBins(randomized, observed);
  int highestCount = 1;
  for (const HistogramBin& bin : bins) highestCount = std::max(highestCount, bin.count);

  auto* outline = new QLineSeries;
  outline->append(bins.front().low, 0);
  for (const HistogramBin& bin : bins) {
    outline->append(bin.low, bin.count);
    outline->append(bin.high, bin.count);
  }
  outline->append(bins.back().high, 0);
  auto* histogram = new QAreaSeries(outline);
  outline->setParent(histogram);
  histogram->setName(QStringLiteral("randomized Fis (%1 values)").arg(randomized.size()));
  histogram->setBrush(kRandomizedColour.lighter(150));
  histogram->setPen(QPen(kRandomizedColour, 1.2));

  auto* line = new QLineSeries;
  line->setName(QStringLiteral("observed Fis = %1").arg(Number(observed)));
  line->setPen(QPen(kObservedColour, 2.5));
  const double top = std::max(highestCount * 1.1, 5.0);  // whole numbers as ticks
  line->append(observed, 0);
  line->append(observed, top);

  const double margin = (bins.back().high - bins.front().low) * 0.04;
  QValueAxis* x = AddValueAxis(*chart, Qt::AlignBottom, QStringLiteral("Fis (dimensionless)"),
                               bins.front().low - margin, bins.back().high + margin, false);
  RoundTicks(x, x->min(), x->max());
  x->setLabelFormat(QStringLiteral("%.3g"));
  QValueAxis* y = AddValueAxis(*chart, Qt::AlignLeft, QStringLiteral("Randomized values (count)"),
                               0, top, true);
  y->setLabelFormat(QStringLiteral("%d"));
  Attach(*chart, histogram, x, y);
  Attach(*chart, line, x, y);
  return chart;
}

std::unique_ptr<QChart> RunningPValueChart(const std::vector<double>& runningPValues) {
  const auto iterations = static_cast<qsizetype>(runningPValues.size());
  const QString last = runningPValues.empty() ? QStringLiteral("1") : Number(runningPValues.back());
  auto chart =
      NewChart(QStringLiteral("Overall test: running P-value"),
               QStringLiteral("P(lower) = %1 after %2 iterations").arg(last).arg(iterations));
  auto* series = new QLineSeries;
  series->setName(QStringLiteral("P-value after each iteration (Fis \u2264 observed)"));
  series->setPen(QPen(kRandomizedColour, 1.5));
  // Every point while the curve still moves, then one in `step`, so that a Run of a
  // million iterations still gives a figure of a few hundred kilobytes; the last point is
  // always drawn.
  const qsizetype step = std::max<qsizetype>(1, (iterations - kEveryPoint) / kLaterPoints + 1);
  QList<QPointF> points;
  for (qsizetype i = 0; i < iterations; ++i) {
    if (i >= kEveryPoint && (i - kEveryPoint) % step != 0 && i + 1 != iterations) continue;
    points.append(QPointF(static_cast<double>(i + 1), runningPValues[static_cast<size_t>(i)]));
  }
  series->replace(points);

  const double lastX = std::max<double>(static_cast<double>(iterations), 1.0);
  auto* level = new QLineSeries;
  level->setName(QStringLiteral("P = 0.05"));
  level->setPen(QPen(kObservedColour, 1.2, Qt::DashLine));
  level->append(0, 0.05);
  level->append(lastX, 0.05);

  QValueAxis* x =
      AddValueAxis(*chart, Qt::AlignBottom, QStringLiteral("Iteration number"), 0, lastX, true);
  x->setLabelFormat(QStringLiteral("%d"));
  QValueAxis* y = AddValueAxis(*chart, Qt::AlignLeft, QStringLiteral("P-value"), 0, 1, false);
  y->setTickCount(6);
  y->setLabelFormat(QStringLiteral("%.1f"));
  Attach(*chart, series, x, y);
  Attach(*chart, level, x, y);
  return chart;
}

std::unique_ptr<QChart> FisRangeChart(const std::vector<FisRange>& tests, const QString& subject,
                                      int iterations) {
  auto chart = NewChart(
      QStringLiteral("%1 tests: observed Fis and randomized Fis").arg(subject),
      QStringLiteral("Bars: central 95 % of the %1 randomized values of each test (2.5 to 97.5 %)")
          .arg(iterations));
  QStringList labels;
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const FisRange& test : tests) {
    labels.append(QString::fromStdString(test.label));
    for (double value : {test.observed, test.low, test.high}) {
      if (!std::isfinite(value)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  if (!std::isfinite(low)) low = high = 0;
  Widen(low, high);
  const double pad = (high - low) * 0.08;

  auto* x = new QBarCategoryAxis;
  StyleAxis(x, subject);
  x->append(labels);
  if (labels.size() > 8) x->setLabelsAngle(-90);
  chart->addAxis(x, Qt::AlignBottom);
  QValueAxis* y = AddValueAxis(*chart, Qt::AlignLeft, QStringLiteral("Fis (dimensionless)"),
                               low - pad, high + pad, true);
  y->setLabelFormat(QStringLiteral("%.2f"));

  bool rangeInLegend = false;
  auto* plain = new QScatterSeries;
  plain->setName(QStringLiteral("observed Fis"));
  auto* significant = new QScatterSeries;
  significant->setName(QStringLiteral("observed Fis, P(lower) \u2264 0.05"));
  for (QScatterSeries* series : {plain, significant}) {
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(9);
    series->setPen(QPen(Qt::white, 0.8));
  }
  plain->setBrush(kNeutralColour);
  significant->setBrush(kObservedColour);
  for (size_t k = 0; k < tests.size(); ++k) {
    const FisRange& test = tests[k];
    const auto position = static_cast<double>(k);
    if (std::isfinite(test.low) && std::isfinite(test.high)) {
      auto* range = new QLineSeries;
      QPen pen(kRandomizedColour.lighter(140), 7);
      pen.setCapStyle(Qt::FlatCap);
      range->setPen(pen);
      range->append(position, test.low);
      range->append(position, test.high);
      range->setName(QStringLiteral("randomized Fis, central 95 %"));
      Attach(*chart, range, x, y);
      if (rangeInLegend) HideFromLegend(*chart, range);
      rangeInLegend = true;
    }
    (test.pLower <= 0.05 ? significant : plain)->append(position, test.observed);
  }
  Attach(*chart, plain, x, y);
  Attach(*chart, significant, x, y);
  if (significant->count() == 0) HideFromLegend(*chart, significant);
  return chart;
}

}  // namespace genosieve
