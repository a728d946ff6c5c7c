#pragma once

// The window's chart of the overall test's running P-value (Chart2 with Series2): every
// value is kept, a decimated copy is drawn, the axes fit what is drawn.

#include <QList>
#include <QPointF>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;
class QWidget;

struct PValueChart {
  QChartView* view = nullptr;         // Chart2
  QChart* chart = nullptr;            // title, axes and the series
  QLineSeries* series = nullptr;      // Series2: the running P-value, decimated for drawing
  QValueAxis* axisX = nullptr;        // bottom axis: the iteration number
  QValueAxis* axisY = nullptr;        // left axis: the running P-value
  QLogValueAxis* logAxisY = nullptr;  // the same on a logarithmic scale, when chosen
  bool logScale = false;
  // Every running P-value of the overall test once it has ended; drawn decimated.
  std::vector<double> values;
  // While the overall test works: the running P-value at some of its iterations (x =
  // iteration - 1), and its iterations in all.
  QList<QPointF> running;
  int64_t runningIterations = 0;
  // Values were added since the series was last drawn.
  bool changed = false;
};

// The chart with its title "P-value", its axis titles and one red line series, in a view
// that is a child of `parent` and takes no keyboard focus.
PValueChart NewPValueChart(QWidget* parent);

// Forgets every value and empties the drawn curve.
void ClearPValueChart(PValueChart& chart);

// Keeps the values; they are drawn at the next FlushPValueCurve.
void AddPValues(PValueChart& chart, const std::vector<double>& values);

// Keeps running P-values of the overall test told while it works, for a test of
// `iterations` iterations; drawn at the next FlushPValueCurve until the test's values come.
void AddRunningPoints(PValueChart& chart, const QList<QPointF>& points, int64_t iterations);

// Draws the values, decimated, or while there are none the running points, when some were
// added since the last drawing.
void FlushPValueCurve(PValueChart& chart);

// The left axis on a logarithmic scale, or back on a linear one; the curve is redrawn.
void SetLogScale(PValueChart& chart, bool logScale);

// The axes' numbers with the decimal separator.
void SetChartSeparator(PValueChart& chart, char separator);

// Draws the values, decimated, in one replacement of the series' points, after fitting
// the axes to them.
void RedrawPValueCurve(PValueChart& chart);

// The value of the iteration nearest to x on the drawn curve (x = 0 for iteration 1):
// the iteration, from 1, and its value; nothing for an empty chart.
struct CurvePoint {
  std::size_t iteration = 0;
  double value = 0;
};
bool CurvePointAt(const PValueChart& chart, double x, CurvePoint& point);

// "iteration 10: P-value 0.25", with the decimal separator.
QString CurvePointText(const CurvePoint& point, char separator = '.');

// Fits the axes to the points the series is about to hold: the bottom axis spans
// exactly the iterations, the left axis ends on round ticks around the values; an empty
// curve gets 0 to 1 on both.
void RescalePValueAxes(PValueChart& chart, const QList<QPointF>& points);
