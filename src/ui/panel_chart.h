#pragma once

// Charts in the results panel: the figures that --figures draws for files of 800 x 500
// pixels, shown at the panel's size in the window's own fonts.

#include <QFont>
#include <memory>

class QChart;
class QChartView;
class QWidget;

// A view of an empty chart, antialiased, without frame.
QChartView* NewChartView(const char* name, QWidget* parent);

// Puts the chart in the view, deleting the one it replaces (a view does not).
void Replace(QChartView* view, std::unique_ptr<QChart> chart);

// A chart without anything on it, legend hidden.
std::unique_ptr<QChart> EmptyChart();

// The window's own font sizes, its numbers with the Run's separator.
void FitToPanel(QChart& chart, const QFont& text, char separator);
