#include "fis_figures.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QCandlestickSeries>
#include <QCandlestickSet>
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
#include <set>

#include "plain_text.h"

namespace genosieve {

namespace {

// The running P-value's points drawn one by one, then how many more at most.
constexpr qsizetype kEveryPoint = 1000;
constexpr qsizetype kLaterPoints = 3000;

// Dots of the numbered panel closer than this grid (the PNG's pixels over the whole
// figure, finer than its plot) are drawn once.
constexpr double kFigureCellsAcross = 1600;
constexpr double kFigureCellsDown = 1000;
// The numbered panel's dots are see-through beyond this many tests.
constexpr size_t kOpaqueDots = 1000;

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

// The range of every test's observed Fis and randomized range, widened when empty, with
// room above and below.
struct FisSpan {
  double low = 0;
  double high = 0;
  double pad = 0;
};

FisSpan SpanOf(const std::vector<FisRange>& tests) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const FisRange& test : tests) {
    for (double value : {test.observed, test.low, test.high}) {
      if (!std::isfinite(value)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  if (!std::isfinite(low)) low = high = 0;
  Widen(low, high);
  return {low, high, (high - low) * 0.08};
}

std::unique_ptr<QChart> RangeChart(const QString& subject, const QString& caption) {
  return NewChart(QStringLiteral("%1 tests: observed Fis and randomized Fis").arg(subject),
                  caption);
}

QValueAxis* FisAxis(QChart& chart, const FisSpan& span) {
  QValueAxis* y = AddValueAxis(chart, Qt::AlignLeft, QStringLiteral("Fis (dimensionless)"),
                               span.low - span.pad, span.high + span.pad, true);
  y->setLabelFormat(QStringLiteral("%.2f"));
  return y;
}

// The category labels: each name as plain text. Qt Charts keeps one category per distinct
// label, so a name that is empty or repeats an earlier one gets an HTML comment with its
// test's number, which draws nothing.
QStringList CategoryLabels(const std::vector<FisRange>& tests) {
  QStringList labels;
  std::set<QString> used;
  for (size_t k = 0; k < tests.size(); ++k) {
    QString label = PlainTextHtml(tests[k].label);
    if (label.isEmpty() || used.count(label) != 0) {
      label += QStringLiteral("<!--%1-->").arg(k + 1);
    }
    used.insert(label);
    labels.append(label);
  }
  return labels;
}

// Up to kNamedTests tests: one category per test, named, with its range as a bar.
std::unique_ptr<QChart> NamedRangeChart(const std::vector<FisRange>& tests, const QString& subject,
                                        int iterations) {
  auto chart = RangeChart(
      subject,
      QStringLiteral("Bars: central 95 % of the %1 randomized values of each test (2.5 to 97.5 %)")
          .arg(iterations));
  const QStringList labels = CategoryLabels(tests);
  const FisSpan span = SpanOf(tests);

  auto* x = new QBarCategoryAxis;
  StyleAxis(x, subject);
  x->append(labels);
  if (labels.size() > 8) x->setLabelsAngle(-90);
  chart->addAxis(x, Qt::AlignBottom);
  QValueAxis* y = FisAxis(*chart, span);

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

// The observed values of the tests of one colour as dots: a line series that draws its
// points and no line, so that all of them are one item painted at once. A dot that would
// fall on the same pixel as an earlier one of the series (at the PNG's resolution) is
// left out: it would draw nothing more.
QLineSeries* DotSeries(const std::vector<FisRange>& tests, bool significant, const FisSpan& span,
                       const QColor& colour, int dotPenWidth) {
  const double xCells = kFigureCellsAcross;
  const double yCells = kFigureCellsDown;
  const double bottom = span.low - span.pad;
  const double height = span.high - span.low + 2 * span.pad;
  // The last cell column that holds a dot, per cell row: cell columns come in order.
  std::vector<int32_t> lastColumn(static_cast<size_t>(kFigureCellsDown), -1);
  QList<QPointF> points;
  const auto count = static_cast<double>(tests.size());
  for (size_t k = 0; k < tests.size(); ++k) {
    const FisRange& test = tests[k];
    if ((test.pLower <= 0.05) != significant || !std::isfinite(test.observed)) continue;
    const auto column = static_cast<int32_t>(static_cast<double>(k) / count * xCells);
    const auto row = static_cast<size_t>(
        std::clamp((test.observed - bottom) / height * yCells, 0.0, yCells - 1));
    if (lastColumn[row] == column) continue;
    lastColumn[row] = column;
    points.append(QPointF(static_cast<double>(k + 1), test.observed));
  }
  auto* series = new QLineSeries;
  // The points are drawn as discs of 1.5 times the pen's whole width in radius.
  QPen pen(colour, dotPenWidth);
  pen.setStyle(Qt::NoPen);
  series->setPen(pen);
  series->setPointsVisible(true);
  series->replace(points);
  return series;
}

// More than kNamedTests tests: the tests in the order of the data file along a numbered
// axis, as in a genome scan. Each test's observed Fis is a dot; the ranges are drawn as
// at most kRangeColumns bars, each spanning the ranges of the consecutive tests it stands
// for (one test per bar up to kRangeColumns tests), so that the figure's size and drawing
// time do not grow with the square of the tests.
std::unique_ptr<QChart> NumberedRangeChart(const std::vector<FisRange>& tests,
                                           const QString& subject, int iterations) {
  const size_t count = tests.size();
  const size_t columns = std::min(count, kRangeColumns);
  const size_t perColumn = (count + columns - 1) / columns;
  QString caption =
      QStringLiteral("Bars: central 95 % of the %1 randomized values of each test (2.5 to 97.5 %)")
          .arg(iterations);
  if (perColumn > 1) {
    caption = QStringLiteral(
                  "Bars: central 95 % of the %1 randomized values of each test; a bar spans up "
                  "to %2 consecutive tests")
                  .arg(iterations)
                  .arg(perColumn);
  }
  auto chart = RangeChart(subject, caption);
  const FisSpan span = SpanOf(tests);

  const double last = static_cast<double>(count) + 0.5;
  QValueAxis* x = AddValueAxis(*chart, Qt::AlignBottom,
                               QStringLiteral("%1 number (order of the data file)").arg(subject),
                               0.5, last, false);
  RoundTicks(x, 0.5, last);
  x->setLabelFormat(QStringLiteral("%d"));
  QValueAxis* y = FisAxis(*chart, span);

  auto* ranges = new QCandlestickSeries;
  ranges->setName(QStringLiteral("randomized Fis, central 95 %"));
  const QColor rangeColour = kRandomizedColour.lighter(140);
  ranges->setIncreasingColor(rangeColour);
  ranges->setDecreasingColor(rangeColour);
  ranges->setBrush(rangeColour);
  ranges->setPen(Qt::NoPen);
  ranges->setBodyOutlineVisible(false);
  ranges->setCapsVisible(false);
  ranges->setBodyWidth(0.6);
  ranges->setMinimumColumnWidth(-1);
  ranges->setMaximumColumnWidth(7);
  QList<QCandlestickSet*> bars;
  for (size_t c = 0; c < columns; ++c) {
    const size_t first = c * count / columns;
    const size_t end = (c + 1) * count / columns;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (size_t k = first; k < end; ++k) {
      if (!std::isfinite(tests[k].low) || !std::isfinite(tests[k].high)) continue;
      low = std::min(low, tests[k].low);
      high = std::max(high, tests[k].high);
    }
    if (!std::isfinite(low)) continue;
    // From low to high, both as the body's ends, at the number of the middle test (a
    // candlestick's place is a whole number).
    const auto middle = static_cast<double>((first + 1 + end) / 2);
    bars.append(new QCandlestickSet(low, high, low, high, middle));
  }
  if (!bars.isEmpty()) {
    ranges->append(bars);
    Attach(*chart, ranges, x, y);
  } else {
    delete ranges;
  }

  // Dots as large as the named panel's while the tests are few, smaller as they crowd,
  // and see-through when they overlap, so that where they crowd shows; the red ones stay
  // whole.
  const int dotPenWidth = count <= 60 ? 3 : count <= 200 ? 2 : 1;
  QColor dotColour = kNeutralColour;
  if (count > kOpaqueDots) dotColour.setAlphaF(0.4f);
  QLineSeries* plain = DotSeries(tests, false, span, dotColour, dotPenWidth);
  plain->setName(QStringLiteral("observed Fis"));
  QLineSeries* significant = DotSeries(tests, true, span, kObservedColour, dotPenWidth);
  significant->setName(QStringLiteral("observed Fis, P(lower) \u2264 0.05"));
  Attach(*chart, plain, x, y);
  Attach(*chart, significant, x, y);
  if (significant->count() == 0) HideFromLegend(*chart, significant);
  return chart;
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
  return tests.size() <= kNamedTests ? NamedRangeChart(tests, subject, iterations)
                                     : NumberedRangeChart(tests, subject, iterations);
}

}  // namespace genosieve
