#include "panel_chart.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QPainter>

#include "number_text.h"

QChartView* NewChartView(const char* name, QWidget* parent) {
  auto* view = new QChartView(EmptyChart().release(), parent);
  view->setObjectName(QString::fromLatin1(name));
  view->setRenderHint(QPainter::Antialiasing);
  view->setFrameShape(QFrame::NoFrame);
  return view;
}

void Replace(QChartView* view, std::unique_ptr<QChart> chart) {
  QChart* previous = view->chart();
  view->setChart(chart.release());
  delete previous;
}

std::unique_ptr<QChart> EmptyChart() {
  auto chart = std::make_unique<QChart>();
  chart->legend()->hide();
  chart->setBackgroundRoundness(0);
  return chart;
}

void FitToPanel(QChart& chart, const QFont& text, char separator) {
  QFont bold = text;
  bold.setBold(true);
  chart.setTitleFont(bold);
  chart.legend()->setFont(text);
  for (QAbstractAxis* axis : chart.axes()) {
    axis->setTitleFont(text);
    axis->setLabelsFont(text);
  }
  chart.setMargins(QMargins(4, 4, 4, 4));
  chart.setLocalizeNumbers(true);
  chart.setLocale(ChartLocale(separator));
}
