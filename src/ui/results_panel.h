#pragma once

// The panel right of the chart that shows the last Run's results: what they are of, a
// button that opens the results file, and tabs: the table of finished tests with the
// histogram of the overall test's randomized Fis; the per-locus and per-population
// panels that --figures draws; the clones of each population; their clonality and psex.

#include <QString>
#include <vector>

#include "analysis/test_outcome.h"
#include "clonality_view.h"
#include "clone_view.h"
#include "fis_figures.h"

class QChartView;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTabWidget;
class QTableView;
class QWidget;

struct ResultsPanel {
  QWidget* panel = nullptr;            // ResultsPanel
  QLabel* caption = nullptr;           // ResultsCaption: what the results are of
  QPushButton* openResults = nullptr;  // OpenResultsButton: "Open results file"
  QTabWidget* tabs = nullptr;          // ResultsTabs
  QWidget* testsPage = nullptr;        // "Tests"
  QTableView* table = nullptr;         // ResultsTable: one row per finished test
  QStandardItemModel* model = nullptr;
  QLabel* holmNote = nullptr;          // HolmNote: what the Holm column means
  QPushButton* copyTable = nullptr;    // CopyTableButton
  QPushButton* exportTable = nullptr;  // ExportTableButton
  QChartView* histogram = nullptr;     // HistogramView: the overall test's randomized Fis
  QPushButton* figure = nullptr;       // FigureButton: saves or copies the histogram
  QWidget* lociPage = nullptr;         // "Loci": LocusFigureView with LocusFigureButton
  QChartView* lociChart = nullptr;
  QPushButton* lociFigure = nullptr;
  QWidget* populationsPage = nullptr;  // "Populations": PopulationFigureView and its button
  QChartView* populationsChart = nullptr;
  QPushButton* populationsFigure = nullptr;
  CloneView clones;         // "Clones"
  ClonalityView clonality;  // "Clonality"

  // The overall test's randomized Fis and observed value, for the histogram.
  bool hasOverall = false;
  std::vector<double> overallRandomized;
  double overallObserved = 0;
  double overallPLower = 1;
  double overallPUpper = 1;
  int iterations = 0;
  // Each single test's observed Fis and the central range of its randomized values.
  std::vector<genosieve::FisRange> loci;
  std::vector<genosieve::FisRange> populations;
  char separator = '.';  // the Run's decimal separator, for what is shown and copied
};

// The panel, hidden, as a child of `parent`; its models belong to `parent` too. It must
// stay where it is put: its parts refer to it.
ResultsPanel NewResultsPanel(QWidget* parent);

// Empties every tab and the caption; the next Run's numbers use `separator`.
void ClearResults(ResultsPanel& results, char separator);

// A finished test without its randomized values, which only the overall test keeps.
genosieve::TestOutcome WithoutValues(const genosieve::TestOutcome& outcome);

// A single test's observed Fis with the central 95 % of its randomized values.
genosieve::FisRange FisRangeOf(const genosieve::TestOutcome& outcome);

// A finished test's row; for the overall test, `randomized` are the histogram's values,
// for a single test `range` is its place in its kind's panel.
void AddResult(ResultsPanel& results, const genosieve::TestOutcome& row,
               std::vector<double> randomized, const genosieve::FisRange& range);

// Shows what the results are of, marks the P-values Holm's correction keeps, fits the
// columns and draws the histogram and the panels of the single tests.
void ShowResultsOf(ResultsPanel& results, const QString& caption);

// Draws the overall test's randomized Fis with its observed value, or an empty chart when
// the overall test did not finish.
void DrawHistogram(ResultsPanel& results);

// The single tests' ranges as text: a row of titles, then one row per test.
QString FisRangesTsv(const std::vector<genosieve::FisRange>& ranges, char separator);
