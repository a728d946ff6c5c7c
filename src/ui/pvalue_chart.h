#pragma once

// The window's chart of the overall test's running P-value (Chart2 with Series2): every
// value is kept, a decimated copy is drawn, the axes fit what is drawn.

#include <QList>
#include <QPointF>
#include <QString>
#include <cstddef>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
class QWidget;

struct PValueChart {
  QChartView* view = nullptr;     // Chart2
  QChart* chart = nullptr;        // title, axes and the series
  QLineSeries* series = nullptr;  // Series2: the running P-value, decimated for drawing
  QValueAxis* axisX = nullptr;    // bottom axis: the iteration number
  QValueAxis* axisY = nullptr;    // left axis: the running P-value
  // Every running P-value of the overall test; drawn decimated once the series is shown.
  std::vector<double> values;
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

// Draws the values, decimated, when some were added since the last drawing.
void FlushPValueCurve(PValueChart& chart);

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

// "iteration 10: P-value 0.25".
QString CurvePointText(const CurvePoint& point);

// Fits the axes to the points the series is about to hold: the bottom axis spans
// exactly the iterations, the left axis ends on round ticks around the values; an empty
// curve gets 0 to 1 on both.
void RescalePValueAxes(PValueChart& chart, const QList<QPointF>& points);
