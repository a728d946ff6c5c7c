#include "results_panel.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <utility>

#include "number_text.h"
#include "panel_chart.h"
#include "results_table.h"

using genosieve::FisRange;
using genosieve::RandomizationKind;
using genosieve::TestOutcome;

namespace {

// A column never takes more than this when fitted to its contents: a narrow panel shows
// more columns, each eliding what does not fit.
constexpr int kWidestColumn = 150;

QPushButton* NewButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

// A chart view above a row holding its button, as one page.
QWidget* NewFigurePage(QChartView*& view, QPushButton*& button, const char* viewName,
                       const char* buttonName, QWidget* parent) {
  auto* page = new QWidget(parent);
  view = NewChartView(viewName, page);
  button = NewButton(QStringLiteral("Figure"), buttonName, page);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(button);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 4, 0, 0);
  layout->addWidget(view, 1);
  layout->addLayout(buttons);
  return page;
}

void ShowTab(QTabWidget* tabs, QWidget* page, const QString& title, bool shown) {
  const int at = tabs->indexOf(page);
  if (shown && at < 0) tabs->addTab(page, title);
  if (!shown && at >= 0) tabs->removeTab(at);
  // A page out of the tabs is still the tab widget's child: hidden, or it would be drawn
  // over the tabs.
  if (!shown) page->hide();
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
  results.openResults =
      NewButton(QStringLiteral("Open results &file"), "OpenResultsButton", results.panel);
  results.tabs = new QTabWidget(results.panel);
  results.tabs->setObjectName(QStringLiteral("ResultsTabs"));

  results.testsPage = new QWidget(results.tabs);
  results.testsPage->setObjectName(QStringLiteral("TestsPage"));
  results.model = NewResultsModel(parent);
  results.table = new QTableView(results.testsPage);
  results.table->setObjectName(QStringLiteral("ResultsTable"));
  results.table->setModel(results.model);
  results.table->setSortingEnabled(true);
  results.table->sortByColumn(-1, Qt::AscendingOrder);
  results.table->setSelectionBehavior(QAbstractItemView::SelectRows);
  results.table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results.table->setWordWrap(false);
  results.table->setTextElideMode(Qt::ElideRight);
  results.table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  results.table->verticalHeader()->hide();
  results.table->verticalHeader()->setDefaultSectionSize(results.table->fontMetrics().height() + 6);
  results.table->horizontalHeader()->setStretchLastSection(true);
  results.table->horizontalHeader()->setTextElideMode(Qt::ElideRight);
  results.holmNote = new QLabel(results.testsPage);
  results.holmNote->setObjectName(QStringLiteral("HolmNote"));
  results.holmNote->setWordWrap(true);
  results.holmNote->setTextFormat(Qt::PlainText);
  results.holmNote->setText(QStringLiteral(
      "Bold P lower: at or below 0.05 after Holm's correction among the locus tests, or among "
      "the population tests (the last column), as genosieve-cli counts them."));
  results.copyTable =
      NewButton(QStringLiteral("&Copy table"), "CopyTableButton", results.testsPage);
  results.exportTable =
      NewButton(QStringLiteral("E&xport table\u2026"), "ExportTableButton", results.testsPage);
  results.histogram = NewChartView("HistogramView", results.testsPage);
  results.figure = NewButton(QStringLiteral("Fi&gure"), "FigureButton", results.testsPage);
  auto* tableButtons = new QHBoxLayout;
  tableButtons->addWidget(results.copyTable);
  tableButtons->addWidget(results.exportTable);
  tableButtons->addStretch(1);
  tableButtons->addWidget(results.figure);
  auto* testsLayout = new QVBoxLayout(results.testsPage);
  testsLayout->setContentsMargins(0, 4, 0, 0);
  testsLayout->addWidget(results.table, 3);
  testsLayout->addWidget(results.holmNote);
  testsLayout->addLayout(tableButtons);
  testsLayout->addWidget(results.histogram, 4);
  results.tabs->addTab(results.testsPage, QStringLiteral("Tests"));

  results.lociPage = NewFigurePage(results.lociChart, results.lociFigure, "LocusFigureView",
                                   "LocusFigureButton", results.tabs);
  results.populationsPage =
      NewFigurePage(results.populationsChart, results.populationsFigure, "PopulationFigureView",
                    "PopulationFigureButton", results.tabs);
  results.clones = NewCloneView(results.tabs);
  results.clonality = NewClonalityView(results.tabs);
  // The tabs after a Run's first results: until then, out of view.
  for (QWidget* page :
       {results.lociPage, results.populationsPage, results.clones.page, results.clonality.page}) {
    ShowTab(results.tabs, page, {}, false);
  }

  // The tabs on top, where they stay whatever the caption's length.
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(results.caption, 1);
  bottom->addWidget(results.openResults, 0, Qt::AlignTop);
  auto* panelLayout = new QVBoxLayout(results.panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(results.tabs, 1);
  panelLayout->addLayout(bottom);
  results.panel->hide();
  return results;
}

void ClearResults(ResultsPanel& results, char separator) {
  results.model->removeRows(0, results.model->rowCount());
  SetResultsSeparator(*results.model, separator);
  results.separator = separator;
  results.overallRandomized.clear();
  results.overallRandomized.shrink_to_fit();
  results.hasOverall = false;
  results.iterations = 0;
  results.loci.clear();
  results.populations.clear();
  DrawHistogram(results);
  Replace(results.lociChart, EmptyChart());
  Replace(results.populationsChart, EmptyChart());
  ShowTab(results.tabs, results.lociPage, {}, false);
  ShowTab(results.tabs, results.populationsPage, {}, false);
  ClearClones(results.clones);
  ShowTab(results.tabs, results.clones.page, {}, false);
  ClearClonality(results.clonality);
  ShowTab(results.tabs, results.clonality.page, {}, false);
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

FisRange FisRangeOf(const TestOutcome& outcome) {
  const genosieve::RandomizedRange& range = outcome.centralRange;
  return {outcome.name, static_cast<double>(outcome.observed), range.low, range.high,
          static_cast<double>(outcome.pLower)};
}

void AddResult(ResultsPanel& results, const TestOutcome& row, std::vector<double> randomized,
               const FisRange& range) {
  AppendResultRow(*results.model, row);
  results.iterations = row.iterations;
  switch (row.kind) {
    case RandomizationKind::kOverall:
      results.overallRandomized = std::move(randomized);
      results.overallObserved = static_cast<double>(row.observed);
      results.overallPLower = static_cast<double>(row.pLower);
      results.overallPUpper = static_cast<double>(row.pUpper);
      results.hasOverall = true;
      break;
    case RandomizationKind::kPerLocus:
      results.loci.push_back(range);
      break;
    case RandomizationKind::kPerPopulation:
      results.populations.push_back(range);
      break;
  }
}

void ShowResultsOf(ResultsPanel& results, const QString& caption) {
  results.caption->setText(caption);
  MarkHolm(*results.model);
  results.table->resizeColumnsToContents();
  for (int column = 0; column < results.model->columnCount(); ++column) {
    if (results.table->columnWidth(column) > kWidestColumn) {
      results.table->setColumnWidth(column, kWidestColumn);
    }
  }
  DrawHistogram(results);
  const QFont text = results.panel->font();
  for (auto [ranges, view, page, subject] :
       {std::tuple(&results.loci, results.lociChart, results.lociPage, QStringLiteral("Locus")),
        std::tuple(&results.populations, results.populationsChart, results.populationsPage,
                   QStringLiteral("Population"))}) {
    const bool shown = !ranges->empty();
    ShowTab(
        results.tabs, page,
        subject == QLatin1String("Locus") ? QStringLiteral("Loci") : QStringLiteral("Populations"),
        shown);
    if (!shown) continue;
    std::unique_ptr<QChart> chart = genosieve::FisRangeChart(*ranges, subject, results.iterations);
    FitToPanel(*chart, text, results.separator);
    // The figure's two-line title, in one line the panel's width holds.
    chart->setTitle(QStringLiteral("%1 tests: observed Fis; bars: central 95 % of the %2 "
                                   "randomized values")
                        .arg(subject)
                        .arg(results.iterations));
    Replace(view, std::move(chart));
  }
  ShowTab(results.tabs, results.clones.page, QStringLiteral("Clones"),
          !results.clones.membership.empty());
  ShowTab(results.tabs, results.clonality.page, QStringLiteral("Clonality"),
          results.clonality.found);
}

void DrawHistogram(ResultsPanel& results) {
  if (!results.hasOverall || results.overallRandomized.empty()) {
    Replace(results.histogram, EmptyChart());
    return;
  }
  std::unique_ptr<QChart> chart =
      genosieve::FisDistributionChart(results.overallRandomized, results.overallObserved,
                                      results.overallPLower, results.overallPUpper);
  FitToPanel(*chart, results.panel->font(), results.separator);
  // The panel's histogram is short: its count axis takes a title that fits it.
  for (QAbstractAxis* axis : chart->axes(Qt::Vertical)) axis->setTitleText(QStringLiteral("count"));
  // A one-line title keeps the panel's room for the bars.
  chart->setTitle(QStringLiteral("Overall test: P(lower) = %1, P(upper) = %2")
                      .arg(ReadableNumber(results.overallPLower, results.separator),
                           ReadableNumber(results.overallPUpper, results.separator)));
  Replace(results.histogram, std::move(chart));
}

QString FisRangesTsv(const std::vector<FisRange>& ranges, char separator) {
  QString text = QStringLiteral(
      "name\tobserved Fis\trandomized Fis, 2.5 %\trandomized Fis, 97.5 %\tP lower\n");
  for (const FisRange& range : ranges) {
    text += QString::fromStdString(range.label);
    for (double value : {range.observed, range.low, range.high, range.pLower}) {
      text += QLatin1Char('\t') + ExactNumber(value, separator);
    }
    text += QLatin1Char('\n');
  }
  return text;
}
