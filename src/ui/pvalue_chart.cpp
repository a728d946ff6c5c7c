#include "pvalue_chart.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <optional>

#include "curve_decimation.h"
#include "number_text.h"
#include "results_table.h"

namespace {

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

template <typename Axis>
Axis* NewAxis(const char* name, const QString& title) {
  auto* axis = new Axis;
  axis->setObjectName(QString::fromLatin1(name));
  axis->setTitleText(title);
  // With a precision: the axes' numbers are written in the chart's locale, and Qt Charts
  // reads only "%.<n><f|e|g>" formats then.
  axis->setLabelFormat(QStringLiteral("%.6g"));
  QFont titleFont = axis->titleFont();
  titleFont.setPointSize(8);
  titleFont.setStretch(QFont::SemiCondensed);
  axis->setTitleFont(titleFont);
  QFont labelsFont = axis->labelsFont();
  labelsFont.setPointSize(8);
  axis->setLabelsFont(labelsFont);
  return axis;
}

}  // namespace

PValueChart NewPValueChart(QWidget* parent) {
  PValueChart chart;
  chart.chart = new QChart;
  chart.chart->setTitle(QStringLiteral("P-value"));
  chart.chart->legend()->hide();
  chart.chart->setBackgroundBrush(Qt::white);
  chart.chart->setPlotAreaBackgroundVisible(false);
  chart.chart->setBackgroundRoundness(0);
  chart.chart->setMargins(QMargins(2, 0, 10, 0));
  chart.chart->layout()->setContentsMargins(0, 0, 0, 0);
  chart.series = new QLineSeries;
  chart.series->setObjectName(QStringLiteral("Series2"));
  chart.series->setPen(QPen(Qt::red, 1));
  chart.series->setPointsVisible(false);
  chart.series->setPointLabelsVisible(false);
  chart.chart->addSeries(chart.series);
  chart.axisX = NewAxis<QValueAxis>("BottomAxis", QStringLiteral("iteration number"));
  chart.axisY =
      NewAxis<QValueAxis>("LeftAxis", QStringLiteral("P-value (overall loci and populations)"));
  // Made once, added to the chart only while chosen; the chart owns it from the start.
  chart.logAxisY = NewAxis<QLogValueAxis>(
      "LeftLogAxis", QStringLiteral("P-value (overall loci and populations), log scale"));
  chart.logAxisY->setBase(10);
  chart.logAxisY->setMinorTickCount(-1);
  chart.logAxisY->setParent(chart.chart);
  chart.chart->addAxis(chart.axisX, Qt::AlignBottom);
  chart.chart->addAxis(chart.axisY, Qt::AlignLeft);
  chart.series->attachAxis(chart.axisX);
  chart.series->attachAxis(chart.axisY);
  chart.view = new QChartView(chart.chart, parent);
  chart.view->setObjectName(QStringLiteral("Chart2"));
  chart.view->setFrameShape(QFrame::NoFrame);
  chart.view->setFocusPolicy(Qt::NoFocus);
  RescalePValueAxes(chart, {});
  return chart;
}

void ClearPValueChart(PValueChart& chart) {
  chart.values.clear();
  chart.values.shrink_to_fit();
  chart.running.clear();
  chart.runningIterations = 0;
  chart.changed = false;
  chart.series->clear();
  RescalePValueAxes(chart, {});
}

void AddPValues(PValueChart& chart, const std::vector<double>& values) {
  chart.values.insert(chart.values.end(), values.begin(), values.end());
  chart.changed = true;
}

void AddRunningPoints(PValueChart& chart, const QList<QPointF>& points, int64_t iterations) {
  chart.running.append(points);
  chart.runningIterations = iterations;
  chart.changed = true;
}

void FlushPValueCurve(PValueChart& chart) {
  if (!chart.changed) return;
  chart.changed = false;
  RedrawPValueCurve(chart);
}

void RedrawPValueCurve(PValueChart& chart) {
  const QList<QPointF> points = chart.values.empty() ? chart.running : DecimatedCurve(chart.values);
  // The axes first, on an empty series: every change of range recomputes the drawn
  // line. Then one replace draws it once; appending point by point would redraw it after
  // every point.
  if (chart.series->count() > 0) chart.series->clear();
  RescalePValueAxes(chart, points);
  chart.series->replace(points);
}

bool CurvePointAt(const PValueChart& chart, double x, CurvePoint& point) {
  if (chart.values.empty()) return false;
  // The drawn curve may be decimated: read the value of the iteration under the pointer.
  const auto i = static_cast<std::size_t>(
      std::clamp<double>(std::round(x), 0, static_cast<double>(chart.values.size() - 1)));
  point = {i + 1, chart.values[i]};
  return true;
}

QString CurvePointText(const CurvePoint& point, char separator) {
  return QStringLiteral("iteration %1: P-value %2")
      .arg(point.iteration)
      .arg(ExactNumber(point.value, separator));
}

void SetLogScale(PValueChart& chart, bool logScale) {
  if (chart.logScale == logScale) return;
  QAbstractAxis* shown = chart.logScale ? static_cast<QAbstractAxis*>(chart.logAxisY)
                                        : static_cast<QAbstractAxis*>(chart.axisY);
  QAbstractAxis* chosen = logScale ? static_cast<QAbstractAxis*>(chart.logAxisY)
                                   : static_cast<QAbstractAxis*>(chart.axisY);
  chart.series->detachAxis(shown);
  chart.chart->removeAxis(shown);
  // The chart gives up its ownership of a removed axis; the chart stays its parent.
  shown->setParent(chart.chart);
  chart.chart->addAxis(chosen, Qt::AlignLeft);
  chart.series->attachAxis(chosen);
  chart.logScale = logScale;
  RedrawPValueCurve(chart);
}

void SetChartSeparator(PValueChart& chart, char separator) {
  chart.chart->setLocalizeNumbers(true);
  chart.chart->setLocale(ChartLocale(separator));
}

void RescalePValueAxes(PValueChart& chart, const QList<QPointF>& points) {
  if (points.isEmpty()) {
    FitAxis(chart.axisX, 0, chart.runningIterations > 1 ? chart.runningIterations - 1 : 1);
    FitAxis(chart.axisY, 0, 1);
    chart.logAxisY->setRange(1e-3, 1);
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
  // While the test works, the axis spans all of its iterations: the curve grows into it.
  const double lastX = chart.values.empty() && chart.runningIterations > 1
                           ? static_cast<double>(chart.runningIterations - 1)
                           : points.constLast().x();
  FitAxis(chart.axisX, firstX, lastX > firstX ? lastX : firstX + 1);
  FitAxisOnTicks(chart.axisY, minimumY, maximumY);
  // The log axis from the power of ten below the smallest value to the one above the
  // largest; a running P-value is never 0.
  double smallest = 1;
  for (const QPointF& point : points) {
    if (point.y() > 0) smallest = std::min(smallest, point.y());
  }
  const double low = std::pow(10.0, std::floor(std::log10(smallest)));
  const double high = std::pow(10.0, std::ceil(std::log10(std::max(highest->y(), smallest))));
  chart.logAxisY->setRange(low, high > low ? high : low * 10);
}
