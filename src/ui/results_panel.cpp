#include "results_panel.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>
#include <utility>

#include "fis_figures.h"
#include "results_table.h"

using genosieve::RandomizationKind;
using genosieve::TestOutcome;

namespace {

QPushButton* NewButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

ResultsPanel NewResultsPanel(QWidget* parent) {
  ResultsPanel results;
  results.panel = new QWidget(parent);
  results.panel->setObjectName(QStringLiteral("ResultsPanel"));
  results.caption = new QLabel(results.panel);
  results.caption->setObjectName(QStringLiteral("ResultsCaption"));
  results.caption->setWordWrap(true);
  results.caption->setTextFormat(Qt::PlainText);
  results.caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
  results.model = NewResultsModel(parent);
  results.table = new QTableView(results.panel);
  results.table->setObjectName(QStringLiteral("ResultsTable"));
  results.table->setModel(results.model);
  results.table->setSortingEnabled(true);
  results.table->sortByColumn(-1, Qt::AscendingOrder);
  results.table->setSelectionBehavior(QAbstractItemView::SelectRows);
  results.table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results.table->verticalHeader()->hide();
  results.table->verticalHeader()->setDefaultSectionSize(results.table->fontMetrics().height() + 6);
  results.table->horizontalHeader()->setStretchLastSection(true);
  results.copyTable = NewButton(QStringLiteral("Copy table"), "CopyTableButton", results.panel);
  results.exportTable =
      NewButton(QStringLiteral("Export table\u2026"), "ExportTableButton", results.panel);
  auto* histogramChart = new QChart;
  histogramChart->legend()->hide();
  histogramChart->setBackgroundRoundness(0);
  results.histogram = new QChartView(histogramChart, results.panel);
  results.histogram->setObjectName(QStringLiteral("HistogramView"));
  results.histogram->setRenderHint(QPainter::Antialiasing);
  results.histogram->setFrameShape(QFrame::NoFrame);
  results.figure = NewButton(QStringLiteral("Figure"), "FigureButton", results.panel);

  auto* tableButtons = new QHBoxLayout;
  tableButtons->addWidget(results.copyTable);
  tableButtons->addWidget(results.exportTable);
  tableButtons->addStretch(1);
  auto* figureButtons = new QHBoxLayout;
  figureButtons->addWidget(results.figure);
  figureButtons->addStretch(1);
  auto* panelLayout = new QVBoxLayout(results.panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(results.caption);
  panelLayout->addWidget(results.table, 3);
  panelLayout->addLayout(tableButtons);
  panelLayout->addWidget(results.histogram, 4);
  panelLayout->addLayout(figureButtons);
  results.panel->hide();
  return results;
}

void ClearResults(ResultsPanel& results) {
  results.model->removeRows(0, results.model->rowCount());
  results.overallRandomized.clear();
  results.overallRandomized.shrink_to_fit();
  results.hasOverall = false;
  DrawHistogram(results);
  results.caption->clear();
}

TestOutcome WithoutValues(const TestOutcome& outcome) {
  TestOutcome row;
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

void AddResult(ResultsPanel& results, const TestOutcome& row, std::vector<double> randomized) {
  AppendResultRow(*results.model, row);
  if (row.kind != RandomizationKind::kOverall) return;
  results.overallRandomized = std::move(randomized);
  results.overallObserved = static_cast<double>(row.observed);
  results.overallPLower = static_cast<double>(row.pLower);
  results.overallPUpper = static_cast<double>(row.pUpper);
  results.hasOverall = true;
}

void ShowResultsOf(ResultsPanel& results, const QString& caption) {
  results.caption->setText(caption);
  results.table->resizeColumnsToContents();
  DrawHistogram(results);
}

void DrawHistogram(ResultsPanel& results) {
  std::unique_ptr<QChart> chart;
  if (results.hasOverall && !results.overallRandomized.empty()) {
    chart = genosieve::FisDistributionChart(results.overallRandomized, results.overallObserved,
                                            results.overallPLower, results.overallPUpper);
    // The figure is laid out for a file of 800 x 500 pixels; the panel is a few hundred
    // wide: the window's own font sizes and a one-line title keep its labels readable.
    const QFont text = results.panel->font();
    QFont bold = text;
    bold.setBold(true);
    chart->setTitleFont(bold);
    chart->setTitle(QStringLiteral("Overall test: P(lower) = %1, P(upper) = %2")
                        .arg(QString::number(results.overallPLower, 'g', 4),
                             QString::number(results.overallPUpper, 'g', 4)));
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
  QChart* previous = results.histogram->chart();
  results.histogram->setChart(chart.release());
  delete previous;
}
